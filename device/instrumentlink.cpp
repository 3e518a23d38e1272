#include "device/instrumentlink.h"

#include "device/commandset.h"
#include "device/connectionrules.h"
#include "settings/registers.h"

InstrumentLink::InstrumentLink(QObject *parent) : QObject(parent)
{
    // A child too, so that the link's parts can be found from the window.
    device.setParent(this);
    connect(&device, &LibUsbDevice::frameArrived, this, &InstrumentLink::frameArrived);
    connect(&device, &LibUsbDevice::linkLostDetected, this, &InstrumentLink::linkLost);
    connect(&device.serialLink, &SerialPortConnection::connectionStatus, this, &InstrumentLink::statusMessage);
}

InstrumentLink::~InstrumentLink()
{
    // The USB half is a member, not owned through the child list. Its own
    // destructor ends a link the owner left open.
    device.setParent(nullptr);
}

bool InstrumentLink::open(Wire wire, const QString &portName)
{
    if (device.connected)
        return true;
    device.usbMode = wire == Wire::Usb;
    device.initializeDevice();
    device.openDevice(portName);
    return device.connected;
}

void InstrumentLink::close()
{
    device.closeDevice();
    device.reset();
}

void InstrumentLink::release()
{
    if (device.connected)
        device.dropLostLink();
    else if (device.usbMode && device.initialized)
        device.closeDevice(); // ends the libusb context a failed open left
    if (!device.usbMode)
        device.serialLink.clearPort();
    device.reset();
}

bool InstrumentLink::isConnected() const
{
    return device.connected;
}

InstrumentLink::Wire InstrumentLink::wire() const
{
    return device.usbMode ? Wire::Usb : Wire::Serial;
}

bool InstrumentLink::isLinkLost() const
{
    return device.isLinkLost();
}

InstrumentLink::LinkLoss InstrumentLink::linkLoss() const
{
    return device.linkLoss();
}

const char *InstrumentLink::lossText() const
{
    const LinkLoss loss = linkLoss();
    if (loss == LinkLoss::None)
        return nullptr;
    return connection::linkLostText(isUsb(), loss == LinkLoss::NotResponding, loss == LinkLoss::Garbled);
}

quint64 InstrumentLink::droppedFrames() const
{
    return device.droppedFrames();
}

QString InstrumentLink::firmwareVersion()
{
    return device.requestFirmwareVersion();
}

bool InstrumentLink::readSettings(reg::DeviceSettings &block)
{
    if (!device.readSettingsBlock())
        return false;
    block = reg::DeviceSettings::fromBytes(device.inBuffer, reg::BlockSize);
    return true;
}

int InstrumentLink::requestMeter(unsigned char *dst)
{
    return device.requestMM(dst);
}

void InstrumentLink::requestTriggerPosition(quint16 value, quint16 index)
{
    device.controlReadTransfer(command::TriggerPosition, value, index);
}

void InstrumentLink::writeRegister(quint16 index, quint8 value)
{
    device.controlWriteTransfer(index, value);
}

void InstrumentLink::requestGeneratorFrequency(quint16 value, quint16 index)
{
    device.controlReadTransfer(command::GeneratorFrequency, value, index);
}

void InstrumentLink::startReception()
{
    device.asyncBulkReadTransfer();
}

bool InstrumentLink::hasNewFrame() const
{
    return device.dataReady.load(std::memory_order_acquire);
}

int InstrumentLink::takeLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs)
{
    // Cleared before the copy, so a frame published meanwhile raises the
    // flag again instead of being lost.
    if (!device.dataReady.exchange(false, std::memory_order_acq_rel)) {
        if (receivedAtNs)
            *receivedAtNs = 0;
        return 0;
    }
    return device.copyLatestFrame(dst, capacity, receivedAtNs);
}

int InstrumentLink::copyLatestFrame(unsigned char *dst, int capacity)
{
    return device.copyLatestFrame(dst, capacity);
}

void InstrumentLink::keepFrameForNextPass()
{
    device.dataReady.store(true, std::memory_order_release);
}

void InstrumentLink::setSamplingValue(int value)
{
    device.serialLink.setSamplingValue(value);
}

void InstrumentLink::streamOn()
{
    device.turnOnAutoMode();
}

void InstrumentLink::streamOff()
{
    device.turnOffAutoMode();
}

void InstrumentLink::stopAcquisition()
{
    device.stopScope();
}

void InstrumentLink::startAcquisition()
{
    device.startScope();
}

void InstrumentLink::forceTrigger()
{
    device.forceTrigger();
}

void InstrumentLink::autoSetup()
{
    device.autoSetup();
}

void InstrumentLink::restoreFactorySettings()
{
    device.restoreSettings();
}

void InstrumentLink::uploadWave(const signed char (&wave)[waveLength])
{
    if (!device.connected)
        return;
    std::copy(std::begin(wave), std::end(wave), std::begin(device.awgBuffer));
    device.awgBulkWriteTransfer();
    device.saveAWG();
}
