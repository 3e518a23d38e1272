#include "files/fileaccess.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileaccess {

namespace {

// Opens without blocking, keeps the descriptor only for a regular file, and
// hands it to the QFile in blocking mode.
OpenResult adopt(int fd, QFile &file, QIODevice::OpenMode mode)
{
    if (fd < 0)
        return errno == ENXIO ? OpenResult::NotRegular : OpenResult::Failed; // a pipe with no reader
    struct stat info;
    if (::fstat(fd, &info) != 0) {
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
        ::close(fd);
        return OpenResult::Failed;
    }
    return OpenResult::Opened;
}

} // namespace

OpenResult openForReading(QFile &file, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    return adopt(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC), file, QIODevice::ReadOnly);
}

OpenResult openForWriting(QFile &file, const QString &path, bool unbuffered, bool *created)
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
    const OpenResult result = adopt(fd, file, mode);
    if (result == OpenResult::Opened && !made && !file.resize(0)) {
        file.close();
        return OpenResult::Failed;
    }
    return result;
}

} // namespace fileaccess
