// Protocol sniffer page: start, stop and pause the instrument's bus capture,
// and show what it captured as text.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

// Called by the frame pass on every plot tick while the sniffer runs; only a
// capture whose shown bytes changed, or a change of Circular or ASCII, is
// drawn again.
void QuorvelInterface::sniffProtocol()
{
    const int length = usbDevice.copyLatestFrame(snifferFrame, int(sizeof snifferFrame));
    if (length > 0)
        snifferFrameLength = length;
    sniffer::Options options;
    options.protocol = ui->protocolTabWidget->currentIndex();
    options.circular = ui->checkBoxCircular->isChecked();
    options.ascii = ui->checkBoxASCII->isChecked();
    if (!snifferView.update(snifferFrame, snifferFrameLength, options, snifferTexts))
        return;
    ui->rxTextEdit->clear();
    ui->txTextEdit->clear();
    ui->misoTextEdit->clear();
    ui->mosiTextEdit->clear();
    ui->i2cTextEdit->clear();
    switch (options.protocol) {
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

void QuorvelInterface::enableSnifferControls(bool enable)
{
    ui->comboBoxBaud->setEnabled(enable);
    ui->comboBoxStopBits->setEnabled(enable);
    ui->comboBoxParity->setEnabled(enable);
    ui->comboBoxCPHA->setEnabled(enable);
    ui->comboBoxCPOL->setEnabled(enable);
    ui->modeGroupBox->setEnabled(enable);
}

void QuorvelInterface::on_startSnifferButton_clicked()
{
    sendMStatusControls();
    deviceMode = ui->startSnifferButton->text() == tr("STOP") ? 1 : 0;
}

// Pause holds the instrument's capture; the views keep what they show.
void QuorvelInterface::on_pauseSnifferButton_clicked()
{
    if (ui->pauseSnifferButton->text() == tr("Pause")) {
        usbDevice.stopScope();
        ui->pauseSnifferButton->setText(tr("Resume"));
    } else {
        usbDevice.startScope();
        ui->pauseSnifferButton->setText(tr("Pause"));
    }
}
