#include "instruments/generator.h"

#include "settings/registers.h"

#include <algorithm>
#include <cmath>

namespace generator {

namespace {
// The instrument's generator timer, as it derives its settings from a request
// of F hundredths: period = prescaler x 6 250 000 / F (at least 32), output =
// (125 000 000 / period) x prescaler x 50 / 100 000 Hz.
constexpr qint64 PeriodScale = 6250000;
constexpr qint64 TimerClock = 125000000;
constexpr qint64 MinPeriod = 32;
// Above this request the largest prescaler is used.
constexpr qint32 TopPrescalerLimit = 1600000;
constexpr int MaxPrescaler = 64;
// From 1000 Hz on the read-out is in kilohertz.
constexpr qint32 KilohertzFrom = 99999;

} // namespace

double roundToDecimals(double x, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(x * scale) / scale;
}

float desiredFrequency(int slider, Range range)
{
    const float s = float(slider);
    switch (range) {
    case Range10:
        return s / 10;
    case Range100:
        return s;
    case Range1K:
        return s * 10;
    case Range10K:
        return s * 100;
    case Range100K:
        return s * 1000;
    }
    return s;
}

int prescalerFor(qint32 hundredths)
{
    if (hundredths > TopPrescalerLimit)
        return MaxPrescaler;
    // Halve the prescaler with the limit until the request lies above it.
    int c = MaxPrescaler;
    qint32 limit = TopPrescalerLimit;
    for (int halvings = 1; halvings <= 6; ++halvings) {
        c /= 2;
        if (halvings == 6)
            break;
        limit /= 2;
        if (hundredths > limit)
            break;
    }
    return c;
}

FrequencyRequest frequencyRequest(double hertz)
{
    FrequencyRequest r;
    if (!(hertz >= reg::DesiredFrequencyRange.min)) // also NaN
        hertz = reg::DesiredFrequencyRange.min;
    hertz = std::min(hertz, reg::DesiredFrequencyRange.max);
    r.hundredths = qint32(reg::encodeDesiredFrequency(hertz));
    r.prescaler = prescalerFor(r.hundredths);
    const qint64 q = r.prescaler * PeriodScale / r.hundredths;
    r.period = q - 1 >= MinPeriod - 1 ? q : MinPeriod;
    r.actualHz = double((TimerClock / r.period) * (r.prescaler * 50)) / 100000.0;
    r.value = quint16(quint32(r.hundredths) >> 16);
    r.index = quint16(quint32(r.hundredths) & 0xFFFF);
    const bool kilo = r.hundredths > KilohertzFrom;
    r.unit = kilo ? QStringLiteral("kHz") : QStringLiteral("Hz");
    r.text = QString::number(kilo ? r.actualHz / 1000 : r.actualHz, 'g', 6);
    return r;
}

} // namespace generator
