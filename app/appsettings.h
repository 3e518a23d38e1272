#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QSettings;

// The program's own preferences between runs: window size, maximised state,
// theme, the last folder and whether the control panel is hidden, at the top
// level of the "Halvorine Ombrix"/"Settings" store. Read once at start,
// written once at quit.
namespace appsettings {

extern const char *const Organisation; // "Halvorine Ombrix"
extern const char *const Application;  // "Settings"
constexpr int ThemeCount = 3;          // "Dark", "Light", "Custom"

struct Values
{
    int theme = 0;
    QSize size; // invalid when absent or unreadable
    bool wasMaximized = false;
    QString defaultDir;
    bool controlsHidden = false; // the plot alone, without the control panel
    int fftPosition = 0;         // plot units the spectrum is moved up, within +-FftPositionLimit
};

constexpr int FftPositionLimit = 512;

// Absent or unusable keys give the defaults: theme 0, no size, not
// maximised, the home folder, the controls shown.
Values read(const QSettings &store);
// All six keys, whatever they hold.
void write(QSettings &store, const Values &values);

// No window side beyond this is ever applied, whatever the screen: a side of
// tens of thousands of pixels makes a backing store of gigabytes.
constexpr int MaximumSide = 8192;

// The stored size is applied only to a window that was not maximised and
// only when both sides are positive and at most MaximumSide.
bool sizeApplies(const Values &values);

// Whether a window of this size fits the screen's available area (an empty
// area, no screen, bounds it by MaximumSide only). A stored size that does not
// fit is not applied: the window starts at its default size.
bool sizeFits(const QSize &size, const QRect &available);

// Top-left corner that centres a window of the given size on the screen
// rectangle: ((L + R) / 2 - (w - 1) / 2, (T + B) / 2 - (h - 1) / 2) with
// inclusive right and bottom edges, each division truncating toward zero.
QPoint centredTopLeft(const QRect &screen, const QSize &window);

} // namespace appsettings
