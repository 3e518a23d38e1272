#include "files/wavetext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace wavefile {

namespace {

constexpr const char *Labels[RecordCount] = {"CH1",  "CH2",  "Bit0", "Bit1", "Bit2",
                                             "Bit3", "Bit4", "Bit5", "Bit6", "Bit7"};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void trim(const char *&begin, const char *&end)
{
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

// Whole numbers below 10^6 print the same in %g as plain digits; trace values
// are nearly always such numbers, so they skip the general conversion.
constexpr double PlainDigitsLimit = 1e6;

int formatPlainInteger(long value, bool negative, char *out)
{
    char digits[8];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    int length = 0;
    if (negative)
        out[length++] = '-';
    while (n > 0)
        out[length++] = digits[--n];
    return length;
}

} // namespace

const char *recordLabel(int record)
{
    return record >= 0 && record < RecordCount ? Labels[record] : "";
}

bool Wave::isEmpty() const
{
    for (const QVector<double> &r : records)
        if (!r.isEmpty())
            return false;
    return true;
}

void Wave::clear()
{
    for (QVector<double> &r : records)
        r.clear();
}

WaveView WaveView::of(const Wave &wave)
{
    WaveView view;
    for (int i = 0; i < RecordCount; ++i)
        view.records[i] = &wave.records[i];
    return view;
}

int formatNumber(double value, char *out)
{
    const double magnitude = std::fabs(value);
    if (magnitude < PlainDigitsLimit && magnitude == std::floor(magnitude))
        return formatPlainInteger(long(magnitude), std::signbit(value), out);
    // The standard defines this form as printf's %.6g in the C locale.
    const auto result = std::to_chars(out, out + MaxNumberLength, value, std::chars_format::general, 6);
    return int(result.ptr - out);
}

double parseNumber(const char *begin, const char *end, bool *ok)
{
    if (ok)
        *ok = false;
    trim(begin, end);
    if (begin < end && *begin == '+') {
        ++begin;
        if (begin < end && (*begin == '-' || *begin == '+'))
            return 0;
    }
    if (begin == end)
        return 0;

    // Up to 15 digits are exact in a double: the common case without the
    // general conversion.
    const char *p = begin;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    if (p < end && end - p <= 15) {
        long long whole = 0;
        const char *q = p;
        while (q < end && *q >= '0' && *q <= '9')
            whole = whole * 10 + (*q++ - '0');
        if (q == end) {
            if (ok)
                *ok = true;
            const double v = double(whole);
            return negative ? -v : v;
        }
    }

    double value = 0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return 0;
    if (ok)
        *ok = true;
    return value;
}

int parseInteger(const char *begin, const char *end, bool *ok)
{
    if (ok)
        *ok = false;
    trim(begin, end);
    if (begin < end && *begin == '+') {
        ++begin;
        if (begin < end && (*begin == '-' || *begin == '+'))
            return 0;
    }
    int value = 0;
    const auto result = std::from_chars(begin, end, value, 10);
    if (begin == end || result.ec != std::errc() || result.ptr != end)
        return 0;
    if (ok)
        *ok = true;
    return value;
}

void appendWaveText(QByteArray &out, const WaveView &wave)
{
    char number[MaxNumberLength];
    for (int r = 0; r < RecordCount; ++r) {
        out.append(Labels[r]);
        out.append(',');
        if (const QVector<double> *values = wave.records[r]) {
            for (double v : *values) {
                out.append(number, formatNumber(v, number));
                out.append(',');
            }
        }
        if (r + 1 < RecordCount) {
            out.append(RecordMarker, RecordMarkerLength);
            out.append('\n');
        }
    }
}

void appendFrameText(QByteArray &out, const WaveView &wave)
{
    appendWaveText(out, wave);
    out.append(FrameSeparator, FrameSeparatorLength);
}

QByteArray waveText(const WaveView &wave)
{
    QByteArray out;
    appendWaveText(out, wave);
    return out;
}

QByteArray frameText(const WaveView &wave)
{
    QByteArray out;
    appendFrameText(out, wave);
    return out;
}

const char *findRecordMarker(const char *from, const char *end)
{
    // "<*>" cannot overlap itself, so a search from any point finds the same
    // markers as a split of the whole text.
    while (from + RecordMarkerLength <= end) {
        const void *hit = std::memchr(from, '<', size_t(end - from - (RecordMarkerLength - 1)));
        if (!hit)
            return nullptr;
        const char *at = static_cast<const char *>(hit);
        if (at[1] == '*' && at[2] == '>')
            return at;
        from = at + 1;
    }
    return nullptr;
}

bool PartReader::next(const char **partBegin, const char **partEnd)
{
    while (from) {
        const char *marker = findRecordMarker(from, end);
        const char *stop = marker ? marker : end;
        const char *start = from;
        from = marker ? marker + RecordMarkerLength : nullptr;
        const bool lineEndOnly = stop - start == 1 && (*start == '\n' || *start == '\r');
        if (!lineEndOnly) {
            *partBegin = start;
            *partEnd = stop;
            return true;
        }
    }
    return false;
}

qint64 appendRecordValues(const char *begin, const char *end, QVector<double> &values)
{
    const char *comma = static_cast<const char *>(std::memchr(begin, ',', size_t(end - begin)));
    if (!comma)
        return 0; // one item only: the label
    // One item per comma from the label's on: sized once, written in place,
    // so a record of millions of values costs no growth and no per-item checks.
    const int base = values.size();
    values.resize(base + int(std::count(comma, end, ',')));
    double *out = values.data() + base;
    qint64 numbers = 0;
    const char *p = comma + 1;
    for (;;) {
        // Most items are short whole numbers ending at a comma: read them in
        // the same scan that finds the comma. Anything else takes the full rule.
        const char *item = p;
        const bool negative = p < end && *p == '-';
        if (negative)
            ++p;
        const char *digits = p;
        long long whole = 0;
        while (p < end && unsigned(*p - '0') < 10 && p - digits < 15)
            whole = whole * 10 + (*p++ - '0');
        if (p > digits && (p == end || *p == ',')) {
            *out++ = negative ? -double(whole) : double(whole);
            ++numbers;
        } else {
            const char *next = static_cast<const char *>(std::memchr(item, ',', size_t(end - item)));
            p = next ? next : end;
            bool ok = false;
            *out++ = parseNumber(item, p, &ok);
            numbers += ok;
        }
        if (p == end)
            break;
        ++p; // past the comma
    }
    return numbers;
}

OutOfRange firstOutOfRange(const Wave &wave)
{
    OutOfRange out;
    for (int r = 0; r < RecordCount; ++r) {
        const QVector<double> &values = wave.records[r];
        for (int i = 0; i < values.size(); ++i) {
            if (std::fabs(values[i]) > MaxPlotMagnitude) {
                out.record = r;
                out.index = i;
                out.value = values[i];
                return out;
            }
        }
    }
    return out;
}

WaveLoad loadWave(const QByteArray &text)
{
    WaveLoad load;
    PartReader parts(text.constData(), text.constData() + text.size());
    const char *partBegin = nullptr, *partEnd = nullptr;
    while (load.records < RecordCount && parts.next(&partBegin, &partEnd)) {
        load.numbers += appendRecordValues(partBegin, partEnd, load.wave.records[load.records]);
        ++load.records;
    }
    return load;
}

} // namespace wavefile
