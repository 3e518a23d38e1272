#pragma once

#include "settings/registers.h" // trigger::TriggerSource

#include <QPointF>
#include <QRect>

// Trigger marker arithmetic: the trigger level, window levels and trigger
// position a drag sets, the register bytes they become, where the markers
// stand for stored values, and which icon shows the trigger type.
//
// Levels are kept in "level units": twice the instrument's level register,
// counted like the sample bytes of a frame (0 at the top of the screen). A
// channel's sample byte s is drawn at plot value position + 2 * (255 - s), so
// a level L sits on the trace at plot value position + 511 - L: between the
// sample the register names and the one above it, where the trace crosses.
namespace trigger {

// Icon indices, by trigger type.
enum Icon { Rising = 0, Falling = 1, Dual = 2, Positive = 3, Negative = 4, Window1 = 5, Window2 = 6 };
// The icon that shows what the instrument does with an inverted source:
// edges and slopes change direction, dual edge and window stay.
int mirroredIcon(int icon);

// Pixel margin that keeps a marker inside the plot, and the marker's x at the
// slow time bases, where it stands at the left edge.
constexpr int EdgeMargin = 16;
constexpr int SlowTimeBaseX = 10;

// Marker pixel for a pointer or a computed point: truncated and kept EdgeMargin
// pixels inside the right and bottom edges of the visible rectangle; x is
// SlowTimeBaseX from the first slow time base on.
QPoint markerPixel(QPointF point, const QRect &visible, int samplingValue);

// Level of a pointer at plot value y over a source drawn at the given position offset.
int levelFromPointer(int plotValue, int position);
// Plot value at which a level sits on a source drawn at the given position.
double plotValueOfLevel(int level, int position);
// The level of a register byte, and the register bytes of levels, are the
// register map's: reg::levelUnits(), reg::triggerLevelRegister(),
// reg::windowLevelRegister().

// Trigger position in samples for a pointer at plot column x: two columns per
// sample, counted from the scroll offset.
int positionFromPointer(int plotX, int scrollValue);
// The trigger-position request's value is reg::postTriggerValue().
// Plot x of a trigger position at the fast time bases.
inline double plotXOfPosition(int triggerPosition, int scrollValue)
{
    return 2.0 * (triggerPosition - scrollValue);
}

// Window levels while one of them is dragged. Level 1 is the upper marker (the
// smaller level): a drag step that would bring the levels closer than
// WindowMinGap or past each other is refused and leaves both as they are.
constexpr int WindowMinGap = 16; // a quarter division, more than a marker's height
constexpr int WindowLevelMin = 128, WindowLevelMax = 384;
struct WindowDrag
{
    bool accepted = false;
    int level = 0; // the dragged level, clamped to WindowLevelMin..WindowLevelMax
};
WindowDrag dragWindowLevel(int which, int candidate, int windowLevel1, int windowLevel2);

} // namespace trigger
