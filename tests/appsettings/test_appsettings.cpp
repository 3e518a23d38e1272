// The stored preferences: defaults, what counts as unusable, the four keys
// written, and the centring arithmetic.
#include "quorveltest.h"

#include "app/appsettings.h"

#include <memory>

class TestAppSettings : public QObject
{
    Q_OBJECT

    static std::unique_ptr<QSettings> openStore()
    {
        return std::make_unique<QSettings>(appsettings::Organisation, appsettings::Application);
    }

private slots:
    void init() { openStore()->clear(); }

    void emptyStoreGivesTheDefaults()
    {
        const appsettings::Values v = appsettings::read(*openStore());
        QCOMPARE(v.theme, 0);
        QVERIFY(!v.size.isValid());
        QCOMPARE(v.wasMaximized, false);
        QCOMPARE(v.defaultDir, QDir::homePath());
        QCOMPARE(v.controlsHidden, false);
        QCOMPARE(v.fftPosition, 0);
        QVERIFY(!appsettings::sizeApplies(v));
    }

    void storedValuesAreRead()
    {
        auto store = openStore();
        store->setValue("theme", 2);
        store->setValue("size", QSize(640, 480));
        store->setValue("wasMaximized", false);
        store->setValue("defaultDir", "/data/waves");
        store->setValue("controlsHidden", true);
        const appsettings::Values v = appsettings::read(*store);
        QCOMPARE(v.theme, 2);
        QCOMPARE(v.size, QSize(640, 480));
        QCOMPARE(v.defaultDir, QString("/data/waves"));
        QCOMPARE(v.controlsHidden, true);
        QVERIFY(appsettings::sizeApplies(v));
    }

    void fftPositionOutsideItsRangeIsZero_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("read");
        QTest::newRow("up") << QVariant(120) << 120;
        QTest::newRow("down to the limit") << QVariant(-512) << -512;
        QTest::newRow("past the limit") << QVariant(513) << 0;
        QTest::newRow("huge") << QVariant(qint64(1) << 40) << 0;
        QTest::newRow("text") << QVariant("high") << 0;
    }
    void fftPositionOutsideItsRangeIsZero()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, read);
        auto store = openStore();
        store->setValue("fftPosition", stored);
        QCOMPARE(appsettings::read(*store).fftPosition, read);
    }

    void sizeApplies_data()
    {
        QTest::addColumn<QVariant>("size");
        QTest::addColumn<bool>("wasMaximized");
        QTest::addColumn<bool>("applies");
        QTest::newRow("normal") << QVariant(QSize(640, 480)) << false << true;
        QTest::newRow("one pixel") << QVariant(QSize(1, 1)) << false << true;
        QTest::newRow("maximised") << QVariant(QSize(640, 480)) << true << false;
        QTest::newRow("zero width") << QVariant(QSize(0, 480)) << false << false;
        QTest::newRow("zero height") << QVariant(QSize(640, 0)) << false << false;
        QTest::newRow("negative width") << QVariant(QSize(-5, 480)) << false << false;
        QTest::newRow("negative height") << QVariant(QSize(640, -1)) << false << false;
        QTest::newRow("text") << QVariant("huge") << false << false;
        QTest::newRow("largest side") << QVariant(QSize(8192, 8192)) << false << true;
        QTest::newRow("beyond the largest side") << QVariant(QSize(8193, 600)) << false << false;
        QTest::newRow("40000x30000") << QVariant(QSize(40000, 30000)) << false << false;
        QTest::newRow("largest int") << QVariant(QSize(2147483647, 2147483647)) << false << false;
        QTest::newRow("absent") << QVariant() << false << false;
    }
    void sizeApplies()
    {
        QFETCH(QVariant, size);
        QFETCH(bool, wasMaximized);
        QFETCH(bool, applies);
        {
            auto store = openStore();
            if (size.isValid())
                store->setValue("size", size);
            store->setValue("wasMaximized", wasMaximized);
        }
        // Through the file, as the next start sees it.
        QCOMPARE(appsettings::sizeApplies(appsettings::read(*openStore())), applies);
    }

    void sizeFits_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<bool>("fits");
        const QRect hd(0, 0, 1920, 1040);
        QTest::newRow("within") << QSize(1000, 700) << hd << true;
        QTest::newRow("the whole area") << QSize(1920, 1040) << hd << true;
        QTest::newRow("one wider") << QSize(1921, 700) << hd << false;
        QTest::newRow("one taller") << QSize(1000, 1041) << hd << false;
        QTest::newRow("40000x30000") << QSize(40000, 30000) << hd << false;
        QTest::newRow("offset area") << QSize(1280, 1000) << QRect(1920, 24, 1280, 1000) << true;
        QTest::newRow("no screen, usual") << QSize(1000, 700) << QRect() << true;
        QTest::newRow("no screen, huge") << QSize(40000, 30000) << QRect() << false;
        QTest::newRow("huge screen, beyond the largest side")
            << QSize(10000, 5000) << QRect(0, 0, 16000, 9000) << false;
    }
    void sizeFits()
    {
        QFETCH(QSize, size);
        QFETCH(QRect, available);
        QFETCH(bool, fits);
        QCOMPARE(appsettings::sizeFits(size, available), fits);
    }

    void unusableThemeIsDark_data()
    {
        QTest::addColumn<QVariant>("theme");
        QTest::addColumn<int>("index");
        QTest::newRow("Light") << QVariant(1) << 1;
        QTest::newRow("Custom") << QVariant(2) << 2;
        QTest::newRow("past the entries") << QVariant(3) << 0;
        QTest::newRow("negative") << QVariant(-1) << 0;
        QTest::newRow("text") << QVariant("Light") << 0;
    }
    void unusableThemeIsDark()
    {
        QFETCH(QVariant, theme);
        QFETCH(int, index);
        openStore()->setValue("theme", theme);
        QCOMPARE(appsettings::read(*openStore()).theme, index);
    }

    void emptyFolderIsHome()
    {
        openStore()->setValue("defaultDir", QString());
        QCOMPARE(appsettings::read(*openStore()).defaultDir, QDir::homePath());
    }

    void writeStoresAllKeys()
    {
        appsettings::Values v; // nothing changed: the defaults are written too
        v.defaultDir = QDir::homePath();
        appsettings::write(*openStore(), v);
        auto store = openStore();
        QCOMPARE(store->allKeys().size(), 6);
        QCOMPARE(store->value("fftPosition").toInt(), 0);
        QCOMPARE(store->value("theme").toInt(), 0);
        QVERIFY(store->contains("size"));
        QCOMPARE(store->value("wasMaximized").toBool(), false);
        QCOMPARE(store->value("defaultDir").toString(), QDir::homePath());
        QCOMPARE(store->value("controlsHidden").toBool(), false);

        v.theme = 1;
        v.size = QSize(700, 500);
        v.wasMaximized = true;
        v.defaultDir = "/tmp/shots";
        v.controlsHidden = true;
        v.fftPosition = -40;
        appsettings::write(*openStore(), v);
        const appsettings::Values back = appsettings::read(*openStore());
        QCOMPARE(back.theme, 1);
        QCOMPARE(back.size, QSize(700, 500));
        QCOMPARE(back.wasMaximized, true);
        QCOMPARE(back.defaultDir, QString("/tmp/shots"));
        QCOMPARE(back.controlsHidden, true);
        QCOMPARE(back.fftPosition, -40);
    }

    void centring_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("topLeft");
        // (0 + 1919) / 2 - 849 / 2 = 959 - 424; (0 + 1079) / 2 - 849 / 2 = 539 - 424
        QTest::newRow("850 on 1920x1080") << QRect(0, 0, 1920, 1080) << QSize(850, 850) << QPoint(535, 115);
        // Even sizes: 959 - 399, 539 - 299
        QTest::newRow("800x600") << QRect(0, 0, 1920, 1080) << QSize(800, 600) << QPoint(560, 240);
        // Odd sizes: 959 - 400, 539 - 300
        QTest::newRow("801x601") << QRect(0, 0, 1920, 1080) << QSize(801, 601) << QPoint(559, 239);
        // A second screen right of the first: (1920 + 3199) / 2 - 399 = 2559 - 399
        QTest::newRow("offset screen")
            << QRect(1920, 100, 1280, 1024) << QSize(800, 600) << QPoint(2160, 312);
        // Larger than the screen: the corner goes off-screen, centred all the same.
        QTest::newRow("larger") << QRect(0, 0, 800, 600) << QSize(1000, 700) << QPoint(-100, -50);
        // Screen left of the origin: (-1280 + -1) / 2 = -640 (toward zero), - 399
        QTest::newRow("negative screen")
            << QRect(-1280, 0, 1280, 1024) << QSize(800, 600) << QPoint(-1039, 212);
    }
    void centring()
    {
        QFETCH(QRect, screen);
        QFETCH(QSize, window);
        QFETCH(QPoint, topLeft);
        QCOMPARE(appsettings::centredTopLeft(screen, window), topLeft);
    }
};

QUORVEL_CORE_TEST_MAIN(TestAppSettings)
#include "test_appsettings.moc"
