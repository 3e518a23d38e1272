// Frames to traces: the frame pass (plotData), run by the plot timer and by
// arriving frames, its replot pacing, the scroll bar, capture, and the
// spectrum window table.
#include "app/quorvelinterface.h"
#include "app/decodepanel.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "instruments/meter.h"
#include "settings/registers.h"

#include <algorithm>

namespace {
constexpr int MeterPage = 1;

// Persistence: the graph shows this frame, and what it draws is added to the
// plot's accumulation image, which keeps the earlier frames' pixels (the
// graph is listed in `accumulated`, painted in one pass for the frame). The
// cost of a frame does not grow with the time persistence has been on.
void apply(QVector<PlotGraph *> &accumulated, QCPGraph *graph, const drawing::GraphUpdate &update)
{
    switch (update.action) {
    case drawing::Action::Keep:
        break;
    case drawing::Action::Clear:
        graph->data()->clear();
        break;
    case drawing::Action::Set:
    case drawing::Action::Add:
        graph->setData(update.keys, update.values,
                       std::is_sorted(update.keys.constBegin(), update.keys.constEnd()));
        if (update.action == drawing::Action::Add)
            accumulated.append(static_cast<PlotGraph *>(graph)); // every graph is made by addPlotGraph
        break;
    }
}

frame::CursorChannel cursorChannel(bool ch1, bool ch2)
{
    if (ch1)
        return frame::CursorChannel::Ch1;
    if (ch2)
        return frame::CursorChannel::Ch2;
    return frame::CursorChannel::None;
}

// What the controls ask of one plotted frame, read in one place.
struct PlotRequest
{
    frame::TraceInputs inputs;
    drawing::Options options;
    spectrum::Options fft;
};

void readControls(const Ui::QuorvelInterface &ui, int plotColumns, const bool *chdBitEnabled, PlotRequest &r)
{
    frame::TraceInputs &in = r.inputs;
    in.plotColumns = plotColumns;
    in.samplingValue = ui.samplingSlider->value();
    in.rollMode = ui.rollMode->isChecked();
    in.scrollValue = ui.horizontalScrollBar->value();
    in.ch1Position = ui.ch1PositionSlider->value();
    in.ch2Position = ui.ch2PositionSlider->value();
    in.chdPosition = ui.chdPositionSlider->value();
    in.chdSize = ui.chdSizeSlider->value();
    in.cursorChannel =
        cursorChannel(ui.radioButtonCursorCH1->isChecked(), ui.radioButtonCursorCH2->isChecked());

    drawing::Options &o = r.options;
    o.xyMode = ui.xyMode->isChecked();
    o.persistence = ui.checkBoxPersistence->isChecked();
    o.ch1Trace = ui.checkBoxCH1Trace->isChecked();
    o.ch2Trace = ui.checkBoxCH2Trace->isChecked();
    o.chdTrace = ui.checkBoxCHDTrace->isChecked();
    o.refCh1 = ui.refCH1->isChecked();
    o.refCh2 = ui.refCH2->isChecked();
    o.refLogic = ui.refLogic->isChecked();
    o.fftTrace = ui.checkBoxFFTTrace->isChecked();
    std::copy(chdBitEnabled, chdBitEnabled + frame::LogicLines, o.chdBitEnabled);
    o.samplingValue = in.samplingValue;
    o.decay = ui.decaySlider->value();
    o.ch1CaptureOffset = ui.ch1CaptureSlider->value();
    o.ch2CaptureOffset = ui.ch2CaptureSlider->value();
    o.chdCaptureOffset = ui.chdCaptureSlider->value();
    o.fftPosition = ui.verticalSlider_8->value();

    r.fft.iq = ui.checkBoxIQFFT->isChecked();
    r.fft.ch1 = ui.checkBoxFFTCH1->isChecked();
    r.fft.ch2 = ui.checkBoxFFTCH2->isChecked();
    r.fft.logY = ui.checkBoxLogY->isChecked();
    r.fft.firstBin = in.scrollValue;
}
} // namespace

void QuorvelInterface::plotData()
{
    // The Meter page shows a blank plot: blanked once on entering the page,
    // shown again on leaving it, so a tick with nothing new paints nothing.
    const bool meterShown = ui->mainTabWidget->currentIndex() == MeterPage;
    ui->plotterWidget->setBlanked(meterShown);

    if (!link.hasNewFrame() && !redrawRequested)
        return;
    if (deviceMode == frame::SnifferFrames) {
        sniffProtocol();
        return;
    }
    if (!takeFrame())
        return;

    PlotRequest request;
    readControls(*ui, plotColumns, chdBitEnabled, request);
    frame::buildTraces(frameBuffer, request.inputs, traces);
    // The decoders read the frame's own logic bytes, before any averaging.
    decodePanel->frameTaken(frameBuffer, request.inputs.samplingValue, request.inputs.rollMode,
                            request.inputs.scrollValue);
    averageTraces();
    noteTraces(request.options.decay);
    if (meterShown)
        mm_request();
    replaceWithFileTraces(traces);
    const bool exporting = exportRequested;
    feedFileOutputs(traces, frameBuffer[frame::CounterOffset]);
    scheduleMeasurements();
    drawTraces(request.options, computeSpectrum(request.options, request.fft));
    // The exported frame is drawn at once: a deferred replot could show a
    // later frame instead, and the exported one would never be on screen.
    if (!meterShown && exporting)
        replotNow();
    else if (!meterShown)
        scheduleReplot();
    redrawRequested = false;
}

bool QuorvelInterface::takeFrame()
{
    const int length = link.takeLatestFrame(frameBuffer, int(sizeof frameBuffer));
    if (length > 0)
        frameLength = length;
    if (frameLength > frame::Size) {
        // A sniffer capture still on its way: for the sniffer page, not drawn.
        link.keepFrameForNextPass();
        return false;
    }
    if (frameLength == 0) {
        // Nothing received yet: nothing to draw again.
        redrawRequested = false;
        return false;
    }
    if (length > 0) {
        ++processedFrameCount;
        frameTakenClock.start();
    }
    return true;
}

void QuorvelInterface::noteTraces(int decay)
{
    ch1Min = traces.ch1Min;
    ch1Max = traces.ch1Max;
    ch2Min = traces.ch2Min;
    ch2Max = traces.ch2Max;
    for (QCPItemTracer *tracer : {ch1TracerA, ch1TracerB, ch2TracerA, ch2TracerB})
        tracer->setVisible(false);
    for (int n = 0; n < logicLines; ++n)
        bitLabels[n]->position->setCoords(frame::BitLabelX, traces.bitLabelY[n]);

    ch1History.update(traces.ch1, decay);
    ch2History.update(traces.ch2, decay);
    if (captureRequested) {
        captureRequested = false;
        references.capture(traces);
    }
}

const spectrum::Result *QuorvelInterface::computeSpectrum(const drawing::Options &options,
                                                          const spectrum::Options &fft)
{
    if (!options.fftTrace || options.xyMode)
        return nullptr;
    spectrum::compute(frameBuffer, fftWindow, fft, spectrumResult);
    return &spectrumResult;
}

void QuorvelInterface::drawTraces(const drawing::Options &options, const spectrum::Result *spectrumPoints)
{
    PlotWidget *plot = ui->plotterWidget;
    // The accumulation is one picture: it starts again when persistence ends,
    // and when the same samples would land elsewhere (another time base, XY).
    // Theme changes, resizes and axis moves clear it too.
    if (!options.persistence || options.xyMode || options.samplingValue != accumulationTimeBase)
        plot->clearAccumulation();
    accumulationTimeBase = options.samplingValue;
    plot->persistenceMode = options.persistence; // read by the drawing into the accumulation
    plot->setIntensityGraded(ui->checkBox_21->isChecked());

    drawing::plan(traces, options, ch1History, ch2History, references, spectrumPoints, drawPlan);
    applyDrawingPlan(drawPlan);
    showSpectrumExtras(options, spectrumPoints);
    showBusRows(options);
    updateCursorReadouts();
}

void QuorvelInterface::scheduleReplot()
{
    if (!replotClock.isValid() || replotClock.nsecsElapsed() >= replotPeriodNs) {
        replotNow();
        return;
    }
    if (!replotTimer.isActive()) {
        const qint64 remainingNs = replotPeriodNs - replotClock.nsecsElapsed();
        replotTimer.start(int((remainingNs + 999999) / 1000000));
    }
}

void QuorvelInterface::replotNow()
{
    replotTimer.stop();
    replotClock.start();
    // Painted at once, so that the time the loop is busy drawing is one
    // stretch that starts right after a frame was taken.
    if (ui->mainTabWidget->currentIndex() != MeterPage)
        ui->plotterWidget->replot(QCustomPlot::rpImmediateRefresh);
}

void QuorvelInterface::takeArrivedFrame()
{
    // On the Meter page only the VDC read-out follows the frames; the other
    // sub-pages keep the timers' pace.
    if (ui->mainTabWidget->currentIndex() == MeterPage && ui->mmTabWidget->currentIndex() != meter::Vdc)
        return;
    if (frameTakenClock.isValid() && frameTakenClock.nsecsElapsed() < qint64(plotInterval) * 750000)
        return; // the plot timer takes it
    plotData();
}

void QuorvelInterface::deferredReplot()
{
    // A frame that is already waiting is taken first: while the plot is being
    // drawn the link keeps only the latest frame, so a waiting one would
    // be overwritten by the next.
    if (link.hasNewFrame()) {
        plotData();
        if (replotClock.isValid() && replotClock.nsecsElapsed() < replotPeriodNs)
            return; // plotData has drawn it
    }
    replotNow();
}

void QuorvelInterface::applyDrawingPlan(const drawing::Plan &plan)
{
    PlotWidget *plot = ui->plotterWidget;
    QVector<PlotGraph *> accumulated;
    if (plan.rescaleCh1ValueAxis) { // XY
        drawXY(plan.ch1);
    } else {
        apply(accumulated, ch1Graph, plan.ch1);
        leaveXY();
    }
    apply(accumulated, refCh1Graph, plan.refCh1);
    apply(accumulated, ch2Graph, plan.ch2);
    apply(accumulated, refCh2Graph, plan.refCh2);
    for (int k = 0; k < historyGraphs; ++k) {
        apply(accumulated, ch1PersistGraphs[k], plan.ch1Persist[k]);
        apply(accumulated, ch2PersistGraphs[k], plan.ch2Persist[k]);
    }
    for (int n = 0; n < logicLines; ++n) {
        apply(accumulated, logicGraphs[n], plan.logic[n]);
        apply(accumulated, refLogicGraphs[n], plan.refLogic[n]);
        bitLabels[n]->setVisible(plan.bitLabelVisible[n]);
    }
    apply(accumulated, fftGraph1, plan.fft1);
    apply(accumulated, fftGraph2, plan.fft2);
    plot->accumulate(accumulated);
}

void QuorvelInterface::on_horizontalScrollBar_valueChanged(int value)
{
    if (!link.isConnected())
        return;
    registers.write(reg::HPos, quint8(value));
    redrawRequested = true;
    // At the slow time bases the marker stays at the left edge.
    if (!reg::isSlowTimeBase(ui->samplingSlider->value()))
        updateTriggerPos();
    plotData();
}

void QuorvelInterface::on_captureButton_clicked()
{
    captureRequested = true;
}

void QuorvelInterface::setFFTWindow(int window)
{
    spectrum::fillWindow(window, fftWindow);
}
