#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace artwork {

namespace {

// One palette for every bitmap: the window greys of the style sheets, the
// trace colours of the plot and the cursor colours of the scene.
namespace colour {
const QColor ink(0x2b, 0x2d, 0x33);
const QColor white(0xff, 0xff, 0xff);
const QColor frame(0x56, 0x59, 0x61);
const QColor ch1(0x4b, 0xe5, 0x1c);
const QColor ch1Edge(0x2e, 0x8f, 0x10);
const QColor ch2(0xf0, 0x2a, 0x2a);
const QColor ch2Edge(0xa3, 0x14, 0x14);
const QColor hCursor(0x16, 0x92, 0xe5);
const QColor hCursorEdge(0x0e, 0x67, 0xa3);
const QColor vCursor(0xe0, 0x4e, 0x4e);
const QColor vCursorEdge(0xa5, 0x2f, 0x2f);
} // namespace colour

// Every glyph is drawn with round 2-pixel strokes on whole-pixel coordinates.
constexpr qreal glyphStroke = 2.0;

// Dark glyphs on light fills, white glyphs on dark ones (the same luminance
// rule as the colour buttons of the theme dialog).
QColor glyphColourOn(const QColor &fill)
{
    const double y = 0.299 * fill.red() + 0.587 * fill.green() + 0.114 * fill.blue();
    return 255 - int(y) > 104 ? colour::white : colour::ink;
}

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage finished(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

void beginPainter(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
}

QPen glyphPen(const QColor &c, qreal width = glyphStroke)
{
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath polyline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF &pt : points) {
        if (first)
            path.moveTo(pt);
        else
            path.lineTo(pt);
        first = false;
    }
    return path;
}

// Filled arrow head whose tip lies at `tip`, pointing along `direction`.
void arrowHead(QPainter &p, QPointF tip, QPointF direction, qreal length, qreal halfWidth, const QColor &c)
{
    const qreal n = std::hypot(direction.x(), direction.y());
    const QPointF d = direction / n;
    const QPointF normal(-d.y(), d.x());
    const QPointF base = tip - d * length;
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(base + normal * halfWidth);
    head.lineTo(base - normal * halfWidth);
    head.closeSubpath();
    p.setPen(QPen(c, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(c);
    p.drawPath(head);
    p.setBrush(Qt::NoBrush);
}

// ---------------------------------------------------------------- trigger icons

enum class TriggerGlyph { Rising, Falling, Dual, Positive, Negative, WindowLower, WindowUpper };

constexpr int triggerIconSize = 16;
// Thinner than the other glyphs: a trigger glyph carries arrow heads too.
constexpr qreal triggerStroke = 1.5;

QImage triggerIcon(TriggerGlyph glyph, const QColor &fill, const QColor &edge)
{
    QImage image = canvas(triggerIconSize, triggerIconSize);
    QPainter p(&image);
    beginPainter(p);
    p.setPen(QPen(edge, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);

    const QColor ink = glyphColourOn(fill);
    p.setPen(glyphPen(ink, triggerStroke));
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case TriggerGlyph::Rising:
        p.drawPath(polyline({{2.5, 12.5}, {8, 12.5}, {8, 3.5}, {13.5, 3.5}}));
        arrowHead(p, {8, 6}, {0, -1}, 3.5, 2.3, ink);
        break;
    case TriggerGlyph::Falling:
        p.drawPath(polyline({{2.5, 3.5}, {8, 3.5}, {8, 12.5}, {13.5, 12.5}}));
        arrowHead(p, {8, 10}, {0, 1}, 3.5, 2.3, ink);
        break;
    case TriggerGlyph::Dual:
        p.drawPath(polyline({{2, 12.5}, {5, 12.5}, {5, 3.5}, {11, 3.5}, {11, 12.5}, {14, 12.5}}));
        arrowHead(p, {5, 6}, {0, -1}, 3.2, 2.1, ink);
        arrowHead(p, {11, 10}, {0, 1}, 3.2, 2.1, ink);
        break;
    case TriggerGlyph::Positive:
        p.drawPath(polyline({{2, 12.5}, {4.5, 12.5}, {11.5, 3.5}, {14, 3.5}}));
        arrowHead(p, {9.7, 5.8}, {7, -9}, 3.5, 2.3, ink);
        break;
    case TriggerGlyph::Negative:
        p.drawPath(polyline({{2, 3.5}, {4.5, 3.5}, {11.5, 12.5}, {14, 12.5}}));
        arrowHead(p, {9.7, 10.2}, {7, 9}, 3.5, 2.3, ink);
        break;
    case TriggerGlyph::WindowUpper:
    case TriggerGlyph::WindowLower: {
        // The window between two levels, the marked level drawn solid.
        const bool upper = glyph == TriggerGlyph::WindowUpper;
        const qreal marked = upper ? 3.5 : 12.5, other = upper ? 12.5 : 3.5;
        QColor band = ink;
        band.setAlpha(70);
        p.fillRect(QRectF(3, 4.5, 10, 7), band);
        p.setPen(QPen(ink, 1.0, Qt::DotLine, Qt::FlatCap));
        p.drawLine(QPointF(3, other), QPointF(13, other));
        p.setPen(glyphPen(ink, 2.0));
        p.drawLine(QPointF(2.5, marked), QPointF(13.5, marked));
        break;
    }
    }
    p.end();
    return finished(image);
}

// ---------------------------------------------------------------- plot markers

// A tab pointing right; its right tip is where the dotted line leaves it.
QPainterPath rightTab(qreal w, qreal h)
{
    const qreal r = 3;
    const qreal point = 7;
    QPainterPath path;
    path.moveTo(0.5 + r, 0.5);
    path.lineTo(w - 0.5 - point, 0.5);
    path.lineTo(w - 0.5, h / 2);
    path.lineTo(w - 0.5 - point, h - 0.5);
    path.lineTo(0.5 + r, h - 0.5);
    path.quadTo(0.5, h - 0.5, 0.5, h - 0.5 - r);
    path.lineTo(0.5, 0.5 + r);
    path.quadTo(0.5, 0.5, 0.5 + r, 0.5);
    path.closeSubpath();
    return path;
}

enum class Letter { A, B, One, Two };

// Letters and digits of the markers, 7 x 9 pixels from (x, 3.5).
QPainterPath letterPath(Letter letter, qreal x)
{
    const qreal top = 3.5, bottom = 12.5, mid = 8.0;
    QPainterPath path;
    switch (letter) {
    case Letter::A:
        path.moveTo(x, bottom);
        path.lineTo(x + 3.5, top);
        path.lineTo(x + 7, bottom);
        path.moveTo(x + 1.4, 9.3);
        path.lineTo(x + 5.6, 9.3);
        break;
    case Letter::B:
        path.moveTo(x + 0.5, mid);
        path.lineTo(x + 4, mid);
        path.quadTo(x + 6.6, mid, x + 6.6, mid + 2.25);
        path.quadTo(x + 6.6, bottom, x + 4, bottom);
        path.lineTo(x + 0.5, bottom);
        path.lineTo(x + 0.5, top);
        path.lineTo(x + 3.6, top);
        path.quadTo(x + 6, top, x + 6, top + 2.25);
        path.quadTo(x + 6, mid, x + 3.6, mid);
        break;
    case Letter::One:
        path.moveTo(x + 1.2, top + 2);
        path.lineTo(x + 4, top);
        path.lineTo(x + 4, bottom);
        break;
    case Letter::Two:
        path.moveTo(x + 0.6, top + 2.2);
        path.quadTo(x + 1.0, top, x + 3.5, top);
        path.quadTo(x + 6.4, top, x + 6.4, top + 2.5);
        path.quadTo(x + 6.4, top + 4.2, x + 3.8, top + 5.8);
        path.lineTo(x + 0.6, bottom);
        path.lineTo(x + 6.8, bottom);
        break;
    }
    return path;
}

constexpr int tabWidth = 24, tabHeight = 16;

QImage tabMarker(Letter letter, const QColor &fill, const QColor &edge)
{
    QImage image = canvas(tabWidth, tabHeight);
    QPainter p(&image);
    beginPainter(p);
    p.setPen(QPen(edge, 1.0));
    p.setBrush(fill);
    p.drawPath(rightTab(tabWidth, tabHeight));
    p.setPen(glyphPen(glyphColourOn(fill), 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(letterPath(letter, 4.5));
    p.end();
    return finished(image);
}

// The vertical cursor marker: a tab pointing down, centred in a 32-pixel
// wide image so that the image's centre column is the cursor's column.
QImage verticalCursorMarker()
{
    const int w = 32, h = 18;
    QImage image = canvas(w, h);
    QPainter p(&image);
    beginPainter(p);
    QPainterPath path;
    const qreal left = 9.5, right = 22.5, r = 3;
    path.moveTo(left + r, 0.5);
    path.lineTo(right - r, 0.5);
    path.quadTo(right, 0.5, right, 0.5 + r);
    path.lineTo(right, 10.5);
    path.lineTo(16, 17.5);
    path.lineTo(left, 10.5);
    path.lineTo(left, 0.5 + r);
    path.quadTo(left, 0.5, left + r, 0.5);
    path.closeSubpath();
    p.setPen(QPen(colour::vCursorEdge, 1.0));
    p.setBrush(colour::vCursor);
    p.drawPath(path);
    // A grip: the marker is dragged sideways.
    p.setPen(QPen(glyphColourOn(colour::vCursor), 1.0, Qt::SolidLine, Qt::FlatCap));
    for (qreal x : {13.5, 16.0, 18.5})
        p.drawLine(QPointF(x, 3.5), QPointF(x, 9.5));
    p.end();
    return finished(image);
}

// ---------------------------------------------------------------- lamps and record

QImage lamp(const QColor &centre, const QColor &body, const QColor &rim)
{
    QImage image = canvas(16, 16);
    QPainter p(&image);
    beginPainter(p);
    QRadialGradient g(QPointF(6.5, 6.0), 7.5);
    g.setColorAt(0.0, centre);
    g.setColorAt(0.55, body);
    g.setColorAt(1.0, rim);
    p.setPen(QPen(rim, 1.0));
    p.setBrush(g);
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    // Specular highlight.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QPointF(6.2, 5.6), 2.2, 1.6);
    p.end();
    return finished(image);
}

QImage recordIcon(bool active)
{
    QImage image = canvas(16, 16);
    QPainter p(&image);
    beginPainter(p);
    const QColor dot = active ? colour::ch2 : colour::vCursor;
    if (active) {
        p.setPen(QPen(QColor(dot.red(), dot.green(), dot.blue(), 140), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8, 8), 6.75, 6.75);
    }
    const qreal r = active ? 4.0 : 5.5;
    QRadialGradient g(QPointF(7, 6.5), r + 1);
    g.setColorAt(0.0, dot.lighter(135));
    g.setColorAt(1.0, dot);
    p.setPen(QPen(active ? colour::ch2Edge : colour::vCursorEdge, 1.0));
    p.setBrush(g);
    p.drawEllipse(QPointF(8, 8), r, r);
    p.end();
    return finished(image);
}

// ---------------------------------------------------------------- button skins

enum class ButtonState { Up, Down, Disabled };

// A 9-slice skin: 4-pixel corners, a vertical gradient in between.
QImage buttonSkin(ButtonState state)
{
    const int w = 172, h = 32;
    QImage image = canvas(w, h);
    QPainter p(&image);
    beginPainter(p);
    QLinearGradient g(0, 0, 0, h);
    QColor border;
    switch (state) {
    case ButtonState::Up:
        g.setColorAt(0, QColor(0xff, 0xff, 0xff));
        g.setColorAt(1, QColor(0xee, 0xef, 0xf2));
        border = QColor(0xb4, 0xb7, 0xbf);
        break;
    case ButtonState::Down:
        g.setColorAt(0, QColor(0xd6, 0xd8, 0xde));
        g.setColorAt(1, QColor(0xe6, 0xe7, 0xeb));
        border = QColor(0x8c, 0x8f, 0x98);
        break;
    case ButtonState::Disabled:
        g.setColorAt(0, QColor(0xf5, 0xf5, 0xf7));
        g.setColorAt(1, QColor(0xf5, 0xf5, 0xf7));
        border = QColor(0xd6, 0xd8, 0xdd);
        break;
    }
    const QRectF frame(0.5, 0.5, w - 1, h - 1);
    p.setPen(QPen(border, 1.0));
    p.setBrush(g);
    p.drawRoundedRect(frame, 3.5, 3.5);
    p.setBrush(Qt::NoBrush);
    if (state == ButtonState::Up) {
        p.setPen(QPen(QColor(0, 0, 0, 22), 1.0));
        p.drawLine(QPointF(3, h - 1.5), QPointF(w - 3, h - 1.5));
    } else if (state == ButtonState::Down) {
        p.setPen(QPen(QColor(0, 0, 0, 30), 1.0));
        p.drawLine(QPointF(3, 1.5), QPointF(w - 3, 1.5));
    }
    p.end();
    return finished(image);
}

// ---------------------------------------------------------------- scroll-bar arrows

enum class Direction { Up, Down, Left, Right };

QImage scrollArrow(Direction d)
{
    QImage image = canvas(9, 9);
    QPainter p(&image);
    beginPainter(p);
    QTransform t;
    t.translate(4.5, 4.5);
    switch (d) {
    case Direction::Up: break;
    case Direction::Down: t.rotate(180); break;
    case Direction::Left: t.rotate(-90); break;
    case Direction::Right: t.rotate(90); break;
    }
    p.setTransform(t);
    QPainterPath triangle;
    triangle.moveTo(0, -2.5);
    triangle.lineTo(4, 2.0);
    triangle.lineTo(-4, 2.0);
    triangle.closeSubpath();
    p.setPen(QPen(colour::frame, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour::frame);
    p.drawPath(triangle);
    p.end();
    return finished(image);
}

// ---------------------------------------------------------------- waveform icons

enum class Wave { Noise, Sine, Square, Triangle, Expo, Custom };

// Sized for the generator page's radio buttons, which show no text.
constexpr int waveWidth = 40, waveHeight = 24;

QImage waveIcon(Wave wave)
{
    QImage image = canvas(waveWidth, waveHeight);
    QPainter p(&image);
    beginPainter(p);
    p.setPen(glyphPen(colour::ink));
    const qreal left = 3, right = waveWidth - 3, top = 4, bottom = waveHeight - 4;
    const qreal mid = (top + bottom) / 2, amp = (bottom - top) / 2, w = right - left;
    auto at = [&](qreal t, qreal v) { return QPointF(left + t * w, mid - v * amp); };
    QPainterPath path;
    switch (wave) {
    case Wave::Noise: {
        static const qreal vs[] = {0.1, 0.7, -0.4, 0.3, -0.9, 0.5, -0.2, 1.0, -0.6, 0.2,
                                   -1.0, 0.6, -0.3, 0.8, -0.5, 0.0, 0.4};
        const int n = int(sizeof vs / sizeof vs[0]);
        path.moveTo(at(0, vs[0]));
        for (int i = 1; i < n; ++i)
            path.lineTo(at(qreal(i) / (n - 1), vs[i]));
        break;
    }
    case Wave::Sine:
        path.moveTo(at(0, 0));
        for (int i = 1; i <= 120; ++i)
            path.lineTo(at(i / 120.0, std::sin(4 * M_PI * i / 120.0)));
        break;
    case Wave::Square:
        path.moveTo(at(0, -1));
        for (int k = 0; k < 2; ++k) {
            const qreal t0 = 0.08 + k * 0.5;
            path.lineTo(at(t0, -1));
            path.lineTo(at(t0, 1));
            path.lineTo(at(t0 + 0.25, 1));
            path.lineTo(at(t0 + 0.25, -1));
        }
        path.lineTo(at(1, -1));
        break;
    case Wave::Triangle:
        path.moveTo(at(0, 0));
        path.lineTo(at(0.125, 1));
        path.lineTo(at(0.375, -1));
        path.lineTo(at(0.625, 1));
        path.lineTo(at(0.875, -1));
        path.lineTo(at(1, 0));
        break;
    case Wave::Expo: {
        // Two exponential charging ramps, each ending in a drop.
        path.moveTo(at(0, -1));
        const qreal span = 0.46;
        for (int k = 0; k < 2; ++k) {
            const qreal t0 = 0.02 + k * 0.5;
            for (int i = 0; i <= 40; ++i) {
                const qreal u = i / 40.0;
                const qreal v = -1 + 2 * (1 - std::exp(-3.0 * u)) / (1 - std::exp(-3.0));
                path.lineTo(at(t0 + span * u, v));
            }
            path.lineTo(at(t0 + span, -1));
        }
        path.lineTo(at(1, -1));
        break;
    }
    case Wave::Custom: {
        static const qreal vs[] = {-0.6, 0.5, -0.1, 0.9, 0.2, -0.9, -0.3, 0.6, 0.1};
        const int n = int(sizeof vs / sizeof vs[0]);
        path.moveTo(at(0, vs[0]));
        for (int i = 1; i < n; ++i)
            path.lineTo(at(qreal(i) / (n - 1), vs[i]));
        p.drawPath(path);
        // The edited points.
        p.setPen(Qt::NoPen);
        p.setBrush(colour::ch1Edge);
        for (int i = 1; i < n - 1; i += 2)
            p.drawEllipse(at(qreal(i) / (n - 1), vs[i]), 2.0, 2.0);
        path = QPainterPath();
        break;
    }
    }
    p.drawPath(path);
    p.end();
    return finished(image);
}

// ---------------------------------------------------------------- mark and banner

// Stroke letters of the word mark, each in a box of width w and height h.
void strokeLetter(QPainterPath &path, QChar c, qreal x, qreal y, qreal w, qreal h)
{
    const qreal bowl = h * 0.47;
    switch (c.unicode()) {
    case 'H':
        path.moveTo(x, y);
        path.lineTo(x, y + h);
        path.moveTo(x + w, y);
        path.lineTo(x + w, y + h);
        path.moveTo(x, y + h * 0.5);
        path.lineTo(x + w, y + h * 0.5);
        break;
    case 'V':
        path.moveTo(x, y);
        path.lineTo(x + w / 2, y + h);
        path.lineTo(x + w, y);
        break;
    case 'O':
        path.addEllipse(QRectF(x, y, w, h));
        break;
    case 'M':
        path.moveTo(x, y + h);
        path.lineTo(x, y);
        path.lineTo(x + w / 2, y + h * 0.62);
        path.lineTo(x + w, y);
        path.lineTo(x + w, y + h);
        break;
    case 'B':
    case 'R': {
        const qreal r = bowl / 2;
        path.moveTo(x, y + h);
        path.lineTo(x, y);
        path.lineTo(x + w - r, y);
        path.arcTo(QRectF(x + w - 2 * r, y, 2 * r, bowl), 90, -180);
        path.lineTo(x, y + bowl);
        if (c == 'B') {
            const qreal r2 = (h - bowl) / 2;
            path.moveTo(x + w - r2 - w * 0.05, y + bowl);
            path.arcTo(QRectF(x + w - 2 * r2 + w * 0.08, y + bowl, 2 * r2, h - bowl), 90, -180);
            path.lineTo(x, y + h);
        } else {
            path.moveTo(x + w * 0.45, y + bowl);
            path.lineTo(x + w, y + h);
        }
        break;
    }
    case 'I':
        path.moveTo(x + w / 2, y);
        path.lineTo(x + w / 2, y + h);
        break;
    case 'X':
        path.moveTo(x, y);
        path.lineTo(x + w, y + h);
        path.moveTo(x + w, y);
        path.lineTo(x, y + h);
        break;
    default:
        break;
    }
}

QPainterPath sineTrace(QRectF box, qreal cycles, qreal phase)
{
    QPainterPath path;
    const int steps = 200;
    for (int i = 0; i <= steps; ++i) {
        const qreal t = qreal(i) / steps;
        const QPointF pt(box.left() + t * box.width(),
                         box.center().y() - box.height() / 2 * std::sin(2 * M_PI * (cycles * t + phase)));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    return path;
}

void paintAppIcon(QPainter &p, qreal s)
{
    const QRectF body(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
    QLinearGradient g(0, body.top(), 0, body.bottom());
    g.setColorAt(0, QColor(0x3b, 0x40, 0x4b));
    g.setColorAt(1, QColor(0x1e, 0x21, 0x27));
    p.setPen(QPen(QColor(0x12, 0x13, 0x17), qMax(1.0, s / 128)));
    p.setBrush(g);
    p.drawRoundedRect(body, s * 0.18, s * 0.18);

    const bool detailed = s >= 48;
    const QRectF screen = body.adjusted(s * 0.12, s * 0.12, -s * 0.12, -s * 0.12);
    if (detailed) {
        p.setPen(QPen(QColor(255, 255, 255, 34), qMax(1.0, s / 160)));
        for (int i = 1; i < 4; ++i) {
            const qreal x = screen.left() + screen.width() * i / 4;
            const qreal y = screen.top() + screen.height() * i / 4;
            p.drawLine(QPointF(x, screen.top()), QPointF(x, screen.bottom()));
            p.drawLine(QPointF(screen.left(), y), QPointF(screen.right(), y));
        }
        // The monogram in the upper half.
        QPainterPath mono;
        const qreal lh = s * 0.25, lw = s * 0.19, top = s * 0.2;
        strokeLetter(mono, 'H', s * 0.26, top, lw, lh);
        strokeLetter(mono, 'V', s * 0.55, top, lw, lh);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0xf4, 0xf5, 0xf7), s * 0.065, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(mono);
    }
    const QRectF traceBox = detailed ? QRectF(screen.left(), s * 0.56, screen.width(), s * 0.22)
                                     : QRectF(screen.left(), s * 0.3, screen.width(), s * 0.4);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour::ch1, qMax(1.6, s * 0.055), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(sineTrace(traceBox, 1.0, 0.0));
}

QImage aboutBanner()
{
    const int w = 480, h = 270;
    QImage image = canvas(w, h);
    QPainter p(&image);
    beginPainter(p);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0xff, 0xff, 0xff));
    g.setColorAt(1, QColor(0xeb, 0xec, 0xef));
    p.fillRect(image.rect(), g);

    // A faint graticule of ten by six divisions.
    p.setPen(QPen(QColor(0xdd, 0xde, 0xe3), 1.0));
    for (int i = 1; i < 10; ++i)
        p.drawLine(QPointF(i * w / 10 + 0.5, 0), QPointF(i * w / 10 + 0.5, h));
    for (int i = 1; i < 6; ++i)
        p.drawLine(QPointF(0, i * h / 6 + 0.5), QPointF(w, i * h / 6 + 0.5));

    // Two soft traces in the channel colours across the lower half.
    p.setPen(QPen(QColor(colour::ch1.red(), colour::ch1.green(), colour::ch1.blue(), 110), 4.0,
                  Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(sineTrace(QRectF(0, 170, w, 70), 2.0, 0.0));
    QPainterPath square;
    const qreal hi = 185, lo = 235;
    square.moveTo(0, lo);
    for (int i = 0; i < 4; ++i) {
        const qreal x0 = i * w / 4.0, x1 = x0 + w / 8.0, x2 = x0 + w / 4.0;
        square.lineTo(x0 + 1, lo);
        square.lineTo(x0 + 1, hi);
        square.lineTo(x1, hi);
        square.lineTo(x1, lo);
        square.lineTo(x2, lo);
    }
    p.setPen(QPen(QColor(colour::ch2.red(), colour::ch2.green(), colour::ch2.blue(), 70), 3.0,
                  Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(square);

    // The mark and the word mark.
    p.save();
    p.translate(40, 40);
    paintAppIcon(p, 96);
    p.restore();
    QPainterPath word;
    const QString text = QStringLiteral("OMBRIX");
    const qreal lh = 46, lw = 34, gap = 14;
    qreal x = 166;
    for (const QChar c : text) {
        const qreal cw = c == 'I' ? 8 : (c == 'M' ? 40 : lw);
        strokeLetter(word, c, x, 65, cw, lh);
        x += cw + gap;
    }
    p.setPen(QPen(colour::ink, 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(word);
    p.end();
    return finished(image);
}

} // namespace

QImage drawAppIcon(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    beginPainter(p);
    paintAppIcon(p, size);
    p.end();
    return finished(image);
}

std::vector<Bitmap> drawBitmaps()
{
    std::vector<Bitmap> out;
    auto add = [&out](const QString &name, const QImage &image) { out.push_back({name, image}); };

    add("led-on.png", lamp(QColor(0xdc, 0xff, 0xc8), colour::ch1, colour::ch1Edge));
    add("led-off.png", lamp(QColor(0xf7, 0xf7, 0xf9), QColor(0xc3, 0xc5, 0xcc), QColor(0x7c, 0x7f, 0x88)));

    const struct
    {
        const char *name;
        TriggerGlyph glyph;
    } triggers[] = {
        {"rising", TriggerGlyph::Rising},       {"falling", TriggerGlyph::Falling},
        {"dual", TriggerGlyph::Dual},           {"positive", TriggerGlyph::Positive},
        {"negative", TriggerGlyph::Negative},   {"window1", TriggerGlyph::WindowLower},
        {"window2", TriggerGlyph::WindowUpper},
    };
    for (const auto &t : triggers) {
        add(QString("%1g.png").arg(t.name), triggerIcon(t.glyph, colour::ch1, colour::ch1Edge));
        add(QString("%1r.png").arg(t.name), triggerIcon(t.glyph, colour::ch2, colour::ch2Edge));
    }

    add("hcursorA.png", tabMarker(Letter::A, colour::hCursor, colour::hCursorEdge));
    add("hcursorB.png", tabMarker(Letter::B, colour::hCursor, colour::hCursorEdge));
    add("vcursorA.png", verticalCursorMarker());
    add("chan1-zero.png", tabMarker(Letter::One, colour::ch1, colour::ch1Edge));
    add("chan2-zero.png", tabMarker(Letter::Two, colour::ch2, colour::ch2Edge));

    add("ico-record.png", recordIcon(false));
    add("ico-record-active.png", recordIcon(true));

    add("btn-172-up.png", buttonSkin(ButtonState::Up));
    add("btn-172-down.png", buttonSkin(ButtonState::Down));
    add("btn-172-disable.png", buttonSkin(ButtonState::Disabled));

    add("scroll-up.png", scrollArrow(Direction::Up));
    add("scroll-down.png", scrollArrow(Direction::Down));
    add("scroll-left.png", scrollArrow(Direction::Left));
    add("scroll-right.png", scrollArrow(Direction::Right));

    add("wave-noise.png", waveIcon(Wave::Noise));
    add("wave-sine.png", waveIcon(Wave::Sine));
    add("wave-square.png", waveIcon(Wave::Square));
    add("wave-triangle.png", waveIcon(Wave::Triangle));
    add("wave-expo.png", waveIcon(Wave::Expo));
    add("wave-custom.png", waveIcon(Wave::Custom));

    add("HV-logo.png", drawAppIcon(128));
    add("HV-logo-256.png", drawAppIcon(256));
    add("ombrix.png", aboutBanner());
    return out;
}

} // namespace artwork
