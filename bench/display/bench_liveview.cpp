// The live view: the window against the simulated instrument with the full
// display load. Prints, for every report interval, the memory of the process,
// the replot median, the share of frames that plotData drew and the CPU the
// program used; at the end the last interval against the first.
//   bench_liveview [seconds] [frames per second]
//   bench_liveview [--seconds S] [--rate R] [--window WxH] [--persistence] [--gradient] [--report S]
//   bench_liveview --ten-minutes [--gradient] [--window WxH]
//       600 s at 250 frames/s with persistence on, a report every 60 s
// --gradient: persistence graded by intensity (Color Gradient).
// Defaults: 10 s at 250 frames/s, persistence off, one report at the end, the
// plot 850 x 850 pixels (--window sizes the window instead, e.g. 1920x1080).
#include "benchwindow.h"
#include "quorveltest.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

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

// Resident memory of the process, MB.
static double residentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

static QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readLine()).section(' ', 0, 2)
                                          : QString();
}

struct Interval
{
    double end = 0;               // seconds since the start of the measurement
    double rss = 0;               // MB at its end
    double replotMedianMs = 0;    // wall clock
    double replotCpuMedianMs = 0; // CPU time of the GUI thread
    int replots = 0;
    quint64 frames = 0, processed = 0;
    double cpu = 0, gui = 0; // share of one core
};

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    double seconds = 10.0, rate = 250.0, report = 0;
    bool persistence = false;
    bool gradient = false;
    QSize windowSize;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(a, "--seconds") && hasValue) {
            seconds = atof(argv[++i]);
        } else if (!std::strcmp(a, "--rate") && hasValue) {
            rate = atof(argv[++i]);
        } else if (!std::strcmp(a, "--report") && hasValue) {
            report = atof(argv[++i]);
        } else if (!std::strcmp(a, "--window") && hasValue) {
            const QStringList wh = QString::fromLatin1(argv[++i]).split('x');
            if (wh.size() == 2)
                windowSize = QSize(wh[0].toInt(), wh[1].toInt());
        } else if (!std::strcmp(a, "--persistence")) {
            persistence = true;
        } else if (!std::strcmp(a, "--gradient")) {
            persistence = true; // the colour gradient grades the persistence
            gradient = true;
        } else if (!std::strcmp(a, "--ten-minutes")) {
            seconds = 600;
            rate = 250;
            report = 60;
            persistence = true;
        } else if (a[0] != '-' && positional < 2) {
            (positional++ == 0 ? seconds : rate) = atof(a);
        } else {
            std::fprintf(stderr, "unknown argument %s\n", a);
            return 2;
        }
    }
    if (seconds <= 0 || rate <= 0) {
        std::fprintf(stderr, "seconds and rate must be above 0\n");
        return 2;
    }
    if (report <= 0 || report > seconds)
        report = seconds;

    quorvelsim::reset();
    quorvelsim::setFrameRate(rate);
    QuorvelInterface window;
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    if (!benchwindow::loadDisplay(window, plot, windowSize)) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }
    window.findChild<QCheckBox *>("checkBoxPersistence")->setChecked(persistence);
    window.findChild<QCheckBox *>("checkBox_21")->setChecked(gradient);

    // Each replot in wall time and in CPU time of the GUI thread: on a busy
    // machine the wall time also holds the waits for a core.
    std::vector<double> replotMs, replotCpuMs;
    QElapsedTimer replotClock;
    double replotCpuStart = 0;
    QObject::connect(plot, &QCustomPlot::beforeReplot, [&] {
        replotClock.start();
        replotCpuStart = threadCpuSeconds();
    });
    QObject::connect(plot, &QCustomPlot::afterReplot, [&] {
        replotMs.push_back(replotClock.nsecsElapsed() / 1e6);
        replotCpuMs.push_back((threadCpuSeconds() - replotCpuStart) * 1e3);
    });

    std::printf("plot %dx%d in a %dx%d window, %.0f frames/s requested, persistence %s%s, "
                "traces, logic lines, both spectra, references, decay 8\n",
                plot->width(), plot->height(), window.width(), window.height(), rate,
                persistence ? "on" : "off", gradient ? " with the colour gradient" : "");
    std::printf("%8s %9s %14s %14s %8s %12s %12s %8s %8s\n", "time s", "RSS MB", "replot med ms",
                "(CPU time) ms", "replots", "frames sent", "processed %", "CPU %", "GUI %");

    std::vector<Interval> intervals;
    QElapsedTimer wall;
    wall.start();
    quint64 framesBefore = quorvelsim::framesDelivered();
    quint64 processedBefore = window.property("framesProcessed").toULongLong();
    double cpuBefore = processCpuSeconds(), guiBefore = threadCpuSeconds(), intervalStart = 0;
    for (double until = report; until <= seconds + 1e-9; until += report) {
        replotMs.clear();
        replotCpuMs.clear();
        QEventLoop loop;
        QTimer::singleShot(qMax<qint64>(0, qint64(until * 1000) - wall.elapsed()), &loop, &QEventLoop::quit);
        loop.exec();
        Interval iv;
        iv.end = wall.nsecsElapsed() / 1e9;
        const double length = iv.end - intervalStart;
        iv.rss = residentMegabytes();
        iv.replots = int(replotMs.size());
        iv.replotMedianMs = benchwindow::median(replotMs);
        iv.replotCpuMedianMs = benchwindow::median(replotCpuMs);
        const quint64 frames = quorvelsim::framesDelivered();
        const quint64 processed = window.property("framesProcessed").toULongLong();
        iv.frames = frames - framesBefore;
        iv.processed = processed - processedBefore;
        const double cpu = processCpuSeconds(), gui = threadCpuSeconds();
        iv.cpu = (cpu - cpuBefore) / length;
        iv.gui = (gui - guiBefore) / length;
        std::printf("%8.1f %9.1f %14.3f %14.3f %8d %12llu %12.1f %8.1f %8.1f\n", iv.end, iv.rss,
                    iv.replotMedianMs, iv.replotCpuMedianMs, iv.replots, (unsigned long long)iv.frames,
                    iv.frames ? 100.0 * iv.processed / iv.frames : 0.0, 100 * iv.cpu, 100 * iv.gui);
        std::fflush(stdout);
        intervals.push_back(iv);
        framesBefore = frames;
        processedBefore = processed;
        cpuBefore = cpu;
        guiBefore = gui;
        intervalStart = iv.end;
    }

    if (intervals.size() >= 2) {
        const Interval &first = intervals.front(), &last = intervals.back();
        std::printf("last interval against the first: RSS %+.1f MB, replot median x%.2f (CPU time x%.2f)\n",
                    last.rss - first.rss,
                    first.replotMedianMs > 0 ? last.replotMedianMs / first.replotMedianMs : 0.0,
                    first.replotCpuMedianMs > 0 ? last.replotCpuMedianMs / first.replotCpuMedianMs : 0.0);
    }
    quint64 frames = 0, processed = 0;
    for (const Interval &iv : intervals) {
        frames += iv.frames;
        processed += iv.processed;
    }
    std::printf("whole run: %.1f frames/s sent, %.1f %% processed by plotData\n",
                frames / intervals.back().end, frames ? 100.0 * processed / frames : 0.0);
    std::printf(
        "(CPU %% is the whole process: the GUI thread, the transport's event thread and the simulated\n"
        " instrument; GUI %% the GUI thread alone; load average of the machine at the end: %s)\n",
        qPrintable(loadAverage()));
    return 0;
}
