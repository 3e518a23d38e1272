#include "session/instrumentstate.h"

#include <algorithm>

namespace session {

namespace {
// Registers 22 and 23 travel with the trigger-position request, not as writes.
bool isWrittenRegister(int index)
{
    return index >= 0 && index < reg::WritableCount && index != reg::PostTriggerLow &&
           index != reg::PostTriggerHigh;
}
} // namespace

InstrumentState InstrumentState::fromBlock(const reg::DeviceSettings &b)
{
    InstrumentState s;
    s.timeBase = std::min<int>(b[reg::SamplingRate], reg::SamplingRateMax);
    s.ch1 = reg::decodeChannelOptions(b[reg::Ch1Options]);
    s.ch2 = reg::decodeChannelOptions(b[reg::Ch2Options]);
    s.logic = reg::decodeLogicOptions(b[reg::LogicOptions]);
    s.logicLines = reg::decodeLogicMask(b[reg::LogicMask]);
    s.trigger = reg::decodeTrigger(b[reg::Trigger]);
    s.cursors = reg::decodeCursors(b[reg::Cursors]);
    s.display = reg::decodeDisplay(b[reg::Display]);
    s.spectrum = reg::decodeSpectrum(b[reg::Spectrum]);
    s.meterMode = reg::isMeterMode(b[reg::Spectrum]);
    s.sweep = reg::decodeSweep(b[reg::Sweep]);
    s.sniffer = reg::decodeSniffer(b[reg::SnifferControls]);
    s.runStatus = b[reg::MStatus];
    s.snifferRunning = reg::snifferRunning(s.runStatus);
    s.deviceMode = s.snifferRunning && !reg::scopeFrameMode(s.runStatus) ? DeviceMode::SnifferFrames
                                                                          : DeviceMode::OscilloscopeFrames;
    s.gain1 = std::min<int>(b[reg::Gain1], reg::GainMax);
    s.gain2 = std::min<int>(b[reg::Gain2], reg::GainMax);
    s.hpos = std::min<int>(b[reg::HPos], reg::HPosMax);
    for (int i = 0; i < int(s.cursorBytes.size()); ++i)
        s.cursorBytes[size_t(i)] = b[reg::VCursorA + i];
    s.triggerHoldMs = b[reg::TriggerHold];
    s.triggerPosition = reg::triggerPosition(b.postTrigger());
    s.triggerSource = reg::decodeTriggerSource(b[reg::TriggerSource]);
    // Slope and window triggers need an analog source: with any other the
    // rising edge is shown.
    if (!trigger::isChannelSource(s.triggerSource) && reg::typeNeedsAnalogSource(s.trigger.type))
        s.trigger.type = reg::Rising;
    s.triggerLevel = b[reg::TriggerLevel];
    s.windowLevel1 = b[reg::WindowLevel1];
    s.windowLevel2 = b[reg::WindowLevel2];
    s.triggerTimeout = std::max<int>(b[reg::TriggerTimeout], TriggerTimeoutMin);
    s.ch1Position = std::clamp(reg::decodeChannelPosition(b[reg::Ch1Position]), ChannelPositionMin, ChannelPositionMax);
    s.ch2Position = std::clamp(reg::decodeChannelPosition(b[reg::Ch2Position]), ChannelPositionMin, ChannelPositionMax);
    s.logicPosition = std::clamp(reg::decodeLogicPosition(b[reg::LogicPosition]), 0, reg::LogicPositionMax);
    s.protocol = std::min<int>(b[reg::DecodeProtocol], reg::ProtocolCount - 1);
    s.sweepEnd = b[reg::SweepEnd];
    // The start never lies above the end.
    s.sweepStart = std::min<int>(b[reg::SweepStart], s.sweepEnd);
    s.sweepSpeed = reg::decodeSweepSpeed(b[reg::SweepSpeed]);
    s.amplitude = std::min(reg::decodeAmplitude(b[reg::Amplitude]), reg::AmplitudeMax);
    s.waveform = reg::decodeWaveform(b[reg::Waveform]);
    s.dutyCycle = reg::decodeDutyCycle(b[reg::DutyCycle]);
    s.offset = reg::decodeOffset(b[reg::Offset]);
    s.desiredFrequencyHz =
        std::clamp(b.desiredFrequencyHz(), reg::DesiredFrequencyRange.min, reg::DesiredFrequencyRange.max);
    return s;
}

quint8 InstrumentState::encode(int index) const
{
    switch (index) {
    case reg::SamplingRate:
        return quint8(timeBase);
    case reg::Ch1Options:
        return reg::encodeChannelOptions(ch1);
    case reg::Ch2Options:
        return reg::encodeChannelOptions(ch2);
    case reg::LogicOptions:
        return reg::encodeLogicOptions(logic);
    case reg::LogicMask:
        return reg::encodeLogicMask(logicLines);
    case reg::Trigger:
        return reg::encodeTrigger(trigger);
    case reg::Cursors:
        return reg::encodeCursors(cursors);
    case reg::Display:
        return reg::encodeDisplay(display);
    case reg::Spectrum:
        return meterMode ? reg::encodeMeterSpectrum(spectrum) : reg::encodeSpectrum(spectrum);
    case reg::Sweep:
        return reg::encodeSweep(sweep);
    case reg::SnifferControls:
        return reg::encodeSniffer(sniffer);
    case reg::MStatus:
        return runStatus;
    case reg::Gain1:
        return quint8(gain1);
    case reg::Gain2:
        return quint8(gain2);
    case reg::HPos:
        return quint8(hpos);
    case reg::VCursorA:
    case reg::VCursorB:
    case reg::Ch1HCursorA:
    case reg::Ch1HCursorB:
    case reg::Ch2HCursorA:
    case reg::Ch2HCursorB:
        return cursorBytes[size_t(index - reg::VCursorA)];
    case reg::TriggerHold:
        return reg::encodeTriggerHold(triggerHoldMs);
    case reg::PostTriggerLow:
        return quint8(reg::postTriggerValue(triggerPosition) & 0xFF);
    case reg::PostTriggerHigh:
        return quint8((reg::postTriggerValue(triggerPosition) >> 8) & 0xFF);
    case reg::TriggerSource:
        return quint8(triggerSource);
    case reg::TriggerLevel:
        return quint8(triggerLevel);
    case reg::WindowLevel1:
        return quint8(windowLevel1);
    case reg::WindowLevel2:
        return quint8(windowLevel2);
    case reg::TriggerTimeout:
        return quint8(triggerTimeout);
    case reg::Ch1Position:
        return reg::encodeChannelPosition(ch1Position);
    case reg::Ch2Position:
        return reg::encodeChannelPosition(ch2Position);
    case reg::LogicPosition:
        return reg::encodeLogicPosition(logicPosition, reg::enabledLineCount(reg::encodeLogicMask(logicLines)));
    case reg::DecodeProtocol:
        return quint8(protocol);
    case reg::SweepStart:
        return quint8(sweepStart);
    case reg::SweepEnd:
        return quint8(sweepEnd);
    case reg::SweepSpeed:
        return quint8(sweepSpeed);
    case reg::Amplitude:
        return reg::encodeAmplitude(reg::amplitudeVolts(amplitude));
    case reg::Waveform:
        return quint8(waveform);
    case reg::DutyCycle:
        return reg::encodeDutyCycle(reg::dutyPercent(dutyCycle));
    case reg::Offset:
        return reg::encodeOffset(reg::offsetVolts(offset));
    default:
        return 0;
    }
}

Writes InstrumentState::writeBack(const reg::DeviceSettings &block) const
{
    // Registers whose control shows a value of its own range or steps and
    // sends what it shows; the bit registers of check boxes and radio buttons
    // keep any other bits, and a byte no control can take (a time base, gain
    // or position beyond the slider) is left on the instrument as it is.
    static const quint16 shownAsSent[] = {
        reg::LogicOptions, reg::SnifferControls, reg::TriggerSource, reg::TriggerTimeout, reg::Ch1Position,
        reg::Ch2Position,  reg::SweepStart,      reg::SweepSpeed,    reg::DutyCycle,      reg::Offset,
    };
    Writes writes;
    auto add = [&](quint16 index) {
        const quint8 shown = encode(index);
        if (shown != block[index])
            writes.append({index, shown});
    };
    // The trigger type a source cannot take comes back as the rising edge;
    // otherwise the register's other bits stay.
    if (reg::decodeTrigger(block[reg::Trigger]).type != trigger.type)
        add(reg::Trigger);
    for (quint16 index : shownAsSent)
        add(index);
    // The logic position and amplitude sliders show only bytes of their range.
    const int logic = reg::decodeLogicPosition(block[reg::LogicPosition]);
    if (logic >= 0 && logic <= reg::LogicPositionMax)
        add(reg::LogicPosition);
    if (reg::decodeAmplitude(block[reg::Amplitude]) <= reg::AmplitudeMax)
        add(reg::Amplitude);
    std::sort(writes.begin(), writes.end(),
              [](const reg::RegisterWrite &a, const reg::RegisterWrite &b) { return a.index < b.index; });
    return writes;
}

bool InstrumentState::frequencyWrittenBack(const reg::DeviceSettings &block) const
{
    return reg::encodeDesiredFrequency(desiredFrequencyHz) != block.desiredFrequency();
}

reg::DeviceSettings InstrumentState::toBlock() const
{
    reg::DeviceSettings b;
    for (int i = 0; i < reg::WritableCount; ++i)
        b[i] = encode(i);
    b.setDesiredFrequency(reg::encodeDesiredFrequency(desiredFrequencyHz));
    return b;
}

template <typename Change>
Writes InstrumentState::change(Change &&apply)
{
    std::array<quint8, reg::WritableCount> before{};
    for (int i = 0; i < reg::WritableCount; ++i)
        before[size_t(i)] = encode(i);
    apply();
    Writes writes;
    for (int i = 0; i < reg::WritableCount; ++i) {
        const quint8 now = encode(i);
        if (isWrittenRegister(i) && now != before[size_t(i)])
            writes.append({quint16(i), now});
    }
    return writes;
}

Writes InstrumentState::setTimeBase(int value)
{
    return change([&] { timeBase = std::clamp(value, 0, reg::SamplingRateMax); });
}

Writes InstrumentState::setChannelOptions(int channel, const reg::ChannelOptions &options)
{
    return change([&] { (channel == 2 ? ch2 : ch1) = options; });
}

Writes InstrumentState::setLogicOptions(const reg::LogicInputOptions &options)
{
    return change([&] { logic = options; });
}

Writes InstrumentState::setLogicLine(int line, bool enabled)
{
    return change([&] {
        if (line >= 0 && line < reg::LogicLines)
            logicLines[size_t(line)] = enabled;
    });
}

Writes InstrumentState::setTrigger(const reg::TriggerSettings &value)
{
    return change([&] { trigger = value; });
}

Writes InstrumentState::setCursors(const reg::CursorSettings &value)
{
    return change([&] { cursors = value; });
}

Writes InstrumentState::setDisplay(const reg::DisplaySettings &value)
{
    return change([&] { display = value; });
}

Writes InstrumentState::setSpectrum(const reg::SpectrumSettings &value)
{
    return change([&] { spectrum = value; });
}

Writes InstrumentState::setSweep(const reg::SweepSettings &value)
{
    return change([&] { sweep = value; });
}

Writes InstrumentState::setSniffer(const reg::SnifferSettings &value)
{
    return change([&] { sniffer = value; });
}

Writes InstrumentState::setGain(int channel, int gain)
{
    return change([&] { (channel == 2 ? gain2 : gain1) = std::clamp(gain, 0, reg::GainMax); });
}

Writes InstrumentState::setHorizontalPosition(int value)
{
    return change([&] { hpos = std::clamp(value, 0, reg::HPosMax); });
}

Writes InstrumentState::setTriggerHold(double milliseconds)
{
    return change([&] { triggerHoldMs = milliseconds; });
}

Writes InstrumentState::setTriggerSource(int source)
{
    return change([&] { triggerSource = std::clamp(source, 0, int(trigger::SourceExt)); });
}

Writes InstrumentState::setTriggerLevel(int registerValue)
{
    return change([&] { triggerLevel = std::clamp(registerValue, reg::TriggerLevelMin, reg::TriggerLevelMax); });
}

Writes InstrumentState::setTriggerTimeout(double seconds)
{
    return change([&] { triggerTimeout = reg::encodeTriggerTimeout(seconds); });
}

Writes InstrumentState::setChannelPosition(int channel, int slider)
{
    return change([&] {
        (channel == 2 ? ch2Position : ch1Position) = std::clamp(slider, ChannelPositionMin, ChannelPositionMax);
    });
}

Writes InstrumentState::setLogicPosition(int slider)
{
    return change([&] { logicPosition = std::clamp(slider, 0, reg::LogicPositionMax); });
}

Writes InstrumentState::setSweepRange(int start, int end)
{
    return change([&] {
        sweepStart = std::clamp(start, 0, 255);
        sweepEnd = std::clamp(end, sweepStart, 255);
    });
}

Writes InstrumentState::setSweepSpeed(int speed)
{
    return change([&] { sweepSpeed = std::clamp(speed, reg::SweepSpeedMin, reg::SweepSpeedMax); });
}

Writes InstrumentState::setAmplitude(double volts)
{
    return change([&] { amplitude = reg::decodeAmplitude(reg::encodeAmplitude(volts)); });
}

Writes InstrumentState::setWaveform(int value)
{
    return change([&] { waveform = std::clamp(value, 0, reg::WaveformCustom); });
}

Writes InstrumentState::setDutyCycle(double percent)
{
    return change([&] { dutyCycle = reg::decodeDutyCycle(reg::encodeDutyCycle(percent)); });
}

Writes InstrumentState::setOffset(double volts)
{
    return change([&] { offset = reg::decodeOffset(reg::encodeOffset(volts)); });
}

quint32 InstrumentState::setDesiredFrequency(double hertz)
{
    if (!(hertz >= reg::DesiredFrequencyRange.min)) // also NaN
        hertz = reg::DesiredFrequencyRange.min;
    desiredFrequencyHz = std::min(hertz, reg::DesiredFrequencyRange.max);
    return reg::encodeDesiredFrequency(desiredFrequencyHz);
}

} // namespace session
