// The CH1 and CH2 pages' measurement boxes against the simulated instrument:
// its generator's known sine on CH1 (1 kHz, 2 V amplitude, 0.5 V offset),
// its 1 V, 500 Hz triangle on CH2.
#include "app/quorvelinterface.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <cmath>

namespace {

namespace sim = quorvelsim;

// The generator's settings: amplitude register -64 (2 V), offset register
// -32 (32 x 0.50016 x 31.25 mV), 1 kHz (the factory frequency).
constexpr double Frequency = 1000;
constexpr double Amplitude = 2.0;
constexpr double Offset = 32 * 0.50016 * 0.03125;
constexpr int AmplitudeRegister = 36, OffsetRegister = 39;

// One sample count at a gain index: volts/div / 32.
double countAt(int gain)
{
    const double voltsPerDiv[] = {5.12, 2.56, 1.28, 0.64, 0.32, 0.16, 0.08};
    return voltsPerDiv[gain] / 32;
}

// "4.000 V", "500.0 mV", "1.000 kHz" in base units; NaN for anything else ("----").
double valueOf(const QString &text)
{
    const QStringList parts = text.split(' ');
    bool ok = false;
    const double number = parts.value(0).toDouble(&ok);
    if (!ok || parts.size() != 2)
        return std::nan("");
    const QString unit = parts[1];
    const QChar prefix = unit.size() > 1 && unit != QLatin1String("Hz") ? unit.at(0) : QChar();
    if (prefix == 'm')
        return number / 1e3;
    if (prefix == QChar(0x00B5))
        return number / 1e6;
    if (prefix == 'k')
        return number * 1e3;
    if (prefix == 'M')
        return number * 1e6;
    return number;
}

// Counts text and tool tip changes of a widget.
class ChangeCounter : public QObject
{
public:
    int toolTipChanges = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ToolTipChange)
            ++toolTipChanges;
        return false;
    }
};

} // namespace

class TestMeasurementsWindow : public QObject
{
    Q_OBJECT

    quorveltest::WindowFixture f;

    QLineEdit *box(const char *name) { return f.child<QLineEdit>(name); }
    QString text(const char *name) { return box(name)->text(); }
    double value(const char *name) { return valueOf(text(name)); }

    // The boxes show frames taken at these settings: new frames decoded,
    // then a refresh (at most 250 ms later).
    bool settle()
    {
        if (!f.waitForFrames(8))
            return false;
        QTest::qWait(350);
        return true;
    }

    static QString near(double actual, double expected, double within)
    {
        if (std::fabs(actual - expected) <= within)
            return QString();
        return QStringLiteral("%1, expected %2 within %3").arg(actual).arg(expected).arg(within);
    }

private slots:
    void init()
    {
        f.init(100);
        sim::setNoiseLevel(0);
        sim::pokeRegister(AmplitudeRegister, quint8(-64));
        sim::pokeRegister(OffsetRegister, quint8(-32));
        QVERIFY(f.startStreaming());
    }
    void cleanup() { f.cleanup(); }

    // 8 whole periods on screen at 1 ms/div: the mean is the offset.
    void ch1ShowsTheKnownSine()
    {
        QCOMPARE(f.child<QSlider>("samplingSlider")->value(), 7);
        QVERIFY(settle());
        const double count = countAt(3);
        QString miss = near(value("freqTextBox"), Frequency, Frequency * 0.01);
        QVERIFY2(miss.isEmpty(), qPrintable("Freq " + text("freqTextBox") + ": " + miss));
        miss = near(value("vdcTextBox"), Offset, count);
        QVERIFY2(miss.isEmpty(), qPrintable("VDC " + text("vdcTextBox") + ": " + miss));

        // Tool tip: period, duty of a sine, RMS = sqrt(offset^2 + amplitude^2 / 2).
        const QStringList tip = box("vppTextBox")->toolTip().split('\n');
        QCOMPARE(tip.size(), 3);
        QVERIFY2(tip[0].startsWith("Period: "), qPrintable(tip[0]));
        miss = near(valueOf(tip[0].mid(8)), 1 / Frequency, 0.01 / Frequency);
        QVERIFY2(miss.isEmpty(), qPrintable(tip[0] + ": " + miss));
        QVERIFY2(tip[1].startsWith("Duty: ") && std::fabs(tip[1].mid(6).chopped(2).toDouble() - 50) < 2,
                 qPrintable(tip[1]));
        QVERIFY2(tip[2].startsWith("RMS: "), qPrintable(tip[2]));
        miss = near(valueOf(tip[2].mid(5)), std::sqrt(Offset * Offset + Amplitude * Amplitude / 2), 2 * count);
        QVERIFY2(miss.isEmpty(), qPrintable(tip[2] + ": " + miss));
        QCOMPARE(box("freqTextBox")->toolTip(), box("vppTextBox")->toolTip());

        // CH2: the 1 V, 500 Hz triangle.
        miss = near(value("freqTextBox_2"), 500, 5);
        QVERIFY2(miss.isEmpty(), qPrintable("CH2 Freq " + text("freqTextBox_2") + ": " + miss));
        miss = near(value("vppTextBox_2"), 2.0, count);
        QVERIFY2(miss.isEmpty(), qPrintable("CH2 VPP " + text("vppTextBox_2") + ": " + miss));
    }

    // The instrument inverts the channel: the boxes measure the trace as
    // drawn, the offset below 0 V.
    void invertedTraceIsMeasuredAsShown()
    {
        f.child<QCheckBox>("checkBoxCH1Invert")->click();
        QVERIFY(settle());
        QString miss = near(value("vdcTextBox"), -Offset, countAt(3));
        QVERIFY2(miss.isEmpty(), qPrintable("VDC " + text("vdcTextBox") + ": " + miss));
        miss = near(value("freqTextBox"), Frequency, Frequency * 0.01);
        QVERIFY2(miss.isEmpty(), qPrintable("Freq " + text("freqTextBox") + ": " + miss));
    }

    // At 256 µs/div a period is 62.5 samples, so the sampled peaks are the
    // sine's own: VPP within one count at every gain that holds the wave;
    // at 0.32 V/div the wave is clipped and the tool tip says so.
    void vppFollowsTheGain_data()
    {
        QTest::addColumn<int>("gain");
        QTest::newRow("0.64 V/div") << 3;
        QTest::newRow("1.28 V/div") << 2;
        QTest::newRow("5.12 V/div") << 0;
    }
    void vppFollowsTheGain()
    {
        QFETCH(int, gain);
        f.child<QSlider>("samplingSlider")->setValue(5);
        f.child<QSlider>("ch1GainSlider")->setValue(gain);
        QVERIFY(settle());
        QString miss = near(value("vppTextBox"), 2 * Amplitude, countAt(gain));
        QVERIFY2(miss.isEmpty(), qPrintable("VPP " + text("vppTextBox") + ": " + miss));
        miss = near(value("freqTextBox"), Frequency, Frequency * 0.01);
        QVERIFY2(miss.isEmpty(), qPrintable("Freq " + text("freqTextBox") + ": " + miss));
        QVERIFY(!box("vppTextBox")->toolTip().contains("Clipped"));
    }

    void clippedAtSmallVoltsPerDiv()
    {
        f.child<QSlider>("samplingSlider")->setValue(5);
        f.child<QSlider>("ch1GainSlider")->setValue(4);
        QVERIFY(settle());
        // The whole input range, 255 counts of 10 mV, marked as a lower
        // bound in the box itself; the frequency stays.
        QVERIFY2(text("vppTextBox").startsWith('>'), qPrintable(text("vppTextBox")));
        QString miss = near(valueOf(text("vppTextBox").mid(1)), 255 * countAt(4), countAt(4));
        QVERIFY2(miss.isEmpty(), qPrintable("VPP " + text("vppTextBox") + ": " + miss));
        QVERIFY2(box("vppTextBox")->toolTip().contains("Clipped"), qPrintable(box("vppTextBox")->toolTip()));
        QVERIFY2(!box("vppTextBox")->styleSheet().isEmpty(), "no warning colour");
        QVERIFY2(QString("<>~").contains(text("vdcTextBox").at(0)), qPrintable(text("vdcTextBox")));
        QVERIFY(!box("freqTextBox")->text().startsWith('~'));
        miss = near(value("freqTextBox"), Frequency, Frequency * 0.01);
        QVERIFY2(miss.isEmpty(), qPrintable("Freq " + text("freqTextBox") + ": " + miss));
    }

    // At 50 ms/div the 1 kHz sine is sampled at 640 Hz: its alias reads
    // about 280 Hz and is marked; at 1 ms/div the plain reading returns.
    void aliasIsFlagged()
    {
        f.child<QSlider>("samplingSlider")->setValue(12);
        QVERIFY(settle());
        QTRY_VERIFY2(text("freqTextBox").startsWith('~') && text("freqTextBox").endsWith("Hz?"),
                     qPrintable(text("freqTextBox")));
        QVERIFY2(box("freqTextBox")->toolTip().contains("alias"), qPrintable(box("freqTextBox")->toolTip()));
        QVERIFY(!box("freqTextBox")->styleSheet().isEmpty());
        f.child<QSlider>("samplingSlider")->setValue(7);
        QVERIFY(settle());
        QTRY_VERIFY2(!text("freqTextBox").startsWith('~'), qPrintable(text("freqTextBox")));
        QVERIFY(box("freqTextBox")->styleSheet().isEmpty());
    }

    // XY draws both channels as one curve: the boxes keep measuring them,
    // also with a Trace box off.
    void xyKeepsTheValues()
    {
        f.child<QCheckBox>("xyMode")->click();
        f.child<QCheckBox>("checkBoxCH2Trace")->click();
        QVERIFY(settle());
        QString miss = near(value("freqTextBox"), Frequency, Frequency * 0.01);
        QVERIFY2(miss.isEmpty(), qPrintable("Freq " + text("freqTextBox") + ": " + miss));
        miss = near(value("vdcTextBox"), Offset, countAt(3));
        QVERIFY2(miss.isEmpty(), qPrintable("VDC " + text("vdcTextBox") + ": " + miss));
        miss = near(value("freqTextBox_2"), 500, 5);
        QVERIFY2(miss.isEmpty(), qPrintable("CH2 Freq " + text("freqTextBox_2") + ": " + miss));
        miss = near(value("vppTextBox_2"), 2.0, countAt(3));
        QVERIFY2(miss.isEmpty(), qPrintable("CH2 VPP " + text("vppTextBox_2") + ": " + miss));
    }

    // No value: channel off, CH2 at the fastest time base, no instrument.
    void noValueShowsDashes()
    {
        const char *ch1[] = {"vdcTextBox", "vppTextBox", "freqTextBox"};
        const char *ch2[] = {"vdcTextBox_2", "vppTextBox_2", "freqTextBox_2"};
        QVERIFY(settle());
        QVERIFY(!std::isnan(value("vppTextBox")));

        f.child<QCheckBox>("checkBoxCH1Trace")->click();
        QVERIFY(settle());
        for (const char *name : ch1)
            QCOMPARE(text(name), QStringLiteral("----"));
        QCOMPARE(box("vppTextBox")->toolTip(), QStringLiteral("Period: ----\nDuty: ----\nRMS: ----"));
        QVERIFY2(!std::isnan(value("vppTextBox_2")), qPrintable(text("vppTextBox_2")));
        f.child<QCheckBox>("checkBoxCH1Trace")->click();
        QTRY_VERIFY(!std::isnan(value("vppTextBox")));

        // CH2 is not drawn at 8 µs/div.
        f.child<QSlider>("samplingSlider")->setValue(0);
        QVERIFY(settle());
        QCOMPARE(text("vppTextBox_2"), QStringLiteral("----"));
        QVERIFY(!std::isnan(value("vppTextBox")));

        sim::unplug();
        QTRY_COMPARE(text("vppTextBox"), QStringLiteral("----"));
        for (const char *name : ch1)
            QCOMPARE(text(name), QStringLiteral("----"));
        for (const char *name : ch2)
            QCOMPARE(text(name), QStringLiteral("----"));
    }

    void noInstrumentShowsDashes()
    {
        f.cleanup();
        f.init();
        f.startWithoutInstrument();
        QTRY_COMPARE(f.child<QLabel>("infoLabel")->text(), QStringLiteral("Cannot open device"));
        for (const char *name : {"vdcTextBox", "vppTextBox", "freqTextBox", "vdcTextBox_2", "vppTextBox_2",
                                 "freqTextBox_2"})
            QCOMPARE(text(name), QStringLiteral("----"));
    }

    // A stopped instrument sends no frames: the boxes keep the last values.
    void stoppedKeepsTheLastValues()
    {
        QVERIFY(settle());
        f.child<QPushButton>("stopButton")->click();
        QTest::qWait(300);
        const QString vpp = text("vppTextBox"), frequency = text("freqTextBox");
        QVERIFY(!std::isnan(valueOf(vpp)) && !std::isnan(valueOf(frequency)));
        const quint64 frames = f.framesProcessed();
        QTest::qWait(700);
        QCOMPARE(f.framesProcessed(), frames);
        QCOMPARE(text("vppTextBox"), vpp);
        QCOMPARE(text("freqTextBox"), frequency);
    }

    // At 250 frames/s with noise, every frame differs, yet the boxes change at
    // most four times a second.
    void refreshAtMostFourTimesASecond()
    {
        sim::setFrameRate(250);
        sim::setNoiseLevel(0.02);
        QVERIFY(settle());
        ChangeCounter counter;
        QLineEdit *vpp = box("vppTextBox");
        vpp->installEventFilter(&counter);
        const quint64 frames = f.framesProcessed();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(2000);
        const double seconds = clock.elapsed() / 1000.0;
        vpp->removeEventFilter(&counter);
        QVERIFY2(f.framesProcessed() - frames > 100, "the instrument sent too few frames to tell");
        QVERIFY2(counter.toolTipChanges >= 2, qPrintable(QString::number(counter.toolTipChanges)));
        QVERIFY2(counter.toolTipChanges <= int(seconds * 4) + 1,
                 qPrintable(QString("%1 changes in %2 s").arg(counter.toolTipChanges).arg(seconds)));
    }
};

QUORVEL_TEST_MAIN(TestMeasurementsWindow)
#include "test_measurements_window.moc"
