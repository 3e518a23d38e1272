#pragma once

#include "settings/registers.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <memory>

// The serial half of the instrument link: opens the port, writes command
// bytes and, while the instrument streams, cuts the byte stream into frames
// (or roll-mode samples) inside the transport's frame buffer. Polled by a
// 10 ms timer on the GUI thread.
//
// Frame mode finds a frame start marker at any byte offset and hands a frame
// over only when its end marker follows the payload, so stray, lost or
// corrupted bytes cost at most the frame in progress. Roll mode reads
// groups of three as they come, and after a byte was added or lost takes up
// the groups again from the instrument's next marker.
class SerialPortConnection : public QObject
{
    Q_OBJECT

public:
    static constexpr int frameBufferSize = 1290;
    static constexpr int payloadSize = 768; // three planes of 256 samples
    static constexpr int frameSize = 770;
    static constexpr int planeSize = 256;
    static constexpr int markerSize = 3;
    static constexpr int lastFrameModeSampling = reg::LastFrameTimeBase;
    static constexpr int pollIntervalMs = 10;
    // Serial waits: each wait for more bytes, and by default one whole
    // request and its reply (see replyTimeoutMs()), the bound of a USB
    // control request.
    static constexpr int singleWaitMs = 1000;
    static constexpr int defaultReplyTimeoutMs = 1000;
    // A reply is complete once the line has been quiet this long.
    static constexpr int replyQuietMs = 20;
    // A marker, the payload, and the end marker.
    static constexpr int wireFrameSize = markerSize + payloadSize + markerSize;
    // Bytes held in the port's own buffer at most, so a streaming instrument
    // nobody reads cannot grow memory without bound.
    static constexpr qint64 readBufferLimit = 64 * 1024;

    static constexpr char endMarker[markerSize] = {0x0A, 0x0D, 0x37};
    static constexpr char frameStartMarker[markerSize] = {0x0D, 0x0A, 0x46};
    static constexpr char streamStartMarker[markerSize] = {0x0D, 0x0A, 0x53};

    explicit SerialPortConnection(QObject *parent = nullptr);
    ~SerialPortConnection() override;

    bool isOpen() const;
    // A port is held: open, or failed and not let go yet.
    bool hasPort() const { return bool(port); }
    // Bytes the open port holds unread (0 without one).
    qint64 bytesWaiting() const;
    // The poll timer runs (every pollIntervalMs).
    bool isPolling() const { return pollTimer.isActive(); }
    void setPolling(bool on);

    // Auto mode: the instrument streams, and the poll parses what comes.
    bool autoMode() const { return autoModeOn; }
    void setAutoMode(bool on) { autoModeOn = on; }
    // The transport's frame buffer (frameBufferSize bytes) the parser
    // writes into; nullptr while there is none, and nothing is parsed then.
    unsigned char *frameBuffer() const { return frameBuf; }
    void setFrameBuffer(unsigned char *buffer) { frameBuf = buffer; }
    // The time base register value: above lastFrameModeSampling the stream
    // is parsed in roll mode (see setSamplingValue()).
    int samplingValue() const { return sampling; }
    // Roll mode: where the next sample goes in each plane.
    int sampleIndex() const { return nextSample; }
    // Frame mode: 0 hunting for a frame start, 1 taking the payload, 2
    // waiting for the end marker. Roll mode: 0 drops groups until a stream
    // start marker, any other value stores samples. Frame mode checks a state
    // set from outside against the bytes it holds.
    int parserState() const { return frameState; }
    void setParserState(int state) { frameState = state; }
    // Overall bound of one exchange with the instrument (waitForBytes,
    // waitForWritten, a request and its reply).
    int replyTimeoutMs() const { return replyTimeout; }
    void setReplyTimeoutMs(int ms) { replyTimeout = ms; }
    // A frame-mode stream that delivers no complete frame for this long is
    // reported (and the report taken back once frames come again).
    int stallReportMs() const { return stallTimeMs; }
    void setStallReportMs(int ms) { stallTimeMs = ms; }
    // False while the instrument was told to stop acquiring: no frames are
    // due then, so their absence is not reported.
    bool framesExpected() const { return framesDue; }
    void setFramesExpected(bool expected) { framesDue = expected; }
    // The last bounded wait ran out of time (or the port failed meanwhile).
    bool timedOut() const { return lastWaitTimedOut; }

    // Waits (singleWaitMs at a time, replyTimeoutMs() in all) until `count` bytes
    // are available, or exactly `count` when `exact`. Running out of time
    // emits connectionStatus("Port is busy or unreachable.") and returns false.
    bool waitForBytes(int count, bool exact = false);
    // Waits, bounded like waitForBytes(), until everything written has left.
    bool waitForWritten();
    // Reads up to `size` bytes into dst; returns the count, or -1 on failure.
    qint64 readInto(char *dst, qint64 size);
    // Tells whether `length` bytes have the form of a reply (a version, a
    // settings block).
    using ReplyCheck = bool (*)(const char *bytes, int length);
    // The reply to a command just sent, within replyTimeoutMs(): takes every
    // byte until the line has been quiet replyQuietMs after at least `length`
    // came, so nothing of this exchange is left for the next one. The reply
    // among them is
    //  - with `check`: the one run of `length` bytes that passes it, wherever
    //    stray bytes before or after put it; none or more than one is no reply;
    //  - without (a meter reply, any bytes): all of them, when exactly
    //    `length` came; around more, stray bytes cannot be told from the
    //    reply, and that is no reply either.
    // Returns `length` with the reply in dst, or -1: timedOut() when no quiet
    // line with enough bytes came in time (the port failed, or the instrument
    // was silent or never stopped sending), else the bytes held no reply.
    // Emits no status: the link decides what a failed reply means.
    qint64 readReply(char *dst, int length, ReplyCheck check = nullptr);
    // One request and its reply, within replyTimeoutMs() in all: drops what
    // the line still carries (until it has been quiet, for at most half the
    // bound), writes `request`, and reads the reply as readReply() does in the
    // time left.
    qint64 exchange(const QByteArray &request, char *dst, int length, ReplyCheck check = nullptr);
    // Restarts the frame parser: hunting for a frame start, nothing kept.
    void restartParser();
    void dropPendingInput();
    // Drops input until the line has been quiet for quietMs (at most boundMs
    // in all), so that stream bytes still on their way after a stop are not
    // taken for the reply to the next command.
    void drainInput(int quietMs = replyQuietMs, int boundMs = singleWaitMs);
    void flushOutput();
    // One parser step over the bytes `in` holds: what the poll timer runs on
    // the port, and what the tests and the stream fuzzer run on a buffer.
    void parseStream(QIODevice &in);
    // Frame-mode frames dropped because their end marker was not in place.
    quint64 droppedFrames() const { return dropped; }
    // Roll mode: times the groups were taken up again at a marker out of step.
    quint64 rollRealignments() const { return realignments; }

signals:
    void newData(int length);
    void connectionStatus(QString status);
    // The open port failed (its device went away); emitted once per port.
    void portFailed();

public slots:
    bool connectToPort(QString name);
    void close();
    void clearPort();
    void write(QString text);
    void writeByteArray(QByteArray bytes);
    bool bytesAvailable();
    void setSamplingValue(int value);
    bool checkIfStartOfFrame(const char *tab, bool mode);
    bool checkIfEndOfFrame(const char *tab);
    void onReadyRead();

private:
    void onPortError(QSerialPort::SerialPortError error);
    qint64 takeReply(char *dst, int length, ReplyCheck check, qint64 boundMs);
    void watchForStall();
    void frameArrived();
    void dropFailedPort();
    void parseRollMode(QIODevice &in);
    void takeRollGroup(const char *group);
    bool markerRealigns(const char *window);
    void parseFrameMode(QIODevice &in);
    void storeSample(const char *group);

    std::unique_ptr<QSerialPort> port;
    bool autoModeOn = false;
    unsigned char *frameBuf = nullptr;        // see frameBuffer()
    int sampling = 0;                         // see samplingValue()
    int nextSample = 0;                       // see sampleIndex()
    int frameState = 1;                       // see parserState()
    QTimer pollTimer;
    int replyTimeout = defaultReplyTimeoutMs; // see replyTimeoutMs()
    int stallTimeMs = 3000;                   // see stallReportMs()
    bool framesDue = true;                    // see framesExpected()
    bool lastWaitTimedOut = false;            // see timedOut()
    // The port reported that its device is gone.
    bool portBroken = false;

    // Frame mode: bytes read but not yet parsed; from a frame start marker
    // on while a frame is in progress, less than a marker otherwise.
    QByteArray pending;
    quint64 dropped = 0;
    // Roll mode: the group being filled, the last two bytes read (a marker
    // out of step ends with the next one), and samples since the last marker.
    char rollGroup[markerSize] = {};
    int rollGroupFill = 0;
    char rollRecent[markerSize - 1] = {};
    int rollRecentBytes = 0;
    int rollSinceMarker = 0;
    quint64 realignments = 0;
    // Time since the last delivery while streaming in frame mode.
    QElapsedTimer sinceFrame;
    bool stallReported = false;
};
