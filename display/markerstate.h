#pragma once

#include "settings/registers.h"
#include "settings/registerwriter.h"

#include <optional>

// Where the plot's markers stand, as plain state: the measurement cursors and
// channel zero levels, and the trigger marker's position and levels. The
// drag and drop functions move a marker and return the register write the
// instrument needs for it; the window places the marker pixmaps from here.
namespace cursors {

struct CursorState
{
    int vCursorA = 50, vCursorB = 150; // plot x of the vertical cursors, 0..plotColumns - 1
    // Horizontal cursors relative to the channel's zero level:
    // plot value - zero + frame::ZeroLevelOffset, 0..511.
    int ch1CursorA = 200, ch1CursorB = 100, ch2CursorA = 200, ch2CursorB = 100;
    int ch1Zero = 256, ch2Zero = 256;   // plot value of a channel's 0 V
    int hCursorA = 200, hCursorB = 100; // plot value of the horizontal cursors while dragged

    int zero(bool ch1) const { return ch1 ? ch1Zero : ch2Zero; }
    int &relativeA(bool ch1) { return ch1 ? ch1CursorA : ch2CursorA; }
    int &relativeB(bool ch1) { return ch1 ? ch1CursorB : ch2CursorB; }

    // Horizontal cursor A or B dragged to plot value `plotY`: the register of
    // the channel the cursors are on, none when they are on no channel.
    std::optional<reg::RegisterWrite> dragHorizontal(bool a, int plotY, reg::HorizontalCursors on);
    // Vertical cursor A or B dragged to plot x `plotX`.
    reg::RegisterWrite dragVertical(bool a, int plotX, int plotColumns);
    // Automatic and tracking cursors: the channel's cursors follow plot values
    // a and b (nothing is written; the instrument runs the same modes).
    void follow(bool ch1, int a, int b);
};

} // namespace cursors

namespace trigger {

struct MarkerState
{
    int position = 128; // trigger sample, 0..255 plus the scroll offset
    // Levels in level units, twice the register (display/triggermarkers.h).
    int level = 256, windowLevel1 = 200, windowLevel2 = 312;
    int iconIndex = 0; // the trigger type; the icon shown mirrors it for an inverted source

    // Window level 0 or 1 dragged to `candidate`: false when the levels would pass each other.
    bool dragWindowLevel(int which, int candidate);
    // A level marker let go: which 2 the trigger level, 0 and 1 the window
    // levels. The level snaps to what its register holds, so the marker stands
    // where the instrument triggers.
    reg::RegisterWrite dropLevel(int which);
};

} // namespace trigger
