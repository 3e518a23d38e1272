// The session against the simulated instrument: connecting (firmware check,
// settings read into the state, nothing written), the state following every
// write, the time base with its register, and the meter mode entered and left
// as both programs do it.
#include "instruments/meter.h"
#include "quorveltest.h"
#include "session/session.h"
#include "simcontrol.h"

#include <QSignalSpy>

namespace sim = quorvelsim;

namespace {
// The register writes the instrument took since the log was cleared, as "b<index>=<value>",
// and the other one-letter commands as their letter.
QStringList logEntries()
{
    QStringList out;
    for (const sim::Command &c : sim::commandLog()) {
        if (c.letter == 'b')
            out << QStringLiteral("b%1=%2").arg(c.index).arg(c.value);
        else
            out << QString(QLatin1Char(c.letter));
    }
    return out;
}
} // namespace

class TestSession : public QObject
{
    Q_OBJECT

    session::Session *s = nullptr;

    bool connectUsb()
    {
        const session::OpenResult r = s->open(InstrumentLink::Wire::Usb);
        return r.outcome == session::OpenResult::Opened && s->readSettings() == session::ReadOutcome::Read;
    }

private slots:
    void init()
    {
        sim::reset();
        s = new session::Session;
    }
    void cleanup()
    {
        s->release();
        delete s;
        s = nullptr;
    }

    // The firmware check's result, and a read that fills the state from the
    // instrument's block without writing anything.
    void connectReadsWithoutWriting_data()
    {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<bool>("older");
        QTest::newRow("current") << QByteArray("2.37") << false;
        QTest::newRow("older") << QByteArray("2.30") << true;
        QTest::newRow("newer") << QByteArray("3.00") << false;
    }
    void connectReadsWithoutWriting()
    {
        QFETCH(QByteArray, firmware);
        QFETCH(bool, older);
        sim::setFirmwareVersion(firmware);
        sim::pokeRegister(reg::Gain1, 5);
        sim::pokeRegister(reg::TriggerSource, 1);
        sim::clearCommandLog();
        const session::OpenResult r = s->open(InstrumentLink::Wire::Usb);
        QCOMPARE(r.outcome, session::OpenResult::Opened);
        QCOMPARE(r.version, QString::fromLatin1(firmware));
        QCOMPARE(r.firmwareOlderThan(QStringLiteral("2.37")), older);
        QCOMPARE(s->readSettings(), session::ReadOutcome::Read);
        QCOMPARE(s->state().gain1, 5);
        QCOMPARE(s->state().triggerSource, 1);
        QCOMPARE(s->state().timeBase, 7);
        QVERIFY(!s->inMeterMode());
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(s->lastRead().bytes.data()), 44), sim::settingsBlock());
        QVERIFY2(!logEntries().join(' ').contains('b'), qPrintable(logEntries().join(' ')));
    }

    void connectFailures()
    {
        sim::setFault(sim::Fault::NoDevice);
        QCOMPARE(s->open(InstrumentLink::Wire::Usb).outcome, session::OpenResult::NotOpened);
        QVERIFY(!s->link().isConnected());
        sim::clearFaults();
        QCOMPARE(s->open(InstrumentLink::Wire::Usb).outcome, session::OpenResult::Opened);
        sim::unplug();
        QCOMPARE(s->readSettings(), session::ReadOutcome::Lost);
    }

    // The instrument left in a meter mode: the session knows it on reading.
    void readInMeterMode()
    {
        sim::pokeRegister(reg::Spectrum, 0);
        sim::pokeRegister(reg::MStatus, 0x41);
        QVERIFY(connectUsb());
        QVERIFY(s->inMeterMode());
        QVERIFY(s->state().meterMode);
    }

    // Every write that leaves through the writer keeps the state current;
    // the time base carries its sampling value and its register in one call.
    void stateFollowsWrites()
    {
        QVERIFY(connectUsb());
        sim::clearCommandLog();
        s->writer().write(reg::Gain2, 6);
        s->setTimeBase(12);
        s->write({{reg::TriggerSource, 9}, {reg::HPos, 100}});
        QCOMPARE(logEntries(), QStringList({"b13=6", "b0=12", "b24=9", "b14=100"}));
        QCOMPARE(s->state().gain2, 6);
        QCOMPARE(s->state().timeBase, 12);
        QCOMPARE(s->state().triggerSource, 9);
        QCOMPARE(s->state().hpos, 100);
        QCOMPARE(int(sim::peekRegister(reg::SamplingRate)), 12);
        // Held back while a read block is applied: the state follows what is sent.
        s->writer().beginApplying(s->lastRead());
        s->writer().write(reg::Gain1, 1);
        QCOMPARE(s->state().gain1, 3);
        s->writer().endApplying();
        QCOMPARE(s->state().gain1, 1);
        QCOMPARE(int(sim::peekRegister(reg::Gain1)), 1);
    }

    // Entering: the spectrum register's meter value, the mode, the counter
    // source. Leaving: the scope's settings from the state, a forced
    // trigger, and the stream on; the scope's values survive the meter's writes.
    void meterModeEnterAndLeave_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("pulses");
        QTest::addColumn<int>("source");
        QTest::addColumn<QStringList>("enter");
        QTest::newRow("VPP") << int(meter::Vpp) << false << -1 << QStringList{"b8=0", "b11=65"};
        QTest::newRow("VDC") << int(meter::Vdc) << false << -1 << QStringList{"b8=0", "b11=129"};
        QTest::newRow("frequency, EXT") << int(meter::Counter) << false << 10
                                        << QStringList{"b8=0", "b11=1", "b24=10"};
        QTest::newRow("pulses, bit 7") << int(meter::Counter) << true << 9
                                       << QStringList{"b8=0", "b11=193", "b24=9"};
        QTest::newRow("counter, source kept") << int(meter::Counter) << false << -1
                                              << QStringList{"b8=0", "b11=1"};
    }
    void meterModeEnterAndLeave()
    {
        QFETCH(int, page);
        QFETCH(bool, pulses);
        QFETCH(int, source);
        QFETCH(QStringList, enter);
        sim::pokeRegister(reg::Spectrum, 0xA0); // time display and the FFT trace
        sim::pokeRegister(reg::TriggerSource, 1);
        QVERIFY(connectUsb());
        sim::clearCommandLog();
        s->enterMeterMode(page, pulses, source);
        QCOMPARE(logEntries(), enter);
        QVERIFY(s->inMeterMode());
        QCOMPARE(s->state().triggerSource, 1);
        QCOMPARE(int(reg::encodeSpectrum(s->state().spectrum)), 0xA0);
        // The instrument's meter changes the scope's settings; the user changes a gain.
        sim::pokeRegister(reg::Gain1, 0);
        s->writer().write(reg::Gain2, 4);
        sim::clearCommandLog();
        s->leaveMeterMode();
        QCOMPARE(logEntries(), QStringList({"b8=160", "b24=1", "h", "b12=3", "b13=4", "b0=7"}));
        QVERIFY(!s->inMeterMode());
        QCOMPARE(int(sim::peekRegister(reg::Spectrum)), 0xA0);
        QCOMPARE(int(sim::peekRegister(reg::Gain1)), 3);
    }
};

QUORVEL_CORE_TEST_MAIN(TestSession)
#include "test_session.moc"
