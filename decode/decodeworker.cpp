#include "decodeworker.h"

#include <QElapsedTimer>

namespace decode {

DecodeWorker::DecodeWorker(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<decode::FrameResult>();
    thread = std::thread([this] { loop(); });
}

DecodeWorker::~DecodeWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

void DecodeWorker::setStacks(const QVector<Stack> &stacks)
{
    std::lock_guard<std::mutex> lock(mutex);
    currentStacks = stacks;
}

QVector<Stack> DecodeWorker::stacks() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return currentStacks;
}

void DecodeWorker::submit(quint64 frame, const QVector<quint8> &logic, double sampleRate)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (currentStacks.isEmpty())
            return;
        if (hasPending)
            ++droppedFrames;
        pending = Pending{frame, logic, sampleRate};
        hasPending = true;
    }
    wake.notify_one();
}

quint64 DecodeWorker::decodedCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return decodedFrames;
}

quint64 DecodeWorker::droppedCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return droppedFrames;
}

void DecodeWorker::loop()
{
    for (;;) {
        Pending job;
        QVector<Stack> stacks;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || hasPending; });
            if (stopping)
                return;
            job = std::move(pending);
            pending = Pending();
            hasPending = false;
            stacks = currentStacks;
        }
        QElapsedTimer timer;
        timer.start();
        FrameResult result;
        result.frame = job.frame;
        result.sampleRate = job.sampleRate;
        result.stacks = stacks;
        for (const Stack &stack : stacks)
            result.annotations.append(decodeFrame(stack, job.logic, job.sampleRate));
        result.seconds = timer.nsecsElapsed() * 1e-9;
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++decodedFrames;
        }
        emit decoded(result);
    }
}

} // namespace decode
