#include "cli/commands.h"

#include "cli/capturefile.h"
#include "device/connectionrules.h"
#include "device/instrumentlink.h"
#include "device/usbwire.h"
#include "files/outputfile.h"
#include "instruments/generator.h"
#include "instruments/meter.h"
#include "session/session.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSerialPortInfo>
#include <QTimer>

#include <libusb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

volatile std::sig_atomic_t stopFlag = 0;

void error(const QString &line)
{
    std::fprintf(stderr, "quorvel-cli: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

bool stderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

// Frames wake the loop as they arrive (frameArrived, over either wire); the
// timer looks for a stop request, the end of the time and a lost link.
constexpr int PollMs = 20;
constexpr int ProgressMs = 200;

// The session (link, register writer, state) and the block read on connecting.
class Connection
{
public:
    session::Session session;
    InstrumentLink &link = session.link();
    reg::DeviceSettings block;
    QString version;
    bool serial = false;
    bool wrote = false; // a register write or frequency request was sent

    Connection()
    {
        QObject::connect(&link, &InstrumentLink::statusMessage, [this](const QString &text) {
            if (!text.isEmpty())
                status = text;
        });
    }

    // Opens the link, reads the version and the settings; Done or the exit code.
    int open(const Common &common)
    {
        serial = !common.port.isEmpty();
        const session::OpenResult opened =
            session.open(serial ? InstrumentLink::Wire::Serial : InstrumentLink::Wire::Usb, common.port);
        if (opened.outcome == session::OpenResult::NotOpened) {
            session.release();
            if (serial)
                error(QStringLiteral("%1 (serial port %2)")
                          .arg(status.isEmpty() ? QString(connection::PortUnreachable) : status, common.port));
            else
                error(QStringLiteral("%1: no USB instrument 16d0:06f9 found, or it is in use or not permitted "
                                     "(udev rules)")
                          .arg(QString(connection::CannotOpenDevice)));
            return NoInstrument;
        }
        version = opened.version;
        if (opened.outcome != session::OpenResult::Opened) {
            error(openLossText());
            session.release();
            return NoInstrument;
        }
        const session::ReadOutcome read = session.readSettings();
        if (read != session::ReadOutcome::Read) {
            error(read == session::ReadOutcome::Lost ? openLossText()
                                                     : QStringLiteral("%1: the settings block could not be read")
                                                           .arg(QString(connection::DeviceNotResponding)));
            session.release();
            return NoInstrument;
        }
        block = session.lastRead();
        return Done;
    }

    void write(const QVector<Write> &writes)
    {
        session.write(writes);
        wrote = wrote || !writes.isEmpty();
    }

    // The window's text for a lost link.
    // A link that failed while connecting: a serial port that never answered
    // is unreachable, as the window says.
    QString openLossText() const
    {
        if (!link.isUsb())
            return QString(connection::PortUnreachable);
        return lossText();
    }
    // A link lost during the work, in the window's words.
    QString lossText() const
    {
        return QString(link.lossText());
    }

    // Ends the connection: after writes as the window disconnects (the
    // instrument stores its settings), else without a word beyond stopping
    // the serial stream the connect started.
    void finish()
    {
        if (link.isLinkLost() || !link.isConnected()) {
            session.release();
            return;
        }
        if (wrote) {
            session.close();
            return;
        }
        if (serial)
            link.streamOff();
        session.release();
    }

private:
    QString status;
};

// Lines to standard output or a file, each in one write; a failed write
// leaves the lines before it whole.
class LineOutput
{
public:
    bool open(const QString &path, QString *errorText)
    {
        if (!file.open(path.isEmpty() ? QStringLiteral("-") : path)) {
            *errorText = file.errorString();
            return false;
        }
        return true;
    }
    bool line(const QByteArray &text) { return file.write(text + '\n'); }
    bool finish() { return file.finish(); }
    bool readerGone() const { return file.readerGone(); }
    QString errorString() const { return file.errorString(); }
    QString name() const { return file.name(); }

private:
    OutputFile file;
};

class Progress
{
public:
    Progress() : shown(stderrIsTerminal()) { clock.start(); }
    void show(const QString &text, bool force = false)
    {
        if (!shown || (!force && clock.isValid() && clock.elapsed() < ProgressMs && printed))
            return;
        clock.restart();
        printed = true;
        std::fprintf(stderr, "\r%s\033[K", text.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    void end()
    {
        if (shown && printed) {
            std::fputc('\n', stderr);
            std::fflush(stderr);
        }
    }

private:
    bool shown;
    bool printed = false;
    QElapsedTimer clock;
};

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QByteArray isoNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs).toUtf8();
}

int meterPage(MeterKind kind)
{
    switch (kind) {
    case MeterKind::Vpp:
        return meter::Vpp;
    case MeterKind::Vdc:
        return meter::Vdc;
    case MeterKind::Frequency:
    case MeterKind::Pulses:
        break;
    }
    return meter::Counter;
}

QByteArray signedVolts(const meter::Volts &v)
{
    return QByteArray::number(v.negative ? -v.volts : v.volts, 'f', 3);
}

} // namespace

void requestStop()
{
    stopFlag = 1;
}

bool stopRequested()
{
    return stopFlag != 0;
}

// ---- list

int runList()
{
    int found = 0;
    libusb_context *context = nullptr;
    if (libusb_init(&context) == 0) {
        libusb_device **devices = nullptr;
        const ssize_t count = libusb_get_device_list(context, &devices);
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(devices[i], &d) != 0)
                continue;
            if (d.idVendor != UsbWire::vendorId || d.idProduct != UsbWire::productId)
                continue;
            std::printf("usb %03u:%03u\n", unsigned(libusb_get_bus_number(devices[i])),
                        unsigned(libusb_get_device_address(devices[i])));
            ++found;
        }
        if (count >= 0)
            libusb_free_device_list(devices, 1);
        libusb_exit(context);
    }
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports) {
        if (!connection::isOfferedPort(port.portName()))
            continue;
        std::printf("serial %s\n",
                    connection::portListEntry(port.portName(), port.description()).toLocal8Bit().constData());
        ++found;
    }
    std::fflush(stdout);
    if (found == 0) {
        error(QStringLiteral("no instrument found (USB 16d0:06f9, or a Bluetooth serial port)"));
        return NoInstrument;
    }
    return Done;
}

// ---- info

int runInfo(const Common &common)
{
    Connection c;
    if (const int code = c.open(common))
        return code;
    QByteArray out = "firmware: " + c.version.toUtf8() + '\n';
    for (const QString &line : reg::dumpLines(c.block))
        out += line.toUtf8() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    if (c.version.isEmpty())
        error(QString(connection::FirmwareUnreadable));
    c.finish();
    return Done;
}

// ---- capture

int runCapture(const Common &common, const CaptureOptions &o)
{
    Connection c;
    if (const int code = c.open(common))
        return code;
    CapturePlan plan;
    QString text;
    if (!planCapture(c.block, o, c.serial, &plan, &text)) {
        error(text);
        c.finish();
        return UsageError;
    }
    std::unique_ptr<CaptureFile> file = CaptureFile::create(o.format);
    if (!file->open(o.out, FrameScales::of(plan.block), &text)) {
        error(QStringLiteral("%1 could not be created: %2").arg(o.out, text));
        c.finish();
        return WriteFailed;
    }

    c.write(plan.writes);
    const bool single = o.triggerMode == reg::Single;
    if (single && !plan.writes.contains({reg::Trigger, plan.block[reg::Trigger]}))
        c.link.startAcquisition(); // armed for the first frame
    // Frames carry the time they arrived, from here on.
    const qint64 startNs = steadyNs();
    c.link.startReception();

    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QElapsedTimer elapsed;
    elapsed.start();
    Progress progress;
    bool lost = false, writeFailed = false;
    unsigned char buffer[InstrumentLink::frameCapacity];
    auto take = [&] {
        if (stopFlag || lost || writeFailed)
            return loop.quit();
        if (c.link.isLinkLost()) {
            lost = true;
            return loop.quit();
        }
        qint64 receivedNs = 0;
        const int length = c.link.takeLatestFrame(buffer, int(sizeof buffer), &receivedNs);
        // Only oscilloscope frames; a sniffer capture frame is none.
        if (length == frame::Size) {
            const double seconds = double((receivedNs > 0 ? receivedNs : steadyNs()) - startNs) * 1e-9;
            if (!file->append(buffer, seconds)) {
                writeFailed = true;
                return loop.quit();
            }
            if (single)
                c.link.startAcquisition(); // armed again for the next frame
            if (o.frames > 0 && file->framesWritten() >= o.frames)
                return loop.quit();
        }
        if (o.seconds > 0 && elapsed.nsecsElapsed() >= qint64(o.seconds * 1e9))
            return loop.quit();
        QString line = QStringLiteral("%1 frames").arg(file->framesWritten());
        if (o.frames > 0)
            line = QStringLiteral("%1/%2 frames").arg(file->framesWritten()).arg(o.frames);
        if (o.seconds > 0)
            line += QStringLiteral(", %1 s left").arg(std::max(0.0, o.seconds - elapsed.elapsed() / 1000.0), 0, 'f', 1);
        progress.show(line);
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, take);
    QObject::connect(&c.link, &InstrumentLink::frameArrived, &loop, take, Qt::QueuedConnection);
    QObject::connect(&c.link, &InstrumentLink::linkLost, &loop, take, Qt::QueuedConnection);
    poll.start(PollMs);
    loop.exec();
    poll.stop();
    progress.end();

    const qint64 written = file->framesWritten();
    // A reader of standard output that went away ended the capture: what it
    // took is whole, nothing failed.
    const bool readerGone = file->readerGone();
    if (readerGone)
        writeFailed = false;
    const bool closed = written == 0 ? (file->discard(), true) : file->finish() || readerGone;
    const QString where = o.out == QLatin1String("-") ? QStringLiteral("standard output") : o.out;
    if (lost || c.link.isLinkLost()) {
        error(QStringLiteral("%1 during the capture; %2 frames written to %3").arg(c.lossText()).arg(written).arg(where));
        c.session.release();
        return LinkLost;
    }
    c.finish();
    if (writeFailed || !closed) {
        error(QStringLiteral("%1 could not be written (%2); it holds the first %3 frames")
                  .arg(where, file->errorString())
                  .arg(written));
        return WriteFailed;
    }
    if (written == 0 && !readerGone) {
        error(o.out == QLatin1String("-") ? QStringLiteral("no frame captured")
                                          : QStringLiteral("no frame captured; %1 not written").arg(o.out));
        return NoFrame;
    }
    return Done;
}

// ---- meter

int runMeter(const Common &common, const MeterOptions &o)
{
    Connection c;
    if (const int code = c.open(common))
        return code;
    LineOutput out;
    QString text;
    if (!out.open(o.out, &text)) {
        error(QStringLiteral("%1 could not be created: %2").arg(o.out, text));
        c.finish();
        return WriteFailed;
    }
    QByteArray header = "time";
    switch (o.kind) {
    case MeterKind::Vpp:
        header += ",ch1_Vpp_V,ch2_Vpp_V";
        break;
    case MeterKind::Vdc:
        header += ",ch1_Vdc_V,ch2_Vdc_V";
        break;
    case MeterKind::Frequency:
        header += ",frequency_Hz";
        break;
    case MeterKind::Pulses:
        header += ",pulses";
        break;
    }
    bool writeFailed = !out.line(header);
    c.session.enterMeterMode(meterPage(o.kind), o.kind == MeterKind::Pulses, o.source);
    c.wrote = true;

    QEventLoop loop;
    QTimer reading, watch;
    qint64 taken = 0;
    bool lost = false, failedReply = false;
    Progress progress;
    auto read = [&] {
        if (stopFlag || writeFailed)
            return loop.quit();
        unsigned char reply[meter::ReplyLength] = {};
        const int n = c.link.requestMeter(reply);
        if (c.link.isLinkLost()) {
            lost = true;
            return loop.quit();
        }
        if (n != meter::ReplyLength) {
            if (!failedReply)
                error(QStringLiteral("a meter reading got no reply; the line is left out"));
            failedReply = true;
            return;
        }
        QByteArray line = isoNow();
        if (o.kind == MeterKind::Vpp || o.kind == MeterKind::Vdc) {
            line += ',' + signedVolts(meter::decodeVolts(reply[0], reply[1]));
            line += ',' + signedVolts(meter::decodeVolts(reply[2], reply[3]));
        } else {
            const qint32 count = qint32(quint32(reply[0]) | quint32(reply[1]) << 8 | quint32(reply[2]) << 16 |
                                        quint32(reply[3]) << 24);
            line += ',' + QByteArray::number(count);
        }
        if (!out.line(line)) {
            writeFailed = true;
            return loop.quit();
        }
        ++taken;
        progress.show(o.count > 0 ? QStringLiteral("%1/%2 readings").arg(taken).arg(o.count)
                                  : QStringLiteral("%1 readings").arg(taken), true);
        if (o.count > 0 && taken >= o.count)
            loop.quit();
    };
    QObject::connect(&reading, &QTimer::timeout, &loop, read);
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (stopFlag || c.link.isLinkLost()) {
            lost = lost || c.link.isLinkLost();
            loop.quit();
        }
    });
    reading.setTimerType(Qt::PreciseTimer);
    reading.start(o.intervalMs);
    watch.start(20);
    QTimer::singleShot(0, &loop, read); // the first reading at once
    loop.exec();
    reading.stop();
    watch.stop();
    progress.end();

    // A reader of standard output that went away ends the log as Ctrl-C does.
    if (out.readerGone())
        writeFailed = false;
    const bool closed = out.finish() || out.readerGone();
    if (lost) {
        error(QStringLiteral("%1 during the meter log; %2 readings written to %3")
                  .arg(c.lossText())
                  .arg(taken)
                  .arg(out.name()));
        c.session.release();
        return LinkLost;
    }
    // The scope's settings the meter mode changed are sent again.
    c.session.leaveMeterMode();
    c.wrote = false; // given back: nothing for the instrument to store
    c.finish();
    if (writeFailed || !closed) {
        error(QStringLiteral("%1 could not be written (%2); it holds the first %3 readings")
                  .arg(out.name(), out.errorString())
                  .arg(taken));
        return WriteFailed;
    }
    return Done;
}

// ---- generate

int runGenerate(const Common &common, const GenerateOptions &o)
{
    Connection c;
    if (const int code = c.open(common))
        return code;
    GeneratorPlan plan;
    QString text;
    if (!planGenerator(c.block, o, &plan, &text)) {
        error(text);
        c.finish();
        return UsageError;
    }
    if (plan.uploadWave) {
        c.link.uploadWave(plan.wave);
        c.wrote = true;
    }
    c.write(plan.writes);
    const generator::FrequencyRequest request = generator::frequencyRequest(plan.hertz);
    if (plan.frequencyRequest) {
        c.session.writer().requestFrequency(quint32(request.hundredths), request.value, request.index);
        c.wrote = true;
    }
    if (c.link.isLinkLost()) {
        error(c.lossText());
        c.session.release();
        return LinkLost;
    }

    reg::DeviceSettings b = c.block;
    for (const Write &w : plan.writes)
        b[w.index] = w.value;
    static const char *const names[] = {"noise", "sine", "square", "triangle", "expo", "custom"};
    QByteArray out;
    out += "waveform: " + QByteArray(names[reg::decodeWaveform(b[reg::Waveform])]) + '\n';
    out += "frequency: " + QByteArray::number(request.actualHz, 'f', 2) + " Hz (" + request.text.toUtf8() + ' ' +
           request.unit.toUtf8() + ", asked " + QByteArray::number(request.hundredths / 100.0, 'f', 2) + " Hz)\n";
    out += "amplitude: " + QByteArray::number(reg::amplitudeVolts(reg::decodeAmplitude(b[reg::Amplitude])), 'f', 3) +
           " V\n";
    out += "offset: " + QByteArray::number(reg::offsetVolts(reg::decodeOffset(b[reg::Offset])), 'f', 3) + " V\n";
    out += "duty: " + QByteArray::number(reg::dutyPercent(reg::decodeDutyCycle(b[reg::DutyCycle])), 'f', 3) + " %\n";
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    c.finish();
    return Done;
}

} // namespace cli
