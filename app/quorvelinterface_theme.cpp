// Plot themes: pens, background, read-out colours, swatches, history dimming.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "settings/registers.h"
#include "themes/themepalette.h"

#include <QHash>

namespace {
// The colour of the red icons an EXT source keeps.
const char *const ExternalTriggerColor = "#f02a2a";

// A marker image in a colour; the few images and colours in use are kept.
QPixmap tinted(const QString &image, const QColor &color)
{
    static QHash<QString, QImage> made;
    const QString key = image + color.name(QColor::HexArgb);
    auto it = made.find(key);
    if (it == made.end())
        it = made.insert(key, theme::tintedIcon(QImage(image), color));
    return QPixmap::fromImage(*it);
}
} // namespace

void QuorvelInterface::setTheme(int theme, CustomColors *colors)
{
    // The grid modes read the Custom grid colour later: keep the applied table.
    if (theme != theme::Dark && theme != theme::Light && colors && colors != &customColors)
        customColors = *colors;
    plotPalette = theme::palette(theme, &customColors);
    appliedTheme = theme;
    PlotWidget *plot = ui->plotterWidget;
    plot->clearAccumulation(); // persistence drawn with the old pens

    const std::pair<QCPGraph *, const QPen &> graphPens[] = {
        {ch1Graph, plotPalette.ch1},       {ch2Graph, plotPalette.ch2},   {refCh1Graph, plotPalette.refCh1},
        {refCh2Graph, plotPalette.refCh2}, {fftGraph1, plotPalette.fft1}, {fftGraph2, plotPalette.fft2},
    };
    for (const auto &[graph, pen] : graphPens)
        graph->setPen(pen);
    xyCurve->setPen(plotPalette.ch1);
    for (int n = 0; n < logicLines; ++n) {
        logicGraphs[n]->setPen(plotPalette.logic[n]);
        refLogicGraphs[n]->setPen(plotPalette.refLogic[n]);
    }

    // The grid keeps the mode its control shows: "No Grid" stays gridless.
    theme::gridPen(theme, ui->comboBoxGrid->currentIndex(), &customColors, plotPalette.grid);
    plot->xAxis->grid()->setPen(plotPalette.grid);
    plot->yAxis->grid()->setPen(plotPalette.grid);
    for (QCPAxis *axis : {plot->xAxis, plot->yAxis, plot->xAxis2, plot->yAxis2}) {
        axis->setTickPen(plotPalette.axis);
        axis->setSubTickPen(plotPalette.axis);
        axis->setBasePen(plotPalette.axis);
    }

    ui->ch1ColorLabel->setStyleSheet(theme::swatchStyleSheet(plotPalette.ch1.color()));
    ui->ch2ColorLabel->setStyleSheet(theme::swatchStyleSheet(plotPalette.ch2.color()));

    plot->setBackground(plotPalette.background);
    for (QCPItemText *label : {deltaTLabel, inverseDeltaTLabel, deltaVLabel, vbLabel, vaLabel}) {
        label->setColor(plotPalette.labels);
        label->setBrush(plotPalette.background);
    }
    // Each bit label in its line's colour, on the plot's background.
    for (int n = 0; n < logicLines; ++n) {
        bitLabels[n]->setBrush(plotPalette.background);
        bitLabels[n]->setColor(plotPalette.logic[n].color());
    }

    // The legend row under the plot on the plot's background, each channel's
    // text in its colour.
    ui->widget->setStyleSheet(
        QStringLiteral("QWidget#widget { background-color: %1; } QLabel#ch1Label { color: %2; } "
                       "QLabel#ch2Label { color: %3; } QLabel#timeLabel, QToolButton#controlsToggleButton "
                       "{ color: %4; }")
            .arg(plotPalette.background.color().name(), plotPalette.ch1.color().name(),
                 plotPalette.ch2.color().name(), plotPalette.axis.color().name()));
    // Zero markers in their channel's colour, trigger markers in their source's;
    // which markers show does not change here.
    ch1ZeroMarker->setPixmap(tinted(QStringLiteral(":/Bitmaps/Bitmaps/chan1-zero.png"), plotPalette.ch1.color()));
    ch2ZeroMarker->setPixmap(tinted(QStringLiteral(":/Bitmaps/Bitmaps/chan2-zero.png"), plotPalette.ch2.color()));
    const bool markersShown[] = {triggerMarker->visible(), windowMarker1->visible(), windowMarker2->visible()};
    setTriggerIcon(triggerState.iconIndex);
    triggerMarker->setVisible(markersShown[0]);
    windowMarker1->setVisible(markersShown[1]);
    windowMarker2->setVisible(markersShown[2]);

    setSpectrumExtrasColors();
    if (stateLabel)
        showPlotState(); // the state and trigger texts in the new colours
    // The history graphs get the palette's pens, dimmed to intensity 0.
    on_intensitySlider_valueChanged(0);
    plot->replot();
}

QColor QuorvelInterface::triggerSourceColor(int source) const
{
    if (source == trigger::SourceCh1)
        return plotPalette.ch1.color();
    if (source == trigger::SourceCh2)
        return plotPalette.ch2.color();
    if (trigger::isLogicSource(source))
        return plotPalette.logic[source - trigger::FirstLogicSource].color();
    return QColor(ExternalTriggerColor);
}

QPixmap QuorvelInterface::triggerIcon(int source, int icon) const
{
    if (icon < 0 || icon >= triggerIconsCh1.size() || icon >= triggerIconsOther.size())
        return QPixmap();
    if (!trigger::isChannelSource(source) && !trigger::isLogicSource(source))
        return QPixmap(triggerIconsOther.at(icon));
    return tinted(triggerIconsCh1.at(icon), triggerSourceColor(source));
}

void QuorvelInterface::on_intensitySlider_valueChanged(int value)
{
    for (int k = 0; k < historyGraphs; ++k) {
        QPen ch1 = plotPalette.ch1Persist[k];
        QPen ch2 = plotPalette.ch2Persist[k];
        ch1.setColor(theme::dimmedHistoryColor(plotPalette.ch1.color(), value, appliedTheme));
        ch2.setColor(theme::dimmedHistoryColor(plotPalette.ch2.color(), value, appliedTheme));
        ch1PersistGraphs[k]->setPen(ch1);
        ch2PersistGraphs[k]->setPen(ch2);
    }
    redrawRequested = true;
}

void QuorvelInterface::on_comboBoxTheme_activated(int index)
{
    if (startingUp)
        return;
    if (index == theme::Dark || index == theme::Light) {
        setTheme(index, nullptr);
    } else if (index == theme::Custom) {
        // The dialog applies its colours itself, through applyCustomTheme.
        customTheme.loadTheme();
        customTheme.show();
        customTheme.raise();
    }
}
