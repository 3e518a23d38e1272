// Automatic measurements of a trace: volts, frequency, duty and RMS of
// synthesized frames against values worked out by hand; the scale tables,
// which channels are measured, and the texts of the boxes.
#include "quorveltest.h"

#include "display/cursors.h"
#include "display/measurements.h"
#include "display/scales.h"
#include "display/traces.h"

#include <cmath>

namespace {

enum class Wave { Dc, Sine, Square, Triangle };
// Deterministic noise patterns in counts: (2i mod 7) - 3 spans -3..3,
// (3i mod 5) - 2 spans -2..2.
enum class Noise { None, Seven, Five };

struct Signal
{
    Wave wave = Wave::Dc;
    int values = 128;        // 128 at the half-record time bases, 256 at the others
    double period = 0;       // in values
    double amplitude = 0;    // counts, peak
    double offset = 0;       // counts
    double phase = 0;        // of the first value, in periods
    double duty = 0.5;
    Noise noise = Noise::None;
    int position = 0;        // position slider
};

double waveAt(const Signal &s, double phase)
{
    switch (s.wave) {
    case Wave::Dc:
        return 0;
    case Wave::Sine:
        return std::sin(2 * M_PI * phase);
    case Wave::Square:
        return phase < s.duty ? 1 : -1;
    case Wave::Triangle:
        return phase < 0.5 ? -1 + 4 * phase : 3 - 4 * phase;
    }
    return 0;
}

int noiseAt(Noise noise, int i)
{
    switch (noise) {
    case Noise::None:
        return 0;
    case Noise::Seven:
        return (2 * i) % 7 - 3;
    case Noise::Five:
        return (3 * i) % 5 - 2;
    }
    return 0;
}

// The plotted values of the signal as the instrument samples it: counts
// above 0 V rounded to whole samples and kept within the sample range
// (count c is sample 127 - c), mapped as a frame's samples are.
QVector<double> plotted(const Signal &s)
{
    QVector<double> values;
    for (int i = 0; i < s.values; ++i) {
        double phase = 0;
        if (s.period > 0) {
            phase = i / s.period + s.phase;
            phase -= std::floor(phase);
        }
        const double up = s.offset + s.amplitude * waveAt(s, phase) + noiseAt(s.noise, i);
        const long count = std::clamp(std::lround(up), -128L, 127L);
        values.append(frame::channelValue(static_cast<unsigned char>(127 - count), s.position));
    }
    return values;
}

// 0.64 V/div: one count is 20 mV. 100 µs per value: a period of P values is
// 10000 / P Hz.
constexpr double VoltsPerDiv = 0.64;
constexpr double Count = VoltsPerDiv / 32;
constexpr double SecondsPerValue = 1e-4;

measure::Scale scaleFor(const Signal &s)
{
    return {s.position + 256.0, VoltsPerDiv, SecondsPerValue};
}

constexpr double NoFrequency = 0;
constexpr double NotChecked = -1;

} // namespace

Q_DECLARE_METATYPE(Signal)

class TestMeasurements : public QObject
{
    Q_OBJECT

private slots:
    // Expected values: VDC, VPP and RMS from the rounded samples (mean, span,
    // root of the mean square, in counts times 20 mV); frequency and duty from
    // the wave's own period and shape.
    void frames_data()
    {
        QTest::addColumn<Signal>("signal");
        QTest::addColumn<double>("vdc");
        QTest::addColumn<double>("vpp");
        QTest::addColumn<double>("rms");
        QTest::addColumn<double>("frequency"); // 0: no value
        QTest::addColumn<double>("tolerance"); // of the frequency, relative
        QTest::addColumn<double>("duty");      // -1: not checked
        QTest::addColumn<bool>("clipped");

        Signal s;
        s.wave = Wave::Sine;
        s.period = 32;
        s.amplitude = 100;
        QTest::newRow("sine, 4 periods") << s << 0.0 << 4.0 << 1.4138 << 312.5 << 0.005 << 0.5 << false;

        Signal shifted = s;
        shifted.position = -40;
        QTest::newRow("sine, position -40") << shifted << 0.0 << 4.0 << 1.4138 << 312.5 << 0.005 << 0.5 << false;

        Signal odd;
        odd.wave = Wave::Sine;
        odd.period = 37; // 3.46 periods: the period does not divide the frame
        odd.amplitude = 60;
        odd.offset = 20;
        odd.phase = 0.1;
        odd.position = 64;
        QTest::newRow("sine, period 37 values, offset") << odd << 0.5002 << 2.4 << 0.9821 << 10000.0 / 37 << 0.005
                                                        << 0.5 << false;

        // Noise of 4 counts on a slope of about 9 counts per value: without
        // the hysteresis the noise would cross the mid level again.
        Signal noisy;
        noisy.wave = Wave::Sine;
        noisy.period = 20;
        noisy.amplitude = 30;
        noisy.noise = Noise::Five;
        QTest::newRow("sine with noise") << noisy << 0.0252 << 1.24 << 0.4290 << 500.0 << 0.005 << 0.5 << false;

        Signal square;
        square.wave = Wave::Square;
        square.period = 32;
        square.amplitude = 50;
        QTest::newRow("square, duty 50 %") << square << 0.0 << 2.0 << 1.0 << 312.5 << 0.005 << 0.5 << false;
        square.duty = 0.25;
        QTest::newRow("square, duty 25 %") << square << -0.5 << 2.0 << 1.0 << 312.5 << 0.005 << 0.25 << false;

        Signal triangle;
        triangle.wave = Wave::Triangle;
        triangle.period = 32;
        triangle.amplitude = 80;
        QTest::newRow("triangle") << triangle << 0.0 << 3.2 << 0.9274 << 312.5 << 0.005 << 0.5 << false;

        Signal dc;
        dc.offset = 30;
        QTest::newRow("DC") << dc << 0.6 << 0.0 << 0.6 << NoFrequency << 0.0 << NotChecked << false;

        // A 1-count square: 2 counts peak to peak is still a flat line.
        Signal flat;
        flat.wave = Wave::Square;
        flat.period = 8;
        flat.amplitude = 1;
        QTest::newRow("flat line") << flat << 0.0 << 0.04 << 0.02 << NoFrequency << 0.0 << NotChecked << false;

        // 6 counts of noise around 10 counts: inside the hysteresis, no crossings.
        Signal noise;
        noise.offset = 10;
        noise.noise = Noise::Seven;
        QTest::newRow("noise only") << noise << 0.1994 << 0.12 << 0.2034 << NoFrequency << 0.0 << NotChecked
                                    << false;

        Signal part = s;
        part.period = 200;
        QTest::newRow("less than one period") << part << 0.8208 << 3.5 << 1.3223 << NoFrequency << 0.0
                                              << NotChecked << false;
        // 128 values span 127 intervals: one period of 128 values has only
        // one rise and one fall on screen.
        part.period = 128;
        QTest::newRow("exactly one period") << part << 0.0 << 4.0 << 1.4139 << NoFrequency << 0.0 << NotChecked
                                            << false;
        part.period = 100;
        part.phase = 0.9; // rises at 10 and 110, a fall at 60
        QTest::newRow("1.28 periods") << part << 0.0836 << 4.0 << 1.3340 << 100.0 << 0.01 << NotChecked << false;

        // Clipped at sample 0 (+127 counts) and at sample 255 (-128 counts):
        // the mid level moves, the period stays. Duty: the sine above the
        // mid level 43.5 counts, 0.5 + asin(0.165) / pi; below, -44 counts.
        Signal clipped = s;
        clipped.offset = 60;
        QTest::newRow("clipped at sample 0") << clipped << 1.0844 << 3.34 << 1.6708 << 312.5 << 0.005 << 0.553
                                             << true;
        clipped.offset = -60;
        QTest::newRow("clipped at sample 255") << clipped << -1.09 << 3.36 << 1.6793 << 312.5 << 0.005 << 0.449
                                               << true;

        Signal whole;
        whole.wave = Wave::Sine;
        whole.values = 256;
        whole.period = 50;
        whole.amplitude = 70;
        whole.offset = -10;
        whole.phase = 0.3;
        QTest::newRow("256 values") << whole << -0.1741 << 2.8 << 1.0092 << 200.0 << 0.005 << 0.5 << false;
    }
    void frames()
    {
        QFETCH(Signal, signal);
        QFETCH(double, vdc);
        QFETCH(double, vpp);
        QFETCH(double, rms);
        QFETCH(double, frequency);
        QFETCH(double, tolerance);
        QFETCH(double, duty);
        QFETCH(bool, clipped);

        const measure::Result r = measure::trace(plotted(signal), scaleFor(signal));
        QVERIFY(r.valid);
        const auto near = [](double actual, double expected, double within) {
            return std::fabs(actual - expected) <= within;
        };
        QVERIFY2(near(r.vdc, vdc, Count), qPrintable(QString::number(r.vdc)));
        QVERIFY2(near(r.vpp, vpp, Count), qPrintable(QString::number(r.vpp)));
        QVERIFY2(near(r.rms, rms, Count), qPrintable(QString::number(r.rms)));
        QCOMPARE(r.clipped, clipped);
        if (frequency == NoFrequency) {
            QVERIFY2(!r.hasPeriod, qPrintable(QString::number(r.frequency)));
            return;
        }
        QVERIFY(r.hasPeriod);
        QVERIFY2(near(r.frequency, frequency, frequency * tolerance),
                 qPrintable(QString("%1 Hz over %2 periods").arg(r.frequency).arg(r.periods)));
        QVERIFY(near(r.period * r.frequency, 1, 1e-9));
        if (duty != NotChecked)
            QVERIFY2(near(r.duty, duty, 0.01), qPrintable(QString::number(r.duty)));
    }

    // The hysteresis keeps noise from crossing again: 4 counts of noise on a
    // sine whose edges rise only about 2 counts per value still count each
    // period once.
    void slowEdgesWithNoiseCountEachPeriodOnce()
    {
        Signal s;
        s.wave = Wave::Sine;
        s.period = 40;
        s.amplitude = 12; // about 2 counts per value at the crossings
        s.noise = Noise::Five;
        const measure::Result r = measure::trace(plotted(s), scaleFor(s));
        QVERIFY(r.hasPeriod);
        // Rises at 40, 80, 120 (the one at 0 is the first value) and falls at
        // 20, 60, 100: two whole periods each.
        QCOMPARE(r.periods, 4);
        QVERIFY2(std::fabs(r.frequency - 250) < 250 * 0.03, qPrintable(QString::number(r.frequency)));
    }

    void nothingToMeasure()
    {
        const measure::Result r = measure::trace(QVector<double>(), measure::Scale{256, 0.64, 1e-4});
        QVERIFY(!r.valid);
        QVERIFY(!r.hasPeriod);
        QCOMPARE(measure::texts(r).vdc, QStringLiteral("----"));
        // A time base outside the table: volts, but no frequency.
        Signal s;
        s.wave = Wave::Sine;
        s.period = 32;
        s.amplitude = 100;
        const measure::Result noTime = measure::trace(plotted(s), measure::Scale{256, 0.64, 0});
        QVERIFY(noTime.valid && !noTime.hasPeriod);
    }

    // The numeric tables agree with the texts the labels show.
    void scalesAgreeWithTheirTexts()
    {
        const QList<QString> gains = scales::gainTexts();
        for (int i = 0; i < scales::GainCount; ++i) {
            const cursors::ScaleText t = cursors::parseGainText(gains.at(i));
            const double volts = t.unit.startsWith('m') ? t.number / 1000 : t.number;
            QCOMPARE(measure::voltsPerDivision(i), volts); // "----" parses as 0
        }
        const QList<QString> times = scales::timeBaseTexts();
        for (int i = 0; i < scales::TimeBaseCount; ++i) {
            const cursors::ScaleText t = cursors::parseTimeBaseText(times.at(i));
            double seconds = t.number;
            if (t.unit.startsWith('m'))
                seconds /= 1e3;
            else if (t.unit.startsWith(QChar(0x00B5)))
                seconds /= 1e6;
            QVERIFY2(std::fabs(measure::secondsPerDivision(i) - seconds) <= seconds * 1e-12, qPrintable(times.at(i)));
        }
        QCOMPARE(measure::voltsPerDivision(-1), 0.0);
        QCOMPARE(measure::secondsPerDivision(scales::TimeBaseCount), 0.0);
    }

    void scaleOfAChannel_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("gain");
        QTest::addColumn<int>("sampling");
        QTest::addColumn<double>("zero");
        QTest::addColumn<double>("voltsPerDiv");
        QTest::addColumn<double>("secondsPerValue");
        // 128 values over eight divisions at 0..10, 256 from 11 on.
        QTest::newRow("1 ms/div") << 0 << 3 << 7 << 256.0 << 0.64 << 62.5e-6;
        QTest::newRow("10 ms/div, last half-record") << -64 << 6 << 10 << 192.0 << 0.08 << 625e-6;
        QTest::newRow("20 ms/div, whole record") << 100 << 0 << 11 << 356.0 << 5.12 << 625e-6;
        QTest::newRow("8 us/div") << 0 << 3 << 0 << 256.0 << 0.64 << 0.5e-6;
        QTest::newRow("gain out of range") << 0 << 7 << 7 << 256.0 << 0.0 << 62.5e-6;
    }
    void scaleOfAChannel()
    {
        QFETCH(int, position);
        QFETCH(int, gain);
        QFETCH(int, sampling);
        QFETCH(double, zero);
        QFETCH(double, voltsPerDiv);
        QFETCH(double, secondsPerValue);
        const measure::Scale s = measure::channelScale(position, gain, sampling);
        QCOMPARE(s.zeroLevel, zero);
        QCOMPARE(s.voltsPerDiv, voltsPerDiv);
        QVERIFY(std::fabs(s.secondsPerValue - secondsPerValue) < secondsPerValue * 1e-12);
        // A sample of 127 is 0 V at any position; one count is volts/div / 32.
        QCOMPARE(measure::voltsOf(frame::channelValue(127, position), s), 0.0);
        QCOMPARE(measure::voltsOf(frame::channelValue(126, position), s), voltsPerDiv / 32);
    }

    void channelShown_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<bool>("traceOn");
        QTest::addColumn<bool>("xy");
        QTest::addColumn<int>("sampling");
        QTest::addColumn<bool>("shown");
        QTest::newRow("CH1 on") << 1 << true << false << 7 << true;
        QTest::newRow("CH1 off") << 1 << false << false << 7 << false;
        QTest::newRow("CH1 in XY") << 1 << true << true << 7 << true;
        QTest::newRow("CH1 off in XY") << 1 << false << true << 7 << true;
        QTest::newRow("CH1 at 8 us/div") << 1 << true << false << 0 << true;
        QTest::newRow("CH2 at 8 us/div is not drawn") << 2 << true << false << 0 << false;
        QTest::newRow("CH2 at 16 us/div") << 2 << true << false << 1 << true;
        QTest::newRow("CH2 in XY") << 2 << true << true << 7 << true;
        QTest::newRow("CH2 in XY at 8 us/div") << 2 << true << true << 0 << false;
    }
    void channelShown()
    {
        QFETCH(int, channel);
        QFETCH(bool, traceOn);
        QFETCH(bool, xy);
        QFETCH(int, sampling);
        QFETCH(bool, shown);
        QCOMPARE(measure::channelShown(channel, traceOn, xy, sampling), shown);
    }

    void quantityTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("text");
        const QString micro = QString(QChar(0x00B5));
        QTest::newRow("volts") << 1.234 << "V"
                               << "1.234 V";
        QTest::newRow("millivolts") << 0.0625 << "V"
                                    << "62.50 mV";
        QTest::newRow("negative millivolts") << -0.5 << "V"
                                             << "-500.0 mV";
        QTest::newRow("zero") << 0.0 << "V"
                              << "0.000 V";
        QTest::newRow("above 10 V") << 12.0 << "V"
                                    << "12.00 V";
        QTest::newRow("hertz") << 998.0 << "Hz"
                               << "998.0 Hz";
        QTest::newRow("kilohertz") << 12500.0 << "Hz"
                                   << "12.50 kHz";
        QTest::newRow("rounds up to the next prefix") << 999.96 << "Hz"
                                                      << "1.000 kHz";
        QTest::newRow("megahertz") << 1.5e6 << "Hz"
                                   << "1.500 MHz";
        QTest::newRow("milliseconds") << 1e-3 << "s"
                                      << "1.000 ms";
        QTest::newRow("microseconds") << 25e-6 << "s" << "25.00 " + micro + "s";
        // Values no input reaches (a loaded wave of 1e308): the text keeps
        // its field.
        QTest::newRow("1e308") << 1e308 << "V" << "----";
        QTest::newRow("-1e308") << -1e308 << "V" << "----";
        QTest::newRow("infinity") << double(HUGE_VAL) << "V" << "----";
        QTest::newRow("nan") << std::nan("") << "Hz" << "----";
        QTest::newRow("largest that fits") << 999.4e6 << "V" << "999.4 MV";
    }
    void quantityTexts()
    {
        QFETCH(double, value);
        QFETCH(QString, unit);
        QFETCH(QString, text);
        QCOMPARE(measure::quantityText(value, unit), text);
    }

    // No digit finer than the decade of a tenth of one sample count.
    void resolvedTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("countVolts");
        QTest::addColumn<QString>("text");
        const QString micro = QString(QChar(0x00B5));
        QTest::newRow("-156 uV at 2.5 mV counts") << -156.3e-6 << 0.0025 << "-0.2 mV";
        QTest::newRow("-156 uV at 20 mV counts") << -156.3e-6 << 0.02 << "0.000 V";
        QTest::newRow("1.2345 V at 20 mV counts") << 1.2345 << 0.02 << "1.235 V";
        QTest::newRow("62.51 mV at 160 mV counts") << 0.06251 << 0.16 << "0.06 V";
        QTest::newRow("12.34 mV at 2.5 mV counts") << 0.01234 << 0.0025 << "12.3 mV";
        QTest::newRow("4.000 V at 160 mV counts") << 4.0 << 0.16 << "4.00 V";
        QTest::newRow("no count: four digits") << -156.3e-6 << 0.0 << "-156.3 " + micro + "V";
    }
    void resolvedTexts()
    {
        QFETCH(double, value);
        QFETCH(double, countVolts);
        QFETCH(QString, text);
        QCOMPARE(measure::quantityText(value, "V", measure::voltsResolution(countVolts)), text);
    }

    // About 4 mV of noise at 80 mV/div (1.6 counts, 6 to 10 counts peak to
    // peak) crosses its own mid level at random: no frequency in any frame.
    // A sine of 24 counts peak to peak under the same noise still measures.
    void noiseHasNoFrequency()
    {
        quint64 state = 12345;
        const auto gaussian = [&state]() {
            const auto uniform = [&state]() {
                state = state * 6364136223846793005ULL + 1442695040888963407ULL;
                return (double(state >> 11) + 0.5) / double(1ULL << 53);
            };
            const double u = uniform(), v = uniform();
            return std::sqrt(-2 * std::log(u)) * std::cos(2 * M_PI * v);
        };
        const measure::Scale scale{256, 0.08, 1e-4};
        const double sigmaCounts = 0.004 / (0.08 / 32);
        int measured = 0;
        for (int frame = 0; frame < 200; ++frame) {
            QVector<double> values;
            for (int i = 0; i < 256; ++i) {
                const long count = std::lround(sigmaCounts * gaussian());
                values.append(frame::channelValue(static_cast<unsigned char>(127 - count), 0));
            }
            const measure::Result r = measure::trace(values, scale);
            if (r.hasPeriod)
                ++measured;
            QVERIFY(r.vpp > 0);
        }
        QCOMPARE(measured, 0);

        int sines = 0;
        for (int frame = 0; frame < 50; ++frame) {
            QVector<double> values;
            for (int i = 0; i < 256; ++i) {
                const double up = 12 * std::sin(2 * M_PI * (i / 32.0 + frame / 50.0)) + sigmaCounts * gaussian();
                values.append(frame::channelValue(static_cast<unsigned char>(127 - std::lround(up)), 0));
            }
            const measure::Result r = measure::trace(values, scale);
            if (r.hasPeriod && std::fabs(r.frequency - 312.5) < 312.5 * 0.01)
                ++sines;
        }
        QVERIFY2(sines >= 45, qPrintable(QString::number(sines)));
    }

    // A 1 kHz sine at 50 ms/div (1.5625 ms per sample, 640 Hz) reads as its
    // alias, 280 Hz: marked. The same sine well sampled keeps its plain reading.
    void aliasIsMarked()
    {
        QVector<double> values;
        const double dt = 50e-3 / 32;
        for (int i = 0; i < 256; ++i) {
            const long count = std::lround(100 * std::sin(2 * M_PI * 1000 * i * dt));
            values.append(frame::channelValue(static_cast<unsigned char>(127 - count), 0));
        }
        const measure::Result r = measure::trace(values, measure::Scale{256, 0.64, dt});
        QVERIFY(r.hasPeriod);
        QVERIFY2(std::fabs(r.frequency - 280) < 280 * 0.01, qPrintable(QString::number(r.frequency)));
        QVERIFY(measure::aliasSuspected(r));
        const measure::Texts t = measure::texts(r);
        QCOMPARE(t.frequency, QLatin1Char('~') + measure::quantityText(r.frequency, "Hz") + QLatin1Char('?'));
        QVERIFY(t.frequencyWarning);
        QVERIFY2(t.toolTip.contains("alias"), qPrintable(t.toolTip));

        Signal s;
        s.wave = Wave::Sine;
        s.period = 32;
        s.amplitude = 100;
        const measure::Texts plain = measure::texts(measure::trace(plotted(s), scaleFor(s)));
        QCOMPARE(plain.frequency, QStringLiteral("312.5 Hz"));
        QVERIFY(!plain.frequencyWarning);
        QVERIFY(!plain.toolTip.contains("alias"));
    }

    void boxTexts()
    {
        Signal square;
        square.wave = Wave::Square;
        square.period = 32;
        square.amplitude = 50;
        square.duty = 0.25;
        measure::Texts t = measure::texts(measure::trace(plotted(square), scaleFor(square)));
        QCOMPARE(t.vdc, QStringLiteral("-0.500 V")); // 20 mV counts: no digit below 1 mV
        QCOMPARE(t.vpp, QStringLiteral("2.000 V"));
        QCOMPARE(t.frequency, QStringLiteral("312.5 Hz"));
        QCOMPARE(t.toolTip, QStringLiteral("Period: 3.200 ms\nDuty: 25.00 %\nRMS: 1.000 V"));

        Signal dc;
        dc.offset = 30;
        t = measure::texts(measure::trace(plotted(dc), scaleFor(dc)));
        QCOMPARE(t.vdc, QStringLiteral("0.600 V"));
        QCOMPARE(t.frequency, QStringLiteral("----"));
        QCOMPARE(t.toolTip, QStringLiteral("Period: ----\nDuty: ----\nRMS: 0.600 V"));

        Signal clipped;
        clipped.wave = Wave::Sine;
        clipped.period = 32;
        clipped.amplitude = 100;
        clipped.offset = 60;
        t = measure::texts(measure::trace(plotted(clipped), scaleFor(clipped)));
        QVERIFY2(t.toolTip.contains("Clipped"), qPrintable(t.toolTip));
        // Clipped at the top: the VPP box says "at least", VDC "higher".
        QCOMPARE(t.vpp, QStringLiteral(">3.340 V"));
        QVERIFY2(t.vdc.startsWith('>'), qPrintable(t.vdc));
        QVERIFY(t.vppWarning && t.vdcWarning && !t.frequencyWarning);
        clipped.offset = -60;
        t = measure::texts(measure::trace(plotted(clipped), scaleFor(clipped)));
        QVERIFY2(t.vdc.startsWith('<') && t.vpp.startsWith('>'), qPrintable(t.vdc + " " + t.vpp));
        clipped.offset = 0;
        clipped.amplitude = 200;
        t = measure::texts(measure::trace(plotted(clipped), scaleFor(clipped)));
        QVERIFY2(t.vdc.startsWith('~') && t.vpp.startsWith('>'), qPrintable(t.vdc + " " + t.vpp));
        QVERIFY(!measure::texts(measure::trace(plotted(square), scaleFor(square))).vppWarning);

        // A loaded wave of 1e308: every box stays within its field.
        const QVector<double> huge{1e308, -1e308, 1e308, -1e308};
        t = measure::texts(measure::trace(huge, measure::Scale{256, 0.64, 1e-4}));
        for (const QString &text : {t.vdc, t.vpp, t.frequency})
            QVERIFY2(text.size() <= 12, qPrintable(text));
        QVERIFY2(t.toolTip.size() < 300, qPrintable(t.toolTip));

        t = measure::noValueTexts();
        QCOMPARE(t.vdc, QStringLiteral("----"));
        QCOMPARE(t.vpp, QStringLiteral("----"));
        QCOMPARE(t.frequency, QStringLiteral("----"));
        QCOMPARE(t.toolTip, QStringLiteral("Period: ----\nDuty: ----\nRMS: ----"));
    }
};

QUORVEL_CORE_TEST_MAIN(TestMeasurements)
#include "test_measurements.moc"
