#pragma once

#include "traces.h"

#include <QString>
#include <QVector>

// Automatic measurements of one channel's trace as drawn: DC and
// peak-to-peak volts, RMS, frequency, period and duty cycle, and the texts
// the channel pages show for them.
namespace measure {

// Plot scale: 512 value units over eight divisions, two units per sample
// count, the channel's 0 V at its zero level (frame::zeroLevel).
constexpr double PlotUnitsPerDivision = 64;
constexpr double PlotUnitsPerCount = 2;
// Plot value minus zero level of the extreme samples 0 and 255: a trace
// there is clipped by the input's range.
constexpr double TopSampleValue = 254;
constexpr double BottomSampleValue = -256;
// A trace spanning at most this many counts is flat: no period is measured.
constexpr double FlatCounts = 2;
// A crossing of the mid level counts once the trace is this far past it, so
// that noise makes no extra crossings: a fraction of the trace's span, never
// less than a few counts. A trace spanning twice the least band or less
// (noise alone) has no crossings.
constexpr double HysteresisCounts = 3;
constexpr double HysteresisOfSpan = 0.15;
// A period is measured only when it repeats: every rise-to-rise and
// fall-to-fall interval within this fraction (or one plotted value, whichever
// is more) of their mean. Noise crosses at random intervals.
constexpr double PeriodSpread = 0.1;
// A single period on screen cannot show that it repeats; it is trusted only
// from a trace spanning at least this many counts, well above noise. A
// smaller trace needs this many rise-to-rise and fall-to-fall intervals.
constexpr double SinglePeriodCounts = 16;
constexpr int SmallTracePeriods = 4;
// Fewer samples than this per period: the frequency may be an alias.
constexpr double AliasSamplesPerPeriod = 4;

// How one channel's plotted values map to volts and seconds.
struct Scale
{
    double zeroLevel = frame::ZeroLevelOffset; // plot value of 0 V
    double voltsPerDiv = 0;
    double secondsPerValue = 0; // time between two successive plotted values
};

// Volts/div of a gain index, seconds/div of a time base index; 0 for an
// index outside the tables.
double voltsPerDivision(int gainIndex);
double secondsPerDivision(int samplingValue);
// Time between successive plotted values: one sample interval, 16 samples
// per division at the half-record time bases, 32 at the whole-record ones.
double secondsPerValue(int samplingValue);
Scale channelScale(int positionSlider, int gainIndex, int samplingValue);

inline double voltsOf(double plotValue, const Scale &scale)
{
    return (plotValue - scale.zeroLevel) * scale.voltsPerDiv / PlotUnitsPerDivision;
}

struct Result
{
    bool valid = false;                 // there were values to measure
    double vdc = 0, vpp = 0, rms = 0;   // volts, over all values
    double minimum = 0, maximum = 0;    // volts
    bool clipped = false;               // the trace reaches sample 0 or 255
    bool clippedHigh = false, clippedLow = false; // which end it reaches
    double countVolts = 0;              // volts of one sample count at this scale
    double samplesPerPeriod = 0;        // plotted values (samples) per period
    bool hasPeriod = false;             // at least one whole period, not flat
    int periods = 0;                    // whole periods the period is averaged over
    double period = 0;                  // seconds
    double frequency = 0;               // hertz
    double duty = 0;                    // fraction of the period above the mid level
};

Result trace(const double *values, int count, const Scale &scale);
inline Result trace(const QVector<double> &values, const Scale &scale)
{
    return trace(values.constData(), values.size(), scale);
}

// Whether a channel's trace is on screen: its Trace box on or XY (the curve
// draws both channels), and for CH2 not the fastest time base.
bool channelShown(int channel, bool traceOn, bool xyMode, int samplingValue);

// Four significant digits in the window's number style with a unit prefix
// (µ, m, k, M): "1.234 V", "62.50 mV", "998.0 Hz", "12.50 kHz". A value that
// is not finite or needs more than four digits before the point at "M"
// gives "----": the text never grows beyond its field.
QString quantityText(double value, const QString &unit);
// The same, with no digit finer than `resolution` (for volts, a tenth of one
// sample count): the value is rounded to the decade of `resolution` and shows
// no decimals below it. "-0.2 mV" for -156 µV at 2.5 mV per count.
QString quantityText(double value, const QString &unit, double resolution);
// Volts-readout resolution at a channel's count: the decade of a tenth count.
double voltsResolution(double countVolts);

// What a channel page's three boxes and their tool tip show. A box whose
// warning is set shows a reading to be doubted: the window marks it.
struct Texts
{
    QString vdc, vpp, frequency, toolTip;
    bool vdcWarning = false, vppWarning = false, frequencyWarning = false;
};
// The marks: a clipped VPP ">2.550 V"; a clipped VDC ">" (clipped at the top),
// "<" (at the bottom) or "~" (both); a frequency that may be an alias
// "~279.7 Hz?".
bool aliasSuspected(const Result &result);
extern const char *const NoValue; // "----"
Texts texts(const Result &result);
Texts noValueTexts();

} // namespace measure
