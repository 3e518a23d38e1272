// One plotData pass of the window with a new frame, split into decoding (frame
// to graphs, spectra included) and replot, and a pass with nothing new.
//   bench_plotdata [passes]
#include "benchwindow.h"
#include "quorveltest.h"

#include <QMetaMethod>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <ctime>

using Clock = std::chrono::steady_clock;

static double microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// CPU time of the calling thread, microseconds: other processes on the
// machine do not count against a pass.
static double threadCpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    const int passes = argc > 1 ? std::max(10, atoi(argv[1])) : 1000;

    quorvelsim::reset();
    quorvelsim::setFrameRate(1000);
    QuorvelInterface window;
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    if (!benchwindow::loadDisplay(window, plot)) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }

    const QMetaObject *meta = window.metaObject();
    const QMetaMethod plotData = meta->method(meta->indexOfMethod("plotData()"));

    Clock::time_point start;
    double cpuStart = 0, cpuBeforeReplot = 0, cpuAfterReplot = 0;
    int replots = 0;
    QObject::connect(plot, &QCustomPlot::beforeReplot, [&] { cpuBeforeReplot = threadCpuMicroseconds(); });
    QObject::connect(plot, &QCustomPlot::afterReplot, [&] {
        cpuAfterReplot = threadCpuMicroseconds();
        ++replots;
    });

    // With a new frame. The plot timer does not run here (no event loop), so
    // every pass is one of ours; between passes we wait for the instrument.
    std::vector<double> decode, replot, total, wall;
    quint64 lastFrames = quorvelsim::framesDelivered();
    while (int(total.size()) < passes) {
        while (quorvelsim::framesDelivered() < lastFrames + 2)
            QThread::usleep(200);
        lastFrames = quorvelsim::framesDelivered();
        const int before = replots;
        start = Clock::now();
        cpuStart = threadCpuMicroseconds();
        plotData.invoke(&window, Qt::DirectConnection);
        const double cpuEnd = threadCpuMicroseconds();
        const Clock::time_point end = Clock::now();
        if (replots != before + 1)
            continue; // the frame had not been published yet
        decode.push_back(cpuBeforeReplot - cpuStart);
        replot.push_back(cpuAfterReplot - cpuBeforeReplot);
        total.push_back(cpuEnd - cpuStart);
        wall.push_back(microseconds(end - start));
    }

    // Reference in the same run: the replot of the same plot with every graph
    // hidden (background, grid, axes and items only).
    std::vector<double> emptyScene;
    for (int g = 0; g < plot->graphCount(); ++g)
        plot->graph(g)->setVisible(false);
    for (int i = 0; i < 200; ++i) {
        const double t0 = threadCpuMicroseconds();
        plot->replot();
        emptyScene.push_back(threadCpuMicroseconds() - t0);
    }
    for (int g = 0; g < plot->graphCount(); ++g)
        plot->graph(g)->setVisible(true);

    // Nothing new: the instrument sends one frame a second; batches of calls.
    quorvelsim::setFrameRate(1);
    benchwindow::waitForReplots(plot, 1, 3000);
    std::vector<double> idle;
    constexpr int batch = 10000;
    for (int b = 0; b < 50; ++b) {
        const int before = replots;
        start = Clock::now();
        for (int i = 0; i < batch; ++i)
            plotData.invoke(&window, Qt::DirectConnection);
        const double perCall = microseconds(Clock::now() - start) / batch;
        if (replots == before)
            idle.push_back(perCall);
    }

    std::printf("plot %dx%d, %d passes with a new frame (CPU time of the GUI thread)\n", plot->width(),
                plot->height(), int(total.size()));
    std::printf("  decoding (frame to graphs, both spectra): median %8.1f us   p90 %8.1f us\n",
                benchwindow::median(decode), benchwindow::percentile(decode, 0.9));
    std::printf("  replot:                                  median %8.1f us   p90 %8.1f us\n",
                benchwindow::median(replot), benchwindow::percentile(replot, 0.9));
    std::printf(
        "  whole pass:                              median %8.1f us   p90 %8.1f us   (tick 4000 us)\n",
        benchwindow::median(total), benchwindow::percentile(total, 0.9));
    std::printf("  whole pass, wall clock:                  median %8.1f us   p90 %8.1f us\n",
                benchwindow::median(wall), benchwindow::percentile(wall, 0.9));
    std::printf("  replot with every graph hidden (same plot, same run): median %8.1f us\n",
                benchwindow::median(emptyScene));
    std::printf("pass with nothing new (call through the meta-object included): median %.3f us over %d "
                "batches of %d\n",
                benchwindow::median(idle), int(idle.size()), batch);
    return 0;
}
