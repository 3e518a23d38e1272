// The recording reader on recordings of 1,000 and 10,000 frames: the one-pass
// reading (index only, and index plus every frame decoded as playback does),
// in MB/s and as the 10k/1k time ratio; the recorder's cost per frame while
// recording at 250 frames/s; then the step-by-step reading of the format on
// the same texts. Times are CPU times of the measuring thread.
//   bench_recording [--reference-10k]
// The step-by-step reading takes long at 10k frames; it runs there only when
// asked, otherwise at 1k and 2k frames, which show its growth.
#include "benchrecording.h"
#include "referencereader.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// CPU time of this thread, median of the repeats: other processes on the
// machine do not count against the reading.
double seconds(const std::function<void()> &work, int repeats)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const double start = threadCpuSeconds();
        work();
        times.push_back(threadCpuSeconds() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2]; // median
}

volatile double sink = 0;

struct Reading
{
    double indexSeconds = 0;
    double decodeSeconds = 0;
    int entries = 0;
};

Reading onePass(const QByteArray &text, int repeats)
{
    Reading r;
    r.indexSeconds = seconds([&] { r.entries = recording::Recording::read(text).size(); }, repeats);
    r.decodeSeconds = seconds(
        [&] {
            const recording::Recording rec = recording::Recording::read(text);
            wavefile::Wave frame;
            for (int e = 0; e < rec.size(); ++e) {
                rec.frame(e, frame);
                sink = sink + frame.records[0].value(0);
            }
        },
        repeats);
    return r;
}

double referenceSeconds(const QByteArray &text)
{
    return seconds([&] { sink = sink + reference::loadRecording(text).timeBases.size(); }, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const bool reference10k = argc > 1 && std::strcmp(argv[1], "--reference-10k") == 0;

    const QByteArray text1k = benchrecording::recordingText(1000);
    const QByteArray text10k = benchrecording::recordingText(10000);
    const double mb1k = text1k.size() / 1e6, mb10k = text10k.size() / 1e6;

    const Reading r1k = onePass(text1k, 9);
    const Reading r10k = onePass(text10k, 5);
    std::printf("Recording reader (one pass)\n");
    std::printf("  %-6s %9s %8s %12s %10s %12s %10s\n", "frames", "MB", "entries", "index ms", "MB/s",
                "+decode ms", "MB/s");
    std::printf("  %-6d %9.2f %8d %12.2f %10.0f %12.2f %10.0f\n", 1000, mb1k, r1k.entries,
                r1k.indexSeconds * 1e3, mb1k / r1k.indexSeconds, r1k.decodeSeconds * 1e3,
                mb1k / r1k.decodeSeconds);
    std::printf("  %-6d %9.2f %8d %12.2f %10.0f %12.2f %10.0f\n", 10000, mb10k, r10k.entries,
                r10k.indexSeconds * 1e3, mb10k / r10k.indexSeconds, r10k.decodeSeconds * 1e3,
                mb10k / r10k.decodeSeconds);
    std::printf("  10k/1k time ratio: index %.2f, index + decode %.2f (linear: 10)\n",
                r10k.indexSeconds / r1k.indexSeconds, r10k.decodeSeconds / r1k.decodeSeconds);

    // The recorder while recording at 250 frames/s: one entry made and
    // written every 4 ms for four seconds, as the frame passes do.
    QTemporaryDir dir;
    recording::Writer writer;
    if (!writer.open(dir.filePath("record.omx"))) {
        std::fprintf(stderr, "cannot create a recording in a temporary folder\n");
        return 1;
    }
    std::vector<wavefile::Wave> frames;
    for (int i = 0; i < 16; ++i)
        frames.push_back(benchrecording::frame(i));
    const int appends = 1000;
    const auto period = std::chrono::microseconds(4000);
    const double cpuStart = threadCpuSeconds();
    const auto wallStart = Clock::now();
    for (int i = 0; i < appends; ++i) {
        std::this_thread::sleep_until(wallStart + i * period);
        writer.append(11, wavefile::WaveView::of(frames[size_t(i) % frames.size()]));
    }
    const double cpu = threadCpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    writer.finish();
    std::printf("Recorder at 250 frames/s: %d entries of %.1f kB in %.2f s, %.1f us CPU per frame,"
                " %.2f %% of one core\n",
                appends, double(text1k.size()) / 1000 / 1000, wall, cpu / appends * 1e6, cpu / wall * 100);
    // The frame log's text of the same frame, made in the same pass at slow time bases.
    const double logStart = threadCpuSeconds();
    for (int i = 0; i < appends; ++i)
        sink = sink + wavefile::frameText(wavefile::WaveView::of(frames[size_t(i) % frames.size()])).size();
    const double logUs = (threadCpuSeconds() - logStart) / appends * 1e6;
    std::printf("Frame-log text: %.1f us CPU per frame (%.2f %% of one core at 250 frames/s)\n", logUs,
                logUs * 250 / 1e6 * 100);

    std::printf("Step-by-step reading (splits the remaining text again for every entry)\n");
    const double ref1k = referenceSeconds(text1k);
    std::printf("  1000 frames: %.2f s, %.2f MB/s, %.0f times the one-pass reading with decode\n", ref1k,
                mb1k / ref1k, ref1k / r1k.decodeSeconds);
    if (reference10k) {
        const double ref10k = referenceSeconds(text10k);
        std::printf("  10000 frames: %.2f s, %.2f MB/s, 10k/1k time ratio %.1f\n", ref10k, mb10k / ref10k,
                    ref10k / ref1k);
    } else {
        const QByteArray text2k = benchrecording::recordingText(2000);
        const double ref2k = referenceSeconds(text2k);
        std::printf("  2000 frames: %.2f s, 2k/1k time ratio %.2f (linear: 2, quadratic: 4);"
                    " --reference-10k measures 10k\n",
                    ref2k, ref2k / ref1k);
    }

    return 0;
}
