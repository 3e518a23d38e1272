// Trigger markers: the icon of the trigger type in the source's colour, the
// trigger marker and the two window markers, where they stand for the stored
// levels and position, and what a drag of them sends to the instrument.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "device/commandset.h"
#include "display/plotwidget.h"
#include "display/traces.h"
#include "display/triggermarkers.h"
#include "settings/registers.h"

namespace {
// Trigger markers stand centred on their point.
void placeCentred(QCPItemPixmap *marker, QPoint pixel)
{
    const QPixmap &image = marker->pixmap();
    marker->topLeft->setPixelPosition(QPointF(pixel) - QPointF(image.width() / 2, image.height() / 2));
}
} // namespace

int QuorvelInterface::triggerSourcePosition() const
{
    switch (ui->comboBoxTrigSource->currentIndex()) {
    case trigger::SourceCh1:
        return ui->ch1PositionSlider->value();
    case trigger::SourceCh2:
        return ui->ch2PositionSlider->value();
    default:
        return 0;
    }
}

void QuorvelInterface::setTriggerIcon(int icon)
{
    triggerState.iconIndex = icon;
    const int source = ui->comboBoxTrigSource->currentIndex();
    if (ui->radioButtonFree->isChecked()) {
        triggerMarker->setVisible(false);
        windowMarker1->setVisible(false);
        windowMarker2->setVisible(false);
        redrawRequested = true;
        return;
    }
    const bool inverted = (source == trigger::SourceCh1 && ui->checkBoxCH1Invert->isChecked()) ||
                          (source == trigger::SourceCh2 && ui->checkBoxCH2Invert->isChecked());
    const int shown = inverted ? trigger::mirroredIcon(icon) : icon;
    auto iconAt = [this, source](int index) { return triggerIcon(source, index); };

    if (ui->radioButtonWindow->isChecked() && trigger::isChannelSource(source)) {
        windowMarker1->setPixmap(iconAt(trigger::Window2));
        windowMarker2->setPixmap(iconAt(trigger::Window1));
        windowMarker1->setVisible(true);
        windowMarker2->setVisible(true);
        // The two levels are the trigger; the single marker would show a third.
        triggerMarker->setVisible(false);
    } else {
        // A logic source has no levels: only its position is shown.
        windowMarker1->setVisible(false);
        windowMarker2->setVisible(false);
        triggerMarker->setPixmap(iconAt(shown));
        triggerMarker->setVisible(true);
    }
    redrawRequested = true;
}

void QuorvelInterface::checkIfInvertIcon()
{
    setTriggerIcon(triggerState.iconIndex);
}

void QuorvelInterface::moveTrigger(QPointF pixel)
{
    if (ui->radioButtonFree->isChecked())
        return;
    QRect visible = ui->plotterWidget->visibleRegion().boundingRect();
    if (visible.isEmpty())
        visible = ui->plotterWidget->rect();
    placeCentred(triggerMarker, trigger::markerPixel(pixel, visible, ui->samplingSlider->value()));
}

void QuorvelInterface::moveWinTrigger(double x, double y1, double y2)
{
    if (ui->radioButtonFree->isChecked())
        return;
    QRect visible = ui->plotterWidget->visibleRegion().boundingRect();
    if (visible.isEmpty())
        visible = ui->plotterWidget->rect();
    const int sampling = ui->samplingSlider->value();
    placeCentred(windowMarker1, trigger::markerPixel(QPointF(x, y1), visible, sampling));
    placeCentred(windowMarker2, trigger::markerPixel(QPointF(x, y2), visible, sampling));
}

void QuorvelInterface::setTriggerLevelPosition(QPointF pointer, int which)
{
    if (ui->radioButtonFree->isChecked())
        return;
    // The levels keep what the instrument receives, and the markers are placed
    // from them: a dropped marker stands on the level and sample the
    // instrument triggers at, and reading the settings back leaves it there.
    if (trigger::isChannelSource(ui->comboBoxTrigSource->currentIndex()))
        registers.write(triggerState.dropLevel(which));
    placeTriggerMarkers(pointer.y());
    link.requestTriggerPosition(quint16(reg::postTriggerValue(triggerState.position)), 0);
}

void QuorvelInterface::placeTriggerMarkers(double externalPixelY)
{
    QCustomPlot *plot = ui->plotterWidget;
    const int source = ui->comboBoxTrigSource->currentIndex();
    const int position = triggerSourcePosition();
    const double x = plot->xAxis->coordToPixel(
        trigger::plotXOfPosition(triggerState.position, ui->horizontalScrollBar->value()));
    double y = externalPixelY;
    if (trigger::isLogicSource(source)) {
        y = plot->yAxis->coordToPixel(frame::logicValue(true, source - trigger::FirstLogicSource,
                                                        ui->chdPositionSlider->value(),
                                                        ui->chdSizeSlider->value()));
    } else if (trigger::isChannelSource(source)) {
        y = plot->yAxis->coordToPixel(trigger::plotValueOfLevel(triggerState.level, position));
    }
    moveTrigger(QPointF(x, y));
    moveWinTrigger(x, plot->yAxis->coordToPixel(trigger::plotValueOfLevel(triggerState.windowLevel1, position)),
                   plot->yAxis->coordToPixel(trigger::plotValueOfLevel(triggerState.windowLevel2, position)));
    redrawRequested = true;
}

void QuorvelInterface::updateTriggerPos()
{
    // An external trigger has no trace: its marker keeps its height.
    placeTriggerMarkers(triggerMarker->topLeft->pixelPosition().y() + triggerMarker->pixmap().height() / 2);
}
