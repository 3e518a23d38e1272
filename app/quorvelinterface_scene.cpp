// Plot scene: axes, graphs in drawing order, cursor and marker items, read-out
// texts, tracers, grid modes, dots/vectors, renaming texts.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "themes/themepalette.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QScreen>

namespace {

constexpr double ValueRange = 512;
constexpr double ValueTick = 64;
constexpr int Divisions = 8;
constexpr int ScatterSize = 6;

// Start positions of the cursors until the instrument's settings move them.
constexpr double StartHCursorA = 200, StartHCursorB = 100;
constexpr double StartVCursorPixelA = 150, StartVCursorPixelB = 100, VCursorPixelY = 10;
constexpr double MarkerKey = -3;
constexpr double ZeroMarkerPixelX = 2;
constexpr double HiddenMarkerKey = 150, HiddenMarkerValue = 250;

const char *const HCursorColor = "#1692e5";
const char *const VCursorColor = "#e04e4e";
const char *const ZeroLineColor = "#f9a94c";
const char *const TracerColor = "#1692e5";

QPen dottedPen(const char *color)
{
    return QPen(QBrush(QColor(color)), 1, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
}

QFont readOutFont()
{
    QFont font(QStringLiteral("Courier New"), 10, 63, false);
    font.setPixelSize(13);
    return font;
}

QCPItemPixmap *addMarker(QCustomPlot *plot, const QString &image)
{
    auto *marker = new QCPItemPixmap(plot);
    marker->setPixmap(QPixmap(image));
    marker->setScaled(false);
    marker->setSelectable(false);
    return marker;
}

// A straight line through an anchor of a marker, along (dx, dy) pixels.
QCPItemStraightLine *addLineThrough(QCustomPlot *plot, QCPItemAnchor *anchor, const QPen &pen, double dx,
                                    double dy)
{
    auto *line = new QCPItemStraightLine(plot);
    line->setPen(pen);
    line->setSelectable(false);
    line->point1->setType(QCPItemPosition::ptAbsolute);
    line->point2->setType(QCPItemPosition::ptAbsolute);
    line->point1->setParentAnchor(anchor);
    line->point2->setParentAnchor(anchor);
    line->point1->setCoords(0, 0);
    line->point2->setCoords(dx, dy);
    return line;
}

QCPItemText *addText(QCustomPlot *plot, const QString &text, double key, double value,
                     Qt::Alignment alignment)
{
    auto *item = new QCPItemText(plot);
    item->setText(text);
    item->setFont(readOutFont());
    item->setSelectable(false);
    item->setPositionAlignment(alignment | Qt::AlignVCenter);
    item->setTextAlignment(alignment);
    item->position->setCoords(key, value);
    item->setVisible(false);
    return item;
}

} // namespace

void QuorvelInterface::setupGrid(QCustomPlot *plot)
{
    setupGraphs(plot);
    setupItemLabels(plot);
    setupCursors(plot);
    setupTracers(plot);
    setupSpectrumExtras(plot);
    // The cursor read-outs are drawn over the markers, lines and tracers
    // (last on their layer), on the plot's background: nothing hides a digit.
    for (QCPItemText *label : {deltaTLabel, inverseDeltaTLabel, deltaVLabel, vbLabel, vaLabel})
        label->setLayer(label->layer());
    setTheme(ui->comboBoxTheme->currentIndex(), &customColors);

    // The box first: it copies the bottom and left axes onto the top and right ones.
    plot->axisRect()->setupFullAxesBox(false);

    QSharedPointer<QCPAxisTickerFixed> keyTicker(new QCPAxisTickerFixed);
    keyTicker->setTickStep(plotColumns / Divisions);
    keyTicker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    plot->xAxis->setTicker(keyTicker);
    plot->xAxis->setRange(0, plotColumns);
    plot->xAxis->setTickLabels(false);

    QSharedPointer<QCPAxisTickerFixed> valueTicker(new QCPAxisTickerFixed);
    valueTicker->setTickStep(ValueTick);
    valueTicker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    plot->yAxis->setTicker(valueTicker);
    plot->yAxis->setRange(0, ValueRange);
    plot->yAxis->setTickLabels(false);
    plot->yAxis2->setTicker(valueTicker);
    plot->yAxis2->setRange(-ValueRange / 2, ValueRange / 2);
    plot->yAxis2->setTickLabels(false);
    plot->xAxis2->setTicker(keyTicker);
    plot->xAxis2->setTickLabels(false);
    plot->xAxis2->setRange(plot->xAxis->range());

    plot->axisRect()->setRangeDrag(Qt::Horizontal);
    connect(plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), plot->xAxis2,
            qOverload<const QCPRange &>(&QCPAxis::setRange));
    plot->setInteractions(QCP::iSelectPlottables);

    // Nothing draws on the overlay layer; without a buffer of its own every
    // replot clears and composes one full-size buffer less.
    if (QCPLayer *overlay = plot->layer(QStringLiteral("overlay")))
        overlay->setMode(QCPLayer::lmLogical);

    // Frames may come faster than a screen shows them; the plot is drawn at
    // most once per refresh (see scheduleReplot).
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double refreshRate = screen && screen->refreshRate() >= 30 ? screen->refreshRate() : 60.0;
    replotPeriodNs = qint64(1e9 / qMin(refreshRate, 240.0));
    replotTimer.setSingleShot(true);
    replotTimer.setTimerType(Qt::PreciseTimer);
    connect(&replotTimer, &QTimer::timeout, this, &QuorvelInterface::deferredReplot);
}

void QuorvelInterface::setupGraphs(QCustomPlot *plot)
{
    auto *scope = static_cast<PlotWidget *>(plot);
    ch1Graph = scope->addPlotGraph();
    refCh1Graph = scope->addPlotGraph();
    ch2Graph = scope->addPlotGraph();
    refCh2Graph = scope->addPlotGraph();
    for (int k = 0; k < historyGraphs; ++k) {
        ch1PersistGraphs[k] = scope->addPlotGraph();
        ch2PersistGraphs[k] = scope->addPlotGraph();
    }
    for (int n = 0; n < logicLines; ++n) {
        logicGraphs[n] = scope->addPlotGraph();
        logicGraphs[n]->setLineStyle(QCPGraph::lsStepCenter);
        logicGraphs[n]->setSelectable(QCP::stNone);
        refLogicGraphs[n] = scope->addPlotGraph();
        refLogicGraphs[n]->setLineStyle(QCPGraph::lsStepCenter);
    }
    fftGraph1 = scope->addPlotGraph();
    fftGraph1->setLineStyle(QCPGraph::lsImpulse);
    fftGraph2 = scope->addPlotGraph();
    fftGraph2->setLineStyle(QCPGraph::lsImpulse);
    setupXYCurve(plot);
    setupScatterStyles(ui->checkBoxVectors->isChecked());
}

void QuorvelInterface::setupScatterStyles(bool vectors)
{
    const QCPScatterStyle scatter(vectors ? QCPScatterStyle::ssNone : QCPScatterStyle::ssDot, ScatterSize);
    const QCPGraph::LineStyle line = vectors ? QCPGraph::lsLine : QCPGraph::lsNone;
    for (QCPGraph *graph : {ch1Graph, ch2Graph}) {
        graph->setScatterStyle(scatter);
        graph->setLineStyle(line);
    }
    // References are always dashed lines: never taken for live dots or lines.
    for (QCPGraph *graph : {refCh1Graph, refCh2Graph}) {
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
        graph->setLineStyle(QCPGraph::lsLine);
    }
    xyCurve->setScatterStyle(scatter);
    xyCurve->setLineStyle(vectors ? QCPCurve::lsLine : QCPCurve::lsNone);
    for (int k = 0; k < historyGraphs; ++k) {
        for (QCPGraph *graph : {ch1PersistGraphs[k], ch2PersistGraphs[k]}) {
            graph->setScatterStyle(scatter);
            graph->setLineStyle(line);
        }
    }
}

void QuorvelInterface::setupItemLabels(QCustomPlot *plot)
{
    // The logic lines' labels end at the plot's right edge, whatever the
    // plot's width and the label's length: x is in pixels from an anchor on
    // that edge (frame::BitLabelX), y follows the line. The theme gives them
    // the plot's background, so traces and grid do not run through the text.
    auto *rightEdge = new QCPItemStraightLine(plot);
    rightEdge->setVisible(false);
    rightEdge->setSelectable(false);
    rightEdge->point1->setType(QCPItemPosition::ptAxisRectRatio);
    rightEdge->point2->setType(QCPItemPosition::ptAxisRectRatio);
    rightEdge->point1->setCoords(1, 0);
    rightEdge->point2->setCoords(1, 1);
    for (int n = 0; n < logicLines; ++n) {
        bitLabels[n] = addText(plot, QStringLiteral("Bit ") + QString::number(n), 0, 0, Qt::AlignRight);
        bitLabels[n]->setColor(Qt::red);
        bitLabels[n]->setClipToAxisRect(false);
        bitLabels[n]->setPadding(QMargins(2, 0, 2, 0));
        bitLabels[n]->position->setTypeX(QCPItemPosition::ptAbsolute);
        bitLabels[n]->position->setParentAnchorX(rightEdge->point1);
        bitLabels[n]->position->setCoords(frame::BitLabelX, 0);
    }
    deltaTLabel = addText(plot, QStringLiteral("ΔT = 0 ms"), 225, 502, Qt::AlignRight);
    inverseDeltaTLabel = addText(plot, QStringLiteral(" 1/ΔT = 0 ms "), 225, 487, Qt::AlignRight);
    deltaVLabel = addText(plot, QStringLiteral("ΔV = 0 V"), 200, 25, Qt::AlignLeft);
    vbLabel = addText(plot, QStringLiteral("Vb = 0 V"), 200, 40, Qt::AlignLeft);
    vaLabel = addText(plot, QStringLiteral("Va = 0 V"), 200, 55, Qt::AlignLeft);
}

void QuorvelInterface::setupCursors(QCustomPlot *plot)
{
    const QString images = QStringLiteral(":/Bitmaps/Bitmaps/");

    hCursorMarkerA = addMarker(plot, images + QStringLiteral("hcursorA.png"));
    hCursorMarkerB = addMarker(plot, images + QStringLiteral("hcursorB.png"));
    hCursorMarkerA->topLeft->setCoords(MarkerKey, StartHCursorA);
    hCursorMarkerB->topLeft->setCoords(MarkerKey, StartHCursorB);
    hCursorLineA = addLineThrough(plot, hCursorMarkerA->right, dottedPen(HCursorColor), 1, 0);
    hCursorLineB = addLineThrough(plot, hCursorMarkerB->right, dottedPen(HCursorColor), 1, 0);

    vCursorMarkerA = addMarker(plot, images + QStringLiteral("vcursorA.png"));
    vCursorMarkerB = addMarker(plot, images + QStringLiteral("vcursorA.png"));
    vCursorMarkerA->topLeft->setType(QCPItemPosition::ptAbsolute);
    vCursorMarkerB->topLeft->setType(QCPItemPosition::ptAbsolute);
    vCursorMarkerA->topLeft->setCoords(StartVCursorPixelA, VCursorPixelY);
    vCursorMarkerB->topLeft->setCoords(StartVCursorPixelB, VCursorPixelY);
    vCursorLineA = addLineThrough(plot, vCursorMarkerA->bottom, dottedPen(VCursorColor), 0, 1);
    vCursorLineB = addLineThrough(plot, vCursorMarkerB->bottom, dottedPen(VCursorColor), 0, 1);

    // Hidden until a cursor mode shows them.
    const QList<QCPAbstractItem *> cursorItems = {hCursorMarkerA, hCursorMarkerB, hCursorLineA, hCursorLineB,
                                                  vCursorMarkerA, vCursorMarkerB, vCursorLineA, vCursorLineB};
    for (QCPAbstractItem *item : cursorItems)
        item->setVisible(false);

    // Zero markers: x in pixels at the left edge, y at the channel's 0 V level.
    ch1ZeroMarker = addMarker(plot, images + QStringLiteral("chan1-zero.png"));
    ch2ZeroMarker = addMarker(plot, images + QStringLiteral("chan2-zero.png"));
    const struct
    {
        QCPItemPixmap *marker;
        int position;
    } zeros[] = {{ch1ZeroMarker, ui->ch1PositionSlider->value()},
                 {ch2ZeroMarker, ui->ch2PositionSlider->value()}};
    for (const auto &zero : zeros) {
        zero.marker->topLeft->setTypeX(QCPItemPosition::ptAbsolute);
        zero.marker->topLeft->setTypeY(QCPItemPosition::ptPlotCoords);
        zero.marker->topLeft->setCoords(ZeroMarkerPixelX, frame::zeroLevel(zero.position));
        zero.marker->setClipToAxisRect(false);
    }
    // The zero lines show only while a zero level is being moved.
    ch1ZeroLine = addLineThrough(plot, ch1ZeroMarker->right, dottedPen(ZeroLineColor), 1, 0);
    ch2ZeroLine = addLineThrough(plot, ch2ZeroMarker->right, dottedPen(ZeroLineColor), 1, 0);
    ch1ZeroLine->setVisible(false);
    ch2ZeroLine->setVisible(false);

    triggerMarker = addMarker(plot, images + QStringLiteral("dualr.png"));
    windowMarker1 = addMarker(plot, images + QStringLiteral("risingg.png"));
    windowMarker2 = addMarker(plot, images + QStringLiteral("fallingg.png"));
    for (QCPItemPixmap *marker : {triggerMarker, windowMarker1, windowMarker2}) {
        marker->topLeft->setCoords(HiddenMarkerKey, HiddenMarkerValue);
        marker->setVisible(false);
    }
}

void QuorvelInterface::setupTracers(QCustomPlot *plot)
{
    QCPItemTracer **tracers[] = {&ch1TracerA, &ch1TracerB, &ch2TracerA, &ch2TracerB};
    for (QCPItemTracer **tracer : tracers) {
        *tracer = new QCPItemTracer(plot);
        (*tracer)->setStyle(QCPItemTracer::tsCircle);
        (*tracer)->setSize(7);
        (*tracer)->setPen(QPen(QColor(TracerColor)));
        (*tracer)->setBrush(QBrush(QColor(TracerColor), Qt::SolidPattern));
        (*tracer)->setInterpolating(true);
        (*tracer)->setSelectable(false);
        (*tracer)->setVisible(false);
    }
}

void QuorvelInterface::on_comboBoxGrid_currentIndexChanged(int index)
{
    if (!theme::gridPen(ui->comboBoxTheme->currentIndex(), index, &customColors, plotPalette.grid))
        return;
    ui->plotterWidget->xAxis->grid()->setPen(plotPalette.grid);
    ui->plotterWidget->yAxis->grid()->setPen(plotPalette.grid);
    redrawRequested = true;
}

void QuorvelInterface::itemDoubleClick(QCPAbstractItem *item, QMouseEvent *)
{
    auto *text = qobject_cast<QCPItemText *>(item);
    if (!text)
        return;
    bool accepted = false;
    const QString entered = QInputDialog::getText(this, tr("Rename"), tr("New Label:"), QLineEdit::Normal,
                                                  text->text(), &accepted);
    if (accepted)
        text->setText(entered);
}
