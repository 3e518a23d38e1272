#pragma once

#include "device/serialportconnection.h"

#include <QFuture>
#include <QObject>
#include <QString>
#include <QTimer>

#include <libusb.h>

#include <atomic>
#include <cstdint>

// The program's one path to the instrument: the USB link (libusb) and, inside
// it, the serial link. Every command of the one-letter command set works over
// either; `usbMode` chooses.
//
// Frames from the USB event thread reach the GUI thread through three frame
// slots: the bulk IN transfer fills one, the completion publishes it by an
// atomic exchange with the shared slot, and copyLatestFrame() swaps the shared
// slot in before copying. The GUI thus always reads one whole, latest frame
// and its length, and the transfer never writes a slot the GUI is reading.
class LibUsbDevice : public QObject
{
    Q_OBJECT
    // The link drives this, its USB half and the serial link inside it.
    friend class InstrumentLink;

public:
    static constexpr uint16_t vendorId = 0x16D0;
    static constexpr uint16_t productId = 0x06F9;
    static constexpr int interfaceNumber = 0;
    static constexpr uint8_t vendorRequestIn = 0xC0;
    static constexpr unsigned int controlTimeoutMs = 1000;
    static constexpr unsigned char frameEndpoint = 0x81;
    static constexpr unsigned char waveEndpoint = 0x01;
    static constexpr int rxBufferSize = SerialPortConnection::frameBufferSize;
    static constexpr int frameSize = SerialPortConnection::frameSize;
    // A sniffer frame fills the frame buffer but for at most its last byte.
    static constexpr int snifferFrameMinSize = rxBufferSize - 1;
    static constexpr int inBufferSize = 64;
    static constexpr int awgBufferSize = 256;
    static constexpr int versionLength = 4;
    static constexpr int meterReplyLength = 4;
    static constexpr int settingsBlockLength = 44;

    explicit LibUsbDevice(QObject *parent = nullptr);
    ~LibUsbDevice() override;

    // The text of the last failure ("Read Error!", "Cannot open device!", ...).
    QString lastError() const { return errorText; }
    void clearLastError() { errorText.clear(); }
    // Set up for an open: over USB libusb started (a context held), over
    // the serial link at once.
    bool isInitialized() const { return initialized; }
    bool hasUsbContext() const { return context != nullptr; }
    // The instrument's USB device is open (a handle is held).
    bool isUsbDeviceOpen() const { return handle != nullptr; }
    // The event thread that handles USB transfers is running.
    bool eventThreadRunning() const { return eventFuture.isRunning(); }
    // Length of the last published frame (the frame itself comes from
    // copyLatestFrame()).
    int lastFrameLength() const { return rxLength.load(); }
    // The buffer control reads land in (inBufferSize bytes). A reply that
    // leaves room is followed by a zero.
    const unsigned char *replyBuffer() const { return inBuffer; }

    // Copies the latest whole frame into dst (at most `capacity` bytes) and
    // returns its length; 0 when none has arrived since the last reset. Over
    // the serial link in roll mode the length is 3 (one sample) and the copy
    // carries the whole 770-byte frame the samples are written into.
    // `receivedAtNs`, when given, gets the steady-clock time (ns) at which a
    // USB frame's transfer completed (0 over the serial link).
    int copyLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs = nullptr);

    // Why a link was given up.
    enum class LinkLoss {
        None,
        Gone,          // unplugged, the port vanished, or frames stopped for good
        NotResponding, // control requests or serial requests time out (two in a row)
        Garbled,       // serial replies of the wrong form (two bad replies in a row)
    };

    // The link broke while connected (instrument unplugged, a failed
    // resubmission, control requests or serial requests timing out). Cleared
    // by reset(). Once lost, commands are dropped
    // without waiting on the instrument.
    bool isLinkLost() const { return linkLoss() != LinkLoss::None; }
    LinkLoss linkLoss() const { return LinkLoss(lossReason.load(std::memory_order_acquire)); }
    // USB transfers dropped since the last reset() because their length was
    // neither a scope frame nor a sniffer frame.
    quint64 droppedFrames() const { return droppedFrameCount.load(); }
    // True for the lengths of a whole frame: a scope frame or a sniffer frame.
    static bool isFrameLength(int length);
    // Releases a lost link without talking to the instrument.
    void dropLostLink();

    void initializeDevice();
    void openDevice(QString portName);
    void asyncBulkReadTransfer();
    void closeDevice();
    void reset();
    // The settings read of the connect flow: 44 bytes into inBuffer. A
    // shorter reply is a failed read (the rest of the buffer would be stale).
    bool readSettingsBlock();
    bool controlReadTransfer(uint8_t request, uint16_t value, uint16_t index);
    void controlWriteTransfer(uint16_t index, uint8_t value);
    QString requestFirmwareVersion();
    int requestMM(unsigned char *dst);
    void saveDeviceSettings();
    void saveAWG();
    void stopScope();
    void startScope();
    void forceTrigger();
    void autoSetup();
    void restoreSettings();
    void awgBulkWriteTransfer();

signals:
    // Emitted once, on the GUI thread, when the link breaks while connected.
    void linkLostDetected();
    // A frame was published while none was waiting (at most once per frame
    // the window takes): from the event thread over USB, from the GUI thread
    // over the serial link.
    void frameArrived();

public slots:
    void newDataAvailable(int n);
    void turnOnAutoMode();
    void turnOffAutoMode();

private:
    bool connected = false;
    bool initialized = false;
    QString errorText; // see lastError()
    libusb_device **deviceList = nullptr;
    libusb_device *device = nullptr;
    libusb_device_descriptor descriptor{};
    libusb_device_handle *handle = nullptr;
    libusb_context *context = nullptr;
    libusb_transfer *readTransfer = nullptr;
    std::atomic<bool> dataReady{false};
    std::atomic<int> rxLength{0}; // see lastFrameLength()
    // Assembly buffer of the serial link (GUI thread only).
    unsigned char rxBuffer[rxBufferSize] = {};
    unsigned char inBuffer[inBufferSize] = {};
    signed char awgBuffer[awgBufferSize] = {};
    std::atomic<bool> running{true};
    QFuture<void> eventFuture;
    SerialPortConnection serialLink;
    bool usbMode = true;

    static void LIBUSB_CALL readCompleted(libusb_transfer *transfer);
    void onReadCompleted(libusb_transfer *transfer);
    void eventThread();
    void stopReception();
    void releaseUsb(bool storeSettings);
    void closeSerial(bool storeSettings);
    bool checkConnected() const;
    void sendCommand(char letter);
    void markLinkLost(LinkLoss reason = LinkLoss::Gone);
    void reportLinkLost();
    void noteControlResult(int result);
    void noteSerialReply(qint64 n);
    bool acceptControlRead(qint64 n);
    qint64 lastReadLength = -1; // bytes of the last control read's reply
    void resetFrameSlots();

    static constexpr int slotCount = 3;
    static constexpr int freshFlag = 4;
    struct FrameSlot
    {
        unsigned char data[rxBufferSize];
        int length = 0;
        qint64 receivedAtNs = 0;
    };
    FrameSlot frameSlots[slotCount];
    int backSlot = 0;               // filled by the transfer (event thread)
    std::atomic<int> sharedSlot{1}; // slot index | freshFlag when unread
    int frontSlot = 2;              // read by copyLatestFrame (GUI thread)
    std::atomic<bool> transferInFlight{false};
    // Cleared by the event thread as its last act: the closing thread sees
    // everything the event thread did once it reads false.
    std::atomic<bool> eventThreadActive{false};
    // The first reason wins; None while the link holds.
    std::atomic<int> lossReason{int(LinkLoss::None)};
    std::atomic<quint64> droppedFrameCount{0};
    int consecutiveTimeouts = 0;   // GUI thread only
    bool linkLostReported = false; // GUI thread only
    // Reports on the GUI thread a link lost on the event thread.
    QTimer linkWatch;
    int consecutiveErrors = 0; // event thread only
};
