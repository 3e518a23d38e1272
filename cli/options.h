#pragma once
// The command line of quorvel-cli: sub-commands, their options, the texts
// the values are given in, and the register writes a set of options makes.
// Nothing here talks to the instrument, so all of it is checked before the
// link is opened, or before the first register is written.

#include "settings/registers.h"
#include "settings/registerwriter.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace cli {

// Exit codes.
enum Exit { Done = 0, UsageError = 1, NoInstrument = 2, LinkLost = 3, WriteFailed = 4, NoFrame = 5 };

enum class Command { None, List, Info, Capture, Meter, Generate };

enum class Format { Csv, Vcd, Omx, Sr };

enum class MeterKind { Vpp, Vdc, Frequency, Pulses };

// Options every sub-command takes.
struct Common
{
    QString port; // serial port; empty: USB
};

struct CaptureOptions
{
    qint64 frames = 0;  // 0: not given
    double seconds = 0; // 0: not given
    QString out;
    Format format = Format::Csv;
    int timeBase = -1;      // time base index; -1: as the instrument has it
    int ch1Gain = -1;       // gain index; -1: as it is
    int ch2Gain = -1;
    int triggerSource = -1; // register 24 value
    bool triggerLevelSet = false;
    double triggerLevel = 0; // volts on the trigger source's scale
    int triggerMode = -1;    // reg::TriggerMode
    bool roll = false;
};

struct MeterOptions
{
    MeterKind kind = MeterKind::Vpp;
    int intervalMs = 1000;
    qint64 count = 0; // 0: until interrupted
    QString out;      // empty: standard output
    int source = -1;  // counter source (register 24); -1: as it is
};

struct GenerateOptions
{
    int waveform = -1; // generator::Waveform; -1: as it is
    bool frequencySet = false;
    double frequency = 0; // Hz
    bool amplitudeSet = false;
    double amplitude = 0; // V
    bool offsetSet = false;
    double offset = 0; // V
    bool dutySet = false;
    double duty = 0; // %
    QString csv;     // custom wave file
};

struct Parsed
{
    Command command = Command::None;
    Common common;
    CaptureOptions capture;
    MeterOptions meter;
    GenerateOptions generate;
    bool help = false; // print `text` to stdout and end with Done
    QString text;      // the help text, or the error (one line) for UsageError
    bool ok = false;
};

// Parses the arguments after the program name.
Parsed parse(const QStringList &arguments);
// The overview of the sub-commands.
QString usage();

// ---- value texts
// Time base text ("1ms", "500us", "0.1s", with or without "/div"): its index, or -1.
int timeBaseIndex(const QString &text);
QString timeBaseChoices();
// Volts/div text ("0.64V", "80mV", with or without "/div"): gain index, or -1.
int gainIndex(const QString &text);
QString gainChoices();
// "ch1", "ch2", "bit0" .. "bit7", "ext": register 24 value, or -1.
int triggerSource(const QString &text);
QString triggerSourceChoices();
// "auto", "normal", "single", "free": reg::TriggerMode, or -1.
int triggerMode(const QString &text);
// A number with an optional unit: "0.5", "0.5V", "500mV" (unit "V"); "1k",
// "1kHz", "250Hz" (unit "Hz"); "50%" (unit "%"). False when it is none.
bool parseQuantity(const QString &text, const QString &unit, double *value);
// The format an output file's extension names; false for any other.
bool formatOfFile(const QString &path, Format *format);
// "sine", "square", ...: generator::Waveform, or -1.
int waveform(const QString &text);
QString waveformChoices();

// ---- what the options write
using Write = reg::RegisterWrite;

// The settings a capture runs with: the block read, with the options applied.
struct CapturePlan
{
    QVector<Write> writes;    // in the order they are sent; only changed registers
    reg::DeviceSettings block; // the block as it will be
    int timeBase = 0;
    bool roll = false;
};
// The writes for the capture options on an instrument that holds `block`.
// False, with a one-line error naming the accepted values, when the
// instrument cannot take them (a trigger level beyond the screen, roll mode
// at a fast time base).
bool planCapture(const reg::DeviceSettings &block, const CaptureOptions &options, bool serial, CapturePlan *plan,
                 QString *error);

struct GeneratorPlan
{
    QVector<Write> writes;
    bool frequencyRequest = false; // ask for `hertz`
    double hertz = 0;              // the desired frequency (asked, or held by the instrument)
    bool uploadWave = false;
    signed char wave[256] = {};
};
// The writes for the generator options; false with an error for a value
// outside the window's range or a custom wave file that cannot be read.
bool planGenerator(const reg::DeviceSettings &block, const GenerateOptions &options, GeneratorPlan *plan,
                   QString *error);

} // namespace cli
