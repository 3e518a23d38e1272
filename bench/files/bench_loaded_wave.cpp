// The frame pass with a loaded wave file just under the 16 MiB limit (about
// 8.4 million CH1 values) against the same pass without one, in alternating
// blocks of the same run, the window against the simulated instrument at the
// display benchmarks' full load. Also the time the load itself takes.
//   bench_loaded_wave [passes per side]
#include "../display/benchwindow.h"
#include "files/wavetext.h"
#include "quorveltest.h"

#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double threadCpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// "CH1," and then "7," until the file is one record marker line short of the
// limit, then the other nine records empty.
QByteArray largeWaveText(qint64 limit)
{
    QByteArray text("CH1,");
    const QByteArray rest = "<*>\nCH2,<*>\nBit0,<*>\nBit1,<*>\nBit2,<*>\nBit3,<*>\nBit4,<*>\nBit5,<*>\n"
                            "Bit6,<*>\nBit7,";
    const qint64 values = (limit - text.size() - rest.size() - 16) / 2;
    text.reserve(int(limit));
    for (qint64 i = 0; i < values; ++i)
        text.append("7,", 2);
    text.append(rest);
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    const int passes = argc > 1 ? std::max(20, atoi(argv[1])) : 200;

    QTemporaryDir dir;
    const QString path = dir.filePath("large.omx");
    const QByteArray text = largeWaveText(16 * 1024 * 1024);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            std::fprintf(stderr, "cannot write the wave file\n");
            return 1;
        }
    }

    // The parse alone, for the share of the load it takes.
    std::vector<double> parses;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        const wavefile::WaveLoad parsed = wavefile::loadWave(text);
        parses.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (parsed.numbers == 0)
            return 1;
    }

    quorveltest::WindowFixture f;
    f.init(1000);
    if (!f.startStreaming() || !benchwindow::loadDisplay(*f.get(), f.plot())) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }
    f.closer.custom = [&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return false;
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept();
        return true;
    };

    QuorvelInterface &window = *f.get();
    const QMetaObject *meta = window.metaObject();
    const QMetaMethod plotData = meta->method(meta->indexOfMethod("plotData()"));
    int replots = 0;
    QObject::connect(f.plot(), &QCustomPlot::afterReplot, [&] { ++replots; });

    // One pass per new frame, as in the plot data benchmark.
    std::vector<double> times[2]; // [0] live frames, [1] loaded wave
    std::vector<double> loads;
    QPushButton *load = f.child<QPushButton>("loadWave");
    QPushButton *clear = f.child<QPushButton>("clearWaveButton");
    quint64 lastFrames = quorvelsim::framesDelivered();
    constexpr int Block = 20;
    for (int block = 0; int(times[0].size() + times[1].size()) < 2 * passes; ++block) {
        const bool loaded = block % 2;
        if (loaded) {
            QElapsedTimer clock;
            clock.start();
            load->click(); // the dialog is answered from the event loop it runs
            loads.push_back(double(clock.nsecsElapsed()) / 1e6);
        } else {
            clear->click();
        }
        for (int inBlock = 0; inBlock < Block;) {
            while (quorvelsim::framesDelivered() < lastFrames + 2)
                QThread::usleep(200);
            lastFrames = quorvelsim::framesDelivered();
            const int before = replots;
            const double start = threadCpuMicroseconds();
            plotData.invoke(&window, Qt::DirectConnection);
            const double end = threadCpuMicroseconds();
            if (replots != before + 1)
                continue;
            times[loaded].push_back(end - start);
            ++inBlock;
        }
    }
    const double live = benchwindow::median(times[0]), withWave = benchwindow::median(times[1]);
    std::printf("Frame pass (GUI-thread CPU, %zu passes each, alternating blocks of %d):\n", times[0].size(),
                Block);
    std::printf("  live frames:                    median %8.1f us   p90 %8.1f us\n", live,
                benchwindow::percentile(times[0], 0.9));
    std::printf("  %.1f MiB wave loaded (%d values): median %8.1f us   p90 %8.1f us\n",
                double(text.size()) / 1048576.0, int((text.size() - 80) / 2), withWave,
                benchwindow::percentile(times[1], 0.9));
    std::printf("  ratio loaded / live: %.2f\n", live > 0 ? withWave / live : 0);
    std::printf("  load of the file (dialog answered, read and parsed): median %.1f ms, max %.1f ms\n",
                benchwindow::median(loads), loads.empty() ? 0 : *std::max_element(loads.begin(), loads.end()));
    std::printf("  of which the parse of the text (loadWave alone): median %.1f ms\n", benchwindow::median(parses));
    f.cleanup();
    return 0;
}
