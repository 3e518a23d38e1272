// The window's own start-up and shutdown: log file, style sheets, fonts,
// timers, and the placement of the cursor read-outs on resize.

#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "windowfixture.h"

#include <QFile>
#include <QLabel>
#include <QTabWidget>

namespace {

QCPItemText *readOut(PlotWidget *plot, const QString &prefix)
{
    for (int i = 0; i < plot->itemCount(); ++i)
        if (auto *text = qobject_cast<QCPItemText *>(plot->item(i)))
            if (text->text().trimmed().startsWith(prefix))
                return text;
    return nullptr;
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
            {"ΔT", 25, 25, -1},  {"1/ΔT", 25, 40, -1}, {"ΔV", 150, -1, 55},
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
};

QUORVEL_TEST_MAIN(TestWindowShell)
#include "test_window_shell.moc"
