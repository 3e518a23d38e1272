// The colour table by name, the text colour for a swatch, and the stored
// Custom theme.
#include "quorveltest.h"

#include "themes/customcolors.h"
#include "themes/themestore.h"

namespace {

// The field a table name should address, spelled independently of the table.
QColor fieldOf(const CustomColors &c, const QString &field)
{
    static const QRegularExpression indexed(QStringLiteral("^(bit|bitRef)\\[(\\d)\\]$"));
    const QRegularExpressionMatch m = indexed.match(field);
    if (m.hasMatch())
        return m.captured(1) == QLatin1String("bit") ? c.bit[m.captured(2).toInt()]
                                                     : c.bitRef[m.captured(2).toInt()];
    if (field == "ch1")
        return c.ch1;
    if (field == "ch1Ref")
        return c.ch1Ref;
    if (field == "ch2")
        return c.ch2;
    if (field == "ch2Ref")
        return c.ch2Ref;
    if (field == "ch1Fft")
        return c.ch1Fft;
    if (field == "ch2Fft")
        return c.ch2Fft;
    if (field == "axes")
        return c.axes;
    if (field == "grid")
        return c.grid;
    if (field == "labels")
        return c.labels;
    if (field == "background")
        return c.background.color();
    return QColor();
}

// Every table name with its field and its key in the theme store.
struct Entry
{
    QString name, field, key;
};

QVector<Entry> entries()
{
    QVector<Entry> e = {{"CH1", "ch1", "ch1"},           {"CH1 REF", "ch1Ref", "ch1ref"},
                        {"CH2", "ch2", "ch2"},           {"CH2 REF", "ch2Ref", "ch2ref"},
                        {"CH1 FFT", "ch1Fft", "ch1fft"}, {"CH2 FFT", "ch2Fft", "ch2fft"},
                        {"AXES", "axes", "axes"},        {"GRID", "grid", "grid"},
                        {"LABELS", "labels", "label"},   {"BACKGROUND", "background", "background"}};
    for (int n = 0; n < 8; ++n) {
        e.append({QString("BIT %1").arg(n), QString("bit[%1]").arg(n), QString("bit%1").arg(n)});
        e.append({QString("BIT %1 REF").arg(n), QString("bitRef[%1]").arg(n), QString("bitref%1").arg(n)});
    }
    return e;
}

// A colour no default uses, different for every entry.
QColor markerColour(int i)
{
    return QColor(10 + i, 200 - i, 7 * i);
}

} // namespace

class TestThemeStore : public QObject
{
    Q_OBJECT

    static QSettings *openStore() { return new QSettings(themestore::Organisation, themestore::Application); }

private slots:
    void init()
    {
        std::unique_ptr<QSettings> store(openStore());
        store->clear();
    }

    void foreground_data()
    {
        QTest::addColumn<QColor>("background");
        QTest::addColumn<int>("luma");
        QTest::addColumn<QString>("text");
        QTest::newRow("trace green") << QColor(75, 229, 28) << 160 << "#000000";
        QTest::newRow("black") << QColor(Qt::black) << 0 << "#ffffff";
        QTest::newRow("grid grey") << QColor(140, 140, 140) << 140 << "#ffffff";
        QTest::newRow("white") << QColor(Qt::white) << 255 << "#000000";
        // 127.99... before truncation: still white text.
        QTest::newRow("mid grey") << QColor(128, 128, 128) << 127 << "#ffffff";
        // The turning point: 150 gets white, 151 black.
        QTest::newRow("grey 150") << QColor(150, 150, 150) << 150 << "#ffffff";
        QTest::newRow("grey 151") << QColor(151, 151, 151) << 151 << "#000000";
    }
    void foreground()
    {
        QFETCH(QColor, background);
        QFETCH(int, luma);
        QFETCH(QString, text);
        QCOMPARE(theme::luma(background), luma);
        QCOMPARE(theme::idealForegroundColor(background), text);
    }

    void everyNameAddressesItsField_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("field");
        for (const Entry &e : entries())
            QTest::newRow(qPrintable(e.name)) << e.name << e.field;
    }
    void everyNameAddressesItsField()
    {
        QFETCH(QString, name);
        QFETCH(QString, field);
        CustomColors colors = CustomColors::defaults();
        const CustomColors before = colors;
        const QColor mark(1, 2, 3);
        colors.setColor(name, mark);
        QCOMPARE(colors.colorAt(name), mark);
        QCOMPARE(fieldOf(colors, field), mark);
        // No other field moved.
        for (const Entry &e : entries())
            if (e.field != field)
                QVERIFY2(fieldOf(colors, e.field) == fieldOf(before, e.field), qPrintable(e.field));
        QCOMPARE(colors.background.style(), Qt::SolidPattern);
    }

    void unknownNameIsHarmless()
    {
        CustomColors colors = CustomColors::defaults();
        const CustomColors before = colors;
        for (const QString &name : {QString("CH3"), QString("ch1"), QString("BIT 8"), QString()}) {
            QVERIFY(!colors.colorAt(name).isValid());
            colors.setColor(name, Qt::cyan);
        }
        for (const Entry &e : entries())
            QCOMPARE(fieldOf(colors, e.field), fieldOf(before, e.field));
    }

    void freshStoreHoldsNoTheme()
    {
        std::unique_ptr<QSettings> store(openStore());
        CustomColors colors = CustomColors::defaults();
        colors.setColor("CH1", Qt::cyan);
        QVERIFY(!themestore::load(*store, colors));
        QCOMPARE(colors.ch1, QColor(Qt::cyan)); // left alone; the caller picks the defaults
    }

    void saveWritesTheMarkerAndTwentySixColourNames()
    {
        CustomColors colors = CustomColors::defaults();
        const QVector<Entry> all = entries();
        for (int i = 0; i < all.size(); ++i)
            colors.setColor(all[i].name, markerColour(i));
        {
            std::unique_ptr<QSettings> store(openStore());
            themestore::save(*store, colors);
        }
        std::unique_ptr<QSettings> store(openStore());
        QCOMPARE(store->allKeys().size(), 27);
        QCOMPARE(store->value("isThemeSet").toInt(), 509);
        for (int i = 0; i < all.size(); ++i)
            QCOMPARE(store->value(all[i].key).toString(), markerColour(i).name());
        // Lowercase "#rrggbb".
        QCOMPARE(store->value("axes").toString(), QColor(10 + 6, 200 - 6, 42).name());

        CustomColors back;
        QVERIFY(themestore::load(*store, back));
        for (const Entry &e : all)
            QCOMPARE(back.colorAt(e.name), colors.colorAt(e.name));
        QCOMPARE(back.background.style(), Qt::SolidPattern);
    }

    void markerOtherThan509MeansNoTheme_data()
    {
        QTest::addColumn<QVariant>("marker");
        QTest::newRow("508") << QVariant(508);
        QTest::newRow("0") << QVariant(0);
        QTest::newRow("text") << QVariant("yes");
        QTest::newRow("509.5") << QVariant("509.5");
    }
    void markerOtherThan509MeansNoTheme()
    {
        QFETCH(QVariant, marker);
        std::unique_ptr<QSettings> store(openStore());
        themestore::save(*store, CustomColors::defaults());
        store->setValue("isThemeSet", marker);
        CustomColors colors;
        QVERIFY(!themestore::load(*store, colors));
        QVERIFY(!colors.ch1.isValid());
    }

    void unreadableColourTextsGiveTheEntrysDefault()
    {
        std::unique_ptr<QSettings> store(openStore());
        CustomColors saved = CustomColors::defaults();
        // Stored colours other than the defaults, so a fallback is told apart.
        saved.setColor("CH2", Qt::cyan);
        saved.setColor("BIT 4", Qt::magenta);
        saved.setColor("GRID", Qt::darkYellow);
        saved.setColor("BACKGROUND", Qt::darkBlue);
        saved.setColor("CH1 FFT", Qt::darkCyan);
        themestore::save(*store, saved);
        store->setValue("ch2", "#12345z");
        store->setValue("bit4", "no colour at all");
        store->setValue("background", "");
        store->remove("grid");
        store->setValue("ch1fft", QVariant::fromValue(QStringList{"#ff0000", "#00ff00"}));
        store->setValue("bitref3", "yellow"); // any name the colour parser knows
        store->sync();

        CustomColors colors;
        QVERIFY(themestore::load(*store, colors));
        QCOMPARE(colors.ch2, QColor(Qt::red));
        QCOMPARE(colors.bit[4], QColor(215, 44, 4));
        QCOMPARE(colors.grid, QColor(140, 140, 140));
        QCOMPARE(colors.ch1Fft, QColor(0, 200, 255));
        QCOMPARE(colors.background.color(), QColor(Qt::black));
        QCOMPARE(colors.background.style(), Qt::SolidPattern);
        QCOMPARE(colors.bitRef[3], QColor(Qt::yellow));
        QCOMPARE(colors.ch1, QColor(75, 229, 28));
        QCOMPARE(colors.bit[5], QColor(205, 54, 4));
    }
    // A colour that paints nothing is no colour: the entry's default is used.
    void transparentColoursGiveTheEntrysDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("expected");
        const QColor green(75, 229, 28);
        QTest::newRow("alpha 0, #AARRGGBB") << "ch1" << "CH1" << "#00ff0000" << green;
        QTest::newRow("named transparent") << "grid" << "GRID" << "transparent" << QColor(140, 140, 140);
        QTest::newRow("background alpha 0") << "background" << "BACKGROUND" << "#00ffffff" << QColor(Qt::black);
        QTest::newRow("alpha 1 still paints") << "ch1" << "CH1" << "#01ff0000" << QColor(255, 0, 0, 1);
        QTest::newRow("opaque #AARRGGBB") << "bit0" << "BIT 0" << "#ff0000ff" << QColor(Qt::blue);
    }
    void transparentColoursGiveTheEntrysDefault()
    {
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QColor, expected);
        std::unique_ptr<QSettings> store(openStore());
        CustomColors saved = CustomColors::defaults();
        saved.setColor(name, Qt::cyan); // told apart from the default
        themestore::save(*store, saved);
        store->setValue(key, text);
        store->sync();

        CustomColors colors;
        QVERIFY(themestore::load(*store, colors));
        QCOMPARE(colors.colorAt(name), expected);
        QCOMPARE(colors.colorAt(name).alpha(), expected.alpha());
    }
};

QUORVEL_CORE_TEST_MAIN(TestThemeStore)
#include "test_themestore.moc"
