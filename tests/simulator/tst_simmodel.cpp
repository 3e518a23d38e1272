// The simulated instrument against the formats the program relies on: the
// settings block and the requests that fill it, the frame's sample mapping,
// triggering, the meter reply, the sniffer frame and the bus traffic behind it.

#include "instrumentmodel.h"
#include "ptywire.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include <cmath>

using quorvelsim::InstrumentModel;
namespace reg = quorvelsim::reg;

namespace {

// A frame of the model; fails the test if none comes in many tries.
QByteArray takeFrame(InstrumentModel &m)
{
    quint8 buf[quorvelsim::SnifferFrameSize + 1];
    for (int i = 0; i < 1000; ++i) {
        const int n = m.nextFrame(buf);
        if (n > 0)
            return QByteArray(reinterpret_cast<const char *>(buf), n);
    }
    return QByteArray();
}

quint8 at(const QByteArray &b, int i) { return quint8(b[i]); }

// Voltage reading of the meter reply, decoded the way the program does.
double decodeMeterVolts(quint8 lo, quint8 hi)
{
    const bool negative = hi >= 100;
    const int magnitude = negative ? (255 - hi) * 256 + 256 - lo : hi * 256 + lo;
    const double volts = std::trunc(magnitude * 1.25) / 1000.0;
    return negative ? -volts : volts;
}

qint32 decodeCount(const QByteArray &r)
{
    return qint32(quint32(at(r, 0)) | quint32(at(r, 1)) << 8 | quint32(at(r, 2)) << 16 | quint32(at(r, 3)) << 24);
}

// Sample indices where the voltage rises through the middle level (samples fall through 127.5).
QVector<int> risingCrossings(const QVector<int> &samples, int from = 0, int to = -1)
{
    QVector<int> out;
    if (to < 0)
        to = samples.size();
    for (int i = std::max(1, from); i < to; ++i)
        if (samples[i - 1] > 127 && samples[i] <= 127)
            out.append(i);
    return out;
}

QVector<int> ch1Samples(const QByteArray &frame, bool inRecordOrder = false)
{
    QVector<int> s;
    const int start = inRecordOrder ? at(frame, 769) : 0;
    for (int i = 0; i < 256; ++i)
        s.append(at(frame, (start + i) & 0xFF));
    return s;
}

// The sniffer view's rendering of one SPI/UART channel, as the program does it.
QString renderChannel(const QByteArray &f, int offset, int countAt, int capacity, bool circular, bool ascii)
{
    const int n = at(f, countAt) | at(f, countAt + 1) << 8;
    QString text;
    auto item = [&](quint8 b) {
        if (ascii)
            text += (b > 31 ? QString(QChar(b)) : QString("_")) + " ";
        else
            text += QString("%1 ").arg(b, 2, 16, QChar('0'));
    };
    if (circular) {
        int p = n <= capacity - 1 ? n : n - capacity;
        for (int k = 0; k < capacity; ++k) {
            if (p > capacity - 1)
                p = 0;
            item(at(f, offset + p));
            ++p;
        }
    } else {
        for (int p = 0; p < std::min(n, capacity); ++p)
            item(at(f, offset + p));
    }
    return text;
}

QString renderI2c(const QByteArray &f)
{
    const int n = std::min(1024, at(f, 1281) | at(f, 1282) << 8);
    QString text;
    for (int p = 0; p < n; ++p) {
        const quint8 b = at(f, p);
        const quint8 flags = at(f, 1024 + p / 4);
        const int k = p % 4;
        const bool address = flags >> (7 - 2 * k) & 1;
        const bool second = flags >> (6 - 2 * k) & 1;
        if (address)
            text += QString("%1").arg(b >> 1, 2, 16, QChar('0')) + ((b & 1) ? (second ? "<" : "(") : (second ? ">" : ")"));
        else
            text += QString("%1").arg(b, 2, 16, QChar('0')) + (second ? "+" : "-");
        text += " ";
    }
    return text;
}

// A model with a steady picture: no noise, free-running unless a test sets a trigger.
struct Fixture
{
    InstrumentModel m;
    Fixture() { m.setNoiseLevel(0.0); }
    QByteArray cmd(char letter, quint16 value = 0, quint16 index = 0) { return m.command(letter, value, index); }
    void write(int index, quint8 value) { m.command('b', value, quint16(index)); }
    void setFrequency(quint32 hundredths) { m.command('c', quint16(hundredths >> 16), quint16(hundredths & 0xFFFF)); }
};

// Bits of logic line `bit` sampled every `step` seconds from t0.
QVector<int> sampleLine(InstrumentModel &m, int bit, double t0, double step, int count)
{
    QVector<int> v;
    v.reserve(count);
    for (int i = 0; i < count; ++i)
        v.append(m.logicAt(t0 + i * step) >> bit & 1);
    return v;
}

} // namespace

class TestSimModel : public QObject
{
    Q_OBJECT

private slots:
    void settingsBlockRoundTripsRegisterWrites();
    void requestsFillTheirBytes_data();
    void requestsFillTheirBytes();
    void storedSettingsSurviveFactoryRestore();
    void samplesFollowTheTimeBase_data();
    void samplesFollowTheTimeBase();
    void gainScalesSamples_data();
    void gainScalesSamples();
    void triggerPlacesEdgeAtTriggerPosition_data();
    void triggerPlacesEdgeAtTriggerPosition();
    void triggerModesGateFrames();
    void instrumentSideProcessing_data();
    void instrumentSideProcessing();
    void slowTimeBaseKeepsRollIndex();
    void meterPeakToPeakDecodes_data();
    void meterPeakToPeakDecodes();
    void meterDcAndCounters();
    void uartLinesCarryTheMessages_data();
    void uartLinesCarryTheMessages();
    void i2cAndSpiLinesCarryTheirBytes_data();
    void i2cAndSpiLinesCarryTheirBytes();
    void snifferFrameRendersBusBytes_data();
    void snifferFrameRendersBusBytes();
    void snifferCircularAndSingle();
    void autoSetupFitsTheSignal_data();
    void autoSetupFitsTheSignal();
    void serialCommandParser_data();
    void serialCommandParser();
};

void TestSimModel::settingsBlockRoundTripsRegisterWrites()
{
    Fixture f;
    QByteArray expected = f.cmd('u');
    QCOMPARE(expected.size(), 44);
    QCOMPARE(expected, InstrumentModel::factorySettings());
    for (int i = 0; i < 40; ++i) {
        const quint8 v = quint8(i * 37 + 11);
        f.write(i, v);
        expected[i] = char(v);
    }
    QCOMPARE(f.cmd('u'), expected);
    // Writes outside the block leave it alone.
    f.m.command('b', 0x55, 44);
    f.m.command('b', 0x55, 0xFFFF);
    QCOMPARE(f.cmd('u'), expected);
}

void TestSimModel::requestsFillTheirBytes_data()
{
    QTest::addColumn<char>("letter");
    QTest::addColumn<quint32>("argument");
    QTest::addColumn<int>("first");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("1 kHz") << 'c' << 100000u << 40 << QByteArray::fromHex("a0860100");
    QTest::newRow("655.36 Hz") << 'c' << 65536u << 40 << QByteArray::fromHex("00000100");
    QTest::newRow("200 kHz") << 'c' << 20000000u << 40 << QByteArray::fromHex("002d3101");
    QTest::newRow("0.01 Hz") << 'c' << 1u << 40 << QByteArray::fromHex("01000000");
    QTest::newRow("post 65") << 'j' << 65u << 22 << QByteArray::fromHex("4100");
    QTest::newRow("post 256") << 'j' << 256u << 22 << QByteArray::fromHex("0001");
    QTest::newRow("post 0x1234") << 'j' << 0x1234u << 22 << QByteArray::fromHex("3412");
}

void TestSimModel::requestsFillTheirBytes()
{
    QFETCH(char, letter);
    QFETCH(quint32, argument);
    QFETCH(int, first);
    QFETCH(QByteArray, bytes);
    Fixture f;
    const QByteArray before = f.cmd('u');
    if (letter == 'c')
        f.setFrequency(argument); // value: upper 16 bits, index: lower 16 bits
    else
        f.cmd('j', quint16(argument), 0);
    const QByteArray after = f.cmd('u');
    QCOMPARE(after.mid(first, bytes.size()), bytes);
    QCOMPARE(after.left(first), before.left(first));
    QCOMPARE(after.mid(first + bytes.size()), before.mid(first + bytes.size()));
}

void TestSimModel::storedSettingsSurviveFactoryRestore()
{
    Fixture f;
    f.write(reg::Ch1Gain, 6);
    f.cmd('d');
    f.write(reg::Ch1Gain, 1);
    QCOMPARE(f.m.storedSettingsBlock()[reg::Ch1Gain], char(6));
    f.cmd('k');
    QCOMPARE(f.m.reg(reg::Ch1Gain), quint8(3));
    QCOMPARE(f.m.storedSettingsBlock()[reg::Ch1Gain], char(6));
    f.m.powerCycle();
    QCOMPARE(f.m.reg(reg::Ch1Gain), quint8(6));

    QByteArray wave(256, 0);
    for (int i = 0; i < 256; ++i)
        wave[i] = char(i % 2 ? 100 : -100);
    f.m.loadCustomWave(wave);
    f.cmd('e');
    f.m.loadCustomWave(QByteArray(256, 7));
    QCOMPARE(f.m.customWave(), QByteArray(256, 7));
    f.m.powerCycle();
    QCOMPARE(f.m.customWave(), wave);
}

void TestSimModel::samplesFollowTheTimeBase_data()
{
    QTest::addColumn<int>("timeBase");
    QTest::addColumn<quint32>("hundredths");
    QTest::addColumn<double>("samplesPerPeriod");
    // Fast time bases: 16 samples per division (two plot columns each);
    // slow ones: 32 samples per division (one column each).
    QTest::newRow("1 kHz at 1ms/div") << 7 << 100000u << 16.0;
    QTest::newRow("2 kHz at 256us/div") << 5 << 200000u << 31.25;
    QTest::newRow("100 kHz at 8us/div") << 0 << 10000000u << 20.0;
    QTest::newRow("200 Hz at 10ms/div") << 10 << 20000u << 8.0;
    QTest::newRow("50 Hz at 20ms/div") << 11 << 5000u << 32.0;
    QTest::newRow("1 Hz at 0.5s/div") << 15 << 100u << 64.0;
}

void TestSimModel::samplesFollowTheTimeBase()
{
    QFETCH(int, timeBase);
    QFETCH(quint32, hundredths);
    QFETCH(double, samplesPerPeriod);
    Fixture f;
    f.write(reg::SamplingRate, quint8(timeBase));
    f.setFrequency(hundredths);
    const QByteArray frame = takeFrame(f.m);
    QCOMPARE(frame.size(), quorvelsim::ScopeFrameSize);
    const QVector<int> s = ch1Samples(frame, timeBase >= 11);
    const QVector<int> up = risingCrossings(s);
    QVERIFY2(up.size() >= 3, qPrintable(QString("crossings: %1").arg(up.size())));
    const double measured = double(up.last() - up.first()) / (up.size() - 1);
    QVERIFY2(std::fabs(measured - samplesPerPeriod) <= samplesPerPeriod * 0.03,
             qPrintable(QString("measured %1 samples per period").arg(measured)));
    if (timeBase == 7) {
        // On the plot (two columns per sample) one period spans one division of 32 columns.
        QVERIFY(std::fabs(2 * measured - 256 / 8) < 1.0);
    }
}

void TestSimModel::gainScalesSamples_data()
{
    QTest::addColumn<int>("gain");
    QTest::addColumn<double>("expectedPeakToPeak"); // sample counts; 0: clipped
    // 0.5 V amplitude sine; 32 counts per division, 0 V at sample 127.
    QTest::newRow("5.12V/div") << 0 << 2 * 0.5 * 32 / 5.12;
    QTest::newRow("0.64V/div") << 3 << 2 * 0.5 * 32 / 0.64;
    QTest::newRow("0.16V/div") << 5 << 2 * 0.5 * 32 / 0.16;
    QTest::newRow("80mV/div clips") << 6 << 0.0;
}

void TestSimModel::gainScalesSamples()
{
    QFETCH(int, gain);
    QFETCH(double, expectedPeakToPeak);
    Fixture f;
    f.write(reg::Amplitude, quint8(-16)); // 0.5 V
    f.write(reg::Ch1Gain, quint8(gain));
    const QVector<int> s = ch1Samples(takeFrame(f.m));
    const int lo = *std::min_element(s.begin(), s.end());
    const int hi = *std::max_element(s.begin(), s.end());
    if (expectedPeakToPeak == 0.0) {
        QCOMPARE(lo, 0);
        QCOMPARE(hi, 255);
    } else {
        QVERIFY2(std::fabs((hi - lo) - expectedPeakToPeak) <= 2.0, qPrintable(QString("%1..%2").arg(lo).arg(hi)));
        QVERIFY(std::fabs((hi + lo) / 2.0 - 127) <= 0.5); // 0 V is sample 127
    }
}

void TestSimModel::triggerPlacesEdgeAtTriggerPosition_data()
{
    QTest::addColumn<quint8>("triggerBits");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("postTrigger");
    // Trigger register: Normal mode (bit 0) plus the type bits.
    QTest::newRow("rising CH1 at 0 V, middle") << quint8(0x81) << 0 << 128 << 128;
    QTest::newRow("rising CH1 high level, early") << quint8(0x81) << 0 << 190 << 240;
    QTest::newRow("falling CH1 low level, late") << quint8(0x89) << 0 << 80 << 16;
    QTest::newRow("rising CH2") << quint8(0x81) << 1 << 150 << 100;
    QTest::newRow("falling CH2") << quint8(0x89) << 1 << 120 << 180;
    QTest::newRow("positive slope CH1") << quint8(0x21) << 0 << 140 << 128;
    QTest::newRow("negative slope CH1") << quint8(0x29) << 0 << 140 << 128;
    QTest::newRow("window CH1") << quint8(0x41) << 0 << -1 << 128;
    QTest::newRow("rising logic bit 4") << quint8(0x81) << 6 << 128 << 128;
    QTest::newRow("falling logic bit 5") << quint8(0x89) << 7 << 128 << 64;
}

void TestSimModel::triggerPlacesEdgeAtTriggerPosition()
{
    QFETCH(quint8, triggerBits);
    QFETCH(int, source);
    QFETCH(int, level);
    QFETCH(int, postTrigger);
    Fixture f;
    f.write(reg::Trigger, triggerBits);
    f.write(reg::TriggerSource, quint8(source));
    if (level >= 0)
        f.write(reg::TriggerLevel, quint8(level));
    f.write(reg::WindowLevel1, 90);
    f.write(reg::WindowLevel2, 170);
    f.cmd('j', quint16(postTrigger), 0);
    const int idx = 256 - postTrigger;
    QCOMPARE(f.m.triggerIndex(), idx);
    for (int repeat = 0; repeat < 3; ++repeat) {
        const QByteArray frame = takeFrame(f.m);
        QCOMPARE(frame.size(), 770);
        if (source >= 2) {
            const int bit = source - 2;
            const int before = at(frame, 512 + idx - 1) >> bit & 1;
            const int after = at(frame, 512 + idx) >> bit & 1;
            QCOMPARE(after, (triggerBits & 0x08) ? 0 : 1);
            QCOMPARE(before, (triggerBits & 0x08) ? 1 : 0);
            continue;
        }
        // A level register r means the sample value r; on the screen a
        // sample s stands at "up" 255 - s, where a rising edge rises.
        const int base = source == 1 ? 256 : 0;
        const int upBefore = 255 - at(frame, base + idx - 1);
        const int upAt = 255 - at(frame, base + idx);
        const int upLevel = 255 - level;
        const QString where = QString("up %1 -> %2").arg(upBefore).arg(upAt);
        if (triggerBits & 0x40) {
            // Registers 90 and 170 bound the band of up 85..165.
            QVERIFY2(upBefore >= 85 && upBefore <= 165 && (upAt < 85 || upAt > 165), qPrintable(where));
        } else if (triggerBits & 0x08) {
            QVERIFY2(upBefore >= upLevel && upAt <= upLevel && upAt < upBefore, qPrintable(where));
        } else {
            QVERIFY2(upBefore <= upLevel && upAt >= upLevel && upAt > upBefore, qPrintable(where));
        }
    }
}

void TestSimModel::triggerModesGateFrames()
{
    Fixture f;
    quint8 buf[1290];
    // A level the 2 V sine never reaches.
    f.write(reg::TriggerLevel, 5);
    f.write(reg::Trigger, 0x81); // Normal
    for (int i = 0; i < 5; ++i)
        QCOMPARE(f.m.nextFrame(buf), 0);
    f.cmd('h'); // force: one frame, then waiting again
    QCOMPARE(f.m.nextFrame(buf), 770);
    QCOMPARE(f.m.nextFrame(buf), 0);
    f.write(reg::Trigger, 0x84); // Auto free-runs when nothing triggers
    QCOMPARE(f.m.nextFrame(buf), 770);
    const quint8 counter = buf[768];
    QCOMPARE(f.m.nextFrame(buf), 770);
    QCOMPARE(buf[768], quint8(counter + 1));

    f.write(reg::TriggerLevel, 128);
    f.write(reg::Trigger, 0x82); // Single: one frame per arming
    QCOMPARE(f.m.nextFrame(buf), 770);
    QCOMPARE(f.m.nextFrame(buf), 0);
    f.cmd('g');
    QCOMPARE(f.m.nextFrame(buf), 770);
    QCOMPARE(f.m.nextFrame(buf), 0);
    // The byte a program writes for Single has bit 0 too: still single-shot,
    // held until the mode is written again or FORCE.
    f.write(reg::Trigger, 0x83);
    QCOMPARE(f.m.nextFrame(buf), 770);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(f.m.nextFrame(buf), 0);
    f.cmd('h');
    QCOMPARE(f.m.nextFrame(buf), 770);
    QCOMPARE(f.m.nextFrame(buf), 0);
    f.write(reg::Trigger, 0x83);
    QCOMPARE(f.m.nextFrame(buf), 770);
    QCOMPARE(f.m.nextFrame(buf), 0);

    f.write(reg::Trigger, 0x84);
    f.cmd('f');
    QCOMPARE(f.m.nextFrame(buf), 0);
    f.cmd('g');
    QCOMPARE(f.m.nextFrame(buf), 770);
}

void TestSimModel::instrumentSideProcessing_data()
{
    QTest::addColumn<quint8>("ch1Options");
    QTest::addColumn<quint8>("ch2Options");
    QTest::addColumn<int>("operation"); // 0 plain, 1 negate, 2 subtract, 3 multiply
    QTest::addColumn<bool>("otherInverted");
    QTest::newRow("invert") << quint8(0x11) << quint8(0x01) << 1 << false;
    QTest::newRow("CH1-CH2") << quint8(0xC1) << quint8(0x01) << 2 << false;
    QTest::newRow("CH1+CH2 with CH2 inverted") << quint8(0xC1) << quint8(0x11) << 2 << true;
    QTest::newRow("CH1xCH2") << quint8(0x41) << quint8(0x01) << 3 << false;
    QTest::newRow("CH1x-CH2") << quint8(0x41) << quint8(0x11) << 3 << true;
}

void TestSimModel::instrumentSideProcessing()
{
    QFETCH(quint8, ch1Options);
    QFETCH(quint8, ch2Options);
    QFETCH(int, operation);
    QFETCH(bool, otherInverted);
    Fixture f;
    f.write(reg::Trigger, 0x00); // Free: the frame starts at the instrument clock
    f.write(reg::Ch1Options, ch1Options);
    f.write(reg::Ch2Options, ch2Options);
    f.write(reg::Ch1Gain, 1); // 2.56V/div keeps products on screen
    const double start = f.m.clock();
    const double dt = f.m.sampleInterval();
    const QByteArray frame = takeFrame(f.m);
    const double scale = 32 / 2.56;
    for (int i = 0; i < 256; ++i) {
        const double t = start + i * dt;
        const double a = f.m.ch1Input(t);
        const double b = otherInverted ? -f.m.ch2Input(t) : f.m.ch2Input(t);
        const double x = operation == 1 ? -a : operation == 2 ? a - b : a * b;
        const int expected = int(std::lround(127 - x * scale));
        QVERIFY2(std::abs(at(frame, i) - qBound(0, expected, 255)) <= 1,
                 qPrintable(QString("sample %1: %2, expected %3").arg(i).arg(at(frame, i)).arg(expected)));
    }
}

void TestSimModel::slowTimeBaseKeepsRollIndex()
{
    Fixture f;
    f.write(reg::SamplingRate, 12); // 50ms/div: one sample every 1.5625 ms
    f.write(reg::Cursors, 0x01);    // roll mode
    f.setFrequency(1000);           // 10 Hz
    f.m.setFrameRate(100);          // 10 ms per frame: six or seven new samples each
    const QByteArray first = takeFrame(f.m);
    const QByteArray second = takeFrame(f.m);
    const int w1 = at(first, 769), w2 = at(second, 769);
    const int added = (w2 - w1 + 256) % 256;
    QVERIFY2(added >= 6 && added <= 7, qPrintable(QString("added %1").arg(added)));
    // Samples before the first frame's write position are kept as they were.
    for (int i = 0; i < 256; ++i) {
        const bool rewritten = (i - w1 + 256) % 256 < added;
        if (!rewritten)
            QCOMPARE(at(second, i), at(first, i));
    }
    // In record order, the trace is one continuous 10 Hz sine: 32 samples per division.
    const QVector<int> up = risingCrossings(ch1Samples(second, true));
    QVERIFY(up.size() >= 3);
    const double period = double(up.last() - up.first()) / (up.size() - 1);
    QVERIFY2(std::fabs(period - 64.0) < 2.0, qPrintable(QString::number(period)));
}

void TestSimModel::meterPeakToPeakDecodes_data()
{
    QTest::addColumn<int>("waveform");
    QTest::addColumn<int>("amplitude"); // register 36
    QTest::addColumn<double>("ch1Volts");
    QTest::newRow("sine 2 V") << 1 << -64 << 4.0;
    QTest::newRow("square 1 V") << 2 << -32 << 2.0;
    QTest::newRow("triangle 4 V") << 3 << -128 << 8.0;
    QTest::newRow("sine 0.03125 V") << 1 << -1 << 0.0625;
    QTest::newRow("custom ramp 3 V") << 5 << -96 << 6.0;
    QTest::newRow("off") << 1 << 0 << 0.0;
}

void TestSimModel::meterPeakToPeakDecodes()
{
    QFETCH(int, waveform);
    QFETCH(int, amplitude);
    QFETCH(double, ch1Volts);
    Fixture f;
    f.write(reg::Waveform, quint8(waveform));
    f.write(reg::Amplitude, quint8(amplitude));
    f.write(reg::Fft, 0x00);
    f.write(reg::MStatus, 0x41);
    const QByteArray r = f.cmd('m');
    QCOMPARE(r.size(), 4);
    const double oneCount = 0.00125;
    const double ch1 = decodeMeterVolts(at(r, 0), at(r, 1));
    const double ch2 = decodeMeterVolts(at(r, 2), at(r, 3));
    QVERIFY2(std::fabs(ch1 - ch1Volts) <= oneCount + 0.001, qPrintable(QString::number(ch1)));
    QVERIFY2(std::fabs(ch2 - 2.0) <= oneCount + 0.001, qPrintable(QString::number(ch2)));
}

void TestSimModel::meterDcAndCounters()
{
    Fixture f;
    f.write(reg::MStatus, 0x81); // DC
    f.write(reg::Offset, quint8(-64));  // +1.0005 V
    QByteArray r = f.cmd('m');
    QVERIFY(std::fabs(decodeMeterVolts(at(r, 0), at(r, 1)) - 1.0005) < 0.0025);
    f.write(reg::Offset, 64);           // -1.0005 V: the sign survives the reply's rule
    r = f.cmd('m');
    QVERIFY(std::fabs(decodeMeterVolts(at(r, 0), at(r, 1)) + 1.0005) < 0.0025);
    QVERIFY(std::fabs(decodeMeterVolts(at(r, 2), at(r, 3))) < 0.0025); // CH2 triangle has no DC

    f.write(reg::MStatus, 0x01); // frequency
    const struct
    {
        quint32 hundredths;
        int source;
        qint32 expected;
    } cases[] = {
        {100000, 10, 1000},  // EXT: the generator
        {123456, 10, 1238},  // 1234.56 Hz requested, 1237.622 Hz produced
        {100000, 0, 1000},
        {100000, 1, 500},    // CH2
        {100000, 6, 500},    // logic bit 4: counter bit toggling every millisecond
        {100000, 9, 63},     // logic bit 7: 62.5 Hz, rounded
    };
    for (const auto &c : cases) {
        f.setFrequency(c.hundredths);
        f.write(reg::TriggerSource, quint8(c.source));
        QCOMPARE(decodeCount(f.cmd('m')), c.expected);
    }
    f.setFrequency(100000);
    f.write(reg::TriggerSource, 10);
    f.write(reg::MStatus, 0xC1); // pulse count from now on
    QCOMPARE(decodeCount(f.cmd('m')), 0);
    f.m.advanceClock(2.0);
    const qint32 pulses = decodeCount(f.cmd('m'));
    QVERIFY2(pulses >= 1999 && pulses <= 2001, qPrintable(QString::number(pulses)));
}

void TestSimModel::uartLinesCarryTheMessages_data()
{
    QTest::addColumn<quint8>("lineSettings");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity"); // 0 none, 1 even, 2 odd
    QTest::addColumn<int>("stopBits");
    QTest::newRow("9600 8N1") << quint8(0x03) << 9600 << 0 << 1;
    QTest::newRow("115200 8E1") << quint8(0x27) << 115200 << 1 << 1;
    QTest::newRow("1200 8O2") << quint8(0xE0) << 1200 << 2 << 2;
}

void TestSimModel::uartLinesCarryTheMessages()
{
    QFETCH(quint8, lineSettings);
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    Fixture f;
    f.write(reg::SnifferLines, lineSettings);
    f.write(reg::Protocol, 2);
    const double bit = 1.0 / baud;
    for (int line = 2; line <= 3; ++line) {
        // Decode the line the way a receiver does: wait for a start bit,
        // sample in the middle of each bit.
        QByteArray decoded;
        const double step = bit / 8;
        double t = 0.0;
        const double end = 0.5;
        while (t < end && decoded.size() < 40) {
            if ((f.m.logicAt(t) >> line & 1) == 0) {
                const double start = t;
                quint8 b = 0;
                int count = 0;
                for (int k = 0; k < 8; ++k) {
                    const int v = f.m.logicAt(start + bit * (1.5 + k)) >> line & 1;
                    b |= quint8(v << k);
                    count += v;
                }
                double next = start + bit * 9.5;
                if (parity) {
                    const int p = f.m.logicAt(next) >> line & 1;
                    QCOMPARE((count + p) % 2, parity == 1 ? 0 : 1);
                    next += bit;
                }
                for (int s = 0; s < stopBits; ++s) {
                    QVERIFY2((f.m.logicAt(next) >> line & 1) == 1, qPrintable(QString("line %1 char %2 start %3").arg(line).arg(decoded.size()).arg(start * 1e6)));
                    next += bit;
                }
                decoded.append(char(b));
                t = next - bit; // middle of the last stop bit: the next start edge follows
            }
            t += step;
        }
        if (line == 2) {
            // RX carries "T" + a four-digit cycle number + CR LF, the numbers counting up.
            QVERIFY2(decoded.startsWith("T0000\r\nT0001\r\nT0002\r\n"), decoded.toHex().constData());
        } else {
            QVERIFY2(decoded.startsWith("OK\r\nOK\r\nOK\r\n"), decoded.toHex().constData());
        }
    }
}

void TestSimModel::i2cAndSpiLinesCarryTheirBytes_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<quint8>("lineSettings");
    QTest::newRow("I2C") << 1 << quint8(0x03);
    QTest::newRow("SPI mode 0") << 0 << quint8(0x00);
    QTest::newRow("SPI mode 1") << 0 << quint8(0x10);
    QTest::newRow("SPI mode 2") << 0 << quint8(0x08);
    QTest::newRow("SPI mode 3") << 0 << quint8(0x18);
}

void TestSimModel::i2cAndSpiLinesCarryTheirBytes()
{
    QFETCH(int, protocol);
    QFETCH(quint8, lineSettings);
    Fixture f;
    f.write(reg::SnifferLines, lineSettings);
    f.write(reg::Protocol, quint8(protocol));
    const double step = 1e-6;
    const int count = 20000; // first 20 ms: one bus cycle
    if (protocol == 1) {
        const QVector<int> sda = sampleLine(f.m, 0, 0.0, step, count);
        const QVector<int> scl = sampleLine(f.m, 1, 0.0, step, count);
        QByteArray bytes;
        QString acks;
        int bits = 0, value = 0, starts = 0;
        bool inFrame = false;
        for (int i = 1; i < count; ++i) {
            if (scl[i] && scl[i - 1] && sda[i - 1] && !sda[i]) { // start or repeated start
                ++starts;
                inFrame = true;
                bits = value = 0;
            } else if (scl[i] && scl[i - 1] && !sda[i - 1] && sda[i]) { // stop
                inFrame = false;
            } else if (inFrame && scl[i] && !scl[i - 1]) {
                if (bits < 8) {
                    value = value << 1 | sda[i];
                    ++bits;
                } else {
                    bytes.append(char(value));
                    acks += sda[i] ? "N" : "A";
                    bits = value = 0;
                }
            }
        }
        QCOMPARE(starts, 2);
        QCOMPARE(bytes, QByteArray::fromHex("a010a10001"));
        QCOMPARE(acks, QString("AAAAN"));
        return;
    }
    const bool cpol = lineSettings & 0x08, cpha = lineSettings & 0x10;
    const QVector<int> ss = sampleLine(f.m, 2, 0.0, step, count);
    const QVector<int> sck = sampleLine(f.m, 3, 0.0, step, count);
    const QVector<int> mosi = sampleLine(f.m, 4, 0.0, step, count);
    const QVector<int> miso = sampleLine(f.m, 5, 0.0, step, count);
    QCOMPARE(sck[0], int(cpol)); // idle level
    QByteArray out, in;
    int bits = 0, o = 0, n = 0;
    for (int i = 1; i < count; ++i) {
        if (ss[i])
            continue;
        const bool leading = sck[i] != int(cpol) && sck[i - 1] == int(cpol);
        const bool trailing = sck[i] == int(cpol) && sck[i - 1] != int(cpol);
        if ((cpha ? trailing : leading)) { // the sampling edge
            o = o << 1 | mosi[i];
            n = n << 1 | miso[i];
            if (++bits == 8) {
                out.append(char(o));
                in.append(char(n));
                bits = o = n = 0;
            }
        }
    }
    QCOMPARE(out, QByteArray::fromHex("9f005a00"));
    QCOMPARE(in, QByteArray::fromHex("ffc22000"));
}

void TestSimModel::snifferFrameRendersBusBytes_data()
{
    QTest::addColumn<int>("protocol");
    QTest::newRow("SPI") << 0;
    QTest::newRow("I2C") << 1;
    QTest::newRow("UART") << 2;
}

void TestSimModel::snifferFrameRendersBusBytes()
{
    QFETCH(int, protocol);
    Fixture f;
    f.write(reg::Protocol, quint8(protocol));
    f.write(reg::MStatus, 0x18); // start the sniffer
    f.m.setFrameRate(10);
    QByteArray frame;
    for (int i = 0; i < 5; ++i) // half a second: about 24 bus cycles
        frame = takeFrame(f.m);
    QCOMPARE(frame.size(), quorvelsim::SnifferFrameSize);
    const qint64 firstCycle = 1; // started at clock 0, the capture begins with the next whole bus cycle
    if (protocol == 1) {
        const QString text = renderI2c(frame);
        QString expected;
        for (qint64 n = firstCycle; expected.size() < text.size(); ++n)
            expected += QString("50> %1+ 50< %2+ %3- ")
                            .arg(0x10 + (n & 0x0F), 2, 16, QChar('0'))
                            .arg(quint8(n * 7), 2, 16, QChar('0'))
                            .arg(quint8(n * 13 + 1), 2, 16, QChar('0'));
        QVERIFY(text.size() > 100);
        QCOMPARE(text, expected.left(text.size()));
        return;
    }
    const QString a = renderChannel(frame, 0, 1281, 640, false, protocol == 2);
    const QString b = renderChannel(frame, 640, 1283, 640, false, protocol == 2);
    QString expectedA, expectedB;
    for (qint64 n = firstCycle; expectedA.size() < a.size() + 100; ++n) {
        if (protocol == 2) {
            for (char c : quorvelsim::BusTraffic::uartMessage(n))
                expectedA += (quint8(c) > 31 ? QString(QChar(c)) : QString("_")) + " ";
            expectedB += "O K _ _ ";
        } else {
            expectedA += QString("9f %1 5a 00 ").arg(quint8(n), 2, 16, QChar('0'));
            expectedB += QString("ff c2 20 %1 ").arg(quint8(n * 3), 2, 16, QChar('0'));
        }
    }
    QVERIFY(a.size() > 40);
    QCOMPARE(a, expectedA.left(a.size()));
    QCOMPARE(b, expectedB.left(b.size()));
    // The counts say how many bytes are valid: whole exchanges only.
    const int countA = at(frame, 1281) | at(frame, 1282) << 8;
    QCOMPARE(countA % (protocol == 2 ? 7 : 4), 0);
}

void TestSimModel::snifferCircularAndSingle()
{
    Fixture f;
    f.write(reg::Protocol, 2);
    f.write(reg::Trigger, 0x84 | 0x10); // circular
    f.write(reg::MStatus, 0x18);
    f.m.setFrameRate(2);
    QByteArray frame;
    for (int i = 0; i < 8; ++i) // 4 s: about 200 messages, far more than 640 bytes
        frame = takeFrame(f.m);
    const int count = at(frame, 1281) | at(frame, 1282) << 8;
    QVERIFY(count < 640);
    // Rendered from the oldest byte, the capture is one unbroken run of messages.
    QString text = renderChannel(frame, 0, 1281, 640, true, true).remove(' ');
    QCOMPARE(text.size(), 640);
    text = text.mid(text.indexOf('T'));
    const QStringList messages = text.split("__", Qt::SkipEmptyParts);
    QVERIFY(messages.size() > 80);
    for (int i = 1; i + 1 < messages.size(); ++i)
        QCOMPARE(messages[i].mid(1).toInt(), (messages[i - 1].mid(1).toInt() + 1) % 10000);

    // Single, not circular: capture stops with a full buffer and stays as it is.
    Fixture g;
    g.write(reg::Protocol, 2);
    g.write(reg::Cursors, 0x80);
    g.write(reg::MStatus, 0x18);
    g.m.setFrameRate(2);
    for (int i = 0; i < 8; ++i)
        frame = takeFrame(g.m);
    QCOMPARE(at(frame, 1281) | at(frame, 1282) << 8, 640);
    const QByteArray later = takeFrame(g.m);
    QCOMPARE(later.left(1280), frame.left(1280));
    QCOMPARE(later.mid(1281, 4), frame.mid(1281, 4));
}

void TestSimModel::autoSetupFitsTheSignal_data()
{
    QTest::addColumn<int>("amplitude");
    QTest::addColumn<quint32>("hundredths");
    QTest::newRow("0.25 V, 5 kHz") << -8 << 500000u;
    QTest::newRow("4 V, 100 Hz") << -128 << 10000u;
    QTest::newRow("1 V, 1 kHz") << -32 << 100000u;
    QTest::newRow("0.5 V, 20 kHz") << -16 << 2000000u;
}

void TestSimModel::autoSetupFitsTheSignal()
{
    QFETCH(int, amplitude);
    QFETCH(quint32, hundredths);
    Fixture f;
    f.write(reg::Amplitude, quint8(amplitude));
    f.setFrequency(hundredths);
    f.write(reg::Ch1Gain, 0);
    f.write(reg::SamplingRate, 10);
    f.write(reg::Trigger, 0x00);
    f.cmd('i');
    QCOMPARE(f.m.triggerMode(), InstrumentModel::TriggerMode::Auto);
    const QByteArray frame = takeFrame(f.m);
    const QVector<int> s = ch1Samples(frame);
    const int lo = *std::min_element(s.begin(), s.end());
    const int hi = *std::max_element(s.begin(), s.end());
    QVERIFY2(lo > 0 && hi < 255, "clipped");
    QVERIFY2(hi - lo >= 2 * 32 * 1.6, qPrintable(QString("only %1 counts").arg(hi - lo))); // fills the screen
    // The shown half (128 samples) holds two to five periods.
    const int periods = risingCrossings(s, f.m.reg(reg::HPos), f.m.reg(reg::HPos) + 128).size();
    QVERIFY2(periods >= 2 && periods <= 5, qPrintable(QString::number(periods)));
}

void TestSimModel::serialCommandParser_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected"); // letter:value:index per command
    QTest::newRow("register write") << QByteArray::fromHex("620c06") << "b:6:12";
    QTest::newRow("settings read") << QByteArray::fromHex("750e000000") << "u:0:14";
    QTest::newRow("frequency") << QByteArray::fromHex("63a0860100") << "c:1:34464";
    QTest::newRow("post trigger") << QByteArray::fromHex("6a00004100") << "j:65:0";
    QTest::newRow("letters and noise") << QByteArray("Z\x00pqa\xffm", 7) << "p:0:0 q:0:0 a:0:0 m:0:0";
    QTest::newRow("write carrying a letter value") << QByteArray::fromHex("620561") << "b:97:5";
}

void TestSimModel::serialCommandParser()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    quorvelsim::SerialCommandParser parser;
    QStringList seen;
    for (char b : bytes) {
        quorvelsim::SerialCommandParser::Parsed c;
        if (parser.feed(quint8(b), c))
            seen << QString("%1:%2:%3").arg(c.letter).arg(c.value).arg(c.index);
    }
    QCOMPARE(seen.join(' '), expected);
    QVERIFY(!parser.midCommand());
}

QUORVEL_CORE_TEST_MAIN(TestSimModel)
#include "tst_simmodel.moc"
