#include "cli/decodecommand.h"

#include "cli/commands.h"
#include "cli/options.h"
#include "decode/decoderlibrary.h"
#include "decode/decodestack.h"
#include "device/connectionrules.h"
#include "display/traces.h"
#include "files/dataexport.h"
#include "session/session.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace cli {

namespace {

constexpr int PollMs = 20;

void error(const QString &line)
{
    std::fprintf(stderr, "quorvel-cli: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

struct DecodeOptions
{
    Common common;
    CaptureOptions capture; // frames, seconds, time base, trigger
    QVector<decode::Stack> stacks;
    QString out;
    bool list = false;
};

QString synopsis()
{
    return QStringLiteral(
        "usage: quorvel-cli decode --protocol ID[:CHANNEL=BIT|:OPTION=VALUE]... [--protocol ...]\n"
        "                          [--frames N] [--seconds S] [--timebase T] [--trigger-source SOURCE]\n"
        "                          [--trigger-mode MODE] [--out FILE] [--port NAME]\n"
        "       quorvel-cli decode --list-protocols\n\n"
        "Decodes the logic lines of each frame with the installed protocol decoders and prints\n"
        "one CSV line per annotation: frame,start_s,end_s,decoder,row,text (times from the\n"
        "frame's first sample). A protocol names a decoder, its channels on logic lines 0-7 and\n"
        "its options, e.g. uart:rx=2:baudrate=115200, spi:cs=2:clk=3:mosi=4:miso=5,\n"
        "i2c:sda=0:scl=1; a comma stacks a decoder on the one before it\n"
        "(i2c:sda=0:scl=1,eeprom24xx). Without --frames and --seconds it runs until\n"
        "interrupted.\n");
}

// False after printing the error; *help set when the help was printed.
bool parseDecode(const QStringList &arguments, DecodeOptions &o, bool *help)
{
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOption({{"h", "help"}, "Show this help."});
    p.addOption({{"p", "port"}, "Serial port of the instrument; without it, USB.", "NAME"});
    p.addOption({"protocol", "Decoder, channels and options (repeatable).", "STACK"});
    p.addOption({"list-protocols", "Print the installed decoders."});
    p.addOption({"frames", "Frames to decode.", "N"});
    p.addOption({"seconds", "Seconds to decode.", "S"});
    p.addOption({{"t", "timebase"}, "Time base, e.g. 16us.", "TEXT"});
    p.addOption({"trigger-source", "Trigger source.", "SOURCE"});
    p.addOption({"trigger-mode", "Trigger mode.", "MODE"});
    p.addOption({{"o", "out"}, "CSV file; without it, standard output.", "FILE"});
    QStringList args = arguments;
    args.prepend(QStringLiteral("quorvel-cli"));
    if (!p.parse(args)) {
        error(QStringLiteral("decode: %1").arg(p.errorText()));
        return false;
    }
    if (p.isSet("help")) {
        std::fputs(synopsis().toLocal8Bit().constData(), stdout);
        *help = true;
        return true;
    }
    const QStringList extra = p.positionalArguments().mid(1);
    if (!extra.isEmpty()) {
        error(QStringLiteral("decode: unexpected argument '%1'").arg(extra.first()));
        return false;
    }
    o.common.port = p.value("port");
    o.list = p.isSet("list-protocols");
    if (o.list)
        return true;
    QString problem;
    if (!decode::initialise(&problem)) {
        error(problem);
        return false;
    }
    const QStringList stackTexts = p.values("protocol");
    if (stackTexts.isEmpty()) {
        error(QStringLiteral("decode: --protocol ID[:CHANNEL=BIT|:OPTION=VALUE]... is needed; "
                             "--list-protocols prints the installed decoders"));
        return false;
    }
    for (const QString &stackText : stackTexts) {
        const decode::Stack stack = decode::parseStack(stackText, &problem);
        if (!problem.isEmpty()) {
            error(QStringLiteral("--protocol %1: %2").arg(stackText, problem));
            return false;
        }
        o.stacks.append(stack);
    }
    CaptureOptions &c = o.capture;
    if (p.isSet("frames")) {
        bool ok = false;
        c.frames = p.value("frames").trimmed().toLongLong(&ok);
        if (!ok || c.frames <= 0) {
            error(QStringLiteral("--frames: a whole number of frames above 0, not '%1'").arg(p.value("frames")));
            return false;
        }
    }
    if (p.isSet("seconds")) {
        bool ok = false;
        c.seconds = p.value("seconds").toDouble(&ok);
        if (!ok || !(c.seconds > 0) || c.seconds > 1e7) {
            error(QStringLiteral("--seconds: a number of seconds above 0, not '%1'").arg(p.value("seconds")));
            return false;
        }
    }
    if (p.isSet("timebase")) {
        c.timeBase = timeBaseIndex(p.value("timebase"));
        if (c.timeBase < 0) {
            error(QStringLiteral("--timebase: '%1' is no time base; accepted: %2")
                      .arg(p.value("timebase"), timeBaseChoices()));
            return false;
        }
    }
    if (p.isSet("trigger-source")) {
        c.triggerSource = triggerSource(p.value("trigger-source"));
        if (c.triggerSource < 0) {
            error(QStringLiteral("--trigger-source: '%1' is no source; accepted: %2")
                      .arg(p.value("trigger-source"), triggerSourceChoices()));
            return false;
        }
    }
    if (p.isSet("trigger-mode")) {
        c.triggerMode = triggerMode(p.value("trigger-mode"));
        if (c.triggerMode < 0) {
            error(QStringLiteral("--trigger-mode: '%1' is no mode; accepted: auto normal single free")
                      .arg(p.value("trigger-mode")));
            return false;
        }
    }
    o.out = p.value("out");
    return true;
}

QByteArray csvField(const QString &text)
{
    QByteArray out = text.toUtf8();
    if (out.contains(',') || out.contains('"') || out.contains('\n') || out.contains('\r')) {
        out.replace("\"", "\"\"");
        out = '"' + out + '"';
    }
    return out;
}

int listProtocols()
{
    QString problem;
    if (!decode::initialise(&problem)) {
        error(problem);
        return UsageError;
    }
    QByteArray out = "id,name,description,channels,options\n";
    for (const decode::DecoderInfo &d : decode::decoders()) {
        QStringList channels, options;
        for (const decode::ChannelInfo &c : d.channels)
            channels << c.id + (c.required ? QString() : QStringLiteral("?"));
        for (const decode::OptionInfo &opt : d.options) {
            QString text = opt.id + QLatin1Char('=') + decode::valueText(opt.defaultValue);
            if (!opt.values.isEmpty()) {
                QStringList values;
                for (const QVariant &v : opt.values)
                    values << decode::valueText(v);
                text += QStringLiteral(" (%1)").arg(values.join(QLatin1Char('|')));
            }
            options << text;
        }
        if (!d.readsLogic())
            channels = QStringList{QStringLiteral("stacked on: ") + d.inputs.join(QLatin1Char('|'))};
        out += csvField(d.id) + ',' + csvField(d.name) + ',' + csvField(d.description) + ',' +
               csvField(channels.join(QLatin1Char(' '))) + ',' + csvField(options.join(QStringLiteral("; "))) + '\n';
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    return Done;
}

} // namespace

bool isDecodeCommand(const QStringList &arguments)
{
    return !arguments.isEmpty() && arguments.first() == QLatin1String("decode");
}

int runDecodeCommand(const QStringList &arguments)
{
    DecodeOptions o;
    bool help = false;
    if (!parseDecode(arguments, o, &help))
        return UsageError;
    if (help)
        return Done;
    if (o.list)
        return listProtocols();

    QFile out;
    const bool toStdout = o.out.isEmpty() || o.out == QLatin1String("-");
    if (toStdout ? !out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered)
                 : (out.setFileName(o.out), !out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))) {
        error(QStringLiteral("%1 could not be created: %2").arg(toStdout ? QStringLiteral("standard output") : o.out,
                                                                   out.errorString()));
        return UsageError;
    }

    session::Session session;
    InstrumentLink &link = session.link();
    const bool serial = !o.common.port.isEmpty();
    if (session.open(serial ? InstrumentLink::Wire::Serial : InstrumentLink::Wire::Usb, o.common.port).outcome !=
            session::OpenResult::Opened ||
        session.readSettings() != session::ReadOutcome::Read) {
        error(QStringLiteral("%1: no instrument answered%2")
                  .arg(QString(connection::CannotOpenDevice),
                       serial ? QStringLiteral(" on serial port %1").arg(o.common.port) : QString()));
        session.release();
        if (!toStdout)
            out.remove();
        return NoInstrument;
    }
    CapturePlan plan;
    QString text;
    if (!planCapture(session.lastRead(), o.capture, serial, &plan, &text)) {
        error(text);
        session.release();
        if (!toStdout)
            out.remove();
        return UsageError;
    }
    session.write(plan.writes);
    const bool single = o.capture.triggerMode == reg::Single;
    if (single && !plan.writes.contains({reg::Trigger, plan.block[reg::Trigger]}))
        link.startAcquisition();
    link.startReception();

    const double rate = decode::sampleRateOf(plan.timeBase);
    const int decimals = std::max(0, dataexport::decimalsFor(1.0 / rate));
    bool writeFailed = !(out.write("frame,start_s,end_s,decoder,row,text\n") > 0);
    qint64 frames = 0;
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QElapsedTimer elapsed;
    elapsed.start();
    unsigned char buffer[InstrumentLink::frameCapacity];
    auto take = [&] {
        if (stopRequested() || writeFailed || link.isLinkLost())
            return loop.quit();
        const int length = link.takeLatestFrame(buffer, int(sizeof buffer));
        if (length == frame::Size) {
            const quint8 *logic = buffer + frame::LogicOffset;
            QByteArray lines;
            for (const decode::Stack &stack : o.stacks) {
                for (const decode::Annotation &a : decode::decodeFrame(stack, logic, frame::SamplesPerChannel, rate)) {
                    const QString decoder = a.error ? stack.name() : stack.decoders[a.decoder].id;
                    lines += QByteArray::number(frames) + ',' + dataexport::fixedNumber(a.start / rate, decimals) +
                             ',' + dataexport::fixedNumber(a.end / rate, decimals) + ',' + csvField(decoder) + ',' +
                             csvField(decode::rowName(stack, a)) + ',' + csvField(a.text()) + '\n';
                }
            }
            if (!lines.isEmpty() && out.write(lines) != lines.size()) {
                writeFailed = true;
                return loop.quit();
            }
            ++frames;
            if (single)
                link.startAcquisition();
            if (o.capture.frames > 0 && frames >= o.capture.frames)
                return loop.quit();
        }
        if (o.capture.seconds > 0 && elapsed.nsecsElapsed() >= qint64(o.capture.seconds * 1e9))
            return loop.quit();
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, take);
    QObject::connect(&link, &InstrumentLink::frameArrived, &loop, take, Qt::QueuedConnection);
    QObject::connect(&link, &InstrumentLink::linkLost, &loop, take, Qt::QueuedConnection);
    poll.start(PollMs);
    loop.exec();
    poll.stop();

    const bool lost = link.isLinkLost();
    if (lost)
        session.release();
    else if (!plan.writes.isEmpty())
        session.close(); // as the window disconnects: the instrument keeps the settings written
    else {
        if (serial)
            link.streamOff();
        session.release();
    }
    out.close();
    if (lost) {
        error(QStringLiteral("%1 during the decode; %2 frames decoded")
                  .arg(QString(connection::linkLostText(link.isUsb(), link.linkLoss() == InstrumentLink::LinkLoss::NotResponding)))
                  .arg(frames));
        return LinkLost;
    }
    if (writeFailed || out.error() != QFileDevice::NoError) {
        error(QStringLiteral("%1 could not be written (%2)").arg(toStdout ? QStringLiteral("standard output") : o.out,
                                                                 out.errorString()));
        return UsageError;
    }
    return Done;
}

} // namespace cli
