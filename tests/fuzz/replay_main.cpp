// Runs the stream fuzzer's entry point over crafted and seeded random inputs,
// so that the ordinary test run covers it without a fuzzing engine.

#include "corpus.h"
#include "device/serialportconnection.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

// Wraps a stream into pieces of at most 63 bytes with plain headers.
QByteArray pieces(int sampling, const QByteArray &stream, int pieceSize)
{
    QByteArray input(1, char(sampling));
    for (int at = 0; at < stream.size(); at += pieceSize) {
        const QByteArray piece = stream.mid(at, pieceSize);
        input.append(char(piece.size()));
        input.append(piece);
    }
    return input;
}

QByteArray marker(const char (&m)[SerialPortConnection::markerSize])
{
    return QByteArray(m, SerialPortConnection::markerSize);
}

void run(const QByteArray &input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
}

} // namespace

int main(int argc, char *argv[])
{
    std::mt19937 random(20261210);
    // The seed corpus, whole and with bytes changed.
    const QList<QByteArray> seeds = fuzzcorpus::read(argc > 1 ? argv[1] : QUORVEL_FUZZ_CORPUS);
    if (seeds.isEmpty()) {
        std::fprintf(stderr, "no seed corpus\n");
        return 1;
    }
    int seeded = 0;
    for (const QByteArray &seed : seeds) {
        run(seed);
        for (int i = 0; i < 200; ++i)
            run(fuzzcorpus::flipped(random, seed));
        seeded += 201;
    }
    const QByteArray payload(SerialPortConnection::payloadSize, char(0x80));
    const QByteArray frame = marker(SerialPortConnection::frameStartMarker) + payload +
                             marker(SerialPortConnection::endMarker);
    QByteArray samples = marker(SerialPortConnection::streamStartMarker);
    for (int i = 0; i < 700; ++i) // more samples than a plane holds
        samples.append(QByteArray(3, char(i)));

    int inputs = 0;
    for (int pieceSize : {1, 2, 3, 7, 63}) {
        run(pieces(10, frame + frame + QByteArray(5, 'x') + frame, pieceSize));
        run(pieces(11, samples + marker(SerialPortConnection::endMarker) + samples, pieceSize));
        run(pieces(0, samples + frame, pieceSize)); // the wrong kind of stream for the mode
        inputs += 3;
    }
    for (int n = 0; n < 3000; ++n) {
        std::uniform_int_distribution<int> length(1, 4000), byte(0, 255), pick(0, 9);
        QByteArray input;
        const int size = length(random);
        while (input.size() < size) {
            // Markers often, so the parser leaves its hunting state.
            switch (pick(random)) {
            case 0: input.append(marker(SerialPortConnection::frameStartMarker)); break;
            case 1: input.append(marker(SerialPortConnection::streamStartMarker)); break;
            case 2: input.append(marker(SerialPortConnection::endMarker)); break;
            default: input.append(char(byte(random)));
            }
        }
        run(input);
        ++inputs;
    }
    std::printf("%d streams parsed within bounds, %d of them from %d seeds\n", inputs + seeded, seeded,
                int(seeds.size()));
    return 0;
}
