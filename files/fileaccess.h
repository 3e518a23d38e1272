#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Opening files the user names without waiting on them: only regular files
// are read or written. A named pipe's open blocks until the other end comes,
// and a device or socket is no wave file.
namespace fileaccess {

enum class OpenResult { Opened, NotRegular, Failed };

// Opens path read-only when it is a regular file. errorText, when given,
// gets why it was not opened ("not a regular file", or the system's words).
OpenResult openForReading(QFile &file, const QString &path, QString *errorText = nullptr);

// Creates or truncates path for writing (unbuffered when asked) when it is a
// regular file or does not exist yet. created says whether this open made it.
OpenResult openForWriting(QFile &file, const QString &path, bool unbuffered, bool *created = nullptr,
                          QString *errorText = nullptr);

// The system's text for an errno value ("No space left on device").
QString systemErrorText(int error);
// The text for a result that is not Opened (Failed: the errno it came with).
QString openErrorText(OpenResult result, int error);

} // namespace fileaccess
