// Automatic measurements: the CH1 and CH2 pages' VDC, VPP and Freq boxes
// measure each trace as drawn; the Meter page's VDC read-out is the mean
// voltage of the frame on screen.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/measurements.h"
#include "instruments/meter.h"

namespace {
// At most four refreshes a second: readable, and the boxes are not repainted
// per frame.
constexpr int RefreshPeriodMs = 250;

struct Boxes
{
    QLineEdit *vdc, *vpp, *frequency;
};

// A reading to be doubted (clipped, possibly an alias) stands out in the
// box itself, in every theme.
const QString WarningStyle = QStringLiteral("color: #e07000; font-weight: bold;");

void markWarning(QWidget *box, bool warning)
{
    const QString style = warning ? WarningStyle : QString();
    if (box->styleSheet() != style)
        box->setStyleSheet(style);
}

// Only changed texts are set: an unchanged box is not repainted.
void showTexts(const Boxes &boxes, const measure::Texts &texts)
{
    const struct
    {
        QLineEdit *box;
        const QString &text;
        bool warning;
    } rows[] = {{boxes.vdc, texts.vdc, texts.vdcWarning},
                {boxes.vpp, texts.vpp, texts.vppWarning},
                {boxes.frequency, texts.frequency, texts.frequencyWarning}};
    for (const auto &row : rows) {
        if (row.box->text() != row.text)
            row.box->setText(row.text);
        if (row.box->toolTip() != texts.toolTip)
            row.box->setToolTip(texts.toolTip);
        markWarning(row.box, row.warning);
    }
}

// The Meter page's VDC: a clipped trace's mean is marked as the boxes are.
void showMeterVolts(QLabel *label, const measure::Result &r)
{
    QString text = meter::dcVoltsText(r.vdc);
    if (r.clipped)
        text = (r.clippedHigh && r.clippedLow ? QLatin1Char('~') : r.clippedHigh ? QLatin1Char('>') : QLatin1Char('<')) +
               text.trimmed();
    if (label->text() != text)
        label->setText(text);
    const QString tip = r.clipped ? QStringLiteral("Clipped: the trace reaches the end of the input range; "
                                                   "the mean is not the signal's. Choose a larger V/div.")
                                  : QString();
    if (label->toolTip() != tip)
        label->setToolTip(tip);
    markWarning(label, r.clipped);
}
} // namespace

void QuorvelInterface::setupMeasurements()
{
    measurementTimer.setSingleShot(true);
    connect(&measurementTimer, &QTimer::timeout, this, &QuorvelInterface::refreshMeasurements);
    showNoMeasurements();
}

void QuorvelInterface::scheduleMeasurements()
{
    if (measurementTimer.isActive())
        return; // the pending refresh takes the latest frame
    const qint64 waitMs = measurementClock.isValid() ? RefreshPeriodMs - measurementClock.elapsed() : 0;
    if (waitMs <= 0)
        refreshMeasurements();
    else
        measurementTimer.start(int(waitMs));
}

void QuorvelInterface::refreshMeasurements()
{
    measurementClock.start();
    if (!link.isConnected()) {
        showNoMeasurements();
        return;
    }
    const session::FramePass &frames = session.frames();
    showTexts({ui->vdcTextBox, ui->vppTextBox, ui->freqTextBox}, frames.channelTexts(1, session.state(), view));
    showTexts({ui->vdcTextBox_2, ui->vppTextBox_2, ui->freqTextBox_2}, frames.channelTexts(2, session.state(), view));
}

void QuorvelInterface::showNoMeasurements()
{
    measurementTimer.stop();
    const measure::Texts none = measure::noValueTexts();
    showTexts({ui->vdcTextBox, ui->vppTextBox, ui->freqTextBox}, none);
    showTexts({ui->vdcTextBox_2, ui->vppTextBox_2, ui->freqTextBox_2}, none);
}

void QuorvelInterface::showMeterDcVolts()
{
    showMeterVolts(ui->vdcChannel1, session.frames().channelMeasurement(1, session.state()));
    showMeterVolts(ui->vdcChannel2, session.frames().channelMeasurement(2, session.state()));
}
