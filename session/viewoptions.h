#pragma once

#include "display/traces.h"

namespace session {

struct InstrumentState;

// What the window shows of a frame beyond the instrument's settings: which
// traces, references and spectra, and how they are drawn. A plain value the
// window keeps current from its controls' change signals; the frame pass
// reads only this and the instrument's state.
struct ViewOptions
{
    // Traces and references shown.
    bool ch1Trace = true, ch2Trace = true, logicTrace = false;
    bool refCh1 = false, refCh2 = false, refLogic = false;
    bool logicLineShown[frame::LogicLines] = {true, true, true, true, true, true, true, true};
    // Where the logic lines are drawn: the position as the slider shows it
    // (the instrument's register holds it limited to the rows the enabled
    // lines leave free) and the size.
    int logicPosition = 3;
    int logicSize = 0;
    // How they are drawn.
    bool xyMode = false;
    bool persistence = false;
    bool intensityGraded = false; // colour-graded persistence
    int decay = 0;                // decay-history frames
    int ch1CaptureOffset = 0, ch2CaptureOffset = 0, logicCaptureOffset = 0;
    int averageIndex = 0; // the Average box: 1, 2, 4 or 8 frames
    // The spectrum.
    bool fftTrace = false;
    bool fftIq = false, fftCh1 = false, fftCh2 = false, fftLogY = false;
    int fftPosition = 0;
    // The logic bus rows.
    bool parallelBus = false, serialBus = false;
    // The page shown (the Meter page blanks the plot) and the Meter page's
    // own page.
    int page = 0;
    int meterPage = 0;

    // The options the instrument also holds, as a settings read gives them:
    // the traces shown, the logic lines, XY, persistence and the spectrum's
    // choices.
    void follow(const InstrumentState &state);
};

} // namespace session
