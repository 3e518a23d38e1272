#pragma once

#include "files/wavetext.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <vector>

// Recordings: a concatenation of frame entries, each the time-base index in
// decimal, "<*>", "\n", and the frame text of the frame taken at that time base.
namespace recording {

// Time-base indices the instrument has (register 0, samplingSlider 0..21).
constexpr int MaxTimeBase = 21;

// Appends one entry: time base, "<*>\n", frame text.
void appendEntry(QByteArray &out, int timeBase, const wavefile::WaveView &frame);

// Writes a recording entry by entry as the frames arrive. Every entry goes to
// the operating system in one write as soon as it is made, so a program that
// is killed loses no complete entry; the bytes on disk are those of the whole
// recording written at once.
class Writer
{
public:
    Writer() = default;
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;
    ~Writer() { finish(); }

    // Creates (or truncates) the file. False when it cannot be opened or is
    // not a regular file (a pipe or device is not waited on).
    bool open(const QString &path);
    // Writes one entry. False when the file is not open or the write failed:
    // the file is then cut back to the entries before this one, so no part
    // of an entry stays, and removed when it was made by open() and holds
    // no entry.
    bool append(int timeBase, const wavefile::WaveView &frame);
    // Closes the file; true when everything was written.
    bool finish();

    bool isOpen() const { return file.isOpen(); }
    QString fileName() const { return path; }
    // Why open() or append() failed, in the system's words.
    QString errorString() const { return error; }
    qint64 entriesWritten() const { return entries; }

private:
    QFile file;
    QString path;
    QString error;
    QByteArray entry; // reused, so an entry allocates nothing once warm
    qint64 entries = 0;
    qint64 wholeBytes = 0; // bytes of the entries written whole
    bool created = false;
    bool failed = false;
};

// A recording read in one pass. It keeps the text and, per entry, its time base
// and where its records start; a frame is decoded when it is asked for, so the
// memory held is the file's size and a small index.
//
// The entries are those of this reading: from the start of the text, the parts
// split at "<*>" (without the parts that are exactly "\n" or "\r") give the
// time base (part 0, 0 when it is not a number) and up to ten records (parts 1
// to 10; a missing record is empty). The next entry starts after the first
// "----------" from the entry's start; without one the text ends. An entry
// needs its time base and at least one record part, so blank or stray text at
// the end adds no frame.
class Recording
{
public:
    static Recording read(const QByteArray &text);

    int size() const { return int(entries.size()); }
    bool isEmpty() const { return entries.empty(); }
    int timeBase(int entry) const { return entries[size_t(entry)].timeBase; }
    // The entry's ten vectors, each ending with the value read from the item
    // after the record's last comma.
    void frame(int entry, wavefile::Wave &out) const;
    wavefile::Wave frame(int entry) const;

    // Whether any entry's time base or record item is a number by the wave
    // text rule. Markers, dashes or text alone make entries by the reading
    // above, but no recording: nothing of them is to be played.
    bool holdsNumbers() const { return numbers; }

    // Bytes held: the text and the index.
    qint64 memoryBytes() const;

private:
    // Decodes an entry into out; the count of items that were numbers.
    qint64 countNumbers(int entry, wavefile::Wave &out) const;

    struct Entry
    {
        qint32 records; // offset of the part after the time base; -1: none
        qint32 timeBase;
    };
    QByteArray text;
    std::vector<Entry> entries;
    bool numbers = false;
};

// Reads what the device holds, up to maxBytes. False when there is more (also
// from a device without an end) or the read fails; out is then unspecified.
enum class ReadResult { Read, TooLarge, Failed };
ReadResult readAtMost(QIODevice &device, qint64 maxBytes, QByteArray &out);

// The time base a played entry sets: the recorded one, kept within the
// instrument's range so that no stray number reaches register 0.
int playableTimeBase(int recorded);

} // namespace recording
