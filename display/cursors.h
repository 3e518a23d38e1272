#pragma once

#include "display/traces.h"

#include <QList>
#include <QString>

// Measurement cursor arithmetic: the instrument's cursor registers, the volts
// and times the read-outs show, and the generator sweep range read-out.
namespace cursors {

// Markers the mouse can hold, by the identifier the drag code uses.
enum Item {
    HCursorA = 0,
    HCursorB = 1,
    VCursorA = 2,
    VCursorB = 3,
    TriggerMarker = 4,
    WindowMarker1 = 5,
    WindowMarker2 = 6,
    Ch1Zero = 7,
    Ch2Zero = 8,
    NoItem = 9
};
// The order in which a press tests the markers: cursors before zero markers
// before the trigger markers.
constexpr Item HitOrder[] = {HCursorA, HCursorB,      VCursorA,      VCursorB,     Ch1Zero,
                             Ch2Zero,  TriggerMarker, WindowMarker1, WindowMarker2};
// A press selects a marker closer than this many pixels.
constexpr double HitDistance = 8;

// Plot value range of a dragged horizontal cursor.
constexpr int HCursorMin = 8, HCursorMax = 504;
// Relative cursor values: plot value - zero level + frame::ZeroLevelOffset.
constexpr int RelativeMin = 0, RelativeMax = 511;
// The instrument has 128 cursor columns and 128 cursor rows.
constexpr int InstrumentColumns = 128;
constexpr int InstrumentRows = 128;

int clampHCursor(int plotValue);
int clampVCursor(int plotX, int plotColumns);
// Cursor value relative to the channel's zero level, 0..511.
int relativeValue(int plotValue, int zeroLevel);
// Plot value of a stored relative cursor value.
inline int plotValueOfRelative(int relative, int zeroLevel)
{
    return zeroLevel + relative - frame::ZeroLevelOffset;
}

// Instrument column 0..127 of a vertical cursor (registers 15, 16).
int verticalCursorRegister(int vCursor, int plotColumns);
// Instrument row 0..127 (0 at the top) of a relative value (registers 17-20).
int horizontalCursorRegister(int relative);

// Volts of a relative value at the given volts/div number, in that number's unit.
double voltsOfRelative(int relative, double voltsPerDiv);

// A scale text split into its number and unit: "0.2s/div" -> 0.2, "s".
struct ScaleText
{
    double number = 0;
    QString unit;
};
// Time/div text: the number ends at the first 'm', 's' or 'µ'; 'u' in the unit
// is written 'µ'.
ScaleText parseTimeBaseText(const QString &text);
// Volts/div text: the number ends at the first 'm' or 'V'; a text with neither
// ("----") gives 0 and the unit "----".
ScaleText parseGainText(const QString &text);

struct TimeReadout
{
    double deltaT = 0;   // in the time base's unit, rounded to four digits, not negative
    QString deltaTText;  // "ΔT = ..."
    QString inverseText; // "1/ΔT = ..."
};
// ΔT between the vertical cursors, counted in whole instrument columns (a
// sixteenth of a division each), and its inverse: kHz for microsecond time
// bases, Hz for milliseconds and seconds. Equal cursors show "----" for 1/ΔT.
TimeReadout timeReadout(int vCursorA, int vCursorB, int plotColumns, const QString &timeBaseText);

struct VoltReadout
{
    double va = 0, vb = 0, deltaV = 0;
    QString deltaVText, vaText, vbText;
};
VoltReadout voltReadout(int relativeA, int relativeB, const QString &gainText);

// Generator sweep range read-out.
enum class SweepKind { None, Frequency, Amplitude, Offset, DutyCycle };
struct SweepRange
{
    QString start, end, unit;
};
// s and e are the start and end slider values (0..255); sweepRates the table
// indexed by samplingValue. Returns false with SweepKind::None or a sampling
// value outside the table, leaving out unchanged.
bool sweepRange(SweepKind kind, int s, int e, int samplingValue, const QList<int> &sweepRates,
                SweepRange &out);

} // namespace cursors
