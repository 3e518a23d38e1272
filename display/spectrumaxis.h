#pragma once

#include "spectrum.h"

#include <QString>
#include <QVector>

// Where the spectrum's bins lie in frequency, the plot's frequency scale and
// legend, and the peak read-out. A 256-point transform of samples Δt apart
// puts bin j at j / (256 Δt); in IQ mode bins 128..255 are the negative
// frequencies -128..-1 bins.
namespace spectrum {

constexpr int ColumnsPerDivision = 32; // plot columns per time division
constexpr int AxisDivisions = 8;
// 0 dBFS: a sine whose peaks reach both ends of the channel's range
// (an amplitude of 128 sample values).
constexpr double FullScaleAmplitude = 128;

struct Axis
{
    bool valid = false;        // a known time base
    double sampleSeconds = 0;  // Δt
    double binHz = 0;          // 1 / (256 Δt)
    int columnsPerPoint = 1;   // plot columns between two drawn bins
    bool iq = false;
    int firstBin = 0;          // IQ: bin drawn at point 0 (the scroll bar)
};

// The axis of the spectrum drawn at this time base (samplingSlider value).
Axis axis(int samplingValue, bool iq, int firstBin);

// The transform bin drawn at point 0..127.
int binAt(const Axis &axis, int point);
// Frequency of a bin (fractional bins lie between their neighbours), signed
// in IQ mode.
double binFrequency(const Axis &axis, double bin);
double hzPerDivision(const Axis &axis);
// Plot units per division of the logarithmic magnitude, in dB.
double dbPerDivision();

// "1.000 kHz" with `digits` significant digits; trimmed drops trailing zeros
// ("7.81 kHz", "1 kHz"). 0 is "0 Hz".
QString frequencyText(double hz, int digits = 4, bool trimmed = false);

struct Tick
{
    double key = 0; // plot column
    QString label;
};
// A labelled tick at every division that lies on a drawn bin.
QVector<Tick> ticks(const Axis &axis);
// "FFT 1 kHz/div", with the dB per division of the logarithmic magnitude.
QString legendText(const Axis &axis, bool logY);

// Amplitude in sample values of the component in a bin of squared magnitude
// norm (as compute stores it), and its level in dB relative to full scale.
double amplitude(double norm, int bin, bool iq, double windowSum);
double levelDb(double amplitude);

struct Peak
{
    bool found = false;
    double bin = 0;       // interpolated, may lie between bins
    double point = 0;     // plot point (0..127) of the bin, interpolated
    double frequency = 0; // Hz, signed in IQ mode
    double levelDb = 0;   // relative to full scale
};
// The largest local maximum of the drawn bins other than DC, placed between
// bins by a parabola through the logarithms of it and its two neighbours.
// second: the CH2 transform instead of the first.
Peak findPeak(const Result &result, bool second, const Axis &axis);
// "CH1 peak 1.000 kHz  -6.1 dBFS"
QString peakText(const QString &channel, const Peak &peak);

} // namespace spectrum
