#include "cli/options.h"

#include "display/scales.h"
#include "files/dataexport.h"
#include "instruments/customwave.h"
#include "instruments/generator.h"
#include "instruments/meter.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace cli {

namespace {

constexpr char Program[] = "quorvel-cli";

// A scale text without "/div", with "u" for the micro sign, in lower case.
QString plainScale(QString text)
{
    text = text.trimmed();
    text.remove(QStringLiteral("/div"), Qt::CaseInsensitive);
    text.replace(QChar(0x00B5), QLatin1Char('u'));
    return text.toLower();
}

QString choicesOf(const QList<QString> &texts, int count)
{
    QStringList out;
    for (int i = 0; i < count && i < texts.size(); ++i) {
        QString t = texts[i];
        t.remove(QStringLiteral("/div"));
        t.replace(QChar(0x00B5), QLatin1Char('u'));
        out << t;
    }
    return out.join(QLatin1Char(' '));
}

int indexOfScale(const QString &text, const QList<QString> &texts, int count)
{
    const QString wanted = plainScale(text);
    if (wanted.isEmpty())
        return -1;
    for (int i = 0; i < count && i < texts.size(); ++i)
        if (plainScale(texts[i]) == wanted)
            return i;
    return -1;
}

void add(QCommandLineParser &p, const QStringList &names, const QString &description,
         const QString &valueName = QString())
{
    p.addOption(QCommandLineOption(names, description, valueName));
}

// The parser of one sub-command with the options all of them take.
void addCommon(QCommandLineParser &p)
{
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    add(p, {"h", "help"}, "Show this help.");
    add(p, {"p", "port"}, "Serial port of the instrument (e.g. rfcomm0); without it, USB.", "NAME");
}

QString helpOf(const QCommandLineParser &p, const QString &synopsis, const QString &description)
{
    QString options = p.helpText();
    const int at = options.indexOf(QLatin1String("Options:"));
    if (at >= 0)
        options = options.mid(at);
    return QStringLiteral("usage: %1 %2\n\n%3\n\n%4").arg(Program, synopsis, description, options);
}

bool fail(Parsed &r, const QString &text)
{
    r.ok = false;
    r.text = text;
    return false;
}

bool positiveInteger(const QString &text, qint64 *value)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok || v <= 0)
        return false;
    *value = v;
    return true;
}

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

bool parseCapture(QCommandLineParser &p, Parsed &r)
{
    CaptureOptions &c = r.capture;
    if (!p.positionalArguments().isEmpty())
        return fail(r, QStringLiteral("capture: unexpected argument '%1'").arg(p.positionalArguments().first()));
    if (p.isSet("frames") && !positiveInteger(p.value("frames"), &c.frames))
        return fail(r, QStringLiteral("--frames: a whole number of frames above 0, not '%1'").arg(p.value("frames")));
    if (p.isSet("seconds")) {
        bool ok = false;
        c.seconds = p.value("seconds").toDouble(&ok);
        if (!ok || !(c.seconds > 0) || c.seconds > 1e7)
            return fail(r, QStringLiteral("--seconds: a number of seconds above 0, not '%1'").arg(p.value("seconds")));
    }
    if (!p.isSet("out"))
        return fail(r, QStringLiteral("capture: --out FILE is needed (.csv, .vcd, .sr or .omx, or - for standard "
                                      "output)"));
    c.out = p.value("out");
    if (p.isSet("format")) {
        // The format of standard output, or one the file's name does not say.
        const QString f = p.value("format").toLower();
        if (!formatOfFile(QStringLiteral("x.") + f, &c.format))
            return fail(r, QStringLiteral("--format: '%1' is no format; accepted: csv vcd sr omx").arg(f));
    } else if (c.out == QLatin1String("-")) {
        c.format = Format::Csv;
    } else if (!formatOfFile(c.out, &c.format)) {
        return fail(r, QStringLiteral("--out: '%1' has no known extension; accepted: .csv .vcd .sr .omx").arg(c.out));
    }
    if (c.out == QLatin1String("-") && c.format != Format::Csv && c.format != Format::Vcd)
        return fail(r, QStringLiteral("--out -: standard output takes csv or vcd"));
    if (p.isSet("timebase")) {
        c.timeBase = timeBaseIndex(p.value("timebase"));
        if (c.timeBase < 0)
            return fail(r, QStringLiteral("--timebase: '%1' is no time base; accepted: %2")
                               .arg(p.value("timebase"), timeBaseChoices()));
    }
    for (const char *name : {"ch1", "ch2"}) {
        if (!p.isSet(name))
            continue;
        const int gain = gainIndex(p.value(name));
        if (gain < 0)
            return fail(r, QStringLiteral("--%1: '%2' is no volts/div; accepted: %3")
                               .arg(QLatin1String(name), p.value(name), gainChoices()));
        (QLatin1String(name) == QLatin1String("ch1") ? c.ch1Gain : c.ch2Gain) = gain;
    }
    if (p.isSet("trigger-source")) {
        c.triggerSource = triggerSource(p.value("trigger-source"));
        if (c.triggerSource < 0)
            return fail(r, QStringLiteral("--trigger-source: '%1' is no source; accepted: %2")
                               .arg(p.value("trigger-source"), triggerSourceChoices()));
    }
    if (p.isSet("trigger-level")) {
        c.triggerLevelSet = true;
        if (!parseQuantity(p.value("trigger-level"), QStringLiteral("V"), &c.triggerLevel))
            return fail(r, QStringLiteral("--trigger-level: '%1' is no voltage (e.g. 0.5V, -200mV)")
                               .arg(p.value("trigger-level")));
    }
    if (p.isSet("trigger-mode")) {
        c.triggerMode = triggerMode(p.value("trigger-mode"));
        if (c.triggerMode < 0)
            return fail(r, QStringLiteral("--trigger-mode: '%1' is no mode; accepted: auto normal single free")
                               .arg(p.value("trigger-mode")));
    }
    c.roll = p.isSet("roll");
    return true;
}

bool parseMeter(QCommandLineParser &p, Parsed &r)
{
    MeterOptions &m = r.meter;
    const QStringList kinds = p.positionalArguments();
    static const QString choices = QStringLiteral("vpp vdc freq pulses");
    if (kinds.size() != 1)
        return fail(r, QStringLiteral("meter: name one reading; accepted: %1").arg(choices));
    const QString kind = kinds.first().toLower();
    if (kind == QLatin1String("vpp"))
        m.kind = MeterKind::Vpp;
    else if (kind == QLatin1String("vdc"))
        m.kind = MeterKind::Vdc;
    else if (kind == QLatin1String("freq"))
        m.kind = MeterKind::Frequency;
    else if (kind == QLatin1String("pulses"))
        m.kind = MeterKind::Pulses;
    else
        return fail(r, QStringLiteral("meter: '%1' is no reading; accepted: %2").arg(kinds.first(), choices));
    if (p.isSet("interval")) {
        qint64 ms = 0;
        if (!positiveInteger(p.value("interval"), &ms) || ms < 10 || ms > 86400000)
            return fail(r, QStringLiteral("--interval: milliseconds from 10 to 86400000, not '%1'")
                               .arg(p.value("interval")));
        m.intervalMs = int(ms);
    }
    if (p.isSet("count") && !positiveInteger(p.value("count"), &m.count))
        return fail(r, QStringLiteral("--count: a whole number of readings above 0, not '%1'").arg(p.value("count")));
    m.out = p.value("out");
    if (p.isSet("source")) {
        if (m.kind != MeterKind::Frequency && m.kind != MeterKind::Pulses)
            return fail(r, QStringLiteral("--source: only for freq and pulses"));
        const int s = triggerSource(p.value("source"));
        if (s < ::trigger::FirstLogicSource)
            return fail(r, QStringLiteral("--source: '%1' is no counter source; accepted: bit0 ... bit7 ext")
                               .arg(p.value("source")));
        m.source = s;
    }
    return true;
}

bool parseGenerate(QCommandLineParser &p, Parsed &r)
{
    GenerateOptions &g = r.generate;
    if (!p.positionalArguments().isEmpty())
        return fail(r, QStringLiteral("generate: unexpected argument '%1'").arg(p.positionalArguments().first()));
    if (p.isSet("waveform")) {
        g.waveform = waveform(p.value("waveform"));
        if (g.waveform < 0)
            return fail(r, QStringLiteral("--waveform: '%1' is no waveform; accepted: %2")
                               .arg(p.value("waveform"), waveformChoices()));
    }
    struct Quantity
    {
        const char *name;
        const char *unit;
        reg::ValueRange range;
        bool *set;
        double *value;
    } quantities[] = {
        {"frequency", "Hz", reg::DesiredFrequencyRange, &g.frequencySet, &g.frequency},
        {"amplitude", "V", reg::AmplitudeRange, &g.amplitudeSet, &g.amplitude},
        {"offset", "V", reg::OffsetRange, &g.offsetSet, &g.offset},
        {"duty", "%", reg::DutyCycleRange, &g.dutySet, &g.duty},
    };
    for (const Quantity &q : quantities) {
        if (!p.isSet(q.name))
            continue;
        double v = 0;
        const QString range = QStringLiteral("%1 to %2 %3").arg(number(q.range.min), number(q.range.max), QLatin1String(q.unit));
        if (!parseQuantity(p.value(q.name), QLatin1String(q.unit), &v) || !q.range.contains(v))
            return fail(r, QStringLiteral("--%1: '%2' is outside the generator's range; accepted: %3")
                               .arg(QLatin1String(q.name), p.value(q.name), range));
        *q.set = true;
        *q.value = v;
    }
    if (p.isSet("csv")) {
        g.csv = p.value("csv");
        if (g.waveform >= 0 && g.waveform != generator::Custom)
            return fail(r, QStringLiteral("--csv loads a custom wave; it goes with --waveform custom only"));
        g.waveform = generator::Custom;
    }
    return true;
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "usage: quorvel-cli <command> [options]\n"
        "\n"
        "The instrument from the command line, over USB or a serial port (--port NAME).\n"
        "\n"
        "Commands:\n"
        "  list       the instruments found: USB and the serial ports offered\n"
        "  info       firmware version and settings block; changes nothing\n"
        "  capture    frames into a file (.csv, .vcd, .omx)\n"
        "  meter      log meter readings: vpp, vdc, freq or pulses\n"
        "  generate   set the waveform generator\n"
        "  decode     protocol decoders on the logic lines, one CSV line per annotation\n"
        "\n"
        "'quorvel-cli <command> --help' describes a command's options.\n"
        "Exit codes: 0 done, 1 usage error, 2 no instrument or it could not be opened,\n"
        "3 the link was lost during the work (what was written so far is kept).\n");
}

Parsed parse(const QStringList &arguments)
{
    Parsed r;
    if (arguments.isEmpty()) {
        fail(r, QStringLiteral("no command given; try 'quorvel-cli --help'"));
        return r;
    }
    const QString name = arguments.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        r.help = true;
        r.ok = true;
        r.text = usage();
        return r;
    }

    QCommandLineParser p;
    addCommon(p);
    QString synopsis, description;
    if (name == QLatin1String("list")) {
        r.command = Command::List;
        synopsis = "list";
        description = "Lists the instruments found, one a line: USB instruments (vendor 0x16D0,\n"
                      "product 0x06F9) as 'usb BUS:ADDRESS', and the serial ports the window\n"
                      "offers as 'serial NAME: DESCRIPTION'.";
    } else if (name == QLatin1String("info")) {
        r.command = Command::Info;
        synopsis = "info [--port NAME]";
        description = "Connects, prints the firmware version and the settings block, and\n"
                      "disconnects without writing anything to the instrument.";
    } else if (name == QLatin1String("capture")) {
        r.command = Command::Capture;
        synopsis = "capture --out FILE [--frames N] [--seconds S] [settings] [--port NAME]";
        description =
            "Waits for frames and writes them to FILE, in the format its extension names:\n"
            "  .csv  the export's columns after the frame's number and arrival time:\n"
            "        frame,frame_time_s,time_s,ch1_V,ch2_V,bit0..bit7; one block of rows per\n"
            "        frame, the whole record of 256 samples\n"
            "  .vcd  the logic lines and a wire 'frame' that changes at each frame's first\n"
            "        sample; each frame at the time it arrived, every line x in between\n"
            "  .sr   a session file (sigrok-cli, PulseView): bit0..bit7, CH1 and CH2 in\n"
            "        volts; frames one after another, listed in its member 'frames'\n"
            "  .omx  the window's recording format (its player plays it)\n"
            "--out - writes CSV (or --format vcd) to standard output.\n"
            "Ends after --frames N, after --seconds S, when interrupted (Ctrl-C) or\n"
            "when the reader of standard output goes away; the file then holds whole\n"
            "frames. Without settings options nothing is written to the instrument.";
        add(p, {"n", "frames"}, "Frames to capture.", "N");
        add(p, {"s", "seconds"}, "Seconds to capture.", "S");
        add(p, {"o", "out"}, "Output file: .csv, .vcd, .sr or .omx; - for standard output.", "FILE");
        add(p, {"format"}, "Format when the file's name does not say it: csv, vcd, sr or omx.", "NAME");
        add(p, {"t", "timebase"}, "Time base, e.g. 1ms (" + timeBaseChoices() + ").", "TEXT");
        add(p, {"ch1"}, "CH1 volts/div, e.g. 0.64V (" + gainChoices() + ").", "TEXT");
        add(p, {"ch2"}, "CH2 volts/div.", "TEXT");
        add(p, {"trigger-source"}, "Trigger source: " + triggerSourceChoices() + ".", "SOURCE");
        add(p, {"trigger-level"}, "Trigger level in volts on the source channel, e.g. 0.5V.", "VOLTS");
        add(p, {"trigger-mode"}, "Trigger mode: auto, normal, single (re-armed after each frame) or free.",
            "MODE");
        add(p, {"roll"}, "Roll mode (time bases of 20ms and slower).");
    } else if (name == QLatin1String("meter")) {
        r.command = Command::Meter;
        synopsis = "meter vpp|vdc|freq|pulses [--interval MS] [--count N] [--out FILE] [--port NAME]";
        description = "Puts the instrument in a meter mode and writes one CSV line per reading:\n"
                      "the local time (ISO 8601, milliseconds) and the values, with their units\n"
                      "in the header. Ends after --count readings or when interrupted (Ctrl-C),\n"
                      "then gives the registers it changed their values back.";
        add(p, {"i", "interval"}, "Milliseconds between readings (default 1000).", "MS");
        add(p, {"c", "count"}, "Readings to take.", "N");
        add(p, {"o", "out"}, "Output file; without it, standard output.", "FILE");
        add(p, {"source"}, "Counter source for freq and pulses: bit0 ... bit7, ext.", "SOURCE");
    } else if (name == QLatin1String("generate")) {
        r.command = Command::Generate;
        synopsis = "generate [--waveform W] [--frequency HZ] [--amplitude V] [--offset V] [--duty %] "
                   "[--csv FILE] [--port NAME]";
        description = "Sets the waveform generator as the window's generator page does, and prints\n"
                      "the frequency the instrument will actually produce. Values outside the\n"
                      "window's ranges are refused.";
        add(p, {"w", "waveform"}, "Waveform: " + waveformChoices() + ".", "W");
        const auto span = [](reg::ValueRange r, const char *unit) {
            return QStringLiteral("%1 to %2 %3").arg(number(r.min), number(r.max), QLatin1String(unit));
        };
        add(p, {"f", "frequency"}, "Desired frequency, " + span(reg::DesiredFrequencyRange, "Hz") + " (e.g. 1000, 2.5k).",
            "HZ");
        add(p, {"a", "amplitude"}, "Amplitude, " + span(reg::AmplitudeRange, "V") + ".", "V");
        add(p, {"offset"}, "Offset, " + span(reg::OffsetRange, "V") + ".", "V");
        add(p, {"duty"}, "Duty cycle, " + span(reg::DutyCycleRange, "%") + ".", "PERCENT");
        add(p, {"csv"}, "Custom wave: up to 256 integers -127..127, comma or line separated.", "FILE");
    } else {
        fail(r, QStringLiteral("'%1' is no command; accepted: list info capture meter generate").arg(name));
        return r;
    }

    if (r.command == Command::Meter)
        p.addPositionalArgument("reading", "vpp, vdc, freq or pulses");
    QStringList rest = arguments;
    rest[0] = QLatin1String(Program); // the parser skips the first argument
    if (!p.parse(rest)) {
        fail(r, name + QStringLiteral(": ") + p.errorText());
        return r;
    }
    if (p.isSet("help")) {
        r.help = true;
        r.ok = true;
        r.text = helpOf(p, synopsis, description);
        return r;
    }
    r.common.port = p.value("port");
    if (p.isSet("port") && r.common.port.trimmed().isEmpty()) {
        fail(r, QStringLiteral("--port: a port name is needed"));
        return r;
    }
    bool ok = true;
    switch (r.command) {
    case Command::Capture:
        ok = parseCapture(p, r);
        break;
    case Command::Meter:
        ok = parseMeter(p, r);
        break;
    case Command::Generate:
        ok = parseGenerate(p, r);
        break;
    default:
        if (!p.positionalArguments().isEmpty())
            ok = fail(r, QStringLiteral("%1: unexpected argument '%2'").arg(name, p.positionalArguments().first()));
        break;
    }
    r.ok = ok;
    return r;
}

// ---- value texts

int timeBaseIndex(const QString &text)
{
    return indexOfScale(text, scales::timeBaseTexts(), scales::TimeBaseCount);
}

QString timeBaseChoices()
{
    return choicesOf(scales::timeBaseTexts(), scales::TimeBaseCount);
}

int gainIndex(const QString &text)
{
    return indexOfScale(text, scales::gainTexts(), reg::GainMax + 1);
}

QString gainChoices()
{
    return choicesOf(scales::gainTexts(), reg::GainMax + 1);
}

int triggerSource(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("ch1"))
        return ::trigger::SourceCh1;
    if (t == QLatin1String("ch2"))
        return ::trigger::SourceCh2;
    if (t == QLatin1String("ext"))
        return ::trigger::SourceExt;
    static const QRegularExpression bit(QStringLiteral("^bit([0-7])$"));
    const QRegularExpressionMatch m = bit.match(t);
    if (m.hasMatch())
        return ::trigger::FirstLogicSource + m.captured(1).toInt();
    return -1;
}

QString triggerSourceChoices()
{
    return QStringLiteral("ch1 ch2 bit0 bit1 bit2 bit3 bit4 bit5 bit6 bit7 ext");
}

int triggerMode(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("auto"))
        return reg::Auto;
    if (t == QLatin1String("normal"))
        return reg::Normal;
    if (t == QLatin1String("single"))
        return reg::Single;
    if (t == QLatin1String("free"))
        return reg::Free;
    return -1;
}

bool parseQuantity(const QString &text, const QString &unit, double *value)
{
    QString t = text.trimmed();
    if (!unit.isEmpty() && t.endsWith(unit, Qt::CaseInsensitive))
        t.chop(unit.size());
    double scale = 1;
    if (t.endsWith(QLatin1Char('m')) && unit != QLatin1String("%")) {
        scale = 1e-3;
        t.chop(1);
    } else if (t.endsWith(QLatin1Char('k'), Qt::CaseInsensitive) && unit == QLatin1String("Hz")) {
        scale = 1e3;
        t.chop(1);
    }
    t = t.trimmed();
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v * scale;
    return true;
}

bool formatOfFile(const QString &path, Format *format)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        *format = Format::Csv;
    else if (suffix == QLatin1String("vcd"))
        *format = Format::Vcd;
    else if (suffix == QLatin1String("omx"))
        *format = Format::Omx;
    else if (suffix == QLatin1String("sr"))
        *format = Format::Sr;
    else
        return false;
    return true;
}

int waveform(const QString &text)
{
    const QString t = text.trimmed().toLower();
    const char *names[] = {"noise", "sine", "square", "triangle", "expo", "custom"};
    for (int i = 0; i < 6; ++i)
        if (t == QLatin1String(names[i]))
            return i;
    return -1;
}

QString waveformChoices()
{
    return QStringLiteral("noise sine square triangle expo custom");
}

// ---- plans

namespace {
void plan(QVector<Write> &writes, reg::DeviceSettings &block, quint16 index, quint8 value)
{
    if (block[index] == value)
        return;
    block[index] = value;
    writes.append({index, value});
}

QString volts(double v)
{
    return QString::number(v, 'g', 4) + QLatin1Char('V');
}
} // namespace

bool planCapture(const reg::DeviceSettings &block, const CaptureOptions &o, bool serial, CapturePlan *out,
                 QString *error)
{
    CapturePlan p;
    p.block = block;
    reg::DeviceSettings &b = p.block;
    if (o.timeBase >= 0)
        plan(p.writes, b, reg::SamplingRate, quint8(o.timeBase));
    p.timeBase = std::min<int>(b[reg::SamplingRate], reg::SamplingRateMax);
    if (o.ch1Gain >= 0)
        plan(p.writes, b, reg::Gain1, quint8(o.ch1Gain));
    if (o.ch2Gain >= 0)
        plan(p.writes, b, reg::Gain2, quint8(o.ch2Gain));

    reg::TriggerSettings trigger = reg::decodeTrigger(b[reg::Trigger]);
    if (o.triggerSource >= 0) {
        plan(p.writes, b, reg::TriggerSource, quint8(o.triggerSource));
        // Slope and window triggers need an analog source; the window falls back to a rising edge.
        if (!::trigger::isChannelSource(o.triggerSource) && reg::typeNeedsAnalogSource(trigger.type))
            trigger.type = reg::Rising;
    }
    const int source = reg::decodeTriggerSource(b[reg::TriggerSource]);
    if (o.triggerLevelSet) {
        if (!::trigger::isChannelSource(source)) {
            *error = QStringLiteral("--trigger-level: the trigger source is no channel; it needs ch1 or ch2");
            return false;
        }
        const int gain = b[source == ::trigger::SourceCh1 ? reg::Gain1 : reg::Gain2];
        const QString gainText = scales::gainText(scales::gainTexts(), gain);
        const double perDiv = dataexport::voltsPerDivision(gainText);
        if (!(perDiv > 0)) {
            *error = QStringLiteral("--trigger-level: the source channel's volts/div is unknown; give --ch%1")
                         .arg(source + 1);
            return false;
        }
        const double sample = std::round(reg::triggerLevelSample(o.triggerLevel, perDiv));
        if (!(sample >= reg::TriggerLevelMin && sample <= reg::TriggerLevelMax)) {
            *error = QStringLiteral("--trigger-level: %1 is off the screen at %2; accepted: %3 to %4")
                         .arg(volts(o.triggerLevel), gainText,
                              volts(reg::triggerLevelVolts(reg::TriggerLevelMax, perDiv)),
                              volts(reg::triggerLevelVolts(reg::TriggerLevelMin, perDiv)));
            return false;
        }
        plan(p.writes, b, reg::TriggerLevel, quint8(sample));
    }
    const reg::TriggerSettings before = reg::decodeTrigger(b[reg::Trigger]);
    if (o.triggerMode >= 0)
        trigger.mode = reg::TriggerMode(o.triggerMode);
    // Written only for a change, so that a byte the codec does not keep whole is left alone.
    if (trigger.mode != before.mode || trigger.type != before.type)
        plan(p.writes, b, reg::Trigger, reg::encodeTrigger(trigger));

    reg::CursorSettings cursors = reg::decodeCursors(b[reg::Cursors]);
    if (o.roll) {
        if (!reg::isSlowTimeBase(p.timeBase)) {
            *error = QStringLiteral("--roll: roll mode needs a time base of 20ms or slower; accepted: %1")
                         .arg(timeBaseChoices().section(QLatin1Char(' '), reg::LastFrameTimeBase + 1));
            return false;
        }
        cursors.roll = true;
        plan(p.writes, b, reg::Cursors, reg::encodeCursors(cursors));
    }
    p.roll = cursors.roll;
    if (serial && reg::isSlowTimeBase(p.timeBase)) {
        *error = QStringLiteral("capture over a serial port takes the time bases with whole frames; "
                                "accepted: %1 (the slower ones stream single samples)")
                     .arg(timeBaseChoices().section(QLatin1Char(' '), 0, reg::LastFrameTimeBase));
        return false;
    }
    *out = p;
    return true;
}

bool planGenerator(const reg::DeviceSettings &block, const GenerateOptions &o, GeneratorPlan *out, QString *error)
{
    GeneratorPlan p;
    reg::DeviceSettings b = block;
    if (!o.csv.isEmpty()) {
        const customwave::FileText file = customwave::readWaveText(o.csv);
        if (!file.opened) {
            *error = QStringLiteral("--csv: %1 could not be opened: %2").arg(o.csv, file.error);
            return false;
        }
        if (file.truncated) {
            *error = QStringLiteral("--csv: %1 is larger than 1 MiB; it is no custom wave").arg(o.csv);
            return false;
        }
        const customwave::Checked checked =
            customwave::parseChecked(file.text, reinterpret_cast<unsigned char *>(p.wave));
        if (!checked.error.isEmpty()) {
            *error = QStringLiteral("--csv: %1: %2 (%3)").arg(o.csv, checked.error, customwave::formatHint());
            return false;
        }
        p.uploadWave = true;
    }
    // The spin boxes keep three decimals before the registers take them.
    if (o.amplitudeSet)
        plan(p.writes, b, reg::Amplitude,
             reg::encodeAmplitude(generator::roundToDecimals(o.amplitude, generator::SpinBoxDecimals)));
    if (o.dutySet)
        plan(p.writes, b, reg::DutyCycle,
             reg::encodeDutyCycle(generator::roundToDecimals(o.duty, generator::SpinBoxDecimals)));
    if (o.offsetSet)
        plan(p.writes, b, reg::Offset,
             reg::encodeOffset(generator::roundToDecimals(o.offset, generator::SpinBoxDecimals)));
    if (o.waveform >= 0)
        plan(p.writes, b, reg::Waveform, quint8(o.waveform));
    if (o.frequencySet) {
        p.hertz = o.frequency;
        p.frequencyRequest = quint32(generator::frequencyRequest(o.frequency).hundredths) != b.desiredFrequency();
    } else {
        p.hertz = b.desiredFrequencyHz();
    }
    *out = p;
    return true;
}

} // namespace cli
