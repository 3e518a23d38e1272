// Every resource path the program loads resolves in the compiled collection:
// bitmaps at the size their place on screen expects, icon containers with all
// their entries, and style sheets that parse and whose images load.

#include "quorveltest.h"

#include <QColor>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QRegularExpression>
#include <QWidget>
#include <QtEndian>

namespace {

const QString bitmaps = QStringLiteral(":/Bitmaps/Bitmaps/");

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

QStringList triggerTypes()
{
    return {"rising", "falling", "dual", "positive", "negative", "window1", "window2"};
}

// Mean colour of the opaque pixels.
QColor meanColour(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    qint64 r = 0, g = 0, b = 0, n = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb px = argb.pixel(x, y);
            if (qAlpha(px) < 255)
                continue;
            r += qRed(px);
            g += qGreen(px);
            b += qBlue(px);
            ++n;
        }
    }
    return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

QStringList parseWarnings;

void collectParseWarnings(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains("Could not parse"))
        parseWarnings << message;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void bitmapLoadsAtItsSize_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("transparentCorner");

        const struct
        {
            const char *name;
            QSize size;
            bool transparentCorner;
        } table[] = {
            // Connection lamp beside a 12-pixel label.
            {"led-on.png", {16, 16}, true},
            {"led-off.png", {16, 16}, true},
            // Markers drawn on the plot over any background colour.
            {"hcursorA.png", {24, 16}, true},
            {"hcursorB.png", {24, 16}, true},
            {"vcursorA.png", {32, 18}, true},
            {"chan1-zero.png", {24, 16}, true},
            {"chan2-zero.png", {24, 16}, true},
            // Record button icons.
            {"ico-record.png", {16, 16}, true},
            {"ico-record-active.png", {16, 16}, true},
            // 9-slice push button skins.
            {"btn-172-up.png", {172, 32}, true},
            {"btn-172-down.png", {172, 32}, true},
            {"btn-172-disable.png", {172, 32}, true},
            // Arrows inside the 17-pixel scroll-bar buttons.
            {"scroll-up.png", {9, 9}, true},
            {"scroll-down.png", {9, 9}, true},
            {"scroll-left.png", {9, 9}, true},
            {"scroll-right.png", {9, 9}, true},
            // Generator waveform radio buttons.
            {"wave-noise.png", {40, 24}, true},
            {"wave-sine.png", {40, 24}, true},
            {"wave-square.png", {40, 24}, true},
            {"wave-triangle.png", {40, 24}, true},
            {"wave-expo.png", {40, 24}, true},
            {"wave-custom.png", {40, 24}, true},
            // Window icon, logo and the About page background.
            {"HV-logo-256.png", {256, 256}, true},
            {"HV-logo.png", {128, 128}, true},
            {"ombrix.png", {480, 270}, false},
        };
        for (const auto &row : table)
            QTest::newRow(row.name) << bitmaps + row.name << row.size << row.transparentCorner;
        for (const QString &type : triggerTypes()) {
            for (const char *variant : {"g", "r"}) {
                const QString name = type + variant + ".png";
                QTest::newRow(qPrintable(name)) << bitmaps + name << QSize(16, 16) << true;
            }
        }
    }

    void bitmapLoadsAtItsSize()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(bool, transparentCorner);

        const QPixmap pixmap(path);
        QVERIFY2(!pixmap.isNull(), qPrintable(path));
        QCOMPARE(pixmap.size(), size);

        const QImage image(path);
        QCOMPARE(qAlpha(image.pixel(0, 0)) < 255, transparentCorner);
        // Something is drawn: at least one pixel in twenty is fully opaque.
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < argb.height(); ++y)
            for (int x = 0; x < argb.width(); ++x)
                opaque += qAlpha(argb.pixel(x, y)) == 255;
        QVERIFY2(opaque * 20 >= argb.width() * argb.height(), qPrintable(QString::number(opaque)));
    }

    // The trigger icon tells the source by its colour and the type by its
    // glyph: green for CH1, red for the others, and no two icons alike.
    void triggerIconsDifferByColourAndGlyph()
    {
        QList<QImage> seen;
        for (const QString &type : triggerTypes()) {
            const QColor green = meanColour(QImage(bitmaps + type + "g.png"));
            const QColor red = meanColour(QImage(bitmaps + type + "r.png"));
            QVERIFY2(green.green() > green.red() + 60, qPrintable(type));
            QVERIFY2(red.red() > red.green() + 60, qPrintable(type));
            for (const char *variant : {"g", "r"}) {
                const QImage image = QImage(bitmaps + type + variant + ".png").convertToFormat(QImage::Format_ARGB32);
                for (const QImage &other : seen)
                    QVERIFY2(image != other, qPrintable(type + variant));
                seen << image;
            }
        }
    }

    void windowsIconHoldsEverySize()
    {
        const QString path = bitmaps + "hv.ico";
        QImageReader reader(path);
        QVERIFY(reader.canRead());
        QList<QSize> sizes;
        for (int i = 0; i < reader.imageCount(); ++i) {
            QVERIFY(reader.jumpToImage(i));
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
            sizes << image.size();
        }
        QCOMPARE(sizes, (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {256, 256}}));
        QVERIFY(!QIcon(path).pixmap(32).isNull());
    }

    // Read by the platform's own loader on that platform only: check the
    // container's framing and that each entry is an image of its type's size.
    void macIconHoldsEverySize()
    {
        QFile f(bitmaps + "hv.icns");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        QVERIFY(data.startsWith("icns"));
        const auto *p = reinterpret_cast<const uchar *>(data.constData());
        QCOMPARE(qFromBigEndian<quint32>(p + 4), quint32(data.size()));
        QStringList entries;
        for (int pos = 8; pos < data.size();) {
            QVERIFY(data.size() - pos >= 8);
            const QByteArray type = data.mid(pos, 4);
            const int length = int(qFromBigEndian<quint32>(p + pos + 4));
            QVERIFY(length > 8 && length <= data.size() - pos);
            const QImage image = QImage::fromData(data.mid(pos + 8, length - 8));
            QVERIFY2(!image.isNull(), type.constData());
            entries << QString("%1:%2").arg(QString::fromLatin1(type)).arg(image.width());
            pos += length;
        }
        QCOMPARE(entries, (QStringList{"icp4:16", "icp5:32", "ic07:128", "ic08:256"}));
    }

    void styleSheetParsesAndItsImagesLoad_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("selectors");
        // Each sheet with selectors it must style.
        QTest::newRow("mac-css") << ":/Bitmaps/mac-css.qss"
                                 << QStringList{"QMainWindow", "QPushButton:disabled", "QTabBar::tab:selected",
                                                "QScrollBar::up-arrow", "QWidget#osciloscopeTab", "QLabel#frequencyValue"};
        QTest::newRow("mac-tab") << ":/Bitmaps/mac-tab.qss" << QStringList{"QTabBar::tab", "QLabel#label_19"};
        QTest::newRow("win-css") << ":/Bitmaps/win-css.qss"
                                 << QStringList{"QMainWindow", "QPushButton:disabled", "QTabBar::tab:selected",
                                                "QScrollBar::up-arrow", "QWidget#osciloscopeTab", "QLabel#frequencyValue"};
        QTest::newRow("win-tab") << ":/Bitmaps/win-tab.qss" << QStringList{"QTabBar::tab", "QLabel#label_19"};
        QTest::newRow("customtheme") << ":/Bitmaps/customtheme.qss"
                                     << QStringList{"QPushButton", "QPushButton#applyButton", "QPushButton#cancelButton"};
        QTest::newRow("colorDialogStyle") << ":/Bitmaps/colorDialogStyle.qss" << QStringList{"QPushButton:pressed"};
    }

    void styleSheetParsesAndItsImagesLoad()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, selectors);

        const QString sheet = readText(path);
        QVERIFY2(!sheet.trimmed().isEmpty(), qPrintable(path));
        for (const QString &selector : selectors)
            QVERIFY2(sheet.contains(selector), qPrintable(selector));

        const QRegularExpression url(R"(url\(([^)]*)\))");
        int images = 0;
        for (auto it = url.globalMatch(sheet); it.hasNext(); ++images) {
            const QString image = it.next().captured(1).trimmed();
            QVERIFY2(image.startsWith(bitmaps), qPrintable(image));
            QVERIFY2(!QPixmap(image).isNull(), qPrintable(image));
        }
        if (path.endsWith("-css.qss"))
            QCOMPARE(images, 7); // three button skins, four arrows

        parseWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectParseWarnings);
        QWidget widget;
        widget.setStyleSheet(sheet);
        widget.ensurePolished();
        qInstallMessageHandler(previous);
        QVERIFY2(parseWarnings.isEmpty(), qPrintable(parseWarnings.join('\n')));
    }
};

QUORVEL_TEST_MAIN(TestResources)
#include "test_resources.moc"
