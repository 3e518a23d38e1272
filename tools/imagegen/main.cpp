// Draws the bitmaps of app/resources/Bitmaps.
//   quorvel-imagegen <folder>                write the PNG files, hv.ico and hv.icns
//   quorvel-imagegen --check <folder>        exit 1 unless the folder holds exactly
//                                            what a fresh drawing gives (pixel for pixel)
//   quorvel-imagegen --sheet <file.png>      a 4x contact sheet of the small bitmaps

#include "artwork.h"
#include "iconcontainers.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSet>
#include <QStringList>
#include <QTextStream>
#include <cstring>

namespace {

const QList<int> icoSizes = {16, 32, 48, 256};

QList<iconcontainers::IcnsEntry> icnsEntries()
{
    return {
        {"icp4", artwork::drawAppIcon(16)},
        {"icp5", artwork::drawAppIcon(32)},
        {"ic07", artwork::drawAppIcon(128)},
        {"ic08", artwork::drawAppIcon(256)},
    };
}

QList<QImage> icoImages()
{
    QList<QImage> images;
    for (int size : icoSizes)
        images.append(artwork::drawAppIcon(size));
    return images;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        err() << "cannot write " << path << Qt::endl;
        return false;
    }
    return true;
}

int writeAll(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        err() << "cannot create " << folder << Qt::endl;
        return 1;
    }
    const QDir dir(folder);
    bool ok = true;
    for (const artwork::Bitmap &b : artwork::drawBitmaps())
        ok = writeFile(dir.filePath(b.fileName), iconcontainers::pngBytes(b.image)) && ok;
    ok = writeFile(dir.filePath("hv.ico"), iconcontainers::writeIco(icoImages())) && ok;
    ok = writeFile(dir.filePath("hv.icns"), iconcontainers::writeIcns(icnsEntries())) && ok;
    return ok ? 0 : 1;
}

bool samePixels(const QImage &a, const QImage &b)
{
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int checkAll(const QString &folder)
{
    const QDir dir(folder);
    int failures = 0;
    int passes = 0;
    auto verdict = [&](bool good, const QString &what) {
        if (good) {
            ++passes;
        } else {
            ++failures;
            err() << "MISMATCH " << what << Qt::endl;
        }
    };

    QSet<QString> expected;
    for (const artwork::Bitmap &b : artwork::drawBitmaps()) {
        expected.insert(b.fileName);
        const QImage onDisk(dir.filePath(b.fileName));
        verdict(!onDisk.isNull() && samePixels(onDisk, b.image), b.fileName);
    }
    for (const QString &name : dir.entryList({"*.png"}, QDir::Files))
        verdict(expected.contains(name), name + " is not drawn by the generator");

    QList<QImage> ico;
    const QList<QImage> wantIco = icoImages();
    bool icoOk = iconcontainers::readIco(readFile(dir.filePath("hv.ico")), &ico) && ico.size() == wantIco.size();
    for (int i = 0; icoOk && i < ico.size(); ++i)
        icoOk = samePixels(ico[i], wantIco[i]);
    verdict(icoOk, "hv.ico");

    QList<iconcontainers::IcnsEntry> icns;
    const QList<iconcontainers::IcnsEntry> wantIcns = icnsEntries();
    bool icnsOk =
        iconcontainers::readIcns(readFile(dir.filePath("hv.icns")), &icns) && icns.size() == wantIcns.size();
    for (int i = 0; icnsOk && i < icns.size(); ++i)
        icnsOk = icns[i].first == wantIcns[i].first && samePixels(icns[i].second, wantIcns[i].second);
    verdict(icnsOk, "hv.icns");

    QTextStream(stdout) << passes << " passed, " << failures << " failed" << Qt::endl;
    return failures == 0 ? 0 : 1;
}

int writeSheet(const QString &file)
{
    const int zoom = 4, pad = 8, rowWidth = 1100;
    std::vector<artwork::Bitmap> small;
    for (const artwork::Bitmap &b : artwork::drawBitmaps())
        if (b.image.width() <= 48)
            small.push_back(b);
    QImage sheet(rowWidth, 1200, QImage::Format_ARGB32);
    sheet.fill(QColor(0xeb, 0xec, 0xef));
    QPainter p(&sheet);
    int x = pad, y = pad, rowHeight = 0;
    // Each bitmap twice: on a light and on a black plot background.
    for (const artwork::Bitmap &b : small) {
        const int w = b.image.width() * zoom, h = b.image.height() * zoom;
        if (x + 2 * w + 3 * pad > rowWidth) {
            x = pad;
            y += rowHeight + pad;
            rowHeight = 0;
        }
        p.fillRect(x, y, w + pad, h + pad, Qt::white);
        p.drawImage(QRect(x + pad / 2, y + pad / 2, w, h), b.image);
        p.fillRect(x + w + pad, y, w + pad, h + pad, Qt::black);
        p.drawImage(QRect(x + w + pad + pad / 2, y + pad / 2, w, h), b.image);
        x += 2 * w + 3 * pad;
        rowHeight = qMax(rowHeight, h + pad);
    }
    // And once at their own size.
    x = pad;
    y += rowHeight + 2 * pad;
    for (const artwork::Bitmap &b : small) {
        p.drawImage(x, y, b.image);
        x += b.image.width() + pad;
    }
    p.end();
    return sheet.copy(0, 0, rowWidth, y + 40).save(file) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strncmp(argv[1], "--", 2) != 0)
        return writeAll(QString::fromLocal8Bit(argv[1]));
    if (argc == 3 && std::strcmp(argv[1], "--check") == 0)
        return checkAll(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--sheet") == 0)
        return writeSheet(QString::fromLocal8Bit(argv[2]));
    err() << "usage: quorvel-imagegen <folder> | --check <folder> | --sheet <file.png>" << Qt::endl;
    return 2;
}
