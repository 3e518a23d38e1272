#pragma once

#include <QString>
#include <QtGlobal>

// The custom waveform: 256 signed samples, sample 0 first, written by the user
// as comma- or line-separated integers.
namespace customwave {

constexpr int Samples = 256;
// A text file larger than this is not a custom waveform; reading stops here so
// a wrong choice in the file dialog cannot hold the window up.
constexpr qint64 MaxFileBytes = 1024 * 1024;

// Parses `text` into buffer[0 .. n-1], n = min(values in the text, 256), and
// returns n. Line breaks count as commas, empty pieces are skipped, a piece
// that is no 16-bit decimal integer stores 0, each value keeps its low byte,
// and 0x80 is stored as 0x81 (the wave stays symmetric about 0). Bytes from n
// on keep their values.
int parseCSV(const QString &text, unsigned char *buffer);

// The instrument's sample range, symmetric about 0.
constexpr int MinValue = -127;
constexpr int MaxValue = 127;

// The checked reading of a custom waveform text: every piece must be a whole
// decimal number within MinValue..MaxValue. On the first that is not, nothing
// is written to the buffer and `error` names its line (from 1) and text.
// Otherwise the values are stored as parseCSV stores them.
struct Checked
{
    int count = 0; // values stored, at most Samples
    int values = 0; // values in the text (more than Samples: the rest is ignored)
    int line = 0;   // of the refused value
    QString value;  // the refused piece as written
    QString error;  // empty when the text was accepted
};
Checked parseChecked(const QString &text, unsigned char *buffer);
// "One value per line or comma-separated, -127 to 127, up to 256 values."
QString formatHint();

// Reads a custom waveform text file: at most MaxFileBytes, up to the first
// zero byte, as Latin-1.
struct FileText
{
    bool opened = false;    // opened and read
    bool truncated = false; // the file is larger than MaxFileBytes
    QString text;
    QString error; // why the file could not be opened
};
FileText readWaveText(const QString &fileName);

} // namespace customwave
