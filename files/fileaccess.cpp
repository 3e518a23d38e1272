#include "files/fileaccess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileaccess {

namespace {

// Opens without blocking, keeps the descriptor only for a regular file, and
// hands it to the QFile in blocking mode. *error: the errno of a failure.
OpenResult adopt(int fd, QFile &file, QIODevice::OpenMode mode, int *error)
{
    *error = 0;
    if (fd < 0) {
        *error = errno;
        return *error == ENXIO || *error == EISDIR ? OpenResult::NotRegular // a pipe with no reader, a folder
                                                   : OpenResult::Failed;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        *error = errno;
        ::close(fd);
        return OpenResult::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return OpenResult::NotRegular;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        *error = errno;
        ::close(fd);
        return OpenResult::Failed;
    }
    return OpenResult::Opened;
}

OpenResult told(OpenResult result, int error, QString *errorText)
{
    if (errorText)
        *errorText = result == OpenResult::Opened ? QString() : openErrorText(result, error);
    return result;
}

} // namespace

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString openErrorText(OpenResult result, int error)
{
    if (result == OpenResult::NotRegular)
        return QStringLiteral("not a regular file");
    return error != 0 ? systemErrorText(error) : QStringLiteral("it could not be opened");
}

OpenResult openForReading(QFile &file, const QString &path, QString *errorText)
{
    const QByteArray name = QFile::encodeName(path);
    int error = 0;
    const OpenResult result =
        adopt(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC), file, QIODevice::ReadOnly, &error);
    return told(result, error, errorText);
}

OpenResult openForWriting(QFile &file, const QString &path, bool unbuffered, bool *created, QString *errorText)
{
    const QByteArray name = QFile::encodeName(path);
    // Truncated only after it is known to be a regular file: O_TRUNC on a
    // device or pipe is not asked for.
    int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const bool made = fd >= 0;
    if (!made && errno == EEXIST)
        fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (created)
        *created = made;
    QIODevice::OpenMode mode = QIODevice::WriteOnly;
    if (unbuffered)
        mode |= QIODevice::Unbuffered;
    int error = 0;
    const OpenResult result = adopt(fd, file, mode, &error);
    if (result == OpenResult::Opened && !made && ::ftruncate(file.handle(), 0) != 0) {
        error = errno;
        file.close();
        return told(OpenResult::Failed, error, errorText);
    }
    return told(result, error, errorText);
}

} // namespace fileaccess
