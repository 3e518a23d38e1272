// The spectrum's frequency scale, legend and peak read-out, and the centring
// of the samples on the channels' zero level.
#include "quorveltest.h"

#include "display/measurements.h"
#include "display/spectrumaxis.h"

#include <cmath>
#include <vector>

namespace {
constexpr int Ms1 = 7;    // 1 ms/div
constexpr int Us128 = 4;  // 128 us/div
constexpr int Us8 = 0;    // 8 us/div
constexpr int Ms10 = 10;  // 10 ms/div, the slowest half-record time base
constexpr int Ms20 = 11;  // 20 ms/div, whole record
constexpr int S50 = 21;   // 50 s/div

// CH1 (and CH2) carry a sine of `cycles` periods per record and the given
// amplitude in sample values, around zeroSample + offset.
std::vector<unsigned char> sineFrame(double cycles, double amplitude, double offset = 0, double phase = 0.3)
{
    std::vector<unsigned char> frame(770, 0);
    for (int k = 0; k < 256; ++k) {
        const double v = spectrum::ZeroSample + offset + amplitude * std::sin(2 * M_PI * cycles * k / 256 + phase);
        frame[k] = frame[256 + k] = static_cast<unsigned char>(std::lround(std::max(0.0, std::min(255.0, v))));
    }
    return frame;
}

spectrum::Result transform(const std::vector<unsigned char> &frame, int window, bool logY = true)
{
    spectrum::Options options;
    options.ch1 = true;
    options.ch2 = true;
    options.logY = logY;
    return spectrum::compute(frame.data(), spectrum::makeWindow(window), options);
}
} // namespace

class TestSpectrumAxis : public QObject
{
    Q_OBJECT

private slots:
    void binFrequencies_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<bool>("iq");
        QTest::addColumn<int>("firstBin");
        QTest::addColumn<int>("point");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("hzPerDiv");
        // 16 samples a division at 1 ms/div: 62.5 us apart, bins 62.5 Hz apart.
        QTest::newRow("1 ms/div bin 16") << Ms1 << false << 0 << 16 << 1000.0 << 1000.0;
        QTest::newRow("1 ms/div last") << Ms1 << false << 0 << 127 << 7937.5 << 1000.0;
        QTest::newRow("128 us/div bin 2") << Us128 << false << 0 << 2 << 976.5625 << 7812.5;
        QTest::newRow("8 us/div Nyquist") << Us8 << false << 0 << 128 << 1e6 << 125000.0;
        QTest::newRow("10 ms/div") << Ms10 << false << 0 << 1 << 6.25 << 100.0;
        // Whole record: 32 samples and 32 bins a division.
        QTest::newRow("20 ms/div") << Ms20 << false << 0 << 1 << 6.25 << 200.0;
        QTest::newRow("50 s/div") << S50 << false << 0 << 1 << 0.0025 << 0.08;
        // IQ: bins 128..255 are negative; the scroll bar picks the first.
        QTest::newRow("iq from 0") << Ms1 << true << 0 << 127 << 7937.5 << 1000.0;
        QTest::newRow("iq from 128") << Ms1 << true << 128 << 0 << -8000.0 << 1000.0;
        QTest::newRow("iq wraps to 0") << Ms1 << true << 200 << 56 << 0.0 << 1000.0;
        QTest::newRow("iq before 0") << Ms1 << true << 200 << 55 << -62.5 << 1000.0;
        QTest::newRow("iq after 0") << Ms1 << true << 200 << 57 << 62.5 << 1000.0;
    }
    void binFrequencies()
    {
        QFETCH(int, timeBase);
        QFETCH(bool, iq);
        QFETCH(int, firstBin);
        QFETCH(int, point);
        QFETCH(double, hz);
        QFETCH(double, hzPerDiv);
        const spectrum::Axis axis = spectrum::axis(timeBase, iq, firstBin);
        QVERIFY(axis.valid);
        QVERIFY(qFuzzyCompare(1 + spectrum::binFrequency(axis, spectrum::binAt(axis, point)), 1 + hz));
        QVERIFY(qFuzzyCompare(spectrum::hzPerDivision(axis), hzPerDiv));
    }

    void unknownTimeBaseHasNoScale()
    {
        const spectrum::Axis axis = spectrum::axis(99, false, 0);
        QVERIFY(!axis.valid);
        QVERIFY(spectrum::ticks(axis).isEmpty());
        QCOMPARE(spectrum::legendText(axis, false), QStringLiteral("FFT"));
    }

    void ticksAndLegend_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<bool>("iq");
        QTest::addColumn<int>("firstBin");
        QTest::addColumn<bool>("logY");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("legend");
        QTest::newRow("1 ms/div") << Ms1 << false << 0 << false
                                  << QStringList{"0", "1 kHz", "2 kHz", "3 kHz", "4 kHz", "5 kHz", "6 kHz",
                                                 "7 kHz", "8 kHz"}
                                  << "FFT 1 kHz/div";
        QTest::newRow("128 us/div log") << Us128 << false << 0 << true
                                        << QStringList{"0", "7.81 kHz", "15.6 kHz", "23.4 kHz", "31.3 kHz",
                                                       "39.1 kHz", "46.9 kHz", "54.7 kHz", "62.5 kHz"}
                                        << "FFT 7.81 kHz/div  24.1 dB/div";
        // The whole record's 128 bins fill half the plot.
        QTest::newRow("20 ms/div") << Ms20 << false << 0 << false
                                   << QStringList{"0", "200 Hz", "400 Hz", "600 Hz", "800 Hz"}
                                   << "FFT 200 Hz/div";
        QTest::newRow("iq negative") << Ms1 << true << 128 << false
                                     << QStringList{"-8 kHz", "-7 kHz", "-6 kHz", "-5 kHz", "-4 kHz",
                                                    "-3 kHz", "-2 kHz", "-1 kHz", "0"}
                                     << "FFT 1 kHz/div";
        QTest::newRow("iq across 0") << Ms1 << true << 192 << false
                                     << QStringList{"-4 kHz", "-3 kHz", "-2 kHz", "-1 kHz", "0", "1 kHz",
                                                    "2 kHz", "3 kHz", "4 kHz"}
                                     << "FFT 1 kHz/div";
    }
    void ticksAndLegend()
    {
        QFETCH(int, timeBase);
        QFETCH(bool, iq);
        QFETCH(int, firstBin);
        QFETCH(bool, logY);
        QFETCH(QStringList, labels);
        QFETCH(QString, legend);
        const spectrum::Axis axis = spectrum::axis(timeBase, iq, firstBin);
        const QVector<spectrum::Tick> ticks = spectrum::ticks(axis);
        QStringList got;
        for (int i = 0; i < ticks.size(); ++i) {
            QCOMPARE(ticks[i].key, 32.0 * i); // one a division
            got << ticks[i].label;
        }
        QCOMPARE(got, labels);
        QCOMPARE(spectrum::legendText(axis, logY), legend);
    }

    void frequencyTexts_data()
    {
        QTest::addColumn<double>("hz");
        QTest::addColumn<QString>("text");
        QTest::newRow("kHz") << 1000.0 << "1.000 kHz";
        QTest::newRow("Hz") << 62.5 << "62.50 Hz";
        QTest::newRow("rounds up a prefix") << 999.96 << "1.000 kHz";
        QTest::newRow("MHz") << 1e6 << "1.000 MHz";
        QTest::newRow("mHz") << 0.0025 << "2.500 mHz";
        QTest::newRow("negative") << -7937.5 << "-7.938 kHz";
        QTest::newRow("zero") << 0.0 << "0 Hz";
        QTest::newRow("not a number") << std::nan("") << "---";
    }
    void frequencyTexts()
    {
        QFETCH(double, hz);
        QFETCH(QString, text);
        QCOMPARE(spectrum::frequencyText(hz), text);
    }

    // Synthesized sines on a bin and between bins, through every window: the
    // peak lies within a small part of a bin of the sine's frequency, and its
    // level within a dB or two of the sine's.
    void interpolatedPeak_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<double>("cycles");
        QTest::addColumn<double>("amplitude");
        QTest::addColumn<double>("binTolerance");
        QTest::addColumn<double>("dbTolerance");
        const char *names[] = {"rect", "hamming", "hann", "blackman"};
        // The rectangular window's main lobe is too narrow for a parabola
        // to place a peak half-way between bins closely, and its level loses
        // up to 3.9 dB there.
        const double binTolerance[] = {0.25, 0.06, 0.06, 0.06};
        const double dbTolerance[] = {3.0, 0.6, 0.6, 0.6};
        for (int w = 0; w < 4; ++w) {
            for (double cycles : {16.0, 16.5, 20.3, 2.048, 100.75}) {
                QTest::addRow("%s %.3f", names[w], cycles)
                    << w << cycles << 100.0 << binTolerance[w] << dbTolerance[w];
            }
            QTest::addRow("%s full scale", names[w]) << w << 32.0 << 127.0 << binTolerance[w] << dbTolerance[w];
        }
    }
    void interpolatedPeak()
    {
        QFETCH(int, window);
        QFETCH(double, cycles);
        QFETCH(double, amplitude);
        QFETCH(double, binTolerance);
        QFETCH(double, dbTolerance);
        const spectrum::Result result = transform(sineFrame(cycles, amplitude), window);
        const spectrum::Axis axis = spectrum::axis(Ms1, false, 0);
        for (bool second : {false, true}) {
            const spectrum::Peak peak = spectrum::findPeak(result, second, axis);
            QVERIFY(peak.found);
            QVERIFY2(std::fabs(peak.bin - cycles) <= binTolerance, qPrintable(QString::number(peak.bin)));
            QCOMPARE(peak.point, peak.bin);
            QVERIFY(qFuzzyCompare(peak.frequency, peak.bin * 62.5));
            const double expectedDb = 20 * std::log10(amplitude / 128);
            QVERIFY2(std::fabs(peak.levelDb - expectedDb) <= dbTolerance,
                     qPrintable(QStringLiteral("%1 dB, expected %2").arg(peak.levelDb).arg(expectedDb)));
        }
    }

    void peakInIqModeIsSigned()
    {
        // A complex tone at -20 bins: CH1 = cos, CH2 = -sin.
        std::vector<unsigned char> frame(770, 0);
        for (int k = 0; k < 256; ++k) {
            const double a = 2 * M_PI * 20 * k / 256;
            frame[k] = static_cast<unsigned char>(std::lround(spectrum::ZeroSample + 90 * std::cos(a)));
            frame[256 + k] = static_cast<unsigned char>(std::lround(spectrum::ZeroSample - 90 * std::sin(a)));
        }
        spectrum::Options options;
        options.iq = true;
        options.firstBin = 128;
        const auto result = spectrum::compute(frame.data(), spectrum::makeWindow(spectrum::Hann), options);
        const spectrum::Axis axis = spectrum::axis(Ms1, true, 128);
        const spectrum::Peak peak = spectrum::findPeak(result, false, axis);
        QVERIFY(peak.found);
        QVERIFY(std::fabs(peak.frequency + 20 * 62.5) < 0.05 * 62.5);
        QVERIFY(std::fabs(peak.point - 108) < 0.05);
        QVERIFY(std::fabs(peak.levelDb - 20 * std::log10(90.0 / 128)) < 0.6);
        QVERIFY(!spectrum::findPeak(result, true, axis).found); // no second transform in IQ mode
    }

    void peakTexts()
    {
        spectrum::Peak peak;
        QCOMPARE(spectrum::peakText("CH1", peak), QStringLiteral("CH1 peak ---"));
        peak.found = true;
        peak.frequency = 1000.2;
        peak.levelDb = -6.14;
        QCOMPARE(spectrum::peakText("CH1", peak), QStringLiteral("CH1 peak 1.000 kHz  -6.1 dBFS"));
    }

    // The samples are centred on the zero level: a sine around 0 V has no
    // 0 Hz line (its rounding error falls on the tone's harmonics), and a DC
    // level shows at its own height in bin 0.
    void centring_data()
    {
        QTest::addColumn<int>("window");
        QTest::newRow("rect") << 0;
        QTest::newRow("hamming") << 1;
        QTest::newRow("hann") << 2;
        QTest::newRow("blackman") << 3;
    }
    void centring()
    {
        QFETCH(int, window);
        const spectrum::Result zeroMean = transform(sineFrame(16, 60), window);
        // Raw samples would put the zero level itself (-0.07 dBFS) in bin 0.
        const double dc = spectrum::levelDb(spectrum::amplitude(zeroMean.norms1[0], 0, false, zeroMean.windowSum));
        QVERIFY2(dc < -80, qPrintable(QString::number(dc)));
        QVERIFY(zeroMean.values1[0] < zeroMean.values1[16] - 100); // far below the tone in the plot too

        // 1 V DC at 1.28 V/div: 25 sample values above the zero level.
        const double countsPerVolt =
            measure::PlotUnitsPerDivision / measure::PlotUnitsPerCount / measure::voltsPerDivision(2);
        QCOMPARE(countsPerVolt, 25.0);
        std::vector<unsigned char> frame(770, static_cast<unsigned char>(spectrum::ZeroSample - 25));
        const spectrum::Result oneVolt = transform(frame, window);
        const double level = spectrum::levelDb(spectrum::amplitude(oneVolt.norms1[0], 0, false, oneVolt.windowSum));
        QVERIFY2(std::fabs(level - 20 * std::log10(25.0 / 128)) < 1e-9, qPrintable(QString::number(level)));
        // Bin 0 is never the peak: DC alone leaves at most a window side lobe.
        const spectrum::Peak dcPeak = spectrum::findPeak(oneVolt, false, spectrum::axis(Ms1, false, 0));
        QVERIFY(!dcPeak.found || (dcPeak.bin > 2 && dcPeak.levelDb < level - 50));

        // DC beside a tone: the tone is the peak, whatever the DC's lobe.
        const spectrum::Result both = transform(sineFrame(10, 20, 60), window);
        const spectrum::Peak peak = spectrum::findPeak(both, false, spectrum::axis(Ms1, false, 0));
        QVERIFY(peak.found);
        QVERIFY2(std::fabs(peak.bin - 10) < 0.3, qPrintable(QString::number(peak.bin)));
    }
};

QUORVEL_CORE_TEST_MAIN(TestSpectrumAxis)
#include "test_spectrumaxis.moc"
