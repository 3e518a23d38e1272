// Measurement cursors: selecting and dragging the plot's markers with the
// mouse, the cursor registers, the read-outs, automatic and tracking cursors,
// and the sweep range read-out.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/cursors.h"
#include "display/plotwidget.h"
#include "display/scales.h"
#include "display/traces.h"
#include "display/triggermarkers.h"
#include "settings/registers.h"

#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr double HCursorPixelX = 9;
constexpr double VCursorPixelY = 10;
constexpr double ZeroMarkerPixelX = 2;
constexpr double MarkerKey = -3;
constexpr int VCursorHalfWidth = 16;
constexpr int ZeroLevelMin = 128, ZeroLevelMax = 384;

const char *const HCursorHighlight = "#1692e5";
const char *const VCursorHighlight = "#e04e4e";
const char *const ZeroHighlight = "#f9a94c";

// The info line's answer to a press on the plot with no cursor channel chosen.
const char *const NoCursorChannelHint = QT_TRANSLATE_NOOP("QuorvelInterface",
                                                          "Cursors: choose CH1 or CH2 under Cursors on the Options page");

// Markers whose line runs through their right anchor: the point they stand
// for is the middle of their left edge.
void placeLeftMiddle(QCPItemPixmap *marker, QPointF pixel)
{
    marker->topLeft->setPixelPosition(pixel - QPointF(0, marker->pixmap().height() / 2));
}

QPoint roundedPointer(const QMouseEvent *event)
{
    return QPoint(int(std::lround(event->localPos().x())), int(std::lround(event->localPos().y())));
}
} // namespace

void QuorvelInterface::selectItem(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF pointer = roundedPointer(event);
    const QColor triggerHighlight = triggerSourceColor(ui->comboBoxTrigSource->currentIndex());
    const struct
    {
        QCPItemPixmap *marker;
        QColor highlight;
    } candidates[] = {
        {hCursorMarkerA, QColor(HCursorHighlight)}, {hCursorMarkerB, QColor(HCursorHighlight)},
        {vCursorMarkerA, QColor(VCursorHighlight)}, {vCursorMarkerB, QColor(VCursorHighlight)},
        {ch1ZeroMarker, QColor(ZeroHighlight)},     {ch2ZeroMarker, QColor(ZeroHighlight)},
        {triggerMarker, triggerHighlight},          {windowMarker1, triggerHighlight},
        {windowMarker2, triggerHighlight},
    };
    selectedItem = cursors::NoItem;
    bool shownMarkerTaken = false;
    for (size_t i = 0; i < std::size(candidates); ++i) {
        // Visibility is not looked at: a hidden marker is caught where it was last.
        const double distance = candidates[i].marker->selectTest(pointer, false);
        if (distance >= 0 && distance < cursors::HitDistance) {
            selectedItem = cursors::HitOrder[i];
            shownMarkerTaken = candidates[i].marker->visible();
            candidates[i].marker->setPen(QPen(candidates[i].highlight));
            redrawRequested = true;
            break;
        }
    }
    // A press that takes no marker while the horizontal cursors are off says
    // where they are turned on.
    const bool cursorChannel = ui->radioButtonCursorCH1->isChecked() || ui->radioButtonCursorCH2->isChecked();
    cursorHintDue = !shownMarkerTaken && !cursorChannel;
    if (cursorHintDue)
        ui->infoLabel->setText(tr(NoCursorChannelHint));
}

void QuorvelInterface::deselectItem(QMouseEvent *event)
{
    // The info line is on the Options page: the hint also shows at the
    // pointer, once the button is up (a release hides a tool tip).
    if (cursorHintDue && event->button() == Qt::LeftButton) {
        cursorHintDue = false;
        QToolTip::showText(event->globalPos(), tr(NoCursorChannelHint), ui->plotterWidget);
    }
    const bool levelDragged = selectedItem == cursors::TriggerMarker || selectedItem == cursors::WindowMarker1 ||
                              selectedItem == cursors::WindowMarker2;
    selectedItem = cursors::NoItem;
    // The level lines stay a moment after the marker is let go.
    if (levelDragged)
        flashTriggerLevel();
    for (QCPItemPixmap *marker : {hCursorMarkerA, hCursorMarkerB, vCursorMarkerA, vCursorMarkerB,
                                  ch1ZeroMarker, ch2ZeroMarker, triggerMarker, windowMarker1, windowMarker2})
        marker->setPen(Qt::NoPen);
    redrawRequested = true;
}

void QuorvelInterface::moveCursor(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || selectedItem == cursors::NoItem)
        return;
    dragItem(selectedItem, roundedPointer(event));
}

void QuorvelInterface::dragItem(int item, QPoint pixel)
{
    QCustomPlot *plot = ui->plotterWidget;
    QRect visible = plot->visibleRegion().boundingRect();
    if (visible.isEmpty())
        visible = plot->rect();
    const int plotX = int(plot->xAxis->pixelToCoord(pixel.x()));
    const int plotY = int(plot->yAxis->pixelToCoord(pixel.y()));
    const bool cursorsOnCh1 = ui->radioButtonCursorCH1->isChecked();
    const bool cursorsOnCh2 = ui->radioButtonCursorCH2->isChecked();

    switch (item) {
    case cursors::HCursorA:
    case cursors::HCursorB: {
        const bool a = item == cursors::HCursorA;
        const int y = std::clamp(pixel.y(), trigger::EdgeMargin, visible.bottom() - trigger::EdgeMargin);
        placeLeftMiddle(a ? hCursorMarkerA : hCursorMarkerB, QPointF(HCursorPixelX, y));
        const reg::HorizontalCursors on =
            cursorsOnCh1 ? reg::Ch1Cursors : (cursorsOnCh2 ? reg::Ch2Cursors : reg::NoHorizontalCursors);
        if (const auto write = cursorState.dragHorizontal(a, plotY, on))
            registers.write(*write);
        break;
    }
    case cursors::VCursorA:
    case cursors::VCursorB: {
        const bool a = item == cursors::VCursorA;
        const reg::RegisterWrite write = cursorState.dragVertical(a, plotX, plotColumns);
        int x = pixel.x() - VCursorHalfWidth;
        if (x < 0)
            x = 0;
        if (pixel.x() > visible.right() - VCursorHalfWidth)
            x = visible.right() - 2 * VCursorHalfWidth;
        (a ? vCursorMarkerA : vCursorMarkerB)->topLeft->setCoords(x, VCursorPixelY);
        registers.write(write);
        break;
    }
    case cursors::TriggerMarker:
        // In "Free" mode nothing triggers: a drag changes nothing, not even
        // the stored level and position the markers return to later.
        if (ui->radioButtonFree->isChecked())
            return;
        triggerState.level = trigger::levelFromPointer(plotY, triggerSourcePosition());
        triggerState.position = trigger::positionFromPointer(plotX, ui->horizontalScrollBar->value());
        setTriggerLevelPosition(pixel, 2);
        flashTriggerLevel();
        break;
    case cursors::WindowMarker1:
    case cursors::WindowMarker2: {
        if (ui->radioButtonFree->isChecked())
            return;
        const int which = item == cursors::WindowMarker1 ? 0 : 1;
        if (!triggerState.dragWindowLevel(which, trigger::levelFromPointer(plotY, triggerSourcePosition())))
            return; // the levels do not pass each other
        triggerState.position = trigger::positionFromPointer(plotX, ui->horizontalScrollBar->value());
        setTriggerLevelPosition(pixel, which);
        flashTriggerLevel();
        break;
    }
    case cursors::Ch1Zero:
    case cursors::Ch2Zero: {
        const bool ch1 = item == cursors::Ch1Zero;
        // Pixel y grows downwards: the top limit is the smaller pixel.
        const int top = int(plot->yAxis->coordToPixel(ZeroLevelMax));
        const int bottom = int(plot->yAxis->coordToPixel(ZeroLevelMin));
        const int y = std::clamp(pixel.y(), top, bottom);
        placeLeftMiddle(ch1 ? ch1ZeroMarker : ch2ZeroMarker, QPointF(ZeroMarkerPixelX, y));
        const int position = int(plot->yAxis->pixelToCoord(y)) - frame::ZeroLevelOffset;
        (ch1 ? ui->ch1PositionSlider : ui->ch2PositionSlider)->setValue(position);
        break;
    }
    default:
        return;
    }
    redrawRequested = true;
}

void QuorvelInterface::setVerticalCursors()
{
    // The line of a vertical marker runs through the middle of its bottom
    // edge; it stands at the cursor's column on the x axis, where a drag of the
    // same value puts it.
    QCustomPlot *plot = ui->plotterWidget;
    const struct
    {
        QCPItemPixmap *marker;
        int column;
    } markers[] = {{vCursorMarkerA, cursorState.vCursorA}, {vCursorMarkerB, cursorState.vCursorB}};
    for (const auto &m : markers) {
        const double x = plot->xAxis->coordToPixel(m.column);
        m.marker->topLeft->setCoords(std::round(x - m.marker->pixmap().width() / 2.0), VCursorPixelY);
    }
    redrawRequested = true;
}

void QuorvelInterface::placeHorizontalCursors()
{
    QCustomPlot *plot = ui->plotterWidget;
    const bool ch1 = ui->radioButtonCursorCH1->isChecked();
    const int zero = ch1 ? cursorState.ch1Zero : cursorState.ch2Zero;
    const int a = cursors::plotValueOfRelative(ch1 ? cursorState.ch1CursorA : cursorState.ch2CursorA, zero);
    const int b = cursors::plotValueOfRelative(ch1 ? cursorState.ch1CursorB : cursorState.ch2CursorB, zero);
    const double x = plot->xAxis->coordToPixel(MarkerKey);
    placeLeftMiddle(hCursorMarkerA, QPointF(x, plot->yAxis->coordToPixel(a)));
    placeLeftMiddle(hCursorMarkerB, QPointF(x, plot->yAxis->coordToPixel(b)));
    cursorState.hCursorA = cursors::clampHCursor(a);
    cursorState.hCursorB = cursors::clampHCursor(b);
}

void QuorvelInterface::placeZeroMarkers()
{
    QCustomPlot *plot = ui->plotterWidget;
    placeLeftMiddle(ch1ZeroMarker, QPointF(ZeroMarkerPixelX, plot->yAxis->coordToPixel(cursorState.ch1Zero)));
    placeLeftMiddle(ch2ZeroMarker, QPointF(ZeroMarkerPixelX, plot->yAxis->coordToPixel(cursorState.ch2Zero)));
}

void QuorvelInterface::showCursorItems()
{
    const bool horizontal = ui->radioButtonCursorCH1->isChecked() || ui->radioButtonCursorCH2->isChecked();
    for (QCPAbstractItem *item : std::initializer_list<QCPAbstractItem *>{
             hCursorMarkerA, hCursorMarkerB, hCursorLineA, hCursorLineB, deltaVLabel, vaLabel, vbLabel})
        item->setVisible(horizontal);
    if (horizontal)
        placeHorizontalCursors();
    const bool vertical = ui->checkBoxCursorVertical->isChecked();
    for (QCPAbstractItem *item :
         std::initializer_list<QCPAbstractItem *>{vCursorMarkerA, vCursorMarkerB, vCursorLineA, vCursorLineB})
        item->setVisible(vertical);
    redrawRequested = true;
}

void QuorvelInterface::updateCursorReadouts()
{
    QCustomPlot *plot = ui->plotterWidget;
    const session::InstrumentState &state = session.state();

    // The trigger marker of a logic source sits on the high level of its line.
    const int source = state.triggerSource;
    if (trigger::isLogicSource(source) && view.logicTrace) {
        const int line = source - trigger::FirstLogicSource;
        const double y =
            frame::logicValue(true, line, view.logicPosition, view.logicSize);
        const double x = trigger::plotXOfPosition(triggerState.position, state.hpos);
        moveTrigger(QPointF(plot->xAxis->coordToPixel(x), plot->yAxis->coordToPixel(y)));
    }

    const bool vertical = view.cursorVertical;
    deltaTLabel->setVisible(vertical);
    inverseDeltaTLabel->setVisible(vertical);
    if (vertical) {
        const cursors::TimeReadout t =
            cursors::timeReadout(cursorState.vCursorA, cursorState.vCursorB, plotColumns,
                                 scales::timeBaseText(timeBaseTexts, state.timeBase));
        deltaTLabel->setText(t.deltaTText);
        inverseDeltaTLabel->setText(t.inverseText);
    }

    const bool ch1 = state.cursors.horizontal == reg::Ch1Cursors;
    const bool ch2 = state.cursors.horizontal == reg::Ch2Cursors;
    if (ch1 || ch2) {
        // Automatic and tracking cursors follow the trace; the instrument runs
        // the same modes itself, so nothing is written.
        int a = 0, b = 0;
        bool follow = false;
        if (view.cursorAuto) {
            a = int(std::floor(ch1 ? ch1Min : ch2Min));
            b = int(std::floor(ch1 ? ch1Max : ch2Max));
            follow = true;
        } else if (view.cursorTrack) {
            QCPItemTracer *tracerA = ch1 ? ch1TracerA : ch2TracerA;
            QCPItemTracer *tracerB = ch1 ? ch1TracerB : ch2TracerB;
            const struct
            {
                QCPItemTracer *tracer;
                QCPItemPixmap *marker;
            } tracks[] = {{tracerA, vCursorMarkerA}, {tracerB, vCursorMarkerB}};
            for (const auto &t : tracks) {
                t.tracer->setGraph(ch1 ? ch1Graph : ch2Graph);
                t.tracer->setGraphKey(plot->xAxis->pixelToCoord(t.marker->bottom->pixelPosition().x()));
                t.tracer->setVisible(true);
                t.tracer->updatePosition();
            }
            a = int(std::floor(tracerA->position->value()));
            b = int(std::floor(tracerB->position->value()));
            follow = true;
        }
        if (follow) {
            const double x = plot->xAxis->coordToPixel(MarkerKey);
            placeLeftMiddle(hCursorMarkerA, QPointF(x, plot->yAxis->coordToPixel(a)));
            placeLeftMiddle(hCursorMarkerB, QPointF(x, plot->yAxis->coordToPixel(b)));
            cursorState.follow(ch1, a, b);
        }

        // The texts after the markers have moved: they read what is shown.
        const int gain = ch1 ? state.gain1 : state.gain2;
        const cursors::VoltReadout v = cursors::voltReadout(
            ch1 ? cursorState.ch1CursorA : cursorState.ch2CursorA, ch1 ? cursorState.ch1CursorB : cursorState.ch2CursorB, scales::gainText(gainTexts, gain));
        deltaVLabel->setText(v.deltaVText);
        vaLabel->setText(v.vaText);
        vbLabel->setText(v.vbText);
        deltaVLabel->setVisible(true);
        vaLabel->setVisible(true);
        vbLabel->setVisible(true);
    }

    placeZeroMarkers();
}

void QuorvelInterface::updateSweepCursors()
{
    cursors::SweepKind kind = cursors::SweepKind::None;
    if (ui->checkBoxSweepFrequency->isChecked())
        kind = cursors::SweepKind::Frequency;
    else if (ui->checkBoxSweepAmplitude->isChecked())
        kind = cursors::SweepKind::Amplitude;
    else if (ui->checkBoxSweepOffset->isChecked())
        kind = cursors::SweepKind::Offset;
    else if (ui->checkBoxSweepDutyCycle->isChecked())
        kind = cursors::SweepKind::DutyCycle;
    cursors::SweepRange range;
    if (!cursors::sweepRange(kind, ui->sweepStartFreqSlider->value(), ui->sweepEndFreqSlider->value(),
                             ui->samplingSlider->value(), sweepRates, range))
        return;
    ui->startFreqText->setText(range.start);
    ui->endFreqText->setText(range.end);
    ui->labelUnitStart->setText(range.unit);
    ui->labelUnitEnd->setText(range.unit);
}
