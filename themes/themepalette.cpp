#include "themepalette.h"

#include "customcolors.h"

#include <QHash>

#include <algorithm>

namespace theme {

namespace {
const QColor DarkGreen(75, 229, 28);
const QColor LightBlue(QStringLiteral("#2a50fd"));
const QColor ReferenceGreen(QStringLiteral("#4be51c"));
const QColor DarkGrid(140, 140, 140);
const QColor LightGrid(QStringLiteral("#C8C8C8"));
// Spectrum colours differ from every trace's, so a spectrum is not taken for one.
const QColor DarkFft1(QStringLiteral("#00c8ff"));
const QColor DarkFft2(QStringLiteral("#ffa000"));
const QColor LightFft1(QStringLiteral("#008080"));
const QColor LightFft2(QStringLiteral("#c000c0"));
// A reference is a picture taken earlier: drawn dashed, so that it is never
// taken for a live trace.
constexpr Qt::PenStyle ReferenceStyle = Qt::DashLine;
// Marker icons: a coloured badge (saturated pixels) around a grey symbol.
constexpr double IconBadgeSaturation = 0.3;
const QColor IconDarkSymbol(QStringLiteral("#2b2d33"));

void historyPens(QPen *pens, const QColor &color)
{
    for (int k = 0; k < HistoryGraphs; ++k)
        pens[k] = makePen(color, k == 0 ? 1 : 0); // 0: cosmetic one-pixel pen
}
} // namespace

QPen makePen(const QColor &color, double width, Qt::PenStyle style)
{
    return QPen(QBrush(color, Qt::SolidPattern), width, style, Qt::SquareCap, Qt::BevelJoin);
}

Palette palette(int theme, const CustomColors *colors)
{
    Palette p;
    if (theme == Dark || theme == Light) {
        const bool dark = theme == Dark;
        const QColor ch1 = dark ? DarkGreen : LightBlue;
        p.ch1 = makePen(ch1, TraceWidth);
        p.ch2 = makePen(Qt::red, TraceWidth);
        p.refCh1 = makePen(Qt::red, TraceWidth, ReferenceStyle);
        p.refCh2 = makePen(ReferenceGreen, TraceWidth, ReferenceStyle);
        historyPens(p.ch1Persist, ch1);
        historyPens(p.ch2Persist, Qt::red);
        for (int n = 0; n < LogicLines; ++n) {
            const QColor logic =
                dark ? QColor(255 - 10 * n, 4 + 10 * n, 4) : QColor(4 + 20 * n, n, 255 - 5 * n);
            p.logic[n] = makePen(logic, LogicWidth);
            p.refLogic[n] = makePen(Qt::blue, LogicWidth, ReferenceStyle);
        }
        p.fft1 = makePen(dark ? DarkFft1 : LightFft1, TraceWidth);
        p.fft2 = makePen(dark ? DarkFft2 : LightFft2, TraceWidth);
        p.grid = dark ? makePen(DarkGrid, 1) : makePen(LightGrid, 1, Qt::DotLine);
        p.axis = makePen(dark ? Qt::white : Qt::black, 1);
        p.background = QBrush(dark ? Qt::black : Qt::white);
        p.labels = dark ? ReferenceGreen : QColor(Qt::red);
        return p;
    }

    const CustomColors table = colors ? *colors : CustomColors::defaults();
    p.ch1 = makePen(table.colorAt(QStringLiteral("CH1")), TraceWidth);
    p.ch2 = makePen(table.colorAt(QStringLiteral("CH2")), TraceWidth);
    p.refCh1 = makePen(table.colorAt(QStringLiteral("CH1 REF")), TraceWidth, ReferenceStyle);
    p.refCh2 = makePen(table.colorAt(QStringLiteral("CH2 REF")), TraceWidth, ReferenceStyle);
    historyPens(p.ch1Persist, table.colorAt(QStringLiteral("CH1")));
    historyPens(p.ch2Persist, table.colorAt(QStringLiteral("CH2")));
    for (int n = 0; n < LogicLines; ++n) {
        p.logic[n] = makePen(table.colorAt(CustomColors::bitName(n)), LogicWidth);
        p.refLogic[n] = makePen(table.colorAt(CustomColors::bitRefName(n)), LogicWidth, ReferenceStyle);
    }
    p.fft1 = makePen(table.colorAt(QStringLiteral("CH1 FFT")), TraceWidth);
    p.fft2 = makePen(table.colorAt(QStringLiteral("CH2 FFT")), TraceWidth);
    p.grid = makePen(table.colorAt(QStringLiteral("GRID")), 1, Qt::DotLine);
    p.axis = makePen(table.colorAt(QStringLiteral("AXES")), 1);
    p.background = table.background;
    p.labels = table.colorAt(QStringLiteral("LABELS"));
    return p;
}

bool gridPen(int theme, int gridMode, const CustomColors *colors, QPen &pen)
{
    QColor color;
    switch (theme) {
    case Dark:
        color = DarkGrid;
        break;
    case Light:
        color = LightGrid;
        break;
    case Custom:
        color = colors ? colors->colorAt(QStringLiteral("GRID")) : CustomColors::defaults().grid;
        break;
    default:
        return false;
    }
    if (gridMode == NoGrid)
        pen = QPen(Qt::NoPen);
    else
        pen = makePen(color, 1, gridMode == Dots ? Qt::DotLine : Qt::SolidLine);
    return true;
}

QColor dimmedHistoryColor(const QColor &trace, int intensity, int theme)
{
    const double f = intensity / 10.0;
    const QColor hsl = trace.toHsl();
    const double lightness = hsl.lightnessF();
    double l = lightness - f * (lightness - 0.05);
    if (theme == Light)
        l = 1.0 - l;
    return QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), l, 1.0);
}

bool isLightColor(const QColor &color)
{
    // Relative luminance of the sRGB colour, roughly: green counts most.
    return 0.2126 * color.redF() + 0.7152 * color.greenF() + 0.0722 * color.blueF() > 0.4;
}

QImage tintedIcon(const QImage &icon, const QColor &color)
{
    QImage out = icon.convertToFormat(QImage::Format_ARGB32);
    // The badge's own colour: the most frequent saturated opaque pixel. Its
    // brightness becomes the new colour's; lighter and darker shades of the
    // badge (edges, border) keep their ratio to it.
    QHash<QRgb, int> counts;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QColor c = QColor::fromRgba(out.pixel(x, y));
            if (c.alpha() == 255 && c.hsvSaturationF() >= IconBadgeSaturation)
                ++counts[c.rgb()];
        }
    double badgeValue = 1;
    int most = 0;
    QRgb badge = 0;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        if (it.value() > most) {
            most = it.value();
            badge = it.key();
            badgeValue = std::max(QColor(it.key()).valueF(), 1e-3);
        }
    if (most > 0 && badge == color.rgb())
        return icon; // already in the colour: the image as drawn
    const QColor target = color.toHsv();
    const double hue = std::max(target.hsvHueF(), 0.0); // grey: no hue
    const QColor symbol = isLightColor(color) ? IconDarkSymbol : QColor(Qt::white);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QColor c = QColor::fromRgba(out.pixel(x, y));
            if (c.alpha() == 0)
                continue;
            QColor shade;
            if (c.hsvSaturationF() >= IconBadgeSaturation) {
                const double value = std::min(1.0, target.valueF() * c.valueF() / badgeValue);
                shade = QColor::fromHsvF(hue, target.hsvSaturationF(), value);
            } else {
                shade = symbol;
            }
            shade.setAlpha(c.alpha());
            out.setPixel(x, y, shade.rgba());
        }
    return out;
}

QString swatchStyleSheet(const QColor &color)
{
    return QStringLiteral("QLabel { background-color : ") + color.name() + QStringLiteral("; }");
}

} // namespace theme
