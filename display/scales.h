#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Texts of the instrument's time base and gain indices, the channel labels
// above the plot and the number formatter of every read-out.
namespace scales {

constexpr int TimeBaseCount = 22; // samplingSlider 0..21
constexpr int GainCount = 8;      // gain index 0..6, 7 = out of range
constexpr int OutOfRangeGain = 7;
constexpr int SweepRateCount = 23;
constexpr int TriggerIconCount = 7;

QList<QString> timeBaseTexts();
QList<QString> gainTexts();
QList<int> sweepRates();
// Resource paths of the trigger marker icons, by trigger type: CH1 source
// (green) and any other source (red).
QStringList triggerIconsGreen();
QStringList triggerIconsRed();

// Gain text for an index, "----" for any index the table does not hold.
QString gainText(const QList<QString> &table, int index);
QString timeBaseText(const QList<QString> &table, int index);

// "Time = " + time/div text.
QString timeLabel(const QList<QString> &table, int samplingValue);

enum class MathMode { None, Subtract, Multiply };

struct ChannelLabelState
{
    bool thisInverted = false;
    bool otherInverted = false;
    bool math = false;
    MathMode mode = MathMode::None; // which math radio button is checked
};

// Long form: " CH1 - CH2 = 0.64V/div" and its variants. channel is 1 or 2.
QString channelLabel(int channel, const ChannelLabelState &state, const QString &gainText);
// Short form written by the gain sliders: "CH1 = 0.64V/div".
QString shortChannelLabel(int channel, const QString &gainText);

// Four significant digits with a constant width for a given magnitude; a
// leading space takes the place of the minus sign for x >= 0. A value that
// needs more than four integer digits, or is not finite, gives " ----".
QString get4Digits(double x);

} // namespace scales
