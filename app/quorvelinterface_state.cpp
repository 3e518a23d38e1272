// The scope's state in the plot's top-left corner ("Running", "Waiting for
// trigger", "Stopped", "Single: captured", "Not connected", "Link lost: ..."),
// and the scope buttons that only mean something while connected.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/measurements.h"
#include "display/plotstate.h"
#include "display/plotwidget.h"
#include "display/traces.h"
#include "display/triggermarkers.h"

#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {
// Often enough that "Waiting for trigger" follows a late frame closely.
constexpr int StateRefreshMs = 200;
// How long the level lines stay after a drag or a change of the level.
constexpr int TriggerLineMs = 1500;

// The plot's read-out font.
QFont readOutFont()
{
    QFont font(QStringLiteral("Courier New"), 10, 63, false);
    font.setPixelSize(13);
    return font;
}

// While frames come the next one's replot shows a changed text.
constexpr int FramesFlowingMs = 100;

QString levelText(int level, int position, int gain, int sampling)
{
    const measure::Scale scale = measure::channelScale(position, gain, sampling);
    const double volts = measure::voltsOf(trigger::plotValueOfLevel(level, position), scale);
    return measure::quantityText(volts, QStringLiteral("V"),
                                 measure::voltsResolution(scale.voltsPerDiv * measure::PlotUnitsPerCount /
                                                          measure::PlotUnitsPerDivision));
}
} // namespace

void QuorvelInterface::setupPlotState()
{
    QCustomPlot *plot = ui->plotterWidget;
    stateLabel = new QCPItemText(plot);
    stateLabel->setObjectName(QStringLiteral("plotStateText"));
    stateLabel->setSelectable(false);
    stateLabel->setFont(readOutFont());
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

    triggerReadout = new QCPItemText(plot);
    triggerReadout->setObjectName(QStringLiteral("triggerLevelText"));
    triggerReadout->setSelectable(false);
    triggerReadout->setFont(readOutFont());
    triggerReadout->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    triggerReadout->position->setType(QCPItemPosition::ptAbsolute);
    triggerReadout->position->setParentAnchor(stateLabel->bottomLeft);
    triggerReadout->position->setCoords(0, 1);
    triggerReadout->setPadding(QMargins(3, 1, 3, 1));
    triggerReadout->setVisible(false);
    for (QCPItemStraightLine *&line : triggerLevelLines) {
        line = new QCPItemStraightLine(plot);
        line->setSelectable(false);
        line->point1->setCoords(0, 0);
        line->point2->setCoords(1, 0);
        line->setVisible(false);
    }
    triggerLineTimer.setSingleShot(true);
    triggerLineTimer.setInterval(TriggerLineMs);
    connect(&triggerLineTimer, &QTimer::timeout, this, [this] {
        for (QCPItemStraightLine *line : triggerLevelLines)
            line->setVisible(false);
        scheduleReplot();
    });

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
    bool changed = showTriggerLevel();
    if (stateLabel->text() != text || stateLabel->color() != colour) {
        stateLabel->setText(text);
        stateLabel->setColor(colour);
        stateLabel->setBrush(plotPalette.background);
        changed = true;
    }
    // While frames come, the next one's replot shows the change.
    const bool framesFlowing = frameTakenClock.isValid() && frameTakenClock.elapsed() < FramesFlowingMs;
    if (changed && !(in.connected && framesFlowing))
        scheduleReplot();
    for (QWidget *button : {static_cast<QWidget *>(ui->stopButton), static_cast<QWidget *>(ui->forceButton),
                            static_cast<QWidget *>(ui->autoButton)})
        button->setEnabled(in.connected);
}

void QuorvelInterface::flashTriggerLevel()
{
    for (QCPItemStraightLine *line : triggerLevelLines)
        line->setVisible(true);
    triggerLineTimer.start();
    showTriggerLevel();
}

bool QuorvelInterface::showTriggerLevel()
{
    const int source = ui->comboBoxTrigSource->currentIndex();
    const bool window = ui->radioButtonWindow->isChecked() && trigger::isChannelSource(source);
    const bool inverted = (source == trigger::SourceCh1 && ui->checkBoxCH1Invert->isChecked()) ||
                          (source == trigger::SourceCh2 && ui->checkBoxCH2Invert->isChecked());
    const int icon = inverted ? trigger::mirroredIcon(triggerState.iconIndex) : triggerState.iconIndex;
    const int position = triggerSourcePosition();
    const int sampling = ui->samplingSlider->value();

    QString text;
    QColor colour = plotPalette.labels;
    if (trigger::isChannelSource(source)) {
        const bool ch1 = source == trigger::SourceCh1;
        colour = (ch1 ? plotPalette.ch1 : plotPalette.ch2).color();
        const int gain = (ch1 ? ui->ch1GainSlider : ui->ch2GainSlider)->value();
        if (window) {
            // Level 1 is the upper one: the smaller level.
            text = triggertext::window(levelText(triggerState.windowLevel2, position, gain, sampling),
                                       levelText(triggerState.windowLevel1, position, gain, sampling));
        } else {
            text = triggertext::channel(levelText(triggerState.level, position, gain, sampling), icon);
        }
    } else if (trigger::isLogicSource(source)) {
        const int line = source - trigger::FirstLogicSource;
        colour = plotPalette.logic[line].color();
        text = triggertext::logic(line, icon);
    } else {
        text = triggertext::external(icon);
    }

    const bool shown = !ui->radioButtonFree->isChecked();
    bool changed = shown != triggerReadout->visible();
    triggerReadout->setVisible(shown);
    if (triggerReadout->text() != text || triggerReadout->color() != colour) {
        triggerReadout->setText(text);
        triggerReadout->setColor(colour);
        triggerReadout->setBrush(plotPalette.background);
        changed = true;
    }

    // The lines stand where the markers are placed for the stored levels.
    const bool levels = shown && trigger::isChannelSource(source) && !ui->xyMode->isChecked();
    const int lineLevels[2] = {window ? triggerState.windowLevel1 : triggerState.level, triggerState.windowLevel2};
    for (int k = 0; k < 2; ++k) {
        QCPItemStraightLine *line = triggerLevelLines[k];
        const bool wanted = levels && (k == 0 || window) && (triggerLineTimer.isActive() ||
                                                              selectedItem == cursors::TriggerMarker ||
                                                              selectedItem == cursors::WindowMarker1 ||
                                                              selectedItem == cursors::WindowMarker2);
        const double y = trigger::plotValueOfLevel(lineLevels[k], position);
        QPen pen(colour, 1, Qt::DashLine);
        if (line->visible() != wanted || line->point1->value() != y || line->pen() != pen) {
            line->setVisible(wanted);
            line->point1->setCoords(0, y);
            line->point2->setCoords(1, y);
            line->setPen(pen);
            changed = true;
        }
    }
    return changed;
}
