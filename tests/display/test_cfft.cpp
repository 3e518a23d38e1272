// The FFT and the spectrum of a frame, checked against a direct DFT.
#include "quorveltest.h"

#include "display/cfft.h"
#include "display/spectrum.h"

#include <cmath>
#include <random>
#include <vector>

namespace {

using LongComplex = std::pair<long double, long double>;

// Direct O(N^2) DFT in long double with exactly computed angles.
std::vector<LongComplex> referenceDft(const std::vector<complex> &in, bool inverse)
{
    const size_t n = in.size();
    const long double sign = inverse ? 1.0L : -1.0L;
    const long double pi = 3.141592653589793238462643383279502884L;
    std::vector<LongComplex> out(n);
    for (size_t k = 0; k < n; ++k) {
        long double re = 0, im = 0;
        for (size_t t = 0; t < n; ++t) {
            const long double angle = sign * 2.0L * pi * static_cast<long double>((k * t) % n) / n;
            const long double c = std::cos(angle), s = std::sin(angle);
            re += in[t].re() * c - in[t].im() * s;
            im += in[t].re() * s + in[t].im() * c;
        }
        out[k] = {re, im};
    }
    return out;
}

std::vector<complex> randomSignal(unsigned n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(-128.0, 128.0);
    std::vector<complex> data(n);
    for (auto &c : data)
        c = complex(value(generator), value(generator));
    return data;
}

double maxError(const std::vector<complex> &actual, const std::vector<LongComplex> &expected)
{
    long double worst = 0;
    for (size_t k = 0; k < actual.size(); ++k)
        worst = std::max({worst, std::fabs(actual[k].re() - expected[k].first),
                          std::fabs(actual[k].im() - expected[k].second)});
    return double(worst);
}

// Random frame bytes: CH1, CH2, logic, counter, roll index.
std::vector<unsigned char> randomFrame(unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<unsigned char> frame(770);
    for (auto &b : frame)
        b = static_cast<unsigned char>(byte(generator));
    return frame;
}

} // namespace

class TestCfft : public QObject
{
    Q_OBJECT

private slots:
    void forwardMatchesDirectDft_data()
    {
        QTest::addColumn<unsigned>("n");
        QTest::addColumn<unsigned>("seed");
        for (unsigned n : {1u, 2u, 4u, 8u, 64u, 256u, 1024u})
            for (unsigned seed : {1u, 77u})
                QTest::addRow("N=%u seed=%u", n, seed) << n << seed;
    }
    void forwardMatchesDirectDft()
    {
        QFETCH(unsigned, n);
        QFETCH(unsigned, seed);
        const std::vector<complex> input = randomSignal(n, seed);
        const auto expected = referenceDft(input, false);

        std::vector<complex> inPlace = input;
        QVERIFY(CFFT::Forward(inPlace.data(), n));
        // The recurrence accumulates rounding; stay well inside a part in 1e9
        // of the largest possible output (N * 128 * sqrt 2).
        const double tolerance = 1e-9 * n * 182.0;
        QVERIFY2(maxError(inPlace, expected) < tolerance,
                 qPrintable(QString::number(maxError(inPlace, expected))));

        std::vector<complex> outOfPlace(n);
        QVERIFY(CFFT::Forward(input.data(), outOfPlace.data(), n));
        QVERIFY(outOfPlace == inPlace);
    }

    void inverseMatchesDirectDftAndRoundTrips_data()
    {
        QTest::addColumn<unsigned>("n");
        for (unsigned n : {2u, 16u, 256u})
            QTest::addRow("N=%u", n) << n;
    }
    void inverseMatchesDirectDftAndRoundTrips()
    {
        QFETCH(unsigned, n);
        const std::vector<complex> input = randomSignal(n, 5);
        const auto expected = referenceDft(input, true);

        std::vector<complex> unscaled = input;
        QVERIFY(CFFT::Inverse(unscaled.data(), n, false));
        QVERIFY(maxError(unscaled, expected) < 1e-9 * n * 182.0);

        std::vector<complex> spectrum(n), back(n);
        QVERIFY(CFFT::Forward(input.data(), spectrum.data(), n));
        QVERIFY(CFFT::Inverse(spectrum.data(), back.data(), n, true));
        for (unsigned k = 0; k < n; ++k) {
            QVERIFY(std::fabs(back[k].re() - input[k].re()) < 1e-9);
            QVERIFY(std::fabs(back[k].im() - input[k].im()) < 1e-9);
        }
    }

    void invalidArgumentsLeaveDataUntouched_data()
    {
        QTest::addColumn<unsigned>("n");
        QTest::newRow("N=0") << 0u;
        QTest::newRow("N=3") << 3u;
        QTest::newRow("N=6") << 6u;
        QTest::newRow("N=255") << 255u;
    }
    void invalidArgumentsLeaveDataUntouched()
    {
        QFETCH(unsigned, n);
        const std::vector<complex> original = randomSignal(8, 3);
        std::vector<complex> data = original;
        std::vector<complex> out(8, complex(7, 7));
        const std::vector<complex> outBefore = out;

        QVERIFY(!CFFT::Forward(data.data(), n));
        QVERIFY(!CFFT::Inverse(data.data(), n, true));
        QVERIFY(!CFFT::Forward(data.data(), out.data(), n));
        QVERIFY(!CFFT::Inverse(data.data(), out.data(), n, false));
        QVERIFY(data == original);
        QVERIFY(out == outBefore);
    }

    void nullPointersAreRefused()
    {
        std::vector<complex> data = randomSignal(4, 9);
        const std::vector<complex> original = data;
        QVERIFY(!CFFT::Forward(nullptr, 4));
        QVERIFY(!CFFT::Inverse(nullptr, 4, true));
        QVERIFY(!CFFT::Forward(nullptr, data.data(), 4));
        QVERIFY(!CFFT::Forward(data.data(), nullptr, 4));
        QVERIFY(!CFFT::Inverse(nullptr, data.data(), 4, true));
        QVERIFY(!CFFT::Inverse(data.data(), nullptr, 4, true));
        QVERIFY(data == original);
    }

    void windowsHaveTheirEdgeValues_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<double>("edge");
        QTest::addColumn<double>("peak");
        QTest::newRow("rectangular") << int(spectrum::Rectangular) << 1.0 << 1.0;
        QTest::newRow("hamming") << int(spectrum::Hamming) << 0.53836 - 0.46164 << 0.53836 + 0.46164;
        QTest::newRow("hann") << int(spectrum::Hann) << 0.0 << 1.0;
        QTest::newRow("blackman") << int(spectrum::Blackman) << 0.42 - 0.5 + 0.08 << 0.42 + 0.5 + 0.08;
    }
    void windowsHaveTheirEdgeValues()
    {
        QFETCH(int, window);
        QFETCH(double, edge);
        QFETCH(double, peak);
        const spectrum::WindowTable table = spectrum::makeWindow(window);
        // Denominator 255: both ends carry the edge value exactly.
        QCOMPARE(table[0], edge);
        QVERIFY(std::fabs(table[255] - edge) < 1e-15);
        // Symmetric, largest in the middle (k = 127.5 is not a sample).
        for (int k = 0; k < 128; ++k)
            QVERIFY(std::fabs(table[k] - table[255 - k]) < 1e-12);
        QVERIFY(table[127] <= peak + 1e-12);
        QVERIFY(table[127] > peak - 1e-3);
    }

    void unknownWindowLeavesTableUnchanged()
    {
        spectrum::WindowTable table = spectrum::makeWindow(spectrum::Hann);
        const spectrum::WindowTable before = table;
        QVERIFY(!spectrum::fillWindow(4, table));
        QVERIFY(!spectrum::fillWindow(-1, table));
        QVERIFY(table == before);
    }

    // The whole spectrum step against a direct DFT of the windowed samples.
    void frameSpectrumMatchesReference_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<bool>("iq");
        QTest::addColumn<bool>("logY");
        QTest::addColumn<int>("firstBin");
        const char *names[] = {"rect", "hamming", "hann", "blackman"};
        for (int w = 0; w < 4; ++w) {
            QTest::addRow("%s channels", names[w]) << w << false << false << 0;
            QTest::addRow("%s channels log", names[w]) << w << false << true << 0;
            QTest::addRow("%s iq from 127", names[w]) << w << true << false << 127;
            QTest::addRow("%s iq from 0 log", names[w]) << w << true << true << 0;
        }
    }
    void frameSpectrumMatchesReference()
    {
        QFETCH(int, window);
        QFETCH(bool, iq);
        QFETCH(bool, logY);
        QFETCH(int, firstBin);
        const std::vector<unsigned char> frame = randomFrame(1000 + window);
        const spectrum::WindowTable table = spectrum::makeWindow(window);

        std::vector<complex> a(256), b(256);
        for (int k = 0; k < 256; ++k) {
            // Centred on the channels' zero level (sample 127).
            const double first = (frame[k] - 127.0) * table[k], second = (frame[256 + k] - 127.0) * table[k];
            a[k] = iq ? complex(first, second) : complex(first, first);
            b[k] = complex(second, second);
        }
        const auto refA = referenceDft(a, false);
        const auto refB = referenceDft(b, false);
        auto expected = [logY](const LongComplex &c) {
            const double m = double(std::sqrt(c.first * c.first + c.second * c.second));
            return logY ? 16.0 * std::log2(m) : 0.05 * m;
        };

        spectrum::Options options;
        options.iq = iq;
        options.ch1 = true;
        options.ch2 = true;
        options.logY = logY;
        options.firstBin = firstBin;
        const spectrum::Result result = spectrum::compute(frame.data(), table, options);

        QVERIFY(result.hasFirst);
        QCOMPARE(result.hasSecond, !iq);
        QCOMPARE(result.values1.size(), 128);
        QCOMPARE(result.values2.size(), iq ? 0 : 128);
        for (int j = 0; j < 128; ++j) {
            const int bin = iq ? (firstBin + j) % 256 : j;
            QVERIFY2(std::fabs(result.values1[j] - expected(refA[bin])) < 1e-6,
                     qPrintable(QStringLiteral("bin %1").arg(bin)));
            if (!iq)
                QVERIFY(std::fabs(result.values2[j] - expected(refB[bin])) < 1e-6);
        }
    }

    void iqBinWindowWrapsToBinZero()
    {
        // A single complex tone in bin 3: with the window starting at 200 the
        // tone comes back after the wrap at point 256 - 200 + 3 = 59.
        std::vector<unsigned char> frame(770, 0);
        for (int k = 0; k < 256; ++k) {
            frame[k] =
                static_cast<unsigned char>(std::lround(127.5 + 127 * std::cos(2 * M_PI * 3 * k / 256)));
            frame[256 + k] =
                static_cast<unsigned char>(std::lround(127.5 + 127 * std::sin(2 * M_PI * 3 * k / 256)));
        }
        spectrum::Options options;
        options.iq = true;
        options.firstBin = 200;
        const auto result =
            spectrum::compute(frame.data(), spectrum::makeWindow(spectrum::Rectangular), options);
        // Point 59 is bin 3; every other point, bin 0 at point 56 included
        // (the samples are centred on 127, half a count below their mean),
        // is far below it.
        QVector<double> others = result.values1;
        others[59] = 0;
        const double floor = *std::max_element(others.begin(), others.end());
        QVERIFY(result.values1[59] > 100 * floor);
    }

    void constantFrameHasAllEnergyInBinZero_data()
    {
        QTest::addColumn<bool>("logY");
        QTest::newRow("linear") << false;
        QTest::newRow("log") << true;
    }
    void constantFrameHasAllEnergyInBinZero()
    {
        QFETCH(bool, logY);
        std::vector<unsigned char> frame(770, 100);
        spectrum::Options options;
        options.ch1 = true;
        options.ch2 = true;
        options.logY = logY;
        const auto result =
            spectrum::compute(frame.data(), spectrum::makeWindow(spectrum::Rectangular), options);
        // |256 * (-27 - 27j)|: the samples lie 27 below the zero level
        const double dc = 256 * 27 * std::sqrt(2.0);
        QCOMPARE(result.values1[0], logY ? 16.0 * std::log2(dc) : 0.05 * dc);
        QCOMPARE(result.values2[0], result.values1[0]);
        for (int j = 1; j < 128; ++j) {
            QVERIFY(std::isfinite(result.values1[j]));
            // Exactly zero magnitudes would be minus infinity in log scale: the
            // plot gets its bottom instead; rounding residue stays tiny.
            QVERIFY2(logY ? result.values1[j] < -400 || result.values1[j] == 0 : result.values1[j] < 1e-9,
                     qPrintable(QString::number(result.values1[j])));
        }
    }

    void zeroMagnitudeMapsToBottom_data()
    {
        QTest::addColumn<double>("magnitude");
        QTest::addColumn<bool>("logY");
        QTest::addColumn<double>("expected");
        QTest::newRow("zero log") << 0.0 << true << 0.0;
        QTest::newRow("zero linear") << 0.0 << false << 0.0;
        QTest::newRow("nan") << std::nan("") << true << 0.0;
        QTest::newRow("infinite") << HUGE_VAL << false << 0.0;
        QTest::newRow("two log") << 2.0 << true << 16.0;
        QTest::newRow("1024 log") << 1024.0 << true << 160.0;
        QTest::newRow("100 linear") << 100.0 << false << 5.0;
    }
    void zeroMagnitudeMapsToBottom()
    {
        QFETCH(double, magnitude);
        QFETCH(bool, logY);
        QFETCH(double, expected);
        QCOMPARE(spectrum::plotValue(magnitude, logY), expected);
    }

    void zeroLevelFrameInLogScaleIsFinite()
    {
        std::vector<unsigned char> frame(770, 127); // 0 V on both channels
        spectrum::Options options;
        options.ch1 = true;
        options.ch2 = true;
        options.logY = true;
        const auto result = spectrum::compute(frame.data(), spectrum::makeWindow(spectrum::Hann), options);
        for (int j = 0; j < 128; ++j) {
            QCOMPARE(result.values1[j], 0.0);
            QCOMPARE(result.values2[j], 0.0);
        }
    }

    void unselectedChannelsGiveNoValues()
    {
        std::vector<unsigned char> frame = randomFrame(4);
        spectrum::Options options;
        options.ch2 = true;
        const auto result = spectrum::compute(frame.data(), spectrum::makeWindow(0), options);
        QVERIFY(!result.hasFirst);
        QVERIFY(result.hasSecond);
        QVERIFY(result.values1.isEmpty());
        QCOMPARE(result.values2.size(), 128);
    }
};

QUORVEL_CORE_TEST_MAIN(TestCfft)
#include "test_cfft.moc"
