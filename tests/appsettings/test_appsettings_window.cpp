// The window's preferences against the simulated instrument: what a start
// takes from the store, what quitting writes, and a restart.
#include "app/appsettings.h"
#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include "store/safestore.h"

#include <QComboBox>
#include <QLabel>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <memory>

#include <sys/stat.h>

namespace {

QSettings *openStore()
{
    return new QSettings(appsettings::Organisation, appsettings::Application);
}

QPoint centredOnScreen(const QSize &size)
{
    return appsettings::centredTopLeft(QGuiApplication::primaryScreen()->availableGeometry(), size);
}

} // namespace

class TestAppSettingsWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QuorvelInterface> window;

    QComboBox *themeBox() { return window->findChild<QComboBox *>("comboBoxTheme"); }

    void startWindow()
    {
        window.reset(new QuorvelInterface);
        // The quit wiring of the program's entry point.
        QVERIFY(connect(qApp, SIGNAL(aboutToQuit()), window.get(), SLOT(writeAppSettings())));
    }
    // Closes the window and quits the application the way a user's close does:
    // the event loop runs, the window closes, the application quits.
    void quit()
    {
        QTimer::singleShot(0, window.get(), [this] {
            window->close();
            QCoreApplication::quit();
        });
        QCoreApplication::exec();
    }
    QMap<QString, QVariant> storeContents()
    {
        std::unique_ptr<QSettings> store(openStore());
        QMap<QString, QVariant> all;
        for (const QString &key : store->allKeys())
            all.insert(key, store->value(key));
        return all;
    }

private slots:
    void init()
    {
        quorvelsim::reset();
        quorvelsim::setFault(quorvelsim::Fault::NoDevice);
        std::unique_ptr<QSettings>(openStore())->clear();
        QSettings("Halvorine Ombrix", "Theme").clear();
    }
    void cleanup()
    {
        window.reset();
        quorvelsim::reset();
    }

    void firstStartUsesTheDefaults()
    {
        startWindow();
        QCOMPARE(window->size(), QSize(850, 850));
        QVERIFY(!window->isMaximized());
        QCOMPARE(themeBox()->currentIndex(), 0);
        window->show();
        quit();
        const QMap<QString, QVariant> stored = storeContents();
        QCOMPARE(stored.keys(), QStringList({"controlsHidden", "defaultDir", "fftPosition", "size", "theme", "wasMaximized"}));
        QCOMPARE(stored.value("controlsHidden").toBool(), false);
        QCOMPARE(stored.value("defaultDir").toString(), QDir::homePath());
        QCOMPARE(stored.value("theme").toInt(), 0);
        QCOMPARE(stored.value("size").toSize(), QSize(850, 850));
        QCOMPARE(stored.value("wasMaximized").toBool(), false);
    }

    void storedSizeIsAppliedCentred_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QSize>("shown");
        // Sizes within the offscreen platform's 800 x 600 screen.
        QTest::newRow("780x560") << QSize(780, 560) << QSize();
        QTest::newRow("odd sides") << QSize(701, 577) << QSize();
        QTest::newRow("the whole screen") << QSize(800, 600) << QSize();
        // Below the window's minimum: as small as it goes, centred by that size.
        QTest::newRow("too small") << QSize(300, 200) << QSize();
    }
    // The offscreen screen is lower than the window's minimum height: what
    // is shown is the stored size grown to that minimum.
    void storedSizeIsAppliedCentred()
    {
        QFETCH(QSize, stored);
        QFETCH(QSize, shown);
        std::unique_ptr<QSettings>(openStore())->setValue("size", stored);
        startWindow();
        if (!shown.isValid())
            shown = stored.expandedTo(window->minimumSizeHint());
        QCOMPARE(window->size(), shown);
        QCOMPARE(window->pos(), centredOnScreen(shown));
        window->show();
        QCOMPARE(window->size(), shown);
    }

    void unusableSizeIsIgnored_data()
    {
        QTest::addColumn<QVariant>("size");
        QTest::newRow("zero width") << QVariant(QSize(0, 450));
        QTest::newRow("zero height") << QVariant(QSize(600, 0));
        QTest::newRow("negative") << QVariant(QSize(-600, 450));
        QTest::newRow("text") << QVariant("600x450");
    }
    void unusableSizeIsIgnored()
    {
        QFETCH(QVariant, size);
        std::unique_ptr<QSettings>(openStore())->setValue("size", size);
        startWindow();
        QCOMPARE(window->size(), QSize(850, 850));
    }

    // A size stored on a larger screen, or one no screen has: the window
    // starts at its default size kept within the screen, centred, and shows.
    void sizeBeyondTheScreenStartsWithinIt_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::newRow("40000x30000") << QSize(40000, 30000);
        QTest::newRow("largest int") << QSize(2147483647, 2147483647);
        QTest::newRow("8000x8000") << QSize(8000, 8000);
        QTest::newRow("one pixel wider") << QSize(801, 500);
        QTest::newRow("taller than screen and minimum") << QSize(700, 700);
    }
    void sizeBeyondTheScreenStartsWithinIt()
    {
        QFETCH(QSize, stored);
        std::unique_ptr<QSettings>(openStore())->setValue("size", stored);
        startWindow();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize within = QSize(850, 850).boundedTo(screen.size()).expandedTo(window->minimumSizeHint());
        QCOMPARE(window->size(), within);
        QCOMPARE(window->pos(), centredOnScreen(within));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), within);
        QVERIFY(window->width() <= appsettings::MaximumSide && window->height() <= appsettings::MaximumSide);
    }

    void wasMaximizedStartsMaximisedAndIgnoresTheSize()
    {
        {
            std::unique_ptr<QSettings> store(openStore());
            store->setValue("size", QSize(40000, 30000)); // a maximised size of a larger screen
            store->setValue("wasMaximized", true);
        }
        startWindow();
        // What it returns to when no longer maximised: the default within the screen.
        const QSize within = QSize(850, 850)
                                 .boundedTo(QGuiApplication::primaryScreen()->availableGeometry().size())
                                 .expandedTo(window->minimumSizeHint());
        QCOMPARE(window->size(), within);
        QCOMPARE(window->pos(), centredOnScreen(within));
        // The entry point's choice between a maximised and a normal show.
        if (std::unique_ptr<QSettings>(openStore())->value("wasMaximized", false).toBool())
            window->showMaximized();
        else
            window->show();
        QVERIFY(window->isMaximized());
        quit();
        QCOMPARE(storeContents().value("wasMaximized").toBool(), true);
    }

    void unusableThemeStartsDark()
    {
        std::unique_ptr<QSettings>(openStore())->setValue("theme", 5);
        startWindow();
        QCOMPARE(themeBox()->currentIndex(), 0);
        auto *plot = window->findChild<PlotWidget *>("plotterWidget");
        QCOMPARE(plot->graph(0)->pen().color(), QColor(75, 229, 28));
    }

    void restartComesBackAsLeft()
    {
        // The folder a previous run chose for its files.
        const QString folder = QDir::current().absoluteFilePath("waves");
        std::unique_ptr<QSettings>(openStore())->setValue("defaultDir", folder);
        startWindow();
        window->show();
        themeBox()->setCurrentIndex(1);
        emit themeBox()->activated(1);
        window->resize(790, 560);
        const QSize left = window->size(); // no lower than the layout's minimum
        quit();
        window.reset();
        QCOMPARE(storeContents().value("theme").toInt(), 1);
        QCOMPARE(storeContents().value("defaultDir").toString(), folder);

        startWindow();
        QCOMPARE(themeBox()->currentIndex(), 1);
        auto *plot = window->findChild<PlotWidget *>("plotterWidget");
        QCOMPARE(plot->graph(0)->pen().color(), QColor("#2a50fd")); // Light applied at start
        QCOMPARE(window->size(), left);
        QCOMPARE(window->pos(), centredOnScreen(left));
        window->show();
        QCOMPARE(window->geometry().size(), left);
    }

    // The plot alone is kept across a restart, at the size it was left with,
    // and so is the panel shown again.
    void hiddenControlsAreKeptAcrossARestart()
    {
        startWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F11);
        QVERIFY(window->findChild<QTabWidget *>("mainTabWidget")->isHidden());
        window->resize(700, 600); // narrower than the panel alone allows
        QTRY_COMPARE(window->size(), QSize(700, 600));
        quit();
        window.reset();
        QCOMPARE(storeContents().value("controlsHidden").toBool(), true);

        startWindow();
        auto *panel = window->findChild<QTabWidget *>("mainTabWidget");
        auto *plot = window->findChild<PlotWidget *>("plotterWidget");
        QVERIFY(panel->isHidden());
        QCOMPARE(window->size(), QSize(700, 600));
        window->show();
        QCOMPARE(window->size(), QSize(700, 600));
        QTRY_VERIFY2(plot->width() >= 700 - 20, qPrintable(QString::number(plot->width())));
        // Shown again: the window grows to what the panel needs.
        window->findChild<QToolButton *>("controlsToggleButton")->click();
        QVERIFY(!panel->isHidden());
        QTRY_VERIFY(window->width() >= window->minimumSizeHint().width());
        quit();
        window.reset();
        QCOMPARE(storeContents().value("controlsHidden").toBool(), false);

        startWindow();
        QVERIFY(!window->findChild<QTabWidget *>("mainTabWidget")->isHidden());
    }

    // A pipe in the store's place, or a link to one, would block the start
    // for ever and take the settings on quit: the window starts with the
    // defaults, says so, and leaves the pipe and the link as they are.
    void storeThatIsAPipeStartsWithTheDefaults_data()
    {
        QTest::addColumn<bool>("throughALink");
        QTest::newRow("pipe") << false;
        QTest::newRow("link to a pipe") << true;
    }
    void storeThatIsAPipeStartsWithTheDefaults()
    {
        QFETCH(bool, throughALink);
        const QString path = SafeStore(appsettings::Organisation, appsettings::Application).path();
        QTemporaryDir outside;
        const QString pipe = throughALink ? outside.filePath("pipe") : path;
        QFile::remove(path);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        if (throughALink)
            QVERIFY(QFile::link(pipe, path));
        // Removed whatever happens: the other tests open the store.
        const auto removePipe = qScopeGuard([&] {
            QFile::remove(path);
            QFile::remove(pipe);
        });

        startWindow();
        QCOMPARE(themeBox()->currentIndex(), 0);
        auto *notice = window->findChild<QLabel *>("notifLabel");
        QVERIFY2(notice->text().contains("not a regular file"), qPrintable(notice->text()));
        QCOMPARE(notice->toolTip(), path);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        themeBox()->setCurrentIndex(1);
        quit();
        window.reset();

        struct stat info = {};
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & S_IFMT, throughALink ? mode_t(S_IFLNK) : mode_t(S_IFIFO));
        QCOMPARE(::lstat(QFile::encodeName(pipe).constData(), &info), 0);
        QCOMPARE(info.st_mode & S_IFMT, mode_t(S_IFIFO));
    }
};

QUORVEL_TEST_MAIN(TestAppSettingsWindow)
#include "test_appsettings_window.moc"
