#include "display/plotwidget.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace {

const QString PersistenceLayer = QStringLiteral("persistence");

// Wide pens up to this width are drawn as two one-pixel lines.
constexpr double MaxDoubledWidth = 3;

// A 64-bit key of pixel coordinates, for remembering what was painted. Two
// different segments sharing a key would need a 64-bit collision.
quint64 pixelKey(std::initializer_list<double> coordinates)
{
    quint64 h = 0x9e3779b97f4a7c15ull;
    for (double c : coordinates) {
        quint64 bits;
        std::memcpy(&bits, &c, sizeof bits);
        h ^= bits + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
        h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ull;
        h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
        h ^= h >> 31;
    }
    return h;
}

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
        // The persistence image is copied over every pixel of this buffer
        // in the replot under way: filling it first would be wasted.
        if (plot->accumulationCoversBuffer(mBuffer.size()))
            return;
        mBuffer.fill(background);
    }

    bool isOpaque() const { return opaque && !mBuffer.hasAlphaChannel(); }

private:
    const PlotWidget *plot;
    bool opaque = false;
};

// A 64-bit hash of a block of memory, in four independent lanes of words
// so that the multiplications overlap: the graph data of a replot is hashed
// in a few microseconds.
quint64 hashBytes(const void *data, size_t size, quint64 h)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    quint64 lane[4] = {h, h ^ 0x243f6a8885a308d3ull, h ^ 0x13198a2e03707344ull, h ^ 0xa4093822299f31d0ull};
    size_t at = 0;
    for (; at + sizeof lane <= size; at += sizeof lane) {
        for (int i = 0; i < 4; ++i) {
            quint64 word;
            std::memcpy(&word, bytes + at + i * sizeof word, sizeof word);
            lane[i] = (lane[i] ^ word) * 0x9e3779b97f4a7c15ull;
            lane[i] ^= lane[i] >> 29;
        }
    }
    quint64 out = size;
    for (quint64 l : lane)
        out = (out ^ l) * 0xbf58476d1ce4e5b9ull;
    for (; at < size; ++at)
        out = (out ^ bytes[at]) * 0x100000001b3ull;
    return out ^ (out >> 31);
}

// The smallest rectangle holding every pixel of the image that is not fully
// transparent; empty when there is none.
QRect opaqueBounds(const QImage &image)
{
    int top = image.height(), bottom = -1, left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        int first = -1, last = -1;
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x])) {
                if (first < 0)
                    first = x;
                last = x;
            }
        if (first < 0)
            continue;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    return bottom < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

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
        if (!plot->accumulation.hasAlphaChannel()) {
            // Copied over the whole buffer (the layer restores the state); its
            // clip would leave the last row out.
            painter->setCompositionMode(QPainter::CompositionMode_Source);
            painter->setClipping(false);
        }
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
    connect(this, &QCustomPlot::beforeReplot, this, &PlotWidget::prepareGraphCache);
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
    accumulate(QVector<PlotGraph *>{graph});
}

void PlotWidget::accumulate(const QVector<PlotGraph *> &graphs)
{
    const double ratio = mBufferDevicePixelRatio;
    const QSize pixels = viewport().size() * ratio;
    if (pixels.isEmpty() || graphs.isEmpty())
        return;
    if (accumulation.size() != pixels) {
        const QColor background = opaqueBackground();
        accumulation = QImage(pixels, background.isValid() ? QImage::Format_RGB32
                                                           : QImage::Format_ARGB32_Premultiplied);
        accumulation.setDevicePixelRatio(ratio);
        accumulation.fill(background.isValid() ? background : QColor(Qt::transparent));
    }
    if (graded) {
        accumulateGraded(graphs);
        return;
    }
    // One painter for the frame's graphs: opening one on the image costs
    // about as much as painting a graph's new segments.
    QCPPainter painter(&accumulation);
    for (PlotGraph *graph : graphs) {
        if (!graph || graph->parentPlot() != this)
            continue;
        if (graph->painted.pen != graph->pen())
            graph->painted.clear(); // its pixels look different from what is painted now
        graph->painted.pen = graph->pen();
        graph->accumulating = true;
        graph->drawInto(&painter);
        graph->accumulating = false;
        graph->inAccumulation = true;
    }
}

bool PlotWidget::accumulationCoversBuffer(const QSize &pixels) const
{
    return mReplotting && !accumulation.isNull() && !accumulation.hasAlphaChannel() &&
           accumulation.size() == pixels && accumulationItem->realVisibility();
}

void PlotWidget::setIntensityGraded(bool on)
{
    if (on == graded)
        return;
    graded = on;
    clearAccumulation();
}

QRgb PlotWidget::gradeColor(double share)
{
    struct Stop
    {
        double at;
        int r, g, b;
    };
    static const Stop stops[] = {{0.0, 40, 40, 220}, {0.25, 0, 190, 255}, {0.5, 0, 230, 60},
                                 {0.75, 255, 230, 0}, {1.0, 255, 40, 20}};
    share = share < 0 ? 0 : (share > 1 ? 1 : share);
    for (int k = 1; k < 5; ++k) {
        if (share > stops[k].at && k < 4)
            continue;
        const Stop &a = stops[k - 1], &b = stops[k];
        const double t = (share - a.at) / (b.at - a.at);
        return qRgb(int(a.r + t * (b.r - a.r)), int(a.g + t * (b.g - a.g)), int(a.b + t * (b.b - a.b)));
    }
    return qRgb(255, 40, 20);
}

void PlotWidget::accumulateGraded(const QVector<PlotGraph *> &graphs)
{
    const QSize pixels = accumulation.size();
    if (hitMask.size() != pixels) {
        hitMask = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        hitMask.setDevicePixelRatio(accumulation.devicePixelRatio());
        hits.assign(size_t(pixels.width()) * size_t(pixels.height()), 0);
        gradedFrames = 0;
        hitBounds = QRect();
    }
    // This frame's graphs, whole (nothing is left out as painted before).
    hitMask.fill(Qt::transparent);
    {
        QCPPainter painter(&hitMask);
        for (PlotGraph *graph : graphs) {
            if (!graph || graph->parentPlot() != this)
                continue;
            graph->drawInto(&painter);
            graph->inAccumulation = true;
        }
    }
    // Bounded counts: halved with the frame count, shares stay as they were.
    if (++gradedFrames >= 1 << 15) {
        for (quint16 &h : hits)
            h = quint16((h + 1) / 2);
        gradedFrames /= 2;
    }
    const int w = pixels.width(), h = pixels.height();
    int top = h, bottom = -1, left = w, right = -1;
    for (int y = 0; y < h; ++y) {
        const auto *mask = reinterpret_cast<const QRgb *>(hitMask.constScanLine(y));
        quint16 *row = hits.data() + size_t(y) * size_t(w);
        int first = -1, last = -1;
        for (int x = 0; x < w; ++x)
            if (qAlpha(mask[x]) >= 64) { // the line itself, not its faint antialiased edge
                if (row[x] < 0xffff)
                    ++row[x];
                if (first < 0)
                    first = x;
                last = x;
            }
        if (first < 0)
            continue;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    if (bottom >= 0)
        hitBounds |= QRect(QPoint(left, top), QPoint(right, bottom));
    // Every counted pixel takes the colour of its share of the frames: the
    // shares change with each frame. The square root spreads the rare ones.
    constexpr int Steps = 1024;
    QRgb ramp[Steps + 1];
    for (int i = 0; i <= Steps; ++i)
        ramp[i] = gradeColor(std::sqrt(double(i) / Steps)) | 0xff000000u;
    const double stepsPerHit = double(Steps) / gradedFrames;
    for (int y = hitBounds.top(); y <= hitBounds.bottom(); ++y) {
        auto *out = reinterpret_cast<QRgb *>(accumulation.scanLine(y));
        const quint16 *row = hits.data() + size_t(y) * size_t(w);
        for (int x = hitBounds.left(); x <= hitBounds.right(); ++x)
            if (row[x])
                out[x] = ramp[std::min(Steps, int(row[x] * stepsPerHit + 0.5))];
    }
}

void PlotWidget::clearAccumulation()
{
    hits.clear();
    hitMask = QImage();
    gradedFrames = 0;
    hitBounds = QRect();
    if (accumulation.isNull())
        return;
    accumulation = QImage();
    for (int i = 0; i < graphCount(); ++i)
        if (auto *g = qobject_cast<PlotGraph *>(graph(i))) {
            g->inAccumulation = false;
            g->painted.clear();
        }
}

void PlotWidget::prepareGraphCache()
{
    GraphCache &c = graphCache;
    c.drawnFromImage = false;
    c.run.clear();
    c.leader = nullptr;
    // On an opaque background only: there the picture blended over the
    // buffer gives exactly the pixels the graphs draw.
    if (!opaqueBackground().isValid() || graphCount() == 0 || !graph(0)->layer()) {
        c.image = QImage();
        c.unchanged = false;
        return;
    }
    // The first run of graphs with nothing else between them on their layer:
    // one picture in their place draws them in the same order.
    const QList<QCPLayerable *> children = graph(0)->layer()->children();
    for (QCPLayerable *child : children) {
        auto *g = qobject_cast<PlotGraph *>(child);
        if (!g) {
            if (!c.run.isEmpty())
                break;
            continue;
        }
        c.run.append(g);
        if (g->realVisibility() && !g->inAccumulation && !c.leader)
            c.leader = g;
    }
    // The leader is the first graph drawn (accumulated ones draw nothing).
    const quint64 signature = graphSignature();
    c.unchanged = c.leader && signature == c.signature;
    if (!c.unchanged)
        c.image = QImage();
    c.signature = signature;
}

quint64 PlotWidget::graphSignature() const
{
    quint64 h = pixelKey({double(viewport().width()), double(viewport().height()), mBufferDevicePixelRatio,
                          double(persistenceMode), double(graphCache.run.size())});
    const auto mix = [&h](std::initializer_list<double> values) { h ^= pixelKey(values) + (h << 1); };
    for (const PlotGraph *g : graphCache.run) {
        const bool drawn = g->realVisibility() && !g->inAccumulation;
        mix({double(drawn)});
        if (!drawn)
            continue;
        const QPen &pen = g->pen();
        const QBrush &brush = g->brush();
        const QCPScatterStyle &scatter = g->scatterStyle();
        const QCPRange keys = g->keyAxis()->range(), values = g->valueAxis()->range();
        mix({double(pen.color().rgba()), pen.widthF(), double(pen.style()), double(pen.capStyle()),
             double(pen.joinStyle()), double(brush.color().rgba()), double(brush.style()),
             double(g->lineStyle()), double(scatter.shape()), scatter.size(),
             double(scatter.pen().color().rgba()), double(scatter.brush().color().rgba()),
             double(g->antialiased()), double(g->selected()), double(g->keyAxis()->orientation()),
             keys.lower, keys.upper, values.lower, values.upper, double(g->dataCount())});
        if (g->dataCount() > 0) // the points lie one after another in memory
            h = hashBytes(&*g->data()->constBegin(), size_t(g->dataCount()) * sizeof(QCPGraphData), h);
    }
    return h;
}

bool PlotWidget::drawnFromCache(PlotGraph *graph, QCPPainter *painter)
{
    GraphCache &c = graphCache;
    if (!c.unchanged || !c.run.contains(graph))
        return false;
    if (graph != c.leader)
        return c.drawnFromImage; // the leader, drawn first, showed the picture
    // Only onto the plot's own buffers in a replot: an export draws at
    // another size or scale, and without a replot the signature is not
    // current.
    c.drawnFromImage = false;
    const QSize pixels = viewport().size() * mBufferDevicePixelRatio;
    if (!mReplotting || painter->transform().type() > QTransform::TxTranslate || pixels.isEmpty() ||
        (!c.image.isNull() && c.image.size() != pixels))
        return false;
    if (c.image.isNull()) {
        c.image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        c.image.setDevicePixelRatio(mBufferDevicePixelRatio);
        c.image.fill(Qt::transparent);
        QCPPainter imagePainter(&c.image);
        imagePainter.setMode(QCPPainter::pmNoCaching);
        for (PlotGraph *g : qAsConst(c.run))
            if (!g->inAccumulation)
                g->drawInto(&imagePainter);
        imagePainter.end();
        c.content = opaqueBounds(c.image);
    }
    // In buffer pixels (the painter may be moved by half a pixel for
    // antialiased drawing), and only where the graphs drew.
    if (!c.content.isEmpty()) {
        painter->save();
        painter->resetTransform();
        painter->drawImage(QPointF(c.content.topLeft()) / mBufferDevicePixelRatio, c.image, c.content);
        painter->restore();
    }
    c.drawnFromImage = true;
    return true;
}

void PlotWidget::clearIfRangeMoved(const QCPRange &now, const QCPRange &before)
{
    if (now != before)
        clearAccumulation();
}

PlotGraph::PlotGraph(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPGraph(keyAxis, valueAxis) {}

void PlotGraph::Painted::clear()
{
    pen = QPen();
    segments.clear();
    strokes.clear();
    impulses.clear();
}

bool PlotGraph::Painted::Keys::remember(quint64 key)
{
    key = key ? key : 1; // 0 marks a free slot
    if (table.empty())
        table.assign(1024, 0);
    size_t mask = table.size() - 1;
    for (size_t at = key & mask;; at = (at + 1) & mask) {
        if (table[at] == key)
            return false;
        if (table[at] == 0)
            break;
    }
    if (count >= MaxRemembered)
        return true;
    if (2 * size_t(count + 1) > table.size()) { // at most half full: short probes
        std::vector<quint64> old(2 * table.size(), 0);
        old.swap(table);
        mask = table.size() - 1;
        for (quint64 k : old)
            if (k) {
                size_t at = k & mask;
                while (table[at])
                    at = (at + 1) & mask;
                table[at] = k;
            }
    }
    size_t at = key & mask;
    while (table[at])
        at = (at + 1) & mask;
    table[at] = key;
    ++count;
    return true;
}

void PlotGraph::Painted::Keys::clear()
{
    std::vector<quint64>().swap(table);
    count = 0;
}

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
    if (inAccumulation)
        return;
    auto *plot = qobject_cast<PlotWidget *>(mParentPlot);
    if (plot && plot->drawnFromCache(this, painter))
        return;
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
    for (const QLineF &open : {upper, lower})
        if (!open.isNull())
            strokes.append(open);
    if (accumulating) {
        // What is in the accumulation already is not painted again. Looked
        // up run by run: a logic line's flat runs are one key each, not one
        // per point, which keeps the lookups (and the tables) few.
        const auto keepNew = [](QVector<QLineF> &lines, Painted::Keys &keys) {
            int kept = 0;
            for (const QLineF &l : qAsConst(lines))
                if (keys.remember(pixelKey({l.x1(), l.y1(), l.x2(), l.y2()})))
                    lines[kept++] = l;
            lines.resize(kept);
        };
        keepNew(segments, painted.segments);
        keepNew(strokes, painted.strokes);
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
    for (int i = 0; i + 1 < lines.size(); i += 2) {
        QLineF line(lines.at(i), lines.at(i + 1));
        if (accumulating && !newImpulsePart(line))
            continue;
        segments.append(line);
    }
    QPen flat = pen;
    flat.setCapStyle(Qt::FlatCap); // an impulse does not reach past its base line
    painter->setPen(flat);
    drawDoubled(painter, segments, pen.widthF());
    painter->setPen(pen);
}

bool PlotGraph::newImpulsePart(QLineF &line) const
{
    // An impulse runs from the base line to its value, across the key axis.
    const bool vertical = line.x1() == line.x2();
    if (!vertical && line.y1() != line.y2())
        return true; // not axis-aligned: painted whole
    const double at = vertical ? line.x1() : line.y1();
    const double from = vertical ? line.y1() : line.x1();
    const double to = vertical ? line.y2() : line.x2();
    const double low = std::min(from, to), high = std::max(from, to);
    auto known = painted.impulses.find(at);
    if (known == painted.impulses.end()) {
        if (painted.impulses.size() < Painted::MaxRemembered)
            painted.impulses.insert(at, {low, high});
        return true;
    }
    Painted::Extent &e = known.value();
    // All impulses of a graph share the base line, so the painted span holds
    // it and a new impulse reaches past the span on one side at most.
    double partFrom, partTo;
    if (high > e.high && low >= e.low) {
        partFrom = e.high;
        partTo = high;
    } else if (low < e.low && high <= e.high) {
        partFrom = low;
        partTo = e.low;
    } else if (low < e.low) { // past both ends: painted whole
        e = {low, high};
        return true;
    } else {
        return false; // inside what is painted
    }
    e = {std::min(e.low, low), std::max(e.high, high)};
    line = vertical ? QLineF(at, partFrom, at, partTo) : QLineF(partFrom, at, partTo, at);
    return true;
}
