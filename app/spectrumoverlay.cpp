#include "app/spectrumoverlay.h"

#include <qcustomplot.h>

namespace {
QCPItemText *addOverlayText(QCustomPlot *plot, const QString &name, Qt::Alignment alignment)
{
    auto *item = new QCPItemText(plot);
    item->setObjectName(name);
    item->setSelectable(false);
    item->setClipToAxisRect(false);
    item->setPositionAlignment(alignment);
    item->setTextAlignment(Qt::AlignLeft);
    item->setPadding(QMargins(3, 1, 3, 1));
    QFont font = item->font();
    font.setPointSize(9);
    item->setFont(font);
    item->setVisible(false);
    return item;
}
} // namespace

SpectrumOverlay::SpectrumOverlay(QCustomPlot *plot) : QObject(plot)
{
    // Top right of the plot, one line below the other.
    legendText = addOverlayText(plot, QStringLiteral("fftLegend"), Qt::AlignRight | Qt::AlignTop);
    legendText->position->setType(QCPItemPosition::ptAxisRectRatio);
    legendText->position->setCoords(1, 0);
    QCPItemAnchor *above = legendText->bottomRight;
    for (int k = 0; k < 2; ++k) {
        peakTexts[k] = addOverlayText(plot, QStringLiteral("fftPeak%1").arg(k + 1), Qt::AlignRight | Qt::AlignTop);
        peakTexts[k]->position->setParentAnchor(above);
        peakTexts[k]->position->setCoords(0, 0);
        above = peakTexts[k]->bottomRight;
    }
    // Along the bottom edge, at the divisions' columns.
    for (int d = 0; d <= spectrum::AxisDivisions; ++d) {
        QCPItemText *tick =
            addOverlayText(plot, QStringLiteral("fftTick%1").arg(d), Qt::AlignHCenter | Qt::AlignBottom);
        tick->position->setTypeX(QCPItemPosition::ptPlotCoords);
        tick->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        tick->position->setCoords(0, 1);
        tickTexts.append(tick);
    }
    // The edge ticks stay inside the plot.
    tickTexts.first()->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
    tickTexts.last()->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
}

void SpectrumOverlay::setColors(const QColor &first, const QColor &second, const QColor &labels,
                                const QColor &background)
{
    QColor plate = background;
    plate.setAlpha(200); // the traces show faintly through the text's plate
    legendText->setColor(labels);
    peakTexts[0]->setColor(first);
    peakTexts[1]->setColor(second);
    for (QCPItemText *t : qAsConst(tickTexts)) {
        t->setColor(labels);
        t->setBrush(QBrush(plate));
    }
    for (QCPItemText *t : {legendText, peakTexts[0], peakTexts[1]})
        t->setBrush(QBrush(plate));
}

void SpectrumOverlay::show(const spectrum::Result *result, const spectrum::Axis &axis, bool logY)
{
    if (!result) {
        legendText->setVisible(false);
        for (QCPItemText *p : peakTexts)
            p->setVisible(false);
        for (QCPItemText *t : tickTexts)
            t->setVisible(false);
        return;
    }
    legendText->setText(spectrum::legendText(axis, logY));
    legendText->setVisible(true);

    const QVector<spectrum::Tick> ticks = spectrum::ticks(axis);
    for (int d = 0; d < tickTexts.size(); ++d) {
        QCPItemText *t = tickTexts[d];
        // A tick per division: its column is the division's.
        const int at = d * spectrum::ColumnsPerDivision;
        const spectrum::Tick *tick = nullptr;
        for (const spectrum::Tick &candidate : ticks)
            if (int(candidate.key) == at)
                tick = &candidate;
        t->setVisible(tick != nullptr);
        if (tick) {
            t->setText(tick->label);
            t->position->setCoords(tick->key, 1);
        }
    }

    const bool shown[2] = {result->hasFirst, result->hasSecond};
    const QString names[2] = {result->iq ? QStringLiteral("IQ") : QStringLiteral("CH1"), QStringLiteral("CH2")};
    int line = 0;
    for (int k = 0; k < 2; ++k) {
        QCPItemText *p = peakTexts[k];
        p->setVisible(shown[k]);
        if (!shown[k])
            continue;
        p->setText(spectrum::peakText(names[k], spectrum::findPeak(*result, k == 1, axis)));
        // A single read-out stands right below the legend.
        p->position->setParentAnchor(line == 0 ? legendText->bottomRight : peakTexts[0]->bottomRight);
        ++line;
    }
}

QString SpectrumOverlay::legend() const
{
    return legendText->visible() ? legendText->text() : QString();
}

QStringList SpectrumOverlay::tickLabels() const
{
    QStringList labels;
    for (const QCPItemText *t : tickTexts)
        if (t->visible())
            labels << t->text();
    return labels;
}

QString SpectrumOverlay::peak(int k) const
{
    if (k < 0 || k > 1 || !peakTexts[k]->visible())
        return QString();
    return peakTexts[k]->text();
}
