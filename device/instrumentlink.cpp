#include "device/instrumentlink.h"

#include "device/commandset.h"
#include "device/connectionrules.h"
#include "device/serialwire.h"
#include "device/usbwire.h"
#include "settings/registers.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcLink, "device.link.commands")

InstrumentLink::InstrumentLink(QObject *parent)
    : QObject(parent), usbWire(new UsbWire(this)), serialWire(new SerialWire(this)), active(usbWire)
{
    // Children, so that the link's parts can be found from the window.
    for (InstrumentWire *w : {static_cast<InstrumentWire *>(usbWire), static_cast<InstrumentWire *>(serialWire)}) {
        connect(w, &InstrumentWire::frameArrived, this, &InstrumentLink::frameArrived);
        connect(w, &InstrumentWire::linkLostDetected, this, &InstrumentLink::linkLost);
        connect(w, &InstrumentWire::statusMessage, this, &InstrumentLink::statusMessage);
    }
}

InstrumentLink::~InstrumentLink()
{
    // Each wire's own destructor ends a link the owner left open, while the
    // link can still hear it.
    delete usbWire;
    delete serialWire;
}

InstrumentWire *InstrumentLink::ready() const
{
    if (!active->isConnected()) {
        qCDebug(lcLink) << "Device not connected";
        return nullptr;
    }
    // A lost link is released by its owner shortly; until then nothing may
    // wait on the instrument again.
    if (active->isLinkLost()) {
        qCDebug(lcLink) << "link lost: command dropped";
        return nullptr;
    }
    return active;
}

bool InstrumentLink::open(Wire wire, const QString &portName)
{
    if (active->isConnected())
        return true;
    active = wire == Wire::Usb ? static_cast<InstrumentWire *>(usbWire) : serialWire;
    return active->open(portName);
}

void InstrumentLink::close()
{
    active->close();
}

void InstrumentLink::release()
{
    active->release();
}

bool InstrumentLink::isConnected() const
{
    return active->isConnected();
}

InstrumentLink::Wire InstrumentLink::wire() const
{
    return active == usbWire ? Wire::Usb : Wire::Serial;
}

bool InstrumentLink::isLinkLost() const
{
    return active->isLinkLost();
}

InstrumentLink::LinkLoss InstrumentLink::linkLoss() const
{
    return active->linkLoss();
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
    return active->droppedFrames();
}

QString InstrumentLink::firmwareVersion()
{
    InstrumentWire *w = ready();
    return w ? w->firmwareVersion() : QString();
}

bool InstrumentLink::readSettings(reg::DeviceSettings &block)
{
    InstrumentWire *w = ready();
    if (!w || !w->readSettingsBlock())
        return false;
    block = reg::DeviceSettings::fromBytes(w->replyBuffer(), reg::BlockSize);
    return true;
}

int InstrumentLink::requestMeter(unsigned char *dst)
{
    InstrumentWire *w = ready();
    return w ? w->requestMeter(dst) : -1;
}

void InstrumentLink::requestTriggerPosition(quint16 value, quint16 index)
{
    if (InstrumentWire *w = ready())
        w->request(command::TriggerPosition, value, index);
}

void InstrumentLink::writeRegister(quint16 index, quint8 value)
{
    if (InstrumentWire *w = ready())
        w->writeRegister(index, value);
}

void InstrumentLink::requestGeneratorFrequency(quint16 value, quint16 index)
{
    if (InstrumentWire *w = ready())
        w->request(command::GeneratorFrequency, value, index);
}

void InstrumentLink::startReception()
{
    if (InstrumentWire *w = ready())
        w->startReception();
}

bool InstrumentLink::hasNewFrame() const
{
    return active->hasNewFrame();
}

int InstrumentLink::takeLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs)
{
    if (!active->takeNewFrameFlag()) {
        if (receivedAtNs)
            *receivedAtNs = 0;
        return 0;
    }
    return active->copyLatestFrame(dst, capacity, receivedAtNs);
}

int InstrumentLink::copyLatestFrame(unsigned char *dst, int capacity)
{
    return active->copyLatestFrame(dst, capacity);
}

void InstrumentLink::keepFrameForNextPass()
{
    active->keepFrameForNextPass();
}

void InstrumentLink::setSamplingValue(int value)
{
    // Both wires hear it, so the one opened later parses in the right mode.
    usbWire->setSamplingValue(value);
    serialWire->setSamplingValue(value);
}

void InstrumentLink::streamOn()
{
    active->streamOn();
}

void InstrumentLink::streamOff()
{
    active->streamOff();
}

void InstrumentLink::stopAcquisition()
{
    if (InstrumentWire *w = ready())
        w->sendCommand(char(command::Stop));
    active->setAcquiring(false);
}

void InstrumentLink::startAcquisition()
{
    if (InstrumentWire *w = ready())
        w->sendCommand(char(command::Start));
    active->setAcquiring(true);
}

void InstrumentLink::forceTrigger()
{
    if (InstrumentWire *w = ready())
        w->sendCommand(char(command::ForceTrigger));
}

void InstrumentLink::autoSetup()
{
    if (InstrumentWire *w = ready())
        w->sendCommand(char(command::AutoSetup));
}

void InstrumentLink::restoreFactorySettings()
{
    if (InstrumentWire *w = ready())
        w->sendCommand(char(command::FactorySettings));
}

void InstrumentLink::uploadWave(const signed char (&wave)[waveLength])
{
    InstrumentWire *w = ready();
    if (!w)
        return;
    w->uploadWave(wave);
    // Stored once it went out (a lost link drops the command).
    if ((w = ready()))
        w->sendCommand(char(command::StoreWave));
}
