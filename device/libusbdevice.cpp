#include "device/libusbdevice.h"

#include "device/commandset.h"
#include "device/connectionrules.h"
#include "settings/registers.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <chrono>
#include <cstring>

Q_LOGGING_CATEGORY(lcUsb, "device.usb")

namespace {
// The event thread wakes at least this often, so a stop is seen even when no
// transfer is in flight (a lost link).
constexpr long eventWakeUs = 100000;
// How long the event thread keeps handling events for a cancelled transfer
// whose completion never comes, before it gives up on it.
constexpr int cancelGraceMs = 2000;
// How often the GUI thread looks for a link lost on the event thread.
constexpr int linkWatchIntervalMs = 20;
// More bulk IN transfers than this in a row that fail or carry no whole frame
// count as a lost link.
constexpr int maxConsecutiveErrors = 100;
// Control requests timing out this many times in a row: the instrument no
// longer answers. Each blocks the GUI thread for its time-out, so the count
// bounds how long a silent instrument can hold the window.
constexpr int maxConsecutiveTimeouts = 2;

const char *const notConnected = "Device not connected";

// A serial settings reply has the form of a settings block.
bool isSettingsReply(const char *bytes, int length)
{
    return length == LibUsbDevice::settingsBlockLength &&
           reg::isPlausibleBlock(
               reg::DeviceSettings::fromBytes(reinterpret_cast<const unsigned char *>(bytes), length));
}
} // namespace

LibUsbDevice::LibUsbDevice(QObject *parent) : QObject(parent)
{
    // A member, but also a child, so that it can be found from the window.
    serialLink.setParent(this);
    connect(&serialLink, &SerialPortConnection::newData, this, &LibUsbDevice::newDataAvailable);
    connect(&linkWatch, &QTimer::timeout, this, &LibUsbDevice::reportLinkLost);
    connect(&serialLink, &SerialPortConnection::portFailed, this, [this] {
        if (!usbMode && connected)
            markLinkLost();
    });
    resetFrameSlots();
}

LibUsbDevice::~LibUsbDevice()
{
    // The window closes the link first; this only guards against a thread or
    // transfer outliving the object.
    if (connected || initialized)
        closeDevice();
}

bool LibUsbDevice::checkConnected() const
{
    if (!connected) {
        qCDebug(lcUsb) << notConnected;
        return false;
    }
    // A lost link is released by the window shortly; until then nothing may
    // wait on the instrument again.
    if (isLinkLost()) {
        qCDebug(lcUsb) << "link lost: command dropped";
        return false;
    }
    return true;
}

bool LibUsbDevice::isFrameLength(int length)
{
    return length == frameSize || (length >= snifferFrameMinSize && length <= rxBufferSize);
}

void LibUsbDevice::resetFrameSlots()
{
    for (FrameSlot &slot : frameSlots) {
        slot.length = 0;
        slot.receivedAtNs = 0;
    }
    backSlot = 0;
    sharedSlot.store(1);
    frontSlot = 2;
    rxLength.store(0);
}

void LibUsbDevice::markLinkLost(LinkLoss reason)
{
    int none = int(LinkLoss::None);
    if (!lossReason.compare_exchange_strong(none, int(reason), std::memory_order_acq_rel))
        return;
    // From the event thread the watch timer reports it, so receivers always
    // hear it on the GUI thread.
    if (QThread::currentThread() == thread())
        reportLinkLost();
}

void LibUsbDevice::reportLinkLost()
{
    if (linkLostReported || !isLinkLost())
        return;
    linkLostReported = true;
    linkWatch.stop();
    qCDebug(lcUsb) << "link lost";
    emit linkLostDetected();
}

// The end of a control read of n bytes into inBuffer: a failure text for a
// negative count, else a terminating zero when the reply left room for one.
bool LibUsbDevice::acceptControlRead(qint64 n)
{
    lastReadLength = n;
    if (n < 0) {
        errorText = QStringLiteral("Read Error!");
        qCDebug(lcUsb) << "read error: " << n;
        return false;
    }
    if (n <= inBufferSize - 1)
        inBuffer[n] = 0;
    return true;
}

// A serial request without a usable reply counts as a USB control request
// timing out: two in a row end the link, each having held the GUI thread for
// at most the bound of one request. A reply of the wrong form (line noise, a
// reply cut or shifted) is no answer either; the reason given is the last
// one's.
void LibUsbDevice::noteSerialReply(qint64 n)
{
    if (!connected)
        return;
    if (n >= 0) {
        consecutiveTimeouts = 0;
        return;
    }
    if (++consecutiveTimeouts < maxConsecutiveTimeouts)
        return;
    const bool garbled = !serialLink.timedOut();
    qCDebug(lcUsb) << consecutiveTimeouts << "serial requests without a usable reply in a row";
    emit serialLink.connectionStatus(tr(garbled ? connection::RepliesGarbled : connection::PortUnreachable));
    markLinkLost(garbled ? LinkLoss::Garbled : LinkLoss::NotResponding);
}

void LibUsbDevice::noteControlResult(int result)
{
    if (!connected)
        return;
    if (result == LIBUSB_ERROR_NO_DEVICE) {
        markLinkLost(LinkLoss::Gone);
    } else if (result == LIBUSB_ERROR_TIMEOUT) {
        if (++consecutiveTimeouts >= maxConsecutiveTimeouts) {
            qCDebug(lcUsb) << consecutiveTimeouts << "control requests timed out in a row";
            markLinkLost(LinkLoss::NotResponding);
        }
    } else {
        consecutiveTimeouts = 0;
    }
}

// ---------------------------------------------------------------- life cycle

void LibUsbDevice::initializeDevice()
{
    if (!usbMode) {
        initialized = true;
        return;
    }
    if (context) {
        // A context left by a failed open: end it before starting another.
        libusb_exit(context);
        context = nullptr;
    }
    const int r = libusb_init(&context);
    if (r < 0) {
        errorText = QStringLiteral("Initialization Error!");
        qCDebug(lcUsb) << "Initialization Error! " << r;
        context = nullptr;
        initialized = false;
        return;
    }
    initialized = true;
}

void LibUsbDevice::openDevice(QString portName)
{
    if (!usbMode) {
        connected = serialLink.connectToPort(portName);
        if (connected) {
            serialLink.write(QString(QChar(command::StreamOff)));
            serialLink.flushOutput();
        }
        return;
    }
    if (!initialized || !context) {
        errorText = QStringLiteral("Cannot open device!");
        qCDebug(lcUsb) << "Cannot open device";
        emit serialLink.connectionStatus(tr(connection::CannotOpenDevice));
        return;
    }
    const ssize_t count = libusb_get_device_list(context, &deviceList);
    if (count < 0) {
        errorText = QStringLiteral("Cannot open device!");
        qCDebug(lcUsb) << "No USB Devices to List";
        deviceList = nullptr;
        // Without a status the window would stay disabled.
        emit serialLink.connectionStatus(tr(connection::CannotOpenDevice));
        return;
    }
    handle = nullptr;
    for (int i = 0; deviceList[i]; ++i) {
        device = deviceList[i];
        if (libusb_get_device_descriptor(device, &descriptor) != 0)
            break;
        if (descriptor.idVendor != vendorId || descriptor.idProduct != productId)
            continue;
        if (libusb_open(device, &handle) == 0) {
            qCDebug(lcUsb).nospace() << libusb_get_device_address(device) << " Device Opened";
            break;
        }
        errorText = QStringLiteral("Cannot open device!");
        qCDebug(lcUsb).nospace() << "Cannot open device--" << i + 1;
        handle = nullptr;
    }
    libusb_free_device_list(deviceList, 1);
    deviceList = nullptr;
    device = nullptr;
    if (!handle) {
        errorText = QStringLiteral("Cannot open device!");
        qCDebug(lcUsb) << "Cannot open device";
        emit serialLink.connectionStatus(tr(connection::CannotOpenDevice));
        return;
    }
    if (libusb_kernel_driver_active(handle, interfaceNumber) == 1) {
        qCDebug(lcUsb) << "Kernel Driver Active";
        if (libusb_detach_kernel_driver(handle, interfaceNumber) == 0)
            qCDebug(lcUsb) << "Kernel Driver Detached!";
    }
    if (libusb_claim_interface(handle, interfaceNumber) < 0) {
        qCDebug(lcUsb) << "Cannot Claim Interface";
        libusb_close(handle);
        handle = nullptr;
        connected = false;
        errorText = QStringLiteral("Cannot open device!");
        // Without a status the window would stay disabled.
        emit serialLink.connectionStatus(tr(connection::CannotOpenDevice));
        return;
    }
    connected = true;
}

void LibUsbDevice::closeDevice()
{
    if (connected) {
        if (usbMode)
            releaseUsb(true);
        else
            closeSerial(true);
        return;
    }
    if (!initialized)
        return;
    running = false;
    if (usbMode) {
        stopReception();
        if (context)
            libusb_exit(context);
        context = nullptr;
    } else {
        closeSerial(false);
    }
}

void LibUsbDevice::dropLostLink()
{
    if (!connected)
        return;
    if (usbMode) {
        releaseUsb(false);
    } else {
        serialLink.setAutoMode(false);
        serialLink.clearPort();
        running = false;
        connected = false;
    }
}

void LibUsbDevice::releaseUsb(bool storeSettings)
{
    stopReception();
    if (storeSettings)
        saveDeviceSettings();
    if (handle) {
        libusb_release_interface(handle, interfaceNumber);
        libusb_close(handle);
        handle = nullptr;
    }
    if (context)
        libusb_exit(context);
    context = nullptr;
    connected = false;
}

void LibUsbDevice::closeSerial(bool storeSettings)
{
    serialLink.setAutoMode(false);
    running = false;
    serialLink.write(QString(QChar(command::StreamOff)));
    if (storeSettings)
        saveDeviceSettings();
    serialLink.close();
    connected = false;
}

void LibUsbDevice::reset()
{
    if (eventFuture.isRunning())
        stopReception();
    running = true;
    connected = false;
    initialized = false;
    handle = nullptr;
    context = nullptr;
    readTransfer = nullptr;
    dataReady = false;
    lossReason = int(LinkLoss::None);
    linkLostReported = false;
    consecutiveTimeouts = 0;
    droppedFrameCount = 0;
    transferInFlight = false;
    resetFrameSlots();
}

// ---------------------------------------------------------- frame reception

void LibUsbDevice::asyncBulkReadTransfer()
{
    if (!checkConnected())
        return;
    if (!usbMode) {
        serialLink.setFrameBuffer(rxBuffer);
        return;
    }
    if (transferInFlight)
        return;
    if (!readTransfer)
        readTransfer = libusb_alloc_transfer(0);
    if (!readTransfer) {
        errorText = QStringLiteral("Bulk read transfer failed!");
        qCDebug(lcUsb) << "Transfer Failed! " << LIBUSB_ERROR_NO_MEM;
        return;
    }
    consecutiveErrors = 0;
    libusb_fill_bulk_transfer(readTransfer, handle, frameEndpoint, frameSlots[backSlot].data, rxBufferSize,
                              &LibUsbDevice::readCompleted, this, 0);
    transferInFlight = true;
    const int r = libusb_submit_transfer(readTransfer);
    if (r != 0) {
        transferInFlight = false;
        errorText = QStringLiteral("Bulk read transfer failed!");
        qCDebug(lcUsb) << "Transfer Failed! " << r;
        return;
    }
    linkWatch.start(linkWatchIntervalMs);
    if (!eventFuture.isRunning()) {
        eventThreadActive.store(true, std::memory_order_release);
        eventFuture = QtConcurrent::run(this, &LibUsbDevice::eventThread);
    }
}

void LibUsbDevice::eventThread()
{
    // Pairs with the store before the start: everything set up for the
    // transfer (context, handle, slots) is visible here.
    eventThreadActive.load(std::memory_order_acquire);
    QElapsedTimer cancelClock;
    while (running.load() || transferInFlight.load()) {
        if (!running.load()) {
            // Stopping with a transfer still out (it may have been resubmitted
            // just as the stop began): cancel it and wait for its completion.
            if (!cancelClock.isValid()) {
                cancelClock.start();
                libusb_cancel_transfer(readTransfer);
            } else if (cancelClock.elapsed() > cancelGraceMs) {
                qCDebug(lcUsb) << "cancelled transfer never completed";
                break;
            }
        }
        timeval wake{0, eventWakeUs};
        libusb_handle_events_timeout_completed(context, &wake, nullptr);
    }
    eventThreadActive.store(false, std::memory_order_release);
}

void LIBUSB_CALL LibUsbDevice::readCompleted(libusb_transfer *transfer)
{
    static_cast<LibUsbDevice *>(transfer->user_data)->onReadCompleted(transfer);
}

void LibUsbDevice::onReadCompleted(libusb_transfer *transfer)
{
    switch (transfer->status) {
    case LIBUSB_TRANSFER_COMPLETED: {
        const int length = std::clamp(transfer->actual_length, 0, rxBufferSize);
        if (!isFrameLength(length)) {
            // Part of a frame, or more than one: never shown.
            droppedFrameCount.fetch_add(1, std::memory_order_relaxed);
            if (++consecutiveErrors > maxConsecutiveErrors) {
                transferInFlight = false;
                markLinkLost();
                return;
            }
            break;
        }
        consecutiveErrors = 0;
        frameSlots[backSlot].length = length;
        frameSlots[backSlot].receivedAtNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                std::chrono::steady_clock::now().time_since_epoch())
                                                .count();
        // Publish the filled slot; take back the one nobody reads now.
        backSlot = sharedSlot.exchange(backSlot | freshFlag, std::memory_order_acq_rel) & ~freshFlag;
        rxLength.store(length, std::memory_order_relaxed);
        if (!dataReady.exchange(true, std::memory_order_acq_rel))
            emit frameArrived();
        break;
    }
    case LIBUSB_TRANSFER_CANCELLED:
        transferInFlight = false;
        return;
    case LIBUSB_TRANSFER_NO_DEVICE:
        transferInFlight = false;
        markLinkLost();
        return;
    default:
        // A failed transfer carries no frame worth showing.
        if (++consecutiveErrors > maxConsecutiveErrors) {
            transferInFlight = false;
            markLinkLost();
            return;
        }
        break;
    }
    if (!running.load()) {
        transferInFlight = false;
        return;
    }
    transfer->buffer = frameSlots[backSlot].data;
    if (libusb_submit_transfer(transfer) != 0) {
        transferInFlight = false;
        markLinkLost();
    }
}

void LibUsbDevice::stopReception()
{
    linkWatch.stop();
    running = false;
    if (readTransfer && transferInFlight.load())
        libusb_cancel_transfer(readTransfer);
    eventFuture.waitForFinished();
    while (eventThreadActive.load(std::memory_order_acquire))
        QThread::yieldCurrentThread();
    if (readTransfer && !transferInFlight.load()) {
        libusb_free_transfer(readTransfer);
        readTransfer = nullptr;
    }
}

int LibUsbDevice::copyLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs)
{
    if (receivedAtNs)
        *receivedAtNs = 0;
    if (!dst || capacity <= 0)
        return 0;
    if (!usbMode) {
        // The serial link assembles frames on this thread, in place.
        const int length = rxLength.load();
        if (length <= 0)
            return 0;
        std::memcpy(dst, rxBuffer, std::min({std::max(length, frameSize), rxBufferSize, capacity}));
        return length;
    }
    if (sharedSlot.load(std::memory_order_acquire) & freshFlag)
        frontSlot = sharedSlot.exchange(frontSlot, std::memory_order_acq_rel) & ~freshFlag;
    const FrameSlot &slot = frameSlots[frontSlot];
    std::memcpy(dst, slot.data, std::min(slot.length, capacity));
    if (receivedAtNs)
        *receivedAtNs = slot.receivedAtNs;
    return slot.length;
}

void LibUsbDevice::newDataAvailable(int n)
{
    rxLength = n;
    // As over USB: one signal while a frame waits, so the window takes serial
    // frames as they arrive instead of polling for them.
    if (!dataReady.exchange(true))
        emit frameArrived();
}

// --------------------------------------------------------------- commands

void LibUsbDevice::sendCommand(char letter)
{
    if (!checkConnected())
        return;
    if (usbMode) {
        noteControlResult(libusb_control_transfer(handle, vendorRequestIn, uint8_t(letter), 0, 0, nullptr, 0,
                                                  controlTimeoutMs));
    } else {
        serialLink.write(QString(QChar(letter)));
    }
}

bool LibUsbDevice::controlReadTransfer(uint8_t request, uint16_t value, uint16_t index)
{
    if (!checkConnected())
        return false;
    if (usbMode) {
        const int n = libusb_control_transfer(handle, vendorRequestIn, request, value, index, inBuffer,
                                              inBufferSize, controlTimeoutMs);
        noteControlResult(n);
        return acceptControlRead(n);
    }

    const bool needsStreamOff = request == command::ReadSettings || request == command::GeneratorFrequency ||
                                request == command::ReadW || request == command::ReadX;
    if (needsStreamOff)
        turnOffAutoMode();
    const char form[5] = {char(request), char(index & 0xFF), char(index >> 8), char(value & 0xFF),
                          char(value >> 8)};
    if (request == command::ReadSettings) {
        // Stream bytes sent before the stop took effect are no reply; a
        // block that fails its sanity check is none either.
        serialLink.flushOutput();
        const qint64 n = serialLink.exchange(QByteArray(form, sizeof form), reinterpret_cast<char *>(inBuffer),
                                             settingsBlockLength, &isSettingsReply);
        noteSerialReply(n);
        if (isLinkLost())
            return acceptControlRead(-1);
        turnOnAutoMode();
        return acceptControlRead(n);
    }
    serialLink.writeByteArray(QByteArray(form, sizeof form));
    if (needsStreamOff)
        turnOnAutoMode();
    return true;
}

bool LibUsbDevice::readSettingsBlock()
{
    lastReadLength = -1;
    if (!controlReadTransfer(command::ReadSettings, 0, command::SettingsBlockIndex))
        return false;
    if (lastReadLength < settingsBlockLength) {
        errorText = QStringLiteral("Read Error!");
        qCDebug(lcUsb) << "settings block cut short:" << lastReadLength << "bytes";
        return false;
    }
    return true;
}

void LibUsbDevice::controlWriteTransfer(uint16_t index, uint8_t value)
{
    if (!checkConnected())
        return;
    if (usbMode) {
        noteControlResult(libusb_control_transfer(handle, vendorRequestIn, command::WriteRegister, value,
                                                  index, nullptr, 0, controlTimeoutMs));
        return;
    }
    const char form[3] = {char(command::WriteRegister), char(index & 0xFF), char(value)};
    serialLink.writeByteArray(QByteArray(form, sizeof form));
}

QString LibUsbDevice::requestFirmwareVersion()
{
    if (!checkConnected())
        return QString();
    unsigned char reply[versionLength] = {};
    qint64 n = 0;
    if (usbMode) {
        n = libusb_control_transfer(handle, vendorRequestIn, command::FirmwareVersion, 0, 0, reply,
                                    versionLength, controlTimeoutMs);
        noteControlResult(int(n));
        if (n > 0)
            n = versionLength; // always four characters once any byte came
    } else {
        const bool wasStreaming = serialLink.autoMode();
        if (wasStreaming)
            turnOffAutoMode();
        // Bytes already on their way (a stream from before, line noise) are
        // no reply, and four bytes that are no version are none either.
        serialLink.flushOutput();
        n = serialLink.exchange(QByteArray(1, char(command::FirmwareVersion)), reinterpret_cast<char *>(reply),
                                versionLength, &connection::isVersionReply);
        noteSerialReply(n);
        if (isLinkLost())
            return QStringLiteral("-1");
        if (wasStreaming)
            turnOnAutoMode();
    }
    if (n <= 0) {
        errorText = QStringLiteral("Read Error!");
        qCDebug(lcUsb) << "read error: " << n;
        return QString();
    }
    QString version;
    for (qint64 i = 0; i < n; ++i)
        version.append(QChar::fromLatin1(char(reply[i])));
    return version;
}

int LibUsbDevice::requestMM(unsigned char *dst)
{
    if (!checkConnected())
        return -1;
    if (usbMode) {
        const int r = libusb_control_transfer(handle, vendorRequestIn, command::Meter, 0, 0, dst,
                                              meterReplyLength, controlTimeoutMs);
        noteControlResult(r);
        return r;
    }
    turnOffAutoMode();
    serialLink.flushOutput();
    // Stream bytes sent before the stop took effect are no reply. Any four
    // bytes may be a reading, so a reply with stray bytes around it cannot
    // be told apart and is dropped (see SerialPortConnection::readReply).
    const qint64 n = serialLink.exchange(QByteArray(1, char(command::Meter)), reinterpret_cast<char *>(dst),
                                         meterReplyLength);
    noteSerialReply(n);
    return int(n);
}

void LibUsbDevice::saveDeviceSettings()
{
    sendCommand(command::StoreSettings);
}

void LibUsbDevice::saveAWG()
{
    sendCommand(command::StoreWave);
}

void LibUsbDevice::stopScope()
{
    sendCommand(command::Stop);
    // A stopped instrument sends no frames; that is no stall.
    serialLink.setFramesExpected(false);
}

void LibUsbDevice::startScope()
{
    sendCommand(command::Start);
    serialLink.setFramesExpected(true);
}

void LibUsbDevice::forceTrigger()
{
    sendCommand(command::ForceTrigger);
}

void LibUsbDevice::autoSetup()
{
    sendCommand(command::AutoSetup);
}

void LibUsbDevice::restoreSettings()
{
    sendCommand(command::FactorySettings);
}

void LibUsbDevice::awgBulkWriteTransfer()
{
    if (!checkConnected())
        return;
    if (usbMode) {
        int sent = 0;
        noteControlResult(libusb_bulk_transfer(handle, waveEndpoint,
                                               reinterpret_cast<unsigned char *>(awgBuffer), awgBufferSize,
                                               &sent, controlTimeoutMs));
        return;
    }
    // Serial form of the upload (the USB form is a bulk OUT): the letter 'l'
    // followed by the 256 signed wave bytes, sample 0 first. The instrument
    // drops an upload whose bytes do not follow within 1000 ms. The stream is
    // off meanwhile so frames and the upload do not cross.
    const bool wasStreaming = serialLink.autoMode();
    turnOffAutoMode();
    QByteArray upload(1, command::WaveUpload);
    upload.append(reinterpret_cast<const char *>(awgBuffer), awgBufferSize);
    serialLink.writeByteArray(upload);
    if (!serialLink.waitForWritten()) {
        markLinkLost(LinkLoss::NotResponding);
        return;
    }
    if (wasStreaming)
        turnOnAutoMode();
}

void LibUsbDevice::turnOffAutoMode()
{
    if (usbMode)
        return;
    serialLink.setAutoMode(false);
    serialLink.write(QString(QChar(command::StreamOff)));
}

void LibUsbDevice::turnOnAutoMode()
{
    if (usbMode)
        return;
    serialLink.write(QString(QChar(command::StreamOn)));
    serialLink.setAutoMode(true);
    serialLink.restartParser();
}
