// Peak memory of playing a recording of about 100 MB, against its file size:
// the file is read and indexed as the Play button does, then every frame is
// decoded in turn as the frame passes do.
//   bench_playback_memory [megabytes]
#include "benchrecording.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// Peak and current resident size of this process, kB.
long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::string(field).size());
    return -1;
}

bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return bool(clear);
}

} // namespace

int main(int argc, char *argv[])
{
    const double targetMb = argc > 1 ? std::atof(argv[1]) : 100;
    QTemporaryDir dir;
    const QString path = dir.filePath("record.omx");
    {
        // Written entry by entry, as the recorder does, so that making the file
        // does not raise the peak.
        recording::Writer writer;
        if (!writer.open(path)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
            return 1;
        }
        for (int i = 0; QFileInfo(path).size() < qint64(targetMb * 1e6); ++i)
            writer.append(11 + i % 3, wavefile::WaveView::of(benchrecording::frame(i % 64)));
        writer.finish();
    }
    const qint64 fileBytes = QFileInfo(path).size();

    const bool peakReset = resetPeak();
    const long baseKb = statusKb("VmRSS:");
    const long basePeakKb = statusKb("VmHWM:");
    int played = 0;
    double check = 0;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        QByteArray text;
        if (recording::readAtMost(file, qint64(1) << 30, text) != recording::ReadResult::Read)
            return 1;
        const recording::Recording playback = recording::Recording::read(text);
        text.clear();
        wavefile::Wave frame;
        for (int e = 0; e < playback.size(); ++e, ++played) {
            playback.frame(e, frame);
            check += frame.records[0].value(0);
        }
        std::printf("index and text held: %.1f MB\n", playback.memoryBytes() / 1e6);
    }
    const long peakKb = statusKb("VmHWM:");
    const double grownMb = (peakKb - (peakReset ? baseKb : basePeakKb)) * 1024 / 1e6;
    std::printf(
        "Playback of a %.1f MB recording (%d frames): peak resident size grew by %.1f MB = %.2f x the file"
        " size (limit 2)%s\n",
        fileBytes / 1e6, played, grownMb, grownMb * 1e6 / double(fileBytes),
        peakReset ? "" : " [peak not resettable: measured against the earlier peak]");
    return check > 0 ? 0 : 1;
}
