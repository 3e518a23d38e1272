// The spectrum's frequency scale, legend and peak read-out, the Average
// setting, the FFT position, the colour-graded persistence switch and the
// logic bus rows (Parallel and Serial).
#include "app/appsettings.h"
#include "app/busrowlayer.h"
#include "app/quorvelinterface.h"
#include "app/spectrumoverlay.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "display/scales.h"
#include "settings/registers.h"



void QuorvelInterface::setupSpectrumExtras(QCustomPlot *plot)
{
    bindViewOptions(); // before the redraws below, which read them
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

void QuorvelInterface::showSpectrumExtras(const session::FrameData &data)
{
    if (!spectrumOverlay)
        return;
    const spectrum::Result *spectrumPoints = data.spectrumPoints();
    const bool shown = spectrumPoints != nullptr;
    const spectrum::Axis axis = shown ? spectrum::axis(data.options.samplingValue, spectrumPoints->iq,
                                                       spectrumPoints->firstBin)
                                      : spectrum::Axis();
    const bool logY = view.fftLogY;
    spectrumOverlay->show(spectrumPoints, axis, logY);
    // The time base now: a played-back recording sets its own during the pass.
    QString legend = scales::timeLabel(timeBaseTexts, session.state().timeBase);
    if (shown)
        legend += QStringLiteral("   ") + spectrum::legendText(axis, logY);
    ui->timeLabel->setText(legend);
}

void QuorvelInterface::showBusRows(const session::FrameData &data)
{
    const drawing::Options &options = data.options;
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
    if (view.parallelBus && mask) {
        const double step = traces.keys.size() > 1 ? traces.keys[1] - traces.keys[0] : 1;
        busRow->setParallel(bus::parallelStretches(logic, traces.sampleIndex, mask), traces.keys, step,
                            bus::parallelRow(data.inputs.chdPosition), mask);
    }
    if (view.serialBus) {
        QVector<BusRowLayer::SerialLine> lines;
        for (int n = 0; n < frame::LogicLines; ++n)
            if (options.chdBitEnabled[n])
                lines.append({traces.bitLabelY[n], bus::serialText(logic, traces.sampleIndex, n)});
        busRow->setSerial(lines);
    }
}
