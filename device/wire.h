#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>

// One wire to the instrument: USB (UsbWire) or the serial link (SerialWire).
// Each carries the whole one-letter command set in its own form; the
// instrument link holds one of each and talks to the one it opened through
// this interface alone.
//
// The link checks that a wire is connected and not lost before it sends a
// request or command; a wire then sends it and judges the answer. What every
// wire shares lives here: the reply buffer, the frame flag, the count of
// requests in a row without a usable answer and the report of a lost link.
class InstrumentWire : public QObject
{
    Q_OBJECT

public:
    static constexpr int frameBufferSize = 1290;
    static constexpr int frameSize = 770;
    // A sniffer frame fills the frame buffer but for at most its last byte.
    static constexpr int snifferFrameMinSize = frameBufferSize - 1;
    static constexpr int replyBufferSize = 64;
    static constexpr int waveLength = 256;
    static constexpr int versionLength = 4;
    static constexpr int meterReplyLength = 4;
    static constexpr int settingsBlockLength = 44;
    // Requests in a row without a usable answer (none within the bound of one
    // request, or over the serial link one of the wrong form) after which
    // the instrument counts as no longer answering. Each holds the GUI thread
    // for at most its bound, so the count bounds how long a silent or noisy
    // line can hold the window.
    static constexpr int maxFailedRequests = 2;

    // Why a link was given up.
    enum class LinkLoss {
        None,
        Gone,          // unplugged, the port vanished, or frames stopped for good
        NotResponding, // requests without a reply in their bound (two in a row)
        Garbled,       // serial replies of the wrong form (two bad replies in a row)
    };

    explicit InstrumentWire(QObject *parent = nullptr);
    ~InstrumentWire() override;

    // ---- life cycle
    // Opens the wire (`portName` names the serial port); false when it could
    // not be opened, after a statusMessage saying why.
    virtual bool open(const QString &portName) = 0;
    // Makes the instrument store its settings and lets the wire go.
    virtual void close() = 0;
    // Lets the wire go without a word to the instrument: after a failed
    // open, or when the link was lost.
    virtual void release() = 0;
    bool isConnected() const { return connected; }

    // ---- link loss (cleared when the wire is let go)
    bool isLinkLost() const { return linkLoss() != LinkLoss::None; }
    LinkLoss linkLoss() const { return LinkLoss(lossReason.load(std::memory_order_acquire)); }
    // Frames dropped since the wire was opened because their length was no
    // whole frame (USB transfers).
    virtual quint64 droppedFrames() const { return 0; }

    // ---- requests and commands: sent only while connected and not lost
    // The four version bytes; empty on a failed read, "-1" when the link was
    // given up while asking.
    virtual QString firmwareVersion() = 0;
    // The 44-byte settings block into replyBuffer(); false on a failed or
    // short reply.
    virtual bool readSettingsBlock() = 0;
    // One meter reply into dst (meterReplyLength bytes): its length, or
    // negative on failure.
    virtual int requestMeter(unsigned char *dst) = 0;
    // A request carrying a value and an index whose reply is not used (the
    // trigger position, the generator frequency).
    virtual void request(uint8_t letter, quint16 value, quint16 index) = 0;
    virtual void writeRegister(quint16 index, quint8 value) = 0;
    // A command of one letter and no reply.
    virtual void sendCommand(char letter) = 0;
    // Sends the waveLength wave bytes (the instrument plays them at once).
    virtual void uploadWave(const signed char *wave) = 0;

    // ---- frames
    virtual void startReception() = 0;
    // A frame was published that has not been taken yet.
    bool hasNewFrame() const { return dataReady.load(std::memory_order_acquire); }
    // Clears the flag; true when a frame was waiting. Cleared before the
    // copy, so a frame published meanwhile raises it again instead of being
    // lost.
    bool takeNewFrameFlag() { return dataReady.exchange(false, std::memory_order_acq_rel); }
    void keepFrameForNextPass() { dataReady.store(true, std::memory_order_release); }
    // Copies the latest whole frame into dst (at most `capacity` bytes) and
    // returns its length; 0 when none has arrived since the wire was opened.
    // `receivedAtNs` gets the steady-clock time its transfer completed, or 0.
    virtual int copyLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs = nullptr) = 0;

    // ---- the serial stream; nothing over USB, whose frames come unasked
    // The time base register value (frame or roll-mode parsing).
    virtual void setSamplingValue(int) {}
    // Whether the instrument was told to acquire (frames are due).
    virtual void setAcquiring(bool) {}
    virtual void streamOn() {}
    virtual void streamOff() {}

    // The text of the last failure ("Read Error!", "Cannot open device!", ...).
    QString lastError() const { return errorText; }
    void clearLastError() { errorText.clear(); }
    // The buffer replies land in (replyBufferSize bytes). A reply that leaves
    // room is followed by a zero.
    const unsigned char *replyBuffer() const { return inBuffer; }

signals:
    // A frame was published while none was waiting (at most once per frame
    // taken): from the USB event thread, or the GUI thread.
    void frameArrived();
    // Emitted once, on the GUI thread, when the link breaks while connected.
    void linkLostDetected();
    // A text for the user about the link.
    void statusMessage(QString text);

protected:
    // Raises the frame flag; frameArrived when it was down. Any thread.
    void publishFrame();
    // The first reason wins. From another thread than the wire's, the loss
    // is reported by the watch timer (start it with watchForLoss()).
    void markLinkLost(LinkLoss reason);
    void watchForLoss();
    // The outcome of one request: an answer that could be used starts the
    // count again; none adds one. True when maxFailedRequests in a row have
    // now failed (the caller then ends the link with its reason).
    bool failedInARow(bool answered);
    // The end of a read of n bytes into inBuffer: "Read Error!" for a
    // negative count, else a terminating zero when the reply left room.
    bool acceptReply(qint64 n);
    // Back to a wire never opened: no loss, no frame, no count.
    void resetLinkState();

    bool connected = false;
    QString errorText; // see lastError()
    unsigned char inBuffer[replyBufferSize] = {};
    qint64 lastReadLength = -1; // bytes of the last read's reply

private:
    void reportLinkLost();

    std::atomic<bool> dataReady{false};
    std::atomic<int> lossReason{int(LinkLoss::None)};
    int failedRequests = 0;         // GUI thread only
    bool linkLostReported = false;  // GUI thread only
    QTimer linkWatch;
};
