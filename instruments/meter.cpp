#include "instruments/meter.h"

#include "display/scales.h"
#include "settings/registers.h"

#include <cmath>

namespace meter {

namespace {
constexpr quint8 ModeVpp = 0x41, ModeVdc = 0x81, ModeFrequency = 0x01, ModePulse = 0xC1;
constexpr int NegativeFromHigh = 100;
constexpr double MillivoltsPerCount = 1.25;
} // namespace

quint8 modeValue(int subPage, bool pulse)
{
    switch (subPage) {
    case Vpp:
        return ModeVpp;
    case Vdc:
        return ModeVdc;
    default:
        return pulse ? ModePulse : ModeFrequency;
    }
}

int pollInterval(int subPage, bool pulse)
{
    switch (subPage) {
    case Vpp:
        return VppIntervalMs;
    case Vdc:
        return 0;
    default:
        return pulse ? PulseIntervalMs : FrequencyIntervalMs;
    }
}

Volts decodeVolts(quint8 lo, quint8 hi)
{
    Volts r;
    r.negative = hi >= NegativeFromHigh;
    r.counts = r.negative ? (255 - hi) * 256 + 256 - lo : hi * 256 + lo;
    // Whole millivolts: the fraction of the product is dropped.
    r.volts = double(qint64(r.counts * MillivoltsPerCount)) / 1000;
    return r;
}

QString voltsText(const Volts &reading)
{
    const QString sign = reading.negative ? QStringLiteral("-") : QStringLiteral(" ");
    return sign + scales::get4Digits(reading.volts) + QLatin1Char('V');
}

QString dcVoltsText(double volts)
{
    Volts reading;
    reading.volts = std::fabs(volts);
    reading.negative = volts < 0 && scales::get4Digits(reading.volts).toDouble() > 0;
    return voltsText(reading);
}

QString counterText(const unsigned char reply[ReplyLength], bool pulse)
{
    const quint32 raw =
        quint32(reply[0]) | quint32(reply[1]) << 8 | quint32(reply[2]) << 16 | quint32(reply[3]) << 24;
    return counterText(qint32(raw), pulse);
}

QString counterText(qint32 count, bool pulse)
{
    // Digit group by digit group, so a negative count shows zeros and a count
    // of 10^8 or more widens the first group.
    qint64 n = count;
    QString text;
    for (qint64 d : {10000000, 1000000, 100000, 10000, 1000, 100, 10}) {
        const qint64 q = n / d;
        text += q > 0 ? QString::number(q) : QStringLiteral("0");
        n -= q * d;
        if (d == 1000)
            text += QLatin1Char('.');
    }
    text += n > 0 ? QString::number(n) : QStringLiteral("0");
    return text + (pulse ? QStringLiteral("k") : QStringLiteral("kHz"));
}

QString clearedCounterText(bool pulse)
{
    return pulse ? QStringLiteral("00000.000k") : QStringLiteral("00000.000kHz");
}

QString clearedVoltsText()
{
    return QStringLiteral("  0.000V");
}

int sourceBit(int source)
{
    if (trigger::isLogicSource(source))
        return source - trigger::FirstLogicSource;
    return -1;
}

} // namespace meter
