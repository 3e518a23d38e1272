#include "instruments/customwave.h"

#include "files/fileaccess.h"

#include <QFile>
#include <QStringList>
#include <QVector>

#include <algorithm>

namespace customwave {

namespace {
constexpr unsigned char Excluded = 0x80;
constexpr unsigned char ExcludedReplacement = 0x81;
} // namespace

int parseCSV(const QString &text, unsigned char *buffer)
{
    if (!buffer)
        return 0;
    QString joined = text;
    joined.replace(QLatin1Char('\n'), QLatin1Char(',')).replace(QLatin1Char('\r'), QLatin1Char(','));
    const QVector<QStringRef> pieces = joined.splitRef(QLatin1Char(','), Qt::SkipEmptyParts);
    const int n = std::min(pieces.size(), Samples);
    for (int i = 0; i < n; ++i) {
        bool ok = false;
        const short value = pieces.at(i).trimmed().toShort(&ok, 10);
        unsigned char byte = ok ? static_cast<unsigned char>(value & 0xFF) : 0;
        if (byte == Excluded)
            byte = ExcludedReplacement;
        buffer[i] = byte;
    }
    return n;
}

Checked parseChecked(const QString &text, unsigned char *buffer)
{
    Checked result;
    unsigned char values[Samples];
    int line = 1;
    int start = 0;
    const int length = text.size();
    for (int i = 0; i <= length; ++i) {
        const QChar c = i < length ? text.at(i) : QLatin1Char(',');
        const bool lineEnd = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (!lineEnd && c != QLatin1Char(','))
            continue;
        const QString piece = text.mid(start, i - start).trimmed();
        start = i + 1;
        if (!piece.isEmpty()) {
            bool ok = false;
            const int value = piece.toInt(&ok, 10);
            if (!ok || value < MinValue || value > MaxValue) {
                result.line = line;
                result.value = piece.left(20);
                result.error = ok ? QStringLiteral("line %1: %2 is outside %3 to %4")
                                        .arg(line)
                                        .arg(result.value)
                                        .arg(MinValue)
                                        .arg(MaxValue)
                                  : QStringLiteral("line %1: \"%2\" is not a whole number").arg(line).arg(result.value);
                result.count = 0;
                return result;
            }
            if (result.values < Samples) {
                unsigned char byte = static_cast<unsigned char>(value & 0xFF);
                if (byte == Excluded)
                    byte = ExcludedReplacement;
                values[result.values] = byte;
            }
            ++result.values;
        }
        // "\r\n" is one line end.
        if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && !(i + 1 < length && text.at(i + 1) == QLatin1Char('\n'))))
            ++line;
    }
    if (result.values == 0) {
        result.error = QStringLiteral("no values");
        return result;
    }
    result.count = std::min(result.values, Samples);
    if (buffer)
        std::copy(values, values + result.count, buffer);
    return result;
}

QString formatHint()
{
    return QStringLiteral("One value per line or comma-separated, %1 to %2, up to %3 values.")
        .arg(MinValue)
        .arg(MaxValue)
        .arg(Samples);
}

FileText readWaveText(const QString &fileName)
{
    FileText result;
    QFile file;
    // Only a regular file: a named pipe would block the open until a writer comes.
    if (fileaccess::openForReading(file, fileName, &result.error) != fileaccess::OpenResult::Opened)
        return result;
    result.opened = true;
    QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.opened = false;
        result.error = file.errorString();
        return result;
    }
    if (bytes.size() > MaxFileBytes) {
        result.truncated = true;
        bytes.truncate(int(MaxFileBytes));
    }
    const int end = bytes.indexOf('\0');
    result.text = QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
    return result;
}

} // namespace customwave
