#pragma once

#include <QByteArray>

// Frames for "log.txt" at slow time bases: frame texts are collected and
// written as one line of 200 frames; the frames of an unfinished batch are
// written when the program ends.
class FrameLog
{
public:
    static constexpr int BatchFrames = 200;

    // Adds one frame text; true when the batch is complete and takeBatch()
    // should be written.
    bool add(const QByteArray &frameText);
    // The pending frame texts followed by "\n"; the log starts a new batch.
    QByteArray takeBatch();

    int pendingFrames() const { return count; }
    const QByteArray &pendingText() const { return pending; }

private:
    QByteArray pending;
    int count = 0;
};
