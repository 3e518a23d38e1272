// The serial stream parser fed arbitrary bytes, delivered in arbitrary pieces,
// with mode switches between frame and roll mode in the middle. It must never
// write outside the frame buffer, never announce a length other than a frame
// or a sample, and always consume what it is given. And whatever came before
// it, a clean frame is recovered: the same bytes as a garbage prefix in frame
// mode, then one whole frame, deliver that frame last.
//
// Input layout: byte 0 picks the starting sampling index; the rest is a
// sequence of pieces, each a header byte and up to 63 stream bytes. A header
// with the top bit set first switches the sampling index to (header & 31) % 22.

#include "device/serialportconnection.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int guardSize = 64;
constexpr unsigned char guardByte = 0xA5;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// A frame's payload that holds no marker, so only its own markers frame it.
QByteArray cleanPayload()
{
    QByteArray p(SerialPortConnection::payloadSize, 0);
    for (int i = 0; i < p.size(); ++i)
        p[i] = char(0x20 + (i * 5) % 64);
    return p;
}

// The input as garbage ahead of a clean frame, in frame mode, handed over in
// pieces of the sizes the input's own bytes give: the clean frame must be
// the last frame delivered.
void recoversAfter(const uint8_t *garbage, size_t size)
{
    static const QByteArray payload = cleanPayload();
    unsigned char frame[SerialPortConnection::frameBufferSize];
    SerialPortConnection link;
    link.setFrameBuffer(frame);
    link.setAutoMode(true);
    link.setSamplingValue(10);
    link.restartParser();
    int delivered = 0;
    QObject::connect(&link, &SerialPortConnection::newData, [&](int) { ++delivered; });

    QBuffer stream;
    stream.open(QIODevice::ReadOnly);
    size_t at = 0;
    while (at < size) {
        const size_t piece = std::min<size_t>(1 + garbage[at] % 97, size - at);
        stream.buffer().append(reinterpret_cast<const char *>(garbage + at), int(piece));
        at += piece;
        link.parseStream(stream);
    }
    const int before = delivered;
    stream.buffer().append(
        QByteArray(SerialPortConnection::frameStartMarker, SerialPortConnection::markerSize));
    stream.buffer().append(payload);
    stream.buffer().append(QByteArray(SerialPortConnection::endMarker, SerialPortConnection::markerSize));
    for (int calls = 0; calls < 8 && stream.bytesAvailable() > 0; ++calls)
        link.parseStream(stream);
    require(delivered > before);
    require(std::memcmp(frame, payload.constData(), size_t(payload.size())) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_serial_stream";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    Q_UNUSED(app)
    if (size < 1)
        return 0;

    unsigned char frame[SerialPortConnection::frameBufferSize + guardSize];
    std::memset(frame, guardByte, sizeof frame);

    SerialPortConnection link;
    link.setFrameBuffer(frame);
    link.setAutoMode(true);
    link.setSamplingValue(data[0] % 22);
    QObject::connect(&link, &SerialPortConnection::newData, [](int length) {
        require(length == SerialPortConnection::markerSize || length == SerialPortConnection::frameSize);
    });

    QBuffer stream;
    stream.open(QIODevice::ReadOnly);
    size_t at = 1;
    while (at < size) {
        const uint8_t header = data[at++];
        if (header & 0x80)
            link.setSamplingValue((header & 31) % 22);
        const size_t piece = std::min<size_t>(header & 63, size - at);
        stream.buffer().append(reinterpret_cast<const char *>(data + at), int(piece));
        at += piece;
        link.parseStream(stream);
    }
    // Whatever is left is consumed: every call takes something while bytes
    // wait (roll mode: while a whole group of three waits), so the loop ends.
    for (int calls = 0; stream.bytesAvailable() > 0; ++calls) {
        const qint64 before = stream.bytesAvailable();
        link.parseStream(stream);
        if (stream.bytesAvailable() == before) {
            require(link.samplingValue() > SerialPortConnection::lastFrameModeSampling &&
                    before < SerialPortConnection::markerSize);
            break;
        }
        require(calls < int(size));
    }

    for (int i = 0; i < guardSize; ++i)
        require(frame[SerialPortConnection::frameBufferSize + i] == guardByte);
    require(link.sampleIndex() >= 0 && link.sampleIndex() <= SerialPortConnection::planeSize);
    require(link.parserState() >= 0 && link.parserState() <= 2);

    recoversAfter(data + 1, size - 1);
    return 0;
}
