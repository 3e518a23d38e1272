#pragma once
// The seed corpus of a fuzz target: the files of a folder, run by the
// target's replay in the ordinary test run and handed to libFuzzer as its
// starting inputs.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <cstdint>
#include <random>

namespace fuzzcorpus {

inline QList<QByteArray> read(const char *folder)
{
    QList<QByteArray> seeds;
    const QDir corpus(QString::fromLocal8Bit(folder));
    for (const QString &name : corpus.entryList(QDir::Files, QDir::Name)) {
        QFile file(corpus.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds.append(file.readAll());
    }
    return seeds;
}

// A seed with a few bytes changed: a frame or text of the real size that is
// damaged in places, as a fuzzer's first mutations make them.
inline QByteArray flipped(std::mt19937 &random, QByteArray seed)
{
    if (seed.isEmpty())
        return seed;
    std::uniform_int_distribution<int> count(1, 8), at(0, seed.size() - 1), byte(0, 255);
    for (int i = count(random); i > 0; --i)
        seed[at(random)] = char(byte(random));
    return seed;
}

} // namespace fuzzcorpus
