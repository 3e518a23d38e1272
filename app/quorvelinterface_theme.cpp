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
    const theme::Palette palette = theme::palette(theme, &customColors);
    appliedTheme = theme;

    ch1Pen = palette.ch1;
    ch2Pen = palette.ch2;
    refCh1Pen = palette.refCh1;
    refCh2Pen = palette.refCh2;
    ch1Graph->setPen(ch1Pen);
    ch2Graph->setPen(ch2Pen);
    refCh1Graph->setPen(refCh1Pen);
    refCh2Graph->setPen(refCh2Pen);
    for (int k = 0; k < historyGraphs; ++k) {
        ch1PersistPens[k] = palette.ch1Persist[k];
        ch2PersistPens[k] = palette.ch2Persist[k];
        ch1PersistGraphs[k]->setPen(ch1PersistPens[k]);
        ch2PersistGraphs[k]->setPen(ch2PersistPens[k]);
    }
    for (int n = 0; n < logicLines; ++n) {
        logicPens[n] = palette.logic[n];
        refLogicPens[n] = palette.refLogic[n];
        logicGraphs[n]->setPen(logicPens[n]);
        refLogicGraphs[n]->setPen(refLogicPens[n]);
    }
    fftPen1 = palette.fft1;
    fftPen2 = palette.fft2;
    fftGraph1->setPen(fftPen1);
    fftGraph2->setPen(fftPen2);

    PlotWidget *plot = ui->plotterWidget;
    gridPen = palette.grid;
    // The grid keeps the mode its control shows: "No Grid" stays gridless.
    theme::gridPen(theme, ui->comboBoxGrid->currentIndex(), &customColors, gridPen);
    plot->xAxis->grid()->setPen(gridPen);
    plot->yAxis->grid()->setPen(gridPen);
    axisPen = palette.axis;
    for (QCPAxis *axis : {plot->xAxis, plot->yAxis, plot->xAxis2, plot->yAxis2}) {
        axis->setTickPen(axisPen);
        axis->setSubTickPen(axisPen);
        axis->setBasePen(axisPen);
    }

    ui->ch1ColorLabel->setStyleSheet(theme::swatchStyleSheet(ch1Pen.color()));
    ui->ch2ColorLabel->setStyleSheet(theme::swatchStyleSheet(ch2Pen.color()));

    plot->setBackground(palette.background);
    for (QCPItemText *label : {deltaTLabel, inverseDeltaTLabel, deltaVLabel, vbLabel, vaLabel})
        label->setColor(palette.labels);

    on_intensitySlider_valueChanged(0);
    plot->replot();
}

void QuorvelInterface::on_intensitySlider_valueChanged(int value)
{
    for (int k = 0; k < historyGraphs; ++k) {
        QPen ch1 = ch1PersistPens[k];
        QPen ch2 = ch2PersistPens[k];
        ch1.setColor(theme::dimmedHistoryColor(ch1Pen.color(), value, appliedTheme));
        ch2.setColor(theme::dimmedHistoryColor(ch2Pen.color(), value, appliedTheme));
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
