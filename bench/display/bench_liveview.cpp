// The live view: the window against the simulated instrument sending 250
// frames/s for 10 s with the full display load. Prints the share of frames
// that plotData drew and the CPU the program used.
//   bench_liveview [seconds] [frames per second]
#include "benchwindow.h"
#include "quorveltest.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

static double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

static double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    const double seconds = argc > 1 ? atof(argv[1]) : 10.0;
    const double rate = argc > 2 ? atof(argv[2]) : 250.0;

    quorvelsim::reset();
    quorvelsim::setFrameRate(rate);
    QuorvelInterface window;
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    if (!benchwindow::loadDisplay(window, plot)) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }

    int replots = 0;
    QObject::connect(plot, &QCustomPlot::afterReplot, [&] { ++replots; });

    const quint64 processedBefore = window.property("framesProcessed").toULongLong();
    const quint64 framesBefore = quorvelsim::framesDelivered();
    const double cpuBefore = processCpuSeconds();
    const double guiBefore = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const double cpu = processCpuSeconds() - cpuBefore;
    const double gui = threadCpuSeconds() - guiBefore;
    const quint64 frames = quorvelsim::framesDelivered() - framesBefore;
    const quint64 processed = window.property("framesProcessed").toULongLong() - processedBefore;

    std::printf("plot %dx%d, %.1f s at %.0f frames/s requested\n", plot->width(), plot->height(), elapsed,
                rate);
    std::printf("  frames sent %llu (%.1f/s), processed by plotData %llu: %.1f %%\n",
                (unsigned long long)frames, frames / elapsed, (unsigned long long)processed,
                frames ? 100.0 * processed / frames : 0.0);
    std::printf("  replots %d (%.1f/s)\n", replots, replots / elapsed);
    std::printf("  CPU of the program: %.1f %% of one core (GUI thread %.1f %%, the rest is the transport's\n"
                "  event thread and the simulated instrument in the same process)\n",
                100.0 * cpu / elapsed, 100.0 * gui / elapsed);
    return 0;
}
