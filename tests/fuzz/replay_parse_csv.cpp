// Runs the custom wave parser's fuzz entry point over crafted and seeded
// random texts, so the ordinary test run covers it without a fuzzing engine.

#include "corpus.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

void run(const QByteArray &input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
}

} // namespace

int main(int argc, char *argv[])
{
    std::mt19937 random(20261210);
    int inputs = 0;
    const QList<QByteArray> seeds = fuzzcorpus::read(argc > 1 ? argv[1] : QUORVEL_FUZZ_CORPUS);
    if (seeds.isEmpty()) {
        std::fprintf(stderr, "no seed corpus\n");
        return 1;
    }
    for (const QByteArray &seed : seeds) {
        run(seed);
        for (int i = 0; i < 200; ++i)
            run(fuzzcorpus::flipped(random, seed));
        inputs += 201;
    }
    const QByteArray crafted[] = {"",
                             ",,,,",
                             "\r\n\r\n",
                             "1,2\r\n3,,4",
                             "128,-128,384,-384,32767,-32768,32768,-32769",
                             "abc, 12 ,\t-7\t,+5,0x10,1e2,1.5,--1, ",
                             "99999999999999999999999999,-99999999999999999999",
                             QByteArray("\0,1,\0", 5),
                             "\xFF\xFE,\x80,1"};
    for (const QByteArray &text : crafted) {
        run(text);
        ++inputs;
    }
    QByteArray many;
    for (int i = 0; i < 1000; ++i)
        many += QByteArray::number(i - 500) + (i % 3 ? "," : "\r\n");
    run(many);
    ++inputs;

    // Random texts built mostly from the characters a wave text holds.
    const QByteArray alphabet("0123456789-+ ,\r\n\t,,,1280x.e");
    for (int n = 0; n < 3000; ++n) {
        std::uniform_int_distribution<int> length(0, 3000), pick(0, alphabet.size() + 3), byte(0, 255);
        QByteArray text;
        const int size = length(random);
        while (text.size() < size) {
            const int k = pick(random);
            text.append(k < alphabet.size() ? alphabet[k] : char(byte(random)));
        }
        run(text);
        ++inputs;
    }
    std::printf("%d wave texts parsed within bounds\n", inputs);
    return 0;
}
