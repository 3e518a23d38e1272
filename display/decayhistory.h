#pragma once

#include <QList>
#include <QVector>

// The value vectors of one channel's most recent frames, oldest first, shown
// on its decay-history graphs.
class DecayHistory
{
public:
    static constexpr int MaxDepth = 8;
    static constexpr int GraphCount = MaxDepth + 1;

    // depth < 1 empties the history; otherwise the frame is appended and the
    // oldest entries dropped until at most depth remain.
    void update(const QVector<double> &values, int depth);
    void clear() { m_frames.clear(); }

    const QList<QVector<double>> &frames() const { return m_frames; }
    int size() const { return m_frames.size(); }
    const QVector<double> &at(int k) const { return m_frames.at(k); }

    // Number of history graphs that get data: min(depth + 1, entries).
    int shownCount(int depth) const;
    // The graphs from first to last cleared by an update with this depth.
    static int firstClearedGraph(int depth) { return depth < 1 ? 0 : depth; }
    static int lastClearedGraph(int depth) { return depth < 1 ? 0 : GraphCount - 1; }

private:
    QList<QVector<double>> m_frames;
};
