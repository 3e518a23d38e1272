#pragma once

#include <qcustomplot.h>

class PlotGraph;

// The oscilloscope screen: QCustomPlot with a resize notification, a way to
// blank the drawing without losing any content, and the persistence flag that
// the graphs' line drawing reads.
class PlotWidget : public QCustomPlot
{
    Q_OBJECT

public:
    explicit PlotWidget(QWidget *parent = nullptr);

    // Paints the background only; graphs, items and axes stay in the plot and
    // come back with the next replot.
    void clearScene();

    // A graph of this plot that draws its line segment by segment (see PlotGraph).
    PlotGraph *addPlotGraph(QCPAxis *keyAxis = nullptr, QCPAxis *valueAxis = nullptr);

    // While set, every line graph adds two short strokes at each point.
    bool persistenceMode = false;

signals:
    // Emitted once per resize, after the plot has been drawn at the new size.
    void sizeChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;
};

// A graph whose line is drawn as separate segments. Segments are much cheaper
// than one polyline with a wide pen, and they carry the persistence strokes.
class PlotGraph : public QCPGraph
{
    Q_OBJECT

public:
    PlotGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

protected:
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override;

private:
    // Reused between draws so that a replot does not allocate.
    mutable QVector<QLineF> segments;
    mutable QVector<QLineF> strokes;
};
