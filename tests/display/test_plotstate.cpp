// The plot's state text from what the window knows of the scope.
#include "quorveltest.h"

#include "display/plotstate.h"

using plotstate::Inputs;
using plotstate::Mode;

Q_DECLARE_METATYPE(Inputs)

class TestPlotState : public QObject
{
    Q_OBJECT

private slots:
    void text_data()
    {
        QTest::addColumn<Inputs>("in");
        QTest::addColumn<QString>("text");
        Inputs running;
        running.connected = true;
        running.sinceFrameMs = 10;
        running.frameIntervalMs = 17;
        QTest::newRow("free running") << running << "Running";

        Inputs late = running;
        late.sinceFrameMs = 5000;
        QTest::newRow("free running, late frame is no trigger wait") << late << "Running";
        late.mode = Mode::Auto;
        QTest::newRow("auto, late frame") << late << "Running";
        late.mode = Mode::Normal;
        QTest::newRow("normal, no frame for 5 s") << late << "Waiting for trigger";
        late.mode = Mode::Single;
        QTest::newRow("single armed, no frame") << late << "Waiting for trigger";
        late.singleCaptured = true;
        QTest::newRow("single, captured and held") << late << "Single: captured";

        Inputs edge = running;
        edge.mode = Mode::Normal;
        edge.frameIntervalMs = 100;
        edge.sinceFrameMs = 100 + plotstate::WaitMarginMs;
        QTest::newRow("normal, within the margin") << edge << "Running";
        edge.sinceFrameMs += 1;
        QTest::newRow("normal, past the margin") << edge << "Waiting for trigger";

        Inputs stopped = late;
        stopped.stopped = true;
        QTest::newRow("stopped wins over single") << stopped << "Stopped";

        Inputs off;
        off.stopped = true;
        QTest::newRow("not connected") << off << "Not connected";
        off.linkLostReason = "Device unplugged";
        QTest::newRow("link lost with its reason") << off << "Link lost: Device unplugged";
    }
    void text()
    {
        QFETCH(Inputs, in);
        QFETCH(QString, text);
        QCOMPARE(plotstate::text(in), text);
    }
};

QUORVEL_CORE_TEST_MAIN(TestPlotState)
#include "test_plotstate.moc"
