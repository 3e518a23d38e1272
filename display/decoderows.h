#pragma once
// Protocol decoder annotations drawn on the plot: one row per decoder row at
// the bottom of the plot area, under the logic lines, each annotation a band
// from its first to its last sample with as much of its text as fits.

#include <QColor>
#include <QStringList>
#include <QVector>
#include <qcustomplot.h>

class DecodeRowsLayer : public QCPLayerable
{
public:
    struct Row
    {
        QString name; // "uart RX"
        QColor color;
    };
    struct Band
    {
        double x0 = 0, x1 = 0; // plot keys of the first and last sample
        int row = 0;
        QStringList texts;      // longest first
        bool error = false;
    };

    explicit DecodeRowsLayer(QCustomPlot *plot);

    void setContent(const QVector<Row> &rows, const QVector<Band> &bands);
    int rowCount() const { return rowList.size(); }
    const QVector<Band> &bands() const { return bandList; }
    // Pixel height of one row.
    static constexpr int RowHeight = 15;

    // The text of a band `width` pixels wide: the longest of `texts` that
    // fits, else the shortest elided; empty when not even that fits.
    static QString fittingText(const QStringList &texts, const QFontMetrics &metrics, int width);
    // A colour per row index, distinct for neighbouring rows.
    static QColor rowColor(int row);

protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override;
    void draw(QCPPainter *painter) override;
    QRect clipRect() const override;

private:
    QVector<Row> rowList;
    QVector<Band> bandList;
};
