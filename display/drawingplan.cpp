#include "drawingplan.h"

#include <algorithm>

namespace drawing {

namespace {

void reset(GraphUpdate &update)
{
    update.action = Action::Keep;
    update.keys.resize(0);
    update.values.resize(0);
}

void clear(GraphUpdate &update)
{
    update.action = Action::Clear;
    update.keys.resize(0);
    update.values.resize(0);
}

// Keys and values of one point count: a history or reference taken at another
// time base has another length than this frame's keys.
void fill(GraphUpdate &update, Action action, const QVector<double> &keys, const QVector<double> &values)
{
    update.action = action;
    const int n = std::min(keys.size(), values.size());
    update.keys = n == keys.size() ? keys : keys.mid(0, n);
    update.values = n == values.size() ? values : values.mid(0, n);
}

// A trace with its decay history: accumulate with persistence, otherwise
// replace, and show as many history frames as the depth allows.
void planChannel(GraphUpdate &trace, GraphUpdate *persist, const QVector<double> &keys,
                 const QVector<double> &values, const DecayHistory &history, const Options &options)
{
    if (options.persistence) {
        fill(trace, Action::Add, keys, values);
        return;
    }
    fill(trace, Action::Set, keys, values);
    const int shown = history.shownCount(options.decay);
    for (int k = 0; k < shown; ++k)
        fill(persist[k], Action::Set, keys, history.at(k));
}

} // namespace

void References::capture(const frame::Traces &traces)
{
    ch1 = traces.ch1;
    ch2 = traces.ch2;
    for (int n = 0; n < frame::LogicLines; ++n)
        logic[n] = traces.logic[n];
}

QVector<double> offsetValues(const QVector<double> &values, double offset)
{
    QVector<double> shifted;
    shifted.reserve(values.size());
    for (double v : values)
        shifted.append(v + offset);
    return shifted;
}

void plan(const frame::Traces &traces, const Options &options, const DecayHistory &ch1History,
          const DecayHistory &ch2History, const References &references,
          const spectrum::Result *spectrumResult, Plan &out)
{
    reset(out.ch1);
    reset(out.refCh1);
    reset(out.ch2);
    reset(out.refCh2);
    for (int k = 0; k < DecayHistory::GraphCount; ++k) {
        reset(out.ch1Persist[k]);
        reset(out.ch2Persist[k]);
    }
    for (int n = 0; n < frame::LogicLines; ++n) {
        reset(out.logic[n]);
        reset(out.refLogic[n]);
        out.bitLabelVisible[n] = false;
    }
    reset(out.fft1);
    reset(out.fft2);
    out.rescaleCh1ValueAxis = false;

    // The history update empties the graphs beyond the kept depth.
    for (int k = DecayHistory::firstClearedGraph(options.decay);
         k <= DecayHistory::lastClearedGraph(options.decay); ++k) {
        clear(out.ch1Persist[k]);
        clear(out.ch2Persist[k]);
    }

    if (options.xyMode) {
        // XY shows the one curve only: no time trace, reference, logic line
        // or spectrum stays from before.
        clear(out.ch1);
        clear(out.ch2);
        clear(out.refCh1);
        clear(out.refCh2);
        for (int k = 0; k < DecayHistory::GraphCount; ++k) {
            clear(out.ch1Persist[k]);
            clear(out.ch2Persist[k]);
        }
        for (int n = 0; n < frame::LogicLines; ++n) {
            clear(out.logic[n]);
            clear(out.refLogic[n]);
        }
        clear(out.fft1);
        clear(out.fft2);
        fill(out.ch1, Action::Set, traces.xyKeys, traces.ch2);
        out.rescaleCh1ValueAxis = true;
        return;
    }

    const bool p = options.persistence;
    const QVector<double> &keys = traces.keys;

    if (!p) {
        clear(out.ch1);
        for (auto &g : out.ch1Persist)
            clear(g);
    }
    if (options.ch1Trace)
        planChannel(out.ch1, out.ch1Persist, keys, traces.ch1, ch1History, options);
    if (options.refCh1)
        fill(out.refCh1, Action::Set, keys, offsetValues(references.ch1, options.ch1CaptureOffset));
    else
        clear(out.refCh1);

    if (!p) {
        clear(out.ch2);
        for (auto &g : out.ch2Persist)
            clear(g);
    }
    if (options.ch2Trace && options.samplingValue > frame::FastestTimeBase)
        planChannel(out.ch2, out.ch2Persist, keys, traces.ch2, ch2History, options);
    if (options.refCh2)
        fill(out.refCh2, Action::Set, keys, offsetValues(references.ch2, options.ch2CaptureOffset));
    else
        clear(out.refCh2);

    for (int n = 0; n < frame::LogicLines; ++n) {
        if (!p)
            clear(out.logic[n]);
        if (options.chdTrace && options.chdBitEnabled[n]) {
            fill(out.logic[n], p ? Action::Add : Action::Set, keys, traces.logic[n]);
            out.bitLabelVisible[n] = true;
        }
        if (options.refLogic && options.chdBitEnabled[n]) {
            fill(out.refLogic[n], Action::Set, keys,
                 offsetValues(references.logic[n], options.chdCaptureOffset));
            out.bitLabelVisible[n] = true;
        } else {
            clear(out.refLogic[n]);
        }
    }

    if (!p) {
        clear(out.fft1);
        clear(out.fft2);
    }
    if (options.fftTrace && spectrumResult) {
        const QVector<double> fftKeys = keys.mid(0, spectrum::OutputPoints);
        const auto shifted = [&options](const QVector<double> &values) {
            return options.fftPosition ? offsetValues(values, options.fftPosition) : values;
        };
        if (spectrumResult->hasFirst)
            fill(out.fft1, p ? Action::Add : Action::Set, fftKeys, shifted(spectrumResult->values1));
        if (spectrumResult->hasSecond)
            fill(out.fft2, p ? Action::Add : Action::Set, fftKeys, shifted(spectrumResult->values2));
    }
}

Plan plan(const frame::Traces &traces, const Options &options, const DecayHistory &ch1History,
          const DecayHistory &ch2History, const References &references,
          const spectrum::Result *spectrumResult)
{
    Plan out;
    plan(traces, options, ch1History, ch2History, references, spectrumResult, out);
    return out;
}

} // namespace drawing
