#include "display/plotwidget.h"

#include <cmath>

namespace {

const QString PersistenceLayer = QStringLiteral("persistence");

// Wide pens up to this width are drawn as two one-pixel lines.
constexpr double MaxDoubledWidth = 3;

// The bottom paint buffer. Filled with the plot's background colour when that
// is one opaque colour: the buffer then has no alpha channel, and the widget
// copies it instead of blending it over a background fill. Otherwise it is
// the library's transparent buffer.
class OpaquePaintBuffer : public QCPPaintBufferPixmap
{
public:
    OpaquePaintBuffer(const QSize &size, double devicePixelRatio, const PlotWidget *plot)
        : QCPPaintBufferPixmap(size, devicePixelRatio), plot(plot)
    {
    }

    void clear(const QColor &color) override
    {
        const QColor background = plot->opaqueBackground();
        opaque = background.isValid();
        if (!opaque) {
            mBuffer.fill(color);
            return;
        }
        if (mBuffer.hasAlphaChannel())
            reallocateBuffer(); // a new pixmap is opaque until filled with alpha
        mBuffer.fill(background);
    }

    bool isOpaque() const { return opaque && !mBuffer.hasAlphaChannel(); }

private:
    const PlotWidget *plot;
    bool opaque = false;
};

} // namespace

// The accumulated persistence image, on its own layer between the background
// and the grid. On an opaque background the image holds the background too
// and is copied, not blended: its cost does not depend on how much of it
// persistence has covered.
class PersistenceImage : public QCPLayerable
{
public:
    explicit PersistenceImage(PlotWidget *plot) : QCPLayerable(plot, PersistenceLayer), plot(plot) {}

protected:
    void applyDefaultAntialiasingHint(QCPPainter *) const override {}
    void draw(QCPPainter *painter) override
    {
        if (plot->accumulation.isNull())
            return;
        if (!plot->accumulation.hasAlphaChannel())
            painter->setCompositionMode(QPainter::CompositionMode_Source); // the layer restores it
        painter->drawImage(QPointF(0, 0), plot->accumulation);
    }

private:
    PlotWidget *plot;
};

PlotWidget::PlotWidget(QWidget *parent) : QCustomPlot(parent)
{
    addLayer(PersistenceLayer, layer(QStringLiteral("background")), limAbove);
    accumulationItem = new PersistenceImage(this);
    installBottomBuffer();
    for (QCPAxis *axis : {xAxis, yAxis})
        connect(axis, qOverload<const QCPRange &, const QCPRange &>(&QCPAxis::rangeChanged), this,
                &PlotWidget::clearIfRangeMoved);
}

PlotWidget::~PlotWidget() = default;

void PlotWidget::installBottomBuffer()
{
    if (!mPaintBuffers.isEmpty() && dynamic_cast<OpaquePaintBuffer *>(mPaintBuffers.first().data()))
        return;
    QSharedPointer<QCPAbstractPaintBuffer> bottom(
        new OpaquePaintBuffer(viewport().size(), mBufferDevicePixelRatio, this));
    if (mPaintBuffers.isEmpty())
        mPaintBuffers.append(bottom);
    else
        mPaintBuffers[0] = bottom;
    setupPaintBuffers(); // the layers take the new buffer
}

QColor PlotWidget::opaqueBackground() const
{
    if (!useCheapDrawing || mBackgroundBrush.style() != Qt::SolidPattern || !mBackgroundPixmap.isNull())
        return QColor();
    const QColor color = mBackgroundBrush.color();
    return color.alpha() == 255 ? color : QColor();
}

void PlotWidget::setCheapDrawing(bool on)
{
    useCheapDrawing = on;
}

void PlotWidget::resizeEvent(QResizeEvent *event)
{
    Q_UNUSED(event)
    setViewport(rect());
    clearAccumulation(); // its pixels belong to the old size
    setupPaintBuffers(); // buffers take the new viewport size
    replot();
    emit sizeChanged();
}

void PlotWidget::paintEvent(QPaintEvent *event)
{
    QCPPainter painter;
    if (isBlanked) {
        if (painter.begin(this)) {
            if (mBackgroundBrush.style() != Qt::NoBrush)
                painter.fillRect(mViewport, mBackgroundBrush);
            drawBackground(&painter);
        }
        return;
    }
    const auto *bottom = mPaintBuffers.isEmpty()
                             ? nullptr
                             : dynamic_cast<const OpaquePaintBuffer *>(mPaintBuffers.first().data());
    if (!bottom || !bottom->isOpaque() || !qFuzzyCompare(mBufferDevicePixelRatio, devicePixelRatioF())) {
        QCustomPlot::paintEvent(event);
        return;
    }
    // The bottom buffer already holds the background: no fill under it.
    if (painter.begin(this)) {
        for (const QSharedPointer<QCPAbstractPaintBuffer> &buffer : qAsConst(mPaintBuffers))
            buffer->draw(&painter);
    }
}

void PlotWidget::clearScene()
{
    if (mPaintBuffers.isEmpty())
        setupPaintBuffers();
    const QColor fill =
        mBackgroundBrush.style() == Qt::SolidPattern ? mBackgroundBrush.color() : QColor(Qt::transparent);
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

void PlotWidget::setBlanked(bool on)
{
    if (on == isBlanked)
        return;
    isBlanked = on;
    if (on)
        clearScene();
    else
        replot();
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

void PlotWidget::accumulate(PlotGraph *graph)
{
    if (!graph || graph->parentPlot() != this)
        return;
    const double ratio = mBufferDevicePixelRatio;
    const QSize pixels = viewport().size() * ratio;
    if (pixels.isEmpty())
        return;
    if (accumulation.size() != pixels) {
        const QColor background = opaqueBackground();
        accumulation = QImage(pixels, background.isValid() ? QImage::Format_RGB32
                                                           : QImage::Format_ARGB32_Premultiplied);
        accumulation.setDevicePixelRatio(ratio);
        accumulation.fill(background.isValid() ? background : QColor(Qt::transparent));
    }
    QCPPainter painter(&accumulation);
    graph->drawInto(&painter);
    graph->inAccumulation = true;
}

void PlotWidget::clearAccumulation()
{
    if (accumulation.isNull())
        return;
    accumulation = QImage();
    for (int i = 0; i < graphCount(); ++i)
        if (auto *g = qobject_cast<PlotGraph *>(graph(i)))
            g->inAccumulation = false;
}

void PlotWidget::clearIfRangeMoved(const QCPRange &now, const QCPRange &before)
{
    if (now != before)
        clearAccumulation();
}

PlotGraph::PlotGraph(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis) {}

void PlotGraph::drawInto(QCPPainter *painter)
{
    if (!realVisibility())
        return;
    // As the layer draws its children.
    painter->save();
    painter->setClipRect(clipRect().translated(0, -1));
    applyDefaultAntialiasingHint(painter);
    QCPGraph::draw(painter);
    painter->restore();
}

void PlotGraph::draw(QCPPainter *painter)
{
    if (!inAccumulation)
        QCPGraph::draw(painter);
}

bool PlotGraph::cheapPen(const QPen &pen) const
{
    const auto *plot = qobject_cast<const PlotWidget *>(mParentPlot);
    return plot && plot->cheapDrawing() && pen.style() == Qt::SolidLine && pen.widthF() > 1 &&
           pen.widthF() <= MaxDoubledWidth;
}

void PlotGraph::drawDoubled(QCPPainter *painter, const QVector<QLineF> &lines, double width) const
{
    const QPen wide = painter->pen();
    QPen thin = wide;
    thin.setWidthF(1);
    const double shift = width - 1;
    doubled.resize(0);
    doubled.reserve(2 * lines.size());
    for (const QLineF &line : lines) {
        doubled.append(line);
        doubled.append(std::abs(line.dx()) >= std::abs(line.dy()) ? line.translated(0, shift)
                                                                  : line.translated(shift, 0));
    }
    painter->setPen(thin);
    painter->drawLines(doubled);
    painter->setPen(wide);
}

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
    strokes.clear();
    QLineF run(lines.at(0), lines.at(0));
    // The persistence strokes of consecutive points at one height overlap
    // (the flat runs of logic lines); each such run is drawn as one stroke:
    // the same pixels, far fewer lines.
    QLineF upper, lower;
    const auto addStroke = [this](QLineF &open, double x1, double x2, double y) {
        if (open.isNull() || open.y1() != y || x1 > open.x2() || x1 < open.x1()) {
            if (!open.isNull())
                strokes.append(open);
            open = QLineF(x1, y, x2, y);
        } else if (x2 > open.x2()) {
            open.setP2(QPointF(x2, y));
        }
    };
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
            addStroke(upper, x0, x0 + 5 * u, y);
            addStroke(lower, x0, x0 + 5 * u, y + u);
        }
    }
    if (run.p1() != run.p2())
        segments.append(run);
    if (persistence) {
        strokes.append(upper);
        strokes.append(lower);
    }

    const QPen pen = painter->pen();
    if (cheapPen(pen)) {
        segments += strokes;
        drawDoubled(painter, segments, pen.widthF());
        return;
    }
    if (plot && plot->cheapDrawing() && pen.widthF() <= 1) {
        // Thin lines in one batch: the rasteriser's cosmetic stroker takes
        // them without a call per line.
        segments += strokes;
        painter->drawLines(segments);
        return;
    }
    // One stroke per line: a wide pen over a batch of lines would be filled
    // as one large path, which costs more than the lines one by one.
    for (const QLineF &line : qAsConst(segments))
        painter->drawLine(line);
    for (const QLineF &line : qAsConst(strokes))
        painter->drawLine(line);
}

void PlotGraph::drawImpulsePlot(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    const QPen pen = painter->pen();
    if (!cheapPen(pen) || pen.color().alpha() == 0) {
        QCPGraph::drawImpulsePlot(painter, lines);
        return;
    }
    applyDefaultAntialiasingHint(painter);
    segments.resize(0);
    for (int i = 0; i + 1 < lines.size(); i += 2)
        segments.append(QLineF(lines.at(i), lines.at(i + 1)));
    QPen flat = pen;
    flat.setCapStyle(Qt::FlatCap); // an impulse does not reach past its base line
    painter->setPen(flat);
    drawDoubled(painter, segments, pen.widthF());
    painter->setPen(pen);
}
