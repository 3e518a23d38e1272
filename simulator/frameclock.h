#pragma once
// The instrument's frame clock: frame n of a run leaves at start + n * interval,
// so a frame delivered late does not push back the ones after it. A client
// that falls more than MaxBacklog behind loses the frames it missed, as the
// instrument's own clock runs on, and the run starts again from that moment.

#include <QtGlobal>

#include <chrono>
#include <cmath>

namespace quorvelsim {

class FrameClock
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds MaxBacklog{50};

    // The next frame starts a new run.
    void restart() { running = false; }

    // A frame left at `now`; returns when the next one may leave. An interval
    // of 0 or less: at once (and the next paced frame starts a new run).
    Clock::time_point next(Clock::time_point now, double intervalNs)
    {
        if (intervalNs <= 0) {
            running = false;
            return now;
        }
        if (!running || intervalNs != interval) {
            running = true; // this frame is frame 0
            start = now;
            index = 0;
            interval = intervalNs;
        }
        ++index;
        if (now - slot(index) > MaxBacklog) {
            start = now; // too far behind: the missed frames are gone
            index = 1;
        }
        return slot(index);
    }

private:
    Clock::time_point slot(qint64 n) const
    {
        return start + std::chrono::nanoseconds(qint64(std::llround(double(n) * interval)));
    }

    bool running = false;
    Clock::time_point start{};
    qint64 index = 0;
    double interval = 0;
};

} // namespace quorvelsim
