// The settings block and every conversion between register bytes and control
// values: bit layouts, the byte registers' formulas, the dump, and the round
// trip byte -> control -> byte for the registers a control shows with a
// fractional step.
#include "quorveltest.h"

#include "settings/registers.h"

#include <cmath>

namespace {
// A block as the instrument holds it after a factory reset.
reg::DeviceSettings factoryBlock()
{
    const quint8 bytes[reg::BlockSize] = {7,   1,   1,  1,   63,  132, 0,   66, 32, 0,   3,   0,   3,   3,  64,
                                          32,  96,  40, 88,  40,  88,  0,   128, 0, 0,   128, 100, 156, 2,  192,
                                          192, 16,  2,  64,  192, 64,  192, 1,   128, 0,  160, 134, 1,   0};
    return reg::DeviceSettings::fromBytes(bytes, reg::BlockSize);
}
} // namespace

namespace {
// What a QDoubleSpinBox with `decimals` keeps of a value, clamped to its range.
double shownBySpinBox(double value, int decimals, double minimum, double maximum)
{
    const double scale = std::pow(10.0, decimals);
    return std::clamp(std::round(value * scale) / scale, minimum, maximum);
}
} // namespace

class TestRegisters : public QObject
{
    Q_OBJECT

private slots:
    void labels_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "Sampling rate: ";
        QTest::newRow("5") << 5 << "GPIO5 Trigger: ";
        QTest::newRow("10") << 10 << "GPIOA Sniffer Controls: ";
        QTest::newRow("11") << 11 << "GPIOB MStatus: ";
        QTest::newRow("12") << 12 << "M 12 Gain CH1: ";
        QTest::newRow("22") << 22 << "M 22 23 Post Trigger: ";
        QTest::newRow("23 has none") << 23 << "";
        QTest::newRow("36") << 36 << "M 36 Amplitude range: [-128,0]: ";
        QTest::newRow("38 without M") << 38 << "38 Duty cycle range: [1,255]: ";
        QTest::newRow("39") << 39 << "M 39 Offset: ";
        QTest::newRow("40 without M") << 40 << "40 Desired frequency: ";
        QTest::newRow("43 has none") << 43 << "";
        QTest::newRow("outside") << 44 << "";
        QTest::newRow("negative") << -1 << "";
    }
    void labels()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QCOMPARE(reg::label(index), text);
    }

    void blockFields()
    {
        QByteArray raw(60, '\0');
        raw[22] = char(0x34);
        raw[23] = char(0x12);
        raw[40] = 0;
        raw[41] = 0;
        raw[42] = 1;
        raw[43] = 0;
        raw[44] = char(0xEE); // beyond the block: not used
        const reg::DeviceSettings block = reg::DeviceSettings::fromByteArray(raw);
        QCOMPARE(block.postTrigger(), quint16(0x1234));
        QCOMPARE(block.desiredFrequency(), quint32(65536));
        QCOMPARE(block.desiredFrequencyHz(), 655.36);
        QCOMPARE(block.toByteArray(), raw.left(44));

        reg::DeviceSettings written;
        written.setPostTrigger(0xABCD);
        written.setDesiredFrequency(0x01020304);
        QCOMPARE(written[22], quint8(0xCD));
        QCOMPARE(written[23], quint8(0xAB));
        QCOMPARE(written.toByteArray().mid(40), QByteArray("\x04\x03\x02\x01", 4));
        QCOMPARE(written.desiredFrequency(), quint32(0x01020304));
        QCOMPARE(reg::DeviceSettings::fromByteArray(QByteArray("\x05\x06", 2)).toByteArray(),
                 QByteArray("\x05\x06", 2) + QByteArray(42, '\0'));
        QCOMPARE(reg::DeviceSettings::fromBytes(nullptr, 44), reg::DeviceSettings());
    }

    void dump()
    {
        reg::DeviceSettings b;
        for (int i = 0; i < reg::BlockSize; ++i)
            b[i] = quint8(i);
        b[reg::PostTriggerLow] = 0x2C;
        b[reg::PostTriggerHigh] = 0x01; // 300
        b[reg::Ch1Position] = 0xC0;     // printed as 192
        b[reg::Ch2Position] = 0x81;     // printed as 255
        b[reg::LogicPosition] = 0xF8;   // 7 - 31 = -24, printed as 232
        b[reg::Amplitude] = 0xC0;       // printed as 64
        b.setDesiredFrequency(123456);  // 1234.56 Hz
        const QStringList lines = reg::dumpLines(b);
        QCOMPARE(lines.size(), 42);
        QCOMPARE(lines.first(), QString("Device Settings: "));
        QCOMPARE(lines.at(1), QString("Sampling rate: 0"));
        QCOMPARE(lines.at(12), QString("GPIOB MStatus: 11"));
        QCOMPARE(lines.at(22), QString("M 21 Trigger Hold: 21"));
        QCOMPARE(lines.at(23), QString("M 22 23 Post Trigger: 300"));
        QCOMPARE(lines.at(24), QString("M 24 Trigger source: 24"));
        QCOMPARE(lines.at(29), QString("M 29 Channel 1 position: 192"));
        QCOMPARE(lines.at(30), QString("M 30 Channel 2 position: 255"));
        QCOMPARE(lines.at(31), QString("M 31 Channel D position: 232"));
        QCOMPARE(lines.at(36), QString("M 36 Amplitude range: [-128,0]: 64"));
        QCOMPARE(lines.at(38), QString("38 Duty cycle range: [1,255]: 38"));
        QCOMPARE(lines.at(39), QString("M 39 Offset: 39"));
        QCOMPARE(lines.at(40), QString("40 Desired frequency: 1234.56"));
        QCOMPARE(lines.at(41), QString(42, '-'));

        b.setDesiredFrequency(20000000); // 200000 Hz: six significant digits
        QCOMPARE(reg::dumpLines(b).at(40), QString("40 Desired frequency: 200000"));
        b.setDesiredFrequency(123456789); // 1234567.89 Hz
        QCOMPARE(reg::dumpLines(b).at(40), QString("40 Desired frequency: 1.23457e+06"));
    }

    void channelOptions_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("trace");
        QTest::addColumn<bool>("invert");
        QTest::addColumn<bool>("average");
        QTest::addColumn<bool>("math");
        QTest::addColumn<bool>("subtract");
        QTest::newRow("none") << 0 << false << false << false << false << false;
        QTest::newRow("trace") << 1 << true << false << false << false << false;
        QTest::newRow("invert") << 16 << false << true << false << false << false;
        QTest::newRow("average") << 32 << false << false << true << false << false;
        QTest::newRow("math multiply") << 64 << false << false << false << true << false;
        QTest::newRow("math subtract") << 192 << false << false << false << true << true;
        QTest::newRow("all") << 241 << true << true << true << true << true;
    }
    void channelOptions()
    {
        QFETCH(int, value);
        QFETCH(bool, trace);
        QFETCH(bool, invert);
        QFETCH(bool, average);
        QFETCH(bool, math);
        QFETCH(bool, subtract);
        reg::ChannelOptions o;
        o.trace = trace;
        o.invert = invert;
        o.average = average;
        o.math = math;
        o.subtract = subtract;
        QCOMPARE(int(reg::encodeChannelOptions(o)), value);
        // Bits 1 to 3 mean nothing to the program and are dropped.
        const reg::ChannelOptions read = reg::decodeChannelOptions(quint8(value | 0x0E));
        QCOMPARE(read.trace, trace);
        QCOMPARE(read.invert, invert);
        QCOMPARE(read.average, average);
        QCOMPARE(read.math, math);
        QCOMPARE(read.subtract, subtract);
        QCOMPARE(int(reg::encodeChannelOptions(read)), value);
    }

    void logicOptions_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("pull");
        QTest::addColumn<bool>("thick0");
        QTest::addColumn<bool>("invert");
        QTest::addColumn<bool>("ascii");
        QTest::newRow("no pull") << 1 << int(reg::NoPull) << false << false << false;
        QTest::newRow("pull down") << 3 << int(reg::PullDown) << false << false << false;
        QTest::newRow("pull up") << 7 << int(reg::PullUp) << false << false << false;
        QTest::newRow("thick0") << 9 << int(reg::NoPull) << true << false << false;
        QTest::newRow("invert") << 17 << int(reg::NoPull) << false << true << false;
        QTest::newRow("ascii") << 129 << int(reg::NoPull) << false << false << true;
        QTest::newRow("everything") << (1 | 6 | 8 | 16 | 128) << int(reg::PullUp) << true << true << true;
    }
    void logicOptions()
    {
        QFETCH(int, value);
        QFETCH(int, pull);
        QFETCH(bool, thick0);
        QFETCH(bool, invert);
        QFETCH(bool, ascii);
        reg::LogicInputOptions o;
        o.trace = true;
        o.pull = pull;
        o.thick0 = thick0;
        o.invert = invert;
        o.ascii = ascii;
        QCOMPARE(int(reg::encodeLogicOptions(o)), value);
        const reg::LogicInputOptions read = reg::decodeLogicOptions(quint8(value | 0x60));
        QVERIFY(read.trace);
        QCOMPARE(read.pull, pull);
        QCOMPARE(read.thick0, thick0);
        QCOMPARE(read.invert, invert);
        QCOMPARE(read.ascii, ascii);
    }

    void logicOptionsPullDirectionWithoutPull()
    {
        // Bit 2 alone: the direction means nothing without the pull bit.
        QCOMPARE(reg::decodeLogicOptions(4).pull, int(reg::NoPull));
    }

    void logicMask()
    {
        for (int v = 0; v < 256; ++v) {
            const auto lines = reg::decodeLogicMask(quint8(v));
            QCOMPARE(int(reg::encodeLogicMask(lines)), v);
            int count = 0;
            for (bool on : lines)
                count += on;
            QCOMPARE(reg::enabledLineCount(quint8(v)), count);
        }
        QCOMPARE(reg::decodeLogicMask(0x05)[0], true);
        QCOMPARE(reg::decodeLogicMask(0x05)[1], false);
        QCOMPARE(reg::decodeLogicMask(0x05)[2], true);
        QCOMPARE(reg::enabledLineCount(0xFF), 8);
    }

    void triggerEncode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("circular");
        QTest::addColumn<int>("value");
        QTest::newRow("rising normal") << int(reg::Normal) << int(reg::Rising) << false << 129;
        QTest::newRow("falling normal") << int(reg::Normal) << int(reg::Falling) << false << 137;
        QTest::newRow("dual auto") << int(reg::Auto) << int(reg::Dual) << false << 4;
        QTest::newRow("positive single") << int(reg::Single) << int(reg::PositiveSlope) << false << 35;
        QTest::newRow("negative free") << int(reg::Free) << int(reg::NegativeSlope) << false << 40;
        QTest::newRow("window free") << int(reg::Free) << int(reg::Window) << false << 64;
        QTest::newRow("dual free circular") << int(reg::Free) << int(reg::Dual) << true << 16;
        QTest::newRow("single rising") << int(reg::Single) << int(reg::Rising) << false << 131;
    }
    void triggerEncode()
    {
        QFETCH(int, mode);
        QFETCH(int, type);
        QFETCH(bool, circular);
        QFETCH(int, value);
        reg::TriggerSettings t;
        t.mode = reg::TriggerMode(mode);
        t.type = reg::TriggerType(type);
        t.circular = circular;
        QCOMPARE(int(reg::encodeTrigger(t)), value);
        QCOMPARE(int(reg::decodeTrigger(quint8(value)).type), type);
        QCOMPARE(reg::decodeTrigger(quint8(value)).circular, circular);
    }

    void triggerDecode_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("type");
        QTest::newRow("3: Single as written reads as Normal") << 3 << int(reg::Normal) << int(reg::Dual);
        QTest::newRow("2: Single") << 2 << int(reg::Single) << int(reg::Dual);
        QTest::newRow("4: Auto") << 4 << int(reg::Auto) << int(reg::Dual);
        QTest::newRow("6: Single before Auto") << 6 << int(reg::Single) << int(reg::Dual);
        QTest::newRow("0: Free") << 0 << int(reg::Free) << int(reg::Dual);
        QTest::newRow("edge before slope") << (128 | 32 | 8) << int(reg::Free) << int(reg::Falling);
        QTest::newRow("slope before window") << (32 | 64) << int(reg::Free) << int(reg::PositiveSlope);
        QTest::newRow("window ignores direction") << (64 | 8) << int(reg::Free) << int(reg::Window);
        QTest::newRow("direction alone is dual") << 8 << int(reg::Free) << int(reg::Dual);
    }
    void triggerDecode()
    {
        QFETCH(int, value);
        QFETCH(int, mode);
        QFETCH(int, type);
        QCOMPARE(int(reg::decodeTriggerMode(quint8(value))), mode);
        QCOMPARE(int(reg::decodeTriggerType(quint8(value))), type);
    }

    void cursors_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("horizontal");
        QTest::newRow("none") << 0 << int(reg::NoHorizontalCursors);
        QTest::newRow("ch1") << 8 << int(reg::Ch1Cursors);
        QTest::newRow("ch2") << 16 << int(reg::Ch2Cursors);
        QTest::newRow("ch1 wins over ch2") << 24 << int(reg::Ch1Cursors);
        QTest::newRow("roll auto track vertical single")
            << (1 | 2 | 4 | 32 | 128) << int(reg::NoHorizontalCursors);
        QTest::newRow("unused bit 6") << 64 << int(reg::NoHorizontalCursors);
    }
    void cursors()
    {
        QFETCH(int, value);
        QFETCH(int, horizontal);
        const reg::CursorSettings c = reg::decodeCursors(quint8(value));
        QCOMPARE(int(c.horizontal), horizontal);
        QCOMPARE(c.roll, bool(value & 1));
        QCOMPARE(c.automatic, bool(value & 2));
        QCOMPARE(c.track, bool(value & 4));
        QCOMPARE(c.vertical, bool(value & 32));
        QCOMPARE(c.snifferSingle, bool(value & 128));
        const int expected = (value & ~64 & ~(horizontal == reg::Ch1Cursors ? 16 : 0));
        QCOMPARE(int(reg::encodeCursors(c)), expected);
    }

    void displayRoundTrip()
    {
        for (int v = 0; v < 256; ++v)
            QCOMPARE(int(reg::encodeDisplay(reg::decodeDisplay(quint8(v)))), v);
        const reg::DisplaySettings d = reg::decodeDisplay(0x40 | 0x02);
        QVERIFY(d.vectors);
        QCOMPARE(d.grid, 2);
        QVERIFY(!d.showSettings);
    }

    void spectrum_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("window");
        QTest::addColumn<bool>("xy");
        QTest::addColumn<bool>("meter");
        QTest::addColumn<int>("reencoded");
        QTest::newRow("rect time domain") << 32 << int(reg::Rectangular) << false << false << 32;
        QTest::newRow("hamming") << 33 << int(reg::Hamming) << false << false << 33;
        QTest::newRow("hann") << 34 << int(reg::Hann) << false << false << 34;
        QTest::newRow("blackman") << 36 << int(reg::Blackman) << false << false << 36;
        QTest::newRow("hamming wins") << 39 << int(reg::Hamming) << false << false << 33;
        QTest::newRow("xy") << 64 << int(reg::Rectangular) << true << false << 64;
        QTest::newRow("log fft trace") << (32 | 8 | 128) << int(reg::Rectangular) << false << false << 168;
        QTest::newRow("meter 0x11") << 0x11 << int(reg::Hamming) << false << true << (0x11 | 32);
        QTest::newRow("meter 31") << 31 << int(reg::Hamming) << false << true << (1 | 8 | 16 | 32);
        QTest::newRow("fft trace alone is not meter")
            << 128 << int(reg::Rectangular) << false << false << 160;
    }
    void spectrum()
    {
        QFETCH(int, value);
        QFETCH(int, window);
        QFETCH(bool, xy);
        QFETCH(bool, meter);
        QFETCH(int, reencoded);
        const reg::SpectrumSettings s = reg::decodeSpectrum(quint8(value));
        QCOMPARE(int(s.window), window);
        QCOMPARE(s.xy, xy);
        QCOMPARE(s.logY, bool(value & 8));
        QCOMPARE(s.iq, bool(value & 16));
        QCOMPARE(s.fftTrace, bool(value & 128));
        QCOMPARE(reg::isMeterMode(quint8(value)), meter);
        QCOMPARE(int(reg::encodeSpectrum(s)), reencoded);
    }

    void sweepRoundTrip()
    {
        for (int v = 0; v < 256; ++v)
            QCOMPARE(int(reg::encodeSweep(reg::decodeSweep(quint8(v)))), v);
        const reg::SweepSettings s = reg::decodeSweep(0x81);
        QVERIFY(s.accelDirection);
        QVERIFY(s.dutyCycle);
        QVERIFY(!s.frequency);
    }

    void snifferWrite_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<bool>("cpol");
        QTest::addColumn<bool>("cpha");
        QTest::addColumn<int>("parity");
        QTest::addColumn<bool>("twoStop");
        QTest::addColumn<int>("value");
        QTest::newRow("1200 none") << 0 << false << false << int(reg::NoParity) << false << 0;
        QTest::newRow("115200") << 7 << false << false << int(reg::NoParity) << false << 7;
        QTest::newRow("cpol cpha") << 3 << true << true << int(reg::NoParity) << false << (3 | 8 | 16);
        QTest::newRow("even writes 32") << 0 << false << false << int(reg::EvenParity) << false << 32;
        QTest::newRow("odd writes 96") << 0 << false << false << int(reg::OddParity) << false << 96;
        QTest::newRow("two stop bits") << 5 << false << false << int(reg::NoParity) << true << (5 | 128);
    }
    void snifferWrite()
    {
        QFETCH(int, baud);
        QFETCH(bool, cpol);
        QFETCH(bool, cpha);
        QFETCH(int, parity);
        QFETCH(bool, twoStop);
        QFETCH(int, value);
        reg::SnifferSettings s;
        s.baud = baud;
        s.cpol = cpol;
        s.cpha = cpha;
        s.parity = parity;
        s.twoStopBits = twoStop;
        QCOMPARE(int(reg::encodeSniffer(s)), value);
    }

    void snifferRead_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("parity");
        QTest::newRow("bit 5 clear: none") << 0 << int(reg::NoParity);
        QTest::newRow("bit 6 alone: none") << 64 << int(reg::NoParity);
        QTest::newRow("bit 5 alone: odd") << 32 << int(reg::OddParity);
        QTest::newRow("bits 5 and 6: even") << 96 << int(reg::EvenParity);
    }
    void snifferRead()
    {
        QFETCH(int, value);
        QFETCH(int, parity);
        const reg::SnifferSettings s = reg::decodeSniffer(quint8(value | 6 | 16 | 128));
        QCOMPARE(s.parity, parity);
        QCOMPARE(s.baud, 6);
        QVERIFY(!s.cpol);
        QVERIFY(s.cpha);
        QVERIFY(s.twoStopBits);
    }

    void runState_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("deviceMode");
        QTest::addColumn<int>("value");
        QTest::newRow("start in scope frame mode") << true << 0 << 24;
        QTest::newRow("stop in sniffer frame mode") << false << 1 << 32;
        QTest::newRow("start in sniffer frame mode") << true << 1 << 40;
        QTest::newRow("stop in scope frame mode") << false << 0 << 16;
    }
    void runState()
    {
        QFETCH(bool, running);
        QFETCH(int, deviceMode);
        QFETCH(int, value);
        QCOMPARE(int(reg::encodeSnifferRunState(running, deviceMode)), value);
        QCOMPARE(reg::snifferRunning(quint8(value)), running);
        QCOMPARE(reg::scopeFrameMode(quint8(value)), deviceMode == 0);
    }

    void meterPage_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("page");
        QTest::newRow("peak to peak 65") << 65 << 0;
        QTest::newRow("dc 129") << 129 << 1;
        QTest::newRow("frequency 1") << 1 << 2;
        QTest::newRow("pulses 193") << 193 << 0;
    }
    void meterPage()
    {
        QFETCH(int, value);
        QFETCH(int, page);
        QCOMPARE(reg::meterPage(quint8(value)), page);
    }

    void channelPosition_data()
    {
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("value");
        QTest::newRow("-128") << -128 << 0x00;
        QTest::newRow("0") << 0 << 0xC0;
        QTest::newRow("127") << 127 << 0x81;
        QTest::newRow("126") << 126 << 0x81;
        QTest::newRow("-127 between two steps goes toward zero") << -127 << 0x00;
        QTest::newRow("16") << 16 << 0xB8;
        QTest::newRow("-16") << -16 << 0xC8;
    }
    void channelPosition()
    {
        QFETCH(int, slider);
        QFETCH(int, value);
        QCOMPARE(int(reg::encodeChannelPosition(slider)), value);
    }

    void channelPositionDecode_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("dump");
        QTest::newRow("0xC0") << 0xC0 << 0 << 192;
        QTest::newRow("0x00") << 0x00 << -128 << 128;
        QTest::newRow("0x81") << 0x81 << 126 << 255;
        // Bytes the encoder never writes land outside the slider's range.
        QTest::newRow("0x01") << 0x01 << 382 << 127;
        QTest::newRow("0x80") << 0x80 << 128 << 0;
    }
    void channelPositionDecode()
    {
        QFETCH(int, value);
        QFETCH(int, slider);
        QFETCH(int, dump);
        QCOMPARE(reg::decodeChannelPosition(quint8(value)), slider);
        QCOMPARE(int(reg::channelPositionDumpValue(quint8(value))), dump);
    }

    void channelPositionRoundTrip()
    {
        // Every byte the slider can show comes back unchanged: 0 and 0x81..0xFF.
        int shown = 0;
        for (int v = 0; v < 256; ++v) {
            const int slider = reg::decodeChannelPosition(quint8(v));
            if (slider < -128 || slider > 127)
                continue;
            ++shown;
            QCOMPARE(int(reg::encodeChannelPosition(slider)), v);
        }
        QCOMPARE(shown, 128);
    }

    void logicPosition_data()
    {
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("value");
        QTest::newRow("all lines, slider 0") << 0 << 8 << 0;
        QTest::newRow("all lines, slider 7") << 7 << 8 << 0;
        QTest::newRow("no lines, slider 0") << 0 << 0 << 56;
        QTest::newRow("no lines, slider 7") << 7 << 0 << 0;
        QTest::newRow("no lines, slider 3") << 3 << 0 << 32;
        QTest::newRow("four lines clamp") << 0 << 4 << 32;
        QTest::newRow("four lines free") << 5 << 4 << 16;
        QTest::newRow("one line, slider 0") << 0 << 1 << 56;
    }
    void logicPosition()
    {
        QFETCH(int, slider);
        QFETCH(int, lines);
        QFETCH(int, value);
        QCOMPARE(int(reg::encodeLogicPosition(slider, lines)), value);
    }

    void logicPositionDecode()
    {
        // Every position the clamp allows reads back as the slider it came from.
        for (int lines = 0; lines <= 8; ++lines)
            for (int slider = 0; slider <= 7; ++slider) {
                const quint8 v = reg::encodeLogicPosition(slider, lines);
                if (7 - slider <= 8 - lines)
                    QCOMPARE(reg::decodeLogicPosition(v), slider);
            }
        QCOMPARE(reg::decodeLogicPosition(0), 7);
        QCOMPARE(reg::decodeLogicPosition(56), 0);
        QCOMPARE(reg::decodeLogicPosition(57), 0); // bits 0 to 2 are not part of it
        QCOMPARE(reg::decodeLogicPosition(64), -1);
        QCOMPARE(reg::decodeLogicPosition(0xF8), -24);
    }

    void cursorsDecode_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("vertical");
        QTest::addColumn<int>("horizontal");
        QTest::newRow("0") << 0 << true << 0 << 513;
        QTest::newRow("64") << 64 << true << 128 << 254;
        QTest::newRow("127") << 127 << true << 254 << 1;
        QTest::newRow("1") << 1 << true << 2 << 508;
        QTest::newRow("128 ignored") << 128 << false << 256 << -3;
        QTest::newRow("255 ignored") << 255 << false << 510 << -515;
    }
    void cursorsDecode()
    {
        QFETCH(int, value);
        QFETCH(bool, valid);
        QFETCH(int, vertical);
        QFETCH(int, horizontal);
        QCOMPARE(reg::cursorByteValid(quint8(value)), valid);
        QCOMPARE(reg::decodeVerticalCursor(quint8(value), 256), vertical);
        QCOMPARE(reg::decodeHorizontalCursor(quint8(value)), horizontal);
    }

    void byteRegisterReadRules()
    {
        QCOMPARE(reg::decodeTriggerSource(10), 10);
        QCOMPARE(reg::decodeTriggerSource(11), 0);
        QCOMPARE(reg::decodeTriggerSource(255), 0);
        QCOMPARE(reg::decodeTriggerSource(2), 2);
        QCOMPARE(reg::decodeWaveform(4), 4);
        QCOMPARE(reg::decodeWaveform(5), 5);
        QCOMPARE(reg::decodeWaveform(200), 5);
        QCOMPARE(reg::decodeSweepSpeed(0), 1);
        QCOMPARE(reg::decodeSweepSpeed(127), 127);
        QCOMPARE(reg::decodeDutyCycle(0), 1);
        QCOMPARE(reg::decodeDutyCycle(255), 255);
    }

    // Values typed or shown in a spin box, and the register byte they give.
    void spinBoxEncoders_data()
    {
        QTest::addColumn<QString>("reg");
        QTest::addColumn<double>("shown");
        QTest::addColumn<int>("value");
        QTest::newRow("timeout min") << "timeout" << 0.16384 << 3;
        QTest::newRow("timeout max") << "timeout" << 10.4858 << 255;
        QTest::newRow("timeout 1.10592 keeps its step") << "timeout" << 1.10592 << 26;
        QTest::newRow("timeout between steps, nearer the upper") << "timeout" << 1.1 << 26;
        QTest::newRow("timeout below range") << "timeout" << 0.0 << 0;
        QTest::newRow("hold 0") << "hold" << 0.0 << 0;
        QTest::newRow("hold 255") << "hold" << 255.0 << 255;
        QTest::newRow("hold 12.6") << "hold" << 12.6 << 13;
        QTest::newRow("duty 0 is 1") << "duty" << 0.0 << 1;
        QTest::newRow("duty 50.0") << "duty" << 50.0 << 128;
        QTest::newRow("duty 99.9") << "duty" << 99.9 << 255;
        QTest::newRow("duty 0.781 keeps its step") << "duty" << 0.781 << 2;
        QTest::newRow("offset -2.0") << "offset" << -2.0 << 127;
        QTest::newRow("offset 2.0") << "offset" << 2.0 << 0x80;
        QTest::newRow("offset 0.156 keeps its step") << "offset" << 0.156 << 0xF6;
        QTest::newRow("offset 0") << "offset" << 0.0 << 0;
        QTest::newRow("amplitude 4.0") << "amplitude" << 4.0 << 0x80;
        QTest::newRow("amplitude 0") << "amplitude" << 0.0 << 0;
        QTest::newRow("amplitude 2.0") << "amplitude" << 2.0 << 0xC0;
        QTest::newRow("amplitude 0.031") << "amplitude" << 0.031 << 0xFF;
    }
    void spinBoxEncoders()
    {
        QFETCH(QString, reg);
        QFETCH(double, shown);
        QFETCH(int, value);
        int got = -1;
        if (reg == "timeout")
            got = reg::encodeTriggerTimeout(shown);
        else if (reg == "hold")
            got = reg::encodeTriggerHold(shown);
        else if (reg == "duty")
            got = reg::encodeDutyCycle(shown);
        else if (reg == "offset")
            got = reg::encodeOffset(shown);
        else if (reg == "amplitude")
            got = reg::encodeAmplitude(shown);
        QCOMPARE(got, value);
    }

    // Every byte a control can show survives decode -> control (with the spin
    // box's decimals and range) -> encode unchanged; the others come back as
    // the value the control shows.
    void roundTripAllBytes()
    {
        for (int v = 0; v < 256; ++v) {
            const quint8 b = quint8(v);
            // Trigger time-out: 5 decimals, 0.16384 .. 10.4858.
            const double timeout = shownBySpinBox(reg::triggerTimeoutSeconds(b), 5, 0.16384, 10.4858);
            QCOMPARE(int(reg::encodeTriggerTimeout(timeout)), std::max(v, 3));
            // Trigger hold: whole milliseconds.
            QCOMPARE(int(reg::encodeTriggerHold(shownBySpinBox(v, 0, 0, 255))), v);
            // Duty cycle: slider 1..255, spin box 3 decimals up to 99.9.
            const int duty = reg::decodeDutyCycle(b);
            const double percent = shownBySpinBox(reg::dutyPercent(duty), 3, 0, 99.9);
            QCOMPARE(int(reg::encodeDutyCycle(percent)), std::max(v, 1));
            // Offset: slider -127..128, spin box 3 decimals, -2 .. 2.
            const int offset = reg::decodeOffset(b);
            QVERIFY(offset >= -127 && offset <= 128);
            const double volts = shownBySpinBox(reg::offsetVolts(offset), 3, -2.0, 2.0);
            QCOMPARE(int(reg::encodeOffset(volts)), v);
            // Amplitude: shown only when 0..128 steps.
            const int amplitude = reg::decodeAmplitude(b);
            if (amplitude <= reg::AmplitudeMax) {
                const double amp = shownBySpinBox(reg::amplitudeVolts(amplitude), 3, 0.0, 4.0);
                QCOMPARE(int(reg::encodeAmplitude(amp)), v);
            }
        }
    }

    void desiredFrequencyRoundTrip()
    {
        // Hundredths as the block carries them -> hertz in a two-decimal spin
        // box -> hundredths again.
        for (quint32 f = 100; f <= 10000000; f += 997) {
            const double shown = shownBySpinBox(f / 100.0, 2, 1.0, 200000.0);
            QCOMPARE(reg::encodeDesiredFrequency(shown), f);
        }
        QCOMPARE(reg::encodeDesiredFrequency(1234.56), quint32(123456));
        QCOMPARE(reg::encodeDesiredFrequency(0.0), quint32(0));
        QCOMPARE(reg::encodeDesiredFrequency(-5.0), quint32(0));
    }

    // The block's sanity check: each register with a fixed range, at its
    // bound and just past it.
    void plausibleBlock_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("plausible");
        const struct
        {
            const char *name;
            int index;
            int max;
        } bounded[] = {
            {"time base", reg::SamplingRate, reg::SamplingRateMax},
            {"CH1 gain", reg::Gain1, reg::GainMax},
            {"CH2 gain", reg::Gain2, reg::GainMax},
            {"horizontal position", reg::HPos, reg::HPosMax},
            {"trigger source", reg::TriggerSource, trigger::SourceExt},
            {"logic position", reg::LogicPosition, 63},
            {"protocol", reg::DecodeProtocol, reg::ProtocolCount - 1},
            {"sweep speed", reg::SweepSpeed, reg::SweepSpeedMax},
            {"waveform", reg::Waveform, reg::WaveformCustom},
        };
        for (const auto &b : bounded) {
            QTest::addRow("%s at its bound", b.name) << b.index << b.max << true;
            QTest::addRow("%s past it", b.name) << b.index << b.max + 1 << false;
            QTest::addRow("%s at 255", b.name) << b.index << 255 << false;
        }
        QTest::newRow("amplitude 0") << int(reg::Amplitude) << 0 << true;
        QTest::newRow("amplitude -128") << int(reg::Amplitude) << 128 << true;
        QTest::newRow("amplitude -1") << int(reg::Amplitude) << 255 << true;
        QTest::newRow("amplitude 1 (positive)") << int(reg::Amplitude) << 1 << false;
        QTest::newRow("amplitude 127 (positive)") << int(reg::Amplitude) << 127 << false;
        // Tolerated by their decoders, so no reason to refuse a block.
        QTest::newRow("cursor with bit 7") << 15 << 200 << true;
        QTest::newRow("duty cycle 0") << int(reg::DutyCycle) << 0 << true;
        QTest::newRow("sweep speed 0") << int(reg::SweepSpeed) << 0 << true;
    }
    void plausibleBlock()
    {
        QFETCH(int, index);
        QFETCH(int, value);
        QFETCH(bool, plausible);
        reg::DeviceSettings block = factoryBlock();
        QCOMPARE(reg::implausibleRegister(block), -1);
        block[index] = quint8(value);
        QCOMPARE(reg::implausibleRegister(block), plausible ? -1 : index);
        QCOMPARE(reg::isPlausibleBlock(block), plausible);
    }

    void plausibleDesiredFrequency_data()
    {
        QTest::addColumn<double>("hertz");
        QTest::addColumn<bool>("plausible");
        QTest::newRow("0 Hz") << 0.0 << true;
        QTest::newRow("1 kHz") << 1000.0 << true;
        QTest::newRow("the highest the generator asks for") << reg::DesiredFrequencyRequestMax << true;
        QTest::newRow("a hundredth above") << reg::DesiredFrequencyRequestMax + 0.01 << false;
        QTest::newRow("top byte set") << 16777216.0 << false;
    }
    void plausibleDesiredFrequency()
    {
        QFETCH(double, hertz);
        QFETCH(bool, plausible);
        reg::DeviceSettings block = factoryBlock();
        block.setDesiredFrequency(reg::encodeDesiredFrequency(hertz));
        QCOMPARE(reg::implausibleRegister(block), plausible ? -1 : int(reg::DesiredFrequency));
    }

    // Every byte a control writes passes the check: it never refuses a
    // block the window itself set up.
    void plausibleForEveryWrittenValue()
    {
        reg::DeviceSettings block = factoryBlock();
        for (int slider = 0; slider <= reg::AmplitudeMax; ++slider) {
            block[reg::Amplitude] = reg::encodeAmplitude(reg::amplitudeVolts(slider));
            QVERIFY2(reg::isPlausibleBlock(block), qPrintable(QString::number(slider)));
        }
        block = factoryBlock();
        for (int slider = 0; slider <= reg::LogicPositionMax; ++slider)
            for (int lines = 0; lines <= reg::LogicLines; ++lines) {
                block[reg::LogicPosition] = reg::encodeLogicPosition(slider, lines);
                QVERIFY(reg::isPlausibleBlock(block));
            }
        block = factoryBlock();
        for (int source = 0; source <= trigger::SourceExt; ++source) {
            block[reg::TriggerSource] = quint8(source);
            QVERIFY(reg::isPlausibleBlock(block));
        }
    }

    // A block shifted by a stray byte on the line, either way, fails.
    void shiftedBlockIsImplausible()
    {
        const QByteArray bytes = factoryBlock().toByteArray();
        const QByteArray junk(1, char(0xEE));
        QVERIFY(!reg::isPlausibleBlock(reg::DeviceSettings::fromByteArray(bytes.mid(1) + junk)));
        QVERIFY(!reg::isPlausibleBlock(reg::DeviceSettings::fromByteArray(QByteArray(1, char(0xA5)) + bytes)));
    }

    void frequencyControls_data()
    {
        QTest::addColumn<double>("hertz");
        QTest::addColumn<double>("shown");
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("slider");
        QTest::newRow("5 Hz") << 5.0 << 5.0 << int(reg::Range10) << 50;
        QTest::newRow("200000 Hz clamps") << 200000.0 << 100000.0 << int(reg::Range100K) << 100;
        QTest::newRow("1234.56 Hz") << 1234.56 << 1234.56 << int(reg::Range10K) << 12;
        QTest::newRow("10000 Hz") << 10000.0 << 10000.0 << int(reg::Range100K) << 10;
        QTest::newRow("9999.99 Hz") << 9999.99 << 9999.99 << int(reg::Range10K) << 99;
        QTest::newRow("100 Hz") << 100.0 << 100.0 << int(reg::Range1K) << 10;
        QTest::newRow("99.5 Hz") << 99.5 << 99.5 << int(reg::Range100) << 99;
        QTest::newRow("10 Hz") << 10.0 << 10.0 << int(reg::Range100) << 10;
        QTest::newRow("9.99 Hz") << 9.99 << 9.99 << int(reg::Range10) << 90;
        QTest::newRow("0 Hz clamps to 1") << 0.0 << 1.0 << int(reg::Range10) << 10;
    }
    void frequencyControls()
    {
        QFETCH(double, hertz);
        QFETCH(double, shown);
        QFETCH(int, range);
        QFETCH(int, slider);
        const reg::FrequencyControls c = reg::frequencyControls(hertz);
        QCOMPARE(c.hertz, shown);
        QCOMPARE(int(c.range), range);
        QCOMPARE(c.slider, slider);
    }
};

QUORVEL_CORE_TEST_MAIN(TestRegisters)
#include "test_registers.moc"
