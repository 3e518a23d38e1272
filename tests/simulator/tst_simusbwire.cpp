// The libusb wire of the simulated instrument, driven by a small client written
// against libusb's own API: enumeration, open, claim, control requests, one
// asynchronous bulk IN resubmitted from its callback, cancel, close, and the
// faults a test can inject.

#include "frameclock.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include <libusb.h>

#include <QElapsedTimer>

#include <atomic>
#include <cstring>
#include <thread>

namespace sim = quorvelsim;

namespace {

constexpr unsigned ControlTimeoutMs = 1000;

// The transport's streaming half: one transfer in flight, resubmitted from
// its callback while `running`, the event loop on its own thread.
struct StreamClient
{
    libusb_context *ctx = nullptr;
    libusb_device_handle *handle = nullptr;
    libusb_transfer *transfer = nullptr;
    unsigned char rx[1290];
    std::atomic<bool> running{true};
    std::atomic<bool> eventsRunning{true};
    std::atomic<int> frames{0}, cancelled{0}, noDevice{0}, torn{0}, wrongLength{0}, outOfOrder{0};
    std::atomic<int> resubmitResult{0};
    quint32 lastSequence = 0;
    bool haveSequence = false;
    bool checkStamps = false;
    std::thread events;

    static void LIBUSB_CALL callback(libusb_transfer *t)
    {
        auto *self = static_cast<StreamClient *>(t->user_data);
        switch (t->status) {
        case LIBUSB_TRANSFER_COMPLETED: {
            ++self->frames;
            if (t->actual_length != 770 && t->actual_length != 1289)
                ++self->wrongLength;
            if (self->checkStamps) {
                quint32 seq = 0;
                if (!sim::checkStampedFrame(t->buffer, t->actual_length, &seq))
                    ++self->torn;
                else if (self->haveSequence && seq != self->lastSequence + 1)
                    ++self->outOfOrder;
                self->lastSequence = seq;
                self->haveSequence = true;
            }
            break;
        }
        case LIBUSB_TRANSFER_CANCELLED:
            ++self->cancelled;
            return;
        case LIBUSB_TRANSFER_NO_DEVICE:
            ++self->noDevice;
            break;
        default:
            break;
        }
        if (self->running)
            self->resubmitResult = libusb_submit_transfer(t);
    }

    bool open()
    {
        if (libusb_init(&ctx) != 0)
            return false;
        handle = libusb_open_device_with_vid_pid(ctx, sim::UsbVendorId, sim::UsbProductId);
        return handle && libusb_claim_interface(handle, 0) == 0;
    }

    int startStream()
    {
        transfer = libusb_alloc_transfer(0);
        libusb_fill_bulk_transfer(transfer, handle, 0x81, rx, sizeof rx, callback, this, 0);
        const int r = libusb_submit_transfer(transfer);
        events = std::thread([this] {
            while (eventsRunning) {
                timeval tv{0, 100000};
                libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
            }
        });
        return r;
    }

    // The closing order the transport keeps: stop resubmitting, cancel, let
    // the event thread deliver the cancellation, then release and close.
    void stop()
    {
        running = false;
        if (transfer)
            libusb_cancel_transfer(transfer);
        const QDeadlineTimer deadline(5000);
        while (cancelled == 0 && sim::transfersInFlight() > 0 && !deadline.hasExpired())
            QTest::qWait(5);
        eventsRunning = false;
        if (events.joinable())
            events.join();
    }

    ~StreamClient()
    {
        running = false;
        eventsRunning = false;
        if (events.joinable())
            events.join();
        if (transfer)
            libusb_free_transfer(transfer);
        if (handle) {
            libusb_release_interface(handle, 0);
            libusb_close(handle);
        }
        if (ctx)
            libusb_exit(ctx);
    }
};

int control(libusb_device_handle *h, char request, quint16 value, quint16 index, unsigned char *data = nullptr,
            quint16 length = 0)
{
    return libusb_control_transfer(h, 0xC0, quint8(request), value, index, data, length, ControlTimeoutMs);
}

} // namespace

class TestSimUsbWire : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void frameClockKeepsItsPace_data();
    void frameClockKeepsItsPace();
    void frameClockStartsAgain();
    void transportSequenceAndCommandLog();
    void faultsAtConnect_data();
    void faultsAtConnect();
    void firstOpenableInstrumentIsUsed();
    void kernelDriverMustBeDetached();
    void unplugInMidStream();
    void replugStartsFromStoredSettings();
    void cancelCallsBackOnce();
    void stoppedAcquisitionTimesOutATransfer();
    void controlRequestsWhileStreaming();
    void stampedFramesRevealTearing();
    void customWaveAndUnknownRequests();
    void closingDropsPendingTransfers();
};

void TestSimUsbWire::init()
{
    sim::reset();
    sim::setFrameRate(0);
}

void TestSimUsbWire::transportSequenceAndCommandLog()
{
    libusb_context *ctx = nullptr;
    QCOMPARE(libusb_init(&ctx), 0);
    libusb_set_option(ctx, LIBUSB_OPTION_LOG_LEVEL, 3);

    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(ctx, &list);
    QVERIFY(count >= 2);
    QCOMPARE(list[count], static_cast<libusb_device *>(nullptr));
    libusb_device_handle *handle = nullptr;
    int position = 0;
    for (int i = 0; list[i]; ++i) {
        libusb_device_descriptor d;
        QCOMPARE(libusb_get_device_descriptor(list[i], &d), 0);
        if (d.idVendor == 0x16D0 && d.idProduct == 0x06F9 && libusb_open(list[i], &handle) == 0) {
            position = i;
            break;
        }
    }
    QVERIFY(handle);
    QVERIFY(position > 0); // something else is on the bus before the instrument
    libusb_free_device_list(list, 1);
    QVERIFY(sim::deviceOpen());
    QCOMPARE(libusb_kernel_driver_active(handle, 0), 0);
    QCOMPARE(libusb_claim_interface(handle, 0), 0);
    QVERIFY(sim::interfaceClaimed());

    unsigned char in[64];
    std::memset(in, 0xEE, sizeof in);
    QCOMPARE(control(handle, 'a', 0, 0, in, 4), 4);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(in), 4), QByteArray("2.37"));
    QCOMPARE(control(handle, 'u', 0, 14, in, 64), 44);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(in), 44), sim::settingsBlock());
    QCOMPARE(control(handle, 'b', 6, 12), 0);
    QCOMPARE(sim::peekRegister(12), quint8(6));
    QCOMPARE(control(handle, 'c', 0x0001, 0x86A0, in, 64), 0); // 100000 hundredths
    QCOMPARE(sim::settingsBlock().mid(40, 4), QByteArray::fromHex("a0860100"));

    // Asynchronous frames, resubmitted from the callback.
    StreamClient client;
    client.ctx = ctx;
    client.handle = handle;
    QCOMPARE(client.startStream(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(client.frames >= 20, 10000);
    QCOMPARE(client.wrongLength.load(), 0);
    QCOMPARE(client.resubmitResult.load(), 0);
    client.stop();
    // The cancel met the transfer either in flight (one CANCELLED callback) or
    // inside its callback, which then did not resubmit.
    QVERIFY(client.cancelled <= 1);
    QCOMPARE(sim::transfersInFlight(), 0);

    QCOMPARE(control(handle, 'd', 0, 0), 0);
    QCOMPARE(libusb_release_interface(handle, 0), 0);
    libusb_close(handle);
    client.handle = nullptr;
    libusb_exit(ctx);
    client.ctx = nullptr;
    QVERIFY(!sim::deviceOpen());
    QVERIFY(!sim::interfaceClaimed());

    QString letters;
    qint64 previous = -1;
    for (const sim::Command &c : sim::commandLog()) {
        letters += c.letter;
        QVERIFY(c.timeNs >= previous);
        previous = c.timeNs;
        QCOMPARE(c.wire, sim::Wire::Usb);
    }
    QCOMPARE(letters, QString("aubcd"));
    const sim::Command write = sim::commandsWithLetter('b').first();
    QCOMPARE(write.value, quint16(6));
    QCOMPARE(write.index, quint16(12));
    QCOMPARE(sim::storedSettingsBlock()[12], char(6)); // 'd' kept it
}

void TestSimUsbWire::faultsAtConnect_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("listed");
    QTest::addColumn<int>("openResult");
    QTest::addColumn<int>("claimResult");
    QTest::addColumn<int>("controlResult");
    QTest::newRow("no device") << int(sim::Fault::NoDevice) << 0 << 1 << 1 << 1;
    QTest::newRow("open fails") << int(sim::Fault::OpenFails) << 1 << int(LIBUSB_ERROR_ACCESS) << 1 << 1;
    QTest::newRow("claim fails") << int(sim::Fault::ClaimFails) << 1 << 0 << int(LIBUSB_ERROR_BUSY) << 1;
    QTest::newRow("control time-out") << int(sim::Fault::ControlTimeout) << 1 << 0 << 0 << int(LIBUSB_ERROR_TIMEOUT);
    QTest::newRow("none") << 0 << 1 << 0 << 0 << 0;
}

void TestSimUsbWire::faultsAtConnect()
{
    QFETCH(int, fault);
    QFETCH(int, listed);
    QFETCH(int, openResult);
    QFETCH(int, claimResult);
    QFETCH(int, controlResult);
    if (fault)
        sim::setFault(sim::Fault(fault));
    sim::setControlTimeoutWait(0);
    libusb_context *ctx = nullptr;
    QCOMPARE(libusb_init(&ctx), 0);
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(ctx, &list);
    QVERIFY(count >= 1);
    libusb_device *instrument = nullptr;
    int found = 0;
    for (int i = 0; list[i]; ++i) {
        libusb_device_descriptor d;
        libusb_get_device_descriptor(list[i], &d);
        if (d.idVendor == sim::UsbVendorId && d.idProduct == sim::UsbProductId) {
            ++found;
            instrument = list[i];
        }
    }
    QCOMPARE(found, listed);
    libusb_device_handle *handle = nullptr;
    if (instrument) {
        QCOMPARE(libusb_open(instrument, &handle), openResult);
        QCOMPARE(handle != nullptr, openResult == 0);
    }
    libusb_free_device_list(list, 1);
    if (handle) {
        QCOMPARE(libusb_claim_interface(handle, 0), claimResult);
        if (claimResult == 0) {
            const quint8 before = sim::peekRegister(13);
            QCOMPARE(control(handle, 'b', 5, 13), controlResult);
            QCOMPARE(sim::peekRegister(13), controlResult == 0 ? quint8(5) : before);
            const sim::Command c = sim::commandsWithLetter('b').last();
            QCOMPARE(c.answered, controlResult == 0);
            libusb_release_interface(handle, 0);
        }
        libusb_close(handle);
    }
    QVERIFY(!sim::deviceOpen());
    libusb_exit(ctx);
}

void TestSimUsbWire::firstOpenableInstrumentIsUsed()
{
    sim::setInstrumentCount(3);
    sim::setUnopenableInstruments(1);
    libusb_context *ctx = nullptr;
    libusb_init(&ctx);
    libusb_device **list = nullptr;
    QCOMPARE(libusb_get_device_list(ctx, &list), ssize_t(4));
    QVector<int> results;
    libusb_device_handle *handle = nullptr;
    for (int i = 0; list[i] && !handle; ++i) {
        libusb_device_descriptor d;
        libusb_get_device_descriptor(list[i], &d);
        if (d.idVendor == sim::UsbVendorId && d.idProduct == sim::UsbProductId)
            results << libusb_open(list[i], &handle);
    }
    QCOMPARE(results, QVector<int>({LIBUSB_ERROR_ACCESS, 0}));
    const quint8 address = libusb_get_device_address(libusb_get_device(handle));
    libusb_free_device_list(list, 1);
    QVERIFY(address != 0);
    libusb_close(handle);
    // The convenience call takes the same first openable one.
    libusb_device_handle *again = libusb_open_device_with_vid_pid(ctx, sim::UsbVendorId, sim::UsbProductId);
    QVERIFY(again);
    QCOMPARE(libusb_get_device_address(libusb_get_device(again)), address);
    libusb_close(again);
    libusb_exit(ctx);
}

void TestSimUsbWire::kernelDriverMustBeDetached()
{
    sim::setKernelDriverActive(true);
    libusb_context *ctx = nullptr;
    libusb_init(&ctx);
    libusb_device_handle *h = libusb_open_device_with_vid_pid(ctx, sim::UsbVendorId, sim::UsbProductId);
    QVERIFY(h);
    QCOMPARE(libusb_kernel_driver_active(h, 0), 1);
    QCOMPARE(libusb_claim_interface(h, 0), int(LIBUSB_ERROR_BUSY));
    QCOMPARE(libusb_detach_kernel_driver(h, 0), 0);
    QCOMPARE(libusb_kernel_driver_active(h, 0), 0);
    QCOMPARE(libusb_detach_kernel_driver(h, 0), int(LIBUSB_ERROR_NOT_FOUND));
    QCOMPARE(libusb_claim_interface(h, 0), 0);
    QCOMPARE(libusb_release_interface(h, 0), 0);
    QCOMPARE(libusb_release_interface(h, 0), int(LIBUSB_ERROR_NOT_FOUND));
    libusb_close(h);
    libusb_exit(ctx);
}

void TestSimUsbWire::unplugInMidStream()
{
    sim::setFrameRate(1); // after the first frame the resubmitted transfer waits in flight
    StreamClient client;
    QVERIFY(client.open());
    QCOMPARE(client.startStream(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(client.frames >= 1 && sim::transfersInFlight() == 1, 10000);
    sim::unplug();
    // The transfer in flight completes with NO_DEVICE and cannot be resubmitted.
    QTRY_COMPARE_WITH_TIMEOUT(client.noDevice.load(), 1, 5000);
    QCOMPARE(client.resubmitResult.load(), int(LIBUSB_ERROR_NO_DEVICE));
    QCOMPARE(sim::transfersInFlight(), 0);
    unsigned char in[64];
    QCOMPARE(control(client.handle, 'u', 0, 14, in, 64), int(LIBUSB_ERROR_NO_DEVICE));
    QCOMPARE(control(client.handle, 'b', 1, 12), int(LIBUSB_ERROR_NO_DEVICE));
    QCOMPARE(libusb_submit_transfer(client.transfer), int(LIBUSB_ERROR_NO_DEVICE));
    // Nothing in flight: cancelling finds nothing, the event loop keeps returning.
    QCOMPARE(libusb_cancel_transfer(client.transfer), int(LIBUSB_ERROR_NOT_FOUND));
    client.running = false;
    client.eventsRunning = false;
    client.events.join();
    QCOMPARE(client.noDevice.load(), 1);
    // Gone from the bus as well.
    QCOMPARE(libusb_open_device_with_vid_pid(client.ctx, sim::UsbVendorId, sim::UsbProductId),
             static_cast<libusb_device_handle *>(nullptr));
}

void TestSimUsbWire::replugStartsFromStoredSettings()
{
    StreamClient client;
    QVERIFY(client.open());
    QCOMPARE(control(client.handle, 'b', 5, 12), 0);
    QCOMPARE(control(client.handle, 'd', 0, 0), 0);
    QCOMPARE(control(client.handle, 'b', 1, 12), 0);
    sim::unplug();
    QCOMPARE(sim::peekRegister(12), quint8(1)); // nothing changes while it is away
    sim::setFault(sim::Fault::Unplugged, false);
    QCOMPARE(sim::peekRegister(12), quint8(5));
    libusb_device_handle *again = libusb_open_device_with_vid_pid(client.ctx, sim::UsbVendorId, sim::UsbProductId);
    QVERIFY(again);
    unsigned char in[64];
    QCOMPARE(control(again, 'u', 0, 14, in, 64), 44);
    QCOMPARE(in[12], quint8(5));
    libusb_close(again);
}

void TestSimUsbWire::cancelCallsBackOnce()
{
    sim::setFrameRate(2); // a frame only every half second: the cancel meets a waiting transfer
    StreamClient client;
    QVERIFY(client.open());
    client.running = false; // no resubmission
    client.transfer = libusb_alloc_transfer(0);
    libusb_fill_bulk_transfer(client.transfer, client.handle, 0x81, client.rx, sizeof client.rx,
                              StreamClient::callback, &client, 0);
    QCOMPARE(libusb_submit_transfer(client.transfer), 0);
    QCOMPARE(libusb_submit_transfer(client.transfer), int(LIBUSB_ERROR_BUSY));
    // The first frame is due at once; wait for it, then cancel the next one.
    for (int i = 0; i < 10 && client.frames == 0; ++i) {
        timeval tv{1, 0};
        libusb_handle_events_timeout(client.ctx, &tv);
    }
    QCOMPARE(client.frames.load(), 1);
    QCOMPARE(libusb_submit_transfer(client.transfer), 0);
    QCOMPARE(sim::transfersInFlight(), 1);
    QCOMPARE(libusb_cancel_transfer(client.transfer), 0);
    QCOMPARE(libusb_cancel_transfer(client.transfer), int(LIBUSB_ERROR_NOT_FOUND));
    QCOMPARE(client.cancelled.load(), 0); // only event handling runs callbacks
    timeval tv{1, 0};
    libusb_handle_events_timeout(client.ctx, &tv);
    QCOMPARE(client.cancelled.load(), 1);
    QCOMPARE(client.transfer->status, LIBUSB_TRANSFER_CANCELLED);
    QCOMPARE(client.transfer->actual_length, 0);
    QCOMPARE(sim::transfersInFlight(), 0);
    tv = {0, 20000};
    libusb_handle_events_timeout(client.ctx, &tv);
    QCOMPARE(client.cancelled.load(), 1);
    QCOMPARE(client.frames.load(), 1);
}

void TestSimUsbWire::stoppedAcquisitionTimesOutATransfer()
{
    StreamClient client;
    QVERIFY(client.open());
    QCOMPARE(control(client.handle, 'f', 0, 0), 0); // stop: no frames
    client.running = false;
    client.transfer = libusb_alloc_transfer(0);
    libusb_fill_bulk_transfer(client.transfer, client.handle, 0x81, client.rx, sizeof client.rx,
                              StreamClient::callback, &client, 50);
    QCOMPARE(libusb_submit_transfer(client.transfer), 0);
    for (int i = 0; i < 50 && sim::transfersInFlight() > 0; ++i) {
        timeval tv{0, 100000};
        libusb_handle_events_timeout(client.ctx, &tv);
    }
    QCOMPARE(sim::transfersInFlight(), 0);
    QCOMPARE(client.transfer->status, LIBUSB_TRANSFER_TIMED_OUT);
    QCOMPARE(client.frames.load(), 0);
    // Started again, the next transfer gets a frame.
    QCOMPARE(control(client.handle, 'g', 0, 0), 0);
    QCOMPARE(libusb_submit_transfer(client.transfer), 0);
    for (int i = 0; i < 50 && sim::transfersInFlight() > 0; ++i) {
        timeval tv{0, 100000};
        libusb_handle_events_timeout(client.ctx, &tv);
    }
    QCOMPARE(client.frames.load(), 1);
    QCOMPARE(client.transfer->actual_length, 770);
}

void TestSimUsbWire::controlRequestsWhileStreaming()
{
    sim::setFrameStamping(true);
    StreamClient client;
    client.checkStamps = true;
    QVERIFY(client.open());
    QCOMPARE(client.startStream(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(client.frames >= 5, 10000);
    unsigned char in[64];
    // At least 2000 requests, and on until a frame has arrived meanwhile: on
    // a fast machine 2000 requests take less than one frame interval.
    const int framesBefore = client.frames;
    QElapsedTimer clock;
    clock.start();
    int requests = 0;
    for (; requests < 2000 || (client.frames == framesBefore && clock.elapsed() < 10000); ++requests) {
        QCOMPARE(control(client.handle, 'b', quint16(requests & 0xFF), 21), 0);
        if (requests % 100 == 0)
            QCOMPARE(control(client.handle, 'u', 0, 14, in, 64), 44);
    }
    const int framesDuring = client.frames - framesBefore;
    client.stop();
    QVERIFY(framesDuring > 0);
    QCOMPARE(client.torn.load(), 0);
    QCOMPARE(client.outOfOrder.load(), 0);
    QCOMPARE(sim::peekRegister(21), quint8((requests - 1) & 0xFF));
    QCOMPARE(sim::commandsWithLetter('b').size(), requests);
    QCOMPARE(quint64(client.frames.load()), sim::framesDelivered());
}

void TestSimUsbWire::stampedFramesRevealTearing()
{
    sim::setFrameStamping(true);
    StreamClient client;
    QVERIFY(client.open());
    unsigned char a[770], b[770];
    int got = 0;
    QCOMPARE(libusb_bulk_transfer(client.handle, 0x81, a, sizeof a, &got, 1000), 0);
    QCOMPARE(got, 770);
    QCOMPARE(libusb_bulk_transfer(client.handle, 0x81, b, sizeof b, &got, 1000), 0);
    quint32 seqA = 0, seqB = 0;
    QVERIFY(sim::checkStampedFrame(a, 770, &seqA));
    QVERIFY(sim::checkStampedFrame(b, 770, &seqB));
    QCOMPARE(seqB, seqA + 1);
    for (int split : {5, 256, 512, 769}) {
        unsigned char mixed[770];
        std::memcpy(mixed, a, size_t(split));
        std::memcpy(mixed + split, b + split, size_t(770 - split));
        QVERIFY2(!sim::checkStampedFrame(mixed, 770), qPrintable(QString::number(split)));
    }
    // A transfer shorter than the frame gets what fits, flagged as overflow.
    unsigned char small[100];
    QCOMPARE(libusb_bulk_transfer(client.handle, 0x81, small, sizeof small, &got, 1000), int(LIBUSB_ERROR_OVERFLOW));
    QCOMPARE(got, 100);
}

void TestSimUsbWire::customWaveAndUnknownRequests()
{
    StreamClient client;
    QVERIFY(client.open());
    unsigned char wave[256];
    for (int i = 0; i < 256; ++i)
        wave[i] = quint8(qint8(i % 2 ? 127 : -127));
    int sent = 0;
    QCOMPARE(libusb_bulk_transfer(client.handle, 0x01, wave, 256, &sent, 1000), 0);
    QCOMPARE(sent, 256);
    QCOMPARE(sim::customWave(), QByteArray(reinterpret_cast<char *>(wave), 256));
    QCOMPARE(control(client.handle, 'e', 0, 0), 0);
    const QVector<sim::Command> uploads = sim::commandsWithLetter(sim::SerialWaveUpload);
    QCOMPARE(uploads.size(), 1);
    QCOMPARE(uploads.first().data, sim::customWave());

    const QByteArray before = sim::settingsBlock();
    QCOMPARE(libusb_control_transfer(client.handle, 0x40, 'b', 1, 12, nullptr, 0, 1000), int(LIBUSB_ERROR_PIPE));
    QCOMPARE(control(client.handle, 'z', 1, 12), int(LIBUSB_ERROR_PIPE));
    QCOMPARE(sim::settingsBlock(), before);
    QCOMPARE(libusb_bulk_transfer(client.handle, 0x02, wave, 256, &sent, 1000), int(LIBUSB_ERROR_PIPE));
    QCOMPARE(QString(libusb_error_name(LIBUSB_ERROR_NO_DEVICE)), QString("LIBUSB_ERROR_NO_DEVICE"));
    QVERIFY(QString(libusb_strerror(LIBUSB_ERROR_TIMEOUT)).size() > 0);
}

void TestSimUsbWire::closingDropsPendingTransfers()
{
    sim::setFrameRate(1);
    StreamClient client;
    QVERIFY(client.open());
    client.running = false;
    client.transfer = libusb_alloc_transfer(0);
    libusb_fill_bulk_transfer(client.transfer, client.handle, 0x81, client.rx, sizeof client.rx,
                              StreamClient::callback, &client, 0);
    timeval tv{1, 0};
    QCOMPARE(libusb_submit_transfer(client.transfer), 0);
    libusb_handle_events_timeout(client.ctx, &tv); // first frame
    QCOMPARE(libusb_submit_transfer(client.transfer), 0);
    QCOMPARE(sim::transfersInFlight(), 1);
    libusb_release_interface(client.handle, 0);
    libusb_close(client.handle);
    client.handle = nullptr;
    QCOMPARE(sim::transfersInFlight(), 0);
    tv = {0, 10000};
    libusb_handle_events_timeout(client.ctx, &tv);
    QCOMPARE(client.frames.load(), 1);
    QCOMPARE(client.cancelled.load(), 0);
}

// Frames paced at 4 ms: when each one left (ms after the first) and when the
// clock lets the next one leave.
void TestSimUsbWire::frameClockKeepsItsPace_data()
{
    QTest::addColumn<QVector<double>>("left");
    QTest::addColumn<QVector<double>>("nextDue");
    QTest::newRow("on time") << QVector<double>{0, 4, 8} << QVector<double>{4, 8, 12};
    QTest::newRow("a late frame does not push back the rest")
        << QVector<double>{0, 5.5, 8, 12} << QVector<double>{4, 8, 12, 16};
    QTest::newRow("a client behind catches up") << QVector<double>{0, 30, 30, 30} << QVector<double>{4, 8, 12, 16};
    QTest::newRow("further behind than the backlog: the missed frames are lost")
        << QVector<double>{0, 4, 70, 74} << QVector<double>{4, 8, 74, 78};
}

void TestSimUsbWire::frameClockKeepsItsPace()
{
    QFETCH(QVector<double>, left);
    QFETCH(QVector<double>, nextDue);
    using namespace std::chrono;
    const auto t0 = sim::FrameClock::Clock::now();
    const auto at = [&](double ms) { return t0 + nanoseconds(qint64(ms * 1e6)); };
    sim::FrameClock clock;
    for (int i = 0; i < left.size(); ++i) {
        const double due = duration<double, std::milli>(clock.next(at(left[i]), 4e6) - t0).count();
        QVERIFY2(std::abs(due - nextDue[i]) < 1e-6, qPrintable(QString("frame %1: %2").arg(i).arg(due)));
    }
}

void TestSimUsbWire::frameClockStartsAgain()
{
    using namespace std::chrono;
    const auto t0 = sim::FrameClock::Clock::now();
    sim::FrameClock clock;
    QVERIFY(clock.next(t0, 4e6) == t0 + milliseconds(4));
    // Another interval (a new rate or time base) starts a run from this frame.
    QVERIFY(clock.next(t0 + milliseconds(5), 2e6) == t0 + milliseconds(7));
    // No pacing: at once.
    QVERIFY(clock.next(t0 + milliseconds(6), 0) == t0 + milliseconds(6));
    QVERIFY(clock.next(t0 + milliseconds(9), 2e6) == t0 + milliseconds(11));
    clock.restart();
    QVERIFY(clock.next(t0 + milliseconds(10), 2e6) == t0 + milliseconds(12));
}

QUORVEL_CORE_TEST_MAIN(TestSimUsbWire)
#include "tst_simusbwire.moc"
