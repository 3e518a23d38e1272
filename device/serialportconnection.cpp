#include "device/serialportconnection.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSerialPort>
#include <QThread>

#include <cstring>

Q_LOGGING_CATEGORY(lcSerial, "device.serial")

constexpr char SerialPortConnection::endMarker[];
constexpr char SerialPortConnection::frameStartMarker[];
constexpr char SerialPortConnection::streamStartMarker[];

namespace {
const char *const portUnreachable = "Port is busy or unreachable.";
}

SerialPortConnection::SerialPortConnection(QObject *parent) : QObject(parent)
{
    // The parser runs on the GUI thread; keep it responsive to the stream.
    QThread::currentThread()->setPriority(QThread::HighestPriority);
    connect(&pollTimer, &QTimer::timeout, this, &SerialPortConnection::onReadyRead);
}

SerialPortConnection::~SerialPortConnection() = default;

bool SerialPortConnection::isOpen() const
{
    return port && port->isOpen();
}

bool SerialPortConnection::connectToPort(QString name)
{
    if (isOpen())
        return false;
    port = std::make_unique<QSerialPort>();
    portBroken = false;
    connect(port.get(), &QSerialPort::errorOccurred, this, &SerialPortConnection::onPortError);
    port->setPortName(name);
    port->setReadBufferSize(readBufferLimit);
    if (port->open(QIODevice::ReadWrite) && port->setBaudRate(QSerialPort::Baud115200) &&
        port->setDataBits(QSerialPort::Data8) && port->setParity(QSerialPort::NoParity) &&
        port->setStopBits(QSerialPort::OneStop) && port->setFlowControl(QSerialPort::NoFlowControl)) {
        qCDebug(lcSerial) << "SUCCESS";
        pollTimer.start(pollIntervalMs);
        return true;
    }
    qCDebug(lcSerial).noquote() << "open failed:" << port->errorString();
    emit connectionStatus(tr(portUnreachable));
    frameBuffer = nullptr;
    port.reset();
    return false;
}

void SerialPortConnection::onPortError(QSerialPort::SerialPortError error)
{
    if (portBroken || (error != QSerialPort::ResourceError && error != QSerialPort::ReadError))
        return;
    portBroken = true;
    qCDebug(lcSerial).noquote() << "port failed:" << port->errorString();
    // A port whose device is gone keeps signalling; let it go once this
    // signal has returned, so the GUI thread does not spin on it.
    QTimer::singleShot(0, this, &SerialPortConnection::dropFailedPort);
    emit portFailed();
}

void SerialPortConnection::dropFailedPort()
{
    if (port && portBroken)
        clearPort();
}

void SerialPortConnection::close()
{
    if (!isOpen())
        return;
    frameBuffer = nullptr;
    port->flush();
    port->close();
    port->disconnect(this);
    port.reset();
    pollTimer.stop();
}

void SerialPortConnection::clearPort()
{
    frameBuffer = nullptr;
    port.reset();
}

// Commands leave at once, as with a port written synchronously: callers wait
// for replies without running the event loop.
void SerialPortConnection::write(QString text)
{
    writeByteArray(text.toLatin1());
}

void SerialPortConnection::writeByteArray(QByteArray bytes)
{
    if (!isOpen())
        return;
    port->write(bytes);
    port->flush();
}

bool SerialPortConnection::bytesAvailable()
{
    return isOpen() && port->bytesAvailable() > 0;
}

void SerialPortConnection::flushOutput()
{
    if (isOpen())
        port->flush();
}

void SerialPortConnection::dropPendingInput()
{
    if (!isOpen())
        return;
    port->clear(QSerialPort::Input);
    port->readAll();
}

void SerialPortConnection::drainInput(int quietMs)
{
    QElapsedTimer clock;
    clock.start();
    while (isOpen()) {
        dropPendingInput();
        if (clock.elapsed() >= singleWaitMs || !port->waitForReadyRead(quietMs))
            break;
    }
    dropPendingInput();
}

qint64 SerialPortConnection::readInto(char *dst, qint64 size)
{
    if (!isOpen())
        return -1;
    return port->read(dst, size);
}

bool SerialPortConnection::waitForBytes(int count, bool exact)
{
    timedOut = false;
    QElapsedTimer clock;
    clock.start();
    while (isOpen()) {
        const qint64 available = port->bytesAvailable();
        if (exact ? available == count : available >= count)
            return true;
        if (clock.elapsed() > overallWaitMs)
            break;
        const int left = int(overallWaitMs - clock.elapsed()) + 1;
        if (!port->waitForReadyRead(qMin(singleWaitMs, left)) && port->error() != QSerialPort::TimeoutError &&
            port->error() != QSerialPort::NoError)
            break; // the port itself failed: no point in waiting on
    }
    timedOut = true;
    qCDebug(lcSerial) << "wait for" << count << "bytes gave up after" << clock.elapsed() << "ms";
    emit connectionStatus(tr(portUnreachable));
    return false;
}

bool SerialPortConnection::waitForWritten()
{
    timedOut = false;
    QElapsedTimer clock;
    clock.start();
    while (isOpen()) {
        if (port->bytesToWrite() == 0)
            return true;
        if (clock.elapsed() > overallWaitMs)
            break;
        if (!port->waitForBytesWritten(singleWaitMs) && port->error() != QSerialPort::TimeoutError &&
            port->error() != QSerialPort::NoError)
            break;
    }
    timedOut = true;
    qCDebug(lcSerial) << "write did not complete after" << clock.elapsed() << "ms";
    emit connectionStatus(tr(portUnreachable));
    return false;
}

void SerialPortConnection::setSamplingValue(int value)
{
    const int old = samplingValue;
    if (old <= lastFrameModeSampling && value > lastFrameModeSampling) {
        sampleIndex = 0;
        if (isOpen())
            port->clear(QSerialPort::Input);
        frameState = 0;
    }
    if (old > lastFrameModeSampling && value <= lastFrameModeSampling) {
        frameState = 0;
        if (isOpen())
            port->clear(QSerialPort::Input);
    }
    samplingValue = value;
}

bool SerialPortConnection::checkIfStartOfFrame(const char *tab, bool mode)
{
    return std::memcmp(tab, mode ? frameStartMarker : streamStartMarker, markerSize) == 0;
}

bool SerialPortConnection::checkIfEndOfFrame(const char *tab)
{
    return std::memcmp(tab, endMarker, markerSize) == 0;
}

void SerialPortConnection::onReadyRead()
{
    if (!autoMode || !isOpen() || port->bytesAvailable() < 1 || !frameBuffer)
        return;
    parseStream(*port);
}

void SerialPortConnection::parseStream(QIODevice &in)
{
    if (samplingValue > lastFrameModeSampling)
        parseRollMode(in);
    else
        parseFrameMode(in);
}

void SerialPortConnection::storeSample(const char *group)
{
    // Samples beyond the 256 of a plane wrap to its start: the instrument
    // restarts the index with a marker, and wrapping keeps the newest on screen.
    if (sampleIndex >= planeSize)
        sampleIndex = 0;
    frameBuffer[sampleIndex] = static_cast<unsigned char>(group[0]);
    frameBuffer[sampleIndex + planeSize] = static_cast<unsigned char>(group[1]);
    frameBuffer[sampleIndex + 2 * planeSize] = static_cast<unsigned char>(group[2]);
    ++sampleIndex;
    emit newData(markerSize);
}

void SerialPortConnection::parseRollMode(QIODevice &in)
{
    const qint64 groups = in.bytesAvailable() / markerSize;
    if (groups == 0)
        return;
    char chunk[payloadSize];
    const qint64 n = in.read(chunk, qMin<qint64>(groups * markerSize, payloadSize));
    for (qint64 at = 0; at + markerSize <= n; at += markerSize) {
        // A newData receiver may close the link; stop writing then.
        if (!frameBuffer)
            return;
        const char *group = chunk + at;
        if (checkIfStartOfFrame(group, false)) {
            sampleIndex = 0;
            frameState = 1;
        } else if (checkIfEndOfFrame(group)) {
            sampleIndex = 0;
        } else if (frameState != 0) {
            storeSample(group);
        }
    }
}

void SerialPortConnection::parseFrameMode(QIODevice &in)
{
    char group[markerSize];
    switch (frameState) {
    case 0:
        while (in.isOpen() && in.bytesAvailable() >= markerSize) {
            if (in.read(group, markerSize) != markerSize)
                return;
            if (checkIfStartOfFrame(group, true)) {
                frameState = 1;
                return;
            }
        }
        return;
    case 1: {
        if (in.bytesAvailable() < payloadSize)
            return;
        const qint64 n = in.read(reinterpret_cast<char *>(frameBuffer), payloadSize);
        if (n == payloadSize) {
            frameBuffer[payloadSize] = 0;
            frameBuffer[payloadSize + 1] = 0;
        }
        frameState = 2;
        emit newData(frameSize);
        return;
    }
    case 2:
        if (in.bytesAvailable() < markerSize)
            return;
        if (in.read(group, markerSize) == markerSize && checkIfEndOfFrame(group))
            frameState = 0;
        return;
    default:
        frameState = 0;
        return;
    }
}
