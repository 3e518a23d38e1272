#pragma once

#include "device/wire.h"
#include "settings/registerwriter.h"

#include <QObject>
#include <QString>

class SerialWire;
class UsbWire;

namespace reg {
struct DeviceSettings;
}

// The one path to the instrument, over USB or the serial link: what the
// window, the command-line program and the tests call. Every command of the
// one-letter command set works over either wire (UsbWire, SerialWire, both
// children of the link); the wire is chosen when the link is opened, and the
// link talks to it through the wire interface alone.
//
// Register writes come through the register writer (settings/registerwriter.h)
// alone: the link is the writer's instrument port, a base only the writer can
// reach, so nothing else writes a register. Frames are handed over by
// takeLatestFrame(): one whole, latest frame and its length, safe against the
// USB event thread.
class InstrumentLink : public QObject, private reg::InstrumentPort
{
    Q_OBJECT
    friend class reg::RegisterWriter;

public:
    enum class Wire { Usb, Serial };
    using LinkLoss = InstrumentWire::LinkLoss;

    static constexpr int frameCapacity = InstrumentWire::frameBufferSize;
    static constexpr int waveLength = InstrumentWire::waveLength;
    static constexpr int meterReplyLength = InstrumentWire::meterReplyLength;

    explicit InstrumentLink(QObject *parent = nullptr);
    ~InstrumentLink() override;

    // ---- life cycle
    // Opens the instrument over `wire` (the port's name for the serial link).
    // False when it could not be opened; statusMessage() has told why.
    bool open(Wire wire, const QString &portName = QString());
    // Makes the instrument store its settings and releases the link.
    void close();
    // Releases the link without a word to the instrument: after a failed
    // open, or when the link was lost.
    void release();
    bool isConnected() const;
    Wire wire() const;
    bool isUsb() const { return wire() == Wire::Usb; }

    // ---- link loss
    // The link broke while connected (unplugged, or two requests in a row
    // without a usable reply within their bound of 1 s, on either wire: over
    // the serial link a garbled reply counts as none). Once lost, commands
    // are dropped without waiting on the instrument; release() then frees the link.
    bool isLinkLost() const;
    LinkLoss linkLoss() const;
    // The user's text for why the link was lost ("Device not responding", ...;
    // untranslated); nullptr while it holds.
    const char *lossText() const;
    // USB transfers dropped since the link was opened because their length
    // was no whole frame.
    quint64 droppedFrames() const;

    // ---- reads
    // The firmware version; empty when it could not be read (over the serial
    // link also when the reply is no digit, dot and digits), "-1" when the
    // serial link was given up while asking (the link is then lost).
    QString firmwareVersion();
    // The instrument's 44-byte settings block; false on a failed or short
    // reply, or over the serial link one that fails the block's sanity check
    // (reg::isPlausibleBlock); the block is then left as it was.
    bool readSettings(reg::DeviceSettings &block);
    // One meter reply into dst (meterReplyLength bytes); its length, or
    // negative when it failed (over the serial link also when stray bytes
    // came with it).
    int requestMeter(unsigned char *dst);
    // Asks the instrument for the trigger position, given as the request's
    // value and index.
    void requestTriggerPosition(quint16 value, quint16 index);

    // ---- frames
    // Starts frame reception (over USB the bulk transfers, over the serial
    // link the parser into the frame buffer).
    void startReception();
    // A frame has arrived that has not been taken yet.
    bool hasNewFrame() const;
    // Takes the latest whole frame into dst (at most `capacity` bytes) and
    // returns its length; 0 when none arrived since the link was opened. In
    // serial roll mode the length is 3 (one sample) and the copy carries the
    // whole 770-byte frame the samples are written into. `receivedAtNs` gets
    // the steady-clock time a USB frame completed (0 over the serial link).
    int takeLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs = nullptr);
    // Copies the latest frame again without taking it (a redraw of a
    // sniffer capture, for instance).
    int copyLatestFrame(unsigned char *dst, int capacity);
    // Marks the frame taken as not yet taken, so the next pass takes it again.
    void keepFrameForNextPass();

    // ---- serial streaming: sampling and the stream switch
    // The time base register value: over the serial link it chooses frame or
    // roll-mode parsing.
    void setSamplingValue(int value);
    // Serial stream on (the parser starts hunting for a frame start) and off;
    // nothing over USB, whose frames come unasked.
    void streamOn();
    void streamOff();

    // ---- one-letter commands
    void stopAcquisition();
    void startAcquisition();
    void forceTrigger();
    void autoSetup();
    void restoreFactorySettings();
    // Sends the 256 wave bytes and has the instrument store them.
    void uploadWave(const signed char (&wave)[waveLength]);

signals:
    // A frame arrived while none was waiting (at most once per frame taken).
    void frameArrived();
    // The link broke while connected; emitted once, on the GUI thread.
    void linkLost();
    // A text for the user about the link ("Port is busy or unreachable.", ...).
    void statusMessage(QString text);

private:
    // The instrument port, for the register writer only.
    void writeRegister(quint16 index, quint8 value) override;
    void requestGeneratorFrequency(quint16 value, quint16 index) override;

    // The open wire when a command may go out (connected, not lost); else
    // nullptr, and the command is dropped.
    InstrumentWire *ready() const;

    UsbWire *usbWire;
    SerialWire *serialWire;
    InstrumentWire *active; // the wire last opened (USB before any)
};
