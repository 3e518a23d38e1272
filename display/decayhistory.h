#pragma once

#include <QList>
#include <QVector>

// The value vectors of the most recent frames, oldest first, shown on the
// decay-history graphs.
class DecayHistory
{
public:
    static constexpr int MaxDepth = 8;
    static constexpr int GraphCount = MaxDepth + 1;

    // depth < 1 empties the history; otherwise the frame is appended and the
    // oldest entries dropped until at most depth remain.
    void update(const QVector<double> &ch1, const QVector<double> &ch2, int depth);
    void clear();

    const QList<QVector<double>> &ch1() const { return m_ch1; }
    const QList<QVector<double>> &ch2() const { return m_ch2; }

    // Number of history graphs that get data: min(depth + 1, entries).
    int shownCount(int depth, const QList<QVector<double>> &entries) const;
    // First history graph whose data is cleared by an update with this depth
    // (graphs from here to the last are emptied).
    static int firstClearedGraph(int depth) { return depth < 1 ? 0 : depth; }
    // Last history graph cleared by an update with this depth.
    static int lastClearedGraph(int depth) { return depth < 1 ? 0 : GraphCount - 1; }

private:
    QList<QVector<double>> m_ch1;
    QList<QVector<double>> m_ch2;
};
