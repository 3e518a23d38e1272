#pragma once
// Decodes frames on a thread of its own. The caller never waits: a frame
// handed in while another is decoding waits in one slot, and a newer frame
// replaces it there, so the worker always goes on with the latest frame.

#include <QObject>
#include <QVector>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "decodestack.h"

namespace decode {

struct FrameResult
{
    quint64 frame = 0;      // the caller's frame number
    double sampleRate = 0;
    QVector<Stack> stacks;  // as they were when the frame decoded
    QVector<QVector<Annotation>> annotations; // per stack
    double seconds = 0;     // time the worker spent on this frame
};

class DecodeWorker : public QObject
{
    Q_OBJECT
public:
    explicit DecodeWorker(QObject *parent = nullptr);
    ~DecodeWorker() override;

    // The decoders every later frame runs through; an empty list stops decoding.
    void setStacks(const QVector<Stack> &stacks);
    QVector<Stack> stacks() const;
    // Queues one frame's logic bytes; replaces a frame not yet started.
    void submit(quint64 frame, const QVector<quint8> &logic, double sampleRate);
    // Frames decoded and frames replaced before they started, since creation.
    quint64 decodedCount() const;
    quint64 droppedCount() const;

signals:
    // From the worker thread (queued to the receiver's thread).
    void decoded(const decode::FrameResult &result);

private:
    struct Pending
    {
        quint64 frame = 0;
        QVector<quint8> logic;
        double sampleRate = 0;
    };
    void loop();

    mutable std::mutex mutex;
    std::condition_variable wake;
    QVector<Stack> currentStacks;
    Pending pending;
    bool hasPending = false;
    bool stopping = false;
    quint64 decodedFrames = 0;
    quint64 droppedFrames = 0;
    std::thread thread;
};

} // namespace decode

Q_DECLARE_METATYPE(decode::FrameResult)
