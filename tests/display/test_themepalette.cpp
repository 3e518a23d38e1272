// The colour table and the theme palettes.
#include "quorveltest.h"

#include "themes/customcolors.h"
#include "themes/themepalette.h"

#include <cmath>

class TestThemePalette : public QObject
{
    Q_OBJECT

private slots:
    void colorsStartInvalid()
    {
        const CustomColors colors;
        QVERIFY(!colors.ch1.isValid());
        QVERIFY(!colors.bitRef[7].isValid());
        QCOMPARE(colors.background.style(), Qt::NoBrush);
        QCOMPARE(colors.colorMap.size(), 25); // every name but BACKGROUND
        QVERIFY(!colors.colorMap.contains(QStringLiteral("BACKGROUND")));
    }

    void defaults_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("color");
        QTest::newRow("CH1") << "CH1" << QColor(75, 229, 28);
        QTest::newRow("CH1 REF") << "CH1 REF" << QColor(Qt::red);
        QTest::newRow("CH2") << "CH2" << QColor(Qt::red);
        QTest::newRow("CH2 REF") << "CH2 REF" << QColor(75, 229, 28);
        QTest::newRow("CH1 FFT") << "CH1 FFT" << QColor(0, 200, 255);
        QTest::newRow("CH2 FFT") << "CH2 FFT" << QColor(255, 160, 0);
        QTest::newRow("BIT 0") << "BIT 0" << QColor(255, 4, 4);
        QTest::newRow("BIT 7") << "BIT 7" << QColor(185, 74, 4);
        QTest::newRow("BIT 3 REF") << "BIT 3 REF" << QColor(Qt::blue);
        QTest::newRow("AXES") << "AXES" << QColor(Qt::white);
        QTest::newRow("GRID") << "GRID" << QColor(140, 140, 140);
        QTest::newRow("LABELS") << "LABELS" << QColor(75, 229, 28);
        QTest::newRow("BACKGROUND") << "BACKGROUND" << QColor(Qt::black);
        QTest::newRow("unknown name") << "CH3" << QColor();
    }
    void defaults()
    {
        QFETCH(QString, name);
        QFETCH(QColor, color);
        const CustomColors colors = CustomColors::defaults();
        QCOMPARE(colors.colorAt(name), color);
        QCOMPARE(colors.background.style(), Qt::SolidPattern);
    }

    void setColorWritesTheNamedField()
    {
        CustomColors colors = CustomColors::defaults();
        colors.setColor(QStringLiteral("BIT 3 REF"), Qt::yellow);
        QCOMPARE(colors.bitRef[3], QColor(Qt::yellow));
        QCOMPARE(colors.bit[3], QColor(225, 34, 4));
        QCOMPARE(colors.bitRef[2], QColor(Qt::blue));

        colors.setColor(QStringLiteral("BACKGROUND"), QColor(10, 20, 30));
        QCOMPARE(colors.background.color(), QColor(10, 20, 30));
        QCOMPARE(colors.background.style(), Qt::SolidPattern);

        const CustomColors before = colors;
        colors.setColor(QStringLiteral("NOT A NAME"), Qt::cyan);
        for (const QString &name : colors.colorMap.keys())
            QCOMPARE(colors.colorAt(name), before.colorAt(name));
    }

    void copiesKeepTheirOwnTable()
    {
        CustomColors original = CustomColors::defaults();
        CustomColors copy(original);
        CustomColors assigned;
        assigned = original;
        copy.setColor(QStringLiteral("CH1"), Qt::cyan);
        assigned.setColor(QStringLiteral("GRID"), Qt::magenta);
        QCOMPARE(original.ch1, QColor(75, 229, 28));
        QCOMPARE(original.grid, QColor(140, 140, 140));
        QCOMPARE(copy.ch1, QColor(Qt::cyan));
        QCOMPARE(assigned.grid, QColor(Qt::magenta));
        QCOMPARE(assigned.colorAt(QStringLiteral("BIT 5")), QColor(205, 54, 4));
    }

    void builtInPalettes_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<QColor>("ch1");
        QTest::addColumn<QColor>("logic3");
        QTest::addColumn<QColor>("fft1");
        QTest::addColumn<QColor>("fft2");
        QTest::addColumn<QColor>("grid");
        QTest::addColumn<int>("gridStyle");
        QTest::addColumn<QColor>("axis");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("labels");
        QTest::newRow("dark") << 0 << QColor(75, 229, 28) << QColor(225, 34, 4) << QColor("#00c8ff") << QColor("#ffa000")
                              << QColor(140, 140, 140) << int(Qt::SolidLine) << QColor(Qt::white)
                              << QColor(Qt::black) << QColor("#4be51c");
        QTest::newRow("light") << 1 << QColor("#2a50fd") << QColor(64, 3, 240) << QColor("#008080") << QColor("#c000c0")
                               << QColor("#C8C8C8") << int(Qt::DotLine) << QColor(Qt::black)
                               << QColor(Qt::white) << QColor(Qt::red);
    }
    void builtInPalettes()
    {
        QFETCH(int, theme);
        QFETCH(QColor, ch1);
        QFETCH(QColor, logic3);
        QFETCH(QColor, fft1);
        QFETCH(QColor, fft2);
        QFETCH(QColor, grid);
        QFETCH(int, gridStyle);
        QFETCH(QColor, axis);
        QFETCH(QColor, background);
        QFETCH(QColor, labels);
        CustomColors ignored; // invalid colours: a built-in theme must not read them
        const theme::Palette p = theme::palette(theme, &ignored);
        QCOMPARE(p.ch1.color(), ch1);
        QCOMPARE(p.ch1.widthF(), 2.0);
        QCOMPARE(p.ch1.capStyle(), Qt::SquareCap);
        QCOMPARE(p.ch1.joinStyle(), Qt::BevelJoin);
        QCOMPARE(p.ch2.color(), QColor(Qt::red));
        QCOMPARE(p.refCh1.color(), QColor(Qt::red));
        QCOMPARE(p.refCh2.color(), QColor("#4be51c"));
        QCOMPARE(p.ch1Persist[0].color(), ch1);
        QCOMPARE(p.ch1Persist[0].widthF(), 1.0);
        QCOMPARE(p.ch1Persist[8].widthF(), 0.0);
        QCOMPARE(p.ch2Persist[4].color(), QColor(Qt::red));
        QCOMPARE(p.logic[3].color(), logic3);
        QCOMPARE(p.logic[3].widthF(), 1.5);
        QCOMPARE(p.refLogic[6].color(), QColor(Qt::blue));
        QCOMPARE(p.fft1.color(), fft1);
        QCOMPARE(p.fft2.color(), fft2);
        // A spectrum is never drawn in a trace's colour.
        for (const QPen &trace : {p.ch1, p.ch2, p.refCh1, p.refCh2})
            for (const QPen &fft : {p.fft1, p.fft2})
                QVERIFY(trace.color() != fft.color());
        QCOMPARE(p.grid.color(), grid);
        QCOMPARE(int(p.grid.style()), gridStyle);
        QCOMPARE(p.axis.color(), axis);
        QCOMPARE(p.background.color(), background);
        QCOMPARE(p.labels, labels);
    }

    void customPaletteReadsTheTable()
    {
        CustomColors colors = CustomColors::defaults();
        colors.setColor(QStringLiteral("CH1"), Qt::cyan);
        colors.setColor(QStringLiteral("BIT 3 REF"), Qt::yellow);
        colors.setColor(QStringLiteral("BACKGROUND"), QColor(20, 20, 60));
        colors.setColor(QStringLiteral("LABELS"), Qt::magenta);
        const theme::Palette p = theme::palette(theme::Custom, &colors);
        QCOMPARE(p.ch1.color(), QColor(Qt::cyan));
        QCOMPARE(p.ch1Persist[3].color(), QColor(Qt::cyan));
        QCOMPARE(p.refLogic[3].color(), QColor(Qt::yellow));
        QCOMPARE(p.refLogic[2].color(), QColor(Qt::blue));
        QCOMPARE(p.logic[3].color(), QColor(225, 34, 4));
        QCOMPARE(p.grid.style(), Qt::DotLine);
        QCOMPARE(p.background.color(), QColor(20, 20, 60));
        QCOMPARE(p.labels, QColor(Qt::magenta));
        QCOMPARE(p.ch1.widthF(), 2.0);
    }

    // A green badge with a darker border around a grey symbol, in another colour.
    void tintedIconTakesTheColour_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QColor>("symbol");
        QTest::newRow("dark blue: white symbol") << QColor("#2a50fd") << QColor(Qt::white);
        QTest::newRow("red: white symbol") << QColor(Qt::red) << QColor(Qt::white);
        QTest::newRow("yellow: dark symbol") << QColor(230, 200, 0) << QColor("#2b2d33");
        QTest::newRow("the badge's own green") << QColor(75, 229, 28) << QColor("#2b2d33");
    }
    void tintedIconTakesTheColour()
    {
        QFETCH(QColor, color);
        QFETCH(QColor, symbol);
        const QColor badge(75, 229, 28), border(46, 143, 16), grey(43, 45, 51);
        QImage icon(8, 1, QImage::Format_ARGB32);
        const QColor pixels[] = {badge, badge, badge, border, grey, QColor(0, 0, 0, 0), QColor(75, 229, 28, 128), badge};
        for (int x = 0; x < 8; ++x)
            icon.setPixelColor(x, 0, pixels[x]);
        const QImage out = theme::tintedIcon(icon, color);
        QCOMPARE(out.size(), icon.size());
        auto near = [](const QColor &a, const QColor &b) {
            return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
                   std::abs(a.blue() - b.blue()) <= 2 && a.alpha() == b.alpha();
        };
        QVERIFY2(near(out.pixelColor(0, 0), color), qPrintable(out.pixelColor(0, 0).name()));
        // The border keeps its shade: the colour's hue, darker by the border's ratio.
        const QColor edge = out.pixelColor(3, 0);
        QVERIFY(std::abs(edge.hsvHue() - color.hsvHue()) <= 2);
        QVERIFY2(std::fabs(edge.valueF() - color.valueF() * border.valueF() / badge.valueF()) < 0.01,
                 qPrintable(edge.name()));
        QVERIFY2(near(out.pixelColor(4, 0), symbol), qPrintable(out.pixelColor(4, 0).name()));
        QCOMPARE(out.pixelColor(5, 0).alpha(), 0);
        QColor half = color;
        half.setAlpha(128);
        QVERIFY2(near(out.pixelColor(6, 0), half), qPrintable(out.pixelColor(6, 0).name(QColor::HexArgb)));
        QCOMPARE(out == icon, color == badge); // an icon in its own colour is not redrawn
    }

    // References are dashed in every theme, so that they are not taken for live traces.
    void referencesAreDashed()
    {
        const CustomColors colors = CustomColors::defaults();
        for (int t : {theme::Dark, theme::Light, theme::Custom}) {
            const theme::Palette p = theme::palette(t, &colors);
            for (const QPen &pen : {p.refCh1, p.refCh2, p.refLogic[0], p.refLogic[7]})
                QCOMPARE(pen.style(), Qt::DashLine);
            for (const QPen &pen : {p.ch1, p.ch2, p.logic[0]})
                QCOMPARE(pen.style(), Qt::SolidLine);
        }
    }

    void gridPens_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("applied");
        QTest::addColumn<int>("style");
        QTest::addColumn<QColor>("color");
        QTest::newRow("dark no grid") << 0 << 0 << true << int(Qt::NoPen) << QColor();
        QTest::newRow("dark dots") << 0 << 1 << true << int(Qt::DotLine) << QColor(140, 140, 140);
        QTest::newRow("light lines") << 1 << 2 << true << int(Qt::SolidLine) << QColor("#C8C8C8");
        QTest::newRow("custom full") << 2 << 3 << true << int(Qt::SolidLine) << QColor(Qt::green);
        QTest::newRow("theme 3") << 3 << 1 << false << 0 << QColor();
        QTest::newRow("theme -1") << -1 << 2 << false << 0 << QColor();
    }
    void gridPens()
    {
        QFETCH(int, theme);
        QFETCH(int, mode);
        QFETCH(bool, applied);
        QFETCH(int, style);
        QFETCH(QColor, color);
        CustomColors colors = CustomColors::defaults();
        colors.grid = Qt::green;
        QPen pen(Qt::cyan);
        QCOMPARE(theme::gridPen(theme, mode, &colors, pen), applied);
        if (!applied) {
            QCOMPARE(pen.color(), QColor(Qt::cyan));
            return;
        }
        QCOMPARE(int(pen.style()), style);
        if (style != Qt::NoPen) {
            QCOMPARE(pen.color(), color);
            QCOMPARE(pen.widthF(), 1.0);
            QCOMPARE(pen.capStyle(), Qt::SquareCap);
        }
    }

    void historyDimming_data()
    {
        QTest::addColumn<QColor>("trace");
        QTest::addColumn<int>("intensity");
        QTest::addColumn<int>("theme");
        QTest::addColumn<double>("lightness");
        const QColor green(75, 229, 28);
        const double l = (229 + 28) / 2.0 / 255.0; // 0.5039
        QTest::newRow("dark 0") << green << 0 << 0 << l;
        QTest::newRow("dark 5") << green << 5 << 0 << l - 0.5 * (l - 0.05);
        QTest::newRow("dark 10") << green << 10 << 0 << 0.05;
        QTest::newRow("custom 5") << green << 5 << 2 << l - 0.5 * (l - 0.05);
        const QColor blue("#2a50fd");
        const double lb = (0xfd + 0x2a) / 2.0 / 255.0;
        QTest::newRow("light 0") << blue << 0 << 1 << 1.0 - lb;
        QTest::newRow("light 10") << blue << 10 << 1 << 0.95;
    }
    void historyDimming()
    {
        QFETCH(QColor, trace);
        QFETCH(int, intensity);
        QFETCH(int, theme);
        QFETCH(double, lightness);
        const QColor dimmed = theme::dimmedHistoryColor(trace, intensity, theme);
        // QColor keeps HSL in 16 bits per component.
        QVERIFY2(std::fabs(dimmed.lightnessF() - lightness) < 1e-4,
                 qPrintable(QString::number(dimmed.lightnessF())));
        QVERIFY(std::fabs(dimmed.hslHueF() - trace.hslHueF()) < 1e-3);
        QCOMPARE(dimmed.alphaF(), 1.0);
    }

    void darkIntensityFiveMatchesTheWorkedValue()
    {
        const QColor dimmed = theme::dimmedHistoryColor(QColor(75, 229, 28), 5, 0);
        QVERIFY(std::fabs(dimmed.lightnessF() - 0.277) < 0.001);
    }

    void swatchStyleSheet()
    {
        QCOMPARE(theme::swatchStyleSheet(QColor(75, 229, 28)),
                 QStringLiteral("QLabel { background-color : #4be51c; }"));
    }
};

QUORVEL_CORE_TEST_MAIN(TestThemePalette)
#include "test_themepalette.moc"
