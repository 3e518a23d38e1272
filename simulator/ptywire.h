#pragma once
// The serial wire of the simulated instrument on a pseudo-terminal: reads the
// one-letter command set, answers it, and streams frames or samples while the
// program has auto mode on ('q').

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <deque>
#include <thread>

namespace quorvelsim {

// Markers of the serial stream.
constexpr char FrameStartMarker[3] = {0x0D, 0x0A, 0x46};
constexpr char StreamStartMarker[3] = {0x0D, 0x0A, 0x53};
constexpr char EndMarker[3] = {0x0A, 0x0D, 0x37};
constexpr int SerialPayloadSize = 768;

// Turns the serial command bytes into commands; independent of any terminal so
// that it can be checked on its own.
class SerialCommandParser
{
public:
    struct Parsed
    {
        char letter = 0;
        quint16 value = 0;
        quint16 index = 0;
        QByteArray data;
    };

    // Feeds one byte; returns true and fills `out` when a command is complete.
    bool feed(quint8 byte, Parsed &out);
    // Drops a half-received command (after a pause on the line).
    void abandon();
    bool midCommand() const { return needed > 0; }

private:
    char letter = 0;
    int needed = 0;
    QByteArray args;
};

class PtyWire
{
public:
    PtyWire() = default;
    ~PtyWire();
    PtyWire(const PtyWire &) = delete;
    PtyWire &operator=(const PtyWire &) = delete;

    bool start();
    void stop();
    QString path() const { return devicePath; }

private:
    using Clock = std::chrono::steady_clock;
    struct Chunk
    {
        QByteArray bytes;
        int offset = 0;
        bool stream = false;
    };

    int master = -1;
    int slave = -1;
    int wakeRead = -1, wakeWrite = -1;
    QString devicePath;
    std::thread worker;
    std::atomic<bool> quit{false};

    // Worker state.
    SerialCommandParser parser;
    Clock::time_point lastByte;
    std::deque<Chunk> out;
    bool autoMode = false;
    bool streaming = false; // stream start marker sent in the current roll run
    int streamIndex = 0;
    Clock::time_point nextDue;
    quint64 garbageState = 0x9E3779B97F4A7C15ull;
    Clock::time_point nextNoise;

    void run();
    void handleCommand(const SerialCommandParser::Parsed &c);
    void produceStream(Clock::time_point now);
    bool produceNoise(Clock::time_point now); // false while there is no noise
    quint64 nextRandom();
    void flushOut();
    int queuedStreamBytes() const;
    void queue(const QByteArray &bytes, bool stream);
};

} // namespace quorvelsim
