#include "app/busrowlayer.h"

#include <algorithm>

BusRowLayer::BusRowLayer(QCustomPlot *plot) : QCPLayerable(plot, QStringLiteral("main"))
{
    setObjectName(QStringLiteral("busRow"));
}

void BusRowLayer::setParallel(const QVector<bus::Stretch> &s, const QVector<double> &k, double columns,
                              const bus::Row &r, unsigned m)
{
    stretches = s;
    keys = k;
    step = columns;
    row = r;
    mask = m;
}

void BusRowLayer::setSerial(const QVector<SerialLine> &lines)
{
    serial = lines;
}

void BusRowLayer::clearAll()
{
    stretches.clear();
    serial.clear();
    drawnTexts.clear();
}

void BusRowLayer::setColors(const QColor &line, const QColor &text, const QColor &background)
{
    lineColor = line;
    textColor = text;
    backgroundColor = background;
}

QStringList BusRowLayer::serialTexts() const
{
    QStringList texts;
    for (const SerialLine &l : serial)
        texts << l.text;
    return texts;
}

void BusRowLayer::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    applyAntialiasingHint(painter, true, QCP::aeOther);
}

void BusRowLayer::draw(QCPPainter *painter)
{
    drawnTexts.clear();
    QCPAxis *x = mParentPlot->xAxis;
    QCPAxis *y = mParentPlot->yAxis;
    if (!x || !y)
        return;
    QFont font = painter->font();
    font.setPointSize(8);
    painter->setFont(font);
    const QFontMetricsF metrics(font);

    if (!stretches.isEmpty() && !keys.isEmpty()) {
        const double top = y->coordToPixel(row.high), bottom = y->coordToPixel(row.low);
        const double middle = (top + bottom) / 2;
        painter->setPen(QPen(lineColor, 1));
        for (const bus::Stretch &s : qAsConst(stretches)) {
            if (s.first < 0 || s.last >= keys.size())
                continue;
            // From the first point's column to where the next stretch begins.
            const double left = x->coordToPixel(keys[s.first]);
            const double right = x->coordToPixel(keys[s.last] + step);
            const double bevel = std::min(3.0, (right - left) / 2);
            const QPointF outline[] = {{left, middle},          {left + bevel, top},  {right - bevel, top},
                                       {right, middle},         {right - bevel, bottom}, {left + bevel, bottom}};
            painter->drawPolygon(outline, 6);
            const QString text = bus::hexText(s.value, mask);
            const double width = metrics.horizontalAdvance(text);
            if (!bus::textFits(width, right - left - 2 * bevel))
                continue;
            painter->setPen(textColor);
            painter->drawText(QRectF(left, top - 2, right - left, bottom - top + 4), Qt::AlignCenter, text);
            painter->setPen(QPen(lineColor, 1));
            drawnTexts << text;
        }
    }

    const QRect area = mParentPlot->axisRect()->rect();
    for (const SerialLine &l : qAsConst(serial)) {
        if (l.text.isEmpty())
            continue;
        const double width = metrics.horizontalAdvance(l.text) + 6;
        const double height = metrics.height();
        const QRectF box(area.left() + 2, y->coordToPixel(l.value) - height / 2, width, height);
        painter->fillRect(box, backgroundColor);
        painter->setPen(textColor);
        painter->drawText(box, Qt::AlignCenter, l.text);
    }
}
