#include "measurements.h"

#include "scales.h"
#include "traces.h"

#include <QChar>

#include <algorithm>
#include <cmath>

namespace measure {

const char *const NoValue = "----";

namespace {
// The numbers of the scale tables' texts (display/scales).
constexpr double VoltsPerDivTable[scales::GainCount - 1] = {5.12, 2.56, 1.28, 0.64, 0.32, 0.16, 0.08};
constexpr double SecondsPerDivTable[scales::TimeBaseCount] = {
    8e-6, 16e-6, 32e-6, 64e-6, 128e-6, 256e-6, 500e-6, 1e-3, 2e-3, 5e-3, 10e-3,
    20e-3, 50e-3, 0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 50.0};
constexpr double HalfRecordValuesPerDiv = 16;
constexpr double WholeRecordValuesPerDiv = 32;

// Crossings of one direction: first and last time (in value indices), how
// many, and the time above the mid level accumulated up to the first and last.
struct Edges
{
    int count = 0;
    double first = 0, last = 0;
    double highAtFirst = 0, highAtLast = 0;

    void add(double t, double highSoFar)
    {
        if (count == 0) {
            first = t;
            highAtFirst = highSoFar;
        }
        last = t;
        highAtLast = highSoFar;
        ++count;
    }
    int periods() const { return count > 1 ? count - 1 : 0; }
};

constexpr int PrefixCount = 5;
constexpr int UnitPrefix = 2; // index of no prefix

QString prefixText(int index)
{
    static const QString prefixes[PrefixCount] = {QString(QChar(0x00B5)), QStringLiteral("m"), QString(),
                                                  QStringLiteral("k"), QStringLiteral("M")};
    return prefixes[index];
}

// Four significant digits in the prefix that keeps the number below 1000,
// none finer than `resolution` (0: any); "----" beyond the largest prefix.
QString prefixed(double value, const QString &unit, double resolution)
{
    constexpr int last = PrefixCount - 1;
    if (!std::isfinite(value))
        return QLatin1String(NoValue);
    if (resolution > 0)
        value = std::round(value / resolution) * resolution + 0.0; // no "-0"
    const double magnitude = std::fabs(value);
    int index = UnitPrefix;
    if (magnitude > 0) {
        index = UnitPrefix + int(std::floor(std::log10(magnitude) / 3));
        index = std::clamp(index, 0, last);
    }
    // Digits finer than the resolution cannot be shown: a prefix whose
    // unit is finer than it moves up.
    if (resolution > 0) {
        const int coarsest = UnitPrefix + int(std::floor(std::log10(resolution) / 3 + 1e-9)) + 1;
        index = std::clamp(std::max(index, coarsest), 0, last);
    }
    for (;;) {
        const double unitSize = std::pow(1000.0, index - UnitPrefix);
        const double scaled = value / unitSize;
        const double scaledMagnitude = std::fabs(scaled);
        if (scaledMagnitude >= 1000 && index == last)
            return QLatin1String(NoValue);
        int decimals = 3;
        if (scaledMagnitude >= 999.95)
            decimals = 0;
        else if (scaledMagnitude >= 99.995)
            decimals = 1;
        else if (scaledMagnitude >= 9.9995)
            decimals = 2;
        if (resolution > 0) {
            const int allowed = std::max(0, -int(std::floor(std::log10(resolution / unitSize) + 1e-9)));
            decimals = std::min(decimals, allowed);
        }
        const QString number = QString::number(scaled, 'f', decimals);
        // 999.96 rounds to 1000.0: one prefix up keeps four digits.
        if (std::fabs(number.toDouble()) >= 1000 && index < last) {
            ++index;
            continue;
        }
        if (std::fabs(number.toDouble()) >= 10000)
            return QLatin1String(NoValue);
        return number + QLatin1Char(' ') + prefixText(index) + unit;
    }
}
} // namespace

double voltsPerDivision(int gainIndex)
{
    if (gainIndex < 0 || gainIndex >= int(sizeof VoltsPerDivTable / sizeof VoltsPerDivTable[0]))
        return 0;
    return VoltsPerDivTable[gainIndex];
}

double secondsPerDivision(int samplingValue)
{
    if (samplingValue < 0 || samplingValue >= scales::TimeBaseCount)
        return 0;
    return SecondsPerDivTable[samplingValue];
}

double secondsPerValue(int samplingValue)
{
    const double perDiv = reg::isSlowTimeBase(samplingValue) ? WholeRecordValuesPerDiv
                                                                         : HalfRecordValuesPerDiv;
    return secondsPerDivision(samplingValue) / perDiv;
}

Scale channelScale(int positionSlider, int gainIndex, int samplingValue)
{
    Scale scale;
    scale.zeroLevel = frame::zeroLevel(positionSlider);
    scale.voltsPerDiv = voltsPerDivision(gainIndex);
    scale.secondsPerValue = secondsPerValue(samplingValue);
    return scale;
}

Result trace(const double *values, int count, const Scale &scale)
{
    Result r;
    if (!values || count <= 0)
        return r;
    r.valid = true;

    double minimum = values[0], maximum = values[0], sum = 0, sumOfSquares = 0;
    for (int i = 0; i < count; ++i) {
        const double v = values[i];
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
        sum += v;
        const double volts = voltsOf(v, scale);
        sumOfSquares += volts * volts;
    }
    r.minimum = voltsOf(minimum, scale);
    r.maximum = voltsOf(maximum, scale);
    r.vpp = r.maximum - r.minimum;
    r.vdc = voltsOf(sum / count, scale);
    r.rms = std::sqrt(sumOfSquares / count);
    r.clippedHigh = maximum - scale.zeroLevel >= TopSampleValue;
    r.clippedLow = minimum - scale.zeroLevel <= BottomSampleValue;
    r.clipped = r.clippedHigh || r.clippedLow;
    r.countVolts = scale.voltsPerDiv * PlotUnitsPerCount / PlotUnitsPerDivision;

    const double span = maximum - minimum;
    if (span <= FlatCounts * PlotUnitsPerCount || scale.secondsPerValue <= 0)
        return r;

    // Crossings of the mid level with hysteresis; each crossing's time is
    // interpolated where the trace passes the mid level itself.
    const double mid = (minimum + maximum) / 2;
    const double band = std::max(HysteresisCounts * PlotUnitsPerCount, HysteresisOfSpan * span);
    enum { Unknown, Low, High } state = Unknown;
    int lastAtOrBelow = -1, lastAtOrAbove = -1;
    double high = 0, lastRise = 0; // time above the mid level so far, in values
    Edges rises, falls;
    // The longest and shortest interval between two crossings of one
    // direction: how cleanly the period repeats.
    double shortest = 0, longest = 0, previousRise = 0, previousFall = 0;
    const auto interval = [&](const Edges &edges, double t, double previous) {
        if (edges.count == 0)
            return;
        const double length = t - previous;
        if (shortest == 0 && longest == 0)
            shortest = longest = length;
        shortest = std::min(shortest, length);
        longest = std::max(longest, length);
    };
    for (int i = 0; i < count; ++i) {
        const double v = values[i];
        if (v > mid + band && state != High) {
            if (state == Low) {
                const int j = lastAtOrBelow; // values j+1 .. i are above the mid level
                const double t = j + (mid - values[j]) / (values[j + 1] - values[j]);
                interval(rises, t, previousRise);
                previousRise = t;
                rises.add(t, high);
                lastRise = t;
            }
            state = High;
        } else if (v < mid - band && state != Low) {
            if (state == High) {
                const int j = lastAtOrAbove;
                const double t = j + (values[j] - mid) / (values[j] - values[j + 1]);
                if (rises.count > 0)
                    high += t - lastRise;
                interval(falls, t, previousFall);
                previousFall = t;
                falls.add(t, high);
            }
            state = Low;
        }
        if (v <= mid)
            lastAtOrBelow = i;
        if (v >= mid)
            lastAtOrAbove = i;
    }

    // Rises and falls each span whole periods; both spans together average
    // over everything on screen. Rises and falls alternate, so the time above
    // the mid level within a span is what accumulated between its two ends.
    const int periods = rises.periods() + falls.periods();
    if (periods == 0)
        return r;
    const double periodValues =
        ((rises.last - rises.first) + (falls.last - falls.first)) / periods;
    if (periodValues <= 0)
        return r;
    // Noise crosses at random intervals; a signal's period repeats. One
    // period alone shows no repetition: only a large trace is trusted then.
    const double spread = std::max(PeriodSpread * periodValues, 1.0);
    if (longest - periodValues > spread || periodValues - shortest > spread)
        return r;
    if (periods < SmallTracePeriods && span < SinglePeriodCounts * PlotUnitsPerCount)
        return r;
    const double highValues = (rises.highAtLast - rises.highAtFirst) + (falls.highAtLast - falls.highAtFirst);
    r.hasPeriod = true;
    r.periods = periods;
    r.period = periodValues * scale.secondsPerValue;
    r.frequency = 1.0 / r.period;
    r.samplesPerPeriod = periodValues;
    r.duty = std::clamp(highValues / (periodValues * periods), 0.0, 1.0);
    return r;
}

bool channelShown(int channel, bool traceOn, bool xyMode, int samplingValue)
{
    // XY draws both channels as one curve, whatever their Trace boxes say.
    if (!traceOn && !xyMode)
        return false;
    return channel == 1 || samplingValue > frame::FastestTimeBase;
}

QString quantityText(double value, const QString &unit)
{
    return prefixed(value, unit, 0);
}

QString quantityText(double value, const QString &unit, double resolution)
{
    return prefixed(value, unit, resolution);
}

Texts noValueTexts()
{
    const QString none = QLatin1String(NoValue);
    Texts t{none, none, none, QString()};
    t.toolTip = QStringLiteral("Period: ----\nDuty: ----\nRMS: ----");
    return t;
}

bool aliasSuspected(const Result &r)
{
    return r.hasPeriod && r.samplesPerPeriod < AliasSamplesPerPeriod;
}

double voltsResolution(double countVolts)
{
    if (!(countVolts > 0) || !std::isfinite(countVolts))
        return 0;
    return std::pow(10.0, std::floor(std::log10(countVolts / 10) + 1e-9));
}

Texts texts(const Result &r)
{
    if (!r.valid)
        return noValueTexts();
    const QString none = QLatin1String(NoValue);
    const QString volts = QStringLiteral("V");
    const double resolution = voltsResolution(r.countVolts);
    Texts t;
    t.vdc = quantityText(r.vdc, volts, resolution);
    t.vpp = quantityText(r.vpp, volts, resolution);
    t.frequency = r.hasPeriod ? quantityText(r.frequency, QStringLiteral("Hz")) : none;
    t.toolTip = QStringLiteral("Period: ") + (r.hasPeriod ? quantityText(r.period, QStringLiteral("s")) : none) +
                QStringLiteral("\nDuty: ") +
                (r.hasPeriod ? scales::get4Digits(100 * r.duty).trimmed() + QStringLiteral(" %") : none) +
                QStringLiteral("\nRMS: ") + quantityText(r.rms, volts, resolution);
    if (r.clipped) {
        // The true peak lies beyond the input range: VPP is at least what
        // shows, VDC is off toward the clipped end.
        t.vppWarning = t.vdcWarning = true;
        if (t.vpp != none)
            t.vpp.prepend(QLatin1Char('>'));
        if (t.vdc != none)
            t.vdc.prepend(r.clippedHigh && r.clippedLow ? QLatin1Char('~')
                                                        : r.clippedHigh ? QLatin1Char('>') : QLatin1Char('<'));
        t.toolTip += QStringLiteral("\nClipped: the trace reaches the end of the input range; "
                                    "VPP and VDC are not the signal's. Choose a larger V/div.");
    }
    if (aliasSuspected(r) && t.frequency != none) {
        t.frequencyWarning = true;
        t.frequency = QLatin1Char('~') + t.frequency + QLatin1Char('?');
        t.toolTip += QStringLiteral("\nFewer than four samples per period: the frequency may be an alias. "
                                    "Choose a faster time base.");
    }
    return t;
}

} // namespace measure
