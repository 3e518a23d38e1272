#pragma once

#include "decayhistory.h"
#include "spectrum.h"
#include "traces.h"

#include <QVector>

// What one plotted frame does to every graph of the scene. The window applies
// the plan to its graphs; deciding it needs no widget.
namespace drawing {

enum class Action {
    Keep,  // leave the graph's data as it is
    Clear, // remove all points
    Set,   // replace the data by keys/values
    Add    // add keys/values to the data already there (persistence)
};

struct GraphUpdate
{
    Action action = Action::Keep;
    QVector<double> keys;
    QVector<double> values;
};

struct Options
{
    bool xyMode = false;
    bool persistence = false;
    bool ch1Trace = true;
    bool ch2Trace = true;
    bool chdTrace = false;
    bool refCh1 = false;
    bool refCh2 = false;
    bool refLogic = false;
    bool fftTrace = false;
    bool chdBitEnabled[frame::LogicLines] = {};
    int samplingValue = 10;
    int decay = 0;
    int ch1CaptureOffset = 0;
    int ch2CaptureOffset = 0;
    int chdCaptureOffset = 0;
    int fftPosition = 0; // plot units added to the spectrum's values
};

// Captured traces, in plot units without the capture offset.
struct References
{
    QVector<double> ch1;
    QVector<double> ch2;
    QVector<double> logic[frame::LogicLines];

    void capture(const frame::Traces &traces);
};

struct Plan
{
    GraphUpdate ch1, refCh1, ch2, refCh2;
    GraphUpdate ch1Persist[DecayHistory::GraphCount];
    GraphUpdate ch2Persist[DecayHistory::GraphCount];
    GraphUpdate logic[frame::LogicLines];
    GraphUpdate refLogic[frame::LogicLines];
    GraphUpdate fft1, fft2;
    bool bitLabelVisible[frame::LogicLines] = {};
    bool rescaleCh1ValueAxis = false; // XY: enlarge the value axis to the trace
};

// reference + offset for every point.
QVector<double> offsetValues(const QVector<double> &values, double offset);

// The histories must already hold this frame (DecayHistory::update).
// spectrumResult is read only with the FFT trace on and XY off; it may be
// null otherwise.
void plan(const frame::Traces &traces, const Options &options, const DecayHistory &ch1History,
          const DecayHistory &ch2History, const References &references,
          const spectrum::Result *spectrumResult, Plan &out);
Plan plan(const frame::Traces &traces, const Options &options, const DecayHistory &ch1History,
          const DecayHistory &ch2History, const References &references,
          const spectrum::Result *spectrumResult);

} // namespace drawing
