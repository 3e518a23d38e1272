// The recorder's cost inside the running window: the window against the
// simulated instrument at 250 frames/s (32 us/div, the full display load of
// the display benchmarks), GUI-thread CPU per decoded frame in rounds without
// and with a recording running; the difference is what recording adds.
//   bench_recording_window [rounds] [seconds per round]
#include "../display/benchwindow.h"
#include "quorveltest.h"

#include <QDir>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    const int rounds = argc > 1 ? std::max(2, atoi(argv[1])) : 6;
    const int roundMs = argc > 2 ? std::max(500, int(atof(argv[2]) * 1000)) : 3000;

    quorveltest::WindowFixture f;
    f.init(250);
    if (!f.startStreaming()) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }
    if (!benchwindow::loadDisplay(*f.get(), f.plot())) {
        std::fprintf(stderr, "display load failed\n");
        return 1;
    }
    QTest::qWait(1000); // settle

    QPushButton *record = f.child<QPushButton>("pushButton_4");
    std::vector<double> plain, recording;
    double framesPerSecond = 0;
    for (int round = 0; round < 2 * rounds; ++round) {
        const bool on = round % 2 == 1;
        if (on)
            record->click();
        const quint64 frames0 = f.framesProcessed();
        const double cpu0 = threadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(roundMs);
        const double cpu = threadCpuSeconds() - cpu0;
        const quint64 frames = f.framesProcessed() - frames0;
        framesPerSecond = frames / (wall.elapsed() / 1000.0);
        if (on)
            record->click(); // the "Success" box is closed by the fixture
        if (frames > 0)
            (on ? recording : plain).push_back(cpu / double(frames) * 1e6);
    }
    const QStringList files = QDir().entryList({"record*.omx"}, QDir::Files);
    qint64 bytes = 0;
    for (const QString &name : files)
        bytes += QFileInfo(name).size();
    const double added = median(recording) - median(plain);
    std::printf("Window at %.0f frames/s, GUI-thread CPU per frame (median of %d rounds of %.1f s):\n",
                framesPerSecond, rounds, roundMs / 1000.0);
    std::printf(
        "  without recording %.1f us, recording %.1f us, added %.1f us per frame = %.2f %% of one core"
        " at 250 frames/s\n",
        median(plain), median(recording), added, added * 250 / 1e6 * 100);
    std::printf("  %d recordings, %.1f MB written\n", int(files.size()), bytes / 1e6);
    f.cleanup();
    return 0;
}
