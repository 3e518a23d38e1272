#include "customcolors.h"

CustomColors::CustomColors()
{
    buildColorMap();
}

CustomColors::CustomColors(const CustomColors &other)
    : ch1(other.ch1), ch1Ref(other.ch1Ref), ch2(other.ch2), ch2Ref(other.ch2Ref), ch1Fft(other.ch1Fft),
      ch2Fft(other.ch2Fft), axes(other.axes), grid(other.grid), labels(other.labels),
      background(other.background)
{
    for (int n = 0; n < LogicLines; ++n) {
        bit[n] = other.bit[n];
        bitRef[n] = other.bitRef[n];
    }
    buildColorMap();
}

CustomColors &CustomColors::operator=(const CustomColors &other)
{
    if (this == &other)
        return *this;
    ch1 = other.ch1;
    ch1Ref = other.ch1Ref;
    ch2 = other.ch2;
    ch2Ref = other.ch2Ref;
    ch1Fft = other.ch1Fft;
    ch2Fft = other.ch2Fft;
    for (int n = 0; n < LogicLines; ++n) {
        bit[n] = other.bit[n];
        bitRef[n] = other.bitRef[n];
    }
    axes = other.axes;
    grid = other.grid;
    labels = other.labels;
    background = other.background;
    // colorMap keeps pointing at this object's own fields.
    return *this;
}

QString CustomColors::bitName(int line)
{
    return QStringLiteral("BIT ") + QString::number(line);
}

QString CustomColors::bitRefName(int line)
{
    return bitName(line) + QStringLiteral(" REF");
}

void CustomColors::buildColorMap()
{
    colorMap.clear();
    colorMap.insert(QStringLiteral("CH1"), &ch1);
    colorMap.insert(QStringLiteral("CH1 REF"), &ch1Ref);
    colorMap.insert(QStringLiteral("CH1 FFT"), &ch1Fft);
    colorMap.insert(QStringLiteral("CH2"), &ch2);
    colorMap.insert(QStringLiteral("CH2 REF"), &ch2Ref);
    colorMap.insert(QStringLiteral("CH2 FFT"), &ch2Fft);
    colorMap.insert(QStringLiteral("GRID"), &grid);
    colorMap.insert(QStringLiteral("AXES"), &axes);
    for (int n = 0; n < LogicLines; ++n) {
        colorMap.insert(bitName(n), &bit[n]);
        colorMap.insert(bitRefName(n), &bitRef[n]);
    }
    colorMap.insert(QStringLiteral("LABELS"), &labels);
}

void CustomColors::setDefaults()
{
    const QColor green(75, 229, 28);
    ch1 = green;
    ch1Ref = QColor(Qt::red);
    ch2 = QColor(Qt::red);
    ch2Ref = QColor(QStringLiteral("#4be51c"));
    ch1Fft = QColor(0, 200, 255); // not the traces' colours
    ch2Fft = QColor(255, 160, 0);
    for (int n = 0; n < LogicLines; ++n) {
        bit[n] = QColor(255 - 10 * n, 10 * n + 4, 4);
        bitRef[n] = QColor(Qt::blue);
    }
    axes = QColor(Qt::white);
    grid = QColor(140, 140, 140);
    labels = QColor(QStringLiteral("#4be51c"));
    background = QBrush(Qt::black, Qt::SolidPattern);
}

CustomColors CustomColors::defaults()
{
    CustomColors colors;
    colors.setDefaults();
    return colors;
}

QColor CustomColors::colorAt(const QString &name) const
{
    if (name == QLatin1String("BACKGROUND"))
        return background.color();
    const auto it = colorMap.constFind(name);
    return it == colorMap.constEnd() ? QColor() : **it;
}

void CustomColors::setColor(const QString &name, const QColor &color)
{
    if (name == QLatin1String("BACKGROUND")) {
        background.setColor(color);
        return;
    }
    const auto it = colorMap.constFind(name);
    if (it != colorMap.constEnd())
        **it = color;
}
