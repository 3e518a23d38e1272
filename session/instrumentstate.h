#pragma once

#include "settings/registers.h"
#include "settings/registerwriter.h"

#include <QVector>

#include <array>

// Everything the instrument holds, as the values its controls show: decoded
// from a settings block in one place, changed through setters that return the
// register writes the change needs (through the register map's encoders), so
// that no program rebuilds a register from its widgets or keeps its own copy
// of a conversion.
namespace session {

using Writes = QVector<reg::RegisterWrite>;

// The frames the instrument sends.
enum class DeviceMode { OscilloscopeFrames = 0, SnifferFrames = 1 };

struct InstrumentState
{
    // What the controls show of the byte registers' ranges.
    static constexpr int TriggerTimeoutMin = 3; // 0.16384 s, the time-out box's least
    static constexpr int ChannelPositionMin = -128, ChannelPositionMax = 127;

    // Register 0: the time base (samplingSlider 0..21).
    int timeBase = 0;
    // Registers 1 to 10.
    reg::ChannelOptions ch1, ch2;
    reg::LogicInputOptions logic;
    std::array<bool, reg::LogicLines> logicLines{};
    reg::TriggerSettings trigger;
    reg::CursorSettings cursors;
    reg::DisplaySettings display;
    reg::SpectrumSettings spectrum;
    reg::SweepSettings sweep;
    reg::SnifferSettings sniffer;
    // Register 8 holds no display mode: the instrument is in meter mode.
    bool meterMode = false;
    // Register 11 as read: sniffer run state, frame mode, meter page.
    quint8 runStatus = 0;
    // Byte registers, as the controls show them.
    int gain1 = 0, gain2 = 0; // 0..6
    int hpos = 0;             // 0..127
    std::array<quint8, 6> cursorBytes{}; // registers 15 to 20
    double triggerHoldMs = 0;
    int triggerPosition = 0; // samples before the trigger (256 - post-trigger)
    int triggerSource = trigger::SourceCh1;
    int triggerLevel = reg::ZeroVoltsSample; // register value (sample)
    int windowLevel1 = 0, windowLevel2 = 0;
    int triggerTimeout = 0;               // register value
    int ch1Position = 0, ch2Position = 0; // slider -128..127
    int logicPosition = 0;                // slider 0..7
    int protocol = 0;
    int sweepStart = 0, sweepEnd = 0, sweepSpeed = 1;
    int amplitude = 0; // slider 0..128
    int waveform = 0;
    int dutyCycle = 1; // slider 1..255
    int offset = 0;    // slider -127..128
    double desiredFrequencyHz = 1000;

    // Run states the window and the command line follow.
    bool scopeRunning = true;
    DeviceMode deviceMode = DeviceMode::OscilloscopeFrames;
    bool snifferRunning = false;

    // One decode of a settings block. Values outside what the controls show
    // are clamped to it (the desired frequency to DesiredFrequencyRange, a
    // slope or window trigger on a logic or EXT source to the rising edge,
    // the sweep start to the end); `encode()` of the result gives what the
    // controls then hold.
    static InstrumentState fromBlock(const reg::DeviceSettings &block);
    // After a decode of `block`: the writes that make the instrument hold what
    // the controls show where they could show it only clamped or in their own
    // steps (a control that sends what it shows); empty when the block is
    // shown as it is.
    Writes writeBack(const reg::DeviceSettings &block) const;
    // The desired frequency of `block` was shown clamped.
    bool frequencyWrittenBack(const reg::DeviceSettings &block) const;
    // Register `index` (0 to 39) as the state encodes it.
    quint8 encode(int index) const;
    // Registers 0 to 39 and the desired frequency as the state encodes them.
    reg::DeviceSettings toBlock() const;

    // Setters: each changes the value and returns the writes of the registers
    // whose byte changed (empty when nothing did).
    Writes setTimeBase(int value);
    Writes setChannelOptions(int channel, const reg::ChannelOptions &options); // 1 or 2
    Writes setLogicOptions(const reg::LogicInputOptions &options);
    Writes setLogicLine(int line, bool enabled); // also moves the logic position into view
    Writes setTrigger(const reg::TriggerSettings &value);
    Writes setCursors(const reg::CursorSettings &value);
    Writes setDisplay(const reg::DisplaySettings &value);
    Writes setSpectrum(const reg::SpectrumSettings &value);
    Writes setSweep(const reg::SweepSettings &value);
    Writes setSniffer(const reg::SnifferSettings &value);
    Writes setGain(int channel, int gain);
    Writes setHorizontalPosition(int value);
    Writes setTriggerHold(double milliseconds);
    Writes setTriggerSource(int source);
    Writes setTriggerLevel(int registerValue); // kept within TriggerLevelMin..Max
    Writes setTriggerTimeout(double seconds);
    Writes setChannelPosition(int channel, int slider);
    Writes setLogicPosition(int slider);
    Writes setSweepRange(int start, int end);
    Writes setSweepSpeed(int speed);
    Writes setAmplitude(double volts);
    Writes setWaveform(int waveform);
    Writes setDutyCycle(double percent);
    Writes setOffset(double volts);
    // The desired frequency within DesiredFrequencyRange; returns the
    // hundredths the frequency request carries.
    quint32 setDesiredFrequency(double hertz);

private:
    template <typename Change>
    Writes change(Change &&apply);
};

} // namespace session
