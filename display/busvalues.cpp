#include "busvalues.h"

#include <algorithm>

namespace bus {

namespace {
constexpr double RowHalfHeight = 6;
} // namespace

QVector<Stretch> parallelStretches(const unsigned char *logic, const QVector<int> &sampleIndex,
                                   unsigned enabledMask)
{
    QVector<Stretch> out;
    enabledMask &= 0xffu;
    for (int p = 0; p < sampleIndex.size(); ++p) {
        const int i = sampleIndex.at(p);
        if (i < 0 || i > frame::MaxSampleIndex)
            continue;
        const unsigned value = logic[i] & enabledMask;
        if (!out.isEmpty() && out.last().value == value && out.last().last == p - 1)
            out.last().last = p;
        else
            out.append({p, p, value});
    }
    return out;
}

QString hexText(unsigned value, unsigned enabledMask)
{
    const int digits = (enabledMask & 0xf0u) ? 2 : 1;
    return QString::number(value & 0xffu, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString serialText(const unsigned char *logic, const QVector<int> &sampleIndex, int line)
{
    QString text;
    if (line < 0 || line >= frame::LogicLines)
        return text;
    unsigned byte = 0;
    int bits = 0;
    for (int i : sampleIndex) {
        if (i < 0 || i > frame::MaxSampleIndex)
            continue;
        byte = (byte << 1) | ((logic[i] >> line) & 1u);
        if (++bits == 8) {
            text += QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            byte = 0;
            bits = 0;
        }
    }
    if (bits > 0)
        text += QString::number(byte << (8 - bits), 16).toUpper().rightJustified(2, QLatin1Char('0'));
    return text;
}

Row parallelRow(int chdPosition)
{
    // Line 0's low level lies 10 above the logic level; the band ends below it
    // and stays on the plot at the lowest position.
    const double centre = std::max(frame::logicLevel(chdPosition), RowHalfHeight);
    return {centre - RowHalfHeight, centre + RowHalfHeight, centre};
}

} // namespace bus
