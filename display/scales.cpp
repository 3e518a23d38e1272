#include "scales.h"

#include <QChar>

#include <cmath>

namespace scales {

QList<QString> timeBaseTexts()
{
    QList<QString> texts;
    const QString unit = QString(QChar(0x00B5)) + QStringLiteral("s/div");
    for (const char *number : {"8", "16", "32", "64", "128", "256", "500"})
        texts << QString::fromLatin1(number) + unit;
    texts << QStringLiteral("1ms/div") << QStringLiteral("2ms/div") << QStringLiteral("5ms/div")
          << QStringLiteral("10ms/div") << QStringLiteral("20ms/div") << QStringLiteral("50ms/div")
          << QStringLiteral("0.1s/div") << QStringLiteral("0.2s/div") << QStringLiteral("0.5s/div")
          << QStringLiteral("1s/div") << QStringLiteral("2s/div") << QStringLiteral("5s/div")
          << QStringLiteral("10s/div") << QStringLiteral("20s/div") << QStringLiteral("50s/div");
    return texts;
}

QList<QString> gainTexts()
{
    return {QStringLiteral("5.12V/div"), QStringLiteral("2.56V/div"), QStringLiteral("1.28V/div"),
            QStringLiteral("0.64V/div"), QStringLiteral("0.32V/div"), QStringLiteral("0.16V/div"),
            QStringLiteral("80mV/div"),  QStringLiteral("----")};
}

QList<int> sweepRates()
{
    return {10,       2000000, 1000000, 500000,  250000, 125000, 62500,  32000,
            16000000, 8000000, 3200000, 1600000, 800000, 320000, 160000, 80000,
            32000,    16000,   8000,    3200,    1600,   800,    320};
}

namespace {
QStringList iconPaths(const char *suffix)
{
    QStringList paths;
    for (const char *type : {"rising", "falling", "dual", "positive", "negative", "window1", "window2"})
        paths << QStringLiteral(":/Bitmaps/Bitmaps/") + QLatin1String(type) + QLatin1String(suffix) +
                     QStringLiteral(".png");
    return paths;
}
} // namespace

QStringList triggerIconsGreen()
{
    return iconPaths("g");
}

QStringList triggerIconsRed()
{
    return iconPaths("r");
}

QString gainText(const QList<QString> &table, int index)
{
    if (index >= 0 && index < table.size())
        return table.at(index);
    return QStringLiteral("----");
}

QString timeBaseText(const QList<QString> &table, int index)
{
    if (index >= 0 && index < table.size())
        return table.at(index);
    return QString();
}

QString timeLabel(const QList<QString> &table, int samplingValue)
{
    return QStringLiteral("Time = ") + timeBaseText(table, samplingValue);
}

QString channelLabel(int channel, const ChannelLabelState &state, const QString &gain)
{
    const QString self = channel == 1 ? QStringLiteral("CH1") : QStringLiteral("CH2");
    const QString other = channel == 1 ? QStringLiteral("CH2") : QStringLiteral("CH1");
    QString text = (state.thisInverted ? QStringLiteral("-") : QStringLiteral(" ")) + self;
    if (state.math) {
        if (state.mode == MathMode::Subtract)
            text += (state.otherInverted ? QStringLiteral(" + ") : QStringLiteral(" - ")) + other;
        else if (state.mode == MathMode::Multiply) {
            // The CH1 product takes CH2's invert sign; the CH2 product takes its own.
            const bool negated = channel == 1 ? state.otherInverted : state.thisInverted;
            text += QStringLiteral(" X ") + (negated ? QStringLiteral("-") : QString()) + other;
        }
    }
    return text + QStringLiteral(" = ") + gain;
}

QString shortChannelLabel(int channel, const QString &gain)
{
    return (channel == 1 ? QStringLiteral("CH1 = ") : QStringLiteral("CH2 = ")) + gain;
}

constexpr double MaxFieldMagnitude = 9999.5;

QString get4Digits(double x)
{
    const double magnitude = std::fabs(x);
    // The field holds four digits: anything wider (or no number at all)
    // shows as no value rather than a run of digits.
    if (!std::isfinite(x) || magnitude >= MaxFieldMagnitude)
        return QStringLiteral(" ----");
    int decimals = 3;
    if (magnitude >= 1000)
        decimals = 0;
    else if (magnitude >= 100)
        decimals = 1;
    else if (magnitude >= 10)
        decimals = 2;
    const QString number = QString::number(x, 'f', decimals);
    return x >= 0 ? QStringLiteral(" ") + number : number;
}

} // namespace scales
