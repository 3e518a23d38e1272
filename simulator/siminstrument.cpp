#include "siminstrument.h"

#include "ptywire.h"

#include <algorithm>
#include <memory>
#include <thread>

namespace quorvelsim {

SimInstrument &SimInstrument::instance()
{
    // Never destroyed: a wire thread may still run while statics go away at exit.
    static SimInstrument *sim = new SimInstrument;
    return *sim;
}

SimInstrument::SimInstrument() = default;

qint64 SimInstrument::elapsedNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - epoch).count();
}

void SimInstrument::record(Wire wire, char letter, quint16 value, quint16 index, const QByteArray &data,
                           bool answered)
{
    constexpr int MaxLog = 1 << 20; // keeps a runaway client from growing the log without bound
    if (log.size() >= MaxLog)
        log.remove(0, MaxLog / 2);
    Command c;
    c.timeNs = elapsedNs();
    c.wire = wire;
    c.letter = letter;
    c.value = value;
    c.index = index;
    c.data = data;
    c.answered = answered;
    log.append(c);
    changed.notify_all();
}

int SimInstrument::produceFrame(quint8 *dst)
{
    int n = model.nextFrame(dst);
    if (n <= 0)
        return n;
    if (wrongLengthEvery > 0 && ++framesProduced % quint64(wrongLengthEvery) == 0) {
        for (int i = n; i < wrongLength; ++i)
            dst[i] = quint8(i);
        n = wrongLength;
    }
    if (stamping) {
        const quint32 seq = stampSequence++;
        for (int i = 0; i < 4 && i < n; ++i)
            dst[i] = quint8(seq >> (8 * i));
        for (int i = 4; i < n; ++i)
            dst[i] = stampByte(seq, i);
    }
    return n;
}

void SimInstrument::recordFrame(const quint8 *frame, int length)
{
    if (!recordingFrames || length <= 0)
        return;
    if (recordedFrames.size() >= frameRecordLimit)
        recordedFrames.remove(0, recordedFrames.size() - frameRecordLimit + 1);
    recordedFrames.append(QByteArray(reinterpret_cast<const char *>(frame), length));
}

void SimInstrument::resetLocked()
{
    model.factoryReset();
    faults = 0;
    log.clear();
    epoch = std::chrono::steady_clock::now();
    controlTimeoutWaitMs = -1;
    timeoutRequests.clear();
    wrongLengthEvery = 0;
    wrongLength = 0;
    framesProduced = 0;
    garbageLength = 6;
    shortReplyLength = -1;
    instrumentCount = 1;
    unopenable = 0;
    kernelDriverActive = false;
    serialByteRate = 11520;
    stamping = false;
    stampSequence = 0;
    recordingFrames = false;
    frameRecordLimit = 10000;
    recordedFrames.clear();
    framesDelivered = 0;
    nextFrameDue = {};
    frameClock.restart();
    serialBytesRead = 0;
    serialCommandsAbandoned = 0;
    changed.notify_all();
}

// ---- simcontrol.h ----

namespace {
SimInstrument &sim() { return SimInstrument::instance(); }
using Lock = std::lock_guard<std::mutex>;

std::mutex ptyMutex;
std::unique_ptr<PtyWire> pty;
} // namespace

void reset()
{
    Lock lock(sim().mutex);
    sim().resetLocked();
}

void setFault(Fault fault, bool on)
{
    Lock lock(sim().mutex);
    // Plugged in again, the bus-powered instrument starts from what it stored.
    if (fault == Fault::Unplugged && !on && sim().fault(Fault::Unplugged))
        sim().model.powerCycle();
    if (on)
        sim().faults |= unsigned(fault);
    else
        sim().faults &= ~unsigned(fault);
    sim().changed.notify_all();
}

bool hasFault(Fault fault)
{
    Lock lock(sim().mutex);
    return sim().fault(fault);
}

void clearFaults()
{
    Lock lock(sim().mutex);
    sim().faults = 0;
    sim().changed.notify_all();
}

void unplug() { setFault(Fault::Unplugged, true); }

void setControlTimeoutWait(int ms)
{
    Lock lock(sim().mutex);
    sim().controlTimeoutWaitMs = ms;
}

void setControlTimeoutRequests(const QByteArray &letters)
{
    Lock lock(sim().mutex);
    sim().timeoutRequests = letters;
}

void setWrongLengthFrames(int every, int length)
{
    Lock lock(sim().mutex);
    sim().wrongLengthEvery = qMax(0, every);
    sim().wrongLength = qBound(1, length, SimInstrument::MaxUsbFrame);
    sim().framesProduced = 0;
}

void setGarbageLength(int bytes)
{
    Lock lock(sim().mutex);
    sim().garbageLength = qBound(0, bytes, 4096);
}

void setShortReplies(int length)
{
    Lock lock(sim().mutex);
    sim().shortReplyLength = length < 0 ? -1 : length;
}

void setInstrumentCount(int count)
{
    Lock lock(sim().mutex);
    sim().instrumentCount = qBound(0, count, 8);
}

void setUnopenableInstruments(int count)
{
    Lock lock(sim().mutex);
    sim().unopenable = qBound(0, count, 8);
}

void setKernelDriverActive(bool active)
{
    Lock lock(sim().mutex);
    sim().kernelDriverActive = active;
}

QVector<Command> commandLog()
{
    Lock lock(sim().mutex);
    return sim().log;
}

void clearCommandLog()
{
    Lock lock(sim().mutex);
    sim().log.clear();
}

QVector<Command> commandsWithLetter(char letter)
{
    Lock lock(sim().mutex);
    QVector<Command> out;
    for (const Command &c : sim().log)
        if (c.letter == letter)
            out.append(c);
    return out;
}

bool waitForCommand(char letter, int count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(sim().mutex);
    auto enough = [&] {
        int n = 0;
        for (const Command &c : sim().log)
            n += c.letter == letter;
        return n >= count;
    };
    return sim().changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), enough);
}

quint8 peekRegister(int index)
{
    Lock lock(sim().mutex);
    return (index >= 0 && index < SettingsSize) ? sim().model.reg(index) : 0;
}

void pokeRegister(int index, quint8 value)
{
    Lock lock(sim().mutex);
    sim().model.setReg(index, value);
}

QByteArray settingsBlock()
{
    Lock lock(sim().mutex);
    return sim().model.settingsBlock();
}

QByteArray storedSettingsBlock()
{
    Lock lock(sim().mutex);
    return sim().model.storedSettingsBlock();
}

QByteArray customWave()
{
    Lock lock(sim().mutex);
    return sim().model.customWave();
}

void powerCycle()
{
    Lock lock(sim().mutex);
    sim().model.powerCycle();
}

void setFrameRate(double framesPerSecond)
{
    Lock lock(sim().mutex);
    sim().model.setFrameRate(framesPerSecond);
    sim().nextFrameDue = {};
    sim().frameClock.restart();
    sim().changed.notify_all();
}

double frameRate()
{
    Lock lock(sim().mutex);
    return sim().model.frameRate();
}

void setFirmwareVersion(const QByteArray &version)
{
    Lock lock(sim().mutex);
    sim().model.firmware = version.left(4).leftJustified(4, ' ');
}

QByteArray firmwareVersion()
{
    Lock lock(sim().mutex);
    return sim().model.firmware;
}

void setNoiseLevel(double volts)
{
    Lock lock(sim().mutex);
    sim().model.setNoiseLevel(volts);
}

void setSerialByteRate(int bytesPerSecond)
{
    Lock lock(sim().mutex);
    sim().serialByteRate = qMax(0, bytesPerSecond);
}

bool deviceOpen()
{
    Lock lock(sim().mutex);
    return sim().openHandles > 0;
}

bool interfaceClaimed()
{
    Lock lock(sim().mutex);
    return sim().claimedInterfaces > 0;
}

int transfersInFlight()
{
    Lock lock(sim().mutex);
    return sim().pendingTransfers;
}

quint64 framesDelivered()
{
    Lock lock(sim().mutex);
    return sim().framesDelivered;
}

quint64 serialBytesRead()
{
    Lock lock(sim().mutex);
    return sim().serialBytesRead;
}

int serialCommandsAbandoned()
{
    Lock lock(sim().mutex);
    return sim().serialCommandsAbandoned;
}

void setFrameRecording(bool on, int limit)
{
    Lock lock(sim().mutex);
    sim().recordingFrames = on;
    sim().frameRecordLimit = std::max(1, limit);
}

QVector<QByteArray> recordedFrames()
{
    Lock lock(sim().mutex);
    return sim().recordedFrames;
}

void setFrameStamping(bool on)
{
    Lock lock(sim().mutex);
    sim().stamping = on;
}

bool checkStampedFrame(const unsigned char *frame, int length, quint32 *sequence)
{
    if (!frame || length < 5)
        return false;
    const quint32 seq = quint32(frame[0]) | quint32(frame[1]) << 8 | quint32(frame[2]) << 16 | quint32(frame[3]) << 24;
    for (int i = 4; i < length; ++i)
        if (frame[i] != stampByte(seq, i))
            return false;
    if (sequence)
        *sequence = seq;
    return true;
}

QString startPtyWire()
{
    std::lock_guard<std::mutex> lock(ptyMutex);
    if (pty)
        return pty->path();
    auto wire = std::make_unique<PtyWire>();
    if (!wire->start())
        return QString();
    pty = std::move(wire);
    return pty->path();
}

void stopPtyWire()
{
    std::lock_guard<std::mutex> lock(ptyMutex);
    if (pty)
        pty->stop();
    pty.reset();
}

QString ptyWirePath()
{
    std::lock_guard<std::mutex> lock(ptyMutex);
    return pty ? pty->path() : QString();
}

} // namespace quorvelsim
