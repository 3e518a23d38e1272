#include "triggermarkers.h"

#include <algorithm>

namespace trigger {

namespace {
constexpr int TopLevel = 511; // level units of plot value 0 at position 0
constexpr int LastPlotColumn = 255;

// Clamp that stays defined when the rectangle is narrower than two margins.
int clampInside(int v, int low, int high)
{
    return high < low ? low : std::clamp(v, low, high);
}
} // namespace

int mirroredIcon(int icon)
{
    switch (icon) {
    case Rising:
        return Falling;
    case Falling:
        return Rising;
    case Positive:
        return Negative;
    case Negative:
        return Positive;
    default:
        return icon;
    }
}

QPoint markerPixel(QPointF point, const QRect &visible, int samplingValue)
{
    const int x = clampInside(int(point.x()), EdgeMargin, visible.right() - EdgeMargin);
    const int y = clampInside(int(point.y()), EdgeMargin, visible.bottom() - EdgeMargin);
    return {reg::isSlowTimeBase(samplingValue) ? SlowTimeBaseX : x, y};
}

int levelFromPointer(int plotValue, int position)
{
    return TopLevel - plotValue + position;
}

double plotValueOfLevel(int level, int position)
{
    return position + TopLevel - level;
}

int positionFromPointer(int plotX, int scrollValue)
{
    return scrollValue + std::clamp(plotX, 0, LastPlotColumn) / 2;
}

WindowDrag dragWindowLevel(int which, int candidate, int windowLevel1, int windowLevel2)
{
    WindowDrag out;
    out.level = std::clamp(candidate, WindowLevelMin, WindowLevelMax);
    if (which == 0)
        out.accepted = out.level <= windowLevel2 - WindowMinGap;
    else
        out.accepted = out.level >= windowLevel1 + WindowMinGap;
    return out;
}

} // namespace trigger
