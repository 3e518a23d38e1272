// XY: CH2 against CH1 as one curve, its points joined in the order they were
// sampled, on square divisions.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "display/traces.h"

#include <cmath>

namespace {
// The plot's ranges outside XY: 256 columns, 512 value units, eight
// divisions each way; XY keeps the units per division (32 counts of CH1
// across, 32 counts of CH2 up) and widens one axis so that a division is as
// wide as it is high.
constexpr double ValueRange = 512;
constexpr double XyKeyRange = 256;

bool setRangeIfOther(QCPAxis *axis, const QCPRange &range)
{
    if (std::fabs(axis->range().lower - range.lower) < 1e-9 && std::fabs(axis->range().upper - range.upper) < 1e-9)
        return false;
    axis->setRange(range);
    return true;
}
} // namespace

void QuorvelInterface::setupXYCurve(QCustomPlot *plot)
{
    xyCurve = new QCPCurve(plot->xAxis, plot->yAxis);
    xyCurve->setName(QStringLiteral("XY"));
    xyCurve->setSelectable(QCP::stNone);
    xyCurve->setVisible(false);
}

void QuorvelInterface::drawXY(const drawing::GraphUpdate &update)
{
    switch (update.action) {
    case drawing::Action::Keep:
        break;
    case drawing::Action::Clear:
        xyCurve->data()->clear();
        break;
    case drawing::Action::Set:
    case drawing::Action::Add:
        // The curve numbers the points in the order given: the sampling order.
        xyCurve->setData(update.keys, update.values);
        break;
    }
    ch1Graph->data()->clear();
    xyCurve->setVisible(true);
    squareXYRanges();
}

void QuorvelInterface::squareXYRanges()
{
    QCustomPlot *plot = ui->plotterWidget;
    const QRect rect = plot->axisRect()->rect();
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    // Pixels per unit of a division: the axis with fewer pixels per division
    // keeps eight, the other shows more.
    const double aspect = double(rect.width()) / rect.height();
    QCPRange keys(0, XyKeyRange), values(0, ValueRange);
    if (aspect >= 1) {
        const double half = XyKeyRange * aspect / 2;
        keys = QCPRange(XyKeyRange / 2 - half, XyKeyRange / 2 + half);
    } else {
        const double half = ValueRange / aspect / 2;
        values = QCPRange(ValueRange / 2 - half, ValueRange / 2 + half);
    }
    setRangeIfOther(plot->xAxis, keys);
    setRangeIfOther(plot->yAxis, values);
}

void QuorvelInterface::leaveXY()
{
    if (!xyCurve->visible())
        return;
    xyCurve->setVisible(false);
    xyCurve->data()->clear();
    QCustomPlot *plot = ui->plotterWidget;
    setRangeIfOther(plot->xAxis, QCPRange(0, plotColumns));
    setRangeIfOther(plot->yAxis, QCPRange(0, ValueRange));
}
