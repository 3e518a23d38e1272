// The USB link against the simulated instrument, measured end to end:
//  * what the plot timer's polling costs the GUI thread (share of its time),
//    with no instrument and with the instrument streaming 1000 frames/s;
//  * the delay from a frame's transfer completing to the 4 ms poll seeing it.
// The poll does what plotData does before it draws: ask the link whether a
// frame is new, then take the latest one. Usage: bench_link [seconds per run,
// default 5]

#include "device/instrumentlink.h"
#include "simcontrol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace sim = quorvelsim;

namespace {

constexpr int plotIntervalMs = 4;
constexpr quint8 fastTimeBase = 1; // sampling-rate index, 16 us/div: a frame takes well under 1 ms

qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

qint64 processCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct RunResult
{
    double seconds = 0;
    double guiCpuShare = 0;     // GUI-thread CPU time / wall time
    double processCpuShare = 0; // all threads (event thread and simulator included)
    long ticks = 0;
    qint64 pollNs = 0; // time spent inside the poll itself
    long framesSeen = 0;
    quint64 framesDelivered = 0;
    std::vector<double> delaysMs; // completion -> poll, per frame the poll saw
};

RunResult measure(InstrumentLink &link, bool streaming, int seconds)
{
    RunResult r;
    static unsigned char frame[InstrumentLink::frameCapacity];
    qint64 lastReceived = 0;
    QTimer plotTimer;
    QObject::connect(&plotTimer, &QTimer::timeout, [&] {
        ++r.ticks;
        const qint64 start = steadyNs();
        if (!link.hasNewFrame()) {
            r.pollNs += steadyNs() - start;
            return;
        }
        qint64 receivedAt = 0;
        const int n = link.takeLatestFrame(frame, sizeof frame, &receivedAt);
        const qint64 seen = steadyNs();
        r.pollNs += seen - start;
        if (n > 0 && receivedAt != lastReceived) {
            r.delaysMs.push_back((seen - receivedAt) / 1e6);
            lastReceived = receivedAt;
            ++r.framesSeen;
        }
    });

    const quint64 deliveredBefore = sim::framesDelivered();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    const qint64 cpu0 = threadCpuNs(), proc0 = processCpuNs();
    wall.start();
    plotTimer.start(plotIntervalMs);
    loop.exec();
    plotTimer.stop();
    const qint64 wallNs = wall.nsecsElapsed();
    r.seconds = wallNs / 1e9;
    r.guiCpuShare = double(threadCpuNs() - cpu0) / double(wallNs);
    r.processCpuShare = double(processCpuNs() - proc0) / double(wallNs);
    r.framesDelivered = streaming ? sim::framesDelivered() - deliveredBefore : 0;
    return r;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

void printRun(const char *name, const RunResult &r)
{
    std::printf("%-34s GUI thread %6.3f %% busy, whole process %6.2f %% of one core, %ld ticks (%.0f/s)\n", name,
                100 * r.guiCpuShare, 100 * r.processCpuShare, r.ticks, r.ticks / r.seconds);
    std::printf("%-34s inside the poll: %.2f us per tick, %.4f %% of wall time; the rest is the timer and event loop\n", "",
                r.ticks ? r.pollNs / 1e3 / r.ticks : 0.0, 100.0 * r.pollNs / (r.seconds * 1e9));
    if (r.framesDelivered > 0)
        std::printf("%-34s %llu frames completed (%.0f/s), %ld seen by the poll (%.0f/s, %.1f %%)\n", "",
                    static_cast<unsigned long long>(r.framesDelivered), r.framesDelivered / r.seconds,
                    r.framesSeen, r.framesSeen / r.seconds, 100.0 * r.framesSeen / double(r.framesDelivered));
}

void printDelays(const char *name, const RunResult &r)
{
    if (r.delaysMs.empty()) {
        std::printf("%-34s no frame seen\n", name);
        return;
    }
    double sum = 0;
    for (double d : r.delaysMs)
        sum += d;
    std::printf("%-34s mean %.3f ms, median %.3f, p90 %.3f, p99 %.3f, max %.3f ms (tick %d ms, %zu frames)\n",
                name, sum / r.delaysMs.size(), percentile(r.delaysMs, 0.5), percentile(r.delaysMs, 0.9),
                percentile(r.delaysMs, 0.99), percentile(r.delaysMs, 1.0), plotIntervalMs, r.delaysMs.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;
    QLoggingCategory::setFilterRules("device.*.debug=false");

    sim::reset();
    InstrumentLink link;

    std::printf("Plot-timer polling of the USB link, %d s per run, poll every %d ms\n\n", seconds, plotIntervalMs);

    // Nothing connected: the poll only tests the flag.
    const RunResult idle = measure(link, false, seconds);
    printRun("no instrument", idle);

    struct Rate
    {
        const char *name;
        double fps;
    };
    const Rate rates[] = {{"streaming 1000 frames/s", 1000}, {"streaming 60 frames/s", 60}};
    std::vector<RunResult> results;
    for (const Rate &rate : rates) {
        sim::reset();
        // A fast time base, so the acquisition time does not hold the rate back.
        sim::pokeRegister(0, fastTimeBase);
        sim::setFrameRate(rate.fps);
        if (!link.open(InstrumentLink::Wire::Usb)) {
            std::fprintf(stderr, "the simulated instrument did not connect\n");
            return 1;
        }
        link.startReception();
        results.push_back(measure(link, true, seconds));
        printRun(rate.name, results.back());
        link.close();
    }

    std::printf("\nDelay from a frame's completion to the poll copying it\n");
    for (size_t i = 0; i < results.size(); ++i)
        printDelays(rates[i].name, results[i]);
    return 0;
}
