#include "generator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quorvelsim {

namespace {

constexpr double AmplitudeStep = 0.03125;   // volts per register 36 count
constexpr double OffsetStep = 0.50016 * 0.03125;
constexpr double DutyStep = 0.39063 / 100.0; // fraction per register 38 count
constexpr double TwoPi = 6.283185307179586;
constexpr double ExpoRate = 5.0;            // time constants per rise or fall

// Frequency sweep scale per time base (hertz per sweep count × 2000, before the /256 or /128).
constexpr int SweepRates[23] = {10, 2000000, 1000000, 500000, 250000, 125000, 62500, 32000,
                                16000000, 8000000, 3200000, 1600000, 800000, 320000, 160000,
                                80000, 32000, 16000, 8000, 3200, 1600, 800, 320};

double fraction(double x) { return x - std::floor(x); }

// Deterministic white noise in -1..1 for a moment of time (100 ns cells).
double hashNoise(double t)
{
    uint64_t x = uint64_t(int64_t(std::floor(t * 1e7))) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    return double(x >> 11) / double(1ull << 52) - 1.0;
}

} // namespace

double Generator::actualFrequency(quint32 hundredths)
{
    const int64_t f = hundredths;
    if (f <= 0)
        return 0.0;
    int64_t c = 64;
    if (f <= 1600000) {
        int64_t limit = 1600000;
        for (int halving = 1; halving <= 6; ++halving) {
            c /= 2;
            if (halving == 6)
                break;
            limit /= 2;
            if (f > limit)
                break;
        }
    }
    const int64_t q = (c * 6250000) / f;
    const int64_t period = (q - 1 >= 31) ? q : 32;
    return double((125000000 / period) * (c * 50)) / 100000.0;
}

void Generator::configure(const quint8 *s, const qint8 *custom)
{
    customWave = custom;
    base.waveform = s[37] > 5 ? 5 : s[37];
    base.amplitude = -double(qint8(s[36])) * AmplitudeStep;
    base.offset = -double(qint8(s[39])) * OffsetStep;
    base.duty = (s[38] == 0 ? 1 : s[38]) * DutyStep;
    const quint32 hundredths = quint32(s[40]) | quint32(s[41]) << 8 | quint32(s[42]) << 16 | quint32(s[43]) << 24;
    base.frequency = actualFrequency(hundredths);
    sweepFlags = s[9];
    sweepStart = s[33];
    sweepEnd = s[34];
    sweepSpeed = s[35] == 0 ? 1 : (s[35] > 127 ? 127 : s[35]);
    timeBaseIndex = s[0] > 21 ? 21 : s[0];
}

double Generator::sweepPosition(double t) const
{
    // One sweep takes (128 - speed) × 20 ms.
    const double period = (128 - sweepSpeed) * 0.02;
    double p = fraction(t / period);
    if (sweepFlags & 0x08) // ping pong
        p = p < 0.5 ? 2.0 * p : 2.0 - 2.0 * p;
    if (sweepFlags & 0x02) // accelerate
        p = (sweepFlags & 0x01) ? 1.0 - (1.0 - p) * (1.0 - p) : p * p;
    if (sweepFlags & 0x04) // direction: from the end down to the start
        p = 1.0 - p;
    return p;
}

Generator::Parameters Generator::parametersAt(double t) const
{
    Parameters p = base;
    if ((sweepFlags & 0xF0) == 0)
        return p;
    const double x = sweepStart + (sweepEnd - sweepStart) * sweepPosition(t);
    if (sweepFlags & 0x10) {
        const int r = SweepRates[timeBaseIndex];
        const double f = timeBaseIndex < 11 ? r / 256 : r / 128;
        p.frequency = x * f / 2000.0 * (timeBaseIndex <= 6 ? 1000.0 : 1.0);
    }
    if (sweepFlags & 0x20)
        p.amplitude = x * 0.015625;
    if (sweepFlags & 0x40)
        p.offset = (255.0 - x) * -OffsetStep + 2.0;
    if (sweepFlags & 0x80)
        p.duty = std::max(1.0, x) * DutyStep;
    return p;
}

double Generator::value(double t) const
{
    return valueWith(parametersAt(t), t);
}

double Generator::valueWith(const Parameters &p, double t) const
{
    if (p.waveform == 0)
        return p.offset + p.amplitude * hashNoise(t);
    const double phase = fraction(t * p.frequency);
    const double d = std::min(std::max(p.duty, 0.001), 0.999);
    double w = 0.0;
    switch (p.waveform) {
    case 1:
        w = std::sin(TwoPi * phase);
        break;
    case 2:
        w = phase < d ? 1.0 : -1.0;
        break;
    case 3:
        w = phase < d ? -1.0 + 2.0 * phase / d : 1.0 - 2.0 * (phase - d) / (1.0 - d);
        break;
    case 4: {
        const double norm = 1.0 - std::exp(-ExpoRate);
        w = phase < d ? -1.0 + 2.0 * (1.0 - std::exp(-ExpoRate * phase / d)) / norm
                      : -1.0 + 2.0 * (std::exp(-ExpoRate * (phase - d) / (1.0 - d)) - std::exp(-ExpoRate)) / norm;
        break;
    }
    default: {
        const int k = std::min(255, int(phase * 256.0));
        w = customWave ? customWave[k] / 127.0 : 0.0;
        break;
    }
    }
    return p.offset + p.amplitude * w;
}

} // namespace quorvelsim
