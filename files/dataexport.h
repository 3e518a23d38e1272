#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include "display/traces.h"

// The frame on screen in forms other programs read: CSV in seconds and volts,
// and a value change dump (VCD) of the eight logic lines.
namespace dataexport {

constexpr int LogicLines = reg::LogicLines;

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
// The header line of csv() with `firstColumns` (each followed by a comma)
// in front, and its rows with `prefix` in front of each.
QByteArray csvHeader(const QByteArray &firstColumns = QByteArray());
void appendCsvRows(QByteArray &out, const Frame &frame, const QByteArray &prefix = QByteArray());

// What of a frame's traces an export takes, and the scales that give it
// meaning: the window's trace switches and sliders, or a capture's settings.
struct TraceExport
{
    bool ch1On = true;
    bool ch2On = true;
    bool logicOn = true;
    bool lineOn[LogicLines] = {true, true, true, true, true, true, true, true};
    int samplingValue = 10; // time base index
    int chdPosition = 3;
    int chdSize = 0;
    int ch1Position = 0;
    int ch2Position = 0;
    int plotColumns = 256;
    QString timeBaseText; // "1ms/div"
    QString ch1GainText;  // "0.64V/div"
    QString ch2GainText;
};
// The export of traces built by frame::buildTraces with the same positions
// and logic placement: the logic bit of a row is set where the line is drawn
// above its low level. CH2 is left out at the fastest time base, where it is
// not drawn.
Frame exportOf(const frame::Traces &traces, const TraceExport &in);

// The logic lines as wires bit0 ... bit7 with changes only where a line
// changes. The time scale is the largest power of ten (1 s down to 1 fs) in
// which every sample time is a whole number.
QByteArray vcd(const Frame &frame, const QDateTime &when, const QString &version);
// The VCD time unit for the frame's sample times, in seconds, and its text.
double vcdTimescale(const Frame &frame, QByteArray *text = nullptr);

// A value change dump of many frames on one time line, written as they come:
// the header (from the first frame), then each frame's changes. Frame n
// starts at the time it arrived (seconds since the capture started, on the
// dump's time unit), or one sample interval after frame n - 1 ended when that
// is later; during the gap every line is 'x', the gap marker. A ninth wire,
// "frame", changes at each frame's first sample: 1 in odd frames, 0 in even
// ones. The value-change section holds time stamps and values only, so every
// reader takes it. The frames share the time scale of the first (a capture
// keeps its time base).
class VcdSequence
{
public:
    static constexpr char FrameWireId = '!' + LogicLines;

    QByteArray header(const Frame &first, const QDateTime &when, const QString &version);
    // Frame text (its gap included). Empty before header(). arrivedSeconds < 0:
    // right after the previous frame.
    QByteArray frame(const Frame &frame, double arrivedSeconds = -1);
    qint64 framesWritten() const { return count; }

private:
    double unit = 0;
    qint64 nextStart = 0; // ticks where the next frame starts
    qint64 count = 0;
};

} // namespace dataexport
