// The spectrum's scale and peak read-out, Average, the FFT position and the
// logic bus rows, on the simulated instrument (its generator drives CH1 with
// a 1 kHz sine; the logic lines carry bus traffic and a binary counter).
#include "app/busrowlayer.h"
#include "app/quorvelinterface.h"
#include "app/spectrumoverlay.h"
#include "display/measurements.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSlider>

#include <cmath>

namespace sim = quorvelsim;

namespace {
constexpr int Ch1 = 0, Fft1 = 38;

QVector<double> valuesOf(QCPGraph *graph)
{
    QVector<double> values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values.append(it->value);
    return values;
}

// "CH1 peak 1.000 kHz  -6.1 dBFS" to hertz; NaN for any other text.
double peakHz(const QString &text)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^CH1 peak (-?[0-9.]+) (mHz|Hz|kHz|MHz)  -?[0-9.]+ dBFS$")).match(text);
    if (!m.hasMatch())
        return std::nan("");
    const QString unit = m.captured(2);
    const double scale = unit == "kHz" ? 1e3 : unit == "MHz" ? 1e6 : unit == "mHz" ? 1e-3 : 1;
    return m.captured(1).toDouble() * scale;
}

double spread(const QVector<double> &values)
{
    double mean = 0;
    for (double v : values)
        mean += v;
    mean /= values.size();
    double sum = 0;
    for (double v : values)
        sum += (v - mean) * (v - mean);
    return std::sqrt(sum / values.size());
}
} // namespace

class TestSpectrumWindow : public QObject
{
    Q_OBJECT

    quorveltest::WindowFixture f;
    PlotWidget *plot = nullptr;

    template <typename T> T *child(const char *name) { return f.child<T>(QLatin1String(name)); }
    SpectrumOverlay *overlay() { return f.get()->findChild<SpectrumOverlay *>(); }
    BusRowLayer *busRow() { return f.get()->findChild<BusRowLayer *>(QStringLiteral("busRow")); }

    bool startStreaming()
    {
        const bool streaming = f.startStreaming();
        plot = f.plot();
        return streaming;
    }

private slots:
    void init() { f.init(100); }
    void cleanup() { f.cleanup(); }

    void axisAndPeak_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QString>("legend");
        QTest::addColumn<double>("tolerance"); // Hz: a fifth of a bin
        QTest::newRow("1 ms/div") << 7
                                  << QStringList{"0", "1 kHz", "2 kHz", "3 kHz", "4 kHz", "5 kHz", "6 kHz",
                                                 "7 kHz", "8 kHz"}
                                  << "FFT 1 kHz/div" << 62.5 / 5;
        QTest::newRow("128 us/div") << 4
                                    << QStringList{"0", "7.81 kHz", "15.6 kHz", "23.4 kHz", "31.3 kHz",
                                                   "39.1 kHz", "46.9 kHz", "54.7 kHz", "62.5 kHz"}
                                    << "FFT 7.81 kHz/div" << 488.28 / 5;
    }
    void axisAndPeak()
    {
        QFETCH(int, timeBase);
        QFETCH(QStringList, ticks);
        QFETCH(QString, legend);
        QFETCH(double, tolerance);
        QVERIFY(startStreaming());
        child<QSlider>("samplingSlider")->setValue(timeBase);
        QVERIFY(overlay());
        QCOMPARE(overlay()->legend(), QString()); // nothing while the spectrum is off
        child<QCheckBox>("checkBoxFFTCH1")->setChecked(true);
        child<QCheckBox>("checkBoxFFTTrace")->setChecked(true);
        QVERIFY(f.waitForFrames(3));
        QVERIFY(f.waitForReplots(1));
        QCOMPARE(overlay()->tickLabels(), ticks);
        QCOMPARE(overlay()->legend(), legend);
        QVERIFY(child<QLabel>("timeLabel")->text().endsWith(legend));
        const QString peak = overlay()->peak(0);
        QVERIFY2(std::fabs(peakHz(peak) - 1000) <= tolerance, qPrintable(peak));
        QCOMPARE(overlay()->peak(1), QString());

        // The logarithmic magnitude adds its dB per division.
        child<QCheckBox>("checkBoxLogY")->setChecked(true);
        QVERIFY(f.waitForFrames(2));
        QVERIFY(f.waitForReplots(1));
        QCOMPARE(overlay()->legend(), legend + QStringLiteral("  24.1 dB/div"));

        child<QCheckBox>("checkBoxFFTTrace")->setChecked(false);
        QVERIFY(f.waitForFrames(2));
        QVERIFY(f.waitForReplots(1));
        QCOMPARE(overlay()->legend(), QString());
        QVERIFY(overlay()->tickLabels().isEmpty());
        QVERIFY(!child<QLabel>("timeLabel")->text().contains("FFT"));
    }

    void fftPositionMovesTheSpectrum()
    {
        QVERIFY(startStreaming());
        sim::setNoiseLevel(0);
        child<QCheckBox>("checkBoxFFTTrace")->setChecked(true);
        QVERIFY(f.waitForFrames(3));
        QVERIFY(f.waitForReplots(1));
        const double before = valuesOf(plot->graph(Fft1)).value(16);
        child<QSlider>("verticalSlider_8")->setValue(-100);
        QVERIFY(f.waitForFrames(2));
        QVERIFY(f.waitForReplots(1));
        QVERIFY(std::fabs(valuesOf(plot->graph(Fft1)).value(16) - (before - 100)) < 2);
    }

    // A noisy input: the mean of 8 frames strays far less about the signal,
    // and the measured peak-to-peak of a flat input shrinks with it.
    void averagingLowersTheNoise()
    {
        QVERIFY(startStreaming());
        child<QSlider>("amplitudeSlider")->setValue(0); // the generator is silent: CH1 carries noise only
        sim::setNoiseLevel(0.15);
        QVERIFY(f.waitForFrames(3));
        const auto measured = [&] {
            QVERIFY(f.waitForFrames(12)); // the mean of 8 is full
            QVERIFY(f.waitForReplots(1));
        };
        measured();
        const QVector<double> single = valuesOf(plot->graph(Ch1));
        child<QComboBox>("comboBoxAverage")->setCurrentIndex(3);
        measured();
        const QVector<double> averaged = valuesOf(plot->graph(Ch1));
        QCOMPARE(averaged.size(), single.size());
        const double ratio = spread(single) / spread(averaged);
        QVERIFY2(ratio > 2, qPrintable(QString::number(ratio)));
        const measure::Scale scale = measure::channelScale(child<QSlider>("ch1PositionSlider")->value(),
                                                           child<QSlider>("ch1GainSlider")->value(), 7);
        QVERIFY(measure::trace(averaged, scale).vpp < 0.7 * measure::trace(single, scale).vpp);

        // Roll mode shows the frames as they come.
        QVERIFY(child<QComboBox>("comboBoxAverage")->toolTip().contains("roll mode"));
    }

    // Lines 6 and 7 carry the top of a binary counter: successive stretches
    // of the Parallel row count up by 0x40, and inverting the logic inputs
    // complements every value.
    void parallelRowShowsTheCounter()
    {
        QVERIFY(startStreaming());
        child<QSlider>("samplingSlider")->setValue(9); // 5 ms/div: several counts on screen
        child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        for (int n = 0; n < 8; ++n) {
            QCheckBox *line = child<QCheckBox>(qPrintable(QString("checkBoxCHD%1").arg(n)));
            if (line->isChecked() != (n >= 6))
                line->click();
        }
        child<QCheckBox>("checkBox")->setChecked(true);
        QVERIFY(f.waitForFrames(3));
        QVERIFY(f.waitForReplots(1));
        const auto texts = [&] {
            plot->replot(QCustomPlot::rpImmediateRefresh);
            return busRow()->drawnParallelTexts();
        };
        const QStringList shown = texts();
        QVERIFY2(shown.size() >= 3, qPrintable(shown.join(' ')));
        for (int k = 1; k < shown.size(); ++k) {
            const int step = (shown[k].toInt(nullptr, 16) - shown[k - 1].toInt(nullptr, 16) + 0x100) % 0x100;
            QVERIFY2(step == 0x40, qPrintable(shown.join(' ')));
            QVERIFY(shown[k].length() == 2 && (shown[k].toInt(nullptr, 16) & 0x3f) == 0);
        }

        child<QCheckBox>("checkBoxCHDInvert")->click();
        QVERIFY(f.waitForFrames(3));
        QVERIFY(f.waitForReplots(1));
        const QStringList inverted = texts();
        QVERIFY2(inverted.size() >= 3, qPrintable(inverted.join(' ')));
        for (int k = 1; k < inverted.size(); ++k) {
            const int step =
                (inverted[k].toInt(nullptr, 16) - inverted[k - 1].toInt(nullptr, 16) + 0x100) % 0x100;
            QVERIFY2(step == 0xC0, qPrintable(inverted.join(' '))); // counting down
        }

        child<QCheckBox>("checkBox")->setChecked(false);
        QVERIFY(f.waitForFrames(2));
        QVERIFY(f.waitForReplots(1));
        QVERIFY(texts().isEmpty());
    }

    void serialTextsFollowTheLines()
    {
        QVERIFY(startStreaming());
        child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        child<QCheckBox>("checkBox_2")->setChecked(true);
        QVERIFY(f.waitForFrames(3));
        QVERIFY(f.waitForReplots(1));
        int enabled = 0;
        for (int n = 0; n < 8; ++n)
            enabled += child<QCheckBox>(qPrintable(QString("checkBoxCHD%1").arg(n)))->isChecked();
        const QStringList serial = busRow()->serialTexts();
        QCOMPARE(serial.size(), enabled);
        for (const QString &s : serial) // 128 drawn bits: 16 bytes
            QVERIFY2(QRegularExpression("^[0-9A-F]{32}$").match(s).hasMatch(), qPrintable(s));
    }

    // Color Gradient: the persistence image counts frames per pixel, and its
    // size stays the plot's however long it runs.
    void colorGradientGradesThePersistence()
    {
        QVERIFY(startStreaming());
        child<QCheckBox>("checkBoxPersistence")->setChecked(true);
        child<QCheckBox>("checkBox_21")->setChecked(true);
        QVERIFY(f.waitForFrames(10));
        QVERIFY(f.waitForReplots(1));
        QVERIFY(plot->intensityGraded());
        QVERIFY(plot->gradedFrameCount() >= 5);
        const QImage image = plot->accumulationImage();
        // Colours of the ramp only, where traces passed.
        int ramp = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) {
                const QRgb p = image.pixel(x, y) | 0xff000000u;
                for (int i = 0; i <= 20; ++i)
                    if (p == (PlotWidget::gradeColor(i / 20.0) | 0xff000000u)) {
                        ++ramp;
                        break;
                    }
            }
        QVERIFY2(ramp > 50, qPrintable(QString::number(ramp)));
        const qint64 bytes = plot->accumulationBytes();
        QVERIFY(f.waitForFrames(20));
        QCOMPARE(plot->accumulationBytes(), bytes);

        child<QCheckBox>("checkBox_21")->setChecked(false);
        QVERIFY(f.waitForFrames(2));
        QVERIFY(f.waitForReplots(1));
        QVERIFY(!plot->intensityGraded());
        QCOMPARE(plot->gradedFrameCount(), 0);
    }
};

QUORVEL_TEST_MAIN(TestSpectrumWindow)
#include "test_spectrum_window.moc"
