#include "files/dataexport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dataexport {

namespace {

// The number before the unit and the unit itself, "/div" removed.
bool splitScale(const QString &text, const QString &unitStarts, double *value, QString *unit)
{
    int at = 0;
    while (at < text.size() && !unitStarts.contains(text[at]))
        ++at;
    if (at == 0 || at == text.size())
        return false;
    bool ok = false;
    *value = text.left(at).toDouble(&ok);
    *unit = text.mid(at);
    unit->remove("/div");
    unit->replace('u', QChar(0x00B5));
    return ok;
}

int rows(const Frame &frame)
{
    return frame.keys.size();
}

bool channelUsable(const QVector<double> &values, double voltsPerDiv, int rowCount)
{
    return voltsPerDiv > 0 && values.size() >= rowCount;
}

// Decimals of a CSV column whose values should be multiples of `step`: those
// of the step, or -1 (shortest round-trip text) when a value is not one, so
// that no value is written rounded (a loaded wave may hold any value).
template <typename Value>
int columnDecimals(int count, double step, Value value)
{
    const int decimals = decimalsFor(step);
    if (decimals < 0)
        return -1;
    for (int i = 0; i < count; ++i) {
        const double steps = value(i) / step;
        if (std::fabs(steps - std::round(steps)) > 1e-6)
            return -1;
    }
    return decimals;
}

} // namespace

double secondsPerDivision(const QString &timeBaseText)
{
    double value = 0;
    QString unit;
    if (!splitScale(timeBaseText, QString("ms") + QChar(0x00B5), &value, &unit))
        return 0;
    if (unit == "s")
        return value;
    if (unit == "ms")
        return value * 1e-3;
    if (unit == QString(QChar(0x00B5)) + "s")
        return value * 1e-6;
    return 0;
}

double voltsPerDivision(const QString &gainText)
{
    double value = 0;
    QString unit;
    if (!splitScale(gainText, "mV", &value, &unit))
        return 0;
    if (unit == "V")
        return value;
    if (unit == "mV")
        return value * 1e-3;
    return 0;
}

double columnTime(double key, const Frame &frame)
{
    return key * 8 * frame.secondsPerDiv / frame.plotColumns;
}

double volts(double plotValue, double zero, double voltsPerDiv)
{
    return (plotValue - zero) * voltsPerDiv / PlotUnitsPerDiv;
}

QByteArray number(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return QByteArray(text, int(result.ptr - text));
}

int decimalsFor(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return -1;
    double scale = 1;
    for (int d = 0; d <= 15; ++d, scale *= 10) {
        const double scaled = step * scale;
        // A whole number of at least one: an absolute bound, since the
        // step's rounding error stays far below it up to 15 places.
        if (std::round(scaled) >= 1 && std::fabs(scaled - std::round(scaled)) <= 1e-6)
            return d;
    }
    return -1;
}

namespace {

// Room for any number writeNumber() writes: the widest double in fixed
// notation with 15 places.
constexpr int NumberRoom = 400;

// Writes the value as fixedNumber() does at p (NumberRoom bytes free); the end.
char *writeNumber(char *p, double value, int decimals)
{
    if (decimals >= 0 && std::isfinite(value)) {
        static const double halfSteps[16] = {0.5,    0.05,   0.005,   5e-4,    5e-5,    5e-6,    5e-7,    5e-8,
                                             5e-9,   5e-10,  5e-11,   5e-12,   5e-13,   5e-14,   5e-15,   5e-16};
        const double half = decimals < 16 ? halfSteps[decimals] : 0.5 * std::pow(10.0, -decimals);
        if (std::fabs(value) < half)
            value = 0; // no "-0.00"
        const auto result = std::to_chars(p, p + NumberRoom, value, std::chars_format::fixed, decimals);
        if (result.ec == std::errc())
            return result.ptr;
    }
    return std::to_chars(p, p + NumberRoom, value).ptr;
}

} // namespace

QByteArray fixedNumber(double value, int decimals)
{
    char text[NumberRoom];
    return QByteArray(text, int(writeNumber(text, value, decimals) - text));
}

double voltsPerCount(double voltsPerDiv)
{
    return voltsPerDiv * PlotUnitsPerCount / PlotUnitsPerDiv;
}

double sampleInterval(const Frame &frame)
{
    const double columns = rows(frame) > 1 ? std::fabs(frame.keys[1] - frame.keys[0]) : 1;
    return columnTime(columns > 0 ? columns : 1, frame);
}

QByteArray csvHeader(const QByteArray &firstColumns)
{
    QByteArray out = firstColumns;
    if (!out.isEmpty())
        out += ',';
    out += "time_s,ch1_V,ch2_V";
    for (int n = 0; n < LogicLines; ++n)
        out += ",bit" + QByteArray::number(n);
    out += '\n';
    return out;
}

void appendCsvRows(QByteArray &out, const Frame &frame, const QByteArray &prefix)
{
    const int count = rows(frame);
    const bool time = frame.secondsPerDiv > 0;
    const bool ch1 = channelUsable(frame.ch1, frame.ch1VoltsPerDiv, count);
    const bool ch2 = channelUsable(frame.ch2, frame.ch2VoltsPerDiv, count);
    const bool logic = frame.logicOn && frame.logic.size() >= count;
    const int timeDecimals =
        time ? columnDecimals(count, sampleInterval(frame), [&](int i) { return columnTime(frame.keys[i], frame); })
             : -1;
    auto channelDecimals = [&](bool on, const QVector<double> &values, double zero, double voltsPerDiv) {
        return on ? columnDecimals(count, voltsPerCount(voltsPerDiv),
                                   [&](int i) { return volts(values[i], zero, voltsPerDiv); })
                  : -1;
    };
    const int ch1Decimals = channelDecimals(ch1, frame.ch1, frame.ch1Zero, frame.ch1VoltsPerDiv);
    const int ch2Decimals = channelDecimals(ch2, frame.ch2, frame.ch2Zero, frame.ch2VoltsPerDiv);
    // The logic columns of a row are the same text for the same byte.
    bool lineShown[LogicLines];
    for (int n = 0; n < LogicLines; ++n)
        lineShown[n] = logic && frame.lineOn[n];

    // Rows are written into the buffer's free space, grown when a row might
    // not fit, and the buffer is cut to what was written at the end.
    const int rowRoom = prefix.size() + 3 * NumberRoom + 2 * LogicLines + 4;
    qint64 at = out.size();
    out.resize(int(at + qint64(count) * (prefix.size() + 40)));
    for (int i = 0; i < count; ++i) {
        if (out.size() - at < rowRoom)
            out.resize(int(std::max<qint64>(2 * qint64(out.size()), at + rowRoom)));
        char *p = out.data() + at;
        std::memcpy(p, prefix.constData(), size_t(prefix.size()));
        p += prefix.size();
        if (time)
            p = writeNumber(p, columnTime(frame.keys[i], frame), timeDecimals);
        *p++ = ',';
        if (ch1)
            p = writeNumber(p, volts(frame.ch1[i], frame.ch1Zero, frame.ch1VoltsPerDiv), ch1Decimals);
        *p++ = ',';
        if (ch2)
            p = writeNumber(p, volts(frame.ch2[i], frame.ch2Zero, frame.ch2VoltsPerDiv), ch2Decimals);
        const unsigned bits = logic ? frame.logic[i] : 0;
        for (int n = 0; n < LogicLines; ++n) {
            *p++ = ',';
            if (lineShown[n])
                *p++ = (bits >> n) & 1 ? '1' : '0';
        }
        *p++ = '\n';
        at = p - out.constData();
    }
    out.resize(int(at));
}

QByteArray csv(const Frame &frame)
{
    QByteArray out = csvHeader();
    appendCsvRows(out, frame);
    return out;
}

Frame exportOf(const frame::Traces &traces, const TraceExport &in)
{
    Frame out;
    out.keys = traces.keys;
    if (in.ch1On)
        out.ch1 = traces.ch1;
    if (in.ch2On && in.samplingValue > frame::FastestTimeBase)
        out.ch2 = traces.ch2;
    out.logicOn = in.logicOn;
    out.logic.resize(traces.keys.size());
    for (int i = 0; i < out.logic.size(); ++i) {
        quint8 bits = 0;
        for (int n = 0; n < LogicLines; ++n) {
            // A line is drawn at its low level or above it when high.
            const QVector<double> &line = traces.logic[n];
            if (i < line.size() && line[i] > frame::logicValue(false, n, in.chdPosition, in.chdSize))
                bits |= quint8(1u << n);
        }
        out.logic[i] = bits;
    }
    std::copy(in.lineOn, in.lineOn + LogicLines, out.lineOn);
    out.plotColumns = in.plotColumns;
    out.timeBaseText = in.timeBaseText;
    out.secondsPerDiv = secondsPerDivision(in.timeBaseText);
    out.ch1VoltsPerDiv = voltsPerDivision(in.ch1GainText);
    out.ch2VoltsPerDiv = voltsPerDivision(in.ch2GainText);
    out.ch1Zero = frame::zeroLevel(in.ch1Position);
    out.ch2Zero = frame::zeroLevel(in.ch2Position);
    return out;
}

double vcdTimescale(const Frame &frame, QByteArray *text)
{
    static const struct
    {
        double seconds;
        const char *text;
    } units[] = {{1, "1 s"},       {1e-1, "100 ms"},  {1e-2, "10 ms"},   {1e-3, "1 ms"},
                 {1e-4, "100 us"}, {1e-5, "10 us"},   {1e-6, "1 us"},    {1e-7, "100 ns"},
                 {1e-8, "10 ns"},  {1e-9, "1 ns"},    {1e-10, "100 ps"}, {1e-11, "10 ps"},
                 {1e-12, "1 ps"},  {1e-13, "100 fs"}, {1e-14, "10 fs"},  {1e-15, "1 fs"}};
    for (const auto &unit : units) {
        bool whole = true;
        for (int i = 0; i < rows(frame) && whole; ++i) {
            const double ticks = columnTime(frame.keys[i], frame) / unit.seconds;
            whole = std::fabs(ticks - std::round(ticks)) <= 1e-6 * std::max(1.0, std::fabs(ticks));
        }
        if (whole || unit.seconds == 1e-15) {
            if (text)
                *text = unit.text;
            return unit.seconds;
        }
    }
    return 1e-15;
}

QByteArray vcd(const Frame &frame, const QDateTime &when, const QString &version)
{
    QByteArray scaleText;
    const double unit = vcdTimescale(frame, &scaleText);
    QByteArray out;
    out += "$date\n    " + when.toString(Qt::ISODate).toUtf8() + "\n$end\n";
    out += "$version\n    " + version.toUtf8() + "\n$end\n";
    out += "$comment\n    time base " + frame.timeBaseText.toUtf8() + "\n$end\n";
    out += "$timescale " + scaleText + " $end\n";
    out += "$scope module logic $end\n";
    for (int n = 0; n < LogicLines; ++n)
        out += "$var wire 1 " + QByteArray(1, char('!' + n)) + " bit" + QByteArray::number(n) + " $end\n";
    out += "$upscope $end\n$enddefinitions $end\n";

    const int count = rows(frame);
    const bool logic = frame.logicOn && frame.logic.size() >= count;
    auto ticks = [&](int i) { return qint64(std::llround(columnTime(frame.keys[i], frame) / unit)); };
    auto level = [&](int i, int n) -> char {
        if (!logic || !frame.lineOn[n])
            return 'x';
        return (frame.logic[i] >> n) & 1 ? '1' : '0';
    };
    if (count == 0)
        return out;
    out += "#" + QByteArray::number(ticks(0)) + "\n$dumpvars\n";
    for (int n = 0; n < LogicLines; ++n)
        out += level(0, n) + QByteArray(1, char('!' + n)) + "\n";
    out += "$end\n";
    for (int i = 1; i < count; ++i) {
        QByteArray changes;
        for (int n = 0; n < LogicLines; ++n)
            if (level(i, n) != level(i - 1, n))
                changes += level(i, n) + QByteArray(1, char('!' + n)) + "\n";
        if (!changes.isEmpty())
            out += "#" + QByteArray::number(ticks(i)) + "\n" + changes;
    }
    // The last sample lasts one sample interval.
    const qint64 end = count > 1 ? 2 * ticks(count - 1) - ticks(count - 2) : ticks(0) + 1;
    out += "#" + QByteArray::number(end) + "\n";
    return out;
}

QByteArray VcdSequence::header(const Frame &first, const QDateTime &when, const QString &version)
{
    QByteArray scaleText;
    unit = vcdTimescale(first, &scaleText);
    nextStart = 0;
    count = 0;
    QByteArray out;
    out += "$date\n    " + when.toString(Qt::ISODate).toUtf8() + "\n$end\n";
    out += "$version\n    " + version.toUtf8() + "\n$end\n";
    out += "$comment\n    time base " + first.timeBaseText.toUtf8() +
           "; frames one after another, each from the time it arrived (since the capture started), every line x "
           "between two frames; the wire frame changes at each frame's first sample (1 in odd frames, 0 in even "
           "ones)\n$end\n";
    out += "$timescale " + scaleText + " $end\n";
    out += "$scope module logic $end\n";
    for (int n = 0; n < LogicLines; ++n)
        out += "$var wire 1 " + QByteArray(1, char('!' + n)) + " bit" + QByteArray::number(n) + " $end\n";
    out += "$var wire 1 " + QByteArray(1, FrameWireId) + " frame $end\n";
    out += "$upscope $end\n$enddefinitions $end\n";
    return out;
}

QByteArray VcdSequence::frame(const Frame &frame, double arrivedSeconds)
{
    const int rowCount = rows(frame);
    if (unit <= 0 || rowCount == 0)
        return QByteArray();
    const bool logic = frame.logicOn && frame.logic.size() >= rowCount;
    auto ticks = [&](int i) { return qint64(std::llround(columnTime(frame.keys[i], frame) / unit)); };
    auto level = [&](int i, int n) -> char {
        if (!logic || !frame.lineOn[n])
            return 'x';
        return (frame.logic[i] >> n) & 1 ? '1' : '0';
    };
    auto id = [](int n) { return QByteArray(1, char('!' + n)); };
    const qint64 first = ticks(0);
    const qint64 step = rowCount > 1 ? std::max<qint64>(1, ticks(1) - first) : 1;
    // The frame starts when it arrived, or right after the previous frame's
    // gap when that is later (a time line only goes forward).
    if (arrivedSeconds > 0 && std::isfinite(arrivedSeconds)) {
        const double arrived = std::round(arrivedSeconds / unit);
        if (arrived > double(nextStart) && arrived < 9e18)
            nextStart = qint64(arrived);
    }
    // Times of this frame, moved so that its first sample lands on nextStart.
    const qint64 shift = nextStart - first;
    QByteArray out;
    out += "#" + QByteArray::number(nextStart) + "\n";
    if (count == 0)
        out += "$dumpvars\n";
    for (int n = 0; n < LogicLines; ++n)
        out += level(0, n) + id(n) + "\n";
    out += (count % 2 == 0 ? '1' : '0') + QByteArray(1, FrameWireId) + "\n";
    if (count == 0)
        out += "$end\n";
    for (int i = 1; i < rowCount; ++i) {
        QByteArray changes;
        for (int n = 0; n < LogicLines; ++n)
            if (level(i, n) != level(i - 1, n))
                changes += level(i, n) + id(n) + "\n";
        if (!changes.isEmpty())
            out += "#" + QByteArray::number(ticks(i) + shift) + "\n" + changes;
    }
    // The last sample lasts one sample interval; then the gap, one more.
    const qint64 end = (rowCount > 1 ? 2 * ticks(rowCount - 1) - ticks(rowCount - 2) : first + 1) + shift;
    out += "#" + QByteArray::number(end) + "\n";
    for (int n = 0; n < LogicLines; ++n)
        out += "x" + id(n) + "\n";
    nextStart = end + step;
    ++count;
    return out;
}

} // namespace dataexport
