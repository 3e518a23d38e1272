#pragma once

#include "traces.h"

#include <QVector>

#include <array>

// Window tables and the magnitude spectrum of one acquisition frame.
namespace spectrum {

constexpr int Points = 256; // transform length: one channel record
constexpr int OutputPoints = 128;

// The sample value of a channel's 0 V (the plot's zero level): samples are
// centred on it before the window, so a signal without DC has no 0 Hz line.
constexpr double ZeroSample = frame::MaxSampleIndex - frame::ZeroLevelOffset / 2.0;

enum Window { Rectangular = 0, Hamming = 1, Hann = 2, Blackman = 3 };

using WindowTable = std::array<double, Points>;

// Fills table with the window; an unknown index leaves it unchanged and
// returns false.
bool fillWindow(int window, WindowTable &table);
WindowTable makeWindow(int window);

struct Options
{
    bool iq = false;   // CH1 + j*CH2 as one complex signal
    bool ch1 = false;  // spectrum of CH1 (ignored in IQ mode)
    bool ch2 = false;  // spectrum of CH2 (ignored in IQ mode)
    bool logY = false; // 16 * log2(magnitude) instead of 0.05 * magnitude
    int firstBin = 0;  // IQ mode: first of the 128 bins shown; wraps after 255
};

using Norms = std::array<double, Points>;

struct Result
{
    bool hasFirst = false;  // values1 filled (IQ or CH1)
    bool hasSecond = false; // values2 filled (CH2, not in IQ mode)
    QVector<double> values1;
    QVector<double> values2;
    // Squared magnitude of every bin of the transforms behind values1 and
    // values2 (for the peak read-out); valid where hasFirst / hasSecond.
    Norms norms1{};
    Norms norms2{};
    bool iq = false;
    int firstBin = 0;        // IQ: bin shown at point 0
    double windowSum = 0;    // sum of the window's coefficients
};

// Plot value of a magnitude. Always finite: a zero magnitude, whose logarithm
// would be minus infinity, lies on the bottom of the plot (0).
double plotValue(double magnitude, bool logY);

// frame points at the CH1 samples, followed by the 256 CH2 samples.
Result compute(const unsigned char *frame, const WindowTable &window, const Options &options);

// Same, writing into result's existing vectors (no allocation once they have
// grown to 128 entries).
void compute(const unsigned char *frame, const WindowTable &window, const Options &options, Result &result);

} // namespace spectrum
