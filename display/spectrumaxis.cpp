#include "spectrumaxis.h"

#include "measurements.h"

#include <cmath>

namespace spectrum {

namespace {
int wrapBin(int bin)
{
    bin %= Points;
    return bin < 0 ? bin + Points : bin;
}
} // namespace

Axis axis(int samplingValue, bool iq, int firstBin)
{
    Axis a;
    a.sampleSeconds = measure::secondsPerValue(samplingValue);
    a.valid = a.sampleSeconds > 0;
    a.binHz = a.valid ? 1.0 / (Points * a.sampleSeconds) : 0;
    // The half-record time bases draw every value across two columns.
    a.columnsPerPoint = reg::isSlowTimeBase(samplingValue) ? 1 : 2;
    a.iq = iq;
    a.firstBin = firstBin >= 0 && firstBin < Points ? firstBin : 0;
    return a;
}

int binAt(const Axis &axis, int point)
{
    return axis.iq ? wrapBin(axis.firstBin + point) : point;
}

double binFrequency(const Axis &axis, double bin)
{
    if (axis.iq) {
        const double whole = std::floor(bin);
        int b = wrapBin(int(whole));
        const double signedBin = (b >= Points / 2 ? b - Points : b) + (bin - whole);
        return signedBin * axis.binHz;
    }
    return bin * axis.binHz;
}

double hzPerDivision(const Axis &axis)
{
    return axis.binHz * ColumnsPerDivision / axis.columnsPerPoint;
}

double dbPerDivision()
{
    // 64 plot units per division, 16 per doubling of the magnitude.
    return 4 * 20 * std::log10(2.0);
}

QString frequencyText(double hz, int digits, bool trimmed)
{
    if (!std::isfinite(hz))
        return QStringLiteral("---");
    if (hz == 0)
        return QStringLiteral("0 Hz");
    static const char *const units[] = {"mHz", "Hz", "kHz", "MHz"};
    int unit = 1;
    double value = hz;
    while (std::fabs(value) >= 1000 && unit < 3) {
        value /= 1000;
        ++unit;
    }
    while (std::fabs(value) < 1 && unit > 0) {
        value *= 1000;
        --unit;
    }
    QString number;
    for (;;) {
        int decimals = digits - 1;
        for (double bound = 10; decimals > 0 && std::fabs(value) >= bound; bound *= 10)
            --decimals;
        number = QString::number(value, 'f', decimals);
        // 999.96 rounds to 1000: one prefix up keeps the digits.
        if (std::fabs(number.toDouble()) < 1000 || unit == 3)
            break;
        value /= 1000;
        ++unit;
    }
    if (trimmed && number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QVector<Tick> ticks(const Axis &axis)
{
    QVector<Tick> out;
    if (!axis.valid)
        return out;
    for (int d = 0; d <= AxisDivisions; ++d) {
        const int column = d * ColumnsPerDivision;
        if (column % axis.columnsPerPoint)
            continue;
        const int point = column / axis.columnsPerPoint;
        if (point > OutputPoints)
            break; // no bins drawn there
        const double hz = binFrequency(axis, binAt(axis, point));
        out.append({double(column), hz == 0 ? QStringLiteral("0") : frequencyText(hz, 3, true)});
    }
    return out;
}

QString legendText(const Axis &axis, bool logY)
{
    if (!axis.valid)
        return QStringLiteral("FFT");
    QString text = QStringLiteral("FFT ") + frequencyText(hzPerDivision(axis), 3, true) + QStringLiteral("/div");
    if (logY)
        text += QStringLiteral("  ") + QString::number(dbPerDivision(), 'f', 1) + QStringLiteral(" dB/div");
    return text;
}

double amplitude(double norm, int bin, bool iq, double windowSum)
{
    if (!(norm > 0) || !(windowSum > 0) || !std::isfinite(norm))
        return 0;
    // A real channel is transformed as x + jx: its norm is twice that of x.
    // A real sine shares its amplitude between bin k and bin -k, DC not.
    if (iq)
        return std::sqrt(norm) / windowSum;
    return (bin == 0 ? std::sqrt(norm / 2) : std::sqrt(2 * norm)) / windowSum;
}

double levelDb(double amplitude)
{
    if (!(amplitude > 0))
        return -HUGE_VAL;
    return 20 * std::log10(amplitude / FullScaleAmplitude);
}

Peak findPeak(const Result &result, bool second, const Axis &axis)
{
    Peak peak;
    if (second ? !result.hasSecond : !result.hasFirst)
        return peak;
    const Norms &norms = second ? result.norms2 : result.norms1;
    const int points = second ? result.values2.size() : result.values1.size();
    int best = -1, bestPoint = 0;
    for (int j = 0; j < points; ++j) {
        const int b = binAt(axis, j);
        if (b == 0)
            continue;
        const double n = norms[b];
        // A local maximum only: the slope of the DC line is no peak.
        if (!(n > 0) || n < norms[wrapBin(b - 1)] || n < norms[wrapBin(b + 1)])
            continue;
        if (best < 0 || n > norms[best]) {
            best = b;
            bestPoint = j;
        }
    }
    if (best < 0)
        return peak;
    peak.found = true;
    const double left = norms[wrapBin(best - 1)], mid = norms[best], right = norms[wrapBin(best + 1)];
    double delta = 0, logLevel = std::log(mid);
    if (left > 0 && right > 0) {
        const double a = std::log(left), b = std::log(mid), c = std::log(right);
        const double curve = a - 2 * b + c;
        if (curve < 0) {
            delta = std::max(-0.5, std::min(0.5, 0.5 * (a - c) / curve));
            logLevel = b - 0.25 * (a - c) * delta;
        }
    }
    peak.bin = best + delta;
    peak.point = bestPoint + delta;
    peak.frequency = binFrequency(axis, peak.bin);
    peak.levelDb = levelDb(amplitude(std::exp(logLevel), best, result.iq, result.windowSum));
    return peak;
}

QString peakText(const QString &channel, const Peak &peak)
{
    if (!peak.found)
        return channel + QStringLiteral(" peak ---");
    return channel + QStringLiteral(" peak ") + frequencyText(peak.frequency) + QStringLiteral("  ") +
           QString::number(peak.levelDb, 'f', 1) + QStringLiteral(" dBFS");
}

} // namespace spectrum
