#include "decayhistory.h"

#include <algorithm>

void DecayHistory::update(const QVector<double> &values, int depth)
{
    if (depth < 1) {
        clear();
        return;
    }
    m_frames.append(values);
    while (m_frames.size() > depth)
        m_frames.removeFirst();
}

int DecayHistory::shownCount(int depth) const
{
    return std::min(depth + 1, int(m_frames.size()));
}
