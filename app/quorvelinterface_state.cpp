// The scope's state in the plot's top-left corner ("Running", "Waiting for
// trigger", "Stopped", "Single: captured", "Not connected", "Link lost: ..."),
// and the scope buttons that only mean something while connected.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/measurements.h"
#include "display/plotstate.h"
#include "display/traces.h"

#include <algorithm>
#include <cmath>
#include "display/plotwidget.h"

namespace {
// Often enough that "Waiting for trigger" follows a late frame closely.
constexpr int StateRefreshMs = 200;
} // namespace

void QuorvelInterface::setupPlotState()
{
    QCustomPlot *plot = ui->plotterWidget;
    stateLabel = new QCPItemText(plot);
    stateLabel->setSelectable(false);
    stateLabel->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    stateLabel->position->setType(QCPItemPosition::ptAxisRectRatio);
    stateLabel->position->setCoords(0.01, 0.01);
    stateLabel->setPadding(QMargins(3, 1, 3, 1));
    stateLabel->setText(QLatin1String(plotstate::NotConnected));
    stateTimer.setInterval(StateRefreshMs);
    connect(&stateTimer, &QTimer::timeout, this, &QuorvelInterface::showPlotState);
    stateTimer.start();
}

void QuorvelInterface::armSingleShot()
{
    singleArmedAt = processedFrameCount;
    singleArmedClock.start();
}

void QuorvelInterface::showPlotState()
{
    plotstate::Inputs in;
    in.connected = link.isConnected();
    in.linkLostReason = linkLostReason;
    in.stopped = !scopeRunning;
    if (ui->radioButtonNormal->isChecked())
        in.mode = plotstate::Mode::Normal;
    else if (ui->radioButtonSingle->isChecked())
        in.mode = plotstate::Mode::Single;
    else if (ui->radioButtonAuto->isChecked())
        in.mode = plotstate::Mode::Auto;
    if (in.mode == plotstate::Mode::Single && lastStateMode != plotstate::Mode::Single)
        armSingleShot();
    lastStateMode = in.mode;
    in.singleCaptured = processedFrameCount > singleArmedAt;
    // Since the last frame, or since arming when none came after it.
    qint64 since = frameTakenClock.isValid() ? frameTakenClock.elapsed() : -1;
    if (singleArmedClock.isValid() && !in.singleCaptured)
        since = since < 0 ? singleArmedClock.elapsed() : std::min(since, singleArmedClock.elapsed());
    in.sinceFrameMs = since;
    // A frame takes its 256 samples' time, at least one tick of the plot timer.
    const double sweepMs = 1000 * frame::SamplesPerChannel * measure::secondsPerValue(ui->samplingSlider->value());
    in.frameIntervalMs = std::max(plotTimer.interval(), int(std::ceil(sweepMs)));

    const QString text = plotstate::text(in);
    const QColor colour = plotPalette.labels.color();
    if (stateLabel->text() != text || stateLabel->color() != colour) {
        stateLabel->setText(text);
        stateLabel->setColor(colour);
        stateLabel->setBrush(plotPalette.background);
        scheduleReplot();
    }
    for (QWidget *button : {static_cast<QWidget *>(ui->stopButton), static_cast<QWidget *>(ui->forceButton),
                            static_cast<QWidget *>(ui->autoButton)})
        button->setEnabled(in.connected);
}
