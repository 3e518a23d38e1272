#include "settings/registers.h"

#include <algorithm>
#include <cmath>

namespace reg {

namespace {
constexpr quint8 bit(int n)
{
    return quint8(1u << n);
}
constexpr bool has(quint8 value, int n)
{
    return (value & bit(n)) != 0;
}
constexpr quint8 put(bool on, int n)
{
    return on ? bit(n) : quint8(0);
}

int clampInt(long long value, int low, int high)
{
    return int(std::clamp<long long>(value, low, high));
}

const char *const labels[BlockSize] = {
    "Sampling rate: ",
    "GPIO1 CH1 Option: ",
    "GPIO2 CH2 Option: ",
    "GPIO3 CHD Option: ",
    "GPIO4 Mask: ",
    "GPIO5 Trigger: ",
    "GPIO6 Mcursors: ",
    "GPIO7 display: ",
    "GPIO8 MFFT: ",
    "GPIO9 Sweep: ",
    "GPIOA Sniffer Controls: ",
    "GPIOB MStatus: ",
    "M 12 Gain CH1: ",
    "M 13 Gain CH2: ",
    "M 14 HPos: ",
    "M 15 Vertical cursor A: ",
    "M 16 Vertical cursor B: ",
    "M 17 CH1 Horizontal cursor A: ",
    "M 18 CH1 Horizontal cursor B: ",
    "M 19 CH2 Horizontal cursor A: ",
    "M 20 CH2 Horizontal cursor B: ",
    "M 21 Trigger Hold: ",
    "M 22 23 Post Trigger: ",
    "",
    "M 24 Trigger source: ",
    "M 25 Trigger Level: ",
    "M 26 Window Trigger level 1: ",
    "M 27 Window Trigger level 2: ",
    "M 28 Trigger Timeout: ",
    "M 29 Channel 1 position: ",
    "M 30 Channel 2 position: ",
    "M 31 Channel D position: ",
    "M 32 Decode Protocol: ",
    "M 33 Sweep Start Frequency: ",
    "M 34 Sweep End Frequency: ",
    "M 35 Sweep Speed: ",
    "M 36 Amplitude range: [-128,0]: ",
    "M 37 Waveform type: ",
    "38 Duty cycle range: [1,255]: ",
    "M 39 Offset: ",
    "40 Desired frequency: ",
    "",
    "",
    "",
};
} // namespace

QString label(int index)
{
    if (index < 0 || index >= BlockSize)
        return QString();
    return QString::fromLatin1(labels[index]);
}

DeviceSettings DeviceSettings::fromBytes(const unsigned char *data, int length)
{
    DeviceSettings block;
    const int n = data ? std::clamp(length, 0, BlockSize) : 0;
    for (int i = 0; i < n; ++i)
        block.bytes[size_t(i)] = data[i];
    return block;
}

DeviceSettings DeviceSettings::fromByteArray(const QByteArray &data)
{
    return fromBytes(reinterpret_cast<const unsigned char *>(data.constData()), data.size());
}

QByteArray DeviceSettings::toByteArray() const
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), BlockSize);
}

quint16 DeviceSettings::postTrigger() const
{
    return quint16(bytes[PostTriggerLow] | (bytes[PostTriggerHigh] << 8));
}

void DeviceSettings::setPostTrigger(quint16 value)
{
    bytes[PostTriggerLow] = quint8(value & 0xFF);
    bytes[PostTriggerHigh] = quint8(value >> 8);
}

quint32 DeviceSettings::desiredFrequency() const
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | bytes[size_t(DesiredFrequency + i)];
    return value;
}

void DeviceSettings::setDesiredFrequency(quint32 hundredths)
{
    for (int i = 0; i < 4; ++i)
        bytes[size_t(DesiredFrequency + i)] = quint8((hundredths >> (8 * i)) & 0xFF);
}

QString dumpClosingLine()
{
    return QString(42, QLatin1Char('-'));
}

int implausibleRegister(const DeviceSettings &block)
{
    // Upper bounds of the registers whose range is fixed; bytes the decoders
    // merely tolerate (cursors with bit 7, a duty of 0) are no reason to
    // refuse a block.
    struct Bound
    {
        quint16 index;
        int max;
    };
    static constexpr Bound bounds[] = {
        {SamplingRate, SamplingRateMax},
        {Gain1, GainMax},
        {Gain2, GainMax},
        {HPos, HPosMax},
        {TriggerSource, trigger::SourceExt},
        {LogicPosition, 8 * LogicPositionMax + 7},
        {DecodeProtocol, ProtocolCount - 1},
        {SweepSpeed, SweepSpeedMax},
        {Waveform, WaveformCustom},
    };
    for (const Bound &b : bounds)
        if (block[b.index] > b.max)
            return b.index;
    // The amplitude runs from 0 down to -128: 0 or a byte with bit 7 set.
    if (block[Amplitude] != 0 && block[Amplitude] < 0x80)
        return Amplitude;
    if (block.desiredFrequency() > quint32(DesiredFrequencyRequestMax * 100))
        return DesiredFrequency;
    return -1;
}

QStringList dumpLines(const DeviceSettings &block)
{
    QStringList lines;
    lines.reserve(43);
    lines << QStringLiteral("Device Settings: ");
    for (int i = 0; i < WritableCount; ++i) {
        if (i == PostTriggerHigh)
            continue;
        unsigned value = block[i];
        switch (i) {
        case PostTriggerLow:
            value = block.postTrigger();
            break;
        case Ch1Position:
        case Ch2Position:
            value = channelPositionDumpValue(block[i]);
            break;
        case LogicPosition:
            value = quint8(decodeLogicPosition(block[i]));
            break;
        case Amplitude:
            value = quint8(-int(block[i]));
            break;
        default:
            break;
        }
        lines << label(i) + QString::number(value, 10);
    }
    lines << label(DesiredFrequency) + QString::number(block.desiredFrequencyHz(), 'g', 6);
    lines << dumpClosingLine();
    return lines;
}

quint8 encodeChannelOptions(const ChannelOptions &o)
{
    return quint8(put(o.trace, 0) | put(o.invert, 4) | put(o.average, 5) | put(o.math, 6) |
                  put(o.subtract, 7));
}

ChannelOptions decodeChannelOptions(quint8 v)
{
    ChannelOptions o;
    o.trace = has(v, 0);
    o.invert = has(v, 4);
    o.average = has(v, 5);
    o.math = has(v, 6);
    o.subtract = has(v, 7);
    return o;
}

quint8 encodeLogicOptions(const LogicInputOptions &o)
{
    return quint8(put(o.trace, 0) | put(o.pull != NoPull, 1) | put(o.pull == PullUp, 2) | put(o.thick0, 3) |
                  put(o.invert, 4) | put(o.ascii, 7));
}

LogicInputOptions decodeLogicOptions(quint8 v)
{
    LogicInputOptions o;
    o.trace = has(v, 0);
    if (!has(v, 1))
        o.pull = NoPull;
    else
        o.pull = has(v, 2) ? PullUp : PullDown;
    o.thick0 = has(v, 3);
    o.invert = has(v, 4);
    o.ascii = has(v, 7);
    return o;
}

quint8 encodeLogicMask(const std::array<bool, LogicLines> &enabled)
{
    quint8 v = 0;
    for (int n = 0; n < LogicLines; ++n)
        v |= put(enabled[size_t(n)], n);
    return v;
}

std::array<bool, LogicLines> decodeLogicMask(quint8 v)
{
    std::array<bool, LogicLines> enabled{};
    for (int n = 0; n < LogicLines; ++n)
        enabled[size_t(n)] = has(v, n);
    return enabled;
}

int enabledLineCount(quint8 mask)
{
    int count = 0;
    for (int n = 0; n < LogicLines; ++n)
        count += has(mask, n) ? 1 : 0;
    return count;
}

quint8 encodeTrigger(const TriggerSettings &t)
{
    static const quint8 modeBits[] = {0, 1, 3, 4}; // Free, Normal, Single, Auto
    quint8 v = modeBits[t.mode];
    switch (t.type) {
    case Rising:
        v |= bit(7);
        break;
    case Falling:
        v |= bit(7) | bit(3);
        break;
    case Dual:
        break;
    case PositiveSlope:
        v |= bit(5);
        break;
    case NegativeSlope:
        v |= bit(5) | bit(3);
        break;
    case Window:
        v |= bit(6);
        break;
    }
    return quint8(v | put(t.circular, 4));
}

TriggerMode decodeTriggerMode(quint8 v)
{
    // Bit 0 first: the Single byte as written (3) reads as Normal.
    if (has(v, 0))
        return Normal;
    if (has(v, 1))
        return Single;
    if (has(v, 2))
        return Auto;
    return Free;
}

TriggerType decodeTriggerType(quint8 v)
{
    if (has(v, 7))
        return has(v, 3) ? Falling : Rising;
    if (has(v, 5))
        return has(v, 3) ? NegativeSlope : PositiveSlope;
    if (has(v, 6))
        return Window;
    return Dual;
}

TriggerSettings decodeTrigger(quint8 v)
{
    TriggerSettings t;
    t.mode = decodeTriggerMode(v);
    t.type = decodeTriggerType(v);
    t.circular = has(v, 4);
    return t;
}

bool typeNeedsAnalogSource(TriggerType type)
{
    return type == PositiveSlope || type == NegativeSlope || type == Window;
}

quint8 encodeCursors(const CursorSettings &c)
{
    return quint8(put(c.roll, 0) | put(c.automatic, 1) | put(c.track, 2) |
                  put(c.horizontal == Ch1Cursors, 3) | put(c.horizontal == Ch2Cursors, 4) |
                  put(c.vertical, 5) | put(c.snifferSingle, 7));
}

CursorSettings decodeCursors(quint8 v)
{
    CursorSettings c;
    c.roll = has(v, 0);
    c.automatic = has(v, 1);
    c.track = has(v, 2);
    if (has(v, 3))
        c.horizontal = Ch1Cursors;
    else if (has(v, 4))
        c.horizontal = Ch2Cursors;
    c.vertical = has(v, 5);
    c.snifferSingle = has(v, 7);
    return c;
}

quint8 encodeDisplay(const DisplaySettings &d)
{
    return quint8((d.grid & 3) | put(d.elastic, 2) | put(d.invert, 3) | put(d.flip, 4) |
                  put(d.persistence, 5) | put(d.vectors, 6) | put(d.showSettings, 7));
}

DisplaySettings decodeDisplay(quint8 v)
{
    DisplaySettings d;
    d.grid = v & 3;
    d.elastic = has(v, 2);
    d.invert = has(v, 3);
    d.flip = has(v, 4);
    d.persistence = has(v, 5);
    d.vectors = has(v, 6);
    d.showSettings = has(v, 7);
    return d;
}

quint8 encodeSpectrum(const SpectrumSettings &s)
{
    static const quint8 windowBits[] = {0, 1, 2, 4}; // Rectangular, Hamming, Hann, Blackman
    return quint8(windowBits[s.window] | put(s.logY, 3) | put(s.iq, 4) | (s.xy ? bit(6) : bit(5)) |
                  put(s.fftTrace, 7));
}

SpectrumSettings decodeSpectrum(quint8 v)
{
    SpectrumSettings s;
    if (has(v, 0))
        s.window = Hamming;
    else if (has(v, 1))
        s.window = Hann;
    else if (has(v, 2))
        s.window = Blackman;
    s.logY = has(v, 3);
    s.iq = has(v, 4);
    s.xy = has(v, 6);
    s.fftTrace = has(v, 7);
    return s;
}

bool isMeterMode(quint8 spectrumRegister)
{
    return spectrumRegister < 32;
}

quint8 encodeMeterSpectrum(const SpectrumSettings &spectrum)
{
    return quint8(encodeSpectrum(spectrum) & (bit(5) - 1));
}

quint8 encodeSweep(const SweepSettings &s)
{
    return quint8(put(s.accelDirection, 0) | put(s.accelerate, 1) | put(s.direction, 2) | put(s.pingPong, 3) |
                  put(s.frequency, 4) | put(s.amplitude, 5) | put(s.offset, 6) | put(s.dutyCycle, 7));
}

SweepSettings decodeSweep(quint8 v)
{
    SweepSettings s;
    s.accelDirection = has(v, 0);
    s.accelerate = has(v, 1);
    s.direction = has(v, 2);
    s.pingPong = has(v, 3);
    s.frequency = has(v, 4);
    s.amplitude = has(v, 5);
    s.offset = has(v, 6);
    s.dutyCycle = has(v, 7);
    return s;
}

quint8 encodeSniffer(const SnifferSettings &s)
{
    quint8 v = quint8(s.baud & 7) | put(s.cpol, 3) | put(s.cpha, 4) | put(s.twoStopBits, 7);
    if (s.parity == EvenParity)
        v |= bit(5);
    else if (s.parity == OddParity)
        v |= bit(5) | bit(6);
    return v;
}

SnifferSettings decodeSniffer(quint8 v)
{
    SnifferSettings s;
    s.baud = v & 7;
    s.cpol = has(v, 3);
    s.cpha = has(v, 4);
    if (!has(v, 5))
        s.parity = NoParity;
    else
        s.parity = has(v, 6) ? EvenParity : OddParity;
    s.twoStopBits = has(v, 7);
    return s;
}

quint8 encodeSnifferRunState(bool running, int deviceMode)
{
    return quint8((running ? MStatusSnifferRunning : 0) |
                  (deviceMode == 0 ? MStatusScopeFrames : MStatusSnifferFrames));
}

bool snifferRunning(quint8 v)
{
    return (v & MStatusSnifferRunning) != 0;
}

bool scopeFrameMode(quint8 v)
{
    return (v & MStatusScopeFrames) != 0;
}

int meterPage(quint8 v)
{
    if (!(v & MStatusVpp) && !(v & MStatusDc))
        return 2;
    return (v & MStatusVpp) ? 0 : 1;
}

quint8 encodeTriggerHold(double milliseconds)
{
    return quint8(clampInt(std::llround(milliseconds), 0, 255));
}

int decodeTriggerSource(quint8 v)
{
    return v > trigger::SourceExt ? trigger::SourceCh1 : int(v);
}

double triggerTimeoutSeconds(quint8 v)
{
    return (v + 1) * TriggerTimeoutStep;
}

quint8 encodeTriggerTimeout(double seconds)
{
    return quint8(clampInt(std::llround(seconds / TriggerTimeoutStep - 1.0), 0, 255));
}

quint8 encodeChannelPosition(int slider)
{
    // Half a register step per slider unit: an odd slider value lies between
    // two steps and goes toward zero, the even values the decode produces
    // map back exactly.
    const float value = (float(slider) * 128.0f + 16384.0f) * (-1.0f / 256.0f);
    return quint8(int(value) & 0xFF);
}

int decodeChannelPosition(quint8 v)
{
    const qint8 t = qint8(quint8(-128 - int(v)));
    return 2 * t + 128;
}

quint8 channelPositionDumpValue(quint8 v)
{
    return quint8(-128 - int(v));
}

quint8 encodeLogicPosition(int slider, int enabledLines)
{
    const int rows = quint8(7 - slider);
    const int room = quint8(8 - enabledLines);
    return quint8(8 * std::min(rows, room));
}

int decodeLogicPosition(quint8 v)
{
    return 7 - ((v >> 3) & 31);
}

bool cursorByteValid(quint8 v)
{
    return !has(v, 7);
}

int decodeVerticalCursor(quint8 v, int plotColumns)
{
    return int(v) * plotColumns / 128;
}

int decodeHorizontalCursor(quint8 v)
{
    const float value = (float(v) * 512.0f - 16384.0f) / -127.0f + 384.0f;
    return int(value);
}

int decodeSweepSpeed(quint8 v)
{
    return v == 0 ? 1 : int(v);
}

int decodeAmplitude(quint8 v)
{
    return quint8(-int(v));
}

double amplitudeVolts(int slider)
{
    return slider * AmplitudeStepVolts;
}

quint8 encodeAmplitude(double volts)
{
    const int steps = clampInt(std::llround(volts / AmplitudeStepVolts), 0, AmplitudeMax);
    return quint8(-steps & 0xFF);
}

int decodeWaveform(quint8 v)
{
    return v > 4 ? WaveformCustom : int(v);
}

int decodeDutyCycle(quint8 v)
{
    return v == 0 ? 1 : int(v);
}

double dutyPercent(int slider)
{
    return slider * DutyStepPercent;
}

quint8 encodeDutyCycle(double percent)
{
    return quint8(clampInt(std::llround(percent / DutyStepPercent), DutyCycleMin, DutyCycleMax));
}

int decodeOffset(quint8 v)
{
    return -int(qint8(v));
}

double offsetVolts(int slider)
{
    return slider * OffsetStepVolts;
}

quint8 encodeOffset(double volts)
{
    return quint8(clampInt(-std::llround(volts / OffsetStepVolts), -128, 127) & 0xFF);
}

quint32 encodeDesiredFrequency(double hertz)
{
    if (!(hertz > 0))
        return 0;
    return quint32(std::min<long long>(std::llround(hertz * 100.0), 0xFFFFFFFFll));
}

FrequencyControls frequencyControls(double hertz)
{
    FrequencyControls c;
    c.hertz = std::clamp(hertz, DesiredFrequencyMin, DesiredFrequencyMax);
    const long long whole = static_cast<long long>(c.hertz);
    if (c.hertz >= 10000) {
        c.range = Range100K;
        c.slider = int(whole / 1000);
    } else if (c.hertz >= 1000) {
        c.range = Range10K;
        c.slider = int(whole / 100);
    } else if (c.hertz >= 100) {
        c.range = Range1K;
        c.slider = int(whole / 10);
    } else if (c.hertz >= 10) {
        c.range = Range100;
        c.slider = int(whole);
    } else {
        c.range = Range10;
        c.slider = int(whole * 10);
    }
    return c;
}

double triggerLevelSample(double volts, double voltsPerDivision)
{
    return ZeroVoltsSample - volts * SamplesPerDivision / voltsPerDivision;
}

double triggerLevelVolts(double sample, double voltsPerDivision)
{
    return (ZeroVoltsSample - sample) * voltsPerDivision / SamplesPerDivision;
}

int triggerLevelRegister(int levelUnits)
{
    return std::clamp(levelUnits / 2, TriggerLevelMin, TriggerLevelMax);
}

int windowLevelRegister(int levelUnits)
{
    return std::clamp(levelUnits / 2, 0, 255);
}

} // namespace reg
