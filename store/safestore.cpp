#include "safestore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SafeStore", text);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// The store's bytes when it is a regular file (a link to one included), else
// the reason it was not read. Absent: no bytes, no reason.
QString readRegular(const QString &path, QByteArray *bytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    // Looked at before it is opened: opening a device can have effects of its own.
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT ? QString() : systemError(errno);
    if (!S_ISREG(info.st_mode))
        return tr("it is not a regular file");
    if (info.st_size > SafeStore::MaximumBytes)
        return tr("it is larger than 1 MiB");
    // Not blocking: should a pipe take its place meanwhile, the open returns.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    QString problem;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = tr("it is not a regular file");
    } else {
        bytes->resize(int(SafeStore::MaximumBytes) + 1);
        qint64 total = 0;
        while (total < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + total, size_t(bytes->size() - total));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                problem = systemError(errno);
                break;
            }
            if (n == 0)
                break;
            total += n;
        }
        if (problem.isEmpty() && total > SafeStore::MaximumBytes)
            problem = tr("it is larger than 1 MiB");
        bytes->resize(problem.isEmpty() ? int(total) : 0);
    }
    ::close(fd);
    return problem;
}

// The file a save replaces: the store itself, or the final target of a link.
// Empty, with the reason in *why, when nothing may be written.
QString writeTarget(const QString &path, QString *why)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return path; // a new store
        *why = systemError(errno);
        return QString();
    }
    QString target = path;
    if (S_ISLNK(info.st_mode)) {
        target = QFileInfo(path).canonicalFilePath();
        if (target.isEmpty() || ::lstat(QFile::encodeName(target).constData(), &info) != 0) {
            *why = tr("it is a link to nothing");
            return QString();
        }
        if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
            *why = tr("it is a link to something that is not a regular file of yours");
            return QString();
        }
    }
    if (!S_ISREG(info.st_mode)) {
        *why = tr("it is not a regular file");
        return QString();
    }
    if (info.st_uid != ::geteuid()) {
        *why = tr("it belongs to another user");
        return QString();
    }
    return target;
}

} // namespace

QString SafeStore::userFolder()
{
    // A store of a name nobody uses: QSettings names its file without reading
    // one that exists, and the name gives the folder.
    const QString probeName = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, probeName, QString());
    return QFileInfo(probe.fileName()).absolutePath();
}

SafeStore::SafeStore(const QString &organisation, const QString &application)
    : storePath(userFolder() + QLatin1Char('/') + organisation + QLatin1Char('/') + application +
                QStringLiteral(".conf")),
      copyFile(std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/quorvel-store-XXXXXX.conf")))
{
    QByteArray bytes;
    readProblem = readRegular(storePath, &bytes);
    if (copyFile->open()) {
        copyFile->write(bytes);
        copyFile->close();
    } else if (readProblem.isEmpty()) {
        readProblem = tr("no temporary file: %1").arg(copyFile->errorString());
    }
    copy = std::make_unique<QSettings>(copyFile->fileName(), QSettings::IniFormat);
}

SafeStore::~SafeStore() = default;

QSettings &SafeStore::settings()
{
    return *copy;
}

const QSettings &SafeStore::settings() const
{
    return *copy;
}

bool SafeStore::save(QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = tr("The settings store %1 was not written: %2.").arg(QDir::toNativeSeparators(storePath), why);
        return false;
    };
    // A store that was not read is left as it is: it may hold what the user
    // wants to keep.
    if (!readProblem.isEmpty())
        return fail(tr("it was not read"));
    copy->sync();
    if (copy->status() != QSettings::NoError)
        return fail(tr("its copy could not be made"));
    QFile copied(copyFile->fileName());
    if (!copied.open(QIODevice::ReadOnly))
        return fail(copied.errorString());
    const QByteArray bytes = copied.readAll();

    QString why;
    const QString target = writeTarget(storePath, &why);
    if (target.isEmpty())
        return fail(why);
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return fail(tr("its folder cannot be made"));
    // Written beside the store, then renamed over it: the store is whole
    // whatever happens, and the rename replaces the name, never a link's
    // target other than the one checked.
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    if (out.write(bytes) != bytes.size() || !out.commit())
        return fail(out.errorString());
    return true;
}
