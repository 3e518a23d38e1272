// The plot widget's additions: the resize signal, blanking without losing
// content, and the persistence strokes of the line drawing.

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

    QImage image()
    {
        return plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
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
