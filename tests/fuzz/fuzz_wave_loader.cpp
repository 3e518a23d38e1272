// The wave loader fed arbitrary text. It must agree with the step-by-step
// reading of the format (one split of the whole text at "<*>"), fill at most
// ten records from the parts present, and count as numbers only what reads as
// one.

#include "files/wavetext.h"
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
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    const wavefile::WaveLoad load = wavefile::loadWave(text);
    const QVector<QVector<double>> slow = reference::loadWave(text);

    require(load.records >= 0 && load.records <= wavefile::RecordCount);
    require(load.records <= text.count(wavefile::RecordMarker) + 1);
    qint64 values = 0;
    for (int r = 0; r < wavefile::RecordCount; ++r) {
        const QVector<double> &got = load.wave.records[r];
        require(got.size() == slow[r].size());
        require(std::memcmp(got.constData(), slow[r].constData(), sizeof(double) * size_t(got.size())) == 0);
        if (r >= load.records)
            require(got.isEmpty());
        values += got.size();
    }
    require(load.numbers <= values);
    require(values <= text.count(','));

    // What is read writes back and reads again to the same values.
    const QByteArray again = wavefile::waveText(wavefile::WaveView::of(load.wave));
    const wavefile::WaveLoad reloaded = wavefile::loadWave(again);
    for (int r = 0; r < wavefile::RecordCount; ++r) {
        const QVector<double> &first = load.wave.records[r];
        const QVector<double> &second = reloaded.wave.records[r];
        require(second.size() == first.size() + 1);
        for (int i = 0; i < first.size(); ++i) {
            char a[wavefile::MaxNumberLength], b[wavefile::MaxNumberLength];
            const int la = wavefile::formatNumber(first[i], a), lb = wavefile::formatNumber(second[i], b);
            require(la == lb && std::memcmp(a, b, size_t(la)) == 0);
        }
    }
    return 0;
}
