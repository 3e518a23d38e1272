#include "device/serialwire.h"

#include "device/commandset.h"
#include "device/connectionrules.h"
#include "settings/registers.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcSerialWire, "device.serialwire")

namespace {
// A serial settings reply has the form of a settings block.
bool isSettingsReply(const char *bytes, int length)
{
    return length == InstrumentWire::settingsBlockLength &&
           reg::isPlausibleBlock(
               reg::DeviceSettings::fromBytes(reinterpret_cast<const unsigned char *>(bytes), length));
}
} // namespace

SerialWire::SerialWire(QObject *parent) : InstrumentWire(parent)
{
    // A member, but also a child, so that it can be found from the window.
    port.setParent(this);
    connect(&port, &SerialPortConnection::newData, this, &SerialWire::onNewData);
    connect(&port, &SerialPortConnection::connectionStatus, this, &InstrumentWire::statusMessage);
    connect(&port, &SerialPortConnection::portFailed, this, [this] {
        if (connected)
            markLinkLost(LinkLoss::Gone);
    });
}

SerialWire::~SerialWire()
{
    if (connected)
        close();
}

// ---------------------------------------------------------------- life cycle

bool SerialWire::open(const QString &portName)
{
    if (connected)
        return true;
    connected = port.connectToPort(portName);
    if (connected) {
        // An instrument still streaming from an earlier session stops.
        port.write(QString(QChar(command::StreamOff)));
        port.flushOutput();
    }
    return connected;
}

void SerialWire::close()
{
    port.setAutoMode(false);
    port.write(QString(QChar(command::StreamOff)));
    if (connected && !isLinkLost())
        sendCommand(char(command::StoreSettings));
    port.close();
    rxLength = 0;
    resetLinkState();
}

void SerialWire::release()
{
    port.setAutoMode(false);
    port.clearPort();
    rxLength = 0;
    resetLinkState();
}

// ---------------------------------------------------------- frame reception

void SerialWire::startReception()
{
    port.setFrameBuffer(rxBuffer);
}

void SerialWire::onNewData(int length)
{
    rxLength = length;
    // As over USB: one signal while a frame waits, so the window takes serial
    // frames as they arrive instead of polling for them.
    publishFrame();
}

int SerialWire::copyLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs)
{
    if (receivedAtNs)
        *receivedAtNs = 0;
    if (!dst || capacity <= 0 || rxLength <= 0)
        return 0;
    // The parser assembles frames on this thread, in place.
    std::memcpy(dst, rxBuffer, size_t(std::min({std::max(rxLength, int(frameSize)), int(frameBufferSize), capacity})));
    return rxLength;
}

void SerialWire::setSamplingValue(int value)
{
    port.setSamplingValue(value);
}

void SerialWire::setAcquiring(bool on)
{
    // A stopped instrument sends no frames; that is no stall.
    port.setFramesExpected(on);
}

void SerialWire::streamOff()
{
    port.setAutoMode(false);
    port.write(QString(QChar(command::StreamOff)));
}

void SerialWire::streamOn()
{
    port.write(QString(QChar(command::StreamOn)));
    port.setAutoMode(true);
    port.restartParser();
}

// --------------------------------------------------------------- commands

void SerialWire::noteReply(qint64 n)
{
    if (!failedInARow(n >= 0))
        return;
    // Bytes came, but none of them the reply: the line garbles what the
    // instrument says (noise) rather than the instrument saying nothing.
    const bool garbled = !port.timedOut();
    emit statusMessage(tr(garbled ? connection::RepliesGarbled : connection::PortUnreachable));
    markLinkLost(garbled ? LinkLoss::Garbled : LinkLoss::NotResponding);
}

void SerialWire::sendCommand(char letter)
{
    port.write(QString(QChar(letter)));
}

void SerialWire::request(uint8_t letter, quint16 value, quint16 index)
{
    // Reads whose reply the program does not use, sent with the stream off
    // like the settings read; the trigger position leaves the stream alone.
    const bool needsStreamOff =
        letter == command::GeneratorFrequency || letter == command::ReadW || letter == command::ReadX;
    if (needsStreamOff)
        streamOff();
    const char form[5] = {char(letter), char(index & 0xFF), char(index >> 8), char(value & 0xFF), char(value >> 8)};
    port.writeByteArray(QByteArray(form, sizeof form));
    if (needsStreamOff)
        streamOn();
}

bool SerialWire::readSettingsBlock()
{
    lastReadLength = -1;
    streamOff();
    const quint16 index = command::SettingsBlockIndex;
    const char form[5] = {char(command::ReadSettings), char(index & 0xFF), char(index >> 8), 0, 0};
    // Stream bytes sent before the stop took effect are no reply; a block
    // that fails its sanity check is none either.
    port.flushOutput();
    const qint64 n = port.exchange(QByteArray(form, sizeof form), reinterpret_cast<char *>(inBuffer),
                                   settingsBlockLength, &isSettingsReply);
    noteReply(n);
    if (isLinkLost())
        return acceptReply(-1);
    streamOn();
    return acceptReply(n);
}

void SerialWire::writeRegister(quint16 index, quint8 value)
{
    const char form[3] = {char(command::WriteRegister), char(index & 0xFF), char(value)};
    port.writeByteArray(QByteArray(form, sizeof form));
}

QString SerialWire::firmwareVersion()
{
    const bool wasStreaming = port.autoMode();
    if (wasStreaming)
        streamOff();
    // Bytes already on their way (a stream from before, line noise) are no
    // reply, and four bytes that are no version are none either.
    port.flushOutput();
    char reply[versionLength] = {};
    const qint64 n = port.exchange(QByteArray(1, char(command::FirmwareVersion)), reply, versionLength,
                                   &connection::isVersionReply);
    noteReply(n);
    if (isLinkLost())
        return QStringLiteral("-1");
    if (wasStreaming)
        streamOn();
    if (n <= 0) {
        errorText = QStringLiteral("Read Error!");
        qCDebug(lcSerialWire) << "read error: " << n;
        return QString();
    }
    return QString::fromLatin1(reply, int(n));
}

int SerialWire::requestMeter(unsigned char *dst)
{
    streamOff();
    port.flushOutput();
    // Stream bytes sent before the stop took effect are no reply. Any four
    // bytes may be a reading, so a reply with stray bytes around it cannot
    // be told apart and is dropped (see SerialPortConnection::readReply).
    const qint64 n =
        port.exchange(QByteArray(1, char(command::Meter)), reinterpret_cast<char *>(dst), meterReplyLength);
    noteReply(n);
    return int(n);
}

void SerialWire::uploadWave(const signed char *wave)
{
    // The letter 'l' followed by the 256 signed wave bytes, sample 0 first.
    // The instrument drops an upload whose bytes do not follow within
    // 1000 ms. The stream is off meanwhile so frames and the upload do not
    // cross.
    const bool wasStreaming = port.autoMode();
    streamOff();
    QByteArray upload(1, command::WaveUpload);
    upload.append(reinterpret_cast<const char *>(wave), waveLength);
    port.writeByteArray(upload);
    if (!port.waitForWritten()) {
        markLinkLost(LinkLoss::NotResponding);
        return;
    }
    if (wasStreaming)
        streamOn();
}
