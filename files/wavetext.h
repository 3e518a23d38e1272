#pragma once

#include <QByteArray>
#include <QVector>

// The wave text (".omx"): ten records "CH1", "CH2", "Bit0" ... "Bit7", each the
// label, a comma, and every value followed by a comma. Records 1 to 9 are
// closed by "<*>" and a line end; record 10 by its last comma. The frame text
// of recordings and the frame log is the wave text followed by "----------".
//
// Numbers are written as printf's %g with precision 6 in the C locale, and read
// back by one rule everywhere: an item is a number when, without the blanks
// around it, it is a whole finite decimal number; anything else reads as 0.
namespace wavefile {

constexpr int RecordCount = 10; // CH1, CH2, Bit0 ... Bit7
constexpr int LogicRecords = 8;
constexpr char RecordMarker[] = "<*>";
constexpr int RecordMarkerLength = 3;
constexpr char FrameSeparator[] = "----------";
constexpr int FrameSeparatorLength = 10;
// Enough for any double in %g form with precision 6 ("-1.23457e-308").
constexpr int MaxNumberLength = 24;

const char *recordLabel(int record);

// The ten vectors of one wave: records[0] CH1, [1] CH2, [2 + n] logic line n.
struct Wave
{
    QVector<double> records[RecordCount];

    bool isEmpty() const;
    void clear();
};

// Read-only view of ten vectors held elsewhere (the window's wave buffer).
struct WaveView
{
    const QVector<double> *records[RecordCount] = {};
    static WaveView of(const Wave &wave);
};

// Writes value in %g form with precision 6 into out (at least MaxNumberLength
// bytes); returns the length. Byte for byte what snprintf("%.6g") gives.
int formatNumber(double value, char *out);
// Reads [begin, end) by the number rule above; ok says whether it was one.
double parseNumber(const char *begin, const char *end, bool *ok = nullptr);
// A whole decimal integer (blanks around it and one sign allowed) that fits an
// int, else 0.
int parseInteger(const char *begin, const char *end, bool *ok = nullptr);

// Appends the wave text (records 1 to 10, no separator).
void appendWaveText(QByteArray &out, const WaveView &wave);
// Appends the frame text: the wave text and the frame separator.
void appendFrameText(QByteArray &out, const WaveView &wave);
QByteArray waveText(const WaveView &wave);
QByteArray frameText(const WaveView &wave);

// The ten records of a text split at every "<*>", the parts that are exactly
// "\n" or "\r" left out. A missing record (fewer than ten parts) stays empty.
struct WaveLoad
{
    Wave wave;
    int records = 0;    // record parts found, at most ten
    qint64 numbers = 0; // items that were numbers; 0 means nothing was readable
};
WaveLoad loadWave(const QByteArray &text);

// Plot values a saved wave can hold: the plot spans 0 to 512 plus the
// positions, so anything this far out is no wave this program wrote (a file
// of 1e308 would make every read-out meaningless).
constexpr double MaxPlotMagnitude = 1e4;
// The first value beyond MaxPlotMagnitude: its record and index, or
// record -1 when every value is within.
struct OutOfRange
{
    int record = -1;
    int index = -1;
    double value = 0;
};
OutOfRange firstOutOfRange(const Wave &wave);

// Splits one record part at every "," and appends items 1 to last as numbers
// when there are at least two items; item 0 (the label) is ignored. Returns the
// count of items that were numbers.
qint64 appendRecordValues(const char *begin, const char *end, QVector<double> &values);

// The first "<*>" in [from, end), or nullptr.
const char *findRecordMarker(const char *from, const char *end);

// The parts of a text split at every "<*>" (a part starts at the text's start
// and after every marker and runs to the next marker or the end), without the
// parts that are exactly "\n" or "\r".
class PartReader
{
public:
    PartReader(const char *from, const char *end) : from(from), end(end) {}
    // The next part; false when none is left.
    bool next(const char **partBegin, const char **partEnd);
    // Where the next part would start; nullptr when the last part was read.
    const char *position() const { return from; }

private:
    const char *from;
    const char *end;
};

} // namespace wavefile
