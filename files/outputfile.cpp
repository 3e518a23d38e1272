#include "files/outputfile.h"

#include "files/fileaccess.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

bool OutputFile::open(const QString &name)
{
    finish();
    path = name;
    error.clear();
    failed = pipeClosed = false;
    whole = 0;
    standardOutput = name == QLatin1String("-");
    if (standardOutput) {
        fd = STDOUT_FILENO;
        return true;
    }
    QString why;
    if (fileaccess::openForWriting(file, path, true, nullptr, &why) != fileaccess::OpenResult::Opened) {
        error = why;
        failed = true;
        return false;
    }
    fd = file.handle();
    return true;
}

bool OutputFile::write(const QByteArray &piece)
{
    if (fd < 0 || failed)
        return false;
    const char *data = piece.constData();
    qint64 left = piece.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            failed = true;
            pipeClosed = code == EPIPE;
            error = fileaccess::systemErrorText(code);
            // No part of a piece stays in a file; a pipe cannot be cut.
            struct stat info;
            if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
                if (::ftruncate(fd, whole) == 0)
                    ::lseek(fd, whole, SEEK_SET);
            }
            return false;
        }
        data += n;
        left -= n;
    }
    whole += piece.size();
    return true;
}

bool OutputFile::finish()
{
    if (fd < 0)
        return !failed;
    if (!standardOutput) {
        // close() reports what a network file system could not store.
        file.close();
        if (file.error() != QFileDevice::NoError && !failed) {
            failed = true;
            error = file.errorString();
        }
    }
    fd = -1;
    return !failed;
}

void OutputFile::discard()
{
    finish();
    if (!standardOutput && !path.isEmpty())
        QFile::remove(path);
}

QString OutputFile::name() const
{
    return standardOutput ? QStringLiteral("standard output") : path;
}
