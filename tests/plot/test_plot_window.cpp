// The plot of the window against the simulated instrument.
#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "settings/registers.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

#include <cmath>
#include <memory>

namespace {

// Graph indices in the scene's drawing order.
constexpr int Ch1 = 0, RefCh1 = 1, Ch2 = 2, RefCh2 = 3;
constexpr int persistCh1(int k)
{
    return 4 + 2 * k;
}
constexpr int persistCh2(int k)
{
    return 5 + 2 * k;
}
constexpr int logicLine(int n)
{
    return 22 + 2 * n;
}
constexpr int refLogicLine(int n)
{
    return 23 + 2 * n;
}
constexpr int Fft1 = 38, Fft2 = 39;

using quorveltest::ControlAction;
using quorveltest::ControlRow;

QVector<double> keysOf(QCPGraph *graph)
{
    QVector<double> keys;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        keys.append(it->key);
    return keys;
}

QVector<double> valuesOf(QCPGraph *graph)
{
    QVector<double> values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values.append(it->value);
    return values;
}

// The sample byte behind a plotted channel value at position 0.
int sampleOf(double value)
{
    return 255 - int(std::lround(value / 2));
}

// The colour the plot paints its background with (a corner outside the axes).
QColor backgroundOf(QCustomPlot *plot)
{
    return plot->toPixmap(200, 200).toImage().pixelColor(1, 1);
}

// Pixels of an image for which `match` holds.
template <typename Match> int countColour(const QImage &image, Match match)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y)))
                ++n;
    return n;
}

// CH1 of the Dark theme, (75, 229, 28), at any antialiasing coverage.
bool isDarkCh1(const QColor &c)
{
    return c.alpha() > 64 && c.hue() >= 95 && c.hue() <= 115 && c.saturation() > 150;
}
// CH2 (red) and the Dark theme's logic lines, which are red to orange.
bool isRed(const QColor &c)
{
    return c.alpha() > 64 && (c.hue() <= 20 || c.hue() >= 345) && c.saturation() > 150;
}

// The sequence number of a stamped frame plotted from sample 0 at position 0.
quint32 sequenceOf(const QVector<double> &values)
{
    quint32 sequence = 0;
    for (int i = 0; i < 4 && i < values.size(); ++i)
        sequence |= quint32(sampleOf(values[i])) << (8 * i);
    return sequence;
}

} // namespace

class TestPlotWindow : public QObject
{
    Q_OBJECT

    quorveltest::WindowFixture f;
    PlotWidget *plot = nullptr;

    template <typename T> T *child(const char *name) { return f.child<T>(QLatin1String(name)); }

    void startWindow()
    {
        f.start();
        plot = f.plot();
        QVERIFY(plot);
    }

    // Window connected and frames drawn.
    bool startStreaming()
    {
        const bool streaming = f.startStreaming();
        plot = f.plot();
        return streaming;
    }

    bool waitForReplots(int n) { return f.waitForReplots(n); }

private slots:
    void init() { f.init(100); }

    void cleanup()
    {
        f.cleanup();
        plot = nullptr;
    }

    void sceneHasItsGraphsInDrawingOrder()
    {
        f.startWithoutInstrument();
        plot = f.plot();
        QCOMPARE(plot->graphCount(), 40);
        for (int i = 0; i < plot->graphCount(); ++i)
            QVERIFY2(qobject_cast<PlotGraph *>(plot->graph(i)), qPrintable(QString::number(i)));
        for (int i : {Ch1, RefCh1, Ch2, RefCh2, persistCh1(0), persistCh2(8)}) {
            QCOMPARE(plot->graph(i)->lineStyle(), QCPGraph::lsLine); // "Vectors" is on in the form
            QCOMPARE(plot->graph(i)->scatterStyle().shape(), QCPScatterStyle::ssNone);
        }
        for (int n = 0; n < 8; ++n) {
            QCOMPARE(plot->graph(logicLine(n))->lineStyle(), QCPGraph::lsStepCenter);
            QCOMPARE(plot->graph(refLogicLine(n))->lineStyle(), QCPGraph::lsStepCenter);
            QCOMPARE(plot->graph(logicLine(n))->selectable(), QCP::stNone);
            QVERIFY(plot->graph(refLogicLine(n))->selectable() != QCP::stNone);
        }
        QCOMPARE(plot->graph(Fft1)->lineStyle(), QCPGraph::lsImpulse);
        QCOMPARE(plot->graph(Fft2)->lineStyle(), QCPGraph::lsImpulse);

        QCOMPARE(plot->xAxis->range(), QCPRange(0, 256));
        QCOMPARE(plot->yAxis->range(), QCPRange(0, 512));
        QCOMPARE(plot->yAxis2->range(), QCPRange(-256, 256));
        QCOMPARE(plot->xAxis2->range(), QCPRange(0, 256));
        QVERIFY(plot->xAxis2->visible());
        QVERIFY(!plot->xAxis->tickLabels());
        QVERIFY(!plot->yAxis2->tickLabels());
        auto ticker = qSharedPointerDynamicCast<QCPAxisTickerFixed>(plot->xAxis->ticker());
        QVERIFY(ticker);
        QCOMPARE(ticker->tickStep(), 32.0);
        QCOMPARE(plot->interactions(), QCP::Interactions(QCP::iSelectPlottables));
        plot->xAxis->setRange(10, 100);
        QCOMPARE(plot->xAxis2->range(), QCPRange(10, 100));
    }

    void sceneHasItsItems()
    {
        f.startWithoutInstrument();
        plot = f.plot();
        int pixmaps = 0, lines = 0, tracers = 0;
        QStringList texts;
        for (int i = 0; i < plot->itemCount(); ++i) {
            QCPAbstractItem *item = plot->item(i);
            if (item->objectName().startsWith("fft"))
                continue; // the spectrum's scale and read-out, in their own colours
            QVERIFY(!item->selectable());
            if (qobject_cast<QCPItemPixmap *>(item))
                ++pixmaps;
            else if (qobject_cast<QCPItemStraightLine *>(item))
                ++lines;
            else if (qobject_cast<QCPItemTracer *>(item))
                ++tracers;
            else if (auto *text = qobject_cast<QCPItemText *>(item)) {
                texts << text->text();
                QCOMPARE(text->font().family(), QStringLiteral("Courier New"));
                QCOMPARE(text->font().pixelSize(), 13);
                // The scope's state is always shown; the trigger level whenever something triggers.
                if (text->objectName() == QLatin1String("plotStateText"))
                    QCOMPARE(text->text(), QStringLiteral("Not connected"));
                else if (text->objectName() != QLatin1String("triggerLevelText"))
                    QVERIFY(!text->visible());
            }
        }
        QCOMPARE(pixmaps, 9);
        // Cursor, zero and trigger level lines, and the logic labels' hidden right-edge anchor.
        QCOMPARE(lines, 9);
        QCOMPARE(tracers, 4);
        QCOMPARE(texts.size(), 15);
        for (const char *expected :
             {"Bit 0", "Bit 7", "ΔT = 0 ms", " 1/ΔT = 0 ms ", "ΔV = 0 V", "Vb = 0 V", "Va = 0 V"})
            QVERIFY2(texts.contains(QString::fromUtf8(expected)), expected);
    }

    void scaleLabelsAtStart()
    {
        f.startWithoutInstrument();
        plot = f.plot();
        QCOMPARE(child<QLabel>("ch1Label")->text(), QStringLiteral(" CH1 = 0.64V/div"));
        QCOMPARE(child<QLabel>("ch2Label")->text(), QStringLiteral(" CH2 = 0.64V/div"));
    }

    void samplingSliderWhileDisconnectedChangesNothing()
    {
        f.startWithoutInstrument();
        plot = f.plot();
        const QString before = child<QLabel>("timeLabel")->text();
        const quint8 reg = quorvelsim::peekRegister(0);
        child<QSlider>("samplingSlider")->setValue(15);
        QCOMPARE(child<QLabel>("timeLabel")->text(), before);
        QCOMPARE(quorvelsim::peekRegister(0), reg);
    }

    void samplingSliderWritesTheTimeBase()
    {
        QVERIFY(startStreaming());
        QUORVEL_CHECK_CONTROL_ROW(
            f, (ControlRow{"samplingSlider", ControlAction::SetValue, 13, {{reg::SamplingRate, 13}}}));
        QCOMPARE(child<QLabel>("timeLabel")->text(), QStringLiteral("Time = 0.1s/div"));
    }

    void plotControlsWriteTheirRegisters_data()
    {
        quorveltest::addControlColumn();
        using A = ControlAction;
        quorveltest::addControlRow("fastest time base", "samplingSlider", A::SetValue, 0,
                                   {{reg::SamplingRate, 0}});
        quorveltest::addControlRow("slowest time base", "samplingSlider", A::SetValue, 21,
                                   {{reg::SamplingRate, 21}});
        quorveltest::addControlRow("scroll to the start", "horizontalScrollBar", A::SetValue, 0,
                                   {{reg::HPos, 0}});
        // The instrument's own position after the connect is 64.
        quorveltest::addControlRow("scroll to 32", "horizontalScrollBar", A::SetValue, 32, {{reg::HPos, 32}});
        // Persistence is also the instrument's display register bit 5 (factory 0x42).
        quorveltest::addControlRow("persistence", "checkBoxPersistence", A::Click, 0, {{reg::Display, 0x62}});
        // Display-only controls write nothing.
        quorveltest::addControlRow("capture", "captureButton", A::Click, 0, {});
        quorveltest::addControlRow("light theme", "comboBoxTheme", A::ChooseIndex, 1, {});
    }
    void plotControlsWriteTheirRegisters()
    {
        QVERIFY(f.startConnected());
        QFETCH(ControlRow, row);
        QUORVEL_CHECK_CONTROL_ROW(f, row);
    }

    // The row check sees a write that is missing, one too many, and a wrong value.
    void controlRowCheckFailsOnOtherWrites_data()
    {
        quorveltest::addControlColumn();
        using A = ControlAction;
        quorveltest::addControlRow("missing", "captureButton", A::Click, 0, {{reg::SamplingRate, 3}});
        quorveltest::addControlRow("unexpected", "samplingSlider", A::SetValue, 4, {});
        quorveltest::addControlRow("wrong value", "samplingSlider", A::SetValue, 4, {{reg::SamplingRate, 5}});
        quorveltest::addControlRow("wrong register", "samplingSlider", A::SetValue, 4, {{reg::HPos, 4}});
    }
    void controlRowCheckFailsOnOtherWrites()
    {
        QVERIFY(f.startConnected());
        QFETCH(ControlRow, row);
        QEXPECT_FAIL("", "the row does not describe what the control writes", Abort);
        f.checkControlRow(row);
    }

    void framesBecomeTraces_data()
    {
        QTest::addColumn<int>("sampling");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("keyStep");
        QTest::newRow("10ms/div, scroll 0") << 10 << 0 << 128 << 2;
        QTest::newRow("20ms/div") << 11 << 127 << 256 << 1;
    }
    void framesBecomeTraces()
    {
        QFETCH(int, sampling);
        QFETCH(int, scroll);
        QFETCH(int, points);
        QFETCH(int, keyStep);
        // Stamped frames: bytes 0..3 carry a sequence number, the rest a pattern of it.
        quorvelsim::setFrameStamping(true);
        QVERIFY(startStreaming());
        child<QSlider>("samplingSlider")->setValue(sampling);
        child<QScrollBar>("horizontalScrollBar")->setValue(scroll);
        // The connect shows the instrument's logic position; the levels below are those of position 3.
        child<QSlider>("chdPositionSlider")->setValue(3);
        QVERIFY(waitForReplots(2));

        QCPGraph *ch1 = plot->graph(Ch1);
        QCPGraph *ch2 = plot->graph(Ch2);
        QCOMPARE(ch1->dataCount(), points);
        QCOMPARE(ch2->dataCount(), points);
        const QVector<double> keys = keysOf(ch1);
        for (int c = 0; c < points; ++c)
            QCOMPARE(keys[c], double(c * keyStep));

        const QVector<double> v1 = valuesOf(ch1);
        const QVector<double> v2 = valuesOf(ch2);
        quint32 sequence = 0;
        for (int i = 0; i < 4; ++i)
            sequence |= quint32(sampleOf(v1[i])) << (8 * i);
        for (int c = 4; c < points; ++c) {
            QCOMPARE(v1[c], 2.0 * (255 - quorvelsim::stampByte(sequence, c)));
            QCOMPARE(v2[c], 2.0 * (255 - quorvelsim::stampByte(sequence, 256 + c)));
        }
        // Logic line 0 of the same frame, at position 3 and size 0.
        const QVector<double> logic0 = valuesOf(plot->graph(logicLine(0)));
        QCOMPARE(logic0.size(), points);
        for (int c = 4; c < points; ++c)
            QCOMPARE(logic0[c], (quorvelsim::stampByte(sequence, 512 + c) & 1) ? 170.0 : 160.0);
    }

    void rollModeStartsAtTheFramesWriteIndex()
    {
        // Stamped frames: the write index (byte 769) is part of the pattern,
        // so each frame starts its roll at another sample.
        quorvelsim::setFrameStamping(true);
        QVERIFY(startStreaming());
        child<QSlider>("samplingSlider")->setValue(12);
        child<QCheckBox>("rollMode")->click(); // the handler writes roll mode, which the frames follow
        QVERIFY(waitForReplots(2));

        const QVector<double> v1 = valuesOf(plot->graph(Ch1));
        QCOMPARE(v1.size(), 256);
        // Find the start r for which column c shows sample (r + c) mod 256:
        // bytes 0..3 then give the sequence number, and the pattern must
        // match everywhere, the write index included.
        int matches = 0, start = -1;
        for (int r = 0; r < 256; ++r) {
            quint32 sequence = 0;
            for (int i = 0; i < 4; ++i)
                sequence |= quint32(sampleOf(v1[(256 - r + i) % 256])) << (8 * i);
            if (quorvelsim::stampByte(sequence, 769) != r)
                continue;
            bool all = true;
            for (int c = 0; c < 256 && all; ++c) {
                const int i = (r + c) % 256;
                all = i < 4 || v1[c] == 2.0 * (255 - quorvelsim::stampByte(sequence, i));
            }
            if (all) {
                ++matches;
                start = r;
            }
        }
        QCOMPARE(matches, 1);
        QVERIFY(start >= 0);
    }

    void ch2IsNotDrawnAtTheFastestTimeBase()
    {
        QVERIFY(startStreaming());
        QTRY_VERIFY(plot->graph(Ch2)->dataCount() > 0);
        child<QSlider>("samplingSlider")->setValue(0);
        QVERIFY(waitForReplots(2));
        QCOMPARE(plot->graph(Ch2)->dataCount(), 0);
        QCOMPARE(plot->graph(Ch1)->dataCount(), 128);
        child<QSlider>("samplingSlider")->setValue(1);
        QVERIFY(waitForReplots(2));
        QCOMPARE(plot->graph(Ch2)->dataCount(), 128);
    }

    void referencesKeepTheCapturedFrame()
    {
        // Stamped frames at scroll 0: the first columns carry the frame's
        // sequence number, so every plotted trace names its frame.
        quorvelsim::setFrameStamping(true);
        QVERIFY(startStreaming());
        child<QScrollBar>("horizontalScrollBar")->setValue(0);
        child<QCheckBox>("refCH1")->setChecked(true);
        QVERIFY(waitForReplots(2));
        QVERIFY(plot->graph(RefCh1)->data()->isEmpty());
        const quint32 before = sequenceOf(valuesOf(plot->graph(Ch1)));

        child<QPushButton>("captureButton")->click();
        QVERIFY(waitForReplots(2));
        const QVector<double> reference = valuesOf(plot->graph(RefCh1));
        QCOMPARE(reference.size(), 128);
        const quint32 captured = sequenceOf(reference);
        QVERIFY(captured >= before);
        // One whole frame: its pattern everywhere.
        for (int c = 4; c < 128; ++c)
            QCOMPARE(reference[c], 2.0 * (255 - quorvelsim::stampByte(captured, c)));

        // Later frames move the trace, not the reference.
        QVERIFY(waitForReplots(4));
        QVERIFY(sequenceOf(valuesOf(plot->graph(Ch1))) > captured);
        QCOMPARE(valuesOf(plot->graph(RefCh1)), reference);

        // The capture slider moves the reference without changing it.
        child<QSlider>("ch1CaptureSlider")->setValue(32);
        QVERIFY(waitForReplots(2));
        const QVector<double> moved = valuesOf(plot->graph(RefCh1));
        for (int c = 0; c < moved.size(); ++c)
            QCOMPARE(moved[c], reference[c] + 32);
    }

    void persistenceAccumulatesAndClears()
    {
        QVERIFY(startStreaming());
        child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        // All eight lines: the instrument's factory mask has lines 6 and 7 off.
        for (int n = 0; n < 8; ++n)
            if (QCheckBox *line = child<QCheckBox>(qPrintable(QString("checkBoxCHD%1").arg(n)));
                !line->isChecked())
                line->click();
        child<QCheckBox>("checkBoxFFTCH2")->setChecked(true);
        child<QCheckBox>("checkBoxFFTTrace")->setChecked(true);
        child<QCheckBox>("checkBoxPersistence")->setChecked(true);
        QVERIFY(f.waitForFrames(4));
        QVERIFY(waitForReplots(1));
        QVERIFY(plot->persistenceMode);
        QVERIFY(!plot->accumulationEmpty());
        QCOMPARE(plot->accumulationImage().size(), plot->viewport().size());

        // Traces, logic lines and both spectra are shown through the
        // accumulation and hold this frame only; references and the decay
        // history are drawn as usual.
        QList<int> accumulated{Ch1, Ch2, Fft1, Fft2};
        for (int n = 0; n < 8; ++n)
            accumulated << logicLine(n);
        for (int g = 0; g < plot->graphCount(); ++g) {
            auto *graph = static_cast<PlotGraph *>(plot->graph(g));
            QCOMPARE(graph->accumulated(), accumulated.contains(g));
            if (accumulated.contains(g))
                QCOMPARE(graph->dataCount(), 128);
        }
        // What was drawn is in the image, in the traces' colours.
        QVERIFY(countColour(plot->accumulationImage(), isDarkCh1) > 100);
        QVERIFY(countColour(plot->accumulationImage(), isRed) > 100);

        child<QCheckBox>("checkBoxPersistence")->setChecked(false);
        QVERIFY(waitForReplots(1));
        QVERIFY(!plot->persistenceMode);
        QVERIFY(plot->accumulationEmpty());
        QCOMPARE(plot->accumulationBytes(), qint64(0));
        for (int g : accumulated)
            QVERIFY(!static_cast<PlotGraph *>(plot->graph(g))->accumulated());
        QCOMPARE(plot->graph(Ch1)->dataCount(), 128);
        QCOMPARE(plot->graph(Ch2)->dataCount(), 128);
    }

    // The accumulation keeps what was drawn until something moves the picture:
    // CH1 is switched off while persistence is on, so its pixels stay in the
    // image only until it starts again.
    void persistenceStartsAgain_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("time base") << "time base";
        QTest::newRow("theme") << "theme";
        QTest::newRow("plot size") << "plot size";
        QTest::newRow("horizontal drag") << "drag";
        QTest::newRow("XY mode") << "xy";
        QTest::newRow("persistence off") << "persistence off";
    }
    void persistenceStartsAgain()
    {
        QFETCH(QString, change);
        QVERIFY(startStreaming());
        child<QCheckBox>("checkBoxPersistence")->setChecked(true);
        QVERIFY(f.waitForFrames(3));
        child<QCheckBox>("checkBoxCH1Trace")->setChecked(false);
        QVERIFY(f.waitForFrames(3));
        QVERIFY(waitForReplots(1));
        QVERIFY(countColour(plot->accumulationImage(), isDarkCh1) > 100);

        if (change == "time base") {
            child<QSlider>("samplingSlider")->setValue(11);
        } else if (change == "theme") {
            auto *theme = child<QComboBox>("comboBoxTheme");
            theme->setCurrentIndex(1);
            emit theme->activated(1);
        } else if (change == "plot size") {
            const QSize before = plot->size();
            f.get()->resize(f.get()->size() + QSize(60, 40));
            QTRY_VERIFY(plot->size() != before);
        } else if (change == "drag") {
            plot->xAxis->setRange(plot->xAxis->range().lower + 8, plot->xAxis->range().upper + 8);
            QVERIFY(plot->accumulationEmpty());
        } else if (change == "xy") {
            child<QCheckBox>("xyMode")->setChecked(true);
        } else {
            child<QCheckBox>("checkBoxPersistence")->setChecked(false);
        }
        QVERIFY(f.waitForFrames(2));
        QVERIFY(waitForReplots(1));
        QCOMPARE(countColour(plot->accumulationImage(), isDarkCh1), 0);
    }

    // However long persistence runs, the plot holds one frame of points and
    // the accumulation one image of the plot's size.
    void persistenceStaysBoundedOver2000Frames()
    {
        QVERIFY(startStreaming());
        for (const char *name :
             {"checkBoxCHDTrace", "checkBoxFFTCH2", "checkBoxFFTTrace", "checkBoxPersistence"})
            child<QCheckBox>(name)->setChecked(true);
        child<QSlider>("samplingSlider")->setValue(2); // a sweep short enough for 1000 frames a second
        quorvelsim::setFrameRate(1000);                // more frames than the window takes
        QVERIFY(f.waitForFrames(2));

        // The window draws each frame it takes as it arrives.
        auto drawFrames = [&](int n) {
            const quint64 target = f.framesProcessed() + quint64(n);
            return QTest::qWaitFor([&] { return f.framesProcessed() >= target; }, 60000);
        };
        auto points = [&] {
            int total = 0;
            for (int g = 0; g < plot->graphCount(); ++g)
                total += plot->graph(g)->dataCount();
            return total;
        };

        QVERIFY(drawFrames(200));
        const qint64 bytes = plot->accumulationBytes();
        const int held = points();
        QCOMPARE(bytes, qint64(plot->viewport().width()) * plot->viewport().height() * 4);
        QVERIFY(held <= 40 * 256);

        QVERIFY(drawFrames(1800));
        QCOMPARE(plot->accumulationBytes(), bytes);
        QCOMPARE(points(), held);
        QVERIFY(countColour(plot->accumulationImage(), isDarkCh1) > 100);

        child<QCheckBox>("checkBoxPersistence")->setChecked(false);
        QVERIFY(drawFrames(1));
        QVERIFY(plot->accumulationEmpty());
        QCOMPARE(plot->accumulationBytes(), qint64(0));
    }

    void decayHistoryFillsItsGraphs()
    {
        QVERIFY(startStreaming());
        child<QSlider>("decaySlider")->setValue(3);
        QVERIFY(waitForReplots(5));
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(plot->graph(persistCh1(k))->dataCount(), 128);
            QCOMPARE(plot->graph(persistCh2(k))->dataCount(), 128);
        }
        for (int k = 3; k < 9; ++k)
            QCOMPARE(plot->graph(persistCh1(k))->dataCount(), 0);
        // The newest history entry is the frame on screen.
        QCOMPARE(valuesOf(plot->graph(persistCh1(2))), valuesOf(plot->graph(Ch1)));
    }

    void spectrumIsFiniteAndFollowsTheChannels()
    {
        QVERIFY(startStreaming());
        child<QCheckBox>("checkBoxFFTCH2")->setChecked(true);
        child<QCheckBox>("checkBoxLogY")->setChecked(true);
        child<QCheckBox>("checkBoxFFTTrace")->setChecked(true);
        QVERIFY(waitForReplots(2));
        for (int g : {Fft1, Fft2}) {
            QCOMPARE(plot->graph(g)->dataCount(), 128);
            const QVector<double> keys = keysOf(plot->graph(g));
            QCOMPARE(keys.last(), 254.0);
            for (double v : valuesOf(plot->graph(g)))
                QVERIFY(std::isfinite(v));
        }

        child<QCheckBox>("checkBoxFFTCH2")->setChecked(false);
        QVERIFY(waitForReplots(2));
        QCOMPARE(plot->graph(Fft2)->dataCount(), 0);

        child<QCheckBox>("xyMode")->setChecked(true);
        QVERIFY(waitForReplots(2));
        // XY: the spectrum is not computed, and XY shows only its curve.
        QCOMPARE(plot->graph(Fft1)->dataCount(), 0);
        QCOMPARE(plot->graph(Ch2)->dataCount(), 0);
    }

    void themeSwitchRecoloursAndResetsTheDimming()
    {
        startWindow();
        auto *theme = child<QComboBox>("comboBoxTheme");
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor(75, 229, 28));
        QCOMPARE(backgroundOf(plot), QColor(Qt::black));
        QCOMPARE(child<QLabel>("ch1ColorLabel")->styleSheet(),
                 QStringLiteral("QLabel { background-color : #4be51c; }"));

        child<QSlider>("intensitySlider")->setValue(5);
        const double dimmed = plot->graph(persistCh1(4))->pen().color().lightnessF();
        QVERIFY2(std::fabs(dimmed - 0.277) < 0.002, qPrintable(QString::number(dimmed)));

        theme->setCurrentIndex(1);
        emit theme->activated(1);
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor("#2a50fd"));
        QCOMPARE(plot->graph(Ch2)->pen().color(), QColor(Qt::red));
        QCOMPARE(plot->graph(logicLine(2))->pen().color(), QColor(44, 2, 245));
        QCOMPARE(backgroundOf(plot), QColor(Qt::white));
        QCOMPARE(plot->xAxis->basePen().color(), QColor(Qt::black));
        // The Light grid colour, in the style of the grid mode shown ("Full").
        QCOMPARE(plot->yAxis->grid()->pen().color(), QColor("#C8C8C8"));
        QCOMPARE(plot->yAxis->grid()->pen().style(), Qt::SolidLine);
        QCOMPARE(child<QLabel>("ch1ColorLabel")->styleSheet(),
                 QStringLiteral("QLabel { background-color : #2a50fd; }"));
        QCOMPARE(child<QLabel>("ch2ColorLabel")->styleSheet(),
                 QStringLiteral("QLabel { background-color : #ff0000; }"));
        // Intensity 0 again (mirrored for Light), while the slider still shows 5.
        QCOMPARE(child<QSlider>("intensitySlider")->value(), 5);
        const double l = QColor("#2a50fd").lightnessF();
        QVERIFY(std::fabs(plot->graph(persistCh1(4))->pen().color().lightnessF() - (1.0 - l)) < 0.002);
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *text = qobject_cast<QCPItemText *>(plot->item(i)))
                if (!text->text().startsWith(QLatin1String("Bit")) && !text->objectName().startsWith("fft") &&
                    text->objectName() != QLatin1String("triggerLevelText")) // in its source's colour
                    QCOMPARE(text->color(), QColor(Qt::red));

        theme->setCurrentIndex(0);
        emit theme->activated(0);
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor(75, 229, 28));
        QCOMPARE(plot->graph(Ch1)->pen().widthF(), 2.0);
        QCOMPARE(backgroundOf(plot), QColor(Qt::black));

        // "Custom" leaves the plot alone until the theme dialog applies colours.
        theme->setCurrentIndex(2);
        emit theme->activated(2);
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor(75, 229, 28));
    }

    void customColoursReachEveryElement()
    {
        f.startWithoutInstrument();
        plot = f.plot();
        CustomColors colors = CustomColors::defaults();
        colors.setColor(QStringLiteral("CH1"), Qt::cyan);
        colors.setColor(QStringLiteral("BIT 3 REF"), Qt::yellow);
        colors.setColor(QStringLiteral("GRID"), QColor(10, 200, 10));
        colors.setColor(QStringLiteral("AXES"), Qt::magenta);
        colors.setColor(QStringLiteral("LABELS"), QColor(1, 2, 3));
        colors.setColor(QStringLiteral("BACKGROUND"), QColor(20, 20, 60));
        // The custom theme dialog's Apply.
        CustomTheme *dialog = f.get()->findChild<CustomTheme *>();
        QVERIFY(dialog);
        emit dialog->applyCustomTheme(2, &colors);
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor(Qt::cyan));
        QCOMPARE(plot->graph(persistCh1(0))->pen().color().hslHue(), QColor(Qt::cyan).hslHue());
        QCOMPARE(plot->graph(refLogicLine(3))->pen().color(), QColor(Qt::yellow));
        QCOMPARE(plot->graph(refLogicLine(2))->pen().color(), QColor(Qt::blue));
        QCOMPARE(plot->graph(logicLine(3))->pen().color(), QColor(225, 34, 4));
        QCOMPARE(plot->xAxis->grid()->pen().color(), QColor(10, 200, 10));
        // The grid mode shown ("Full") decides the style.
        QCOMPARE(plot->xAxis->grid()->pen().style(), Qt::SolidLine);
        QCOMPARE(plot->yAxis2->basePen().color(), QColor(Qt::magenta));
        QCOMPARE(plot->xAxis->tickPen().color(), QColor(Qt::magenta));
        QCOMPARE(backgroundOf(plot), QColor(20, 20, 60));
        QCOMPARE(child<QLabel>("ch1ColorLabel")->styleSheet(),
                 QStringLiteral("QLabel { background-color : #00ffff; }"));
        int readOuts = 0;
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *text = qobject_cast<QCPItemText *>(plot->item(i));
                text && !text->text().startsWith("Bit") && !text->objectName().startsWith("fft") &&
                text->objectName() != QLatin1String("triggerLevelText")) {
                QCOMPARE(text->color(), QColor(1, 2, 3));
                ++readOuts;
            }
        QCOMPARE(readOuts, 6); // the five cursor read-outs and the state
        // The Custom grid colour also feeds the grid modes.
        child<QComboBox>("comboBoxTheme")->setCurrentIndex(2);
        child<QComboBox>("comboBoxGrid")->setCurrentIndex(2);
        QCOMPARE(plot->yAxis->grid()->pen().style(), Qt::SolidLine);
        QCOMPARE(plot->yAxis->grid()->pen().color(), QColor(10, 200, 10));
    }

    void gridModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("style");
        QTest::newRow("No Grid") << 0 << int(Qt::NoPen);
        QTest::newRow("Dots") << 1 << int(Qt::DotLine);
        QTest::newRow("Lines") << 2 << int(Qt::SolidLine);
    }
    void gridModes()
    {
        QFETCH(int, mode);
        QFETCH(int, style);
        f.startWithoutInstrument();
        plot = f.plot();
        child<QComboBox>("comboBoxGrid")->setCurrentIndex(mode);
        QCOMPARE(int(plot->xAxis->grid()->pen().style()), style);
        QCOMPARE(int(plot->yAxis->grid()->pen().style()), style);
        // The axes box stays.
        QVERIFY(plot->xAxis2->visible());
        QCOMPARE(plot->xAxis->basePen().color(), QColor(Qt::white));
    }

    void doubleClickRenamesTextItemsOnly()
    {
        QVERIFY(startStreaming());
        QCPItemText *bit2 = nullptr;
        QCPItemPixmap *marker = nullptr;
        for (int i = 0; i < plot->itemCount(); ++i) {
            if (auto *text = qobject_cast<QCPItemText *>(plot->item(i)); text && text->text() == "Bit 2")
                bit2 = text;
            if (!marker)
                marker = qobject_cast<QCPItemPixmap *>(plot->item(i));
        }
        QVERIFY(bit2 && marker);

        f.closer.inputReply = QStringLiteral("CLK");

        QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        emit plot->itemDoubleClick(marker, &click);
        QCOMPARE(f.closer.inputsSeen.size(), 0);

        emit plot->itemDoubleClick(bit2, &click);
        QCOMPARE(f.closer.inputsSeen, QStringList{QStringLiteral("Bit 2")});
        QCOMPARE(bit2->text(), QStringLiteral("CLK"));
        QVERIFY(waitForReplots(3));
        QCOMPARE(bit2->text(), QStringLiteral("CLK"));
    }

    void nothingNewMeansNoReplot()
    {
        QVERIFY(startStreaming());
        quorvelsim::setFrameRate(20);
        QVERIFY(waitForReplots(2));
        const quint64 framesBefore = quorvelsim::framesDelivered();
        QSignalSpy replots(plot, &QCustomPlot::afterReplot);
        // The plot timer ticks about every 4 ms; only frames may cause a replot.
        QTRY_VERIFY_WITH_TIMEOUT(quorvelsim::framesDelivered() >= framesBefore + 10, 10000);
        const quint64 frames = quorvelsim::framesDelivered() - framesBefore;
        QVERIFY2(quint64(replots.count()) <= frames + 1,
                 qPrintable(QStringLiteral("%1 replots for %2 frames").arg(replots.count()).arg(frames)));
        QVERIFY(replots.count() >= 5);
    }
};

QUORVEL_TEST_MAIN(TestPlotWindow)
#include "test_plot_window.moc"
