// The window's own start-up and shutdown: log file, style sheets, fonts,
// timers, and the placement of the cursor read-outs on resize.

#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>

#include <functional>

namespace {

QCPItemText *readOut(PlotWidget *plot, const QString &prefix)
{
    for (int i = 0; i < plot->itemCount(); ++i)
        if (auto *text = qobject_cast<QCPItemText *>(plot->item(i)))
            if (text->text().trimmed().startsWith(prefix))
                return text;
    return nullptr;
}

// The logic lines' labels, "Bit 0" to "Bit 7" as the scene creates them.
QList<QCPItemText *> bitLabels(PlotWidget *plot)
{
    QList<QCPItemText *> labels;
    for (int i = 0; i < plot->itemCount(); ++i)
        if (auto *text = qobject_cast<QCPItemText *>(plot->item(i)))
            if (text->text().startsWith("Bit "))
                labels << text;
    return labels;
}

QRectF boxOf(QCPItemText *label)
{
    return QRectF(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
}

// The box less a rim of two pixels: its corners are computed apart from the
// drawing, and may be rounded the other way.
QRect inner(QCPItemText *label)
{
    return boxOf(label).toAlignedRect().adjusted(2, 2, -2, -2);
}

// The plot as drawn now, with its graphs and grid shown or not.
QImage drawnPlot(PlotWidget *plot, bool graphsAndGrid)
{
    for (int i = 0; i < plot->graphCount(); ++i)
        plot->graph(i)->setVisible(graphsAndGrid);
    plot->xAxis->grid()->setVisible(graphsAndGrid);
    plot->yAxis->grid()->setVisible(graphsAndGrid);
    plot->replot(QCustomPlot::rpImmediateRefresh);
    return plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Empty when both images agree inside the box, else the first pixel that differs.
QString differenceInside(const QImage &a, const QImage &b, const QRect &box)
{
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QString("%1,%2: %3 and %4")
                    .arg(x)
                    .arg(y)
                    .arg(QColor(a.pixel(x, y)).name(), QColor(b.pixel(x, y)).name());
    return QString();
}

} // namespace

class TestWindowShell : public QObject
{
    Q_OBJECT

    quorveltest::WindowFixture f;

private slots:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    void logFileIsTruncatedAtEveryStart()
    {
        {
            QFile old("log.txt");
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("frames of an earlier run\n");
        }
        {
            f.startWithoutInstrument();
            QFile log("log.txt");
            QVERIFY(log.open(QIODevice::ReadOnly));
            QCOMPARE(log.size(), qint64(0));
            f.cleanup();
        }
        QFile log("log.txt");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(!log.readAll().contains("earlier run"));
    }

    void startsOnTheFirstPagesWithItsStyleSheets()
    {
        QuorvelInterface &window = *f.startWithoutInstrument();
        QCOMPARE(window.windowTitle(), QString("Halvorine Ombrix Interface - Not Connected"));
        QCOMPARE(window.findChild<QTabWidget *>("mainTabWidget")->currentIndex(), 0);
        QVERIFY(window.styleSheet().contains("#EBECEF", Qt::CaseInsensitive));
        const QString tabStyle = window.findChild<QTabWidget *>("tabWidget1")->styleSheet();
        QVERIFY(!tabStyle.isEmpty());
        QCOMPARE(window.findChild<QTabWidget *>("mainTabWidget")->styleSheet(), tabStyle);
        QCOMPARE(window.findChild<QLabel *>("labelHertz")->styleSheet(), QString("QLabel{font-size: 32px};"));

        const QFont meter = window.findChild<QLabel *>("vppChannel1")->font();
        QCOMPARE(meter.family(), QString("Courier New"));
        QCOMPARE(meter.weight(), int(QFont::DemiBold));
        // The style sheet's 50-pixel size for the read-outs wins over the point size.
        QVERIFY(meter.pointSize() == 50 || meter.pixelSize() == 50);
        QCOMPARE(window.findChild<QLabel *>("frequencyValue")->font().family(), QString("Courier New"));
    }

    void readOutsKeepTheirDistanceFromTheEdges()
    {
        QuorvelInterface &window = *f.start();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PlotWidget *plot = f.plot();
        QVERIFY(plot);

        const struct
        {
            const char *prefix;
            int fromRight, y, fromBottom;
        } expected[] = {
            {"ΔT", 25, 40, -1},  {"1/ΔT", 25, 55, -1}, {"ΔV", 150, -1, 55},
            {"Vb", 150, -1, 70}, {"Va", 150, -1, 85},
        };
        for (const QSize size : {QSize(1000, 900), QSize(900, 700)}) {
            window.resize(size);
            QTRY_VERIFY(plot->width() > 0);
            QCoreApplication::processEvents();
            for (const auto &e : expected) {
                QCPItemText *label = readOut(plot, QString::fromUtf8(e.prefix));
                QVERIFY2(label, e.prefix);
                const QPointF at = label->position->pixelPosition();
                QCOMPARE(int(at.x()), plot->width() - e.fromRight);
                QCOMPARE(int(at.y()), e.y >= 0 ? e.y : plot->height() - e.fromBottom);
            }
        }
    }

    // The logic lines' labels lie wholly inside the plot, right-aligned at
    // its right edge, at every window size from the smallest up and however
    // long a renamed label is; traces and grid do not run through them.
    void bitLabelsLieWhollyInsideThePlot_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("773x635") << QSize(773, 635);
        QTest::newRow("850x850") << QSize(850, 850);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }
    void bitLabelsLieWhollyInsideThePlot()
    {
        QFETCH(QSize, size);
        QVERIFY(f.startStreaming(size));
        QuorvelInterface &window = *f.get();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(window.size(), size);
        f.child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        for (int n = 0; n < 8; ++n)
            if (QCheckBox *line = f.child<QCheckBox>(QString("checkBoxCHD%1").arg(n)); !line->isChecked())
                line->click();
        PlotWidget *plot = f.plot();
        const QList<QCPItemText *> labels = bitLabels(plot);
        QCOMPARE(labels.size(), 8);
        QTRY_VERIFY(std::all_of(labels.begin(), labels.end(), [](QCPItemText *l) { return l->visible(); }));
        QVERIFY(f.waitForReplots(2));

        const QRect axisRect = plot->axisRect()->rect();
        const QRectF inside(axisRect.left(), axisRect.top(), axisRect.width(), axisRect.height());
        auto check = [&](QCPItemText *label) {
            const QRectF box = boxOf(label);
            QVERIFY2(inside.contains(box), qPrintable(QString("%1: %2,%3 %4x%5 outside %6,%7 %8x%9")
                                                          .arg(label->text())
                                                          .arg(box.x()).arg(box.y())
                                                          .arg(box.width()).arg(box.height())
                                                          .arg(inside.x()).arg(inside.y())
                                                          .arg(inside.width()).arg(inside.height())));
            // The box is the whole text's, not a cut part of it.
            QVERIFY(box.width() >= QFontMetrics(label->font()).horizontalAdvance(label->text()));
            // Anchored at the right edge.
            QVERIFY2(inside.right() - box.right() >= 0 && inside.right() - box.right() <= 5,
                     qPrintable(QString::number(inside.right() - box.right())));
        };
        for (QCPItemText *label : labels)
            check(label);
        // A renamed label grows to the left.
        labels[3]->setText("Bit 3 SDA line");
        plot->replot(QCustomPlot::rpImmediateRefresh);
        check(labels[3]);
        if (QTest::currentTestFailed())
            return;

        // With and without the graphs and grid, every label's box is drawn
        // the same: the plot's background is behind the text.
        QVERIFY(plot->opaqueBackground().isValid());
        for (QCPItemText *label : labels)
            QCOMPARE(label->brush().color(), plot->opaqueBackground());
        const QImage bare = drawnPlot(plot, false);
        const QImage full = drawnPlot(plot, true);
        for (QCPItemText *label : labels) {
            const QString difference = differenceInside(bare, full, inner(label));
            QVERIFY2(difference.isEmpty(), qPrintable(label->text() + " " + difference));
        }
        // Without the background something does cross them (the check above
        // could fail): a grid line or a trace.
        for (QCPItemText *label : labels)
            label->setBrush(Qt::NoBrush);
        const QImage bareClear = drawnPlot(plot, false);
        const QImage fullClear = drawnPlot(plot, true);
        bool crossed = false;
        for (QCPItemText *label : labels)
            crossed = crossed
                      || !differenceInside(bareClear, fullClear, inner(label)).isEmpty();
        QVERIFY(crossed);
    }

    // The plot alone: F11, the button under the plot and a double-click on
    // the splitter handle hide the control panel; F11, Esc and the button
    // bring it back as it was. The window keeps its size, the plot takes the room.
    void plotOnlyHidesAndRestoresTheControls()
    {
        QuorvelInterface *window = f.start();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto *panel = f.child<QTabWidget>("mainTabWidget");
        auto *button = f.child<QToolButton>("controlsToggleButton");
        auto *splitter = f.child<QSplitter>("splitter");
        QApplication::processEvents();
        const QSize windowSize = window->size();
        const int plotWidth = f.plot()->width();
        auto layoutOfPanel = [&] {
            QList<QRect> all{panel->geometry()};
            for (QWidget *w : panel->findChildren<QWidget *>())
                all << w->geometry();
            return all;
        };
        const QList<QRect> panelLayout = layoutOfPanel();
        QVERIFY(!panel->isHidden());
        QCOMPARE(button->text(), QString("Plot only"));

        // Esc with the panel shown leaves it.
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!panel->isHidden());

        const std::function<void()> f11 = [&] { QTest::keyClick(window, Qt::Key_F11); };
        const std::function<void()> esc = [&] { QTest::keyClick(window, Qt::Key_Escape); };
        const std::function<void()> click = [&] { button->click(); };
        const std::function<void()> handle = [&] { QTest::mouseDClick(splitter->handle(1), Qt::LeftButton); };
        const struct
        {
            const char *name;
            std::function<void()> hide, show;
        } ways[] = {{"F11, F11", f11, f11}, {"F11, Esc", f11, esc}, {"button, button", click, click},
                    {"handle, Esc", handle, esc}, {"button, F11", click, f11}};
        for (const auto &way : ways) {
            way.hide();
            QTRY_VERIFY2(f.plot()->width() > plotWidth, way.name);
            QVERIFY2(panel->isHidden(), way.name);
            QCOMPARE(window->size(), windowSize);
            // Only the window's margins are left beside the plot.
            QVERIFY2(f.plot()->width() >= windowSize.width() - 20, qPrintable(QString::number(f.plot()->width())));
            QCOMPARE(button->text(), QString("Show controls"));
            QVERIFY(button->isVisible());

            way.show();
            QTRY_COMPARE(f.plot()->width(), plotWidth);
            QVERIFY2(!panel->isHidden(), way.name);
            QCOMPARE(window->size(), windowSize);
            QCOMPARE(layoutOfPanel(), panelLayout);
            QCOMPARE(button->text(), QString("Plot only"));
        }
    }
};

QUORVEL_TEST_MAIN(TestWindowShell)
#include "test_window_shell.moc"
