// One plotData pass of the window with a new frame (decoding and replot), the
// cheaper drawing against the library's own drawing in the same run, and a
// pass with nothing new on the oscilloscope and on the Meter page; then the
// pass with the spectrum, Average 8 and the colour-graded persistence against
// the pass with the spectrum and plain persistence, in the same run.
//   bench_plotdata [passes] [--window WxH] [--persistence]
// Without --window the plot is 850 x 850 pixels; --window 1920x1080 sizes the
// window as a maximised one on such a screen.
#include "benchwindow.h"
#include "quorveltest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMetaMethod>
#include <QTabWidget>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <cstring>
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

struct PassTimes
{
    std::vector<double> decode, replot, total;
};

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    int passes = 1000;
    QSize windowSize;
    bool persistence = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--persistence")) {
            persistence = true;
        } else if (!std::strcmp(argv[i], "--window") && i + 1 < argc) {
            const QStringList wh = QString::fromLatin1(argv[++i]).split('x');
            if (wh.size() == 2)
                windowSize = QSize(wh[0].toInt(), wh[1].toInt());
        } else {
            passes = std::max(10, atoi(argv[i]));
        }
    }

    quorvelsim::reset();
    quorvelsim::setFrameRate(1000);
    QuorvelInterface window;
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    if (!benchwindow::loadDisplay(window, plot, windowSize)) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }

    window.findChild<QCheckBox *>("checkBoxPersistence")->setChecked(persistence);

    const QMetaObject *meta = window.metaObject();
    const QMetaMethod plotData = meta->method(meta->indexOfMethod("plotData()"));

    double cpuBeforeReplot = 0, cpuAfterReplot = 0;
    int replots = 0;
    QObject::connect(plot, &QCustomPlot::beforeReplot, [&] { cpuBeforeReplot = threadCpuMicroseconds(); });
    QObject::connect(plot, &QCustomPlot::afterReplot, [&] {
        cpuAfterReplot = threadCpuMicroseconds();
        ++replots;
    });

    // With a new frame. The plot timer does not run here (no event loop), so
    // every pass is one of ours; between passes we wait for the instrument.
    // Blocks of passes alternate between the cheaper drawing and the
    // library's own, so both meet the same machine load.
    PassTimes times[2]; // [0] library's drawing, [1] cheaper drawing
    quint64 lastFrames = quorvelsim::framesDelivered();
    constexpr int Block = 25;
    int done = 0;
    for (int block = 0; done < 2 * passes; ++block) {
        const bool cheap = block % 2;
        plot->setCheapDrawing(cheap);
        PassTimes &t = times[cheap];
        for (int inBlock = 0; inBlock < Block;) {
            while (quorvelsim::framesDelivered() < lastFrames + 2)
                QThread::usleep(200);
            lastFrames = quorvelsim::framesDelivered();
            const int before = replots;
            const double cpuStart = threadCpuMicroseconds();
            plotData.invoke(&window, Qt::DirectConnection);
            const double cpuEnd = threadCpuMicroseconds();
            if (replots != before + 1)
                continue; // the frame had not been published yet
            t.decode.push_back(cpuBeforeReplot - cpuStart);
            t.replot.push_back(cpuAfterReplot - cpuBeforeReplot);
            t.total.push_back(cpuEnd - cpuStart);
            ++inBlock;
            ++done;
        }
    }
    // The display extras against the spectrum alone (with plain persistence,
    // which the gradient grades), in alternating blocks as above.
    PassTimes extras[2]; // [0] spectrum only, [1] spectrum + Average 8 + Color Gradient
    auto *average = window.findChild<QComboBox *>("comboBoxAverage");
    auto *gradient = window.findChild<QCheckBox *>("checkBox_21");
    window.findChild<QCheckBox *>("checkBoxPersistence")->setChecked(true);
    plot->setCheapDrawing(true);
    done = 0;
    for (int block = 0; done < 2 * passes; ++block) {
        const bool on = block % 2;
        average->setCurrentIndex(on ? 3 : 0);
        gradient->setChecked(on);
        PassTimes &t = extras[on];
        for (int inBlock = 0; inBlock < Block;) {
            while (quorvelsim::framesDelivered() < lastFrames + 2)
                QThread::usleep(200);
            lastFrames = quorvelsim::framesDelivered();
            const int before = replots;
            const double cpuStart = threadCpuMicroseconds();
            plotData.invoke(&window, Qt::DirectConnection);
            const double cpuEnd = threadCpuMicroseconds();
            if (replots != before + 1)
                continue;
            t.decode.push_back(cpuBeforeReplot - cpuStart);
            t.replot.push_back(cpuAfterReplot - cpuBeforeReplot);
            t.total.push_back(cpuEnd - cpuStart);
            ++inBlock;
            ++done;
        }
    }
    average->setCurrentIndex(0);
    gradient->setChecked(false);
    window.findChild<QCheckBox *>("checkBoxPersistence")->setChecked(persistence);

    // Reference points in the same run: the replot of the same plot with
    // every graph hidden (background, grid, axes and items only), in both
    // drawings, and with only the decay history shown.
    std::vector<double> emptyScene[2], historyOnly[2];
    auto replotCost = [&](std::vector<double> &out) {
        for (int i = 0; i < 100; ++i) {
            const double t0 = threadCpuMicroseconds();
            plot->replot(QCustomPlot::rpImmediateRefresh);
            out.push_back(threadCpuMicroseconds() - t0);
        }
    };
    QVector<bool> shown;
    for (int g = 0; g < plot->graphCount(); ++g) {
        shown << plot->graph(g)->visible();
        plot->graph(g)->setVisible(false);
    }
    for (int k : {0, 1}) {
        plot->setCheapDrawing(k);
        replotCost(emptyScene[k]);
    }
    for (int g = 4; g < 22; ++g)
        plot->graph(g)->setVisible(true);
    for (int k : {0, 1}) {
        plot->setCheapDrawing(k);
        replotCost(historyOnly[k]);
    }
    for (int g = 0; g < plot->graphCount(); ++g)
        plot->graph(g)->setVisible(shown[g]);
    plot->setCheapDrawing(true);

    // Nothing new: the instrument sends one frame a second; batches of calls,
    // on the oscilloscope page and on the Meter page.
    quorvelsim::setFrameRate(1);
    benchwindow::waitForReplots(plot, 1, 3000);
    lastFrames = quorvelsim::framesDelivered();
    benchwindow::PaintCounter counter;
    plot->installEventFilter(&counter);
    auto idlePasses = [&](int &paints) {
        std::vector<double> perCall;
        constexpr int batch = 10000;
        paints = 0;
        for (int b = 0; b < 50; ++b) {
            const int before = replots;
            const int paintsBefore = counter.paints;
            const Clock::time_point start = Clock::now();
            for (int i = 0; i < batch; ++i)
                plotData.invoke(&window, Qt::DirectConnection);
            const double us = microseconds(Clock::now() - start) / batch;
            if (quorvelsim::framesDelivered() != lastFrames) { // met the one frame a second: left out
                lastFrames = quorvelsim::framesDelivered();
                continue;
            }
            QApplication::sendPostedEvents(); // any update the passes asked for
            perCall.push_back(us);
            paints += counter.paints - paintsBefore + (replots - before);
        }
        return perCall;
    };
    int scopePaints = 0, meterPaints = 0;
    const std::vector<double> idleScope = idlePasses(scopePaints);
    window.findChild<QTabWidget *>("mainTabWidget")->setCurrentIndex(1);
    plotData.invoke(&window, Qt::DirectConnection); // the page change blanks the plot once
    QApplication::processEvents();
    const std::vector<double> idleMeter = idlePasses(meterPaints);

    using benchwindow::median;
    using benchwindow::percentile;
    std::printf(
        "plot %dx%d in a %dx%d window, persistence %s, %d passes with a new frame per drawing (CPU time "
        "of the GUI thread)\n",
        plot->width(), plot->height(), window.width(), window.height(), persistence ? "on" : "off",
        int(times[1].total.size()));
    const char *names[2] = {"library's drawing (reference)", "cheaper drawing"};
    for (int k : {0, 1}) {
        std::printf("  %s\n", names[k]);
        std::printf("    decoding (frame to graphs, both spectra): median %8.1f us   p90 %8.1f us\n",
                    median(times[k].decode), percentile(times[k].decode, 0.9));
        std::printf("    replot (drawn and shown):                median %8.1f us   p90 %8.1f us\n",
                    median(times[k].replot), percentile(times[k].replot, 0.9));
        std::printf("    whole pass:                              median %8.1f us   p90 %8.1f us\n",
                    median(times[k].total), percentile(times[k].total, 0.9));
    }
    std::printf("  ratio cheaper / library's, same run: whole pass %.2f, replot %.2f\n",
                median(times[1].total) / median(times[0].total),
                median(times[1].replot) / median(times[0].replot));
    std::printf(
        "  replot with every graph hidden: library's %.1f us, cheaper %.1f us; with the 18 decay-history "
        "graphs only: library's %.1f us, cheaper %.1f us\n",
        median(emptyScene[0]), median(emptyScene[1]), median(historyOnly[0]), median(historyOnly[1]));
    std::printf("spectrum with persistence, %d passes each (cheaper drawing):\n", int(extras[1].total.size()));
    const char *extraNames[2] = {"spectrum only (reference)", "spectrum + Average 8 + Color Gradient"};
    for (int k : {0, 1})
        std::printf("  %-40s decoding median %8.1f us, replot median %8.1f us, whole pass median %8.1f us "
                    "p90 %8.1f us\n",
                    extraNames[k], median(extras[k].decode), median(extras[k].replot), median(extras[k].total),
                    percentile(extras[k].total, 0.9));
    std::printf("  ratio with the extras / spectrum only, same run: whole pass %.2f, decoding %.2f, replot %.2f\n",
                median(extras[1].total) / median(extras[0].total), median(extras[1].decode) / median(extras[0].decode),
                median(extras[1].replot) / median(extras[0].replot));
    std::printf(
        "pass with nothing new (call through the meta-object included), median over batches of 10000:\n");
    std::printf("  oscilloscope page: %.3f us per pass (%d batches), %d paints or replots\n",
                median(idleScope), int(idleScope.size()), scopePaints);
    std::printf("  Meter page:        %.3f us per pass (%d batches), %d paints or replots\n",
                median(idleMeter), int(idleMeter.size()), meterPaints);
    return 0;
}
