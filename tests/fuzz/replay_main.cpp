// Runs the stream fuzzer's entry point over crafted and seeded random inputs,
// so that the ordinary test run covers it without a fuzzing engine.

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

int main()
{
    std::mt19937 random(20261210);
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
    std::printf("%d streams parsed within bounds\n", inputs);
    return 0;
}
