// Frames to traces: the frame pass (plotData), run by the plot timer and by
// arriving frames, its replot pacing, the scroll bar, capture, and the
// spectrum window table.
#include "app/quorvelinterface.h"
#include "app/decodepanel.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "instruments/meter.h"
#include "settings/registers.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QTabWidget>

#include <algorithm>

namespace {
constexpr int MeterPage = 1;

// One view option follows one control: the control's value now and each
// change after (programmatic ones too).
void bind(QObject *owner, QAbstractButton *box, bool &option)
{
    option = box->isChecked();
    QObject::connect(box, &QAbstractButton::toggled, owner, [&option](bool on) { option = on; });
}

void bind(QObject *owner, QAbstractSlider *slider, int &option)
{
    option = slider->value();
    QObject::connect(slider, &QAbstractSlider::valueChanged, owner, [&option](int value) { option = value; });
}

void bind(QObject *owner, QComboBox *box, int &option)
{
    option = box->currentIndex();
    QObject::connect(box, qOverload<int>(&QComboBox::currentIndexChanged), owner,
                     [&option](int index) { option = index; });
}

void bind(QObject *owner, QTabWidget *tabs, int &option)
{
    option = tabs->currentIndex();
    QObject::connect(tabs, &QTabWidget::currentChanged, owner, [&option](int index) { option = index; });
}

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

} // namespace

void QuorvelInterface::bindViewOptions()
{
    bind(this, ui->checkBoxCH1Trace, view.ch1Trace);
    bind(this, ui->checkBoxCH2Trace, view.ch2Trace);
    bind(this, ui->checkBoxCHDTrace, view.logicTrace);
    bind(this, ui->refCH1, view.refCh1);
    bind(this, ui->refCH2, view.refCh2);
    bind(this, ui->refLogic, view.refLogic);
    bind(this, ui->chdPositionSlider, view.logicPosition);
    bind(this, ui->chdSizeSlider, view.logicSize);
    bind(this, ui->xyMode, view.xyMode);
    bind(this, ui->checkBoxPersistence, view.persistence);
    bind(this, ui->checkBox_21, view.intensityGraded);
    bind(this, ui->decaySlider, view.decay);
    bind(this, ui->ch1CaptureSlider, view.ch1CaptureOffset);
    bind(this, ui->ch2CaptureSlider, view.ch2CaptureOffset);
    bind(this, ui->chdCaptureSlider, view.logicCaptureOffset);
    bind(this, ui->comboBoxAverage, view.averageIndex);
    bind(this, ui->checkBoxFFTTrace, view.fftTrace);
    bind(this, ui->checkBoxIQFFT, view.fftIq);
    bind(this, ui->checkBoxFFTCH1, view.fftCh1);
    bind(this, ui->checkBoxFFTCH2, view.fftCh2);
    bind(this, ui->checkBoxLogY, view.fftLogY);
    bind(this, ui->verticalSlider_8, view.fftPosition);
    bind(this, ui->checkBox, view.parallelBus);
    bind(this, ui->checkBox_2, view.serialBus);
    bind(this, ui->checkBoxCursorVertical, view.cursorVertical);
    bind(this, ui->checkBoxCursorAuto, view.cursorAuto);
    bind(this, ui->checkBoxCursorTrack, view.cursorTrack);
    bind(this, ui->mmTabWidget, view.meterPage);
    // The page change's own handler draws (the Meter page's blank plot): the
    // page is followed before it runs.
    disconnect(ui->mainTabWidget, &QTabWidget::currentChanged, this, &QuorvelInterface::on_mainTabWidget_currentChanged);
    bind(this, ui->mainTabWidget, view.page);
    connect(ui->mainTabWidget, &QTabWidget::currentChanged, this, &QuorvelInterface::on_mainTabWidget_currentChanged);
}

void QuorvelInterface::plotData()
{
    // The Meter page shows a blank plot: blanked once on entering the page,
    // shown again on leaving it, so a tick with nothing new paints nothing.
    const bool meterShown = view.page == MeterPage;
    ui->plotterWidget->setBlanked(meterShown);

    if (!link.hasNewFrame() && !redrawRequested)
        return;
    if (deviceMode == frame::SnifferFrames) {
        sniffProtocol();
        return;
    }
    if (!takeFrame())
        return;

    std::copy(chdBitEnabled, chdBitEnabled + logicLines, view.logicLineShown);
    session::FrameData &data = session.takeFrame(frameBuffer, view, plotColumns, triggerMarks());
    // The decoders read the frame's own logic bytes, not the averaged traces.
    decodePanel->frameTaken(frameBuffer, data.inputs.samplingValue, data.inputs.rollMode, data.inputs.scrollValue);
    noteTraces();
    if (meterShown)
        mm_request();
    replaceWithFileTraces(traces);
    const bool exporting = exportRequested;
    feedFileOutputs(traces, frameBuffer[frame::CounterOffset]);
    scheduleMeasurements();
    drawTraces(data);
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

void QuorvelInterface::noteTraces()
{
    ch1Min = traces.ch1Min;
    ch1Max = traces.ch1Max;
    ch2Min = traces.ch2Min;
    ch2Max = traces.ch2Max;
    for (QCPItemTracer *tracer : {ch1TracerA, ch1TracerB, ch2TracerA, ch2TracerB})
        tracer->setVisible(false);
    for (int n = 0; n < logicLines; ++n)
        bitLabels[n]->position->setCoords(frame::BitLabelX, traces.bitLabelY[n]);
    if (captureRequested) {
        captureRequested = false;
        references.capture(traces);
    }
}

void QuorvelInterface::drawTraces(const session::FrameData &data)
{
    const drawing::Options &options = data.options;
    PlotWidget *plot = ui->plotterWidget;
    // The accumulation is one picture: it starts again when persistence ends,
    // and when the same samples would land elsewhere (another time base, XY).
    // Theme changes, resizes and axis moves clear it too.
    if (!options.persistence || options.xyMode || options.samplingValue != accumulationTimeBase)
        plot->clearAccumulation();
    accumulationTimeBase = options.samplingValue;
    plot->persistenceMode = options.persistence; // read by the drawing into the accumulation
    plot->setIntensityGraded(view.intensityGraded);

    session.frames().plan(references, drawPlan);
    applyDrawingPlan(drawPlan);
    showSpectrumExtras(data);
    showBusRows(data);
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
    if (view.page != MeterPage)
        ui->plotterWidget->replot(QCustomPlot::rpImmediateRefresh);
}

void QuorvelInterface::takeArrivedFrame()
{
    // On the Meter page only the VDC read-out follows the frames; the other
    // sub-pages keep the timers' pace.
    if (view.page == MeterPage && view.meterPage != meter::Vdc)
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
    if (!reg::isSlowTimeBase(session.state().timeBase))
        updateTriggerPos();
    plotData();
}

void QuorvelInterface::on_captureButton_clicked()
{
    captureRequested = true;
}

void QuorvelInterface::setFFTWindow(int window)
{
    session.frames().setFftWindow(window);
}

unsigned QuorvelInterface::triggerMarks() const
{
    unsigned h = 2166136261u;
    for (int v : {triggerState.level, triggerState.windowLevel1, triggerState.windowLevel2, triggerState.position})
        h = (h ^ unsigned(v)) * 16777619u;
    return h;
}

