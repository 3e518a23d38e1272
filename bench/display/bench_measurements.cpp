// The channel pages' automatic measurements.
//  1. Cost per frame of measuring both channels, against decoding the frame
//     into traces (frame::buildTraces) in the same run, on frames of the
//     simulated instrument at a half-record (128 values) and a whole-record
//     (256 values) time base.
//  2. The window at 250 frames/s with the CH1 page in front: frames decoded,
//     plot replots and paint events of the CH1 measurement boxes per second.
//   bench_measurements [--seconds S] [--rate R]
#include "benchwindow.h"
#include "instrumentmodel.h"
#include "quorveltest.h"

#include "display/measurements.h"
#include "display/traces.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QTabWidget>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

// Frames of the simulated instrument (factory signals, default noise) at a time base.
std::vector<std::vector<quint8>> framesAt(int timeBase, int count)
{
    quorvelsim::InstrumentModel model;
    model.setReg(quorvelsim::reg::SamplingRate, quint8(timeBase));
    std::vector<std::vector<quint8>> frames;
    std::vector<quint8> buffer(2048);
    for (int attempt = 0; int(frames.size()) < count && attempt < 100 * count; ++attempt) {
        if (model.nextFrame(buffer.data()) == frame::Size)
            frames.emplace_back(buffer.begin(), buffer.begin() + frame::Size);
    }
    return frames;
}

// Nanoseconds per call of `step` over the frames, the median of `rounds` rounds.
template <typename Step> double nanosecondsPerFrame(int frames, int rounds, int perRound, Step step)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < perRound; ++i)
            step(i % frames);
        times.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / perRound);
    }
    return benchwindow::median(times);
}

double sink = 0; // keeps the measured work from being optimised away

void measurementCost()
{
    std::printf("measurement cost per frame (median of 15 rounds of 20000 frames)\n");
    std::printf("%-26s %10s %18s %18s %8s\n", "time base", "values", "buildTraces ns", "measure CH1+CH2 ns",
                "ratio");
    const struct
    {
        const char *name;
        int timeBase;
    } cases[] = {{"1 ms/div (half record)", 7}, {"50 ms/div (whole record)", 12}};
    for (const auto &c : cases) {
        const std::vector<std::vector<quint8>> frames = framesAt(c.timeBase, 64);
        if (frames.empty()) {
            std::printf("%-26s no frames from the simulated instrument\n", c.name);
            continue;
        }
        frame::TraceInputs inputs;
        inputs.samplingValue = c.timeBase;
        inputs.scrollValue = 64;
        // One decoded set per frame, so that the measurement reads what the
        // window would, and the reference decodes into reused storage as the
        // window does.
        std::vector<frame::Traces> decoded;
        for (const auto &f : frames)
            decoded.push_back(frame::buildTraces(f.data(), inputs));
        frame::Traces traces;
        const int n = int(frames.size());
        const double build = nanosecondsPerFrame(n, 15, 20000, [&](int i) {
            frame::buildTraces(frames[size_t(i)].data(), inputs, traces);
            sink += traces.ch1Max;
        });
        const measure::Scale ch1 = measure::channelScale(0, 3, c.timeBase);
        const measure::Scale ch2 = measure::channelScale(0, 3, c.timeBase);
        const double measured = nanosecondsPerFrame(n, 15, 20000, [&](int i) {
            const frame::Traces &t = decoded[size_t(i)];
            sink += measure::trace(t.ch1, ch1).frequency + measure::trace(t.ch2, ch2).frequency;
        });
        std::printf("%-26s %10d %18.0f %18.0f %8.2f\n", c.name, decoded.front().ch1.size(), build, measured,
                    measured / build);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    double seconds = 1.0, rate = 250.0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--rate") && i + 1 < argc) {
            rate = atof(argv[++i]);
        } else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (seconds <= 0 || rate <= 0) {
        std::fprintf(stderr, "seconds and rate must be above 0\n");
        return 2;
    }

    measurementCost();

    quorvelsim::reset();
    quorvelsim::setFrameRate(rate);
    QuorvelInterface window;
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    if (!benchwindow::loadDisplay(window, plot)) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }
    auto *pages = window.findChild<QTabWidget *>("tabWidget1");
    pages->setCurrentWidget(window.findChild<QWidget *>("ch1Tab"));
    benchwindow::PaintCounter boxPaints;
    const char *boxes[] = {"vdcTextBox", "vppTextBox", "freqTextBox"};
    for (const char *name : boxes)
        window.findChild<QLineEdit *>(name)->installEventFilter(&boxPaints);
    int replots = 0;
    QObject::connect(plot, &QCustomPlot::afterReplot, [&] { ++replots; });
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();

    boxPaints.paints = 0;
    replots = 0;
    const quint64 processedBefore = window.property("framesProcessed").toULongLong();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const quint64 processed = window.property("framesProcessed").toULongLong() - processedBefore;

    std::printf("\nwindow, %.0f frames/s requested, CH1 page in front, full display load, %.2f s\n", rate, elapsed);
    std::printf("  frames decoded        %8.1f /s\n", processed / elapsed);
    std::printf("  plot replots          %8.1f /s\n", replots / elapsed);
    std::printf("  CH1 box paint events  %8.1f /s (three boxes; a refresh is at most 4 /s)\n",
                boxPaints.paints / elapsed);
    std::printf("  CH1 boxes now: VDC %s, VPP %s, Freq %s\n",
                qPrintable(window.findChild<QLineEdit *>(boxes[0])->text()),
                qPrintable(window.findChild<QLineEdit *>(boxes[1])->text()),
                qPrintable(window.findChild<QLineEdit *>(boxes[2])->text()));
    return sink == 12345.678 ? 3 : 0;
}
