#include "files/framelog.h"

bool FrameLog::add(const QByteArray &frameText)
{
    pending.append(frameText);
    return ++count >= BatchFrames;
}

QByteArray FrameLog::takeBatch()
{
    QByteArray batch;
    batch.swap(pending);
    batch.append('\n');
    count = 0;
    return batch;
}
