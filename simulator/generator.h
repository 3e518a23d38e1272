#pragma once
// The instrument's waveform generator: CH1 of the simulated instrument.

#include <QtGlobal>

namespace quorvelsim {

class Generator
{
public:
    // The parameters in force at one moment (after the sweep is applied).
    struct Parameters
    {
        int waveform = 1;          // register 37 code
        double amplitude = 2.0;    // volts, peak
        double offset = 0.0;       // volts
        double duty = 0.5;         // fraction of the period, 0..1
        double frequency = 1000.0; // hertz
    };

    // Reads the generator registers of a 44-byte settings block. `custom` is
    // the 256-sample custom wave; `timeBaseIndex` scales the frequency sweep.
    void configure(const quint8 *settings, const qint8 *custom);

    // Generator output in volts at time t (seconds of the instrument clock).
    double value(double t) const;
    // Parameters in force at time t.
    Parameters parametersAt(double t) const;
    // Output of given parameters at time t, without sweep.
    double valueWith(const Parameters &p, double t) const;

    // The frequency the generator's timer really produces for a request of
    // `hundredths` hundredths of a hertz (prescaler and period as the timer has them).
    static double actualFrequency(quint32 hundredths);

private:
    Parameters base;
    const qint8 *customWave = nullptr;
    quint8 sweepFlags = 0;
    int sweepStart = 0, sweepEnd = 0, sweepSpeed = 1;
    int timeBaseIndex = 0;

    double sweepPosition(double t) const; // 0..1
};

} // namespace quorvelsim
