#include "display/measurements.h"
#include "session/framepass.h"
#include "session/instrumentstate.h"
#include "settings/registers.h"

#include "quorveltest.h"

#include <array>
#include <functional>

using session::FramePass;
using session::InstrumentState;
using session::ViewOptions;

namespace {

using Frame = std::array<unsigned char, frame::Size>;

// CH1 rises 0..255, CH2 falls, the logic byte counts; the roll index is `roll`.
Frame ramp(unsigned char roll = 0)
{
    Frame f{};
    for (int i = 0; i < frame::SamplesPerChannel; ++i) {
        f[size_t(frame::Ch1Offset + i)] = quint8(i);
        f[size_t(frame::Ch2Offset + i)] = quint8(255 - i);
        f[size_t(frame::LogicOffset + i)] = quint8(i);
    }
    f[frame::RollIndexOffset] = roll;
    return f;
}

// Both channels hold one sample throughout.
Frame flat(unsigned char ch1, unsigned char ch2)
{
    Frame f{};
    for (int i = 0; i < frame::SamplesPerChannel; ++i) {
        f[size_t(frame::Ch1Offset + i)] = ch1;
        f[size_t(frame::Ch2Offset + i)] = ch2;
    }
    return f;
}

InstrumentState scopeState()
{
    InstrumentState s;
    s.timeBase = 5;
    s.hpos = 0;
    s.gain1 = s.gain2 = 3;
    s.ch1.trace = s.ch2.trace = true;
    return s;
}

// A change between two frames.
using Change = std::function<void(InstrumentState &, ViewOptions &, unsigned &marks)>;

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(frame::CursorChannel)

class TestFramePass : public QObject
{
    Q_OBJECT

private slots:
    // Which samples land in which columns, and where, comes from the state
    // (time base, scroll, roll mode, positions, cursor channel) and the view
    // (logic position and size), whatever the defaults say.
    void tracesFollowTheStateAndView_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<bool>("roll");
        QTest::addColumn<int>("hpos");
        QTest::addColumn<int>("ch1Position");
        QTest::addColumn<int>("cursors");
        QTest::addColumn<int>("firstSample");
        QTest::addColumn<double>("columnStep");
        QTest::addColumn<double>("ch1First");
        QTest::addColumn<frame::CursorChannel>("cursorChannel");

        // Half-record time bases: two columns a sample from the scroll position.
        QTest::newRow("fast, scrolled") << 5 << false << 40 << 0 << int(reg::NoHorizontalCursors) << 40 << 2.0
                                        << 2.0 * (255 - 40) << frame::CursorChannel::None;
        // Whole-record ones: from the first sample, or the roll index in roll mode.
        QTest::newRow("slow") << 15 << false << 40 << 0 << int(reg::Ch1Cursors) << 0 << 1.0 << 2.0 * 255
                              << frame::CursorChannel::Ch1;
        QTest::newRow("slow, rolling") << 15 << true << 40 << 0 << int(reg::Ch2Cursors) << 100 << 1.0
                                       << 2.0 * (255 - 100) << frame::CursorChannel::Ch2;
        QTest::newRow("moved down") << 15 << false << 0 << -50 << int(reg::NoHorizontalCursors) << 0 << 1.0
                                    << -50 + 2.0 * 255 << frame::CursorChannel::None;
    }
    void tracesFollowTheStateAndView()
    {
        QFETCH(int, timeBase);
        QFETCH(bool, roll);
        QFETCH(int, hpos);
        QFETCH(int, ch1Position);
        QFETCH(int, cursors);
        QFETCH(int, firstSample);
        QFETCH(double, columnStep);
        QFETCH(double, ch1First);
        QFETCH(frame::CursorChannel, cursorChannel);

        InstrumentState state = scopeState();
        state.timeBase = timeBase;
        state.cursors.roll = roll;
        state.cursors.horizontal = reg::HorizontalCursors(cursors);
        state.hpos = hpos;
        state.ch1Position = ch1Position;
        ViewOptions view;
        view.logicPosition = 5;
        view.logicSize = 20;

        FramePass pass;
        const Frame f = ramp(100);
        const session::FrameData &d = pass.take(f.data(), state, view, 256);
        QCOMPARE(d.inputs.cursorChannel, cursorChannel);
        QCOMPARE(d.traces.sampleIndex.value(0), firstSample);
        QCOMPARE(d.traces.keys.value(1) - d.traces.keys.value(0), columnStep);
        QCOMPARE(d.traces.ch1.value(0), ch1First);
        QCOMPARE(d.traces.bitLabelY[0], frame::bitLabelY(0, 5, 20));
        QCOMPARE(d.options.samplingValue, timeBase);
        switch (cursorChannel) {
        case frame::CursorChannel::None:
            QCOMPARE(d.traces.cursorMin, 0.0);
            QCOMPARE(d.traces.cursorMax, 0.0);
            break;
        case frame::CursorChannel::Ch1:
            QCOMPARE(d.traces.cursorMax, d.traces.ch1Max);
            break;
        case frame::CursorChannel::Ch2:
            QCOMPARE(d.traces.cursorMax, d.traces.ch2Max);
            break;
        }
    }

    // Average of two: a second frame is the mean of both, unless something
    // between them changed what a frame's values mean; the extremes follow
    // the mean.
    void averageStartsAgainOnAChange_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("averaged");

        QTest::newRow("nothing") << Change([](InstrumentState &, ViewOptions &, unsigned &) {}) << true;
        QTest::newRow("a trace shown") << Change([](InstrumentState &, ViewOptions &v, unsigned &) { v.refCh1 = true; })
                                       << true;
        QTest::newRow("gain") << Change([](InstrumentState &s, ViewOptions &, unsigned &) { s.gain1 = 4; }) << false;
        QTest::newRow("CH2 position")
            << Change([](InstrumentState &s, ViewOptions &, unsigned &) { s.ch2Position = 10; }) << false;
        QTest::newRow("time base") << Change([](InstrumentState &s, ViewOptions &, unsigned &) { s.timeBase = 6; })
                                   << false;
        QTest::newRow("trigger mode")
            << Change([](InstrumentState &s, ViewOptions &, unsigned &) { s.trigger.mode = reg::Normal; }) << false;
        QTest::newRow("trigger source")
            << Change([](InstrumentState &s, ViewOptions &, unsigned &) { s.triggerSource = trigger::SourceCh2; })
            << false;
        QTest::newRow("trigger marker moved") << Change([](InstrumentState &, ViewOptions &, unsigned &m) { m = 7; })
                                              << false;
        QTest::newRow("CH1 inverted") << Change([](InstrumentState &s, ViewOptions &, unsigned &) { s.ch1.invert = true; })
                                      << false;
        QTest::newRow("XY") << Change([](InstrumentState &, ViewOptions &v, unsigned &) { v.xyMode = true; }) << false;
        QTest::newRow("Average off") << Change([](InstrumentState &, ViewOptions &v, unsigned &) { v.averageIndex = 0; })
                                     << false;
    }
    void averageStartsAgainOnAChange()
    {
        QFETCH(Change, change);
        QFETCH(bool, averaged);

        InstrumentState state = scopeState();
        ViewOptions view;
        view.averageIndex = 1; // two frames
        unsigned marks = 0;
        FramePass pass;
        const Frame first = flat(100, 50);
        const Frame second = flat(110, 50);
        pass.take(first.data(), state, view, 256, marks);
        change(state, view, marks);
        const session::FrameData &d = pass.take(second.data(), state, view, 256, marks);

        const double own = frame::channelValue(110, state.ch1Position);
        const double mean = (frame::channelValue(100, state.ch1Position) + own) / 2;
        const double expected = averaged ? mean : own;
        QCOMPARE(pass.averagedFrames(), averaged ? 2 : 1);
        QCOMPARE(d.traces.ch1.value(0), expected);
        QCOMPARE(d.traces.ch1Max, expected);
        QCOMPARE(d.traces.ch1Min, expected);
    }

    // The spectrum is computed when it is shown: FFT on and not XY; the IQ
    // spectrum starts at the scroll position.
    void spectrumWhenShown_data()
    {
        QTest::addColumn<bool>("fft");
        QTest::addColumn<bool>("xy");
        QTest::addColumn<bool>("shown");
        QTest::newRow("FFT") << true << false << true;
        QTest::newRow("FFT in XY") << true << true << false;
        QTest::newRow("no FFT") << false << false << false;
    }
    void spectrumWhenShown()
    {
        QFETCH(bool, fft);
        QFETCH(bool, xy);
        QFETCH(bool, shown);
        InstrumentState state = scopeState();
        state.hpos = 40;
        ViewOptions view;
        view.fftTrace = fft;
        view.xyMode = xy;
        view.fftIq = true;
        FramePass pass;
        const Frame f = ramp();
        const session::FrameData &d = pass.take(f.data(), state, view, 256);
        QCOMPARE(d.spectrumPoints() != nullptr, shown);
        if (shown) {
            QVERIFY(d.spectrum.iq);
            QVERIFY(d.spectrum.hasFirst);
            QCOMPARE(d.spectrum.firstBin, 40);
        }
        drawing::Plan plan;
        pass.plan(drawing::References(), plan);
        QCOMPARE(plan.fft1.action != drawing::Action::Keep && !plan.fft1.values.isEmpty(), shown);
    }

    // The boxes read "----" for a channel not on screen; otherwise the trace
    // is measured at the state's position, gain and time base. XY draws both
    // channels as its curve, whatever their Trace boxes say.
    void measurements_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<bool>("traceOn");
        QTest::addColumn<bool>("xy");
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<bool>("measured");
        QTest::newRow("CH1") << 1 << true << false << 5 << true;
        QTest::newRow("CH1 off") << 1 << false << false << 5 << false;
        QTest::newRow("CH1 in XY") << 1 << true << true << 5 << true;
        QTest::newRow("CH1 off in XY") << 1 << false << true << 5 << true;
        QTest::newRow("CH2") << 2 << true << false << 5 << true;
        QTest::newRow("CH2 at the fastest time base") << 2 << true << false << frame::FastestTimeBase << false;
    }
    void measurements()
    {
        QFETCH(int, channel);
        QFETCH(bool, traceOn);
        QFETCH(bool, xy);
        QFETCH(int, timeBase);
        QFETCH(bool, measured);
        InstrumentState state = scopeState();
        state.timeBase = timeBase;
        ViewOptions view;
        (channel == 1 ? view.ch1Trace : view.ch2Trace) = traceOn;
        view.xyMode = xy;
        FramePass pass;
        const Frame f = flat(60, 60);
        pass.take(f.data(), state, view, 256);
        const measure::Texts texts = pass.channelTexts(channel, state, view);
        QCOMPARE(texts.vdc != QLatin1String(measure::NoValue), measured);
    }

    // The zero level follows the state's position, the volts its gain.
    void measuredAtTheStatesScale()
    {
        InstrumentState state = scopeState();
        ViewOptions view;
        FramePass pass;
        // 0 V: the sample at the zero level, wherever the trace is moved.
        const Frame zero = flat(127, 127);
        for (int position : {0, -60, 90}) {
            state.ch1Position = position;
            pass.take(zero.data(), state, view, 256);
            QCOMPARE(pass.channelMeasurement(1, state).vdc, 0.0);
        }
        // 25 samples above it: twice the volts at twice the volts/div.
        const Frame above = flat(102, 102);
        pass.take(above.data(), state, view, 256);
        state.gain1 = 2;
        const double atGain2 = pass.channelMeasurement(1, state).vdc;
        state.gain1 = 3;
        const double atGain3 = pass.channelMeasurement(1, state).vdc;
        QVERIFY(atGain2 > 0);
        QCOMPARE(atGain2 / atGain3, measure::voltsPerDivision(2) / measure::voltsPerDivision(3));
    }

    // A settings read gives the view the options the instrument holds.
    void viewFollowsASettingsRead()
    {
        reg::DeviceSettings block;
        block[reg::Ch1Options] = reg::encodeChannelOptions({false, false, false, false, false});
        block[reg::Ch2Options] = reg::encodeChannelOptions({true, false, false, false, false});
        block[reg::LogicOptions] = reg::encodeLogicOptions({true, reg::NoPull, false, false, false});
        block[reg::LogicMask] = 0x05;
        block[reg::LogicPosition] = reg::encodeLogicPosition(2, 2);
        block[reg::Display] = reg::encodeDisplay({0, false, false, false, true, false, false});
        block[reg::Spectrum] = reg::encodeSpectrum({reg::Hann, true, true, false, true});
        block[reg::Cursors] = reg::encodeCursors({false, false, false, reg::Ch1Cursors, true, false});
        ViewOptions view;
        view.decay = 4; // the window's own: kept
        view.cursorAuto = true; // a read switches the cursors' modes on, never off
        view.follow(InstrumentState::fromBlock(block));
        QCOMPARE(view.ch1Trace, false);
        QCOMPARE(view.ch2Trace, true);
        QCOMPARE(view.logicTrace, true);
        const bool lines[frame::LogicLines] = {true, false, true, false, false, false, false, false};
        for (int n = 0; n < frame::LogicLines; ++n)
            QCOMPARE(view.logicLineShown[n], lines[n]);
        QCOMPARE(view.logicPosition, 2);
        QCOMPARE(view.persistence, true);
        QCOMPARE(view.xyMode, false);
        QCOMPARE(view.fftTrace, true);
        QCOMPARE(view.fftIq, true);
        QCOMPARE(view.fftLogY, true);
        QCOMPARE(view.decay, 4);
        QCOMPARE(view.cursorVertical, true);
        QCOMPARE(view.cursorAuto, true);
        QCOMPARE(view.cursorTrack, false);
    }
};

QUORVEL_CORE_TEST_MAIN(TestFramePass)
#include "test_framepass.moc"
