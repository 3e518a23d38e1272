#pragma once

#include "display/spectrumaxis.h"

#include <QColor>
#include <QObject>
#include <QVector>

class QCustomPlot;
class QCPItemText;

// What the plot shows of the spectrum besides its graphs: the frequency of
// every division along the bottom edge, the legend (frequency and dB per
// division) and the peak read-out of each shown spectrum, in its colour.
class SpectrumOverlay : public QObject
{
    Q_OBJECT

public:
    explicit SpectrumOverlay(QCustomPlot *plot);

    void setColors(const QColor &first, const QColor &second, const QColor &labels, const QColor &background);
    // result null: nothing shown.
    void show(const spectrum::Result *result, const spectrum::Axis &axis, bool logY);

    QString legend() const;
    QStringList tickLabels() const; // of the shown ticks, left to right
    QString peak(int k) const;      // 0: first spectrum (CH1 or IQ), 1: CH2; empty when hidden

private:
    QCPItemText *legendText = nullptr;
    QCPItemText *peakTexts[2] = {};
    QVector<QCPItemText *> tickTexts;
};
