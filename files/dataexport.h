#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// The frame on screen in forms other programs read: CSV in seconds and volts,
// and a value change dump (VCD) of the eight logic lines.
namespace dataexport {

constexpr int LogicLines = 8;

// One frame as drawn, in time order, and the scales that give it meaning.
struct Frame
{
    QVector<double> keys;     // plot x of each row's column
    QVector<double> ch1, ch2; // plot values (position included); empty: channel off
    QVector<quint8> logic;    // bit n = level of line n, one byte per row
    bool lineOn[LogicLines] = {true, true, true, true, true, true, true, true};
    bool logicOn = true;
    int plotColumns = 256;     // the plot's x range: eight divisions
    double secondsPerDiv = 0;  // 0: unknown, times are left out
    double ch1VoltsPerDiv = 0; // 0: unknown gain, the column stays empty
    double ch2VoltsPerDiv = 0;
    double ch1Zero = 256; // plot y of the channel's 0 V
    double ch2Zero = 256;
    QString timeBaseText; // e.g. "1ms/div", for the VCD's comment
};

constexpr double PlotUnitsPerDiv = 64;

// The number and unit of a scale text as the cursor read-outs take them:
// "0.2s/div" -> 0.2 s, "500µs/div" -> 0.0005 s, "80mV/div" -> 0.08 V.
// 0 for a text without a number and a known unit ("----").
double secondsPerDivision(const QString &timeBaseText);
double voltsPerDivision(const QString &gainText);

// Time of a column: eight divisions over the plot's columns. At the
// half-record time bases every second column holds a sample, and the times of
// two rows differ by what the vertical cursors at their columns read.
double columnTime(double key, const Frame &frame);
// Volts of a plot value: divisions above the channel's zero times volts/div.
double volts(double plotValue, double zero, double voltsPerDiv);

// Shortest text that reads back as the same double ("0.1", "3.125e-05").
QByteArray number(double value);

// Decimal places that show every multiple of `step` exactly: the fewest d
// up to 15 for which step * 10^d is a whole number; -1 when there is none
// (or step is not positive).
int decimalsFor(double step);
// The value with `decimals` places ("-1.16", "0.0000625"); a value that
// rounds to zero has no sign. decimals < 0: the shortest round-trip text.
QByteArray fixedNumber(double value, int decimals);

// A plot value changes by two units per sample count.
constexpr double PlotUnitsPerCount = 2;
// The resolution of the CSV's columns: one sample count of a channel, in
// volts, and the time between two rows (one column when there is a single
// row), in seconds.
double voltsPerCount(double voltsPerDiv);
double sampleInterval(const Frame &frame);

// Header "time_s,ch1_V,ch2_V,bit0,...,bit7" and one row per sample; a channel
// that is off, or whose scale is unknown, is an empty column. Times and volts
// are written with the decimals their resolution needs (sampleInterval,
// voltsPerCount): every value is a multiple of it and reads back exactly at
// that resolution.
QByteArray csv(const Frame &frame);

// The logic lines as wires bit0 ... bit7 with changes only where a line
// changes. The time scale is the largest power of ten (1 s down to 1 fs) in
// which every sample time is a whole number.
QByteArray vcd(const Frame &frame, const QDateTime &when, const QString &version);
// The VCD time unit for the frame's sample times, in seconds, and its text.
double vcdTimescale(const Frame &frame, QByteArray *text = nullptr);

} // namespace dataexport
