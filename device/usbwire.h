#pragma once

#include "device/wire.h"

#include <QFuture>

#include <libusb.h>

#include <atomic>
#include <cstdint>

// The USB wire (libusb): each command is a vendor control request whose
// request code is the command's letter; frames arrive by bulk IN transfers
// handled on an event thread, the custom wave leaves by a bulk OUT.
//
// Frames from the event thread reach the GUI thread through three frame
// slots: the bulk IN transfer fills one, the completion publishes it by an
// atomic exchange with the shared slot, and copyLatestFrame() swaps the shared
// slot in before copying. The GUI thus always reads one whole, latest frame
// and its length, and the transfer never writes a slot the GUI is reading.
class UsbWire : public InstrumentWire
{
    Q_OBJECT

public:
    static constexpr uint16_t vendorId = 0x16D0;
    static constexpr uint16_t productId = 0x06F9;
    static constexpr int interfaceNumber = 0;
    static constexpr uint8_t vendorRequestIn = 0xC0;
    static constexpr unsigned int controlTimeoutMs = 1000;
    static constexpr unsigned char frameEndpoint = 0x81;
    static constexpr unsigned char waveEndpoint = 0x01;

    explicit UsbWire(QObject *parent = nullptr);
    ~UsbWire() override;

    bool open(const QString &portName) override;
    void close() override;
    void release() override;
    quint64 droppedFrames() const override { return droppedFrameCount.load(); }

    QString firmwareVersion() override;
    bool readSettingsBlock() override;
    int requestMeter(unsigned char *dst) override;
    void request(uint8_t letter, quint16 value, quint16 index) override;
    void writeRegister(quint16 index, quint8 value) override;
    void sendCommand(char letter) override;
    void uploadWave(const signed char *wave) override;

    void startReception() override;
    int copyLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs = nullptr) override;

    // Starts libusb for an open (a context held); false when it failed.
    bool initialize();
    bool hasUsbContext() const { return context != nullptr; }
    // The instrument's USB device is open (a handle is held).
    bool isUsbDeviceOpen() const { return handle != nullptr; }
    // The event thread that handles USB transfers is running.
    bool eventThreadRunning() const { return eventFuture.isRunning(); }
    // Length of the last published frame (the frame itself comes from
    // copyLatestFrame()).
    int lastFrameLength() const { return rxLength.load(); }
    // True for the lengths of a whole frame: a scope frame or a sniffer frame.
    static bool isFrameLength(int length);

private:
    static void LIBUSB_CALL readCompleted(libusb_transfer *transfer);
    void onReadCompleted(libusb_transfer *transfer);
    void eventThread();
    void stopReception();
    void releaseUsb(bool storeSettings);
    void cannotOpen(const char *why);
    bool controlRead(uint8_t request, uint16_t value, uint16_t index);
    void noteControlResult(int result);
    void reset();
    void resetFrameSlots();

    libusb_device_handle *handle = nullptr;
    libusb_context *context = nullptr;
    libusb_transfer *readTransfer = nullptr;
    std::atomic<int> rxLength{0}; // see lastFrameLength()
    std::atomic<bool> running{true};
    QFuture<void> eventFuture;

    static constexpr int slotCount = 3;
    static constexpr int freshFlag = 4;
    struct FrameSlot
    {
        unsigned char data[frameBufferSize];
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
    std::atomic<quint64> droppedFrameCount{0};
    int consecutiveErrors = 0; // event thread only
};
