#include "display/plotstate.h"

namespace plotstate {

const char *const Running = "Running";
const char *const Waiting = "Waiting for trigger";
const char *const Stopped = "Stopped";
const char *const SingleCaptured = "Single: captured";
const char *const NotConnected = "Not connected";
const char *const LinkLost = "Link lost";

QString text(const Inputs &in)
{
    if (!in.connected) {
        if (in.linkLostReason.isEmpty())
            return QLatin1String(NotConnected);
        return QLatin1String(LinkLost) + QStringLiteral(": ") + in.linkLostReason;
    }
    if (in.stopped)
        return QLatin1String(Stopped);
    if (in.mode == Mode::Single && in.singleCaptured)
        return QLatin1String(SingleCaptured);
    const bool triggered = in.mode == Mode::Normal || in.mode == Mode::Single;
    if (triggered && in.sinceFrameMs > qint64(in.frameIntervalMs) + WaitMarginMs)
        return QLatin1String(Waiting);
    return QLatin1String(Running);
}

} // namespace plotstate
