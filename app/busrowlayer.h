#pragma once

#include "display/busvalues.h"

#include <qcustomplot.h>

#include <QStringList>
#include <QVector>

// The logic lines read as a bus, drawn on the plot: the Parallel row (a band
// below the lines with the value written in each stretch wide enough for
// it) and the Serial bytes beside each line. One layerable draws them all,
// so a frame costs no item creation however many stretches it has.
class BusRowLayer : public QCPLayerable
{
    Q_OBJECT

public:
    explicit BusRowLayer(QCustomPlot *plot);

    struct SerialLine
    {
        double value = 0; // plot value of the text's middle
        QString text;
    };
    // keys: the drawn points' columns; step: columns between two points.
    void setParallel(const QVector<bus::Stretch> &stretches, const QVector<double> &keys, double step,
                     const bus::Row &row, unsigned mask);
    void setSerial(const QVector<SerialLine> &lines);
    void clearAll();
    void setColors(const QColor &line, const QColor &text, const QColor &background);

    // The values written in the last drawing, left to right, and the serial
    // texts; for tests and for what a user reads.
    QStringList drawnParallelTexts() const { return drawnTexts; }
    QStringList serialTexts() const;
    bool parallelShown() const { return !stretches.isEmpty(); }

protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override;
    void draw(QCPPainter *painter) override;

private:
    QVector<bus::Stretch> stretches;
    QVector<double> keys;
    double step = 1;
    bus::Row row;
    unsigned mask = 0;
    QVector<SerialLine> serial;
    QColor lineColor = Qt::yellow, textColor = Qt::white, backgroundColor = Qt::black;
    QStringList drawnTexts;
};
