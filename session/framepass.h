#pragma once

#include "display/averager.h"
#include "display/decayhistory.h"
#include "display/drawingplan.h"
#include "display/spectrum.h"
#include "display/traces.h"
#include "session/viewoptions.h"

// The data side of one plotted frame: the frame's samples become traces,
// averaged, with their decay history and spectrum, as the instrument's state
// and the view options ask. The window draws what it hands out.
namespace measure {
struct Result;
struct Texts;
} // namespace measure

namespace session {

struct InstrumentState;

// One frame as the window draws it.
struct FrameData
{
    frame::TraceInputs inputs; // what the traces were built with
    drawing::Options options;  // how they are drawn
    frame::Traces traces;      // averaged; extremes of the averaged values
    bool hasSpectrum = false;  // the spectrum is shown (FFT on, not XY)
    spectrum::Result spectrum;
    const spectrum::Result *spectrumPoints() const { return hasSpectrum ? &spectrum : nullptr; }
};

// What the state and the view options ask of a frame, in the terms of the
// steps that build and draw it.
frame::TraceInputs traceInputs(const InstrumentState &state, const ViewOptions &view, int plotColumns);
drawing::Options drawingOptions(const InstrumentState &state, const ViewOptions &view);
spectrum::Options spectrumOptions(const InstrumentState &state, const ViewOptions &view);
// What averaged frames must have in common; `triggerMarks` packs the trigger
// markers' level and position as the plot shows them (they move before the
// instrument is written).
TraceAverager::Conditions averageConditions(const InstrumentState &state, const ViewOptions &view,
                                            unsigned triggerMarks);

class FramePass
{
public:
    // Builds the traces of `frameData` (frame::Size bytes at least): decoded
    // at the plot's columns, averaged, the extremes of what is shown, the
    // decay history, and the spectrum when it is shown. The result stays
    // until the next take; its traces may be replaced before drawing (a
    // loaded or played-back file).
    FrameData &take(const unsigned char *frameData, const InstrumentState &state, const ViewOptions &view,
                    int plotColumns, unsigned triggerMarks = 0);
    FrameData &data() { return current; }
    const FrameData &data() const { return current; }

    // The drawing plan of the frame taken, with the captured references.
    void plan(const drawing::References &references, drawing::Plan &out) const;

    // The spectrum's window (spectrum::Rectangular, Hamming, Hann, Blackman).
    void setFftWindow(int window);
    // Frames in the mean of the last take (1: not averaged).
    int averagedFrames() const { return averager.count(); }

    // Channel 1 or 2's read-outs of the traces as they are now: "----" when
    // the channel is not on screen.
    measure::Texts channelTexts(int channel, const InstrumentState &state, const ViewOptions &view) const;
    // Channel 1 or 2's trace measured at the state's scale.
    measure::Result channelMeasurement(int channel, const InstrumentState &state) const;

private:
    FrameData current;
    TraceAverager averager;
    DecayHistory ch1History, ch2History;
    spectrum::WindowTable window = spectrum::makeWindow(spectrum::Rectangular);
};

} // namespace session
