#include "device/serialportconnection.h"

#include "device/connectionrules.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSerialPort>
#include <QThread>

#include <cstring>

#include <poll.h>

Q_LOGGING_CATEGORY(lcSerial, "device.serial")

constexpr char SerialPortConnection::endMarker[];
constexpr char SerialPortConnection::frameStartMarker[];
constexpr char SerialPortConnection::streamStartMarker[];

namespace {
// Frame-mode bytes held between parser calls at most: a few frames, so a
// flood of bytes costs bounded memory and time per poll.
constexpr int maxPending = 4 * SerialPortConnection::wireFrameSize;
} // namespace

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

qint64 SerialPortConnection::bytesWaiting() const
{
    return isOpen() ? port->bytesAvailable() : 0;
}

void SerialPortConnection::setPolling(bool on)
{
    if (on)
        pollTimer.start(pollIntervalMs);
    else
        pollTimer.stop();
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
    emit connectionStatus(tr(connection::PortUnreachable));
    frameBuf = nullptr;
    port.reset();
    return false;
}

namespace {
// The other end of the line is gone (or the descriptor is no longer valid).
bool lineHungUp(int fd)
{
    if (fd < 0)
        return true;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
} // namespace

void SerialPortConnection::onPortError(QSerialPort::SerialPortError error)
{
    if (portBroken || (error != QSerialPort::ResourceError && error != QSerialPort::ReadError))
        return;
    // A read that finds nothing because a reply's wait took the bytes before
    // the read notification came is reported as a read error too; the line
    // is still up then. A device that is gone has hung up the line.
    if (error == QSerialPort::ReadError && port && !lineHungUp(port->handle())) {
        qCDebug(lcSerial).noquote() << "read error on a live line ignored:" << port->errorString();
        port->clearError();
        return;
    }
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
    stallReported = false;
    frameBuf = nullptr;
    port->flush();
    port->close();
    port->disconnect(this);
    port.reset();
    pollTimer.stop();
}

void SerialPortConnection::clearPort()
{
    stallReported = false;
    frameBuf = nullptr;
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

void SerialPortConnection::drainInput(int quietMs, int boundMs)
{
    QElapsedTimer clock;
    clock.start();
    while (isOpen()) {
        dropPendingInput();
        const qint64 left = boundMs - clock.elapsed();
        if (left <= 0 || !port->waitForReadyRead(int(qMin<qint64>(quietMs, left))))
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

qint64 SerialPortConnection::readReply(char *dst, int length, ReplyCheck check)
{
    return takeReply(dst, length, check, replyTimeout);
}

qint64 SerialPortConnection::exchange(const QByteArray &request, char *dst, int length, ReplyCheck check)
{
    QElapsedTimer clock;
    clock.start();
    drainInput(replyQuietMs, replyTimeout / 2);
    writeByteArray(request);
    return takeReply(dst, length, check, replyTimeout - clock.elapsed());
}

qint64 SerialPortConnection::takeReply(char *dst, int length, ReplyCheck check, qint64 boundMs)
{
    lastWaitTimedOut = false;
    QElapsedTimer clock;
    clock.start();
    QByteArray got;
    bool quiet = false;
    while (isOpen()) {
        got.append(port->readAll());
        if (got.size() > readBufferLimit)
            got.remove(0, int(got.size() - readBufferLimit));
        const qint64 left = boundMs - clock.elapsed();
        if (left <= 0)
            break;
        const bool enough = got.size() >= length;
        if (port->waitForReadyRead(int(qMin<qint64>(enough ? replyQuietMs : singleWaitMs, left))))
            continue;
        if (port->error() != QSerialPort::TimeoutError && port->error() != QSerialPort::NoError)
            break; // the port itself failed: no point in waiting on
        if (enough) {
            quiet = true;
            break;
        }
    }
    if (!quiet) {
        lastWaitTimedOut = true;
        qCDebug(lcSerial) << "no reply of" << length << "bytes after" << clock.elapsed() << "ms;" << got.size()
                          << "bytes came";
        return -1;
    }
    int at = -1;
    if (check) {
        int found = 0;
        for (int i = 0; i + length <= got.size(); ++i) {
            if (check(got.constData() + i, length) && found++ == 0)
                at = i;
        }
        if (found != 1)
            at = -1;
    } else if (got.size() == length) {
        at = 0;
    }
    if (at < 0) {
        qCDebug(lcSerial) << "no reply of" << length << "bytes told apart among" << got.size();
        return -1;
    }
    if (got.size() > length)
        qCDebug(lcSerial) << got.size() - length << "stray bytes around a reply dropped";
    std::memcpy(dst, got.constData() + at, size_t(length));
    return length;
}

bool SerialPortConnection::waitForBytes(int count, bool exact)
{
    lastWaitTimedOut = false;
    QElapsedTimer clock;
    clock.start();
    while (isOpen()) {
        const qint64 available = port->bytesAvailable();
        if (exact ? available == count : available >= count)
            return true;
        if (clock.elapsed() > replyTimeout)
            break;
        const int left = int(replyTimeout - clock.elapsed()) + 1;
        if (!port->waitForReadyRead(qMin(singleWaitMs, left)) && port->error() != QSerialPort::TimeoutError &&
            port->error() != QSerialPort::NoError)
            break; // the port itself failed: no point in waiting on
    }
    lastWaitTimedOut = true;
    qCDebug(lcSerial) << "wait for" << count << "bytes gave up after" << clock.elapsed() << "ms";
    emit connectionStatus(tr(connection::PortUnreachable));
    return false;
}

bool SerialPortConnection::waitForWritten()
{
    lastWaitTimedOut = false;
    QElapsedTimer clock;
    clock.start();
    while (isOpen()) {
        if (port->bytesToWrite() == 0)
            return true;
        if (clock.elapsed() > replyTimeout)
            break;
        if (!port->waitForBytesWritten(qMin(singleWaitMs, replyTimeout)) &&
            port->error() != QSerialPort::TimeoutError && port->error() != QSerialPort::NoError)
            break;
    }
    lastWaitTimedOut = true;
    qCDebug(lcSerial) << "write did not complete after" << clock.elapsed() << "ms";
    emit connectionStatus(tr(connection::PortUnreachable));
    return false;
}

void SerialPortConnection::restartParser()
{
    frameState = 0;
    pending.clear();
    rollGroupFill = 0;
    rollRecentBytes = 0;
    rollSinceMarker = 0;
}

void SerialPortConnection::setSamplingValue(int value)
{
    const int old = sampling;
    if (old <= lastFrameModeSampling && value > lastFrameModeSampling) {
        nextSample = 0;
        if (isOpen())
            port->clear(QSerialPort::Input);
        restartParser();
    }
    if (old > lastFrameModeSampling && value <= lastFrameModeSampling) {
        restartParser();
        if (isOpen())
            port->clear(QSerialPort::Input);
    }
    sampling = value;
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
    watchForStall();
    if (!autoModeOn || !isOpen() || port->bytesAvailable() < 1 || !frameBuf)
        return;
    parseStream(*port);
}

void SerialPortConnection::watchForStall()
{
    const bool streamingFrames =
        autoModeOn && framesDue && frameBuf && isOpen() && sampling <= lastFrameModeSampling;
    if (!streamingFrames) {
        // The clock starts again with the stream; a report stands until
        // frames come.
        sinceFrame.invalidate();
        return;
    }
    if (!sinceFrame.isValid()) {
        sinceFrame.start();
        return;
    }
    if (!stallReported && sinceFrame.elapsed() >= stallTimeMs) {
        stallReported = true;
        qCDebug(lcSerial) << "no complete frame for" << sinceFrame.elapsed() << "ms";
        emit connectionStatus(tr(connection::NoData));
    }
}

void SerialPortConnection::frameArrived()
{
    sinceFrame.start();
    if (stallReported) {
        stallReported = false;
        emit connectionStatus(QString());
    }
}

void SerialPortConnection::parseStream(QIODevice &in)
{
    if (!frameBuf)
        return;
    if (sampling > lastFrameModeSampling)
        parseRollMode(in);
    else
        parseFrameMode(in);
}

void SerialPortConnection::storeSample(const char *group)
{
    // Samples beyond the 256 of a plane wrap to its start: the instrument
    // restarts the index with a marker, and wrapping keeps the newest on screen.
    if (nextSample >= planeSize)
        nextSample = 0;
    frameBuf[nextSample] = static_cast<unsigned char>(group[0]);
    frameBuf[nextSample + planeSize] = static_cast<unsigned char>(group[1]);
    frameBuf[nextSample + 2 * planeSize] = static_cast<unsigned char>(group[2]);
    ++nextSample;
    frameArrived();
    emit newData(markerSize);
}

void SerialPortConnection::parseRollMode(QIODevice &in)
{
    // Whole groups only (counting a group begun at a realignment): what is
    // left of a group stays in the port for the next call.
    qint64 n = qMin<qint64>(in.bytesAvailable(), payloadSize);
    n = (rollGroupFill + n) / markerSize * markerSize - rollGroupFill;
    if (n <= 0)
        return;
    char chunk[payloadSize];
    n = in.read(chunk, n);
    for (qint64 at = 0; at < n; ++at) {
        // A newData receiver may close the link; stop writing then.
        if (!frameBuf)
            return;
        const char byte = chunk[at];
        const char window[markerSize] = {rollRecent[0], rollRecent[1], byte};
        const bool windowFull = rollRecentBytes == markerSize - 1;
        rollRecent[0] = rollRecent[1];
        rollRecent[1] = byte;
        rollRecentBytes = qMin(rollRecentBytes + 1, markerSize - 1);
        rollGroup[rollGroupFill++] = byte;
        if (rollGroupFill == markerSize) {
            rollGroupFill = 0;
            takeRollGroup(rollGroup);
        } else if (windowFull && markerRealigns(window)) {
            // A byte was added or lost: group from this marker on. The group
            // it cut into was stored as a sample; nothing else is lost.
            rollGroupFill = 0;
            ++realignments;
            takeRollGroup(window);
        }
    }
}

void SerialPortConnection::takeRollGroup(const char *group)
{
    if (checkIfStartOfFrame(group, false)) {
        nextSample = 0;
        frameState = 1;
        rollSinceMarker = 0;
    } else if (checkIfEndOfFrame(group)) {
        nextSample = 0;
        rollSinceMarker = 0;
    } else if (frameState != 0) {
        ++rollSinceMarker;
        storeSample(group);
    }
}

bool SerialPortConnection::markerRealigns(const char *window)
{
    // The instrument restarts the record with a marker at least once a
    // plane, so a marker in step with the groups is never more than a plane
    // of samples away. A marker out of step with them is taken when the one
    // due in step did not come (the groups are off by a byte or two), or
    // while waiting for the stream to start; sample bytes that merely look
    // like a marker between the instrument's markers are not.
    if (checkIfStartOfFrame(window, false))
        return frameState == 0 || rollSinceMarker >= planeSize;
    return frameState != 0 && rollSinceMarker >= planeSize && checkIfEndOfFrame(window);
}

void SerialPortConnection::parseFrameMode(QIODevice &in)
{
    const qint64 room = maxPending - pending.size();
    if (room > 0 && in.bytesAvailable() > 0)
        pending.append(in.read(qMin(in.bytesAvailable(), room)));

    const QByteArray start = QByteArray::fromRawData(frameStartMarker, markerSize);
    // A newData receiver may close the link; stop writing then.
    while (frameBuf) {
        if (frameState != 0 && !pending.startsWith(start))
            frameState = 0; // set from outside: nothing of a frame is held
        if (frameState == 0) {
            const int at = pending.indexOf(start);
            if (at < 0) {
                // Keep what may be the first bytes of a marker still arriving.
                pending.remove(0, qMax(0, pending.size() - (markerSize - 1)));
                return;
            }
            pending.remove(0, at);
        }
        if (pending.size() < markerSize + payloadSize) {
            frameState = 1;
            return;
        }
        if (pending.size() < wireFrameSize) {
            frameState = 2;
            return;
        }
        if (!checkIfEndOfFrame(pending.constData() + markerSize + payloadSize)) {
            // Bytes were lost or added inside this frame: drop it, and look
            // for the next frame start from the byte after this one's.
            ++dropped;
            pending.remove(0, 1);
            frameState = 0;
            continue;
        }
        std::memcpy(frameBuf, pending.constData() + markerSize, payloadSize);
        frameBuf[payloadSize] = 0;
        frameBuf[payloadSize + 1] = 0;
        pending.remove(0, wireFrameSize);
        frameState = 0;
        frameArrived();
        emit newData(frameSize);
    }
}
