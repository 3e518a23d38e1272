// The libusb-1.0 functions the program uses, answered by the simulated
// instrument. Linked in place of the real library; compiled against its header
// so types and constants are the library's own.

#include "siminstrument.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

using namespace quorvelsim;
using Clock = std::chrono::steady_clock;

struct libusb_context
{
    int interrupts = 0;
    bool inUse = false;
};

struct libusb_device
{
    uint8_t bus = 1;
    uint8_t address = 1;
    uint16_t vendor = 0;
    uint16_t product = 0;
    int instrument = -1; // ordinal among the instruments, -1 for other devices
    int refs = 0;
};

struct libusb_device_handle
{
    libusb_device *device = nullptr;
    bool claimed = false;
    bool autoDetach = false;
};

namespace {

constexpr int MaxInstruments = 8;
constexpr auto ShortWait = std::chrono::milliseconds(50); // libusb_handle_events returns after this when idle

struct Pending
{
    libusb_transfer *transfer;
    Clock::time_point due;
    bool cancelled;
    Clock::time_point expires; // the transfer's own time-out; max() when it has none
};

SimInstrument &sim() { return SimInstrument::instance(); }

libusb_context defaultContext;
libusb_device rootHub{1, 1, 0x1D6B, 0x0002, -1, 0};
libusb_device instruments[MaxInstruments];
std::vector<Pending> pending;             // guarded by sim().mutex
std::vector<libusb_device_handle *> handles; // guarded by sim().mutex
std::vector<std::unique_ptr<libusb_context>> contexts; // guarded by sim().mutex

libusb_device &instrument(int i)
{
    libusb_device &d = instruments[i];
    d.bus = 1;
    d.address = uint8_t(5 + i);
    d.vendor = UsbVendorId;
    d.product = UsbProductId;
    d.instrument = i;
    return d;
}

bool validHandle(libusb_device_handle *h)
{
    return h && std::find(handles.begin(), handles.end(), h) != handles.end();
}

void updatePendingCount() { sim().pendingTransfers = int(pending.size()); }

std::chrono::nanoseconds wallInterval()
{
    if (sim().model.frameRate() <= 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(qint64(sim().model.frameInterval() * 1e9));
}

// Runs a transfer's callback outside the lock, freeing it afterwards when asked.
void complete(libusb_transfer *t)
{
    const bool freeIt = t->flags & LIBUSB_TRANSFER_FREE_TRANSFER;
    if (t->callback)
        t->callback(t);
    if (freeIt)
        libusb_free_transfer(t);
}

libusb_context *contextOf(libusb_context *ctx) { return ctx ? ctx : &defaultContext; }

// Completes every transfer that is ready; waits up to `deadline` for one.
// Returns the number completed.
int handleEvents(libusb_context *ctx, Clock::time_point deadline, int *completed)
{
    ctx = contextOf(ctx);
    std::unique_lock<std::mutex> lock(sim().mutex);
    for (;;) {
        if (completed && *completed)
            return 0;
        if (ctx->interrupts > 0) {
            --ctx->interrupts;
            return 0;
        }
        std::vector<libusb_transfer *> ready;
        const Clock::time_point now = Clock::now();
        Clock::time_point earliest = deadline;
        for (size_t i = 0; i < pending.size();) {
            Pending &p = pending[i];
            libusb_transfer *t = p.transfer;
            bool done = false;
            if (p.cancelled) {
                t->status = LIBUSB_TRANSFER_CANCELLED;
                t->actual_length = 0;
                done = true;
            } else if (sim().fault(Fault::Unplugged)) {
                t->status = LIBUSB_TRANSFER_NO_DEVICE;
                t->actual_length = 0;
                done = true;
            } else if (p.expires <= now) {
                t->status = LIBUSB_TRANSFER_TIMED_OUT;
                t->actual_length = 0;
                done = true;
            } else if (p.due <= now) {
                if (t->endpoint & LIBUSB_ENDPOINT_IN) {
                    quint8 frame[SnifferFrameSize + 1];
                    const int n = sim().produceFrame(frame);
                    if (n > 0) {
                        const int copied = std::min(n, t->length);
                        std::memcpy(t->buffer, frame, size_t(copied));
                        t->actual_length = copied;
                        t->status = n > t->length ? LIBUSB_TRANSFER_OVERFLOW : LIBUSB_TRANSFER_COMPLETED;
                        sim().recordFrame(frame, copied);
                        ++sim().framesDelivered;
                        sim().nextFrameDue = sim().frameClock.next(now, double(wallInterval().count()));
                        done = true;
                    } else {
                        // Nothing to send (stopped, waiting for a trigger): try again a frame later.
                        p.due = now + std::max<Clock::duration>(wallInterval(), std::chrono::milliseconds(1));
                    }
                } else {
                    sim().model.loadCustomWave(QByteArray(reinterpret_cast<const char *>(t->buffer),
                                                          std::min(t->length, CustomWaveSize)));
                    sim().record(Wire::Usb, SerialWaveUpload, 0, 0,
                                 QByteArray(reinterpret_cast<const char *>(t->buffer), std::min(t->length, CustomWaveSize)));
                    t->actual_length = t->length;
                    t->status = LIBUSB_TRANSFER_COMPLETED;
                    done = true;
                }
            }
            if (done) {
                ready.push_back(t);
                pending.erase(pending.begin() + long(i));
            } else {
                earliest = std::min({earliest, p.due, p.expires});
                ++i;
            }
        }
        if (!ready.empty()) {
            updatePendingCount();
            sim().changed.notify_all();
            lock.unlock();
            for (libusb_transfer *t : ready)
                complete(t);
            return int(ready.size());
        }
        if (Clock::now() >= deadline)
            return 0;
        sim().changed.wait_until(lock, earliest);
    }
}

Clock::time_point deadlineFrom(const struct timeval *tv)
{
    if (!tv)
        return Clock::now() + ShortWait;
    const auto d = std::chrono::seconds(tv->tv_sec) + std::chrono::microseconds(tv->tv_usec);
    return Clock::now() + std::min<Clock::duration>(d, std::chrono::seconds(60));
}

void waitForTimeout(unsigned int timeoutMs)
{
    int waitMs;
    {
        std::lock_guard<std::mutex> lock(sim().mutex);
        waitMs = sim().controlTimeoutWaitMs;
    }
    if (waitMs < 0)
        waitMs = timeoutMs == 0 ? 1000 : int(timeoutMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
}

bool knownRequest(uint8_t r)
{
    return std::strchr("abcdefghijkmu", char(r)) != nullptr && r != 0;
}

} // namespace

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context **ctx)
{
    if (ctx) {
        std::lock_guard<std::mutex> lock(sim().mutex);
        // Contexts are kept until the process ends, so an event loop that
        // outlives libusb_exit by a moment touches no freed memory.
        libusb_context *free = nullptr;
        for (const auto &c : contexts)
            if (!c->inUse)
                free = c.get();
        if (!free) {
            contexts.push_back(std::make_unique<libusb_context>());
            free = contexts.back().get();
        }
        free->inUse = true;
        free->interrupts = 0;
        *ctx = free;
    }
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context *ctx)
{
    if (!ctx || ctx == &defaultContext)
        return;
    std::lock_guard<std::mutex> lock(sim().mutex);
    ctx->interrupts = 0;
    ctx->inUse = false;
}

void LIBUSB_CALL libusb_set_debug(libusb_context *, int) {}

int LIBUSB_CALL libusb_set_option(libusb_context *, enum libusb_option, ...) { return LIBUSB_SUCCESS; }

const struct libusb_version *LIBUSB_CALL libusb_get_version(void)
{
    static const libusb_version v = {1, 0, 26, 0, "", "simulated"};
    return &v;
}

const char *LIBUSB_CALL libusb_error_name(int code)
{
    switch (code) {
    case LIBUSB_SUCCESS: return "LIBUSB_SUCCESS / LIBUSB_TRANSFER_COMPLETED";
    case LIBUSB_ERROR_IO: return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM: return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS: return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE: return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND: return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY: return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT: return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW: return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE: return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_INTERRUPTED: return "LIBUSB_ERROR_INTERRUPTED";
    case LIBUSB_ERROR_NO_MEM: return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED: return "LIBUSB_ERROR_NOT_SUPPORTED";
    case LIBUSB_ERROR_OTHER: return "LIBUSB_ERROR_OTHER";
    default: return "**UNKNOWN**";
    }
}

const char *LIBUSB_CALL libusb_strerror(int code)
{
    switch (code) {
    case LIBUSB_SUCCESS: return "Success";
    case LIBUSB_ERROR_IO: return "Input/Output Error";
    case LIBUSB_ERROR_INVALID_PARAM: return "Invalid parameter";
    case LIBUSB_ERROR_ACCESS: return "Access denied (insufficient permissions)";
    case LIBUSB_ERROR_NO_DEVICE: return "No such device (it may have been disconnected)";
    case LIBUSB_ERROR_NOT_FOUND: return "Entity not found";
    case LIBUSB_ERROR_BUSY: return "Resource busy";
    case LIBUSB_ERROR_TIMEOUT: return "Operation timed out";
    case LIBUSB_ERROR_OVERFLOW: return "Overflow";
    case LIBUSB_ERROR_PIPE: return "Pipe error";
    case LIBUSB_ERROR_INTERRUPTED: return "System call interrupted (perhaps due to signal)";
    case LIBUSB_ERROR_NO_MEM: return "Insufficient memory";
    case LIBUSB_ERROR_NOT_SUPPORTED: return "Operation not supported or unimplemented on this platform";
    case LIBUSB_ERROR_OTHER: return "Other error";
    default: return "Unknown error";
    }
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context *, libusb_device ***list)
{
    if (!list)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::lock_guard<std::mutex> lock(sim().mutex);
    std::vector<libusb_device *> devices{&rootHub};
    if (!sim().fault(Fault::NoDevice) && !sim().fault(Fault::Unplugged))
        for (int i = 0; i < std::min(sim().instrumentCount, MaxInstruments); ++i)
            devices.push_back(&instrument(i));
    auto **out = static_cast<libusb_device **>(std::calloc(devices.size() + 1, sizeof(libusb_device *)));
    if (!out)
        return LIBUSB_ERROR_NO_MEM;
    for (size_t i = 0; i < devices.size(); ++i) {
        out[i] = devices[i];
        ++devices[i]->refs;
    }
    *list = out;
    return ssize_t(devices.size());
}

void LIBUSB_CALL libusb_free_device_list(libusb_device **list, int unrefDevices)
{
    if (!list)
        return;
    if (unrefDevices) {
        std::lock_guard<std::mutex> lock(sim().mutex);
        for (libusb_device **d = list; *d; ++d)
            --(*d)->refs;
    }
    std::free(list);
}

libusb_device *LIBUSB_CALL libusb_ref_device(libusb_device *dev)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (dev)
        ++dev->refs;
    return dev;
}

void LIBUSB_CALL libusb_unref_device(libusb_device *dev)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (dev)
        --dev->refs;
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device *dev, struct libusb_device_descriptor *desc)
{
    if (!dev || !desc)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::memset(desc, 0, sizeof(*desc));
    desc->bLength = LIBUSB_DT_DEVICE_SIZE;
    desc->bDescriptorType = LIBUSB_DT_DEVICE;
    desc->bcdUSB = 0x0200;
    desc->bDeviceClass = dev->instrument >= 0 ? LIBUSB_CLASS_VENDOR_SPEC : LIBUSB_CLASS_HUB;
    desc->bMaxPacketSize0 = 64;
    desc->idVendor = dev->vendor;
    desc->idProduct = dev->product;
    desc->bcdDevice = 0x0100;
    desc->iManufacturer = 1;
    desc->iProduct = 2;
    desc->iSerialNumber = dev->instrument >= 0 ? 3 : 0;
    desc->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device *dev) { return dev ? dev->bus : 0; }

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device *dev) { return dev ? dev->address : 0; }

uint8_t LIBUSB_CALL libusb_get_port_number(libusb_device *dev) { return dev ? uint8_t(dev->address - 4) : 0; }

int LIBUSB_CALL libusb_open(libusb_device *dev, libusb_device_handle **handle)
{
    if (!dev || !handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (dev->instrument < 0)
        return LIBUSB_ERROR_ACCESS;
    if (sim().fault(Fault::Unplugged) || sim().fault(Fault::NoDevice))
        return LIBUSB_ERROR_NO_DEVICE;
    if (sim().fault(Fault::OpenFails) || dev->instrument < sim().unopenable)
        return LIBUSB_ERROR_ACCESS;
    auto *h = new libusb_device_handle;
    h->device = dev;
    ++dev->refs;
    handles.push_back(h);
    ++sim().openHandles;
    *handle = h;
    return LIBUSB_SUCCESS;
}

libusb_device_handle *LIBUSB_CALL libusb_open_device_with_vid_pid(libusb_context *ctx, uint16_t vendor,
                                                                   uint16_t product)
{
    libusb_device **list = nullptr;
    if (libusb_get_device_list(ctx, &list) < 0)
        return nullptr;
    libusb_device_handle *handle = nullptr;
    for (libusb_device **d = list; *d && !handle; ++d)
        if ((*d)->vendor == vendor && (*d)->product == product && libusb_open(*d, &handle) != 0)
            handle = nullptr;
    libusb_free_device_list(list, 1);
    return handle;
}

void LIBUSB_CALL libusb_close(libusb_device_handle *h)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(h))
        return;
    // Transfers still in flight on this handle are dropped without a callback.
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                                 [h](const Pending &p) { return p.transfer->dev_handle == h; }),
                  pending.end());
    updatePendingCount();
    if (h->claimed)
        --sim().claimedInterfaces;
    --sim().openHandles;
    --h->device->refs;
    handles.erase(std::find(handles.begin(), handles.end(), h));
    delete h;
    sim().changed.notify_all();
}

libusb_device *LIBUSB_CALL libusb_get_device(libusb_device_handle *h) { return h ? h->device : nullptr; }

int LIBUSB_CALL libusb_kernel_driver_active(libusb_device_handle *h, int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(h))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (sim().fault(Fault::Unplugged))
        return LIBUSB_ERROR_NO_DEVICE;
    if (interfaceNumber != UsbInterface)
        return LIBUSB_ERROR_NOT_FOUND;
    return sim().kernelDriverActive ? 1 : 0;
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle *h, int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(h))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (sim().fault(Fault::Unplugged))
        return LIBUSB_ERROR_NO_DEVICE;
    if (interfaceNumber != UsbInterface || !sim().kernelDriverActive)
        return LIBUSB_ERROR_NOT_FOUND;
    sim().kernelDriverActive = false;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_attach_kernel_driver(libusb_device_handle *h, int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(h) || interfaceNumber != UsbInterface)
        return LIBUSB_ERROR_NOT_FOUND;
    if (h->claimed)
        return LIBUSB_ERROR_BUSY;
    sim().kernelDriverActive = true;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle *h, int enable)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(h))
        return LIBUSB_ERROR_INVALID_PARAM;
    h->autoDetach = enable != 0;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle *h, int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(h))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (sim().fault(Fault::Unplugged))
        return LIBUSB_ERROR_NO_DEVICE;
    if (interfaceNumber != UsbInterface)
        return LIBUSB_ERROR_NOT_FOUND;
    if (h->claimed)
        return LIBUSB_SUCCESS;
    if (h->autoDetach)
        sim().kernelDriverActive = false;
    if (sim().fault(Fault::ClaimFails) || sim().kernelDriverActive || sim().claimedInterfaces > 0)
        return LIBUSB_ERROR_BUSY;
    h->claimed = true;
    ++sim().claimedInterfaces;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle *h, int interfaceNumber)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(h))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (interfaceNumber != UsbInterface || !h->claimed)
        return LIBUSB_ERROR_NOT_FOUND;
    h->claimed = false;
    --sim().claimedInterfaces;
    return sim().fault(Fault::Unplugged) ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_reset_device(libusb_device_handle *h)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(h))
        return LIBUSB_ERROR_INVALID_PARAM;
    return sim().fault(Fault::Unplugged) ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle *h, uint8_t requestType, uint8_t request,
                                        uint16_t value, uint16_t index, unsigned char *data, uint16_t length,
                                        unsigned int timeout)
{
    {
        std::lock_guard<std::mutex> lock(sim().mutex);
        if (!validHandle(h))
            return LIBUSB_ERROR_INVALID_PARAM;
        if (sim().fault(Fault::Unplugged)) {
            sim().record(Wire::Usb, char(request), value, index, QByteArray(), false);
            return LIBUSB_ERROR_NO_DEVICE;
        }
        if (!sim().timesOut(char(request))) {
            if (requestType != UsbRequestType || !knownRequest(request)) {
                sim().record(Wire::Usb, char(request), value, index, QByteArray(), false);
                return LIBUSB_ERROR_PIPE; // the instrument stalls what it does not know
            }
            sim().record(Wire::Usb, char(request), value, index);
            const QByteArray reply = sim().model.command(char(request), value, index);
            int n = std::min(int(reply.size()), int(length));
            if (sim().shortReplyLength >= 0)
                n = std::min(n, sim().shortReplyLength);
            if (n > 0 && data)
                std::memcpy(data, reply.constData(), size_t(n));
            sim().changed.notify_all();
            return data ? n : 0;
        }
        sim().record(Wire::Usb, char(request), value, index, QByteArray(), false);
    }
    waitForTimeout(timeout);
    return LIBUSB_ERROR_TIMEOUT;
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle *h, unsigned char endpoint, unsigned char *data,
                                     int length, int *transferred, unsigned int timeout)
{
    if (transferred)
        *transferred = 0;
    if (!data || length < 0)
        return LIBUSB_ERROR_INVALID_PARAM;
    const auto deadline = Clock::now() + (timeout ? std::chrono::milliseconds(timeout) : std::chrono::hours(24));
    std::unique_lock<std::mutex> lock(sim().mutex);
    if (!validHandle(h))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (sim().fault(Fault::Unplugged))
        return LIBUSB_ERROR_NO_DEVICE;
    if (endpoint == WaveEndpoint) {
        const QByteArray wave(reinterpret_cast<const char *>(data), std::min(length, CustomWaveSize));
        if (sim().timesOut(SerialWaveUpload)) {
            sim().record(Wire::Usb, SerialWaveUpload, 0, 0, wave, false);
            lock.unlock();
            waitForTimeout(timeout);
            return LIBUSB_ERROR_TIMEOUT;
        }
        sim().model.loadCustomWave(wave);
        sim().record(Wire::Usb, SerialWaveUpload, 0, 0, wave);
        if (transferred)
            *transferred = length;
        return LIBUSB_SUCCESS;
    }
    if (endpoint != FrameEndpoint)
        return LIBUSB_ERROR_PIPE;
    quint8 frame[SnifferFrameSize + 1];
    for (;;) {
        if (sim().fault(Fault::Unplugged))
            return LIBUSB_ERROR_NO_DEVICE;
        const int n = sim().produceFrame(frame);
        if (n > 0) {
            const int copied = std::min(n, length);
            std::memcpy(data, frame, size_t(copied));
            if (transferred)
                *transferred = copied;
            sim().recordFrame(frame, copied);
            ++sim().framesDelivered;
            return n > length ? LIBUSB_ERROR_OVERFLOW : LIBUSB_SUCCESS;
        }
        if (Clock::now() >= deadline)
            return LIBUSB_ERROR_TIMEOUT;
        sim().changed.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(5)));
    }
}

struct libusb_transfer *LIBUSB_CALL libusb_alloc_transfer(int isoPackets)
{
    if (isoPackets < 0)
        return nullptr;
    const size_t size = sizeof(libusb_transfer) + size_t(isoPackets) * sizeof(libusb_iso_packet_descriptor);
    auto *t = static_cast<libusb_transfer *>(std::calloc(1, size));
    if (t)
        t->num_iso_packets = isoPackets;
    return t;
}

void LIBUSB_CALL libusb_free_transfer(struct libusb_transfer *t)
{
    if (!t)
        return;
    {
        std::lock_guard<std::mutex> lock(sim().mutex);
        // Freeing an in-flight transfer is a client error; drop it so no callback touches freed memory.
        pending.erase(std::remove_if(pending.begin(), pending.end(), [t](const Pending &p) { return p.transfer == t; }),
                      pending.end());
        updatePendingCount();
    }
    if ((t->flags & LIBUSB_TRANSFER_FREE_BUFFER) && t->buffer)
        std::free(t->buffer);
    std::free(t);
}

int LIBUSB_CALL libusb_submit_transfer(struct libusb_transfer *t)
{
    if (!t)
        return LIBUSB_ERROR_INVALID_PARAM;
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (!validHandle(t->dev_handle))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (sim().fault(Fault::Unplugged))
        return LIBUSB_ERROR_NO_DEVICE;
    if (t->type != LIBUSB_TRANSFER_TYPE_BULK || (t->endpoint != FrameEndpoint && t->endpoint != WaveEndpoint))
        return LIBUSB_ERROR_NOT_SUPPORTED;
    if (t->length < 0 || (t->length > 0 && !t->buffer))
        return LIBUSB_ERROR_INVALID_PARAM;
    for (const Pending &p : pending)
        if (p.transfer == t)
            return LIBUSB_ERROR_BUSY;
    const Clock::time_point now = Clock::now();
    const Clock::time_point due = t->endpoint == FrameEndpoint ? std::max(now, sim().nextFrameDue) : now;
    const Clock::time_point expires =
        t->timeout ? now + std::chrono::milliseconds(t->timeout) : Clock::time_point::max();
    pending.push_back({t, due, false, expires});
    updatePendingCount();
    sim().changed.notify_all();
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_cancel_transfer(struct libusb_transfer *t)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    for (Pending &p : pending)
        if (p.transfer == t) {
            if (p.cancelled)
                return LIBUSB_ERROR_NOT_FOUND;
            p.cancelled = true;
            sim().changed.notify_all();
            return LIBUSB_SUCCESS;
        }
    return LIBUSB_ERROR_NOT_FOUND;
}

int LIBUSB_CALL libusb_handle_events_timeout_completed(libusb_context *ctx, struct timeval *tv, int *completed)
{
    handleEvents(ctx, deadlineFrom(tv), completed);
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_handle_events_timeout(libusb_context *ctx, struct timeval *tv)
{
    handleEvents(ctx, deadlineFrom(tv), nullptr);
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_handle_events(libusb_context *ctx)
{
    handleEvents(ctx, Clock::now() + ShortWait, nullptr);
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_handle_events_completed(libusb_context *ctx, int *completed)
{
    handleEvents(ctx, Clock::now() + ShortWait, completed);
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_interrupt_event_handler(libusb_context *ctx)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    ++contextOf(ctx)->interrupts;
    sim().changed.notify_all();
}

} // extern "C"
