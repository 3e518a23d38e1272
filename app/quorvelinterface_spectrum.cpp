// The spectrum's frequency scale, legend and peak read-out, the Average
// setting, the FFT position, the colour-graded persistence switch and the
// logic bus rows (Parallel and Serial).
#include "app/appsettings.h"
#include "app/busrowlayer.h"
#include "app/quorvelinterface.h"
#include "app/radiochoices.h"
#include "app/spectrumoverlay.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "display/scales.h"
#include "settings/registers.h"

#include <algorithm>

namespace {
unsigned mix(unsigned h, int value)
{
    return (h ^ unsigned(value)) * 16777619u;
}

void rangeOf(const QVector<double> &values, double &low, double &high)
{
    if (values.isEmpty())
        return;
    const auto [lo, hi] = std::minmax_element(values.constBegin(), values.constEnd());
    low = *lo;
    high = *hi;
}
} // namespace

void QuorvelInterface::setupSpectrumExtras(QCustomPlot *plot)
{
    spectrumOverlay = new SpectrumOverlay(plot);
    busRow = new BusRowLayer(plot);

    ui->verticalSlider_8->setRange(-appsettings::FftPositionLimit, appsettings::FftPositionLimit);
    ui->verticalSlider_8->setToolTip(QStringLiteral("Moves the spectrum up and down"));
    ui->comboBoxAverage->setToolTip(
        QStringLiteral("Shows the mean of the last 1, 2, 4 or 8 frames, sample by sample; it starts again when "
                       "the time base, volts/div, a position, the trigger or the mode changes. "
                       "No effect in roll mode"));
    ui->checkBox_21->setToolTip(
        QStringLiteral("With Persistence on, colours each point by how often the traces passed through it: "
                       "from blue (rarely) through green and yellow to red (every frame)"));
    // A change shows on the frame drawn again at once, not only on the next one.
    const auto redraw = [this] {
        redrawRequested = true;
        plotData();
    };
    connect(ui->verticalSlider_8, &QSlider::valueChanged, this, redraw);
    connect(ui->comboBoxAverage, qOverload<int>(&QComboBox::currentIndexChanged), this, redraw);
    connect(ui->checkBox_21, &QCheckBox::toggled, this, redraw);
    connect(ui->checkBox, &QCheckBox::toggled, this, redraw);
    connect(ui->checkBox_2, &QCheckBox::toggled, this, redraw);
}

void QuorvelInterface::setSpectrumExtrasColors()
{
    if (!spectrumOverlay)
        return;
    const QColor background = plotPalette.background.color();
    spectrumOverlay->setColors(plotPalette.fft1.color(), plotPalette.fft2.color(), plotPalette.labels, background);
    busRow->setColors(plotPalette.logic[0].color(), plotPalette.labels, background);
}

void QuorvelInterface::averageTraces()
{
    TraceAverager::Conditions c;
    c.timeBase = ui->samplingSlider->value();
    c.ch1Gain = ui->ch1GainSlider->value();
    c.ch2Gain = ui->ch2GainSlider->value();
    c.ch1Position = ui->ch1PositionSlider->value();
    c.ch2Position = ui->ch2PositionSlider->value();
    c.scroll = ui->horizontalScrollBar->value();
    c.rollMode = ui->rollMode->isChecked();
    unsigned t = 2166136261u;
    for (int v : {int(choices::checked(*ui, choices::triggerModes, reg::Free)),
                  int(choices::checked(*ui, choices::triggerTypes, reg::Dual)), int(ui->checkBoxCircular->isChecked()),
                  ui->comboBoxTrigSource->currentIndex(), triggerState.level, triggerState.windowLevel1,
                  triggerState.windowLevel2, triggerState.position})
        t = mix(t, v);
    c.trigger = t;
    unsigned m = 2166136261u;
    for (bool v : {ui->xyMode->isChecked(), ui->checkBoxCH1Invert->isChecked(), ui->checkBoxCH2Invert->isChecked(),
                   ui->checkBoxCH1Math->isChecked(), ui->checkBoxCH2Math->isChecked(),
                   ui->radioButtonCH1Sub->isChecked(), ui->radioButtonCH2Sub->isChecked(),
                   ui->checkBoxCH1Average->isChecked(), ui->checkBoxCH2Average->isChecked(),
                   deviceMode == frame::SnifferFrames})
        m = mix(m, v);
    c.mode = m;

    traceAverager.apply(traces.ch1, traces.ch2, c,
                        TraceAverager::depthOfIndex(ui->comboBoxAverage->currentIndex()));
    if (traceAverager.count() < 2)
        return;
    // The extremes follow the averaged traces.
    rangeOf(traces.ch1, traces.ch1Min, traces.ch1Max);
    rangeOf(traces.ch2, traces.ch2Min, traces.ch2Max);
    if (ui->radioButtonCursorCH1->isChecked())
        rangeOf(traces.ch1, traces.cursorMin, traces.cursorMax);
    else if (ui->radioButtonCursorCH2->isChecked())
        rangeOf(traces.ch2, traces.cursorMin, traces.cursorMax);
}

void QuorvelInterface::showSpectrumExtras(const drawing::Options &options, const spectrum::Result *spectrumPoints)
{
    if (!spectrumOverlay)
        return;
    const bool shown = spectrumPoints && options.fftTrace && !options.xyMode;
    const spectrum::Axis axis = shown ? spectrum::axis(options.samplingValue, spectrumPoints->iq,
                                                       spectrumPoints->firstBin)
                                      : spectrum::Axis();
    const bool logY = ui->checkBoxLogY->isChecked();
    spectrumOverlay->show(shown ? spectrumPoints : nullptr, axis, logY);
    QString legend = scales::timeLabel(timeBaseTexts, ui->samplingSlider->value());
    if (shown)
        legend += QStringLiteral("   ") + spectrum::legendText(axis, logY);
    ui->timeLabel->setText(legend);
}

void QuorvelInterface::showBusRows(const drawing::Options &options)
{
    if (!busRow)
        return;
    busRow->clearAll();
    if (options.xyMode || !options.chdTrace)
        return;
    const unsigned char *logic = frameBuffer + frame::LogicOffset;
    unsigned mask = 0;
    for (int n = 0; n < frame::LogicLines; ++n)
        if (options.chdBitEnabled[n])
            mask |= 1u << n;
    if (ui->checkBox->isChecked() && mask) {
        const double step = traces.keys.size() > 1 ? traces.keys[1] - traces.keys[0] : 1;
        busRow->setParallel(bus::parallelStretches(logic, traces.sampleIndex, mask), traces.keys, step,
                            bus::parallelRow(ui->chdPositionSlider->value()), mask);
    }
    if (ui->checkBox_2->isChecked()) {
        QVector<BusRowLayer::SerialLine> lines;
        for (int n = 0; n < frame::LogicLines; ++n)
            if (options.chdBitEnabled[n])
                lines.append({traces.bitLabelY[n], bus::serialText(logic, traces.sampleIndex, n)});
        busRow->setSerial(lines);
    }
}
