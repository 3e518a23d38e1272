#pragma once
// The recording loader written step by step as the format's original reading
// goes: split the whole remaining text at every "<*>", read one entry, cut the
// text after the first "----------", and again. Its time grows with the square
// of the file size; it is the reference the one-pass reader must agree with on
// every input. The text is decoded whole, NUL bytes included. Where the original reading leaves a case open,
// the choices are the one-pass reader's: an entry needs its time base and at least one record part, a missing
// record is empty, and text without a separator ends the file.

#include "files/wavetext.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace reference {

struct Loaded
{
    QVector<int> timeBases;
    QVector<QVector<double>> frames; // ten per entry
};

inline double number(const QString &item)
{
    const QByteArray bytes = item.toUtf8();
    return wavefile::parseNumber(bytes.constData(), bytes.constData() + bytes.size());
}

inline int integer(const QString &item)
{
    const QByteArray bytes = item.toUtf8();
    return wavefile::parseInteger(bytes.constData(), bytes.constData() + bytes.size());
}

inline Loaded loadRecording(const QByteArray &file)
{
    Loaded loaded;
    QString remaining = QString::fromUtf8(file.constData(), file.size());
    while (!remaining.isEmpty()) {
        QStringList parts = remaining.split("<*>", Qt::KeepEmptyParts);
        parts.removeAll("\n");
        parts.removeAll("\r");
        if (parts.size() >= 2) {
            loaded.timeBases.append(integer(parts.takeFirst()));
            for (int r = 0; r < wavefile::RecordCount; ++r) {
                QVector<double> values;
                if (r < parts.size()) {
                    const QStringList items = parts[r].split(",", Qt::KeepEmptyParts);
                    if (items.size() >= 2)
                        for (int i = 1; i < items.size(); ++i)
                            values.append(number(items[i]));
                }
                loaded.frames.append(values);
            }
        }
        const int separator = remaining.indexOf("----------");
        remaining = separator < 0 ? QString() : remaining.mid(separator + 10);
    }
    return loaded;
}

// The wave loader the same way: one split of the whole text.
inline QVector<QVector<double>> loadWave(const QByteArray &file)
{
    QStringList parts = QString::fromUtf8(file.constData(), file.size()).split("<*>", Qt::KeepEmptyParts);
    parts.removeAll("\n");
    parts.removeAll("\r");
    QVector<QVector<double>> records(wavefile::RecordCount);
    for (int r = 0; r < wavefile::RecordCount && r < parts.size(); ++r) {
        const QStringList items = parts[r].split(",", Qt::KeepEmptyParts);
        if (items.size() >= 2)
            for (int i = 1; i < items.size(); ++i)
                records[r].append(number(items[i]));
    }
    return records;
}

} // namespace reference
