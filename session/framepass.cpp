#include "session/framepass.h"

#include "session/instrumentstate.h"
#include "display/measurements.h"

#include <algorithm>
#include <iterator>

namespace session {

namespace {
unsigned mix(unsigned h, unsigned value)
{
    return (h ^ value) * 16777619u;
}
constexpr unsigned MixStart = 2166136261u;

void rangeOf(const QVector<double> &values, double &low, double &high)
{
    if (values.isEmpty())
        return;
    const auto [lo, hi] = std::minmax_element(values.constBegin(), values.constEnd());
    low = *lo;
    high = *hi;
}

frame::CursorChannel cursorChannel(reg::HorizontalCursors cursors)
{
    switch (cursors) {
    case reg::Ch1Cursors:
        return frame::CursorChannel::Ch1;
    case reg::Ch2Cursors:
        return frame::CursorChannel::Ch2;
    case reg::NoHorizontalCursors:
        break;
    }
    return frame::CursorChannel::None;
}
} // namespace

void ViewOptions::follow(const InstrumentState &state)
{
    ch1Trace = state.ch1.trace;
    ch2Trace = state.ch2.trace;
    logicTrace = state.logic.trace;
    std::copy(state.logicLines.begin(), state.logicLines.end(), std::begin(logicLineShown));
    logicPosition = state.logicPosition;
    xyMode = state.spectrum.xy;
    persistence = state.display.persistence;
    fftTrace = state.spectrum.fftTrace;
    fftIq = state.spectrum.iq;
    fftLogY = state.spectrum.logY;
}

frame::TraceInputs traceInputs(const InstrumentState &state, const ViewOptions &view, int plotColumns)
{
    frame::TraceInputs in;
    in.plotColumns = plotColumns;
    in.samplingValue = state.timeBase;
    in.rollMode = state.cursors.roll;
    in.scrollValue = state.hpos;
    in.ch1Position = state.ch1Position;
    in.ch2Position = state.ch2Position;
    in.chdPosition = view.logicPosition;
    in.chdSize = view.logicSize;
    in.cursorChannel = cursorChannel(state.cursors.horizontal);
    return in;
}

drawing::Options drawingOptions(const InstrumentState &state, const ViewOptions &view)
{
    drawing::Options o;
    o.xyMode = view.xyMode;
    o.persistence = view.persistence;
    o.ch1Trace = view.ch1Trace;
    o.ch2Trace = view.ch2Trace;
    o.chdTrace = view.logicTrace;
    o.refCh1 = view.refCh1;
    o.refCh2 = view.refCh2;
    o.refLogic = view.refLogic;
    o.fftTrace = view.fftTrace;
    std::copy(std::begin(view.logicLineShown), std::end(view.logicLineShown), o.chdBitEnabled);
    o.samplingValue = state.timeBase;
    o.decay = view.decay;
    o.ch1CaptureOffset = view.ch1CaptureOffset;
    o.ch2CaptureOffset = view.ch2CaptureOffset;
    o.chdCaptureOffset = view.logicCaptureOffset;
    o.fftPosition = view.fftPosition;
    return o;
}

spectrum::Options spectrumOptions(const InstrumentState &state, const ViewOptions &view)
{
    spectrum::Options o;
    o.iq = view.fftIq;
    o.ch1 = view.fftCh1;
    o.ch2 = view.fftCh2;
    o.logY = view.fftLogY;
    o.firstBin = state.hpos;
    return o;
}

TraceAverager::Conditions averageConditions(const InstrumentState &state, const ViewOptions &view,
                                            unsigned triggerMarks)
{
    TraceAverager::Conditions c;
    c.timeBase = state.timeBase;
    c.ch1Gain = state.gain1;
    c.ch2Gain = state.gain2;
    c.ch1Position = state.ch1Position;
    c.ch2Position = state.ch2Position;
    c.scroll = state.hpos;
    c.rollMode = state.cursors.roll;
    unsigned t = MixStart;
    for (unsigned v : {unsigned(state.trigger.mode), unsigned(state.trigger.type), unsigned(state.trigger.circular),
                       unsigned(state.triggerSource), triggerMarks})
        t = mix(t, v);
    c.trigger = t;
    unsigned m = MixStart;
    for (bool v : {view.xyMode, state.ch1.invert, state.ch2.invert, state.ch1.math, state.ch2.math,
                   state.ch1.subtract, state.ch2.subtract, state.ch1.average, state.ch2.average})
        m = mix(m, v);
    c.mode = m;
    return c;
}

FrameData &FramePass::take(const unsigned char *frameData, const InstrumentState &state, const ViewOptions &view,
                           int plotColumns, unsigned triggerMarks)
{
    FrameData &d = current;
    d.inputs = traceInputs(state, view, plotColumns);
    d.options = drawingOptions(state, view);
    frame::Traces &t = d.traces;
    frame::buildTraces(frameData, d.inputs, t);

    averager.apply(t.ch1, t.ch2, averageConditions(state, view, triggerMarks),
                   TraceAverager::depthOfIndex(view.averageIndex));
    if (averager.count() >= 2) {
        // The extremes follow the averaged traces.
        rangeOf(t.ch1, t.ch1Min, t.ch1Max);
        rangeOf(t.ch2, t.ch2Min, t.ch2Max);
        if (d.inputs.cursorChannel == frame::CursorChannel::Ch1)
            rangeOf(t.ch1, t.cursorMin, t.cursorMax);
        else if (d.inputs.cursorChannel == frame::CursorChannel::Ch2)
            rangeOf(t.ch2, t.cursorMin, t.cursorMax);
    }
    ch1History.update(t.ch1, view.decay);
    ch2History.update(t.ch2, view.decay);

    d.hasSpectrum = d.options.fftTrace && !d.options.xyMode;
    if (d.hasSpectrum)
        spectrum::compute(frameData, window, spectrumOptions(state, view), d.spectrum);
    return d;
}

void FramePass::plan(const drawing::References &references, drawing::Plan &out) const
{
    drawing::plan(current.traces, current.options, ch1History, ch2History, references, current.spectrumPoints(),
                  out);
}

void FramePass::setFftWindow(int table)
{
    spectrum::fillWindow(table, window);
}

measure::Result FramePass::channelMeasurement(int channel, const InstrumentState &state) const
{
    const bool first = channel == 1;
    const measure::Scale scale = measure::channelScale(first ? state.ch1Position : state.ch2Position,
                                                       first ? state.gain1 : state.gain2, state.timeBase);
    return measure::trace(first ? current.traces.ch1 : current.traces.ch2, scale);
}

measure::Texts FramePass::channelTexts(int channel, const InstrumentState &state, const ViewOptions &view) const
{
    const bool traceOn = channel == 1 ? view.ch1Trace : view.ch2Trace;
    if (!measure::channelShown(channel, traceOn, view.xyMode, state.timeBase))
        return measure::noValueTexts();
    return measure::texts(channelMeasurement(channel, state));
}

} // namespace session
