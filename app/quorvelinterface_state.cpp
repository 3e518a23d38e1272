// The scope's state in the plot's top-left corner ("Running", "Waiting for
// trigger", "Stopped", "Single: captured", "Not connected", "Link lost: ..."),
// and the scope buttons that only mean something while connected.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/measurements.h"
#include "display/plotstate.h"
#include "display/plotwidget.h"
#include "display/traces.h"

#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {
// Often enough that "Waiting for trigger" follows a late frame closely.
constexpr int StateRefreshMs = 200;
} // namespace

void QuorvelInterface::setupPlotState()
{
    QCustomPlot *plot = ui->plotterWidget;
    stateLabel = new QCPItemText(plot);
    stateLabel->setObjectName(QStringLiteral("plotStateText"));
    stateLabel->setSelectable(false);
    stateLabel->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    stateLabel->position->setType(QCPItemPosition::ptAxisRectRatio);
    stateLabel->position->setCoords(0.01, 0.01);
    stateLabel->setPadding(QMargins(3, 1, 3, 1));
    stateLabel->setText(QLatin1String(plotstate::NotConnected));
    // The reason is read when the link reports the loss, while it still holds it.
    connect(&link, &InstrumentLink::linkLost, this, [this] {
        if (const char *reason = link.lossText())
            linkLostReason = tr(reason);
    });
    // FORCE gives Single one frame and leaves it waiting again.
    connect(ui->forceButton, &QPushButton::clicked, this, &QuorvelInterface::armSingleShot);
    stateTimer.setInterval(StateRefreshMs);
    connect(&stateTimer, &QTimer::timeout, this, &QuorvelInterface::showPlotState);
    stateTimer.start();
}

void QuorvelInterface::armSingleShot()
{
    // A frame that arrived before the mode was written is no Single frame.
    singleArmedAt = processedFrameCount + (link.hasNewFrame() ? 1 : 0);
    singleArmedClock.start();
}

void QuorvelInterface::showPlotState()
{
    plotstate::Inputs in;
    in.connected = link.isConnected() && !link.isLinkLost();
    if (in.connected)
        linkLostReason.clear();
    in.linkLostReason = linkLostReason;
    in.stopped = !scopeRunning;
    if (ui->radioButtonNormal->isChecked())
        in.mode = plotstate::Mode::Normal;
    else if (ui->radioButtonSingle->isChecked())
        in.mode = plotstate::Mode::Single;
    else if (ui->radioButtonAuto->isChecked())
        in.mode = plotstate::Mode::Auto;
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
    const QColor colour = plotPalette.labels;
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
