// The sniffer renderer and its change detection fed arbitrary capture frames:
// any counts, flags and lengths. It must never read outside the frame, and
// each view must hold exactly the items its window shows, each followed by a
// blank.
//
// Input layout: byte 0 holds the options (bits 0-1 protocol, bit 2 Circular,
// bit 3 ASCII); the rest is the frame as received, of any length.

#include "instruments/sniffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

int countAt(const uint8_t *frame, int offset)
{
    return frame[offset] | frame[offset + 1] << 8;
}

// Items of `width` characters, each ending in a blank.
void requireItems(const QString &text, int items, int width)
{
    require(text.size() == items * width);
    for (int i = width - 1; i < text.size(); i += width)
        require(text.at(i) == QLatin1Char(' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    sniffer::Options options;
    options.protocol = data[0] & 3;
    options.circular = data[0] & 4;
    options.ascii = data[0] & 8;
    // The frame in a buffer of its own length, so a read past it is caught.
    const int length = int(std::min<size_t>(size - 1, 4096));
    std::unique_ptr<uint8_t[]> frame(new uint8_t[size_t(std::max(length, 1))]);
    std::memcpy(frame.get(), data + 1, size_t(length));

    sniffer::Texts texts;
    sniffer::render(frame.get(), length, options, texts);
    if (length < sniffer::MinFrameLength || options.protocol > sniffer::Uart) {
        require(texts.mosi.isEmpty() && texts.miso.isEmpty() && texts.rx.isEmpty() && texts.tx.isEmpty() &&
                texts.i2c.isEmpty());
        return 0;
    }
    if (options.protocol == sniffer::I2c) {
        const int n = sniffer::windowLength(countAt(frame.get(), sniffer::CountAOffset), sniffer::I2cCapacity,
                                            options.circular);
        requireItems(texts.i2c, n, 4);
        require(texts.mosi.isEmpty() && texts.rx.isEmpty());
    } else {
        const int width = options.ascii ? 2 : 3;
        const int na = sniffer::windowLength(countAt(frame.get(), sniffer::CountAOffset),
                                             sniffer::ChannelCapacity, options.circular);
        const int nb = sniffer::windowLength(countAt(frame.get(), sniffer::CountBOffset),
                                             sniffer::ChannelCapacity, options.circular);
        const bool spi = options.protocol == sniffer::Spi;
        requireItems(spi ? texts.mosi : texts.rx, na, width);
        requireItems(spi ? texts.miso : texts.tx, nb, width);
        require(texts.i2c.isEmpty());
    }

    // The change detection renders the first frame, then holds still on it.
    sniffer::View view;
    sniffer::Texts again;
    require(view.update(frame.get(), length, options, again));
    require(again.mosi == texts.mosi && again.rx == texts.rx && again.i2c == texts.i2c);
    require(!view.update(frame.get(), length, options, again));
    options.ascii = !options.ascii;
    require(view.update(frame.get(), length, options, again));
    return 0;
}
