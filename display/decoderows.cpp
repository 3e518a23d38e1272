#include "decoderows.h"

#include <algorithm>

DecodeRowsLayer::DecodeRowsLayer(QCustomPlot *plot) : QCPLayerable(plot, QString(), nullptr)
{
    // On the top layer, above the traces and the grid.
    if (plot->layer(QStringLiteral("overlay")))
        setLayer(QStringLiteral("overlay"));
}

void DecodeRowsLayer::setContent(const QVector<Row> &rows, const QVector<Band> &bands)
{
    rowList = rows;
    bandList = bands;
}

QString DecodeRowsLayer::fittingText(const QStringList &texts, const QFontMetrics &metrics, int width)
{
    const int room = width - 4;
    if (texts.isEmpty() || room <= 0)
        return QString();
    for (const QString &t : texts)
        if (metrics.horizontalAdvance(t) <= room)
            return t;
    const QString shortest = *std::min_element(texts.begin(), texts.end(),
                                               [](const QString &a, const QString &b) { return a.size() < b.size(); });
    const QString elided = metrics.elidedText(shortest, Qt::ElideRight, room);
    return elided == QStringLiteral("…") || elided.isEmpty() ? QString() : elided;
}

QColor DecodeRowsLayer::rowColor(int row)
{
    static const QColor palette[] = {QColor(0x4e, 0x9a, 0xf0), QColor(0xf0, 0xa0, 0x30), QColor(0x5c, 0xc8, 0x5c),
                                     QColor(0xe0, 0x60, 0xc0), QColor(0x40, 0xd0, 0xd0), QColor(0xe8, 0xe0, 0x40),
                                     QColor(0xa0, 0x80, 0xf0), QColor(0xf0, 0x70, 0x70)};
    return palette[(row % 8 + 8) % 8];
}

void DecodeRowsLayer::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    applyAntialiasingHint(painter, false, QCP::aeOther);
}

QRect DecodeRowsLayer::clipRect() const
{
    return parentPlot()->axisRect() ? parentPlot()->axisRect()->rect() : QCPLayerable::clipRect();
}

void DecodeRowsLayer::draw(QCPPainter *painter)
{
    QCPAxisRect *rect = parentPlot()->axisRect();
    if (!rect || rowList.isEmpty())
        return;
    QCPAxis *x = rect->axis(QCPAxis::atBottom);
    const QRect area = rect->rect();
    const int top = area.bottom() - rowList.size() * RowHeight;
    QFont font = painter->font();
    font.setPixelSize(RowHeight - 4);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    // Row backgrounds and names.
    for (int r = 0; r < rowList.size(); ++r) {
        const QRect band(area.left(), top + r * RowHeight, area.width(), RowHeight);
        painter->fillRect(band, QColor(0, 0, 0, 110));
        painter->setPen(rowList[r].color);
        painter->drawText(band.adjusted(3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, rowList[r].name);
    }
    const int nameWidth = [&] {
        int w = 0;
        for (const Row &row : rowList)
            w = std::max(w, metrics.horizontalAdvance(row.name));
        return w + 8;
    }();
    for (const Band &b : bandList) {
        if (b.row < 0 || b.row >= rowList.size())
            continue;
        int x0 = int(x->coordToPixel(b.x0));
        int x1 = int(x->coordToPixel(b.x1));
        if (x1 < x0)
            std::swap(x0, x1);
        x0 = std::max(x0, area.left() + nameWidth);
        x1 = std::min(x1, area.right());
        if (x1 < x0)
            continue;
        const QRect band(x0, top + b.row * RowHeight + 1, std::max(2, x1 - x0), RowHeight - 2);
        const QColor color = b.error ? QColor(0xe0, 0x30, 0x30) : rowList[b.row].color;
        QColor fill = color;
        fill.setAlpha(90);
        painter->setPen(QPen(color, 1));
        painter->setBrush(fill);
        painter->drawRect(band);
        const QString text = fittingText(b.texts, metrics, band.width());
        if (!text.isEmpty()) {
            painter->setPen(Qt::white);
            painter->drawText(band, Qt::AlignCenter, text);
        }
    }
}
