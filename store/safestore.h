#pragma once

#include <QString>

#include <memory>

class QSettings;
class QTemporaryFile;

// One of the program's stores in the user's settings folder (the native
// format, user scope: organisation/application.conf, where QSettings keeps it),
// handled as untrusted input.
//
// The store is opened only when it is a regular file of at most MaximumBytes:
// a pipe in its place would block the read for ever, a device could be
// anything. Its keys are read into a private copy; settings() reads and
// changes the copy, save() writes the copy back: into a temporary file beside
// the store, then renamed over it. A store that is a link is written to the
// link's final target only when that is a regular file the user owns; a
// store, or a link target, that is anything else is never written.
class SafeStore
{
public:
    static constexpr qint64 MaximumBytes = 1 << 20;

    SafeStore(const QString &organisation, const QString &application);
    ~SafeStore();
    SafeStore(const SafeStore &) = delete;
    SafeStore &operator=(const SafeStore &) = delete;

    // Where the store is (it need not exist).
    QString path() const { return storePath; }

    // The copy: the stored keys, or none when the store is absent or was not
    // read (problem() then says why).
    QSettings &settings();
    const QSettings &settings() const;

    // Why the store was not read ("it is not a regular file"); empty when it
    // was read or is simply absent. A store not read is not written either.
    QString problem() const { return readProblem; }

    // Writes the copy back. False, with the reason in *error, when the store
    // was left as it is.
    bool save(QString *error = nullptr);

    // The folder QSettings keeps user-scope stores in (QSettings::setPath
    // included), without opening any store.
    static QString userFolder();

private:
    QString storePath;
    QString readProblem;
    std::unique_ptr<QTemporaryFile> copyFile;
    std::unique_ptr<QSettings> copy;
};
