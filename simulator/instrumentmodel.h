#pragma once
// The simulated instrument without any wire: settings block, command set,
// signal synthesis, sampling, triggering, meter and sniffer. Not thread-safe;
// the wires serialise access (see siminstrument.h).
//
// How it behaves where the command set leaves the instrument free:
//  * Sampling: 16 samples per division at time bases 0-10 (the program shows
//    128 of the 256), 32 at 11-21; 32 sample counts per division, 0 V at 127.
//  * Triggering at time bases 0-10: the trigger sample is index
//    256 - post-trigger; level register r is the sample value r; a slope
//    is an edge rising or falling by 2 counts or more per sample; the window
//    fires on leaving the band of registers 26/27; EXT is the generator output
//    crossing 0 V; logic sources use the line's edges. Hold-off in ms. Auto
//    free-runs after the time-out of register 28, Normal sends nothing until a
//    trigger. Bit 1 of register 5 is single-shot (also with bit 0 set): one
//    triggered frame, then nothing until register 5 is written again or 'g'
//    re-arms; 'h' forces one frame in any mode.
//  * Time bases 11-21 keep a circular record, sent whole with the index of its
//    oldest sample in byte 769 whether roll mode is on or not; no trigger.
//  * Average: each sample position follows successive acquisitions by 1/4.
//  * Auto set-up: CH1 gain keeping the signal within 3.5 divisions of 0 V, the
//    fastest time base 0-10 showing two periods, Auto rising trigger on CH1 at
//    the signal's middle.
//  * Meter: 0x41 peak-to-peak of both inputs, 0x81 their mean (same encoding),
//    0x01 frequency of the counter source in hertz (EXT and CH1: the
//    generator), 0xC1 pulses counted since that mode was set.
//  * Sniffer: capture begins with the next whole bus cycle; Circular wraps the
//    count, otherwise Single stops with a full buffer and Normal starts over.

#include "bustraffic.h"
#include "generator.h"

#include <QByteArray>
#include <array>
#include <cstdint>

namespace quorvelsim {

namespace reg {
constexpr int SamplingRate = 0, Ch1Options = 1, Ch2Options = 2, ChdOptions = 3, ChdMask = 4, Trigger = 5,
              Cursors = 6, Display = 7, Fft = 8, Sweep = 9, SnifferLines = 10, MStatus = 11, Ch1Gain = 12,
              Ch2Gain = 13, HPos = 14, TriggerHold = 21, PostTriggerLow = 22, PostTriggerHigh = 23,
              TriggerSource = 24, TriggerLevel = 25, WindowLevel1 = 26, WindowLevel2 = 27, TriggerTimeout = 28,
              Ch1Position = 29, Ch2Position = 30, ChdPosition = 31, Protocol = 32, SweepStart = 33, SweepEnd = 34,
              SweepSpeed = 35, Amplitude = 36, Waveform = 37, Duty = 38, Offset = 39, Frequency = 40;
}

class InstrumentModel
{
public:
    enum class TriggerMode { Free, Normal, Single, Auto };
    enum class TriggerType { Rising, Falling, Dual, PositiveSlope, NegativeSlope, Window };

    InstrumentModel();

    // Factory state everywhere: working and stored settings, custom wave, clock.
    void factoryReset();
    static QByteArray factorySettings();

    quint8 reg(int index) const { return settings[size_t(index)]; }
    void setReg(int index, quint8 value); // a register write as 'b' does it
    QByteArray settingsBlock() const;
    QByteArray storedSettingsBlock() const;
    void powerCycle();

    // One command of the command set. Returns the reply's data (empty when
    // the command has none). Unknown letters do nothing.
    QByteArray command(char letter, quint16 value, quint16 index);
    void loadCustomWave(const QByteArray &wave); // missing samples keep their value
    QByteArray customWave() const;

    QByteArray firmware = "2.37";

    // Acquisition. nextFrame() writes the next frame into dst (at least
    // SnifferFrameSize bytes) and returns its length, or 0 when the
    // instrument has nothing to send yet (stopped, or waiting for a trigger).
    // Each call moves the instrument clock on by one frame interval.
    int nextFrame(quint8 *dst);
    // Seconds from one frame to the next at the current settings.
    double frameInterval() const;
    void setFrameRate(double framesPerSecond) { rate = framesPerSecond < 0 ? 0 : framesPerSecond; }
    double frameRate() const { return rate; }
    bool running() const { return acquiring; }
    bool snifferRunning() const { return settings[reg::MStatus] & 0x08; }
    bool slowTimeBase() const { return timeBaseIndex() >= 11; }

    // Serial streaming at slow time bases: one sample per call, taken at the
    // instrument clock, which moves on by one sample interval.
    void nextStreamSample(quint8 out[3]);
    double sampleInterval() const;

    // Meter reply ('m') for the mode in register 11.
    QByteArray meterReply();

    double clock() const { return now; }
    void advanceClock(double seconds);
    void setNoiseLevel(double volts) { noiseSigma = volts; }
    void setSeed(quint64 seed);

    // Scales.
    static double timePerDivision(int index);
    static double voltsPerDivision(int gainIndex);
    int timeBaseIndex() const { return settings[reg::SamplingRate] > 21 ? 21 : settings[reg::SamplingRate]; }
    TriggerMode triggerMode() const;
    TriggerType triggerType() const;
    // Sample index (0..255) of the trigger point in a frame.
    int triggerIndex() const;
    quint32 desiredFrequency() const;

    // Input voltages before the instrument's processing.
    double ch1Input(double t) const { return generator.value(t); }
    double ch2Input(double t) const;
    // Sample byte of a channel (1 or 2) at time t after invert and math, without noise.
    double channelLevel(int channel, double t); // in "up" units: 255 - sample, unrounded
    quint8 logicAt(double t);

    quint8 frameCounter() const { return counter; }

private:
    std::array<quint8, 44> settings{};
    std::array<quint8, 44> stored{};
    std::array<qint8, 256> wave{};
    std::array<qint8, 256> storedWave{};
    Generator generator;
    BusTraffic bus;

    double now = 0.0;
    double rate = 60.0;
    double noiseSigma = 0.004;
    quint64 rng = 0;
    quint8 counter = 0;
    bool acquiring = true;
    bool singleArmed = true;
    bool forceOnce = false;
    double lastTrigger = -1e9;

    // Averages of each channel (sample units) and the slow time base record.
    std::array<double, 256> average1{}, average2{};
    bool averageValid = false;
    std::array<quint8, 768> record{};
    int recordWrite = 0;
    double nextRecordSample = 0.0;
    bool recordValid = false;

    // Sniffer capture.
    QByteArray captureA, captureB, captureI2c;
    QByteArray i2cFlags;
    int countA = 0, countB = 0, countI2c = 0;
    bool capturing = false;
    qint64 nextCycle = 0;
    double pulseStart = 0.0;

    void configure();
    void invalidateAcquisition();
    double noise();
    quint8 toSample(double up) const;
    void sampleInto(quint8 *frame, int i, double t);
    bool triggerAt(double t, double dt);
    double triggerSourceLevel(double t);
    int scopeFrame(quint8 *dst);
    int slowFrame(quint8 *dst);
    int snifferFrame(quint8 *dst);
    void startCapture();
    void captureUntil(double t);
    void autoSetup();
    double peakToPeak(int channel, double *mean = nullptr) const;
    double counterFrequency() const;
};

} // namespace quorvelsim
