#pragma once
// Traffic on the instrument's logic lines: an I2C bus on bits 0-1 (SDA, SCL),
// a UART pair on bits 2-3 (RX, TX) or, when the sniffer protocol is SPI, an
// SPI bus on bits 2-5 (SS, SCK, MOSI, MISO), and a 1 kHz binary counter on the
// bits above. The traffic repeats in bus cycles of at least 20 ms; each cycle
// carries one exchange per bus whose data bytes change from cycle to cycle.

#include <QByteArray>
#include <QVector>
#include <QtGlobal>
#include <vector>

namespace quorvelsim {

class BusTraffic
{
public:
    // What one bus cycle carries, as a sniffer decodes it.
    struct Exchange
    {
        QByteArray channelA;     // SPI MOSI / UART RX
        QByteArray channelB;     // SPI MISO / UART TX
        QByteArray i2cBytes;     // address and data bytes in bus order
        QVector<quint8> i2cFlags; // per byte: bit 1 address byte, bit 0 acknowledged
        double endOffset = 0.0;  // seconds after the cycle start when every exchange is over
    };

    enum Protocol { Spi = 0, I2c = 1, Uart = 2 };

    // Reads the sniffer line settings (register 10) and protocol (register 32).
    void configure(quint8 lineSettings, quint8 protocol);

    // The logic byte at time t.
    quint8 level(double t);
    double cyclePeriod() const { return period; }
    qint64 cycleIndex(double t) const;
    const Exchange &exchange(qint64 cycle);
    // Rising edges per second on logic line `bit`.
    double lineFrequency(int bit);

    static QByteArray uartMessage(qint64 cycle);
    static QByteArray uartReply();

private:
    struct Cycle
    {
        qint64 index = -1;
        std::vector<double> times;  // event offsets within the cycle, ascending
        std::vector<quint8> levels; // bus bits from that offset on
        Exchange exchange;
    };

    bool configured = false;
    quint8 settings = 0;
    int protocol = Uart;
    double period = 0.02;
    Cycle cache[2];
    int nextSlot = 0;

    const Cycle &cycle(qint64 index);
    void build(Cycle &c, qint64 index) const;
    int counterShift() const { return protocol == Spi ? 6 : 4; }
    double uartBitTime() const;
    int uartBitsPerChar() const;
};

} // namespace quorvelsim
