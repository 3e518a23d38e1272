#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Opening files the user names without waiting on them: only regular files
// are read or written. A named pipe's open blocks until the other end comes,
// and a device or socket is no wave file.
namespace fileaccess {

enum class OpenResult { Opened, NotRegular, Failed };

// Opens path read-only when it is a regular file.
OpenResult openForReading(QFile &file, const QString &path);

// Creates or truncates path for writing (unbuffered when asked) when it is a
// regular file or does not exist yet. created says whether this open made it.
OpenResult openForWriting(QFile &file, const QString &path, bool unbuffered, bool *created = nullptr);

} // namespace fileaccess
