#pragma once
// Icon containers holding PNG-compressed entries: the Windows .ico format and
// the macOS .icns format.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>

namespace iconcontainers {

QByteArray pngBytes(const QImage &image);

// One entry per image; images up to 256 x 256.
QByteArray writeIco(const QList<QImage> &images);
bool readIco(const QByteArray &data, QList<QImage> *images);

// Entries as (four-letter type, image), e.g. ("ic08", 256 x 256 image).
using IcnsEntry = QPair<QByteArray, QImage>;
QByteArray writeIcns(const QList<IcnsEntry> &entries);
bool readIcns(const QByteArray &data, QList<IcnsEntry> *entries);

} // namespace iconcontainers
