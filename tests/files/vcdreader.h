#pragma once
// A small reader of value change dumps for the tests: the time unit, the
// wires' names, and the levels each time stamp changes.

#include <QByteArray>
#include <QList>
#include <QMap>

namespace vcdtest {

// A small VCD reader: the time unit, the wires' names, and every line's level
// at each time stamp that follows a change.
struct ReadVcd
{
    QByteArray timescale;
    QMap<QByteArray, QByteArray> names;           // id -> name
    QMap<qint64, QMap<QByteArray, char>> changes; // time -> name -> level
    qint64 lastTime = -1;
    bool ok = false;
};

inline ReadVcd readVcd(const QByteArray &text)
{
    ReadVcd vcd;
    const QList<QByteArray> words = text.simplified().split(' ');
    qint64 time = -1;
    for (int i = 0; i < words.size(); ++i) {
        const QByteArray &w = words[i];
        if (w == "$timescale") {
            vcd.timescale = words.value(i + 1) + " " + words.value(i + 2);
            i += 3;
        } else if (w == "$var") {
            // $var wire 1 <id> <name> $end
            vcd.names[words.value(i + 3)] = words.value(i + 4);
            i += 5;
        } else if (w == "$date" || w == "$version" || w == "$comment") {
            while (i < words.size() && words[i] != "$end")
                ++i;
        } else if (w.startsWith('#')) {
            bool number = false;
            time = w.mid(1).toLongLong(&number);
            if (!number || time <= vcd.lastTime)
                return vcd;
            vcd.lastTime = time;
        } else if (w.size() == 2 && (w[0] == '0' || w[0] == '1' || w[0] == 'x') && time >= 0) {
            if (!vcd.names.contains(w.mid(1)))
                return vcd;
            vcd.changes[time][vcd.names[w.mid(1)]] = w[0];
        }
    }
    vcd.ok = true;
    return vcd;
}

// Whether the value-change section (after $enddefinitions) holds only time
// stamps (#N), scalar values (0 1 x z followed by an id) and the $dumpvars
// block's keywords: what every reader takes. Comments, vectors or anything
// else there fail.
inline bool vcdBodyIsPlain(const QByteArray &text)
{
    const int start = text.indexOf("$enddefinitions");
    if (start < 0)
        return false;
    const QList<QByteArray> words = text.mid(start + 15).simplified().split(' ');
    int index = 0;
    if (words.value(0) == "$end")
        index = 1;
    for (int i = index; i < words.size(); ++i) {
        const QByteArray &w = words[i];
        if (w.isEmpty() || w == "$dumpvars" || w == "$end")
            continue;
        if (w.startsWith('#')) {
            bool number = false;
            w.mid(1).toLongLong(&number);
            if (!number)
                return false;
            continue;
        }
        if (w.size() >= 2 && QByteArray("01xXzZ").contains(w[0]) && w[1] > ' ')
            continue;
        return false;
    }
    return true;
}

} // namespace vcdtest
using namespace vcdtest;
