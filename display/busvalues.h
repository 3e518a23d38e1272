#pragma once

#include "traces.h"

#include <QString>
#include <QVector>

// The logic lines read as a bus. Parallel: the hexadecimal value of the
// enabled lines (line 0 the least significant bit) in each stretch of drawn
// points where it stays the same. Serial: the bits one line shows, left to
// right, read as bytes whose first bit is the most significant.
namespace bus {

struct Stretch
{
    int first = 0;      // first drawn point
    int last = 0;       // last drawn point (inclusive)
    unsigned value = 0; // logic byte masked by the enabled lines
};

// logic: the frame's logic bytes; sampleIndex: the sample drawn at each point
// (frame::Traces::sampleIndex). Indices outside the record are skipped.
QVector<Stretch> parallelStretches(const unsigned char *logic, const QVector<int> &sampleIndex,
                                   unsigned enabledMask);
// The value with as many hexadecimal digits as the highest enabled line needs.
QString hexText(unsigned value, unsigned enabledMask);
// Hexadecimal bytes of one line's drawn bits, eight bits a byte, the first
// drawn bit the most significant; a last partial byte is filled with zeros
// on the right.
QString serialText(const unsigned char *logic, const QVector<int> &sampleIndex, int line);

// Plot values of the bus row: a band below the lowest logic line, moving
// with the logic position.
struct Row
{
    double low = 0, high = 0, centre = 0;
};
Row parallelRow(int chdPosition);

// Whether a text of this width fits in a stretch of this width (pixels).
inline bool textFits(double textPixels, double stretchPixels)
{
    return textPixels + 4 <= stretchPixels;
}

} // namespace bus
