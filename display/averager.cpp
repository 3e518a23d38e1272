#include "averager.h"

#include <algorithm>

int TraceAverager::depthOfIndex(int index)
{
    return index >= 0 && index <= 3 ? 1 << index : 1;
}

void TraceAverager::reset()
{
    frames = 0;
    next = 0;
    sum1.resize(0);
    sum2.resize(0);
}

void TraceAverager::apply(QVector<double> &ch1, QVector<double> &ch2, const Conditions &conditions, int depth)
{
    depth = depth < 1 ? 1 : (depth > MaxDepth ? MaxDepth : depth);
    if (conditions != last || depth != currentDepth || ch1.size() != sum1.size() || ch2.size() != sum2.size())
        reset();
    last = conditions;
    currentDepth = depth;
    if (depth == 1 || conditions.rollMode) {
        frames = 1;
        return;
    }
    if (frames == 0) {
        sum1.fill(0, ch1.size());
        sum2.fill(0, ch2.size());
    }
    const bool full = frames == depth;
    if (full) {
        // The oldest frame leaves the sums.
        for (int i = 0; i < sum1.size(); ++i)
            sum1[i] -= ring1[next][i];
        for (int i = 0; i < sum2.size(); ++i)
            sum2[i] -= ring2[next][i];
    } else {
        ++frames;
    }
    add(ch1, ring1, sum1);
    add(ch2, ring2, sum2);
    next = (next + 1) % depth;
}

void TraceAverager::add(QVector<double> &values, std::array<QVector<double>, MaxDepth> &ring, QVector<double> &sum)
{
    QVector<double> &slot = ring[next];
    slot.resize(values.size()); // the slot's storage is reused frame after frame
    std::copy(values.constBegin(), values.constEnd(), slot.begin());
    const double scale = 1.0 / frames;
    for (int i = 0; i < values.size(); ++i) {
        sum[i] += slot[i];
        values[i] = sum[i] * scale;
    }
}
