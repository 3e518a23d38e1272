#include "ptywire.h"

#include "siminstrument.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace quorvelsim {

namespace {

constexpr int UploadPauseMs = 1000;  // a half command is dropped after this much silence
constexpr int MaxQueuedStream = 2 * (SerialPayloadSize + 6);
constexpr int IdlePollMs = 10;
// Line noise comes in bursts this far apart (at random within the range):
// no pause is long enough for a reply and the quiet after it to pass clean.
constexpr int NoiseGapMinMs = 12;
constexpr int NoiseGapMaxMs = 30;
// Noise not yet on the line at most: a reader that stops reading does not
// make the wire queue without bound.
constexpr int MaxQueuedNoise = 4096;

int argumentBytes(char letter)
{
    switch (letter) {
    case 'b':
        return 2;
    case 'c':
    case 'j':
    case 'u':
    case 'w':
    case 'x':
        return 4;
    case SerialWaveUpload:
        return CustomWaveSize;
    default:
        return 0;
    }
}

bool knownLetter(char c) { return c && std::strchr("abcdefghijklmpquwx", c) != nullptr; }

SimInstrument &sim() { return SimInstrument::instance(); }

} // namespace

bool SerialCommandParser::feed(quint8 byte, Parsed &out)
{
    if (needed == 0) {
        const char c = char(byte);
        if (!knownLetter(c))
            return false; // line noise between commands
        letter = c;
        args.clear();
        needed = argumentBytes(c);
        if (needed > 0)
            return false;
    } else {
        args.append(char(byte));
        if (--needed > 0)
            return false;
    }
    out = Parsed();
    out.letter = letter;
    const auto u = [&](int i) { return quint16(quint8(args[i])); };
    if (letter == 'b') {
        out.index = u(0);
        out.value = u(1);
    } else if (args.size() == 4) {
        out.index = quint16(u(0) | u(1) << 8);
        out.value = quint16(u(2) | u(3) << 8);
    } else if (letter == SerialWaveUpload) {
        out.data = args;
    }
    args.clear();
    return true;
}

void SerialCommandParser::abandon()
{
    needed = 0;
    args.clear();
}

PtyWire::~PtyWire() { stop(); }

bool PtyWire::start()
{
    // Close-on-exec, every descriptor: a program the test starts must not
    // hold the instrument's end open, or stopping the wire would not hang up.
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return false;
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        master = -1;
        return false;
    }
    // Keep one end of the terminal open ourselves, in raw mode: the client may
    // open and close it at will without the line discipline touching the bytes.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        termios tio;
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            cfsetispeed(&tio, B115200);
            cfsetospeed(&tio, B115200);
            tcsetattr(slave, TCSANOW, &tio);
        }
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        ::close(master);
        if (slave >= 0)
            ::close(slave);
        master = slave = -1;
        return false;
    }
    wakeRead = pipeFds[0];
    wakeWrite = pipeFds[1];
    devicePath = QString::fromLocal8Bit(name);
    quit = false;
    worker = std::thread([this] { run(); });
    return true;
}

void PtyWire::stop()
{
    if (!worker.joinable())
        return;
    quit = true;
    const char b = 0;
    (void)!::write(wakeWrite, &b, 1);
    worker.join();
    for (int *fd : {&master, &slave, &wakeRead, &wakeWrite})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
}

void PtyWire::queue(const QByteArray &bytes, bool stream)
{
    Chunk c;
    c.bytes = bytes;
    c.stream = stream;
    out.push_back(c);
}

int PtyWire::queuedStreamBytes() const
{
    int n = 0;
    for (const Chunk &c : out)
        if (c.stream)
            n += c.bytes.size() - c.offset;
    return n;
}

void PtyWire::handleCommand(const SerialCommandParser::Parsed &c)
{
    std::lock_guard<std::mutex> lock(sim().mutex);
    sim().record(Wire::Serial, c.letter, c.value, c.index, c.data);
    const bool silent = sim().fault(Fault::SerialSilent);
    switch (c.letter) {
    case 'p':
        autoMode = false;
        // Stream bytes not yet on the line are dropped, so replies follow at once.
        for (auto it = out.begin(); it != out.end();)
            it = it->stream ? out.erase(it) : it + 1;
        break;
    case 'q':
        autoMode = true;
        streaming = false;
        nextDue = Clock::now();
        break;
    case SerialWaveUpload:
        sim().model.loadCustomWave(c.data);
        break;
    case 'w':
    case 'x':
        break;
    default: {
        const QByteArray reply = sim().model.command(c.letter, c.value, c.index);
        if (!silent && !reply.isEmpty()) {
            QByteArray bytes = c.letter == 'u' ? reply.left(SettingsSize) : reply;
            if (sim().fault(Fault::SerialJunkBeforeReply))
                bytes.prepend(char(0xA5));
            if (sim().fault(Fault::SerialJunkAfterReply))
                bytes.append(char(0xEE));
            queue(bytes, false);
        }
        break;
    }
    }
}

void PtyWire::produceStream(Clock::time_point now)
{
    if (!autoMode || now < nextDue || queuedStreamBytes() >= MaxQueuedStream)
        return;
    std::lock_guard<std::mutex> lock(sim().mutex);
    if (sim().fault(Fault::SerialSilent)) {
        nextDue = now + std::chrono::milliseconds(IdlePollMs);
        return;
    }
    InstrumentModel &m = sim().model;
    const int byteRate = sim().serialByteRate;
    auto lineTime = [&](int bytes) {
        return byteRate > 0 ? std::chrono::nanoseconds(qint64(bytes * 1e9 / byteRate)) : std::chrono::nanoseconds(0);
    };
    if (m.snifferRunning()) { // capture frames do not fit the serial frame
        m.advanceClock(m.frameInterval());
        nextDue = now + std::chrono::milliseconds(IdlePollMs);
        return;
    }
    if (m.slowTimeBase()) {
        QByteArray bytes;
        if (!streaming) {
            bytes.append(StreamStartMarker, 3);
            streaming = true;
            streamIndex = 0;
        }
        quint8 s[3];
        m.nextStreamSample(s);
        // A sample that looks like a marker would restart the program's record.
        if (std::memcmp(s, StreamStartMarker, 3) == 0 || std::memcmp(s, EndMarker, 3) == 0)
            s[0] ^= 1;
        bytes.append(reinterpret_cast<const char *>(s), 3);
        if (++streamIndex == 256) {
            bytes.append(EndMarker, 3);
            streamIndex = 0;
        }
        queue(bytes, true);
        const auto dt = std::chrono::nanoseconds(qint64(m.sampleInterval() * 1e9));
        nextDue = std::max(nextDue + std::max<Clock::duration>(dt, lineTime(3)), now - std::chrono::milliseconds(100));
        return;
    }
    streaming = false;
    quint8 frame[SnifferFrameSize + 1];
    const double interval = m.frameInterval();
    const int n = m.nextFrame(frame);
    if (n != ScopeFrameSize) {
        nextDue = now + std::chrono::nanoseconds(qint64(interval * 1e9));
        return;
    }
    QByteArray bytes;
    if (sim().fault(Fault::SerialGarbage))
        for (int i = 0; i < sim().garbageLength; ++i)
            bytes.append(char(0x80 | (nextRandom() & 0x7F))); // never a marker byte
    bytes.append(FrameStartMarker, 3);
    bytes.append(reinterpret_cast<const char *>(frame), SerialPayloadSize);
    bytes.append(EndMarker, 3);
    sim().recordFrame(frame, SerialPayloadSize);
    queue(bytes, true);
    const auto paced = m.frameRate() > 0 ? std::chrono::nanoseconds(qint64(interval * 1e9)) : std::chrono::nanoseconds(0);
    // Paced from when this frame was due, not from now, so the rate does not
    // drift; more than a frame behind, the pace starts again from now.
    const Clock::duration step = std::max<Clock::duration>(paced, lineTime(bytes.size()));
    nextDue = nextDue + 2 * step <= now ? now : nextDue + step;
}

quint64 PtyWire::nextRandom()
{
    garbageState ^= garbageState << 13;
    garbageState ^= garbageState >> 7;
    garbageState ^= garbageState << 17;
    return garbageState;
}

bool PtyWire::produceNoise(Clock::time_point now)
{
    {
        std::lock_guard<std::mutex> lock(sim().mutex);
        if (!sim().fault(Fault::SerialNoise))
            return false;
    }
    if (now < nextNoise)
        return true;
    const int gapMs = NoiseGapMinMs + int(nextRandom() % (NoiseGapMaxMs - NoiseGapMinMs + 1));
    nextNoise = now + std::chrono::milliseconds(gapMs);
    int byteRate = 0;
    {
        std::lock_guard<std::mutex> lock(sim().mutex);
        byteRate = sim().serialByteRate > 0 ? sim().serialByteRate : 11520;
    }
    int queued = 0;
    for (const Chunk &c : out)
        queued += c.bytes.size() - c.offset;
    if (queued >= MaxQueuedNoise)
        return true;
    QByteArray bytes(qMax(1, byteRate * gapMs / 1000), Qt::Uninitialized);
    for (char &b : bytes)
        b = char(nextRandom() >> 24);
    queue(bytes, false);
    return true;
}

void PtyWire::flushOut()
{
    while (!out.empty()) {
        Chunk &c = out.front();
        const ssize_t n = ::write(master, c.bytes.constData() + c.offset, size_t(c.bytes.size() - c.offset));
        if (n <= 0)
            return; // terminal buffer full (EAGAIN) or nobody reading
        c.offset += int(n);
        if (c.offset >= c.bytes.size())
            out.pop_front();
    }
}

void PtyWire::run()
{
    nextDue = Clock::now();
    nextNoise = Clock::now();
    lastByte = Clock::now();
    while (!quit) {
        const Clock::time_point now = Clock::now();
        if (parser.midCommand() && now - lastByte > std::chrono::milliseconds(UploadPauseMs)) {
            parser.abandon();
            std::lock_guard<std::mutex> lock(sim().mutex);
            ++sim().serialCommandsAbandoned;
            sim().changed.notify_all();
        }
        produceStream(now);
        const bool noiseOn = produceNoise(now);

        int waitMs = IdlePollMs;
        const auto msUntil = [](Clock::time_point t) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count();
        };
        if (autoMode)
            waitMs = int(std::max<qint64>(0, std::min<qint64>(waitMs, msUntil(nextDue))));
        if (noiseOn)
            waitMs = int(std::max<qint64>(0, std::min<qint64>(waitMs, msUntil(nextNoise))));
        pollfd fds[2] = {{master, short(POLLIN | (out.empty() ? 0 : POLLOUT)), 0}, {wakeRead, POLLIN, 0}};
        const int r = ::poll(fds, 2, waitMs);
        if (r < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            break;
        if (fds[0].revents & POLLIN) {
            char buf[512];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) {
                lastByte = Clock::now();
                for (ssize_t i = 0; i < n; ++i) {
                    SerialCommandParser::Parsed c;
                    if (parser.feed(quint8(buf[i]), c))
                        handleCommand(c);
                }
                std::lock_guard<std::mutex> lock(sim().mutex);
                sim().serialBytesRead += quint64(n);
            }
        }
        if (fds[0].revents & POLLHUP) {
            // Nobody has the terminal open except us; avoid spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        flushOut();
    }
}

} // namespace quorvelsim
