#include "bustraffic.h"

#include <algorithm>
#include <cmath>

namespace quorvelsim {

namespace {

constexpr int SdaBit = 0, SclBit = 1;
constexpr int RxBit = 2, TxBit = 3;
constexpr int SsBit = 2, SckBit = 3, MosiBit = 4, MisoBit = 5;
constexpr double MinCycle = 0.020;
constexpr double I2cBitTime = 100e-6; // 10 kHz SCL
constexpr double I2cStart = 1e-3;
constexpr double SpiBitTime = 10e-6;  // 100 kHz SCK
constexpr double SpiStart = 0.5e-3;
constexpr double UartStart = 0.5e-3;
constexpr double CounterRate = 1000.0;
constexpr int BaudRates[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr quint8 I2cAddress = 0x50;

struct Edge
{
    double time;
    int bit;
    int level;
};

} // namespace

void BusTraffic::configure(quint8 lineSettings, quint8 protocolIndex)
{
    const int p = protocolIndex > 2 ? int(Uart) : int(protocolIndex);
    if (configured && lineSettings == settings && p == protocol)
        return;
    configured = true;
    settings = lineSettings;
    protocol = p;
    const double uart = UartStart + (uartMessage(9999).size() + uartReply().size() + 2) * uartBitsPerChar() * uartBitTime();
    period = std::max(MinCycle, uart * 1.2);
    cache[0].index = cache[1].index = -1;
}

double BusTraffic::uartBitTime() const { return 1.0 / BaudRates[settings & 7]; }

int BusTraffic::uartBitsPerChar() const
{
    return 1 + 8 + ((settings & 0x20) ? 1 : 0) + ((settings & 0x80) ? 2 : 1);
}

QByteArray BusTraffic::uartMessage(qint64 cycle)
{
    return QByteArray("T") + QByteArray::number((cycle % 10000 + 10000) % 10000).rightJustified(4, '0') + "\r\n";
}

QByteArray BusTraffic::uartReply() { return QByteArray("OK\r\n"); }

qint64 BusTraffic::cycleIndex(double t) const { return qint64(std::floor(t / period)); }

const BusTraffic::Cycle &BusTraffic::cycle(qint64 index)
{
    for (const Cycle &c : cache)
        if (c.index == index)
            return c;
    Cycle &c = cache[nextSlot];
    nextSlot ^= 1;
    build(c, index);
    return c;
}

const BusTraffic::Exchange &BusTraffic::exchange(qint64 index) { return cycle(index).exchange; }

quint8 BusTraffic::level(double t)
{
    const qint64 n = cycleIndex(t);
    const Cycle &c = cycle(n);
    const double offset = t - n * period;
    const auto it = std::upper_bound(c.times.begin(), c.times.end(), offset);
    const int i = int(it - c.times.begin()) - 1;
    quint8 bits = c.levels[size_t(std::max(0, i))];
    const qint64 counter = qint64(std::floor(t * CounterRate));
    bits |= quint8((quint64(counter) << counterShift()) & 0xFF);
    return bits;
}

double BusTraffic::lineFrequency(int bit)
{
    if (bit < 0 || bit > 7)
        return 0.0;
    const int shift = counterShift();
    if (bit >= shift) // counter bit k toggles every 2^k ms
        return CounterRate / double(2 << (bit - shift));
    const Cycle &c = cycle(0);
    int rising = 0;
    for (size_t i = 1; i < c.levels.size(); ++i)
        if (!(c.levels[i - 1] >> bit & 1) && (c.levels[i] >> bit & 1))
            ++rising;
    return rising / period;
}

void BusTraffic::build(Cycle &c, qint64 n) const
{
    c.index = n;
    c.exchange = Exchange();
    std::vector<Edge> edges;
    edges.reserve(2048);
    quint8 idle = quint8(1 << SdaBit | 1 << SclBit);
    const quint8 tag = quint8(n & 0xFF);

    // I2C: write a register address, then read two bytes back.
    {
        const double q = I2cBitTime / 4;
        double t = I2cStart;
        auto set = [&](double at, int bit, int level) { edges.push_back({at, bit, level}); };
        auto start = [&]() { // SCL low on entry except at the first start
            set(t + q, SdaBit, 1);
            set(t + 2 * q, SclBit, 1);
            set(t + 3 * q, SdaBit, 0);
            set(t + 4 * q, SclBit, 0);
            t += I2cBitTime;
        };
        auto byte = [&](quint8 b, bool ack, bool address) {
            for (int k = 7; k >= 0; --k) {
                set(t + q, SdaBit, b >> k & 1);
                set(t + 2 * q, SclBit, 1);
                set(t + 4 * q, SclBit, 0);
                t += I2cBitTime;
            }
            set(t + q, SdaBit, ack ? 0 : 1);
            set(t + 2 * q, SclBit, 1);
            set(t + 4 * q, SclBit, 0);
            t += I2cBitTime;
            c.exchange.i2cBytes.append(char(b));
            c.exchange.i2cFlags.append(quint8((address ? 2 : 0) | (ack ? 1 : 0)));
        };
        set(t, SdaBit, 0); // start from idle: SDA falls while SCL is high
        set(t + q, SclBit, 0);
        t += 2 * q;
        byte(quint8(I2cAddress << 1), true, true);
        byte(quint8(0x10 + (n & 0x0F)), true, false);
        start();
        byte(quint8(I2cAddress << 1 | 1), true, true);
        byte(quint8(tag * 7), true, false);
        byte(quint8(tag * 13 + 1), false, false);
        set(t + q, SdaBit, 0);
        set(t + 2 * q, SclBit, 1);
        set(t + 3 * q, SdaBit, 1);
        c.exchange.endOffset = t + 4 * q;
    }

    if (protocol == Spi) {
        const bool cpol = settings & 0x08;
        const bool cpha = settings & 0x10;
        idle |= quint8(1 << SsBit | (cpol ? 1 << SckBit : 0) | 1 << MosiBit | 1 << MisoBit);
        const quint8 mosi[4] = {0x9F, tag, 0x5A, 0x00};
        const quint8 miso[4] = {0xFF, 0xC2, 0x20, quint8(tag * 3)};
        double t = SpiStart;
        edges.push_back({t, SsBit, 0});
        t += SpiBitTime;
        for (int i = 0; i < 4; ++i) {
            for (int k = 7; k >= 0; --k) {
                const double dataAt = cpha ? t + SpiBitTime / 8 : t;
                edges.push_back({dataAt, MosiBit, mosi[i] >> k & 1});
                edges.push_back({dataAt, MisoBit, miso[i] >> k & 1});
                if (cpha) {
                    edges.push_back({t, SckBit, !cpol});
                    edges.push_back({t + SpiBitTime / 2, SckBit, cpol});
                } else {
                    edges.push_back({t + SpiBitTime / 2, SckBit, !cpol});
                    edges.push_back({t + SpiBitTime, SckBit, cpol});
                }
                t += SpiBitTime;
            }
            c.exchange.channelA.append(char(mosi[i]));
            c.exchange.channelB.append(char(miso[i]));
        }
        edges.push_back({t + SpiBitTime, SsBit, 1});
        edges.push_back({t + SpiBitTime, MosiBit, 1});
        edges.push_back({t + SpiBitTime, MisoBit, 1});
        c.exchange.endOffset = std::max(c.exchange.endOffset, t + SpiBitTime);
    } else {
        idle |= quint8(1 << RxBit | 1 << TxBit);
        const double bt = uartBitTime();
        const bool parity = settings & 0x20;
        const bool odd = (settings & 0x60) == 0x60;
        const int stopBits = (settings & 0x80) ? 2 : 1;
        auto send = [&](const QByteArray &text, int bit, double t) {
            for (char ch : text) {
                const quint8 b = quint8(ch);
                edges.push_back({t, bit, 0});
                t += bt;
                int ones = 0;
                for (int k = 0; k < 8; ++k) {
                    edges.push_back({t, bit, b >> k & 1});
                    ones += b >> k & 1;
                    t += bt;
                }
                if (parity) {
                    edges.push_back({t, bit, odd ? !(ones & 1) : (ones & 1)});
                    t += bt;
                }
                edges.push_back({t, bit, 1});
                t += bt * stopBits;
            }
            return t;
        };
        const QByteArray rx = uartMessage(n);
        double end = send(rx, RxBit, UartStart);
        end = send(uartReply(), TxBit, end + 2 * bt);
        c.exchange.channelA = rx;
        c.exchange.channelB = uartReply();
        c.exchange.endOffset = std::max(c.exchange.endOffset, end);
    }

    std::stable_sort(edges.begin(), edges.end(), [](const Edge &a, const Edge &b) { return a.time < b.time; });
    c.times.clear();
    c.levels.clear();
    c.times.reserve(edges.size() + 1);
    c.levels.reserve(edges.size() + 1);
    c.times.push_back(0.0);
    c.levels.push_back(idle);
    quint8 now = idle;
    for (const Edge &e : edges) {
        now = quint8(e.level ? (now | 1 << e.bit) : (now & ~(1 << e.bit)));
        if (e.time == c.times.back())
            c.levels.back() = now;
        else {
            c.times.push_back(e.time);
            c.levels.push_back(now);
        }
    }
}

} // namespace quorvelsim
