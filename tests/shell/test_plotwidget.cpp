// The plot widget's additions: the resize signal, blanking without losing
// content, the persistence strokes of the line drawing, the persistence
// accumulation, and the cheaper drawing that keeps the picture.

#include "display/plotwidget.h"
#include "quorveltest.h"

namespace {

const QColor background(10, 20, 30);
const QColor trace(250, 40, 40);

int countColour(const QImage &image, const QColor &colour, const QRect &area)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++n;
    return n;
}

// Summed coverage of the trace colour over the background (1 per full pixel).
double coverage(const QImage &image, const QRect &area)
{
    double sum = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            sum += (image.pixelColor(x, y).redF() - background.redF()) / (trace.redF() - background.redF());
    return sum;
}

// The largest difference of any colour channel between two pictures of one size.
int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            largest = std::max({largest, std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                                std::abs(p.blue() - q.blue())});
        }
    return largest;
}

// A plot without axes decoration: the axis rect fills the widget, so plot
// coordinates 0..100 map straight onto the pixels.
struct Scene
{
    PlotWidget plot;
    PlotGraph *graph = nullptr;

    explicit Scene(QSize size = QSize(440, 300))
    {
        plot.setBackground(QBrush(background));
        plot.axisRect()->setAutoMargins(QCP::msNone);
        plot.axisRect()->setMargins(QMargins());
        plot.axisRect()->setBackground(Qt::NoBrush);
        for (QCPAxis *axis : plot.axisRect()->axes()) {
            axis->setVisible(false);
            axis->grid()->setVisible(false);
        }
        plot.xAxis->setRange(0, 100);
        plot.yAxis->setRange(0, 100);
        plot.setNotAntialiasedElements(QCP::aeAll);
        graph = plot.addPlotGraph();
        graph->setPen(QPen(trace, 1));
        graph->setAntialiased(false);
        plot.resize(size);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
    }

    // The widget says it paints every pixel, so grab() would leave what a
    // translucent background lets through undefined; render onto black.
    QImage image()
    {
        QImage shown(plot.size(), QImage::Format_RGB32);
        shown.fill(Qt::black);
        plot.render(&shown);
        return shown;
    }
    QPointF pixel(double key, double value) const
    {
        return QPointF(plot.xAxis->coordToPixel(key), plot.yAxis->coordToPixel(value));
    }
};

} // namespace

class TestPlotWidget : public QObject
{
    Q_OBJECT

private slots:
    void graphsAreOfTheDerivedKind()
    {
        Scene s;
        QVERIFY(s.graph);
        QCOMPARE(s.plot.graphCount(), 1);
        QVERIFY(qobject_cast<PlotGraph *>(s.plot.graph(0)));
        PlotWidget other;
        QVERIFY(!s.plot.addPlotGraph(other.xAxis, other.yAxis)); // axes of another plot
    }

    void resizeEmitsOnceAfterTheReplot()
    {
        Scene s;
        QStringList order;
        QSize sizeSeen;
        connect(&s.plot, &QCustomPlot::afterReplot, [&] { order << "replot"; });
        connect(&s.plot, &PlotWidget::sizeChanged, [&] {
            order << "size";
            sizeSeen = s.plot.viewport().size();
        });

        const QList<QSize> sizes{{500, 320}, {300, 200}, {640, 480}};
        for (const QSize &size : sizes) {
            order.clear();
            s.plot.resize(size);
            QCoreApplication::processEvents();
            QCOMPARE(order.count("size"), 1);
            QCOMPARE(order.last(), QString("size"));
            QVERIFY(order.indexOf("replot") >= 0 && order.indexOf("replot") < order.indexOf("size"));
            QCOMPARE(sizeSeen, size);
        }
    }

    void clearSceneBlanksButKeepsTheContent()
    {
        Scene s;
        s.graph->setPen(QPen(trace, 5));
        s.graph->setData({10, 90}, {50, 50});
        s.plot.replot();
        QVERIFY(countColour(s.image(), trace, s.plot.rect()) > 100);

        QSignalSpy replots(&s.plot, &QCustomPlot::afterReplot);
        QSignalSpy before(&s.plot, &QCustomPlot::beforeReplot);
        s.plot.clearScene();
        const QImage blank = s.image();
        QCOMPARE(countColour(blank, trace, s.plot.rect()), 0);
        QCOMPARE(countColour(blank, background, s.plot.rect()), s.plot.width() * s.plot.height());
        QCOMPARE(replots.count(), 0);
        QCOMPARE(before.count(), 0);
        QCOMPARE(s.graph->dataCount(), 2);

        s.plot.replot();
        QVERIFY(countColour(s.image(), trace, s.plot.rect()) > 100);
    }

    void persistenceAddsTwoStrokesPerPoint()
    {
        // A steep zig-zag: the strokes run horizontally from the previous
        // point's x at each point's height, where the line itself never passes.
        Scene s; // 440 px wide: strokes are 5 * 2 = 10 px long, 2 px apart
        s.graph->setData({10, 30, 50}, {10, 90, 10});
        const QPointF p0 = s.pixel(10, 10), p1 = s.pixel(30, 90);
        const QRect strokeArea(int(p0.x()) + 1, int(p1.y()) - 1, 8, 5);
        // Just right of the first point, along the first stroke of p1's height.
        const QRect lineFree(int(p0.x()) + 2, int(p1.y()) - 1, 4, 5);
        QVERIFY(!lineFree.contains(p0.toPoint()));

        s.plot.persistenceMode = false;
        s.plot.replot();
        const QImage plain = s.image();
        QVERIFY(countColour(plain, trace, s.plot.rect()) > 50); // the line is drawn
        QCOMPARE(countColour(plain, trace, lineFree), 0);

        s.plot.persistenceMode = true;
        s.plot.replot();
        const QImage persistent = s.image();
        QVERIFY(countColour(persistent, trace, lineFree) >= 4);
        // Two strokes, one pixel row apart in u = 2 steps.
        const int y = int(p1.y());
        const int x = int(p0.x()) + 4;
        QCOMPARE(persistent.pixelColor(x, y), trace);
        QCOMPARE(persistent.pixelColor(x, y + 2), trace);
        QVERIFY(countColour(persistent, trace, strokeArea) > countColour(plain, trace, strokeArea));
    }

    // The opaque bottom buffer changes how the picture reaches the screen,
    // not the picture.
    void cheapDrawingKeepsThePicture_data()
    {
        QTest::addColumn<QBrush>("brush");
        QTest::addColumn<bool>("opaque");
        QTest::newRow("opaque colour") << QBrush(background) << true;
        QTest::newRow("half transparent") << QBrush(QColor(10, 20, 30, 128)) << false;
        QTest::newRow("pattern") << QBrush(background, Qt::Dense4Pattern) << false;
    }
    void cheapDrawingKeepsThePicture()
    {
        QFETCH(QBrush, brush);
        QFETCH(bool, opaque);
        Scene s;
        s.plot.setBackground(brush);
        s.graph->setData({10, 40, 90}, {20, 80, 50});
        QCOMPARE(s.plot.opaqueBackground().isValid(), opaque);
        s.plot.setCheapDrawing(false);
        s.plot.replot();
        const QImage reference = s.image();
        s.plot.setCheapDrawing(true);
        s.plot.replot();
        QCOMPARE(s.image(), reference);
        QVERIFY(countColour(reference, trace, s.plot.rect()) > 50);
    }

    // A 2-pixel pen is drawn as two 1-pixel lines side by side: as wide as
    // the pen, across the line's main direction.
    void widePenIsTwoThinLines_data()
    {
        QTest::addColumn<QVector<double>>("keys");
        QTest::addColumn<QVector<double>>("values");
        QTest::addColumn<bool>("impulse");
        QTest::addColumn<bool>("acrossColumn"); // count along a column (else along a row)
        QTest::newRow("horizontal line")
            << QVector<double>{10, 90} << QVector<double>{50, 50} << false << true;
        QTest::newRow("vertical line")
            << QVector<double>{50, 50} << QVector<double>{10, 90} << false << false;
        QTest::newRow("impulse") << QVector<double>{50} << QVector<double>{90} << true << false;
    }
    void widePenIsTwoThinLines()
    {
        QFETCH(QVector<double>, keys);
        QFETCH(QVector<double>, values);
        QFETCH(bool, impulse);
        QFETCH(bool, acrossColumn);
        Scene s;
        s.graph->setPen(QPen(trace, 2));
        if (impulse)
            s.graph->setLineStyle(QCPGraph::lsImpulse);
        s.graph->setData(keys, values);
        const QPoint middle = s.pixel(50, 50).toPoint();
        const QRect across =
            acrossColumn ? QRect(middle.x(), 0, 1, s.plot.height()) : QRect(0, middle.y(), s.plot.width(), 1);
        // Antialiasing may spread the line over three pixels; its summed
        // coverage is the pen's width either way.
        for (bool cheap : {false, true}) {
            s.plot.setCheapDrawing(cheap);
            s.plot.replot();
            const double width = coverage(s.image(), across);
            QVERIFY2(width > 1.7 && width < 2.3, qPrintable(QString("%1: %2").arg(cheap).arg(width)));
        }
    }

    void accumulationKeepsWhatWasDrawnUntilCleared()
    {
        Scene s;
        const QRect low(0, int(s.pixel(0, 30).y()) - 1, s.plot.width(), 3);
        const QRect high(0, int(s.pixel(0, 70).y()) - 1, s.plot.width(), 3);
        auto graph = static_cast<PlotGraph *>(s.graph);
        QVERIFY(s.plot.accumulationEmpty());

        s.graph->setData({10, 90}, {30, 30});
        s.plot.accumulate(graph);
        QVERIFY(graph->accumulated());
        s.graph->setData({10, 90}, {70, 70});
        s.plot.accumulate(graph);
        s.plot.replot();
        QImage shown = s.image();
        QVERIFY(countColour(shown, trace, low) > 50);
        QVERIFY(countColour(shown, trace, high) > 50);

        // One image of the plot's size, however often it is painted into.
        const qint64 bytes = s.plot.accumulationBytes();
        QCOMPARE(bytes, qint64(s.plot.width()) * s.plot.height() * 4);
        for (int i = 0; i < 50; ++i)
            s.plot.accumulate(graph);
        QCOMPARE(s.plot.accumulationBytes(), bytes);

        // Shown through the image only: data changed without accumulating
        // does not appear.
        s.graph->setData({10, 90}, {50, 50});
        s.plot.replot();
        const QRect middle(0, int(s.pixel(0, 50).y()) - 1, s.plot.width(), 3);
        QCOMPARE(countColour(s.image(), trace, middle), 0);

        s.plot.clearAccumulation();
        QVERIFY(s.plot.accumulationEmpty());
        QCOMPARE(s.plot.accumulationBytes(), qint64(0));
        QVERIFY(!graph->accumulated());
        s.plot.replot();
        shown = s.image();
        QCOMPARE(countColour(shown, trace, low), 0);
        QCOMPARE(countColour(shown, trace, high), 0);
        QVERIFY(countColour(shown, trace, middle) > 50);
    }

    void accumulationCarriesThePersistenceStrokes()
    {
        Scene s; // as in persistenceAddsTwoStrokesPerPoint
        s.graph->setData({10, 30, 50}, {10, 90, 10});
        const QPointF p0 = s.pixel(10, 10), p1 = s.pixel(30, 90);
        const QRect lineFree(int(p0.x()) + 2, int(p1.y()) - 1, 4, 5);
        s.plot.persistenceMode = true;
        s.plot.accumulate(static_cast<PlotGraph *>(s.graph));
        s.plot.persistenceMode = false;
        s.plot.replot();
        QVERIFY(countColour(s.image(), trace, lineFree) >= 4);
    }

    // A frame painted into the accumulation again adds nothing: painting
    // the same antialiased line twice would darken its edges, and a steady
    // signal repeats most of its segments and strokes. A new segment is
    // painted; a pen change paints again in the new colour.
    void accumulationPaintsWhatIsNewOnly()
    {
        Scene s;
        auto graph = static_cast<PlotGraph *>(s.graph);
        s.plot.setNotAntialiasedElements(QCP::aeNone);
        graph->setAntialiased(true);
        graph->setPen(QPen(trace, 2));
        s.plot.persistenceMode = true;
        s.graph->setData({10, 37, 63, 90}, {21.3, 74.1, 33.7, 60.2});
        s.plot.accumulate(graph);
        const QImage once = s.plot.accumulationImage().copy();
        s.plot.accumulate(graph);
        QCOMPARE(s.plot.accumulationImage(), once);

        // The same segments and one new one: only the new one changes pixels.
        s.graph->setData({10, 37, 63, 90}, {21.3, 74.1, 33.7, 10.5});
        s.plot.accumulate(graph);
        const QImage more = s.plot.accumulationImage().copy();
        const QRect newSegment(int(s.pixel(70, 0).x()), 0, int(s.pixel(85, 0).x() - s.pixel(70, 0).x()),
                               s.plot.height());
        const QRect oldPart(int(s.pixel(12, 0).x()), 0, int(s.pixel(30, 0).x() - s.pixel(12, 0).x()),
                            s.plot.height());
        QCOMPARE(more.copy(oldPart), once.copy(oldPart));
        QVERIFY(more.copy(newSegment) != once.copy(newSegment));

        graph->setPen(QPen(QColor(40, 230, 60), 2));
        s.plot.accumulate(graph);
        QVERIFY(s.plot.accumulationImage().copy(oldPart) != more.copy(oldPart));

        // Emptied, it starts over: the first frame paints as it did.
        s.plot.clearAccumulation();
        graph->setPen(QPen(trace, 2));
        s.graph->setData({10, 37, 63, 90}, {21.3, 74.1, 33.7, 60.2});
        s.plot.accumulate(graph);
        QCOMPARE(s.plot.accumulationImage(), once);
    }

    // Impulses share their base line: one that stays within what earlier
    // ones covered paints nothing, a taller one paints its whole height.
    void accumulatedImpulsesPaintBeyondTheEarlierOnly()
    {
        Scene s;
        auto graph = static_cast<PlotGraph *>(s.graph);
        // Translucent: a pixel painted twice is darker than one painted once.
        graph->setPen(QPen(QColor(250, 40, 40, 128), 2));
        graph->setLineStyle(QCPGraph::lsImpulse);
        s.graph->setData({50}, {60});
        s.plot.accumulate(graph);
        const QImage first = s.plot.accumulationImage().copy();
        s.graph->setData({50}, {35});
        s.plot.accumulate(graph);
        QCOMPARE(s.plot.accumulationImage(), first);

        s.graph->setData({50}, {85});
        s.plot.accumulate(graph);
        const QImage taller = s.plot.accumulationImage();
        const int x = int(s.pixel(50, 0).x()) - 3;
        const auto rows = [&](double from, double to) {
            const int top = int(s.pixel(0, to).y()) + 2, bottom = int(s.pixel(0, from).y()) - 2;
            return QRect(x, top, 7, bottom - top);
        };
        QCOMPARE(taller.copy(rows(0, 60)), first.copy(rows(0, 60))); // painted once
        QVERIFY(taller.copy(rows(60, 85)) != first.copy(rows(60, 85)));
        QCOMPARE(taller.copy(rows(62, 83)).pixelColor(3, 5), taller.copy(rows(0, 58)).pixelColor(3, 5));
    }

    // Graphs that draw the same as in the replot before come from one cached
    // picture, with the same pixels; any change draws them again, and so
    // does an export, which is not a replot.
    void unchangedGraphsAreShownFromTheCache()
    {
        Scene s;
        s.plot.setNotAntialiasedElements(QCP::aeNone); // antialiased graphs paint half a pixel moved
        s.graph->setAntialiased(true);
        auto *second = s.plot.addPlotGraph();
        second->setPen(QPen(QColor(40, 230, 60), 2));
        second->setAntialiased(true);
        s.graph->setData({10, 40, 90}, {20, 80, 50});
        second->setData({10, 50, 90}, {70, 30, 60});
        s.plot.replot();
        QVERIFY(!s.plot.graphsFromCache());
        const QImage direct = s.image();
        // The picture blended at once rounds antialiased edges by at most one
        // level against the graphs blended one by one.
        s.plot.replot();
        QVERIFY(s.plot.graphsFromCache());
        QVERIFY(largestDifference(s.image(), direct) <= 1);
        s.plot.replot();
        QVERIFY(s.plot.graphsFromCache());
        QVERIFY(largestDifference(s.image(), direct) <= 1);

        second->setData({10, 50, 90}, {70, 30, 95});
        s.plot.replot();
        QVERIFY(!s.plot.graphsFromCache());
        const QImage changed = s.image();
        QVERIFY(changed != direct);
        second->setPen(QPen(trace, 2));
        s.plot.replot();
        QVERIFY(!s.plot.graphsFromCache());
        QVERIFY(s.image() != changed);

        // Changed and exported without a replot: the export shows the change.
        s.plot.replot();
        s.plot.replot();
        QVERIFY(s.plot.graphsFromCache());
        s.graph->setData({10, 40, 90}, {90, 90, 90});
        const QImage exported = s.plot.toPixmap().toImage();
        const QRect top(0, int(s.pixel(0, 90).y()) - 1, s.plot.width(), 3);
        QVERIFY(countColour(exported.convertToFormat(QImage::Format_RGB32), trace, top) > 50);
    }

    // Under an opaque accumulation the bottom buffer is not filled first: the
    // picture is the one the library's own drawing gives, to the last row,
    // and what moved since the last replot leaves nothing behind.
    void accumulationReplacesTheBackgroundFill()
    {
        Scene s;
        s.graph->setData({10, 90}, {30, 30});
        s.plot.accumulate(static_cast<PlotGraph *>(s.graph));
        auto *other = s.plot.addPlotGraph();
        other->setPen(QPen(QColor(40, 230, 60), 1));
        other->setData({0, 100}, {0.2, 0.2}); // along the bottom row
        s.plot.setCheapDrawing(false);
        s.plot.replot();
        const QImage reference = s.image();
        s.plot.setCheapDrawing(true);
        s.plot.replot();
        s.plot.replot();
        QCOMPARE(s.image(), reference);

        other->setData({0, 100}, {60, 60});
        s.plot.replot();
        const QRect bottomRow(0, s.plot.height() - 2, s.plot.width(), 2);
        QCOMPARE(countColour(s.image(), QColor(40, 230, 60), bottomRow), 0);
        QCOMPARE(countColour(s.image(), background, bottomRow), 2 * s.plot.width());
    }

    // Pixels that no longer match the coordinates are dropped.
    void accumulationClearsWhenThePictureMoves_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("resize") << "resize" << true;
        QTest::newRow("key range") << "key range" << true;
        QTest::newRow("value range") << "value range" << true;
        QTest::newRow("same range again") << "same range" << false;
        QTest::newRow("replot") << "replot" << false;
    }
    void accumulationClearsWhenThePictureMoves()
    {
        QFETCH(QString, change);
        QFETCH(bool, cleared);
        Scene s;
        s.graph->setData({10, 90}, {30, 30});
        s.plot.accumulate(static_cast<PlotGraph *>(s.graph));
        QVERIFY(!s.plot.accumulationEmpty());
        if (change == "resize") {
            s.plot.resize(s.plot.size() + QSize(20, 10));
            QCoreApplication::processEvents();
        } else if (change == "key range") {
            s.plot.xAxis->setRange(5, 105);
        } else if (change == "value range") {
            s.plot.yAxis->setRange(0, 120);
        } else if (change == "same range") {
            s.plot.xAxis->setRange(0, 100);
        } else {
            s.plot.replot();
        }
        QCOMPARE(s.plot.accumulationEmpty(), cleared);
        QCOMPARE(static_cast<PlotGraph *>(s.graph)->accumulated(), !cleared);
    }

    void blankedShowsTheBackgroundWhateverIsReplotted()
    {
        Scene s;
        s.graph->setPen(QPen(trace, 3));
        s.graph->setData({10, 90}, {50, 50});
        s.plot.replot();
        QVERIFY(countColour(s.image(), trace, s.plot.rect()) > 100);

        s.plot.setBlanked(true);
        QVERIFY(s.plot.blanked());
        QCOMPARE(countColour(s.image(), trace, s.plot.rect()), 0);
        s.plot.replot(); // a resize or theme change meanwhile
        const QImage blank = s.image();
        QCOMPARE(countColour(blank, trace, s.plot.rect()), 0);
        QCOMPARE(countColour(blank, background, s.plot.rect()), s.plot.width() * s.plot.height());
        QCOMPARE(s.graph->dataCount(), 2);

        s.plot.setBlanked(false);
        QVERIFY(countColour(s.image(), trace, s.plot.rect()) > 100);
    }

    void nothingIsDrawnForFewerThanTwoPointsOrAnEmptyPen()
    {
        Scene s;
        s.plot.persistenceMode = true;
        s.graph->setData({50}, {50});
        s.plot.replot();
        QCOMPARE(countColour(s.image(), trace, s.plot.rect()), 0);

        s.graph->setData({10, 90}, {50, 50});
        s.graph->setPen(QPen(QColor(250, 40, 40, 0), 3));
        s.plot.replot();
        QCOMPARE(countColour(s.image(), trace, s.plot.rect()), 0);
    }
};

QUORVEL_TEST_MAIN(TestPlotWidget)
#include "test_plotwidget.moc"
