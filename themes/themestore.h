#pragma once

#include <QColor>
#include <QString>

class CustomColors;
class QSettings;

// The stored Custom theme: 26 colour names and a marker saying a theme was
// saved, at the top level of the "Halvorine Ombrix"/"Theme" store.
namespace themestore {

extern const char *const Organisation; // "Halvorine Ombrix"
extern const char *const Application;  // "Theme"
extern const char *const MarkerKey;    // "isThemeSet"
constexpr int MarkerValue = 509;       // a theme has been saved

// True when the store holds a saved theme; its colours are then read into
// colors (a missing or unreadable colour text gives that entry's colour of
// the default table, the background a solid brush of its colour). False
// leaves colors as they are.
bool load(QSettings &store, CustomColors &colors);

// Writes the 26 colour names, then the marker.
void save(QSettings &store, const CustomColors &colors);

} // namespace themestore

namespace theme {

// Weighted brightness of a colour, 0..255, truncated: green, red, then blue.
int luma(const QColor &color);

// "#ffffff" when white text reads better on the colour, else "#000000":
// white up to a brightness of 150, black from 151.
QString idealForegroundColor(const QColor &background);

} // namespace theme
