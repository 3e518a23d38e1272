#pragma once

#include "display/decayhistory.h"
#include "display/traces.h"

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPen>

class CustomColors;

// The pens, background and read-out colour of a plot theme. References are
// drawn dashed, live traces solid.
namespace theme {

enum Theme { Dark = 0, Light = 1, Custom = 2 };
enum GridMode { NoGrid = 0, Dots = 1, Lines = 2, Full = 3 };

constexpr int LogicLines = frame::LogicLines;
constexpr int HistoryGraphs = DecayHistory::GraphCount;
constexpr double TraceWidth = 2;
constexpr double LogicWidth = 1.5;

struct Palette
{
    QPen ch1;
    QPen ch2;
    QPen refCh1;
    QPen refCh2;
    QPen ch1Persist[HistoryGraphs];
    QPen ch2Persist[HistoryGraphs];
    QPen logic[LogicLines];
    QPen refLogic[LogicLines];
    QPen fft1;
    QPen fft2;
    QPen grid;
    QPen axis;
    QBrush background;
    QColor labels;
};

// Solid line, square cap, bevel join, solid brush of the colour.
QPen makePen(const QColor &color, double width, Qt::PenStyle style = Qt::SolidLine);

// Dark and Light ignore colors; any other theme reads them (null: defaults).
Palette palette(int theme, const CustomColors *colors);

// Grid pen of a grid mode in a theme's grid colour; false for a theme outside
// 0..2 (nothing to change).
bool gridPen(int theme, int gridMode, const CustomColors *colors, QPen &pen);

// The decay-history colour at an intensity 0..10: the trace colour's hue and
// saturation, its lightness moved towards 0.05 (mirrored on the Light theme).
QColor dimmedHistoryColor(const QColor &trace, int intensity, int theme);

// Whether dark text reads better than white on the colour.
bool isLightColor(const QColor &color);

// A marker icon (a coloured badge around a grey symbol) in another colour:
// the badge takes the colour, keeping its shading; the symbol is dark on a
// light colour and white on a dark one; transparency stays. An icon whose
// badge has the colour already comes back as it is.
QImage tintedIcon(const QImage &icon, const QColor &color);

// "QLabel { background-color : #rrggbb; }"
QString swatchStyleSheet(const QColor &color);

} // namespace theme
