#pragma once
// The program's bitmaps, drawn from code so that they share one palette and
// one stroke style and can be redrawn at any time.

#include <QImage>
#include <QString>
#include <vector>

namespace artwork {

struct Bitmap
{
    QString fileName;
    QImage image;
};

// Every PNG file of the resource folder, in a fixed order.
std::vector<Bitmap> drawBitmaps();

// The application mark at one edge length; detail is dropped at small sizes.
QImage drawAppIcon(int size);

} // namespace artwork
