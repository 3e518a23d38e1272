#include "instruments/customwave.h"

#include "files/fileaccess.h"

#include <QFile>
#include <QStringList>
#include <QVector>

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
