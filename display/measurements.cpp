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

QString prefixed(double value, const QString &unit)
{
    static const QString prefixes[] = {QString(QChar(0x00B5)), QStringLiteral("m"), QString(),
                                       QStringLiteral("k"), QStringLiteral("M")};
    constexpr int unitIndex = 2;
    constexpr int last = int(sizeof prefixes / sizeof prefixes[0]) - 1;
    const double magnitude = std::fabs(value);
    int index = unitIndex;
    if (magnitude > 0) {
        index = unitIndex + int(std::floor(std::log10(magnitude) / 3));
        index = std::clamp(index, 0, last);
    }
    for (;;) {
        const double scaled = value / std::pow(1000.0, index - unitIndex);
        const QString number = scales::get4Digits(scaled).trimmed();
        // 999.96 rounds to 1000.0: one prefix up keeps four digits.
        if (std::fabs(number.toDouble()) >= 1000 && index < last) {
            ++index;
            continue;
        }
        return number + QLatin1Char(' ') + prefixes[index] + unit;
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
    r.clipped = maximum - scale.zeroLevel >= TopSampleValue || minimum - scale.zeroLevel <= BottomSampleValue;

    const double span = maximum - minimum;
    if (span <= FlatCounts * PlotUnitsPerCount || scale.secondsPerValue <= 0)
        return r;

    // Crossings of the mid level with hysteresis; each crossing's time is
    // interpolated where the trace passes the mid level itself.
    const double mid = (minimum + maximum) / 2;
    const double band = HysteresisCounts * PlotUnitsPerCount;
    enum { Unknown, Low, High } state = Unknown;
    int lastAtOrBelow = -1, lastAtOrAbove = -1;
    double high = 0, lastRise = 0; // time above the mid level so far, in values
    Edges rises, falls;
    for (int i = 0; i < count; ++i) {
        const double v = values[i];
        if (v > mid + band && state != High) {
            if (state == Low) {
                const int j = lastAtOrBelow; // values j+1 .. i are above the mid level
                const double t = j + (mid - values[j]) / (values[j + 1] - values[j]);
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
    const double highValues = (rises.highAtLast - rises.highAtFirst) + (falls.highAtLast - falls.highAtFirst);
    r.hasPeriod = true;
    r.periods = periods;
    r.period = periodValues * scale.secondsPerValue;
    r.frequency = 1.0 / r.period;
    r.duty = std::clamp(highValues / (periodValues * periods), 0.0, 1.0);
    return r;
}

bool channelShown(int channel, bool traceOn, bool xyMode, int samplingValue)
{
    if (!traceOn || xyMode)
        return false;
    return channel == 1 || samplingValue > frame::FastestTimeBase;
}

QString quantityText(double value, const QString &unit)
{
    return prefixed(value, unit);
}

Texts noValueTexts()
{
    const QString none = QLatin1String(NoValue);
    Texts t{none, none, none, QString()};
    t.toolTip = QStringLiteral("Period: ----\nDuty: ----\nRMS: ----");
    return t;
}

Texts texts(const Result &r)
{
    if (!r.valid)
        return noValueTexts();
    const QString none = QLatin1String(NoValue);
    const QString volts = QStringLiteral("V");
    Texts t;
    t.vdc = quantityText(r.vdc, volts);
    t.vpp = quantityText(r.vpp, volts);
    t.frequency = r.hasPeriod ? quantityText(r.frequency, QStringLiteral("Hz")) : none;
    t.toolTip = QStringLiteral("Period: ") + (r.hasPeriod ? quantityText(r.period, QStringLiteral("s")) : none) +
                QStringLiteral("\nDuty: ") +
                (r.hasPeriod ? scales::get4Digits(100 * r.duty).trimmed() + QStringLiteral(" %") : none) +
                QStringLiteral("\nRMS: ") + quantityText(r.rms, volts);
    if (r.clipped)
        t.toolTip += QStringLiteral("\nClipped: the trace reaches the end of the input range");
    return t;
}

} // namespace measure
