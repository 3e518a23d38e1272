#pragma once

#include "settings/registers.h"

#include <QString>
#include <QtGlobal>

// The waveform generator's arithmetic: control values to register bytes, the
// desired frequency from the slider and range, and the frequency the
// instrument's timer really produces for a request.
namespace generator {

// Register 37 codes.
enum Waveform : quint8 { Noise = 0, Sine = 1, Square = 2, Triangle = 3, Expo = 4, Custom = 5 };

// Frequency range buttons, "10" to "100K": the register map's ranges.
using Range = reg::FrequencyRange;
using reg::Range10;
using reg::Range100;
using reg::Range1K;
using reg::Range10K;
using reg::Range100K;

// Decimals the amplitude, duty and offset spin boxes show; a spin box keeps
// only the value it can show before it reports it. (The slider to spin box
// and spin box to register conversions are the register map's.)
constexpr int SpinBoxDecimals = 3;

// x rounded to `decimals` decimals, as a spin box stores it.
double roundToDecimals(double x, int decimals);

// Desired frequency of a frequency slider position on a range, in hertz,
// computed in single precision as the slider's step implies.
float desiredFrequency(int slider, Range range);

// What the instrument is asked for and what it will produce.
struct FrequencyRequest
{
    qint32 hundredths = 0; // the request: desired frequency in hundredths of a hertz
    int prescaler = 1;     // timer prescale factor, 1 .. 64
    qint64 period = 0;     // timer period in prescaled ticks, at least 32
    double actualHz = 0;   // the frequency the timer produces
    quint16 value = 0;     // request value: upper 16 bits of `hundredths`
    quint16 index = 0;     // request index: lower 16 bits
    QString text;          // read-out: hertz below 1000 Hz, else kilohertz, 6 digits
    QString unit;          // "Hz" or "kHz"
};

// The request and the read-out for a desired frequency. The hertz value is
// taken to the nearest hundredth (the spin box's step) and kept within
// reg::DesiredFrequencyRange.
FrequencyRequest frequencyRequest(double hertz);

// Prescale factor the timer uses for a request of `hundredths` (> 0).
int prescalerFor(qint32 hundredths);

} // namespace generator
