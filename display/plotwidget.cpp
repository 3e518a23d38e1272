#include "display/plotwidget.h"

PlotWidget::PlotWidget(QWidget *parent) : QCustomPlot(parent) {}

void PlotWidget::resizeEvent(QResizeEvent *event)
{
    Q_UNUSED(event)
    setViewport(rect());
    setupPaintBuffers(); // buffers take the new viewport size
    replot();
    emit sizeChanged();
}

void PlotWidget::clearScene()
{
    if (mPaintBuffers.isEmpty())
        setupPaintBuffers();
    const QColor fill = mBackgroundBrush.style() == Qt::SolidPattern ? mBackgroundBrush.color()
                                                                      : QColor(Qt::transparent);
    // The upper buffers hold the layers above the background; blank them too so
    // that the widget shows the background alone until the next replot.
    for (int i = 0; i < mPaintBuffers.size(); ++i)
        mPaintBuffers.at(i)->clear(i == 0 ? fill : QColor(Qt::transparent));

    QCPAbstractPaintBuffer *buffer = mPaintBuffers.first().data();
    QCPPainter *painter = buffer->startPainting();
    if (painter) {
        if (painter->isActive()) {
            painter->setRenderHint(QPainter::Antialiasing);
            if (mBackgroundBrush.style() != Qt::SolidPattern && mBackgroundBrush.style() != Qt::NoBrush)
                painter->fillRect(mViewport, mBackgroundBrush);
            // Keeps the tick positions current for the axis ranges without drawing them.
            for (QCPAxisRect *axisRect : axisRects())
                axisRect->update(QCPLayoutElement::upPreparation);
            drawBackground(painter);
        }
        delete painter;
        buffer->donePainting();
    }
    update();
}

PlotGraph *PlotWidget::addPlotGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
{
    if (!keyAxis)
        keyAxis = xAxis;
    if (!valueAxis)
        valueAxis = yAxis;
    if (!keyAxis || !valueAxis || keyAxis->parentPlot() != this || valueAxis->parentPlot() != this)
        return nullptr;
    return new PlotGraph(keyAxis, valueAxis); // registers itself with the plot
}

PlotGraph::PlotGraph(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis) {}

void PlotGraph::drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    if (painter->pen().style() == Qt::NoPen || painter->pen().color().alpha() == 0)
        return;
    const int n = lines.size();
    if (n < 2)
        return;
    applyDefaultAntialiasingHint(painter);

    const auto *plot = qobject_cast<const PlotWidget *>(mParentPlot);
    const bool persistence = plot && plot->persistenceMode;
    const double u = mParentPlot->width() / 220.0;

    // Consecutive segments that continue in the same direction (the flat runs
    // of logic lines and steps) are drawn as one: the same pixels, fewer
    // strokes, and no doubled antialiasing where segments would meet.
    segments.clear();
    QLineF run(lines.at(0), lines.at(0));
    for (int i = 0; i < n - 1; ++i) {
        const QPointF &a = lines.at(i);
        const QPointF &b = lines.at(i + 1);
        if (b != a) {
            const QPointF along = run.p2() - run.p1();
            const QPointF next = b - a;
            const bool continues = along.x() * next.y() == along.y() * next.x() &&
                                   along.x() * next.x() + along.y() * next.y() > 0;
            if (continues) {
                run.setP2(b);
            } else {
                if (run.p1() != run.p2())
                    segments.append(run);
                run = QLineF(a, b);
            }
        }
        if (persistence) {
            const double x0 = i == 0 ? 0.0 : lines.at(i - 1).x();
            const double y = a.y();
            strokes.append(QLineF(x0, y, x0 + 5 * u, y));
            strokes.append(QLineF(x0, y + u, x0 + 5 * u, y + u));
        }
    }
    if (run.p1() != run.p2())
        segments.append(run);
    // One stroke per line: a wide pen over a batch of lines would be filled
    // as one large path, which costs more than the lines one by one.
    for (const QLineF &line : qAsConst(segments))
        painter->drawLine(line);
    for (const QLineF &line : qAsConst(strokes))
        painter->drawLine(line);
    strokes.clear();
}
