#pragma once

#include <qcustomplot.h>

#include <QHash>
#include <QImage>
#include <QVector>

#include <vector>

class PlotGraph;
class PersistenceImage;

// The oscilloscope screen: QCustomPlot with a resize notification, a way to
// blank the drawing without losing any content, the persistence flag that
// the graphs' line drawing reads, and the accumulation of what persistence
// has drawn.
//
// Drawing cost: the bottom paint buffer is opaque, filled with the plot's
// background colour, so showing it is a copy rather than a blend over a
// separate background fill; and wide pens (up to 3 px) are drawn as two
// one-pixel lines, which the rasteriser strokes far more cheaply than a wide
// outline.
class PlotWidget : public QCustomPlot
{
    Q_OBJECT

public:
    explicit PlotWidget(QWidget *parent = nullptr);
    ~PlotWidget() override;

    // Paints the background only; graphs, items and axes stay in the plot and
    // come back with the next replot.
    void clearScene();

    // While blanked the widget shows its background only, whatever is
    // replotted meanwhile. Blanking clears the scene once; unblanking replots.
    void setBlanked(bool on);
    bool blanked() const { return isBlanked; }

    // A graph of this plot that draws its line segment by segment (see PlotGraph).
    PlotGraph *addPlotGraph(QCPAxis *keyAxis = nullptr, QCPAxis *valueAxis = nullptr);

    // While set, every line graph adds two short strokes at each point.
    bool persistenceMode = false;

    // Persistence: paints the graph's present data, with its pen and the
    // persistence strokes, into an image below the grid and the graphs that
    // keeps everything painted into it until cleared. From then on the graph is
    // shown through that image only. The image has the size of the plot, so
    // its cost does not grow with the number of frames painted into it.
    void accumulate(PlotGraph *graph);
    // The same for the graphs of one frame, in one pass over the image.
    void accumulate(const QVector<PlotGraph *> &graphs);
    // Intensity grading: the accumulation counts, per pixel, the frames whose
    // graphs passed through it, and shows the share of frames as a colour
    // from dim blue (rarely) through green and yellow to red (every frame).
    // Its cost per frame is one pass over the plot's pixels, however long
    // it has run. Switching it empties the accumulation.
    void setIntensityGraded(bool on);
    bool intensityGraded() const { return graded; }
    // Frames counted into the grading (halved with the counts when large).
    int gradedFrameCount() const { return gradedFrames; }
    // The colour of a share of frames, 0..1.
    static QRgb gradeColor(double share);

    // Empties the image and shows every graph again. Done by the widget itself
    // on a resize and when an axis range changes (the pixels would no longer
    // match the coordinates).
    void clearAccumulation();
    bool accumulationEmpty() const { return accumulation.isNull(); }
    // Bytes held by the accumulation; 0 when it is empty.
    qint64 accumulationBytes() const { return accumulation.sizeInBytes(); }
    // The accumulated pixels: on an opaque background, that background where
    // nothing was drawn; otherwise transparent there.
    const QImage &accumulationImage() const { return accumulation; }
    // True in a replot whose persistence image is opaque and of the given
    // buffer size: it is then copied over every pixel of the bottom buffer.
    bool accumulationCoversBuffer(const QSize &pixels) const;

    // The cheaper drawing described above (default). Off: the library's own
    // transparent buffers and wide-pen outlines, kept so that benchmarks can
    // compare both in one run.
    void setCheapDrawing(bool on);
    bool cheapDrawing() const { return useCheapDrawing; }

    // Replots whose graphs drew the same as in the replot before show the
    // graphs from one cached picture instead of stroking them again (with
    // persistence on, the references and the decay history stay unchanged
    // for as long as it runs). True while the last replot did so.
    bool graphsFromCache() const { return graphCache.drawnFromImage; }

    // The opaque background colour the bottom buffer is filled with; invalid
    // when the background is not one opaque colour (then the buffer is
    // transparent and painted over a fill, as the library does).
    QColor opaqueBackground() const;

signals:
    // Emitted once per resize, after the plot has been drawn at the new size.
    void sizeChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    friend class PersistenceImage;
    friend class PlotGraph;
    void installBottomBuffer();
    void clearIfRangeMoved(const QCPRange &now, const QCPRange &before);

    // The graph cache: the first run of consecutive graphs on their layer,
    // a signature of everything they draw, and their picture once the
    // signature held for two replots in a row.
    struct GraphCache
    {
        QVector<PlotGraph *> run;
        PlotGraph *leader = nullptr; // the run's first drawn graph: shows the picture
        quint64 signature = 0;
        bool unchanged = false;
        QImage image;
        QRect content;               // where the picture is not transparent, in its pixels
        bool drawnFromImage = false; // in the replot under way (or the last one)
    };
    void prepareGraphCache();
    quint64 graphSignature() const;
    // Called by a graph of the plot as it is drawn: true when the cached
    // picture stands for it.
    bool drawnFromCache(PlotGraph *graph, QCPPainter *painter);

    void accumulateGraded(const QVector<PlotGraph *> &graphs);

    bool isBlanked = false;
    bool useCheapDrawing = true;
    QImage accumulation;
    bool graded = false;
    QImage hitMask;                 // one frame's graphs, for the counts
    std::vector<quint16> hits;      // frames through each pixel
    int gradedFrames = 0;
    QRect hitBounds;                // pixels with counts
    PersistenceImage *accumulationItem = nullptr;
    GraphCache graphCache;
};

// A graph whose line is drawn as separate segments. Segments are much cheaper
// than one polyline with a wide pen, and they carry the persistence strokes.
class PlotGraph : public QCPGraph
{
    Q_OBJECT

public:
    PlotGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

    // Draws the graph onto another painter (in plot pixel coordinates),
    // clipped to its axis rect, as a replot would.
    void drawInto(QCPPainter *painter);
    // Shown through the plot's accumulation image instead of drawn itself.
    bool accumulated() const { return inAccumulation; }

protected:
    void draw(QCPPainter *painter) override;
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override;
    void drawImpulsePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override;

private:
    friend class PlotWidget;
    bool cheapPen(const QPen &pen) const;
    // Draws the lines with a pen of `width` as two one-pixel lines, the second
    // moved by width - 1 pixels across the line's main direction.
    void drawDoubled(QCPPainter *painter, const QVector<QLineF> &lines, double width) const;
    // Painting into the accumulation: cuts an impulse down to the part not
    // painted yet; false when there is none.
    bool newImpulsePart(QLineF &line) const;

    // What this graph has painted into the accumulation since it was last
    // emptied: a steady signal repeats most of its segments and strokes frame
    // after frame, and painting them again would only darken their
    // antialiased edges. Each distinct run of segments, and each distinct
    // stroke run, is painted once; an impulse only where it reaches beyond
    // the earlier ones (they all start at the same base line). Bounded: past
    // MaxRemembered entries new ones are painted without being remembered.
    struct Painted
    {
        static constexpr int MaxRemembered = 1 << 16;
        struct Extent
        {
            double low, high;
        };
        QPen pen; // what was painted with; another pen starts afresh
        // Keys of what was painted: an open-addressed table of 64-bit keys
        // (0 marks a free slot), grown by doubling up to MaxRemembered keys.
        class Keys
        {
        public:
            // True when the key was not remembered yet (and is now, room allowing).
            bool remember(quint64 key);
            void clear();

        private:
            std::vector<quint64> table;
            int count = 0;
        };
        Keys segments;
        Keys strokes;
        QHash<double, Extent> impulses; // pixel x to the span painted there
        void clear();
    };
    // Set while the plot paints this graph into its accumulation.
    bool accumulating = false;
    mutable Painted painted;
    bool inAccumulation = false;
    // Reused between draws so that a replot does not allocate.
    mutable QVector<QLineF> segments;
    mutable QVector<QLineF> strokes;
    mutable QVector<QLineF> doubled;
};
