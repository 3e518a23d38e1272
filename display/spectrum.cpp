#include "spectrum.h"

#include "cfft.h"

#include <cmath>

namespace spectrum {

namespace {
constexpr double TwoPi = 6.283185307179586;
constexpr double FourPi = 12.566370614359172;
constexpr double Ln2 = 0.6931471805599453;
constexpr double EdgeDenominator = 255.0; // w[0] and w[255] both take the edge value
} // namespace

bool fillWindow(int window, WindowTable &table)
{
    switch (window) {
    case Rectangular:
        table.fill(1.0);
        return true;
    case Hamming:
        for (int k = 0; k < Points; ++k)
            table[k] = 0.53836 - 0.46164 * std::cos(TwoPi * k / EdgeDenominator);
        return true;
    case Hann:
        for (int k = 0; k < Points; ++k)
            table[k] = 0.5 * (1.0 - std::cos(TwoPi * k / EdgeDenominator));
        return true;
    case Blackman:
        for (int k = 0; k < Points; ++k)
            table[k] = 0.42 - 0.5 * std::cos(TwoPi * k / EdgeDenominator) +
                       0.08 * std::cos(FourPi * k / EdgeDenominator);
        return true;
    default:
        return false;
    }
}

WindowTable makeWindow(int window)
{
    WindowTable table;
    table.fill(1.0);
    fillWindow(window, table);
    return table;
}

double plotValue(double magnitude, bool logY)
{
    if (!(magnitude > 0.0) || !std::isfinite(magnitude))
        return 0.0;
    return logY ? 16.0 * std::log(magnitude) / Ln2 : 0.05 * magnitude;
}

namespace {
// plotValue of the magnitude sqrt(norm), without the square root on the
// logarithmic path (16 log2 sqrt(x) = 8 log2 x).
double plotValueOfNorm(double norm, bool logY)
{
    if (!(norm > 0.0) || !std::isfinite(norm))
        return 0.0;
    return logY ? 8.0 * std::log(norm) / Ln2 : 0.05 * std::sqrt(norm);
}
} // namespace

void compute(const unsigned char *frame, const WindowTable &window, const Options &options, Result &result)
{
    complex a[Points];
    complex b[Points];
    const unsigned char *ch2 = frame + Points;

    double windowSum = 0;
    for (int k = 0; k < Points; ++k) {
        const double first = (frame[k] - ZeroSample) * window[k];
        const double second = (ch2[k] - ZeroSample) * window[k];
        windowSum += window[k];
        if (options.iq) {
            a[k] = complex(first, second);
        } else {
            a[k] = complex(first, first);
            b[k] = complex(second, second);
        }
    }

    result.hasFirst = options.iq || options.ch1;
    result.hasSecond = !options.iq && options.ch2;
    result.values1.resize(0);
    result.values2.resize(0);
    result.iq = options.iq;
    result.firstBin = options.firstBin;
    result.windowSum = windowSum;

    if (options.iq) {
        CFFT::Forward(a, Points);
        for (int k = 0; k < Points; ++k)
            result.norms1[k] = a[k].norm();
        int bin = options.firstBin;
        for (int j = 0; j < OutputPoints; ++j, ++bin) {
            if (bin > Points - 1 || bin < 0)
                bin = 0;
            result.values1.append(plotValueOfNorm(result.norms1[bin], options.logY));
        }
        return;
    }

    if (result.hasFirst)
        CFFT::Forward(a, Points);
    if (result.hasSecond)
        CFFT::Forward(b, Points);
    for (int k = 0; k < Points; ++k) {
        if (result.hasFirst)
            result.norms1[k] = a[k].norm();
        if (result.hasSecond)
            result.norms2[k] = b[k].norm();
    }
    for (int j = 0; j < OutputPoints; ++j) {
        if (result.hasFirst)
            result.values1.append(plotValueOfNorm(result.norms1[j], options.logY));
        if (result.hasSecond)
            result.values2.append(plotValueOfNorm(result.norms2[j], options.logY));
    }
}

Result compute(const unsigned char *frame, const WindowTable &window, const Options &options)
{
    Result result;
    result.values1.reserve(OutputPoints);
    result.values2.reserve(OutputPoints);
    compute(frame, window, options, result);
    return result;
}

} // namespace spectrum
