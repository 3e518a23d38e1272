// Runs the sniffer renderer's fuzz entry point over crafted and seeded random
// capture frames, so the ordinary test run covers it without a fuzzing engine.

#include "corpus.h"
#include "instruments/sniffer.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

void run(char options, const QByteArray &frame)
{
    const QByteArray input = QByteArray(1, options) + frame;
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
}

QByteArray withCounts(QByteArray frame, int a, int b)
{
    frame[sniffer::CountAOffset] = char(a);
    frame[sniffer::CountAOffset + 1] = char(a >> 8);
    frame[sniffer::CountBOffset] = char(b);
    frame[sniffer::CountBOffset + 1] = char(b >> 8);
    return frame;
}

} // namespace

int main(int argc, char *argv[])
{
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> byte(0, 255);
    int inputs = 0;

    // The seed corpus: options byte and a capture frame of the real size.
    const QList<QByteArray> seeds = fuzzcorpus::read(argc > 1 ? argv[1] : QUORVEL_FUZZ_CORPUS);
    if (seeds.isEmpty()) {
        std::fprintf(stderr, "no seed corpus\n");
        return 1;
    }
    for (const QByteArray &seed : seeds) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(seed.constData()), size_t(seed.size()));
        for (int i = 0; i < 200; ++i) {
            const QByteArray input = fuzzcorpus::flipped(random, seed);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
        }
        inputs += 201;
    }

    // Every option set against the counts at the edges of both capacities.
    const QByteArray zero(sniffer::MinFrameLength, '\0');
    for (int options = 0; options < 16; ++options) {
        for (int count : {0, 1, 639, 640, 641, 1023, 1024, 1025, 1279, 1280, 2000, 65535}) {
            run(char(options), withCounts(zero, count, 65535 - count));
            ++inputs;
        }
        for (int length : {0, 1, sniffer::MinFrameLength - 1, sniffer::MinFrameLength + 1, 1290, 4096}) {
            run(char(options),
                withCounts(QByteArray(std::max(length, sniffer::MinFrameLength), '\xFF'), 640, 640)
                    .left(length));
            ++inputs;
        }
    }
    // Random frames: random bytes, counts drawn near the capacities or anywhere.
    for (int n = 0; n < 4000; ++n) {
        std::uniform_int_distribution<int> length(sniffer::MinFrameLength - 4, sniffer::MinFrameLength + 8);
        QByteArray frame(length(random), '\0');
        for (char &c : frame)
            c = char(byte(random));
        if (frame.size() >= sniffer::MinFrameLength && n % 2) {
            std::uniform_int_distribution<int> near(0, 1100);
            frame = withCounts(frame, near(random), near(random));
        }
        run(char(byte(random)), frame);
        ++inputs;
    }
    std::printf("%d capture frames rendered within bounds\n", inputs);
    return 0;
}
