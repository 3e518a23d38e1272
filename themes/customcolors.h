#pragma once

#include "display/traces.h"

#include <QBrush>
#include <QColor>
#include <QMap>
#include <QString>

// The colour table of a theme, one colour per kind of trace plus grid, axes,
// read-out texts and the plot background, addressable by its table name.
class CustomColors
{
public:
    static constexpr int LogicLines = frame::LogicLines;

    CustomColors();
    CustomColors(const CustomColors &other);
    CustomColors &operator=(const CustomColors &other);

    // The colours of the built-in Dark theme.
    void setDefaults();
    static CustomColors defaults();

    // "BACKGROUND" is the background brush's colour; an unknown name gives an
    // invalid colour.
    QColor colorAt(const QString &name) const;
    // "BACKGROUND" recolours the brush and keeps its style; an unknown name
    // changes nothing.
    void setColor(const QString &name, const QColor &color);

    static QString bitName(int line);
    static QString bitRefName(int line);

    QColor ch1;
    QColor ch1Ref;
    QColor ch2;
    QColor ch2Ref;
    QColor ch1Fft;
    QColor ch2Fft;
    QColor bit[LogicLines];
    QColor bitRef[LogicLines];
    QColor axes;
    QColor grid;
    QColor labels;
    QBrush background;
    // Table name -> the field it names (points into this object).
    QMap<QString, QColor *> colorMap;

private:
    void buildColorMap();
};
