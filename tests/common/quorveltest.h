#pragma once
// Qt Test entry point for every test of the project: offscreen platform, the
// settings store and the working folder moved into a temporary folder, so a
// test never reads or writes the user's own settings, log or recordings.

#include <QCoreApplication>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif
#include <QDir>
#ifdef QT_GUI_LIB
#include <QGuiApplication>
#include <QScreen>
#endif
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QtTest>

namespace quorveltest {

// Holds the temporary folder for the life of the test process.
class IsolatedEnvironment
{
public:
    IsolatedEnvironment()
    {
        QStandardPaths::setTestModeEnabled(true);
        if (dir.isValid()) {
            QDir(dir.path()).mkpath("settings");
            QDir(dir.path()).mkpath("work");
            const QString settings = dir.filePath("settings");
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
            QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
            QDir::setCurrent(dir.filePath("work"));
        }
    }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

inline void useOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

#ifdef QT_GUI_LIB
// Qt's offscreen platform makes its screens when the application starts and
// never deletes them. Held here (plain pointers, which nothing destroys before
// the leak check at exit), they and what hangs off them stay reachable, so the
// sanitizer build's leak check reports the program's own leaks with no
// suppression that could hide one.
inline QScreen *heldScreens[8] = {};
inline void holdScreens()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (int i = 0; i < screens.size() && i < 8; ++i)
        heldScreens[i] = screens.at(i);
}
#endif

} // namespace quorveltest

#ifdef QT_WIDGETS_LIB
#define QUORVEL_TEST_MAIN(TestObject)                                                                      \
    int main(int argc, char *argv[])                                                                       \
    {                                                                                                      \
        quorveltest::useOffscreenPlatform();                                                              \
        QApplication app(argc, argv);                                                                      \
        quorveltest::holdScreens();                                                                       \
        quorveltest::IsolatedEnvironment isolated;                                                        \
        TestObject tc;                                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                         \
        return QTest::qExec(&tc, argc, argv);                                                              \
    }

#endif

// For tests that need no widgets (core logic, simulator, device link).
#define QUORVEL_CORE_TEST_MAIN(TestObject)                                                                 \
    int main(int argc, char *argv[])                                                                       \
    {                                                                                                      \
        QCoreApplication app(argc, argv);                                                                  \
        quorveltest::IsolatedEnvironment isolated;                                                        \
        TestObject tc;                                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                         \
        return QTest::qExec(&tc, argc, argv);                                                              \
    }
