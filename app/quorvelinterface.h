#pragma once

#include "device/libusbdevice.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

class QCloseEvent;
class QCPItemText;
class QFile;
class QTextStream;

namespace Ui {
class QuorvelInterface;
}

// The one window of the program: mirrors the instrument's settings block in
// its controls, paces frame drawing and meter polling with two timers, and
// owns the transport. The implementation is split by subsystem into
// quorvelinterface_<subsystem>.cpp files.
class QuorvelInterface : public QMainWindow
{
    Q_OBJECT

public:
    explicit QuorvelInterface(QWidget *parent = nullptr);
    ~QuorvelInterface() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Application shell (quorvelinterface.cpp)
    void on_sizeChanged();
    void on_mainTabWidget_currentChanged(int index);

    // Connection management (quorvelinterface_connection.cpp)
    void on_connectButton_clicked();
    void checkForAvailableComPorts();
    void on_radioButton_clicked();
    void on_radioButton_2_clicked();
    void on_rescanButton_clicked();
    void setInfoText(QString text = QString(), bool mode = false);
    void disconnectDevice(bool mode = true);
    bool checkIfCorrectPort(QString name);
    // Queued from the transport when the link breaks while connected.
    void handleLinkLost();

    // Plot scene, scales, frames, spectrum, theme
    // (quorvelinterface_scene.cpp, _scales.cpp, _plot.cpp, _theme.cpp)

private:
    // Application shell
    Ui::QuorvelInterface *ui;
    int plotInterval = 4;
    QTimer plotTimer;
    // Transport and theme dialog are declared here, between the two timers,
    // so they are constructed in this order.
    LibUsbDevice usbDevice;

    QFile *logFile = nullptr;
    QTextStream *logStream = nullptr;
    QTimer meterTimer;
    int previousTabIndex = 0;
    QString defaultDir;
    bool startingUp = true;

    // Connection management

    // Plot scene, scales, frames, spectrum, theme
    // Cursor read-outs, created by the scene set-up and placed on every resize.
    QCPItemText *deltaTLabel = nullptr;
    QCPItemText *inverseDeltaTLabel = nullptr;
    QCPItemText *deltaVLabel = nullptr;
    QCPItemText *vbLabel = nullptr;
    QCPItemText *vaLabel = nullptr;
};
