#include "files/recording.h"

#include "files/fileaccess.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>

namespace recording {

using wavefile::FrameSeparator;
using wavefile::FrameSeparatorLength;
using wavefile::RecordMarkerLength;

void appendEntry(QByteArray &out, int timeBase, const wavefile::WaveView &frame)
{
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, timeBase);
    out.append(digits, int(result.ptr - digits));
    out.append(wavefile::RecordMarker, RecordMarkerLength);
    out.append('\n');
    wavefile::appendFrameText(out, frame);
}

bool Writer::open(const QString &name)
{
    finish();
    path = name;
    entries = 0;
    wholeBytes = 0;
    failed = false;
    created = false;
    error.clear();
    // Unbuffered: each entry is handed to the system by the write that makes it.
    return fileaccess::openForWriting(file, path, true, &created, &error) == fileaccess::OpenResult::Opened;
}

bool Writer::append(int timeBase, const wavefile::WaveView &frame)
{
    if (!file.isOpen() || failed)
        return false;
    entry.clear();
    appendEntry(entry, timeBase, frame);
    errno = 0;
    if (file.write(entry) != entry.size()) {
        const int code = errno;
        // A full disk takes part of the entry: cut it off, so the reader
        // finds only whole entries; a file that got none goes.
        failed = true;
        // The system's words: a short write leaves the file's own error unset.
        error = file.error() != QFileDevice::NoError ? file.errorString()
                                                     : fileaccess::systemErrorText(code ? code : ENOSPC);
        file.resize(wholeBytes);
        if (entries == 0 && created) {
            file.close();
            QFile::remove(path);
        }
        return false;
    }
    wholeBytes += entry.size();
    ++entries;
    return true;
}

bool Writer::finish()
{
    if (!file.isOpen())
        return !failed;
    file.close();
    if (file.error() != QFileDevice::NoError && !failed) {
        failed = true;
        error = file.errorString();
    }
    return !failed;
}

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

bool isMarkerAt(const char *p, const char *end)
{
    return end - p >= RecordMarkerLength && p[0] == '<' && p[1] == '*' && p[2] == '>';
}

// The time base of an entry by the integer rule of the wave text, reading
// forward only and stopping at the first character that breaks the form, so
// that a long malformed part costs no more than its readable start.
int readTimeBase(const char *p, const char *end, bool *isNumber)
{
    *isNumber = false;
    while (p < end && isBlank(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    const char *digits = p;
    long long value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > 2147483648LL)
            return 0; // beyond an int
    }
    if (p == digits)
        return 0;
    while (p < end && isBlank(*p))
        ++p;
    if (p != end)
        return 0;
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return 0;
    *isNumber = true;
    return int(value);
}

// First "<*>" at or after a position. Entries are read front to back and every
// query lies past the previous query, so one remembered answer keeps the
// searches from covering any stretch of the text twice.
class MarkerFinder
{
public:
    explicit MarkerFinder(const char *end) : end(end) {}
    const char *at(const char *p)
    {
        if (known && p >= query && (!found || p <= found))
            return found;
        query = p;
        found = wavefile::findRecordMarker(p, end);
        known = true;
        return found;
    }

private:
    const char *end;
    const char *query = nullptr;
    const char *found = nullptr;
    bool known = false;
};

// Whether a part that is not exactly "\n" or "\r" starts at p (the start of a
// part). Only runs of line-end-only parts are walked.
bool hasPartAt(const char *p, const char *end)
{
    while (end - p >= 4 && isLineEnd(p[0]) && isMarkerAt(p + 1, end))
        p += 4;
    // The last part: empty parts count, a lone line end does not.
    return !(end - p == 1 && isLineEnd(*p));
}

} // namespace

Recording Recording::read(const QByteArray &source)
{
    Recording recording;
    recording.text = source;
    const char *begin = source.constData();
    const char *end = begin + source.size();
    MarkerFinder markers(end);
    const char *lastRecordsAt = nullptr;
    bool lastHasRecord = false;

    const char *at = begin;
    while (at < end) {
        // The time base: the first part that is not a lone line end.
        const char *part = at;
        const char *marker = markers.at(part);
        while (((marker ? marker : end) - part == 1) && isLineEnd(*part) && marker) {
            part = marker + RecordMarkerLength;
            marker = markers.at(part);
        }
        const char *partEnd = marker ? marker : end;
        const bool hasTimeBase = !(partEnd - part == 1 && isLineEnd(*part));
        if (hasTimeBase && marker) {
            const char *recordsAt = marker + RecordMarkerLength;
            if (recordsAt != lastRecordsAt) {
                lastRecordsAt = recordsAt;
                lastHasRecord = hasPartAt(recordsAt, end);
            }
            if (lastHasRecord) {
                bool isNumber = false;
                recording.entries.push_back({qint32(recordsAt - begin), readTimeBase(part, partEnd, &isNumber)});
                recording.numbers = recording.numbers || isNumber;
            }
        }

        const void *separator = memmem(at, size_t(end - at), FrameSeparator, FrameSeparatorLength);
        if (!separator)
            break;
        at = static_cast<const char *>(separator) + FrameSeparatorLength;
    }
    recording.entries.shrink_to_fit();
    // Without a time base that is a number, a number in a record. The search
    // ends at the first: a recording's first entry holds one.
    wavefile::Wave values;
    for (int e = 0; e < recording.size() && !recording.numbers; ++e)
        recording.numbers = recording.countNumbers(e, values) > 0;
    return recording;
}

qint64 Recording::countNumbers(int entry, wavefile::Wave &out) const
{
    out.clear();
    const Entry &e = entries[size_t(entry)];
    if (e.records < 0)
        return 0;
    qint64 numbers = 0;
    wavefile::PartReader parts(text.constData() + e.records, text.constData() + text.size());
    const char *partBegin = nullptr, *partEnd = nullptr;
    for (int r = 0; r < wavefile::RecordCount && parts.next(&partBegin, &partEnd); ++r)
        numbers += wavefile::appendRecordValues(partBegin, partEnd, out.records[r]);
    return numbers;
}

void Recording::frame(int entry, wavefile::Wave &out) const
{
    countNumbers(entry, out);
}

wavefile::Wave Recording::frame(int entry) const
{
    wavefile::Wave wave;
    frame(entry, wave);
    return wave;
}

qint64 Recording::memoryBytes() const
{
    return qint64(text.capacity()) + qint64(entries.capacity() * sizeof(Entry));
}

ReadResult readAtMost(QIODevice &device, qint64 maxBytes, QByteArray &out)
{
    constexpr qint64 Chunk = 1 << 20;
    maxBytes =
        std::min(maxBytes, qint64(std::numeric_limits<int>::max()) - 2 * Chunk); // a QByteArray's reach
    out.clear();
    if (!device.isSequential()) {
        if (device.size() - device.pos() > maxBytes)
            return ReadResult::TooLarge;
        // One allocation for the whole file, the last read's room included.
        out.reserve(int(device.size() - device.pos() + Chunk));
    }
    for (;;) {
        const qint64 want = std::min(Chunk, maxBytes + 1 - out.size());
        const int at = out.size();
        out.resize(at + int(want));
        const qint64 got = device.read(out.data() + at, want);
        if (got < 0)
            return ReadResult::Failed;
        out.resize(at + int(got));
        if (out.size() > maxBytes)
            return ReadResult::TooLarge;
        if (got == 0)
            return ReadResult::Read;
    }
}

int playableTimeBase(int recorded)
{
    return std::clamp(recorded, 0, MaxTimeBase);
}

} // namespace recording
