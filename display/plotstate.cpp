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

namespace triggertext {

QString arrow(int icon)
{
    switch (icon) {
    case 0: // rising edge
        return QStringLiteral("↑");
    case 1: // falling edge
        return QStringLiteral("↓");
    case 3: // positive slope
        return QStringLiteral("↑ slope");
    case 4: // negative slope
        return QStringLiteral("↓ slope");
    default: // both edges, window
        return QStringLiteral("↕");
    }
}

QString channel(const QString &level, int icon)
{
    return QStringLiteral("T ") + level + QLatin1Char(' ') + arrow(icon);
}

QString window(const QString &lower, const QString &upper)
{
    return QStringLiteral("T ") + lower + QStringLiteral(" … ") + upper;
}

QString logic(int line, int icon)
{
    return QStringLiteral("T bit %1 ").arg(line) + arrow(icon);
}

QString external(int icon)
{
    return QStringLiteral("T EXT ") + arrow(icon);
}

} // namespace triggertext
