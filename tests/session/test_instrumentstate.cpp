#include "session/instrumentstate.h"
#include "settings/registers.h"

#include "quorveltest.h"

#include <functional>

using session::InstrumentState;
using session::Writes;
using Setter = std::function<Writes(InstrumentState &)>;
Q_DECLARE_METATYPE(Setter)

namespace {

// A block as the instrument holds it after use: every register in range.
reg::DeviceSettings usedBlock()
{
    reg::DeviceSettings b;
    const quint8 bytes[reg::WritableCount] = {5,    0x05, 0x01, 0x01, 0x0F, 0x21, 0x00, 0x40, 0x20, 0x00,
                                              0x00, 0x10, 2,    3,    40,   10,   20,   30,   40,   50,
                                              60,   12,   0x2C, 0x01, 1,    100,  60,   90,   26,   0x81,
                                              0xA0, 16,   1,    20,   200,  10,   0xD0, 2,    128,  0xF6};
    for (int i = 0; i < reg::WritableCount; ++i)
        b[i] = bytes[i];
    // The bit registers as the encoders write them.
    b[reg::Ch1Options] = reg::encodeChannelOptions({true, false, true, false, false});
    b[reg::Ch2Options] = reg::encodeChannelOptions({true, true, false, true, true});
    b[reg::LogicOptions] = reg::encodeLogicOptions({true, reg::PullUp, false, true, false});
    b[reg::Trigger] = reg::encodeTrigger({reg::Normal, reg::Falling, false});
    b[reg::Cursors] = reg::encodeCursors({false, true, false, reg::Ch2Cursors, true, false});
    b[reg::Display] = reg::encodeDisplay({2, false, true, false, true, false, false});
    b[reg::Spectrum] = reg::encodeSpectrum({reg::Hamming, true, false, false, true});
    b[reg::Sweep] = reg::encodeSweep({false, true, false, true, true, false, false, false});
    b[reg::SnifferControls] = reg::encodeSniffer({3, true, false, reg::NoParity, true});
    b.setDesiredFrequency(123456);
    return b;
}

QString text(const Writes &writes)
{
    QStringList out;
    for (const reg::RegisterWrite &w : writes)
        out << QStringLiteral("%1=%2").arg(w.index).arg(w.value);
    return out.join(QStringLiteral(", "));
}

} // namespace

class TestInstrumentState : public QObject
{
    Q_OBJECT

private slots:
    // One decode, and the encode of what it decoded gives the block back.
    void decodeThenEncodeGivesTheBlockBack()
    {
        const reg::DeviceSettings block = usedBlock();
        const InstrumentState s = InstrumentState::fromBlock(block);
        QCOMPARE(s.timeBase, 5);
        QCOMPARE(s.triggerPosition, 256 - 0x012C);
        QCOMPARE(s.desiredFrequencyHz, 1234.56);
        const reg::DeviceSettings back = s.toBlock();
        for (int i = 0; i < reg::BlockSize; ++i)
            QVERIFY2(back[i] == block[i], qPrintable(QStringLiteral("register %1: %2, read %3").arg(i).arg(back[i]).arg(block[i])));
        // Nothing changed, nothing to write.
        InstrumentState same = s;
        QCOMPARE(text(same.setTimeBase(5)), QString());
    }

    // Values no control can show are clamped on the way in.
    void decodeClampsWhatNoControlShows()
    {
        reg::DeviceSettings block = usedBlock();
        block[reg::Gain1] = 9;
        block[reg::SamplingRate] = 30;
        block.setDesiredFrequency(15000000); // 150 kHz
        const InstrumentState s = InstrumentState::fromBlock(block);
        QCOMPARE(s.gain1, reg::GainMax);
        QCOMPARE(s.timeBase, reg::SamplingRateMax);
        QCOMPARE(s.desiredFrequencyHz, reg::DesiredFrequencyRange.max);
    }

    // After a read, what the controls show clamped or in their own steps is
    // written back; bits no control shows and bytes no control can take stay.
    void writeBackOfWhatTheControlsShow_data()
    {
        QTest::addColumn<QVector<int>>("bytes"); // index, value pairs over usedBlock()
        QTest::addColumn<QString>("writes");
        QTest::newRow("nothing") << QVector<int>{} << QString();
        QTest::newRow("time-out below the box") << QVector<int>{reg::TriggerTimeout, 0} << "28=3";
        QTest::newRow("positions beyond the sliders")
            << QVector<int>{reg::Ch1Position, 0x01, reg::Ch2Position, 0x80} << "29=129, 30=129";
        QTest::newRow("window trigger on a logic source")
            << QVector<int>{reg::Trigger, 0x44, reg::TriggerSource, 3} << "5=132";
        // Single as written (3) shows Normal; the register keeps its bits.
        QTest::newRow("trigger bits kept") << QVector<int>{reg::Trigger, 3} << QString();
        QTest::newRow("trigger source above EXT") << QVector<int>{reg::TriggerSource, 12} << "24=0";
        QTest::newRow("sweep start above the end")
            << QVector<int>{reg::SweepStart, 240, reg::SweepEnd, 220} << "33=220";
        QTest::newRow("sweep speed 0") << QVector<int>{reg::SweepSpeed, 0} << "35=1";
        QTest::newRow("duty cycle 0") << QVector<int>{reg::DutyCycle, 0} << "38=1";
        // Parity reads bit 5 alone as Odd, which is written 96 (read back as
        // Even): the firmware's own two rules.
        QTest::newRow("parity as the instrument writes it") << QVector<int>{reg::SnifferControls, 32 | 3} << "10=99";
        QTest::newRow("bytes no slider takes")
            << QVector<int>{reg::SamplingRate, 30, reg::Gain1, 9, reg::HPos, 200, reg::Amplitude, 5}
            << QString();
        QTest::newRow("logic position with all lines")
            << QVector<int>{reg::LogicMask, 0xFF, reg::LogicPosition, 56} << "31=0";
    }
    void writeBackOfWhatTheControlsShow()
    {
        QFETCH(QVector<int>, bytes);
        QFETCH(QString, writes);
        reg::DeviceSettings block = usedBlock();
        for (int i = 0; i + 1 < bytes.size(); i += 2)
            block[bytes[i]] = quint8(bytes[i + 1]);
        const InstrumentState s = InstrumentState::fromBlock(block);
        QCOMPARE(text(s.writeBack(block)), writes);
        // What was written back reads back as it is (the sniffer's parity aside).
        reg::DeviceSettings written = block;
        for (const reg::RegisterWrite &w : s.writeBack(block))
            written[w.index] = w.value;
        if (!writes.startsWith(QLatin1String("10=")))
            QCOMPARE(text(InstrumentState::fromBlock(written).writeBack(written)), QString());
        QVERIFY(!s.frequencyWrittenBack(block));
        block.setDesiredFrequency(15000000);
        QVERIFY(InstrumentState::fromBlock(block).frequencyWrittenBack(block));
    }

    void settersReturnTheirWrites_data()
    {
        QTest::addColumn<Setter>("setter");
        QTest::addColumn<QString>("writes");
        QTest::newRow("time base") << Setter([](InstrumentState &s) { return s.setTimeBase(12); }) << "0=12";
        QTest::newRow("time base beyond the slider")
            << Setter([](InstrumentState &s) { return s.setTimeBase(40); }) << "0=21";
        QTest::newRow("channel 2 trace off")
            << Setter([](InstrumentState &s) { return s.setChannelOptions(2, reg::ChannelOptions{}); }) << "2=0";
        // Four lines more on the screen move the logic position into view.
        QTest::newRow("logic line with position")
            << Setter([](InstrumentState &s) {
                   Writes w;
                   for (int line = 4; line < reg::LogicLines; ++line)
                       w += s.setLogicLine(line, true);
                   return w;
               })
            << "4=31, 4=63, 4=127, 31=8, 4=255, 31=0";
        QTest::newRow("trigger level kept off the extreme rows")
            << Setter([](InstrumentState &s) { return s.setTriggerLevel(1); }) << "25=3";
        QTest::newRow("gain") << Setter([](InstrumentState &s) { return s.setGain(2, 5); }) << "13=5";
        QTest::newRow("trigger hold-off") << Setter([](InstrumentState &s) { return s.setTriggerHold(200); }) << "21=200";
        QTest::newRow("amplitude full") << Setter([](InstrumentState &s) { return s.setAmplitude(4.0); }) << "36=128";
        QTest::newRow("duty to the nearest step")
            << Setter([](InstrumentState &s) { return s.setDutyCycle(25.0); }) << "38=64";
        QTest::newRow("sweep end below the start")
            << Setter([](InstrumentState &s) { return s.setSweepRange(100, 50); }) << "33=100, 34=100";
        QTest::newRow("spectrum in meter mode keeps the meter bits clear")
            << Setter([](InstrumentState &s) {
                   s.meterMode = true;
                   reg::SpectrumSettings sp = s.spectrum;
                   sp.window = reg::Hann;
                   return s.setSpectrum(sp);
               })
            << QString("8=%1").arg(int(reg::encodeMeterSpectrum([] {
                   reg::SpectrumSettings sp = reg::decodeSpectrum(usedBlock()[reg::Spectrum]);
                   sp.window = reg::Hann;
                   return sp;
               }())));
    }
    void settersReturnTheirWrites()
    {
        QFETCH(Setter, setter);
        QFETCH(QString, writes);
        InstrumentState s = InstrumentState::fromBlock(usedBlock());
        QCOMPARE(text(setter(s)), writes);
        // The state now encodes what was written.
        InstrumentState again = s;
        QCOMPARE(text(setter(again)), QString());
    }

    void desiredFrequencyStaysInTheControlsRange_data()
    {
        QTest::addColumn<double>("hertz");
        QTest::addColumn<quint32>("hundredths");
        QTest::newRow("1234.56 Hz") << 1234.56 << quint32(123456);
        QTest::newRow("200 kHz") << 200000.0 << quint32(10000000);
        QTest::newRow("0 Hz") << 0.0 << quint32(100);
        QTest::newRow("NaN") << qQNaN() << quint32(100);
    }
    void desiredFrequencyStaysInTheControlsRange()
    {
        QFETCH(double, hertz);
        QFETCH(quint32, hundredths);
        InstrumentState s;
        QCOMPARE(s.setDesiredFrequency(hertz), hundredths);
        QCOMPARE(s.toBlock().desiredFrequency(), hundredths);
    }

    // The named conversions, each at its boundaries.
    void conversions()
    {
        QVERIFY(!reg::isSlowTimeBase(reg::LastFrameTimeBase));
        QVERIFY(reg::isSlowTimeBase(reg::LastFrameTimeBase + 1));
        QVERIFY(!reg::isSlowTimeBase(0));
        // 0 V is sample 127; one division is 32 samples (upward is smaller).
        QCOMPARE(reg::triggerLevelSample(0.0, 1.0), 127.0);
        QCOMPARE(reg::triggerLevelSample(1.0, 1.0), 95.0);
        QCOMPARE(reg::triggerLevelSample(-0.5, 0.5), 159.0);
        QCOMPARE(reg::triggerLevelVolts(95, 1.0), 1.0);
        QCOMPARE(reg::triggerLevelVolts(reg::TriggerLevelMin, 0.5), 1.9375);
        QCOMPARE(reg::triggerLevelRegister(reg::levelUnits(2)), reg::TriggerLevelMin);
        QCOMPARE(reg::triggerLevelRegister(reg::levelUnits(253)), reg::TriggerLevelMax);
        QCOMPARE(reg::triggerLevelRegister(reg::levelUnits(100) + 1), 100);
        QCOMPARE(reg::windowLevelRegister(-3), 0);
        QCOMPARE(reg::windowLevelRegister(600), 255);
        for (int position : {0, 1, 128, 255, 256})
            QCOMPARE(reg::triggerPosition(reg::postTriggerValue(position)), position);
        QVERIFY(reg::DesiredFrequencyRange.contains(100000.0));
        QVERIFY(!reg::DesiredFrequencyRange.contains(100000.01));
        QVERIFY(!reg::DesiredFrequencyRange.contains(qQNaN()));
    }
};

QUORVEL_CORE_TEST_MAIN(TestInstrumentState)
#include "test_instrumentstate.moc"
