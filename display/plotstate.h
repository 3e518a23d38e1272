#pragma once

#include <QString>

// The one short text in the plot's corner that says what the scope is doing.
namespace plotstate {

enum class Mode { Free, Normal, Single, Auto };

struct Inputs
{
    bool connected = false;
    QString linkLostReason;  // not empty: the link was lost, for this reason
    bool stopped = false;    // the user pressed STOP
    Mode mode = Mode::Free;
    bool singleCaptured = false; // a frame arrived since Single was armed
    qint64 sinceFrameMs = -1;    // since the last frame (or since armed); -1: none yet
    int frameIntervalMs = 0;     // expected time between frames at these settings
};

// A frame later than the frame interval by more than this is waited for.
constexpr int WaitMarginMs = 300;

extern const char *const Running;
extern const char *const Waiting;
extern const char *const Stopped;
extern const char *const SingleCaptured;
extern const char *const NotConnected;
extern const char *const LinkLost;

// "Running", "Waiting for trigger", "Stopped", "Single: captured",
// "Not connected", "Link lost: <reason>".
QString text(const Inputs &in);

} // namespace plotstate

// The trigger readout on the plot: "T 0.500 V ↑" for a channel source,
// "T -0.400 V … 1.200 V" for a window trigger, "T bit 3 ↑" for a logic line,
// "T EXT ↑" for the external input.
namespace triggertext {
// The arrow of a trigger type as its marker shows it (display/triggermarkers.h icons).
QString arrow(int icon);
QString channel(const QString &level, int icon);
QString window(const QString &lower, const QString &upper);
QString logic(int line, int icon);
QString external(int icon);
} // namespace triggertext
