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
    for (int i = 0; i < n - 1; ++i) {
        painter->drawLine(QLineF(lines.at(i), lines.at(i + 1)));
        if (persistence) {
            const double x0 = i == 0 ? 0.0 : lines.at(i - 1).x();
            const double y = lines.at(i).y();
            painter->drawLine(QLineF(x0, y, x0 + 5 * u, y));
            painter->drawLine(QLineF(x0, y + u, x0 + 5 * u, y + u));
        }
    }
}
