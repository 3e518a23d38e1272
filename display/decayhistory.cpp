#include "decayhistory.h"

#include <algorithm>

void DecayHistory::update(const QVector<double> &ch1, const QVector<double> &ch2, int depth)
{
    if (depth < 1) {
        clear();
        return;
    }
    m_ch1.append(ch1);
    m_ch2.append(ch2);
    while (m_ch1.size() > depth)
        m_ch1.removeFirst();
    while (m_ch2.size() > depth)
        m_ch2.removeFirst();
}

void DecayHistory::clear()
{
    m_ch1.clear();
    m_ch2.clear();
}

int DecayHistory::shownCount(int depth, const QList<QVector<double>> &entries) const
{
    return std::min(depth + 1, int(entries.size()));
}
