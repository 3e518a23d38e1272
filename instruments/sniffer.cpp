#include "instruments/sniffer.h"

#include <algorithm>
#include <cstring>

namespace sniffer {

namespace {

constexpr char HexDigits[] = "0123456789abcdef";
constexpr ushort AsciiPlaceholder = '_';
constexpr int FirstPrintable = 32;

int countAt(const unsigned char *frame, int offset)
{
    return frame[offset] | frame[offset + 1] << 8;
}

void appendHex(QChar *&out, unsigned value)
{
    *out++ = QLatin1Char(HexDigits[(value >> 4) & 0xF]);
    *out++ = QLatin1Char(HexDigits[value & 0xF]);
}

// One SPI or UART channel: two characters and a blank per byte in hex, a
// character and a blank in ASCII.
QString renderChannel(const unsigned char *channel, int count, bool circular, bool ascii)
{
    const int shown = windowLength(count, ChannelCapacity, circular);
    QString text(shown * (ascii ? 2 : 3), Qt::Uninitialized);
    QChar *out = text.data();
    int position = windowStart(count, ChannelCapacity, circular);
    for (int i = 0; i < shown; ++i) {
        if (position > ChannelCapacity - 1)
            position = 0;
        const unsigned char byte = channel[position++];
        if (ascii)
            *out++ = QChar(byte >= FirstPrintable ? ushort(byte) : AsciiPlaceholder);
        else
            appendHex(out, byte);
        *out++ = QLatin1Char(' ');
    }
    return text;
}

// I2C: address bytes show the 7-bit address and the direction, data bytes the
// byte; the second flag picks the symbol.
QString renderI2c(const unsigned char *frame, int count, bool circular)
{
    const int shown = windowLength(count, I2cCapacity, circular);
    QString text(shown * 4, Qt::Uninitialized);
    QChar *out = text.data();
    int position = windowStart(count, I2cCapacity, circular);
    for (int i = 0; i < shown; ++i) {
        if (position > I2cCapacity - 1)
            position = 0;
        const unsigned char byte = frame[position];
        const unsigned char flags = frame[I2cFlagsOffset + position / 4];
        const int k = position % 4;
        const bool address = flags >> (7 - 2 * k) & 1;
        const bool second = flags >> (6 - 2 * k) & 1;
        char symbol;
        if (address) {
            appendHex(out, byte >> 1);
            if (byte & 1)
                symbol = second ? '<' : '(';
            else
                symbol = second ? '>' : ')';
        } else {
            appendHex(out, byte);
            symbol = second ? '+' : '-';
        }
        *out++ = QLatin1Char(symbol);
        *out++ = QLatin1Char(' ');
        ++position;
    }
    return text;
}

// The bytes a render reads: the channels and flags, then the two counts. The
// byte between them and the bytes after the counts change from frame to frame
// without changing what the views show, so they do not count as a change
// (a redraw resets the views' scroll position and selection).
constexpr int ChannelBytes = 1280;
constexpr int ShownBytes = CountBOffset + 2;

bool sameShownBytes(const QByteArray &last, const unsigned char *frame)
{
    const auto *kept = reinterpret_cast<const unsigned char *>(last.constData());
    return last.size() == ShownBytes && std::memcmp(kept, frame, ChannelBytes) == 0 &&
           std::memcmp(kept + CountAOffset, frame + CountAOffset, ShownBytes - CountAOffset) == 0;
}

} // namespace

int windowStart(int count, int capacity, bool circular)
{
    if (!circular)
        return 0;
    return count <= capacity - 1 ? count : count - capacity;
}

int windowLength(int count, int capacity, bool circular)
{
    if (circular)
        return capacity;
    return std::clamp(count, 0, capacity);
}

void render(const unsigned char *frame, int length, const Options &options, Texts &texts)
{
    texts = Texts();
    if (!frame || length < MinFrameLength)
        return;
    switch (options.protocol) {
    case Spi:
    case Uart: {
        const QString a = renderChannel(frame, countAt(frame, CountAOffset), options.circular, options.ascii);
        const QString b = renderChannel(frame + ChannelBOffset, countAt(frame, CountBOffset),
                                        options.circular, options.ascii);
        if (options.protocol == Spi) {
            texts.mosi = a;
            texts.miso = b;
        } else {
            texts.rx = a;
            texts.tx = b;
        }
        break;
    }
    case I2c:
        texts.i2c = renderI2c(frame, countAt(frame, CountAOffset), options.circular);
        break;
    default:
        break;
    }
}

bool View::update(const unsigned char *frame, int length, const Options &options, Texts &texts)
{
    if (!frame || length < MinFrameLength)
        return false;
    const bool sameFrame = rendered && sameShownBytes(lastFrame, frame);
    if (sameFrame && toggleC == options.circular && toggleA == options.ascii)
        return false;
    toggleC = options.circular;
    toggleA = options.ascii;
    render(frame, length, options, texts);
    if (!sameFrame)
        lastFrame = QByteArray(reinterpret_cast<const char *>(frame), ShownBytes);
    rendered = true;
    return true;
}

void View::reset()
{
    lastFrame.clear();
    rendered = false;
}

} // namespace sniffer
