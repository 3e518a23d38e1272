#include "cursors.h"

#include "scales.h"
#include "settings/registers.h"

#include <QChar>

#include <algorithm>
#include <cmath>

namespace cursors {

namespace {
const QChar Micro(0x00B5);
const QString NoValue = QStringLiteral("----");
constexpr double ColumnsPerDivision = 16; // instrument columns per time division
constexpr double StepsPerDivision = 16;   // instrument rows per volts division
constexpr int ZeroRow = 63;               // relative value 252..255 is 0 V
constexpr int LastMicrosecondTimeBase = 6;

// Number up to the first of the stop characters, unit the rest without "/div".
ScaleText splitScale(const QString &text, const QString &stops)
{
    ScaleText out;
    int cut = -1;
    for (int i = 0; i < text.size(); ++i) {
        if (stops.contains(text.at(i))) {
            cut = i;
            break;
        }
    }
    if (cut < 0)
        return out;
    out.number = text.left(cut).toDouble();
    out.unit = text.mid(cut);
    out.unit.remove(QStringLiteral("/div"));
    return out;
}

QString number6(double x)
{
    return QString::number(x, 'g', 6);
}
} // namespace

int clampHCursor(int plotValue)
{
    return std::clamp(plotValue, HCursorMin, HCursorMax);
}

int clampVCursor(int plotX, int plotColumns)
{
    return std::clamp(plotX, 0, std::max(0, plotColumns - 1));
}

int relativeValue(int plotValue, int zeroLevel)
{
    return std::clamp(plotValue - zeroLevel + frame::ZeroLevelOffset, RelativeMin, RelativeMax);
}

int verticalCursorRegister(int vCursor, int plotColumns)
{
    if (plotColumns <= 0)
        return 0;
    const int column = int(std::floor(double(vCursor) * InstrumentColumns / plotColumns));
    return std::clamp(column, 0, InstrumentColumns - 1);
}

int horizontalCursorRegister(int relative)
{
    return InstrumentRows - 1 - std::clamp(relative, RelativeMin, RelativeMax) / 4;
}

double voltsOfRelative(int relative, double voltsPerDiv)
{
    // Floor, also for the values of a trace that runs below the screen.
    return (std::floor(relative / 4.0) - ZeroRow) * voltsPerDiv / StepsPerDivision;
}

ScaleText parseTimeBaseText(const QString &text)
{
    ScaleText out = splitScale(text, QStringLiteral("ms") + Micro);
    out.unit.replace(QLatin1Char('u'), Micro);
    return out;
}

ScaleText parseGainText(const QString &text)
{
    ScaleText out = splitScale(text, QStringLiteral("mV"));
    if (out.unit.isEmpty()) {
        out.number = 0;
        out.unit = NoValue;
    }
    return out;
}

TimeReadout timeReadout(int vCursorA, int vCursorB, int plotColumns, const QString &timeBaseText)
{
    const ScaleText scale = parseTimeBaseText(timeBaseText);
    TimeReadout out;
    const int columns =
        verticalCursorRegister(vCursorB, plotColumns) - verticalCursorRegister(vCursorA, plotColumns);
    double deltaT = columns * scale.number / ColumnsPerDivision;
    // The read-out shows four digits; the inverse is taken of what is shown.
    deltaT = std::fabs(scales::get4Digits(deltaT).toDouble());
    out.deltaT = deltaT;
    out.deltaTText = QStringLiteral("ΔT = ") + scales::get4Digits(deltaT) + QLatin1Char(' ') + scale.unit;

    QString inverse = NoValue;
    if (deltaT > 0) {
        // µs gives kHz and ms gives Hz with the same 1000 / ΔT; seconds give Hz.
        const bool seconds = scale.unit == QLatin1String("s");
        const bool micro = scale.unit.startsWith(Micro);
        const double f = (seconds ? 1.0 : 1000.0) / deltaT;
        inverse =
            scales::get4Digits(f) + QLatin1Char(' ') + (micro ? QStringLiteral("kHz") : QStringLiteral("Hz"));
    }
    out.inverseText = QStringLiteral("1/ΔT = ") + inverse;
    return out;
}

VoltReadout voltReadout(int relativeA, int relativeB, const QString &gainText)
{
    const ScaleText scale = parseGainText(gainText);
    VoltReadout out;
    out.va = voltsOfRelative(relativeA, scale.number);
    out.vb = voltsOfRelative(relativeB, scale.number);
    out.deltaV = out.vb - out.va;
    const QString unit = QLatin1Char(' ') + scale.unit;
    out.deltaVText = QStringLiteral("ΔV = ") + scales::get4Digits(out.deltaV) + unit;
    out.vaText = QStringLiteral("Va = ") + scales::get4Digits(out.va) + unit;
    out.vbText = QStringLiteral("Vb = ") + scales::get4Digits(out.vb) + unit;
    return out;
}

bool sweepRange(SweepKind kind, int s, int e, int samplingValue, const QList<int> &sweepRates,
                SweepRange &out)
{
    switch (kind) {
    case SweepKind::None:
        return false;
    case SweepKind::Frequency: {
        if (samplingValue < 0 || samplingValue >= sweepRates.size())
            return false;
        const int rate = sweepRates.at(samplingValue);
        const int f = !reg::isSlowTimeBase(samplingValue) ? rate / 256 : rate / 128;
        out.start = number6(double(s) * f / 2000);
        out.end = number6(double(e) * f / 2000);
        out.unit = samplingValue > LastMicrosecondTimeBase ? QStringLiteral("Hz") : QStringLiteral("kHz");
        return true;
    }
    case SweepKind::Amplitude:
        out.start = number6(s * 0.015625);
        out.end = number6(e * 0.015625);
        out.unit = QStringLiteral("V");
        return true;
    case SweepKind::Offset:
        out.start = number6((255 - s) * -0.50016 * 0.03125 + 2.0);
        out.end = number6((255 - e) * -0.50016 * 0.03125 + 2.0);
        out.unit = QStringLiteral("V");
        return true;
    case SweepKind::DutyCycle:
        out.start = number6(s * 0.39063);
        out.end = number6(e * 0.39063);
        out.unit = QStringLiteral("%");
        return true;
    }
    return false;
}

} // namespace cursors
