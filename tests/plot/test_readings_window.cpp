// What the plot tells the user about the scope against the simulated
// instrument: the state text in its corner and the buttons that only act
// while connected.
#include "app/quorvelinterface.h"
#include "quorveltest.h"
#include "settings/registers.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <qcustomplot.h>

#include <QAbstractButton>
#include <QLabel>
#include <QRadioButton>

namespace sim = quorvelsim;

class TestReadingsWindow : public QObject
{
    Q_OBJECT

    quorveltest::WindowFixture f;

    template <typename T> T *child(const char *name) { return f.child<T>(name); }

    QString state()
    {
        auto *label = f.plot()->findChild<QCPItemText *>(QStringLiteral("plotStateText"));
        return label && label->visible() ? label->text() : QStringLiteral("(no state text)");
    }
    bool scopeButtonsEnabled()
    {
        return child<QAbstractButton>("stopButton")->isEnabled() && child<QAbstractButton>("forceButton")->isEnabled() &&
               child<QAbstractButton>("autoButton")->isEnabled();
    }
    bool scopeButtonsDisabled()
    {
        return !child<QAbstractButton>("stopButton")->isEnabled() &&
               !child<QAbstractButton>("forceButton")->isEnabled() && !child<QAbstractButton>("autoButton")->isEnabled();
    }

private slots:
    void init()
    {
        f.init(60);
        sim::setNoiseLevel(0);
    }
    void cleanup() { f.cleanup(); }

    void stateFollowsTheScope()
    {
        QVERIFY(f.startStreaming());
        QTRY_COMPARE(state(), QString("Running"));
        QVERIFY(scopeButtonsEnabled());

        auto *stop = child<QAbstractButton>("stopButton");
        stop->click();
        QTRY_COMPARE(state(), QString("Stopped"));
        stop->click();
        QTRY_COMPARE(state(), QString("Running"));

        // Normal with the level above anything the signal reaches: no frame comes.
        sim::pokeRegister(reg::TriggerLevel, 0);
        child<QRadioButton>("radioButtonNormal")->click();
        QTRY_COMPARE_WITH_TIMEOUT(state(), QString("Waiting for trigger"), 3000);
        // Auto draws a frame whatever the level.
        child<QRadioButton>("radioButtonAuto")->click();
        QTRY_COMPARE_WITH_TIMEOUT(state(), QString("Running"), 3000);

        child<QAbstractButton>("connectButton")->click();
        QTRY_COMPARE(state(), QString("Not connected"));
        QVERIFY(scopeButtonsDisabled());
    }

    void singleHoldsItsFrame()
    {
        QVERIFY(f.startStreaming());
        child<QRadioButton>("radioButtonSingle")->click();
        QTRY_COMPARE_WITH_TIMEOUT(state(), QString("Single: captured"), 3000);
        QCOMPARE(int(sim::peekRegister(reg::Trigger) & 3), 3);
        // Held: no frame for 2 s, and the text stays.
        const quint64 held = f.framesProcessed();
        QVERIFY(!QTest::qWaitFor([&] { return f.framesProcessed() > held; }, 2000));
        QCOMPARE(state(), QString("Single: captured"));
        // FORCE gives one frame and holds it again.
        child<QAbstractButton>("forceButton")->click();
        QVERIFY(f.waitForFrames(1, 3000));
        QTRY_COMPARE(state(), QString("Single: captured"));
        const quint64 forced = f.framesProcessed();
        QVERIFY(!QTest::qWaitFor([&] { return f.framesProcessed() > forced; }, 1000));
    }

    void singleWaitsWhenNothingTriggers()
    {
        sim::pokeRegister(reg::TriggerLevel, 0);
        QVERIFY(f.startConnected());
        child<QRadioButton>("radioButtonSingle")->click();
        QTRY_COMPARE_WITH_TIMEOUT(state(), QString("Waiting for trigger"), 3000);
    }

    void unplugSaysLinkLostWithTheReason()
    {
        QVERIFY(f.startStreaming());
        sim::unplug();
        QTRY_VERIFY_WITH_TIMEOUT(state().startsWith("Link lost: "), 5000);
        const QString reason = child<QLabel>("infoLabel")->text();
        QVERIFY(!reason.isEmpty());
        QCOMPARE(state(), "Link lost: " + reason);
        QVERIFY(scopeButtonsDisabled());
    }
};

QUORVEL_TEST_MAIN(TestReadingsWindow)
#include "test_readings_window.moc"
