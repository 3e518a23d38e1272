// The recording reader fed arbitrary text. It must agree with the
// step-by-step reading of the format (entries, time bases, every value, bit
// for bit), never read past the text, and end.

#include "files/recording.h"
#include "referencereader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameValues(const QVector<double> &a, const QVector<double> &b)
{
    return a.size() == b.size() &&
           std::memcmp(a.constData(), b.constData(), sizeof(double) * size_t(a.size())) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The reference is quadratic: long inputs would only slow the fuzzer.
    if (size > 1 << 16)
        return 0;
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    const recording::Recording fast = recording::Recording::read(text);
    const reference::Loaded slow = reference::loadRecording(text);

    require(fast.size() == slow.timeBases.size());
    // Every entry but the last ends at a separator of its own.
    require(fast.size() <= text.count(wavefile::FrameSeparator) + 1);
    wavefile::Wave frame;
    for (int e = 0; e < fast.size(); ++e) {
        require(fast.timeBase(e) == slow.timeBases[e]);
        const int played = recording::playableTimeBase(fast.timeBase(e));
        require(played >= 0 && played <= recording::MaxTimeBase);
        fast.frame(e, frame);
        for (int r = 0; r < wavefile::RecordCount; ++r) {
            require(sameValues(frame.records[r], slow.frames[e * wavefile::RecordCount + r]));
            // One value per comma at most.
            require(frame.records[r].size() <= text.count(','));
        }
    }
    require(fast.memoryBytes() <= 2 * qint64(text.capacity()) + 64);
    return 0;
}
