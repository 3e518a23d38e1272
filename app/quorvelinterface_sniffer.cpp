// Protocol sniffer page: start, stop and pause the instrument's bus capture,
// and show what it captured as text.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

namespace {
// A changed capture is shown at most this often. Refilling the text views
// costs far more than a plot tick, and text that changes faster than this
// cannot be read anyway; the latest capture is always the one shown.
constexpr qint64 snifferRedrawIntervalMs = 200;
} // namespace

// Called by the frame pass on every plot tick while the sniffer runs; only a
// capture whose shown bytes changed, or a change of Circular or ASCII, is
// drawn again.
void QuorvelInterface::sniffProtocol()
{
    const int length = link.copyLatestFrame(snifferFrame, int(sizeof snifferFrame));
    if (length > 0)
        snifferFrameLength = length;
    sniffer::Options options;
    options.protocol = ui->protocolTabWidget->currentIndex();
    options.circular = ui->checkBoxCircular->isChecked();
    options.ascii = ui->checkBoxASCII->isChecked();
    if (snifferView.update(snifferFrame, snifferFrameLength, options, snifferTexts)) {
        snifferRedrawPending = true;
        snifferRedrawProtocol = options.protocol;
    }
    if (snifferRedrawPending &&
        (!snifferRedrawClock.isValid() || snifferRedrawClock.elapsed() >= snifferRedrawIntervalMs))
        showSnifferTexts();
}

void QuorvelInterface::showSnifferTexts()
{
    snifferRedrawPending = false;
    snifferRedrawClock.start();
    ui->rxTextEdit->clear();
    ui->txTextEdit->clear();
    ui->misoTextEdit->clear();
    ui->mosiTextEdit->clear();
    ui->i2cTextEdit->clear();
    switch (snifferRedrawProtocol) {
    case sniffer::Spi:
        ui->mosiTextEdit->setPlainText(snifferTexts.mosi);
        ui->misoTextEdit->setPlainText(snifferTexts.miso);
        break;
    case sniffer::Uart:
        ui->rxTextEdit->setPlainText(snifferTexts.rx);
        ui->txTextEdit->setPlainText(snifferTexts.tx);
        break;
    case sniffer::I2c:
        ui->i2cTextEdit->setPlainText(snifferTexts.i2c);
        break;
    default:
        break;
    }
}

void QuorvelInterface::showSnifferRunState()
{
    const bool active = snifferState != sniffer::RunState::Stopped;
    ui->startSnifferButton->setText(active ? tr("STOP") : tr("START"));
    ui->pauseSnifferButton->setEnabled(active);
    ui->pauseSnifferButton->setText(snifferState == sniffer::RunState::Paused ? tr("Resume") : tr("Pause"));
}

void QuorvelInterface::on_startSnifferButton_clicked()
{
    sendMStatusControls();
    deviceMode = snifferState == sniffer::RunState::Stopped ? frame::OscilloscopeFrames : frame::SnifferFrames;
    // The last capture that came before the stop is shown, not held back.
    if (deviceMode == frame::OscilloscopeFrames && snifferRedrawPending)
        showSnifferTexts();
}

// Pause holds the instrument's capture; the views keep what they show.
void QuorvelInterface::on_pauseSnifferButton_clicked()
{
    if (snifferState == sniffer::RunState::Running) {
        link.stopAcquisition();
        snifferState = sniffer::RunState::Paused;
    } else if (snifferState == sniffer::RunState::Paused) {
        link.startAcquisition();
        snifferState = sniffer::RunState::Running;
    }
    showSnifferRunState();
}
