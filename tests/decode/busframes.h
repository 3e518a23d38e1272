#pragma once
// Logic frames of known bus traffic, sampled at a given rate: the bytes put
// in are what a decoder must give back.

#include <QVector>
#include <algorithm>
#include <cmath>
#include <vector>

namespace busframes {

class Lines
{
public:
    Lines(double sampleRate, quint8 idle) : rate(sampleRate), idleLevel(idle) {}
    void set(double t, int bit, int level) { edges.push_back({t, bit, level}); }
    double end = 0; // seconds of traffic; the frame adds idle time after it

    QVector<quint8> sample(double idleAfter = 0) const
    {
        std::vector<Edge> sorted = edges;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Edge &a, const Edge &b) { return a.t < b.t; });
        const int count = int(std::ceil((end + idleAfter) * rate)) + 1;
        QVector<quint8> out(count);
        quint8 now = idleLevel;
        size_t e = 0;
        for (int i = 0; i < count; ++i) {
            const double t = i / rate;
            while (e < sorted.size() && sorted[e].t <= t) {
                now = quint8(sorted[e].level ? now | 1 << sorted[e].bit : now & ~(1 << sorted[e].bit));
                ++e;
            }
            out[i] = now;
        }
        return out;
    }

private:
    struct Edge
    {
        double t;
        int bit;
        int level;
    };
    double rate;
    quint8 idleLevel;
    std::vector<Edge> edges;
};

// UART 8 data bits, LSB first, after a few idle bits. parity: 0 none, 1 odd,
// 2 even; byte `badParity` gets the wrong parity bit, byte `badStop` a low
// stop bit (a framing error).
inline QVector<quint8> uart(double rate, int baud, int bit, const QVector<quint8> &bytes, int parity,
                            int badParity = -1, int badStop = -1)
{
    Lines lines(rate, quint8(0xFF));
    const double bt = 1.0 / baud;
    double t = 3 * bt;
    for (int i = 0; i < bytes.size(); ++i) {
        const quint8 b = bytes[i];
        lines.set(t, bit, 0);
        t += bt;
        int ones = 0;
        for (int k = 0; k < 8; ++k) {
            lines.set(t, bit, b >> k & 1);
            ones += b >> k & 1;
            t += bt;
        }
        if (parity) {
            int p = parity == 1 ? !(ones & 1) : (ones & 1);
            if (i == badParity)
                p = !p;
            lines.set(t, bit, p);
            t += bt;
        }
        lines.set(t, bit, i == badStop ? 0 : 1);
        t += bt;
        lines.set(t, bit, 1);
        t += 2 * bt; // idle between bytes
    }
    lines.end = t;
    return lines.sample(3 * bt);
}

// SPI, MSB first, CS low around the transfer. Mode = cpol * 2 + cpha.
inline QVector<quint8> spi(double rate, double clock, int mode, int cs, int sck, int mosi, int miso,
                           const QVector<quint8> &out, const QVector<quint8> &in)
{
    const bool cpol = mode & 2, cpha = mode & 1;
    Lines lines(rate, quint8(1 << cs | (cpol ? 1 << sck : 0)));
    const double bt = 1.0 / clock;
    double t = 2 * bt;
    lines.set(t, cs, 0);
    t += bt;
    for (int i = 0; i < out.size(); ++i)
        for (int k = 7; k >= 0; --k) {
            // Data changes half a bit before the sampling edge.
            if (!cpha) {
                lines.set(t, mosi, out[i] >> k & 1);
                lines.set(t, miso, in[i] >> k & 1);
                lines.set(t + bt / 2, sck, !cpol); // sampling edge
                lines.set(t + bt, sck, cpol);
            } else {
                lines.set(t, sck, !cpol);
                lines.set(t + bt / 8, mosi, out[i] >> k & 1);
                lines.set(t + bt / 8, miso, in[i] >> k & 1);
                lines.set(t + bt / 2, sck, cpol); // sampling edge
            }
            t += bt;
        }
    lines.set(t + bt, cs, 1);
    lines.end = t + 2 * bt;
    return lines.sample(2 * bt);
}

// I2C: one transaction per call, start, address byte, data bytes, stop.
// acks[i] false: the receiver leaves SDA high after byte i (address = 0).
inline QVector<quint8> i2c(double rate, double clock, int sda, int scl, quint8 address, bool read,
                           const QVector<quint8> &data, const QVector<bool> &acks)
{
    Lines lines(rate, quint8(1 << sda | 1 << scl));
    const double bt = 1.0 / clock, q = bt / 4;
    double t = 2 * bt;
    lines.set(t, sda, 0);
    lines.set(t + q, scl, 0);
    t += 2 * q;
    QVector<quint8> bytes{quint8(address << 1 | (read ? 1 : 0))};
    bytes += data;
    for (int i = 0; i < bytes.size(); ++i) {
        for (int k = 7; k >= 0; --k) {
            lines.set(t + q, sda, bytes[i] >> k & 1);
            lines.set(t + 2 * q, scl, 1);
            lines.set(t + 4 * q, scl, 0);
            t += bt;
        }
        lines.set(t + q, sda, acks.value(i, true) ? 0 : 1);
        lines.set(t + 2 * q, scl, 1);
        lines.set(t + 4 * q, scl, 0);
        t += bt;
    }
    lines.set(t + q, sda, 0);
    lines.set(t + 2 * q, scl, 1);
    lines.set(t + 3 * q, sda, 1);
    lines.end = t + 4 * q;
    return lines.sample(2 * bt);
}

} // namespace busframes
