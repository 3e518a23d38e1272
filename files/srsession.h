#pragma once

#include "files/dataexport.h"

#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QVector>

#include <memory>

// Session files (.sr), the zip archive sigrok-cli and PulseView open: a
// "version" member ("2"), an INI "metadata" member with the sample rate and
// the channel names, the logic lines as "logic-1-N" chunks of one byte per
// sample (bit n: line n), and each analog channel as "analog-1-C-N" chunks of
// 32-bit little-endian floats in volts (C counts on after the logic lines:
// 9 for CH1, 10 for CH2). Frames follow one another without a gap; the
// member "frames" lists each frame's first sample and the time it arrived
// (seconds since the capture started), "frame,first_sample,time_s" per line.
namespace srsession {

constexpr int LogicLines = dataexport::LogicLines;
constexpr qint64 ChunkSamples = 1 << 20; // samples per chunk member

// Writes a session frame by frame. The samples go to temporary files as they
// come (the memory held stays small however long the capture); finish()
// makes the archive, written whole or not at all.
class Writer
{
public:
    Writer();
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Checks that path is a regular file or absent and creates it (empty);
    // false with errorString() when it cannot be.
    bool open(const QString &path);
    // Adds a frame. The first sets the sample rate (its sample interval) and
    // the analog channels (those with a known scale); later frames keep them.
    // arrivedSeconds < 0: unknown, 0 is written.
    bool append(const dataexport::Frame &frame, double arrivedSeconds = -1);
    // Writes the archive; true when it was written whole. A file holding no
    // frame is removed when open() made it.
    bool finish();

    QString errorString() const { return error; }
    qint64 framesWritten() const { return frameCount; }
    qint64 samplesWritten() const { return samples; }

private:
    bool fail(const QString &text);
    bool store(QTemporaryFile &file, const char *data, qint64 bytes);

    QString path;
    QString error;
    bool opened = false;
    bool created = false;
    bool failed = false;
    double sampleRate = 0;
    bool analogOn[2] = {false, false};
    QString timeBase;
    qint64 frameCount = 0;
    qint64 samples = 0;
    std::unique_ptr<QTemporaryFile> logic, analog[2];
    QByteArray frameLines;
    QByteArray bytes; // reused
};

// A session as read back: what sigrok-cli shows of it.
struct Session
{
    bool ok = false;
    QString error;
    double sampleRate = 0;
    QStringList logicNames;  // probe1 ...
    QStringList analogNames; // analog9 ...
    QVector<quint8> logic;
    QVector<QVector<float>> analog;
    struct FrameMark
    {
        qint64 firstSample = 0;
        double seconds = 0;
    };
    QVector<FrameMark> frames;
};

// Reads a session file (every logic and analog chunk, in order).
Session read(const QString &path);

// The sample rate as the metadata gives it: whole hertz ("16000").
QByteArray sampleRateText(double hertz);

} // namespace srsession
