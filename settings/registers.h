#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>

// The instrument's settings block: 44 bytes, read whole with the settings
// read and written one register at a time (indices 0 to 39). Index 0 is the
// time base, 1 to 11 are bit registers, 12 to 39 byte registers, 40 to 43 the
// desired generator frequency. Every conversion between a register byte and
// the value a control shows lives here, without widgets.
//
// Encoders of values that a control shows with a fractional step convert to
// the nearest register step, so decode then encode gives back every byte the
// control can show.
namespace trigger {
// Trigger sources: register 24's value and comboBoxTrigSource's index. The
// frequency counter takes its source from the same register (a logic line or
// EXT).
enum TriggerSource { SourceCh1 = 0, SourceCh2 = 1, FirstLogicSource = 2, LastLogicSource = 9, SourceExt = 10 };
constexpr bool isChannelSource(int source)
{
    return source == SourceCh1 || source == SourceCh2;
}
constexpr bool isLogicSource(int source)
{
    return source >= FirstLogicSource && source <= LastLogicSource;
}
} // namespace trigger

namespace reg {

constexpr int BlockSize = 44;
// Registers that a register write reaches (0 to 39); 40 to 43 travel with the
// frequency request, 22 and 23 with the trigger-position request.
constexpr int WritableCount = 40;

// Register indices.
constexpr quint16 SamplingRate = 0;
constexpr quint16 Ch1Options = 1;       // GPIO1
constexpr quint16 Ch2Options = 2;       // GPIO2
constexpr quint16 LogicOptions = 3;     // GPIO3
constexpr quint16 LogicMask = 4;        // GPIO4
constexpr quint16 Trigger = 5;          // GPIO5
constexpr quint16 Cursors = 6;          // GPIO6
constexpr quint16 Display = 7;          // GPIO7
constexpr quint16 Spectrum = 8;         // GPIO8
constexpr quint16 Sweep = 9;            // GPIO9
constexpr quint16 SnifferControls = 10; // GPIOA
constexpr quint16 MStatus = 11;         // GPIOB
constexpr quint16 Gain1 = 12;
constexpr quint16 Gain2 = 13;
constexpr quint16 HPos = 14;
constexpr quint16 VCursorA = 15;
constexpr quint16 VCursorB = 16;
constexpr quint16 Ch1HCursorA = 17;
constexpr quint16 Ch1HCursorB = 18;
constexpr quint16 Ch2HCursorA = 19;
constexpr quint16 Ch2HCursorB = 20;
constexpr quint16 TriggerHold = 21;
constexpr quint16 PostTriggerLow = 22;
constexpr quint16 PostTriggerHigh = 23;
constexpr quint16 TriggerSource = 24;
constexpr quint16 TriggerLevel = 25;
constexpr quint16 WindowLevel1 = 26;
constexpr quint16 WindowLevel2 = 27;
constexpr quint16 TriggerTimeout = 28;
constexpr quint16 Ch1Position = 29;
constexpr quint16 Ch2Position = 30;
constexpr quint16 LogicPosition = 31;
constexpr quint16 DecodeProtocol = 32;
constexpr quint16 SweepStart = 33;
constexpr quint16 SweepEnd = 34;
constexpr quint16 SweepSpeed = 35;
constexpr quint16 Amplitude = 36;
constexpr quint16 Waveform = 37;
constexpr quint16 DutyCycle = 38;
constexpr quint16 Offset = 39;
constexpr quint16 DesiredFrequency = 40; // 40 to 43, hundredths of a hertz, LSB first

// Ranges of the controls that show the byte registers.
constexpr int SamplingRateMax = 21;
// Time bases 0 to LastFrameTimeBase take whole frames, of which the scroll bar
// picks a half-record window; the slower ones stream single samples over the
// whole record (roll mode allowed).
constexpr int LastFrameTimeBase = 10;
constexpr bool isSlowTimeBase(int timeBase)
{
    return timeBase > LastFrameTimeBase;
}
constexpr int GainMax = 6;
constexpr int HPosMax = 127;
constexpr int LogicLines = 8;
constexpr int LogicPositionMax = 7;
constexpr int SweepSpeedMin = 1;
constexpr int SweepSpeedMax = 127;
constexpr int AmplitudeMax = 128; // amplitudeSlider 0..128
constexpr int DutyCycleMin = 1;
constexpr int DutyCycleMax = 255;
constexpr int WaveformCustom = 5;
constexpr int ProtocolCount = 3; // 0 SPI, 1 I2C, 2 UART

// The dump label of a register ("M 12 Gain CH1: "); 22 and 40 carry the
// labels of their multi-byte fields, 23 and 41 to 43 have none (empty).
QString label(int index);

// The 44 bytes as received. Multi-byte fields are assembled byte by byte.
struct DeviceSettings
{
    std::array<quint8, BlockSize> bytes{};

    // The first 44 bytes of `data`; bytes missing from a shorter buffer are 0.
    static DeviceSettings fromBytes(const unsigned char *data, int length);
    static DeviceSettings fromByteArray(const QByteArray &data);
    QByteArray toByteArray() const;

    quint8 operator[](int index) const { return bytes[size_t(index)]; }
    quint8 &operator[](int index) { return bytes[size_t(index)]; }

    quint16 postTrigger() const; // bytes 22 (low) and 23 (high)
    void setPostTrigger(quint16 value);
    quint32 desiredFrequency() const; // hundredths of a hertz
    void setDesiredFrequency(quint32 hundredths);
    double desiredFrequencyHz() const { return desiredFrequency() / 100.0; }

    bool operator==(const DeviceSettings &other) const { return bytes == other.bytes; }
    bool operator!=(const DeviceSettings &other) const { return bytes != other.bytes; }
};

// Sanity check of a block as read from the instrument: every register with a
// fixed range holds a value the window can write and the instrument keeps
// (time base, gains, horizontal position, trigger source, logic position,
// protocol, sweep speed, amplitude, waveform, desired frequency). Returns
// the first register out of its range (40 for the desired frequency), or -1
// for a plausible block. A block out of range is no settings block (a reply
// cut or shifted on the line) and is not decoded.
int implausibleRegister(const DeviceSettings &block);
inline bool isPlausibleBlock(const DeviceSettings &block)
{
    return implausibleRegister(block) < 0;
}

// The readable dump of a block: "Device Settings: ", one line per register
// (label and number; 22/23 and 40 to 43 as one line each) and the closing
// line of 42 hyphens.
QStringList dumpLines(const DeviceSettings &block);
QString dumpClosingLine();

// ---- GPIO1, GPIO2: channel options --------------------------------------
struct ChannelOptions
{
    bool trace = false;
    bool invert = false;
    bool average = false;
    bool math = false;
    bool subtract = false; // math operation: subtract (1) or multiply (0)
};
quint8 encodeChannelOptions(const ChannelOptions &options);
ChannelOptions decodeChannelOptions(quint8 value);

// ---- GPIO3: logic input options -------------------------------------------
// Positions of chdPullSlider.
enum Pull { PullDown = 0, NoPull = 1, PullUp = 2 };
struct LogicInputOptions
{
    bool trace = false;
    int pull = NoPull;
    bool thick0 = false;
    bool invert = false;
    bool ascii = false; // sniffer shows received data as ASCII
};
quint8 encodeLogicOptions(const LogicInputOptions &options);
LogicInputOptions decodeLogicOptions(quint8 value);

// ---- GPIO4: enabled logic lines ------------------------------------------
quint8 encodeLogicMask(const std::array<bool, LogicLines> &enabled);
std::array<bool, LogicLines> decodeLogicMask(quint8 value);
int enabledLineCount(quint8 mask);

// ---- GPIO5: trigger mode and type ----------------------------------------
enum TriggerMode { Free, Normal, Single, Auto };
// The numbering is the trigger marker icon index.
enum TriggerType { Rising = 0, Falling = 1, Dual = 2, PositiveSlope = 3, NegativeSlope = 4, Window = 5 };
struct TriggerSettings
{
    TriggerMode mode = Free;
    TriggerType type = Dual;
    bool circular = false; // sniffer circular buffer
};
quint8 encodeTrigger(const TriggerSettings &trigger);
TriggerMode decodeTriggerMode(quint8 value);
TriggerType decodeTriggerType(quint8 value);
TriggerSettings decodeTrigger(quint8 value);
// Slope and window triggers need an analog source (CH1 or CH2).
bool typeNeedsAnalogSource(TriggerType type);

// ---- GPIO6: cursors, roll mode, sniffer mode -----------------------------
enum HorizontalCursors { NoHorizontalCursors, Ch1Cursors, Ch2Cursors };
struct CursorSettings
{
    bool roll = false;
    bool automatic = false;
    bool track = false;
    HorizontalCursors horizontal = NoHorizontalCursors;
    bool vertical = false;
    bool snifferSingle = false;
};
quint8 encodeCursors(const CursorSettings &cursors);
CursorSettings decodeCursors(quint8 value);

// ---- GPIO7: display -----------------------------------------------------
struct DisplaySettings
{
    int grid = 0; // comboBoxGrid index 0..3
    bool elastic = false;
    bool invert = false;
    bool flip = false;
    bool persistence = false;
    bool vectors = false;
    bool showSettings = false;
};
quint8 encodeDisplay(const DisplaySettings &display);
DisplaySettings decodeDisplay(quint8 value);

// ---- GPIO8: spectrum and display mode -------------------------------------
// Same numbering as the spectrum's window table.
enum FftWindow { Rectangular = 0, Hamming = 1, Hann = 2, Blackman = 3 };
struct SpectrumSettings
{
    FftWindow window = Rectangular;
    bool logY = false;
    bool iq = false;
    bool xy = false; // XY mode; the time-domain bit is written whenever this is off
    bool fftTrace = false;
};
quint8 encodeSpectrum(const SpectrumSettings &spectrum);
SpectrumSettings decodeSpectrum(quint8 value);
// Bits 5 to 7 clear: the instrument is in meter mode.
bool isMeterMode(quint8 spectrumRegister);
// Register 8 as the meter page writes it: the window, log Y and IQ bits of
// encodeSpectrum() without the display bits 5 to 7, so it reads as meter mode.
quint8 encodeMeterSpectrum(const SpectrumSettings &spectrum);

// ---- GPIO9: sweep --------------------------------------------------------
struct SweepSettings
{
    bool accelDirection = false;
    bool accelerate = false;
    bool direction = false;
    bool pingPong = false;
    bool frequency = false;
    bool amplitude = false;
    bool offset = false;
    bool dutyCycle = false;
};
quint8 encodeSweep(const SweepSettings &sweep);
SweepSettings decodeSweep(quint8 value);

// ---- GPIOA: sniffer line settings ----------------------------------------
enum Parity { NoParity = 0, EvenParity = 1, OddParity = 2 };
struct SnifferSettings
{
    int baud = 0; // comboBoxBaud index 0..7
    bool cpol = false;
    bool cpha = false;
    int parity = NoParity;
    bool twoStopBits = false;
};
// Parity is written Even 32, Odd 96 and read bit 5 alone Odd, bits 5 and 6
// Even: the instrument's firmware relies on both rules as they are.
quint8 encodeSniffer(const SnifferSettings &sniffer);
SnifferSettings decodeSniffer(quint8 value);

// ---- GPIOB: sniffer run state and meter mode -------------------------------
constexpr quint8 MStatusMeter = 1;
constexpr quint8 MStatusSnifferRunning = 8;
constexpr quint8 MStatusScopeFrames = 16;
constexpr quint8 MStatusSnifferFrames = 32;
constexpr quint8 MStatusVpp = 64;
constexpr quint8 MStatusDc = 128;
// Written alone whenever the sniffer protocol page changes.
constexpr quint8 MStatusProtocolChange = MStatusSnifferFrames;
// The byte a sniffer start (running) or stop writes in the given frame mode
// (0 oscilloscope frames, 1 sniffer frames).
quint8 encodeSnifferRunState(bool running, int deviceMode);
bool snifferRunning(quint8 value);
bool scopeFrameMode(quint8 value); // bit 4: frame mode back to oscilloscope frames
// The meter page (mmTabWidget index) a run state byte selects.
int meterPage(quint8 value);

// ---- byte registers --------------------------------------------------------
// Trigger hold-off, milliseconds.
quint8 encodeTriggerHold(double milliseconds);

// Trigger source: a byte above 10 reads as CH1.
int decodeTriggerSource(quint8 value);

// Trigger level (register 25) and window levels (26, 27): a level register is
// a sample value, 0 at the top of the screen; 0 V is sample 127 and a volts
// division 32 samples. The instrument's extreme rows are no trigger level.
constexpr int TriggerLevelMin = 3, TriggerLevelMax = 252;
constexpr int ZeroVoltsSample = 127;
constexpr int SamplesPerDivision = 32;
// The sample value (unrounded) of a level in volts at a channel's volts/div.
double triggerLevelSample(double volts, double voltsPerDivision);
// The level in volts a sample value stands for.
double triggerLevelVolts(double sample, double voltsPerDivision);
// Level units, the markers' arithmetic: twice the register value.
constexpr int levelUnits(int registerValue)
{
    return 2 * registerValue;
}
// Register 25 for a level in level units, kept within TriggerLevelMin..Max.
int triggerLevelRegister(int levelUnits);
// Registers 26 and 27 for a window level in level units (0..255).
int windowLevelRegister(int levelUnits);

// Post-trigger (registers 22, 23, and the trigger-position request): the
// samples after the trigger, 256 - the trigger position in the record.
constexpr int postTriggerValue(int triggerPosition)
{
    return 256 - triggerPosition;
}
constexpr int triggerPosition(int postTrigger)
{
    return 256 - postTrigger;
}

// Trigger time-out: (value + 1) x 40.96 ms.
constexpr double TriggerTimeoutStep = 0.04096;
double triggerTimeoutSeconds(quint8 value);
quint8 encodeTriggerTimeout(double seconds);

// Channel position (registers 29, 30), ch1PositionSlider -128..127.
quint8 encodeChannelPosition(int slider);
// The slider value for a register byte, before the slider clamps it.
int decodeChannelPosition(quint8 value);
// The number the dump prints for a channel position byte.
quint8 channelPositionDumpValue(quint8 value);

// Logic position (register 31), chdPositionSlider 0..7, clamped so that the
// enabled lines stay on the instrument's screen.
quint8 encodeLogicPosition(int slider, int enabledLines);
// The slider position for a register byte; outside 0..7 for bytes above 63.
int decodeLogicPosition(quint8 value);

// Cursors (registers 15 to 20): a byte with bit 7 set is ignored on reading.
bool cursorByteValid(quint8 value);
int decodeVerticalCursor(quint8 value, int plotColumns);
int decodeHorizontalCursor(quint8 value);

// Sweep speed: 0 reads as 1.
int decodeSweepSpeed(quint8 value);

// Amplitude (register 36): 0 down to -128, amplitudeSlider 0..128,
// 31.25 mV per step.
constexpr double AmplitudeStepVolts = 0.03125;
int decodeAmplitude(quint8 value); // slider value; above 128 for bytes 1..127
double amplitudeVolts(int slider);
quint8 encodeAmplitude(double volts);

// Waveform: a byte above 4 selects Custom.
int decodeWaveform(quint8 value);

// Duty cycle (register 38): dutyCycleSlider 1..255, 0.39063 % per step.
constexpr double DutyStepPercent = 0.39063;
int decodeDutyCycle(quint8 value); // 0 reads as 1
double dutyPercent(int slider);
quint8 encodeDutyCycle(double percent); // nearest step, 1..255

// Offset (register 39): signed byte, offsetSlider = -value (-127..128),
// 15.63 mV per step.
constexpr double OffsetStepVolts = 0.50016 * 0.03125;
int decodeOffset(quint8 value);
double offsetVolts(int slider);
quint8 encodeOffset(double volts); // nearest step, -128..127

// Desired frequency: hertz to hundredths, nearest.
quint32 encodeDesiredFrequency(double hertz);

// The generator's values as the controls show them, for every program: the
// window's controls take these ranges and the command line refuses values
// outside them. The desired frequency's controls show 1 Hz .. 100 kHz (the
// "100K" range at its end).
struct ValueRange
{
    double min, max;
    constexpr bool contains(double v) const { return v >= min && v <= max; } // false for NaN
};
constexpr ValueRange DesiredFrequencyRange{1.0, 100000.0};   // hertz
constexpr ValueRange AmplitudeRange{0.0, 4.0};               // volts, 128 steps
constexpr ValueRange OffsetRange{-2.0, 2.0};                 // volts
constexpr ValueRange DutyCycleRange{0.0, 99.9};              // percent
constexpr double DesiredFrequencyMin = DesiredFrequencyRange.min;
constexpr double DesiredFrequencyMax = DesiredFrequencyRange.max;
// A block holding a desired frequency above this is no settings block (a
// reply cut or shifted); one between DesiredFrequencyMax and this is shown
// clamped and written back clamped.
constexpr double DesiredFrequencyRequestMax = 200000.0;

// Frequency range buttons "10" .. "100K" and the frequencySlider position
// that show a desired frequency (clamped to 1 .. 100000 Hz first).
enum FrequencyRange { Range10, Range100, Range1K, Range10K, Range100K };
struct FrequencyControls
{
    double hertz = 0;
    FrequencyRange range = Range1K;
    int slider = 10;
};
FrequencyControls frequencyControls(double hertz);

} // namespace reg
