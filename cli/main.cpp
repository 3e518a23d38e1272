// quorvel-cli: the instrument from the command line, without a window.
// quorvel-cli-demo is the same program wired to the simulated instrument.

#include "cli/commands.h"
#include "cli/decodecommand.h"
#include "cli/options.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>

#ifdef QUORVEL_DEMO
#include "simcontrol.h"

#include <QFile>
#include <QTimer>

namespace {

constexpr double MinDemoRate = 0.01;
constexpr double MaxDemoRate = 10000;

// The demo's own options, before the command: how the simulated instrument
// behaves, and where it reports what it received and sent.
struct Demo
{
    QString log;          // file for the command log and the frames sent
    qint64 unplugAfter = -1; // frames delivered, then the instrument is unplugged
};

QString demoUsage()
{
    return QStringLiteral(
        "quorvel-cli-demo [demo options] <command> [options]: quorvel-cli wired to a simulated\n"
        "instrument on USB (a serial port given with --port is used as it is).\n"
        "Demo options:\n"
        "  --rate N              frames per second the instrument sends: 0 (as fast as taken)\n"
        "                        or 0.01 to 10000 (default 60)\n"
        "  --sim-log FILE        at the end, the commands the instrument received ('command\n"
        "                        LETTER VALUE INDEX') and the frames it sent ('frame HEX')\n"
        "  --unplug-after N      unplug the instrument after it delivered N frames\n"
        "  --no-instrument       no instrument on the bus\n");
}

// Takes the demo options off the front of `args`; false after printing an error.
bool takeDemoOptions(QStringList &args, Demo &demo)
{
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--no-instrument")) {
            quorvelsim::setFault(quorvelsim::Fault::NoDevice);
            continue;
        }
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            args.prepend(option);
            std::fputs(demoUsage().toLocal8Bit().constData(), stdout);
            return true;
        }
        if (args.isEmpty()) {
            std::fprintf(stderr, "quorvel-cli-demo: %s needs a value\n", option.toLocal8Bit().constData());
            return false;
        }
        const QString value = args.takeFirst();
        bool ok = false;
        if (option == QLatin1String("--rate")) {
            // 0: as fast as the frames are taken; otherwise a pace the simulated
            // instrument keeps (a frame at least every 100 s, at most 10000 a
            // second). NaN fails both comparisons and is refused.
            const double rate = value.toDouble(&ok);
            if (!ok || !(rate == 0 || (rate >= MinDemoRate && rate <= MaxDemoRate))) {
                std::fprintf(stderr,
                             "quorvel-cli-demo: --rate: frames per second, 0 (as fast as taken) or from 0.01 to "
                             "10000, not '%s'\n",
                             value.toLocal8Bit().constData());
                return false;
            }
            quorvelsim::setFrameRate(rate);
        } else if (option == QLatin1String("--sim-log")) {
            demo.log = value;
            quorvelsim::setFrameRecording(true, 100000);
        } else if (option == QLatin1String("--unplug-after")) {
            demo.unplugAfter = value.toLongLong(&ok);
            if (!ok || demo.unplugAfter < 0) {
                std::fprintf(stderr, "quorvel-cli-demo: --unplug-after: a number of frames\n");
                return false;
            }
        } else {
            std::fprintf(stderr, "quorvel-cli-demo: unknown demo option %s\n%s", option.toLocal8Bit().constData(),
                         demoUsage().toLocal8Bit().constData());
            return false;
        }
    }
    return true;
}

void writeDemoLog(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "quorvel-cli-demo: %s could not be written\n", path.toLocal8Bit().constData());
        return;
    }
    QByteArray out;
    for (const quorvelsim::Command &command : quorvelsim::commandLog())
        out += "command " + QByteArray(1, command.letter) + ' ' + QByteArray::number(command.value) + ' ' +
               QByteArray::number(command.index) + '\n';
    for (const QByteArray &frame : quorvelsim::recordedFrames())
        out += "frame " + frame.toHex() + '\n';
    file.write(out);
}

} // namespace
#endif

namespace {
void onSignal(int)
{
    cli::requestStop();
}

// Parses the command and runs it; the exit code.
int run(const QStringList &args)
{
    if (cli::isDecodeCommand(args)) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        return cli::runDecodeCommand(args);
    }
    const cli::Parsed parsed = cli::parse(args);
    if (!parsed.ok) {
        std::fprintf(stderr, "quorvel-cli: %s\n", parsed.text.toLocal8Bit().constData());
        return cli::UsageError;
    }
    if (parsed.help) {
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return cli::Done;
    }

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed terminal and a pipe whose reader went away end the work as
    // Ctrl-C does: the meter gives its registers back, a capture closes its
    // file with whole frames. The failed write then says EPIPE.
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGPIPE, &action, nullptr);

    switch (parsed.command) {
    case cli::Command::List:
        return cli::runList();
    case cli::Command::Info:
        return cli::runInfo(parsed.common);
    case cli::Command::Capture:
        return cli::runCapture(parsed.common, parsed.capture);
    case cli::Command::Meter:
        return cli::runMeter(parsed.common, parsed.meter);
    case cli::Command::Generate:
        return cli::runGenerate(parsed.common, parsed.generate);
    case cli::Command::None:
        break;
    }
    return cli::Done;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-cli"));
    // The link's debug messages are for developers (QT_LOGGING_RULES turns them
    // on); a script reads errors only, one line each.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

#ifdef QUORVEL_DEMO
    Demo demo;
    if (!takeDemoOptions(args, demo))
        return cli::UsageError;
    QTimer unplugWatch;
    if (demo.unplugAfter >= 0) {
        QObject::connect(&unplugWatch, &QTimer::timeout, [&] {
            if (qint64(quorvelsim::framesDelivered()) >= demo.unplugAfter) {
                quorvelsim::unplug();
                unplugWatch.stop();
            }
        });
        unplugWatch.start(1);
    }
#endif

    const int code = run(args);
#ifdef QUORVEL_DEMO
    if (!demo.log.isEmpty())
        writeDemoLog(demo.log);
#endif
    return code;
}


