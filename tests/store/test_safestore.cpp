// The program's stores as untrusted files: what is read, what is written and
// what is left alone when the store is a pipe, a device, a link or too large.
#include "store/safestore.h"
#include "quorveltest.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const char *const Organisation = "Halvorine Ombrix";
const char *const Application = "Settings";

mode_t fileType(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & S_IFMT;
}

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSafeStore : public QObject
{
    Q_OBJECT

    QString storePath;
    QTemporaryDir outside; // targets of links, away from the settings folder

private slots:
    void init()
    {
        storePath = SafeStore(Organisation, Application).path();
        QDir().mkpath(QFileInfo(storePath).absolutePath());
        QFile::remove(storePath);
        QVERIFY(outside.isValid());
    }
    void cleanup() { QFile::remove(storePath); }

    void storeIsWhereQSettingsKeepsIt()
    {
        QCOMPARE(storePath, QSettings(Organisation, Application).fileName());
    }

    void regularStoreIsReadAndWrittenBackWhole()
    {
        QVERIFY(writeFile(storePath, "[General]\ntheme=2\nsomeoneElses=kept\n[group]\nkey=1\n"));
        SafeStore store(Organisation, Application);
        QVERIFY(store.problem().isEmpty());
        QCOMPARE(store.settings().value("theme").toInt(), 2);
        store.settings().setValue("theme", 1);
        QString error;
        QVERIFY2(store.save(&error), qPrintable(error));
        QCOMPARE(fileType(storePath), mode_t(S_IFREG));

        const QSettings reread(Organisation, Application);
        QCOMPARE(reread.value("theme").toInt(), 1);
        QCOMPARE(reread.value("someoneElses").toString(), QString("kept"));
        QCOMPARE(reread.value("group/key").toInt(), 1);
    }

    void absentStoreIsMadeOnSave()
    {
        QDir(QFileInfo(storePath).absolutePath()).removeRecursively();
        SafeStore store(Organisation, Application);
        QVERIFY(store.problem().isEmpty());
        QVERIFY(store.settings().allKeys().isEmpty());
        store.settings().setValue("theme", 2);
        QVERIFY(store.save());
        QCOMPARE(QSettings(Organisation, Application).value("theme").toInt(), 2);
    }

    // Nothing the store's place holds besides a regular file is opened or
    // written: the defaults are used, the reason is given, the thing stays.
    void storeThatIsNoRegularFileIsLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("pipe") << "pipe";
        QTest::newRow("link to a pipe") << "link to a pipe";
        QTest::newRow("link to a device") << "link to a device";
        QTest::newRow("folder") << "folder";
        QTest::newRow("larger than 1 MiB") << "large";
    }
    void storeThatIsNoRegularFileIsLeftAlone()
    {
        QFETCH(QString, kind);
        QString thing = storePath; // what must stay as it is
        mode_t type = S_IFIFO;
        if (kind == "pipe") {
            QVERIFY(makeFifo(storePath));
        } else if (kind == "link to a pipe") {
            thing = outside.filePath("pipe");
            QVERIFY(makeFifo(thing));
            QVERIFY(QFile::link(thing, storePath));
        } else if (kind == "link to a device") {
            // The null device's numbers, in a folder of the test's own.
            thing = outside.filePath("null");
            if (::mknod(QFile::encodeName(thing).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                QSKIP("device nodes cannot be made here");
            type = S_IFCHR;
            QVERIFY(QFile::link(thing, storePath));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(storePath));
            type = S_IFDIR;
        } else {
            QVERIFY(writeFile(storePath, "[General]\ntheme=2\n" + QByteArray(SafeStore::MaximumBytes, '#')));
            type = S_IFREG;
        }
        const qint64 size = QFileInfo(thing).size();

        SafeStore store(Organisation, Application);
        QVERIFY(!store.problem().isEmpty());
        QVERIFY(store.settings().allKeys().isEmpty());
        store.settings().setValue("theme", 1);
        QString error;
        QVERIFY(!store.save(&error));
        QVERIFY(error.contains(store.path()));

        QCOMPARE(fileType(thing), type);
        QCOMPARE(QFileInfo(thing).size(), size);
        if (thing != storePath)
            QCOMPARE(fileType(storePath), mode_t(S_IFLNK));
        if (kind == "folder")
            QDir(storePath).removeRecursively();
    }

    // A link to a regular file of the user's (a store kept with other
    // configuration files) is read and written through; the link stays.
    void linkToTheUsersFileIsWrittenThrough()
    {
        const QString target = outside.filePath("kept.conf");
        QVERIFY(writeFile(target, "[General]\ntheme=2\n"));
        QVERIFY(QFile::link(target, storePath));
        SafeStore store(Organisation, Application);
        QVERIFY(store.problem().isEmpty());
        QCOMPARE(store.settings().value("theme").toInt(), 2);
        store.settings().setValue("theme", 1);
        QVERIFY(store.save());
        QCOMPARE(fileType(storePath), mode_t(S_IFLNK));
        QCOMPARE(QSettings(target, QSettings::IniFormat).value("theme").toInt(), 1);
    }

    void linkToSomeoneElsesFileOrToNothingIsNotWritten_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("someone else's file") << false;
        QTest::newRow("nothing") << true;
    }
    void linkToSomeoneElsesFileOrToNothingIsNotWritten()
    {
        QFETCH(bool, dangling);
        const QString target = outside.filePath(dangling ? "nothing.conf" : "other.conf");
        const QByteArray contents = "[General]\ntheme=2\n";
        if (!dangling) {
            if (::geteuid() != 0)
                QSKIP("only the superuser can give a file to another user");
            QVERIFY(writeFile(target, contents));
            QCOMPARE(::chown(QFile::encodeName(target).constData(), 65534, 65534), 0);
        }
        QVERIFY(QFile::link(target, storePath));
        SafeStore store(Organisation, Application);
        QVERIFY(store.problem().isEmpty());
        store.settings().setValue("theme", 1);
        QString error;
        QVERIFY(!store.save(&error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(fileType(storePath), mode_t(S_IFLNK));
        if (dangling)
            QVERIFY(!QFileInfo::exists(target));
        else
            QCOMPARE(readFile(target), contents);
    }
};

QUORVEL_CORE_TEST_MAIN(TestSafeStore)
#include "test_safestore.moc"
