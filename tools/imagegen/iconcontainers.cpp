#include "iconcontainers.h"

#include <QBuffer>
#include <QtEndian>

namespace iconcontainers {

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

namespace {

void appendLE16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void appendLE32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void appendBE32(QByteArray &out, quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}

constexpr int icoHeaderSize = 6;
constexpr int icoEntrySize = 16;
constexpr int icnsHeaderSize = 8;

} // namespace

QByteArray writeIco(const QList<QImage> &images)
{
    QByteArray header;
    QByteArray payload;
    appendLE16(header, 0); // reserved
    appendLE16(header, 1); // type: icon
    appendLE16(header, quint16(images.size()));
    quint32 offset = icoHeaderSize + icoEntrySize * quint32(images.size());
    for (const QImage &image : images) {
        const QByteArray png = pngBytes(image);
        // A stored 0 means 256 pixels.
        header.append(char(image.width() >= 256 ? 0 : image.width()));
        header.append(char(image.height() >= 256 ? 0 : image.height()));
        header.append(char(0)); // no palette
        header.append(char(0)); // reserved
        appendLE16(header, 1);  // colour planes
        appendLE16(header, 32); // bits per pixel
        appendLE32(header, quint32(png.size()));
        appendLE32(header, offset);
        offset += quint32(png.size());
        payload += png;
    }
    return header + payload;
}

bool readIco(const QByteArray &data, QList<QImage> *images)
{
    images->clear();
    if (data.size() < icoHeaderSize)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    if (qFromLittleEndian<quint16>(p) != 0 || qFromLittleEndian<quint16>(p + 2) != 1)
        return false;
    const int count = qFromLittleEndian<quint16>(p + 4);
    if (data.size() < icoHeaderSize + icoEntrySize * count)
        return false;
    for (int i = 0; i < count; ++i) {
        const uchar *e = p + icoHeaderSize + icoEntrySize * i;
        const int w = e[0] ? e[0] : 256;
        const int h = e[1] ? e[1] : 256;
        const quint32 size = qFromLittleEndian<quint32>(e + 8);
        const quint32 offset = qFromLittleEndian<quint32>(e + 12);
        if (quint64(offset) + size > quint64(data.size()))
            return false;
        const QImage image = QImage::fromData(data.mid(int(offset), int(size)), "PNG");
        if (image.isNull() || image.width() != w || image.height() != h)
            return false;
        images->append(image);
    }
    return true;
}

QByteArray writeIcns(const QList<IcnsEntry> &entries)
{
    QByteArray body;
    for (const IcnsEntry &entry : entries) {
        const QByteArray png = pngBytes(entry.second);
        body += entry.first.left(4);
        appendBE32(body, quint32(icnsHeaderSize + png.size()));
        body += png;
    }
    QByteArray out("icns");
    appendBE32(out, quint32(icnsHeaderSize + body.size()));
    return out + body;
}

bool readIcns(const QByteArray &data, QList<IcnsEntry> *entries)
{
    entries->clear();
    if (data.size() < icnsHeaderSize || !data.startsWith("icns"))
        return false;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    if (qFromBigEndian<quint32>(p + 4) != quint32(data.size()))
        return false;
    int pos = icnsHeaderSize;
    while (pos < data.size()) {
        if (data.size() - pos < icnsHeaderSize)
            return false;
        const quint32 length = qFromBigEndian<quint32>(p + pos + 4);
        if (length < icnsHeaderSize || length > quint32(data.size() - pos))
            return false;
        const QImage image = QImage::fromData(data.mid(pos + icnsHeaderSize, int(length) - icnsHeaderSize), "PNG");
        if (image.isNull())
            return false;
        entries->append({data.mid(pos, 4), image});
        pos += int(length);
    }
    return true;
}

} // namespace iconcontainers
