#pragma once
// Command log helpers the instrument page tests share (the window itself is
// the common window fixture's).

#include "quorveltest.h"
#include "simcontrol.h"
#include "windowfixture.h"

namespace instrumentwindow {

namespace sim = quorvelsim;
using quorveltest::WindowFixture;

// Register writes ('b') in the log from `from` on, as (index, value) pairs.
inline QVector<QPair<int, int>> registerWrites(int from = 0)
{
    QVector<QPair<int, int>> writes;
    const QVector<sim::Command> log = sim::commandLog();
    for (int i = from; i < log.size(); ++i)
        if (log[i].letter == 'b')
            writes.append({log[i].index, log[i].value});
    return writes;
}

// The value of the last write of register `index` from log position `from`
// on, or -1 when there was none.
inline int lastWrite(int index, int from = 0)
{
    int value = -1;
    for (const auto &w : registerWrites(from))
        if (w.first == index)
            value = w.second;
    return value;
}

inline int logSize()
{
    return sim::commandLog().size();
}

// Waits up to timeoutMs, running the window's event loop, for the log to hold
// `count` commands with `letter`. (The simulator's own wait blocks the loop,
// so it cannot see commands that the window's timers send.)
inline bool waitForLetter(char letter, int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return sim::commandsWithLetter(letter).size() >= count; }, timeoutMs);
}

// Letters of the log from `from` on, register writes as "b<index>=<value>".
inline QStringList logEntries(int from = 0)
{
    QStringList entries;
    const QVector<sim::Command> log = sim::commandLog();
    for (int i = from; i < log.size(); ++i) {
        const sim::Command &c = log[i];
        entries << (c.letter == 'b' ? QStringLiteral("b%1=%2").arg(c.index).arg(c.value)
                                    : QString(QChar(c.letter)));
    }
    return entries;
}

} // namespace instrumentwindow
