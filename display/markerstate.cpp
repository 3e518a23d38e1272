#include "display/markerstate.h"

#include "display/cursors.h"
#include "display/traces.h"
#include "display/triggermarkers.h"

namespace cursors {

std::optional<reg::RegisterWrite> CursorState::dragHorizontal(bool a, int plotY, reg::HorizontalCursors on)
{
    const int value = clampHCursor(plotY);
    (a ? hCursorA : hCursorB) = value;
    if (on == reg::NoHorizontalCursors)
        return std::nullopt;
    const bool ch1 = on == reg::Ch1Cursors;
    int &relative = a ? relativeA(ch1) : relativeB(ch1);
    relative = relativeValue(value, zero(ch1));
    const quint16 index = ch1 ? (a ? reg::Ch1HCursorA : reg::Ch1HCursorB) : (a ? reg::Ch2HCursorA : reg::Ch2HCursorB);
    return reg::RegisterWrite{index, quint8(horizontalCursorRegister(relative))};
}

reg::RegisterWrite CursorState::dragVertical(bool a, int plotX, int plotColumns)
{
    int &column = a ? vCursorA : vCursorB;
    column = clampVCursor(plotX, plotColumns);
    return {a ? reg::VCursorA : reg::VCursorB, quint8(verticalCursorRegister(column, plotColumns))};
}

void CursorState::follow(bool ch1, int a, int b)
{
    relativeA(ch1) = a + frame::ZeroLevelOffset - zero(ch1);
    relativeB(ch1) = b + frame::ZeroLevelOffset - zero(ch1);
}

} // namespace cursors

namespace trigger {

bool MarkerState::dragWindowLevel(int which, int candidate)
{
    const WindowDrag drag = trigger::dragWindowLevel(which, candidate, windowLevel1, windowLevel2);
    if (!drag.accepted)
        return false;
    (which == 0 ? windowLevel1 : windowLevel2) = drag.level;
    return true;
}

reg::RegisterWrite MarkerState::dropLevel(int which)
{
    if (which == 2) {
        const int byte = reg::triggerLevelRegister(level);
        level = reg::levelUnits(byte);
        return {reg::TriggerLevel, quint8(byte)};
    }
    int &window = which == 0 ? windowLevel1 : windowLevel2;
    const int byte = reg::windowLevelRegister(window);
    window = reg::levelUnits(byte);
    return {which == 0 ? reg::WindowLevel1 : reg::WindowLevel2, quint8(byte)};
}

} // namespace trigger
