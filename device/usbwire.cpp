#include "device/usbwire.h"

#include "device/commandset.h"
#include "device/connectionrules.h"

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
// More bulk IN transfers than this in a row that fail or carry no whole frame
// count as a lost link.
constexpr int maxConsecutiveErrors = 100;
} // namespace

UsbWire::UsbWire(QObject *parent) : InstrumentWire(parent)
{
    resetFrameSlots();
}

UsbWire::~UsbWire()
{
    // The owner closes the wire first; this only guards against a thread or
    // transfer outliving the object.
    if (connected || context)
        close();
}

bool UsbWire::isFrameLength(int length)
{
    return length == frameSize || (length >= snifferFrameMinSize && length <= frameBufferSize);
}

void UsbWire::resetFrameSlots()
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

void UsbWire::noteControlResult(int result)
{
    if (!connected)
        return;
    if (result == LIBUSB_ERROR_NO_DEVICE)
        markLinkLost(LinkLoss::Gone);
    else if (failedInARow(result != LIBUSB_ERROR_TIMEOUT))
        markLinkLost(LinkLoss::NotResponding);
}

// ---------------------------------------------------------------- life cycle

bool UsbWire::initialize()
{
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
        return false;
    }
    return true;
}

void UsbWire::cannotOpen(const char *why)
{
    errorText = QStringLiteral("Cannot open device!");
    qCDebug(lcUsb) << why;
    // Without a status the window would stay disabled.
    emit statusMessage(tr(connection::CannotOpenDevice));
}

bool UsbWire::open(const QString &)
{
    if (connected)
        return true;
    if (!initialize()) {
        cannotOpen("Cannot open device");
        return false;
    }
    libusb_device **deviceList = nullptr;
    const ssize_t count = libusb_get_device_list(context, &deviceList);
    if (count < 0) {
        cannotOpen("No USB Devices to List");
        return false;
    }
    handle = nullptr;
    for (int i = 0; deviceList[i]; ++i) {
        libusb_device *device = deviceList[i];
        libusb_device_descriptor descriptor{};
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
    if (!handle) {
        cannotOpen("Cannot open device");
        return false;
    }
    if (libusb_kernel_driver_active(handle, interfaceNumber) == 1) {
        qCDebug(lcUsb) << "Kernel Driver Active";
        if (libusb_detach_kernel_driver(handle, interfaceNumber) == 0)
            qCDebug(lcUsb) << "Kernel Driver Detached!";
    }
    if (libusb_claim_interface(handle, interfaceNumber) < 0) {
        libusb_close(handle);
        handle = nullptr;
        cannotOpen("Cannot Claim Interface");
        return false;
    }
    connected = true;
    return true;
}

void UsbWire::close()
{
    if (connected) {
        releaseUsb(true);
    } else if (context) {
        // Set up by an open that failed: end the library.
        running = false;
        stopReception();
        libusb_exit(context);
        context = nullptr;
    }
    reset();
}

void UsbWire::release()
{
    if (connected)
        releaseUsb(false);
    else if (context)
        close(); // ends the libusb context a failed open left
    reset();
}

void UsbWire::releaseUsb(bool storeSettings)
{
    stopReception();
    if (storeSettings && !isLinkLost())
        sendCommand(char(command::StoreSettings));
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

void UsbWire::reset()
{
    if (eventFuture.isRunning())
        stopReception();
    running = true;
    handle = nullptr;
    context = nullptr;
    readTransfer = nullptr;
    droppedFrameCount = 0;
    transferInFlight = false;
    resetFrameSlots();
    resetLinkState();
}

// ---------------------------------------------------------- frame reception

void UsbWire::startReception()
{
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
    libusb_fill_bulk_transfer(readTransfer, handle, frameEndpoint, frameSlots[backSlot].data, frameBufferSize,
                              &UsbWire::readCompleted, this, 0);
    transferInFlight = true;
    const int r = libusb_submit_transfer(readTransfer);
    if (r != 0) {
        transferInFlight = false;
        errorText = QStringLiteral("Bulk read transfer failed!");
        qCDebug(lcUsb) << "Transfer Failed! " << r;
        return;
    }
    watchForLoss();
    if (!eventFuture.isRunning()) {
        eventThreadActive.store(true, std::memory_order_release);
        eventFuture = QtConcurrent::run(this, &UsbWire::eventThread);
    }
}

void UsbWire::eventThread()
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

void LIBUSB_CALL UsbWire::readCompleted(libusb_transfer *transfer)
{
    static_cast<UsbWire *>(transfer->user_data)->onReadCompleted(transfer);
}

void UsbWire::onReadCompleted(libusb_transfer *transfer)
{
    switch (transfer->status) {
    case LIBUSB_TRANSFER_COMPLETED: {
        const int length = std::clamp(transfer->actual_length, 0, int(frameBufferSize));
        if (!isFrameLength(length)) {
            // Part of a frame, or more than one: never shown.
            droppedFrameCount.fetch_add(1, std::memory_order_relaxed);
            if (++consecutiveErrors > maxConsecutiveErrors) {
                transferInFlight = false;
                markLinkLost(LinkLoss::Gone);
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
        publishFrame();
        break;
    }
    case LIBUSB_TRANSFER_CANCELLED:
        transferInFlight = false;
        return;
    case LIBUSB_TRANSFER_NO_DEVICE:
        transferInFlight = false;
        markLinkLost(LinkLoss::Gone);
        return;
    default:
        // A failed transfer carries no frame worth showing.
        if (++consecutiveErrors > maxConsecutiveErrors) {
            transferInFlight = false;
            markLinkLost(LinkLoss::Gone);
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
        markLinkLost(LinkLoss::Gone);
    }
}

void UsbWire::stopReception()
{
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

int UsbWire::copyLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs)
{
    if (receivedAtNs)
        *receivedAtNs = 0;
    if (!dst || capacity <= 0)
        return 0;
    if (sharedSlot.load(std::memory_order_acquire) & freshFlag)
        frontSlot = sharedSlot.exchange(frontSlot, std::memory_order_acq_rel) & ~freshFlag;
    const FrameSlot &slot = frameSlots[frontSlot];
    std::memcpy(dst, slot.data, size_t(std::min(slot.length, capacity)));
    if (receivedAtNs)
        *receivedAtNs = slot.receivedAtNs;
    return slot.length;
}

// --------------------------------------------------------------- commands

void UsbWire::sendCommand(char letter)
{
    noteControlResult(
        libusb_control_transfer(handle, vendorRequestIn, uint8_t(letter), 0, 0, nullptr, 0, controlTimeoutMs));
}

bool UsbWire::controlRead(uint8_t request, uint16_t value, uint16_t index)
{
    const int n = libusb_control_transfer(handle, vendorRequestIn, request, value, index, inBuffer,
                                          replyBufferSize, controlTimeoutMs);
    noteControlResult(n);
    return acceptReply(n);
}

void UsbWire::request(uint8_t letter, quint16 value, quint16 index)
{
    controlRead(letter, value, index);
}

bool UsbWire::readSettingsBlock()
{
    lastReadLength = -1;
    if (!controlRead(command::ReadSettings, 0, command::SettingsBlockIndex))
        return false;
    if (lastReadLength < settingsBlockLength) {
        errorText = QStringLiteral("Read Error!");
        qCDebug(lcUsb) << "settings block cut short:" << lastReadLength << "bytes";
        return false;
    }
    return true;
}

void UsbWire::writeRegister(quint16 index, quint8 value)
{
    noteControlResult(libusb_control_transfer(handle, vendorRequestIn, command::WriteRegister, value, index,
                                              nullptr, 0, controlTimeoutMs));
}

QString UsbWire::firmwareVersion()
{
    unsigned char reply[versionLength] = {};
    int n = libusb_control_transfer(handle, vendorRequestIn, command::FirmwareVersion, 0, 0, reply, versionLength,
                                    controlTimeoutMs);
    noteControlResult(n);
    if (n <= 0) {
        errorText = QStringLiteral("Read Error!");
        qCDebug(lcUsb) << "read error: " << n;
        return QString();
    }
    // Always four characters once any byte came.
    QString version;
    for (unsigned char c : reply)
        version.append(QChar::fromLatin1(char(c)));
    return version;
}

int UsbWire::requestMeter(unsigned char *dst)
{
    const int r = libusb_control_transfer(handle, vendorRequestIn, command::Meter, 0, 0, dst, meterReplyLength,
                                          controlTimeoutMs);
    noteControlResult(r);
    return r;
}

void UsbWire::uploadWave(const signed char *wave)
{
    unsigned char bytes[waveLength];
    std::memcpy(bytes, wave, sizeof bytes);
    int sent = 0;
    noteControlResult(libusb_bulk_transfer(handle, waveEndpoint, bytes, waveLength, &sent, controlTimeoutMs));
}
