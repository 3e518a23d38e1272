// Plot themes: pens, background, read-out colours, swatches, history dimming.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "themes/themepalette.h"

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

    setSpectrumExtrasColors();
    if (stateLabel)
        showPlotState(); // the state and trigger texts in the new colours
    // The history graphs get the palette's pens, dimmed to intensity 0.
    on_intensitySlider_valueChanged(0);
    plot->replot();
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
