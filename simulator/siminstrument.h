#pragma once
// The process-wide simulated instrument behind both wires and simcontrol.h.
// Everything here is guarded by `mutex`; `changed` is notified whenever
// something a waiting wire may care about changes (faults, transfers, log).

#include "frameclock.h"
#include "instrumentmodel.h"
#include "simcontrol.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quorvelsim {

class SimInstrument
{
public:
    static SimInstrument &instance();

    std::mutex mutex;
    std::condition_variable changed;

    InstrumentModel model;
    unsigned faults = 0;
    QVector<Command> log;
    std::chrono::steady_clock::time_point epoch = std::chrono::steady_clock::now();

    int controlTimeoutWaitMs = -1;
    QByteArray timeoutRequests; // empty: all
    int wrongLengthEvery = 0;
    int wrongLength = 0;
    quint64 framesProduced = 0;
    int garbageLength = 6;
    int shortReplyLength = -1; // control IN replies cut to this many bytes; -1: whole
    int instrumentCount = 1;
    int unopenable = 0;
    bool kernelDriverActive = false;
    int serialByteRate = 11520;
    bool stamping = false;
    quint32 stampSequence = 0;
    bool recordingFrames = false;
    int frameRecordLimit = 10000;
    QVector<QByteArray> recordedFrames;

    // USB state kept by the libusb wire.
    int openHandles = 0;
    int claimedInterfaces = 0;
    int pendingTransfers = 0;
    quint64 framesDelivered = 0;
    std::chrono::steady_clock::time_point nextFrameDue{}; // wall time the next USB frame may leave
    FrameClock frameClock; // paces the USB frames

    // Serial wire state kept by the pseudo-terminal wire.
    quint64 serialBytesRead = 0;     // bytes read and parsed
    int serialCommandsAbandoned = 0; // half commands dropped after a pause

    bool fault(Fault f) const { return faults & unsigned(f); }
    // Caller holds the mutex. True when a request with this letter times out.
    bool timesOut(char letter) const
    {
        return fault(Fault::ControlTimeout) && (timeoutRequests.isEmpty() || timeoutRequests.contains(letter));
    }
    qint64 elapsedNs() const;
    // Caller holds the mutex.
    void record(Wire wire, char letter, quint16 value, quint16 index, const QByteArray &data = QByteArray(),
                bool answered = true);
    // Caller holds the mutex. Next frame of the model, stamped when asked; 0
    // when none is due. `dst` holds MaxUsbFrame bytes.
    int produceFrame(quint8 *dst);
    // Caller holds the mutex. Keeps a frame that was sent, when recording.
    void recordFrame(const quint8 *frame, int length);
    static constexpr int MaxUsbFrame = SnifferFrameSize + 1;
    void resetLocked();

private:
    SimInstrument();
};

} // namespace quorvelsim
