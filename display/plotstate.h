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
