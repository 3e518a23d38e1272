#pragma once

#include <QByteArray>
#include <QString>

// The protocol sniffer's capture frame and its text forms.
//
// Frame layout (offsets): SPI/UART channel A 0..639 and channel B 640..1279,
// I2C bytes 0..1023 with two flag bits per byte at 1024..1279; the count of
// channel A (or I2C) at 1281 and of channel B at 1283, 16-bit little-endian.
// A count is where the instrument writes next: in circular use it marks the
// oldest byte, otherwise it is the number of valid bytes.
namespace sniffer {

enum Protocol { Spi = 0, I2c = 1, Uart = 2 };
// The capture as the window last set it: stopped, running, or held by Pause.
enum class RunState { Stopped, Running, Paused };

constexpr int MinFrameLength = 1289;
constexpr int ChannelCapacity = 640;
constexpr int I2cCapacity = 1024;
constexpr int ChannelBOffset = 640;
constexpr int I2cFlagsOffset = 1024;
constexpr int CountAOffset = 1281;
constexpr int CountBOffset = 1283;

struct Options
{
    int protocol = Spi; // the protocol page index
    bool circular = false;
    bool ascii = false; // SPI and UART only; I2C is always hexadecimal
};

// The five text views. Only the current protocol's views get text; the others
// stay empty.
struct Texts
{
    QString mosi, miso; // SPI
    QString rx, tx;     // UART
    QString i2c;
};

// Renders a frame of `length` bytes (at least MinFrameLength) into `texts`.
// A shorter frame or an unknown protocol leaves every text empty. Every item
// is followed by a blank.
void render(const unsigned char *frame, int length, const Options &options, Texts &texts);

// The bytes shown for one channel of capacity `capacity` with count `count`,
// as positions into the channel, in display order.
int windowStart(int count, int capacity, bool circular);
int windowLength(int count, int capacity, bool circular);

// Change detection of the sniffer page: a frame is rendered when the bytes it
// shows (channels, flags, counts) differ from the last rendered frame's, or
// when Circular or ASCII changed since; otherwise nothing is redrawn.
class View
{
public:
    // Returns true and fills `texts` when the views must be redrawn.
    bool update(const unsigned char *frame, int length, const Options &options, Texts &texts);
    // Forgets the last render, so the next long enough frame is rendered.
    void reset();

private:
    QByteArray lastFrame;
    bool rendered = false;
    bool toggleC = false;
    bool toggleA = false;
};

} // namespace sniffer
