// Connection management: the "Connection" group of the Options page, the
// firmware check made on every connect, and every visible sign of the
// connection state.

#include "app/quorvelinterface.h"
#include "device/commandset.h"
#include "device/connectionrules.h"
#include "ui_quorvelinterface.h"

#include <QAbstractItemView>
#include <QDebug>
#include <QMessageBox>
#include <QPixmap>
#include <QSerialPortInfo>

namespace {
const char *const ledOn = ":/Bitmaps/Bitmaps/led-on.png";
const char *const ledOff = ":/Bitmaps/Bitmaps/led-off.png";
// Frames are taken as they arrive over either wire; the timer takes one that
// came while the last was being drawn, and paces redraws.
constexpr int usbPlotIntervalMs = 4;
constexpr int serialPlotIntervalMs = 4;
} // namespace

void QuorvelInterface::on_connectButton_clicked()
{
    setInfoText(tr("Please wait..."), true);
    if (link.isConnected()) {
        disconnectDevice(true);
        setInfoText("", false);
        return;
    }

    const InstrumentLink::Wire wire =
        ui->radioButton_2->isChecked() ? InstrumentLink::Wire::Usb : InstrumentLink::Wire::Serial;
    const session::OpenResult opened = session.open(wire, connection::portNameOfEntry(ui->comboBox_9->currentText()));
    if (opened.outcome == session::OpenResult::NotOpened) {
        // The link reported why through statusMessage, which also re-enabled
        // the window; this only guards against a silent failure.
        if (!ui->centralWidget->isEnabled())
            setInfoText(link.isUsb() ? tr(connection::CannotOpenDevice) : tr(connection::PortUnreachable), false);
        return;
    }

    ui->connectButton->setText(tr("Close connection"));
    qDebug() << "VERSION" << opened.version;
    if (opened.outcome == session::OpenResult::GaveUp) {
        // The serial link gave up and already shows why.
        disconnectDevice(false);
        return;
    }
    if (opened.outcome == session::OpenResult::Lost) {
        // Unplugged, or not answering, while asked for its version.
        handleLinkLost();
        return;
    }
    // A failed request is no old firmware: say so, and connect on.
    const bool versionRead = opened.versionRead();
    ui->currentFirwareVersion->setText(opened.version);
    if (opened.firmwareOlderThan(ui->latestFirmWareVersion->text())) {
        QMessageBox::warning(this, "Upgrade Firmware", tr("Please upgrade your device firmware"), QMessageBox::Ok);
        // The link may have broken while the box was open; its handler has
        // already shown that state.
        if (!link.isConnected())
            return;
    }

    readDeviceSettings();
    if (!link.isUsb() && link.isLinkLost()) {
        // The serial link gave up and already shows why.
        disconnectDevice(false);
        return;
    }

    if (link.isLinkLost()) {
        handleLinkLost();
        return;
    }

    link.startReception();

    if (link.isUsb()) {
        plotInterval = usbPlotIntervalMs;
        ui->connectLabel->setText(tr("USB Connected"));
        setWindowTitle("Halvorine Ombrix Interface - USB Connected");
    } else {
        plotInterval = serialPlotIntervalMs;
        ui->connectLabel->setText(tr("Serial port Connected"));
        setWindowTitle("Halvorine Ombrix Interface - Serial port Connected");
    }
    plotTimer.setInterval(plotInterval);

    ui->radioButton->setEnabled(false);
    ui->radioButton_2->setEnabled(false);
    ui->rescanButton->setEnabled(false);
    ui->connectIcon->setPixmap(QPixmap(ledOn));
    if (settingsReadFailed)
        setInfoText(tr(connection::SettingsUnreadable), false);
    else
        setInfoText(!versionRead ? tr(connection::FirmwareUnreadable) : writtenBackText, false);
}

void QuorvelInterface::setInfoText(QString text, bool mode)
{
    ui->infoLabel->setText(text);
    ui->centralWidget->setEnabled(!mode);
    // Show the text before a blocking operation starts.
    ui->centralWidget->repaint();
}

void QuorvelInterface::disconnectDevice(bool mode)
{
    if (mode)
        session.close();
    else
        session.release();

    ui->connectButton->setText(tr("Connect"));
    ui->connectLabel->setText(tr("Not Connected"));
    setWindowTitle("Halvorine Ombrix Interface - Not Connected");
    ui->connectIcon->setPixmap(QPixmap(ledOff));
    ui->radioButton->setEnabled(true);
    ui->radioButton_2->setEnabled(true);
    ui->rescanButton->setEnabled(ui->radioButton->isChecked());
    ui->currentFirwareVersion->clear();
    showNoMeasurements();
}

void QuorvelInterface::handleLinkLost()
{
    // A report from an earlier connection, or one already handled.
    if (!link.isConnected() || !link.isLinkLost())
        return;
    const char *reason = link.lossText();
    disconnectDevice(false);
    setInfoText(tr(reason), false);
}

void QuorvelInterface::checkForAvailableComPorts()
{
    ui->comboBox_9->view()->setTextElideMode(Qt::ElideLeft);
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports) {
        if (checkIfCorrectPort(port.portName()))
            ui->comboBox_9->addItem(connection::portListEntry(port.portName(), port.description()));
    }
}

bool QuorvelInterface::checkIfCorrectPort(QString name)
{
    return connection::isOfferedPort(name);
}

void QuorvelInterface::on_rescanButton_clicked()
{
    setInfoText(tr("Please wait..."), true);
    ui->comboBox_9->clear();
    checkForAvailableComPorts();
    setInfoText("", false);
}

