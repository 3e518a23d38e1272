// quorvel-cli as a user runs it, against the simulated instrument over both
// wires. USB: the demo build, whose instrument writes what it received and the
// frames it sent to a file when the program ends (--sim-log). Serial: the
// program as shipped, on the pseudo-terminal this test serves the simulated
// instrument on, so the test reads the instrument's log and frames directly.

#include "display/traces.h"
#include "files/dataexport.h"
#include "files/recording.h"
#include "instruments/generator.h"
#include "quorveltest.h"
#include "settings/registers.h"
#include "filesizelimit.h"
#include "files/srsession.h"
#include "simcontrol.h"
#include "vcdreader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/stat.h>

namespace sim = quorvelsim;

namespace {

struct Result
{
    int code = -1;
    QByteArray out, err;
};

struct Command
{
    char letter = 0;
    int value = 0, index = 0;
};

// One run of the program over one wire, and what the instrument saw.
class Session
{
public:
    explicit Session(bool usb) : usb(usb)
    {
        if (!usb) {
            sim::reset();
            sim::setFrameRecording(true, 100000);
            port = sim::startPtyWire();
        }
    }
    ~Session()
    {
        if (!usb)
            sim::stopPtyWire();
    }
    bool ready() const { return usb || !port.isEmpty(); }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    // The program's arguments: the simulated instrument's options and log over
    // USB, the port over the serial link.
    QStringList programArguments(const QStringList &arguments, const QStringList &demoOptions) const
    {
        QStringList args;
        if (usb)
            args << demoOptions << QStringLiteral("--sim-log") << path("sim.log");
        args << arguments;
        if (!usb)
            args << QStringLiteral("--port") << port;
        return args;
    }
    // Starts the program with `arguments` (a command and its options).
    void start(const QStringList &arguments, const QStringList &demoOptions = {})
    {
        const QStringList args = programArguments(arguments, demoOptions);
        process.setWorkingDirectory(dir.path());
        process.start(QString::fromUtf8(usb ? QUORVEL_CLI_DEMO : QUORVEL_CLI), args);
        process.waitForStarted();
    }
    // Starts the program with its standard output into `head -c BYTES`,
    // which leaves after that many bytes; the exit code is the program's.
    void startIntoHead(const QStringList &arguments, int bytes, const QStringList &demoOptions = {})
    {
        const QStringList args = programArguments(arguments, demoOptions);
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral("bash"),
                      QStringList{"-c", QStringLiteral("\"$@\" | head -c %1 > head.out; exit ${PIPESTATUS[0]}").arg(bytes),
                                  "bash", QString::fromUtf8(usb ? QUORVEL_CLI_DEMO : QUORVEL_CLI)} +
                          args);
        process.waitForStarted();
    }
    Result finish(int timeoutMs = 30000)
    {
        Result r;
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return r;
        }
        r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        r.out = process.readAllStandardOutput();
        r.err = process.readAllStandardError();
        if (usb)
            readLog();
        else
            takeInstrumentRecord();
        return r;
    }
    Result run(const QStringList &arguments, const QStringList &demoOptions = {})
    {
        start(arguments, demoOptions);
        return finish();
    }

    QVector<Command> commands;
    QVector<QByteArray> frames; // as sent: 770 bytes over USB, the 768-byte payload over serial
    QByteArray letters() const
    {
        QByteArray l;
        for (const Command &c : commands)
            l += c.letter;
        return l;
    }
    QProcess process;
    const bool usb;

private:
    void readLog()
    {
        QFile f(path("sim.log"));
        if (!f.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w.size() == 4 && w[0] == "command")
                commands.append({w[1].isEmpty() ? char(0) : w[1][0], w[2].toInt(), w[3].toInt()});
            else if (w.size() == 2 && w[0] == "frame")
                frames.append(QByteArray::fromHex(w[1]));
        }
    }
    void takeInstrumentRecord()
    {
        for (const sim::Command &c : sim::commandLog())
            commands.append({c.letter, c.value, c.index});
        frames = sim::recordedFrames();
    }

    QTemporaryDir dir;
    QString port;
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The CSV rows of a capture at the factory settings (1ms/div, 0.64V/div both
// channels) for the frame `sent`, written independently of the program: time
// i * 62.5 us to the 0.1 us its step needs, volts (127 - sample) / 32 * 0.64
// to the 0.01 V of one count, the logic bits.
QByteArray expectedCsvRows(int number, const QByteArray &arrived, const QByteArray &sent)
{
    QByteArray out;
    for (int i = 0; i < 256; ++i) {
        out += QByteArray::number(number) + ',' + arrived + ',' + QByteArray::number(i * 62.5e-6, 'f', 7) + ',' +
               QByteArray::number((127.0 - quint8(sent[i])) / 32 * 0.64, 'f', 2) + ',' +
               QByteArray::number((127.0 - quint8(sent[256 + i])) / 32 * 0.64, 'f', 2);
        for (int n = 0; n < 8; ++n)
            out += (quint8(sent[512 + i]) >> n) & 1 ? ",1" : ",0";
        out += '\n';
    }
    return out;
}

// Checks a capture CSV: the header, whole frames only, each one a frame the
// instrument sent (in the order sent), each arriving after the one before
// (seconds since the capture started, to the microsecond). Returns the
// number of frames.
int checkCsv(const QByteArray &text, const QVector<QByteArray> &sent, QString *why)
{
    const QByteArray header = "frame,frame_time_s,time_s,ch1_V,ch2_V,bit0,bit1,bit2,bit3,bit4,bit5,bit6,bit7\n";
    if (!text.startsWith(header)) {
        *why = QStringLiteral("no header");
        return -1;
    }
    QByteArray rest = text.mid(header.size());
    if (!rest.isEmpty() && !rest.endsWith('\n')) {
        *why = QStringLiteral("a line cut short");
        return -1;
    }
    const int lines = rest.count('\n');
    if (lines % 256 != 0) {
        *why = QStringLiteral("%1 lines: no whole frames").arg(lines);
        return -1;
    }
    int from = 0;
    int pos = 0;
    double previous = -1;
    for (int k = 0; k < lines / 256; ++k) {
        int end = pos;
        for (int i = 0; i < 256; ++i)
            end = rest.indexOf('\n', end) + 1;
        const QByteArray block = rest.mid(pos, end - pos);
        pos = end;
        const QByteArray arrived = block.split(',').value(1);
        bool number = false;
        const double seconds = arrived.toDouble(&number);
        if (!number || arrived.size() - arrived.indexOf('.') != 7 || seconds < previous || seconds > 600) {
            *why = QStringLiteral("frame %1 arrived at '%2'").arg(k + 1).arg(QString::fromLatin1(arrived));
            return -1;
        }
        previous = seconds;
        bool found = false;
        for (; from < sent.size() && !found; ++from)
            found = expectedCsvRows(k + 1, arrived, sent[from]) == block;
        if (!found) {
            *why = QStringLiteral("frame %1 is none the instrument sent").arg(k + 1);
            return -1;
        }
    }
    return lines / 256;
}

// Checks a recording: each entry is a frame the instrument sent, as the
// window draws it (time base 7, 128 samples from the scroll position 64).
int checkOmx(const QByteArray &text, const QVector<QByteArray> &sent, QString *why)
{
    const recording::Recording r = recording::Recording::read(text);
    int from = 0;
    for (int k = 0; k < r.size(); ++k) {
        const wavefile::Wave w = r.frame(k);
        // 128 values and the reader's value of the item after the last comma.
        if (r.timeBase(k) != 7 || w.records[0].size() != 129) {
            *why = QStringLiteral("entry %1 has time base %2 and %3 values").arg(k).arg(r.timeBase(k)).arg(w.records[0].size());
            return -1;
        }
        bool found = false;
        for (; from < sent.size() && !found; ++from) {
            found = true;
            for (int c = 0; c < 128 && found; ++c)
                found = w.records[0][c] == frame::channelValue(quint8(sent[from][64 + c]), 0) &&
                        w.records[1][c] == frame::channelValue(quint8(sent[from][256 + 64 + c]), 0);
        }
        if (!found) {
            *why = QStringLiteral("entry %1 is no frame the instrument sent").arg(k);
            return -1;
        }
    }
    return r.size();
}

bool writesRegister(const QVector<Command> &commands)
{
    for (const Command &c : commands)
        if (c.letter == 'b' || c.letter == 'c' || c.letter == 'd' || c.letter == 'e' || c.letter == 'l')
            return true;
    return false;
}

// The meter mode was left: the spectrum register holds the scope's value
// again and the scope's settings were sent once more, the time base last.
bool scopeGivenBack()
{
    if (sim::peekRegister(reg::Spectrum) != 32)
        return false;
    const QVector<sim::Command> log = sim::commandLog();
    for (int i = 0; i < log.size(); ++i) {
        if (log[i].letter != 'h')
            continue;
        for (int j = i + 1; j < log.size(); ++j)
            if (log[j].letter == 'b' && log[j].index == reg::SamplingRate)
                return true;
    }
    return false;
}

// Waits until the file holds at least `bytes` bytes.
bool waitForFile(const QString &path, qint64 bytes, int timeoutMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (QFileInfo(path).size() >= bytes)
            return true;
        QTest::qWait(10);
    }
    return false;
}

constexpr qint64 CsvFrameBytes = 256 * 40; // a frame's rows are longer than this

} // namespace

class TestCliProcess : public QObject
{
    Q_OBJECT

private:
    void wires()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("usb") << true;
        QTest::newRow("serial") << false;
    }

private slots:
    void infoPrintsTheBlockAndWritesNothing_data() { wires(); }
    void infoPrintsTheBlockAndWritesNothing()
    {
        QFETCH(bool, usb);
        Session s(usb);
        QVERIFY(s.ready());
        const Result r = s.run({QStringLiteral("info")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        sim::reset(); // the block of a new instrument, as the demo's is
        QByteArray expected = "firmware: 2.37\n";
        const QStringList lines = reg::dumpLines(reg::DeviceSettings::fromByteArray(sim::settingsBlock()));
        QCOMPARE(lines.size(), 42);
        for (const QString &line : lines)
            expected += line.toUtf8() + '\n';
        QCOMPARE(r.out, expected);
        QVERIFY2(!writesRegister(s.commands), s.letters().constData());
        QVERIFY(s.letters().contains('u'));
    }

    void captureWritesTheFramesSent_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("file");
        QTest::newRow("usb csv") << true << "x.csv";
        QTest::newRow("serial csv") << false << "x.csv";
        QTest::newRow("usb omx") << true << "x.omx";
        QTest::newRow("serial omx") << false << "x.omx";
    }
    void captureWritesTheFramesSent()
    {
        QFETCH(bool, usb);
        QFETCH(QString, file);
        Session s(usb);
        QVERIFY(s.ready());
        const Result r = s.run({"capture", "--frames", "5", "--out", file});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData()); // quiet when stderr is no terminal
        QVERIFY(s.frames.size() >= 5);
        QString why;
        const QByteArray text = readAll(s.path(file.toLatin1().constData()));
        const int frames = file.endsWith(".csv") ? checkCsv(text, s.frames, &why) : checkOmx(text, s.frames, &why);
        QVERIFY2(frames == 5, qPrintable(why));
        QVERIFY2(!writesRegister(s.commands), s.letters().constData());
    }

    void captureSettingsReachTheInstrument_data() { wires(); }
    void captureSettingsReachTheInstrument()
    {
        QFETCH(bool, usb);
        Session s(usb);
        QVERIFY(s.ready());
        const Result r = s.run({"capture", "--frames", "2", "--out", "t.vcd", "--timebase", "500us", "--ch1", "80mV",
                                "--trigger-mode", "auto"});
        QCOMPARE(r.code, 0);
        QVector<Command> writes;
        for (const Command &c : s.commands)
            if (c.letter == 'b')
                writes << c;
        QCOMPARE(writes.size(), 2); // the trigger is in Auto already
        QCOMPARE(writes[0].index, 0);
        QCOMPARE(writes[0].value, 6);
        QCOMPARE(writes[1].index, 12);
        QCOMPARE(writes[1].value, 6);
        const QByteArray vcd = readAll(s.path("t.vcd"));
        QVERIFY(vcd.contains("time base 500"));
        QVERIFY(vcdBodyIsPlain(vcd));
        const ReadVcd read = readVcd(vcd);
        QVERIFY(read.ok);
        int frameChanges = 0;
        for (const auto &levels : read.changes)
            frameChanges += levels.contains("frame") ? 1 : 0;
        QCOMPARE(frameChanges, 2);
    }

    // Interrupted, the capture ends cleanly: exit 0, whole frames, file closed.
    void interruptLeavesAValidFile_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("file");
        QTest::newRow("usb SIGINT csv") << true << int(SIGINT) << "i.csv";
        QTest::newRow("serial SIGINT csv") << false << int(SIGINT) << "i.csv";
        QTest::newRow("usb SIGTERM omx") << true << int(SIGTERM) << "i.omx";
        QTest::newRow("serial SIGTERM omx") << false << int(SIGTERM) << "i.omx";
    }
    void interruptLeavesAValidFile()
    {
        QFETCH(bool, usb);
        QFETCH(int, signal);
        QFETCH(QString, file);
        Session s(usb);
        QVERIFY(s.ready());
        s.start({"capture", "--out", file}, {"--rate", "250"});
        const QString path = s.path(file.toLatin1().constData());
        QVERIFY(waitForFile(path, 3 * CsvFrameBytes));
        ::kill(pid_t(s.process.processId()), signal);
        const Result r = s.finish();
        QCOMPARE(r.code, 0);
        QString why;
        const QByteArray text = readAll(path);
        const int frames = file.endsWith(".csv") ? checkCsv(text, s.frames, &why) : checkOmx(text, s.frames, &why);
        QVERIFY2(frames >= 2, qPrintable(why));
    }

    void badOptionWritesNothing_data() { wires(); }
    void badOptionWritesNothing()
    {
        QFETCH(bool, usb);
        Session s(usb);
        QVERIFY(s.ready());
        const Result r = s.run({"capture", "--frames", "5", "--out", "b.csv", "--timebase", "3ms"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("accepted: 8us 16us 32us"), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFileInfo::exists(s.path("b.csv")));
        QVERIFY2(s.commands.isEmpty(), s.letters().constData());
    }

    // A value the instrument's own settings rule out is refused after the
    // settings read, before any write.
    void levelOffTheScreenWritesNothing()
    {
        Session s(false);
        QVERIFY(s.ready());
        const Result r = s.run({"capture", "--frames", "5", "--out", "l.csv", "--trigger-level", "3V"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("accepted: -2.5V to 2.48V"), r.err.constData());
        QVERIFY2(!writesRegister(s.commands), s.letters().constData());
        QVERIFY(!QFileInfo::exists(s.path("l.csv")));
    }

    void noInstrument()
    {
        {
            Session s(true);
            const Result r = s.run({"info"}, {"--no-instrument"});
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.startsWith("quorvel-cli: Cannot open device"), r.err.constData());
            QCOMPARE(r.err.count('\n'), 1);
        }
        QProcess p;
        p.start(QString::fromUtf8(QUORVEL_CLI), {"capture", "--out", "n.csv", "--port", "/dev/quorvel-no-such-port"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(err.contains("Port is busy or unreachable."), err.constData());
    }

    // Unplugged in the middle: exit 3, and the frames written so far are whole.
    void unplugDuringCapture_data() { wires(); }
    void unplugDuringCapture()
    {
        QFETCH(bool, usb);
        Session s(usb);
        QVERIFY(s.ready());
        s.start({"capture", "--frames", "100000", "--out", "u.csv"}, {"--unplug-after", "4"});
        if (!usb) {
            QVERIFY(waitForFile(s.path("u.csv"), 3 * CsvFrameBytes));
            sim::stopPtyWire(); // the port goes away
        }
        const Result r = s.finish();
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains(usb ? "Device disconnected" : "Port is busy or unreachable."), r.err.constData());
        QString why;
        const int frames = checkCsv(readAll(s.path("u.csv")), s.frames, &why);
        QVERIFY2(frames >= (usb ? 1 : 3), qPrintable(why));
    }

    void meterLogsAndGivesTheRegistersBack()
    {
        Session s(false);
        QVERIFY(s.ready());
        const Result r = s.run({"meter", "vpp", "--count", "3", "--interval", "50"});
        QVERIFY2(r.code == 0, r.err.constData());
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), 5); // header, three readings, the empty end
        QCOMPARE(lines[0], QByteArray("time,ch1_Vpp_V,ch2_Vpp_V"));
        for (int i = 1; i <= 3; ++i) {
            const QList<QByteArray> cells = lines[i].split(',');
            QCOMPARE(cells.size(), 3);
            QVERIFY(QDateTime::fromString(QString::fromLatin1(cells[0]), Qt::ISODateWithMs).isValid());
            // The factory generator: 4 V peak to peak into CH1.
            QVERIFY2(std::fabs(cells[1].toDouble() - 4.0) < 0.1, lines[i].constData());
        }
        // The restoring writes left the program before it ended; the
        // instrument's wire takes them from the line on its own thread, so
        // they are waited for, not assumed taken when the process is gone.
        QTRY_VERIFY(scopeGivenBack());
        QCOMPARE(int(sim::peekRegister(reg::SamplingRate)), 7);
        QCOMPARE(int(sim::peekRegister(reg::Gain1)), 3);
        QCOMPARE(sim::commandLog().size() > 0, true);
        int meterRequests = 0;
        for (const sim::Command &c : sim::commandLog())
            meterRequests += c.letter == 'm' ? 1 : 0;
        QCOMPARE(meterRequests, 3);
    }

    // A closed terminal or a reader that went away ends the meter log as
    // Ctrl-C does: the registers are given back, exit 0.
    void meterSignalsGiveTheRegistersBack_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("SIGHUP") << "hup";
        QTest::newRow("reader gone (SIGPIPE)") << "pipe";
    }
    void meterSignalsGiveTheRegistersBack()
    {
        QFETCH(QString, how);
        Session s(false);
        QVERIFY(s.ready());
        if (how == "hup") {
            s.start({"meter", "vdc", "--interval", "20"});
            QVERIFY(s.process.waitForReadyRead(10000)); // the header or a reading came
            QTRY_VERIFY_WITH_TIMEOUT(sim::peekRegister(reg::MStatus) != 0, 10000); // in meter mode
            ::kill(pid_t(s.process.processId()), SIGHUP);
        } else {
            s.startIntoHead({"meter", "vdc", "--interval", "20"}, 100); // `meter vdc | head -c 100`
        }
        const Result r = s.finish();
        QVERIFY2(r.code == 0, r.err.constData());
        if (how != "hup")
            QCOMPARE(readAll(s.path("head.out")).size(), 100);
        QTRY_VERIFY(scopeGivenBack());
    }

    // Standard output: the whole CSV, and a reader that stops early ends
    // the capture cleanly.
    void captureToStandardOutput()
    {
        Session s(true);
        Result r = s.run({"capture", "--frames", "3", "--out", "-"});
        QCOMPARE(r.code, 0);
        QString why;
        QVERIFY2(checkCsv(r.out, s.frames, &why) == 3, qPrintable(why));

        Session t(true);
        t.startIntoHead({"capture", "--frames", "100000", "--out", "-"}, 100000, {"--rate", "250"});
        r = t.finish();
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QCOMPARE(readAll(t.path("head.out")).size(), 100000);
    }

    // The field's reader takes the session file and the VCD: sample rate,
    // channels and the values of the frames sent.
    void sigrokReadsTheCapture()
    {
        const QString sigrok = QStandardPaths::findExecutable(QStringLiteral("sigrok-cli"));
        if (sigrok.isEmpty())
            QSKIP("sigrok-cli is not installed");
        Session s(true);
        QCOMPARE(s.run({"capture", "--frames", "3", "--out", "x.sr"}).code, 0);
        QVector<QByteArray> sent = s.frames;
        QCOMPARE(s.run({"capture", "--frames", "2", "--out", "x.vcd"}).code, 0);

        // Our reader: the frames one after another, in the order sent.
        const srsession::Session own = srsession::read(s.path("x.sr"));
        QVERIFY2(own.ok, qPrintable(own.error));
        QCOMPARE(own.frames.size(), 3);
        QCOMPARE(own.logic.size(), 3 * 256);

        QProcess show;
        show.start(sigrok, {"-i", s.path("x.sr"), "--show"});
        QVERIFY(show.waitForFinished(30000));
        const QByteArray shown = show.readAllStandardOutput();
        QVERIFY2(shown.contains("Samplerate: 16000"), shown.constData());
        for (const char *name : {"bit0", "bit7", "CH1", "CH2"})
            QVERIFY2(shown.contains(QByteArray("- ") + name), shown.constData());

        // The logic lines from its CSV, the channels from its analog output
        // (volts to 0.01 V: one count is 0.02 V), each in sample order.
        QProcess csv;
        csv.start(sigrok, {"-i", s.path("x.sr"), "-C", "bit0,bit1,bit2,bit3,bit4,bit5,bit6,bit7", "-O", "csv"});
        QVERIFY(csv.waitForFinished(30000));
        QVector<QList<QByteArray>> rows;
        for (const QByteArray &line : csv.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> cells = line.trimmed().split(',');
            if (cells.size() == 8 && (cells[0] == "0" || cells[0] == "1"))
                rows.append(cells);
        }
        QCOMPARE(rows.size(), 3 * 256);
        QProcess analog;
        analog.start(sigrok, {"-i", s.path("x.sr"), "-O", "analog"});
        QVERIFY(analog.waitForFinished(30000));
        QVector<double> volts[2];
        for (const QByteArray &line : analog.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.size() >= 3 && (words[0] == "CH1:" || words[0] == "CH2:"))
                volts[words[0] == "CH2:" ? 1 : 0].append(words[1].toDouble());
        }
        QCOMPARE(volts[0].size(), 3 * 256);
        QCOMPARE(volts[1].size(), 3 * 256);
        int from = 0;
        for (int k = 0; k < 3; ++k) {
            bool found = false;
            for (; from < sent.size() && !found; ++from) {
                found = true;
                for (int i = 0; i < 256 && found; ++i) {
                    const QList<QByteArray> &cells = rows[k * 256 + i];
                    for (int n = 0; n < 8; ++n)
                        found = found && cells[n].toInt() == ((quint8(sent[from][512 + i]) >> n) & 1);
                    for (int c = 0; c < 2; ++c)
                        found = found && std::fabs(volts[c][k * 256 + i] -
                                                   (127.0 - quint8(sent[from][c * 256 + i])) / 32 * 0.64) < 0.006;
                }
            }
            QVERIFY2(found, qPrintable(QStringLiteral("frame %1 is none the instrument sent").arg(k + 1)));
        }

        // The VCD: every sample of both frames, bits exact (100 ns ticks: 625 a sample).
        QProcess vcd;
        vcd.start(sigrok, {"-i", s.path("x.vcd"), "-O", "csv"});
        QVERIFY(vcd.waitForFinished(60000));
        QVector<QByteArray> vcdRows;
        for (const QByteArray &line : vcd.readAllStandardOutput().split('\n'))
            if (!line.isEmpty() && (line[0] == '0' || line[0] == '1'))
                vcdRows.append(line.trimmed());
        QVERIFY2(vcdRows.size() >= 2 * 256 * 625, qPrintable(QString::number(vcdRows.size())));
        QByteArray first; // frame 1 as sigrok gives it, one row per sample
        for (int i = 0; i < 256; ++i)
            first += vcdRows[i * 625] + '\n';
        QByteArray expected;
        bool matched = false;
        for (const QByteArray &frame : s.frames) {
            expected.clear();
            for (int i = 0; i < 256; ++i) {
                QByteArray row;
                for (int n = 0; n < 8; ++n)
                    row += QByteArray(n ? "," : "") + char('0' + ((quint8(frame[512 + i]) >> n) & 1));
                row += ',' + QByteArray(1, '1'); // the frame wire is 1 in frame 1
                expected += row + '\n';
            }
            matched = matched || expected == first;
        }
        QVERIFY2(matched, first.left(200).constData());

        // GTKWave's converter takes it too.
        const QString vcd2fst = QStandardPaths::findExecutable(QStringLiteral("vcd2fst"));
        if (!vcd2fst.isEmpty()) {
            QProcess convert;
            convert.start(vcd2fst, {s.path("x.vcd"), s.path("x.fst")});
            QVERIFY(convert.waitForFinished(30000));
            QCOMPARE(convert.exitCode(), 0);
            QVERIFY(QFileInfo(s.path("x.fst")).size() > 0);
        }
    }

    // Output only to a regular file: a named pipe is refused at once (no
    // wait for a reader), for every file the command line writes or reads.
    void namedPipesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::newRow("capture csv") << QStringList{"capture", "--frames", "2", "--out", "p.csv"} << 4;
        QTest::newRow("capture vcd") << QStringList{"capture", "--frames", "2", "--out", "p.vcd"} << 4;
        QTest::newRow("capture sr") << QStringList{"capture", "--frames", "2", "--out", "p.sr"} << 4;
        QTest::newRow("capture omx") << QStringList{"capture", "--frames", "2", "--out", "p.omx"} << 4;
        QTest::newRow("meter") << QStringList{"meter", "vpp", "--count", "2", "--out", "p.csv"} << 4;
        QTest::newRow("generate") << QStringList{"generate", "--waveform", "custom", "--csv", "p.csv"} << 1;
    }
    void namedPipesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        Session s(true);
        const QString fifo = s.path(arguments.last().toLatin1().constData());
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        s.start(arguments);
        const Result r = s.finish(20000);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains("not a regular file"), r.err.constData());
        QVERIFY(QFileInfo(fifo).exists()); // left as it was
    }

    // A full disk: the file is cut back to its last whole frame or line, the
    // message names the system's error, exit 4.
    void fullDiskKeepsWholeFrames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("csv") << "f.csv";
        QTest::newRow("vcd") << "f.vcd";
        QTest::newRow("meter log") << "f.log";
    }
    void fullDiskKeepsWholeFrames()
    {
        QFETCH(QString, file);
        Session s(false); // the instrument lives in this process: nothing of it is written to the disk
        QVERIFY(s.ready());
        const bool meter = file.endsWith(".log");
        const QStringList args = meter ? QStringList{"meter", "vpp", "--interval", "20", "--out", file}
                                       : QStringList{"capture", "--frames", "1000", "--out", file};
        Result r;
        {
            quorveltest::FileSizeLimit full(meter ? 300 : 3 * CsvFrameBytes + 1000);
            QVERIFY(full.isActive());
            r = s.run(args); // the program inherits the limit
        }
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.contains("(File too large)"), r.err.constData()); // EFBIG, the limit's error
        const QByteArray text = readAll(s.path(file.toLatin1().constData()));
        QVERIFY(!text.isEmpty());
        QVERIFY(text.endsWith('\n'));
        if (file.endsWith(".csv")) {
            QString why;
            QVERIFY2(checkCsv(text, s.frames, &why) >= 1, qPrintable(why));
        } else if (file.endsWith(".vcd")) {
            QVERIFY(vcdBodyIsPlain(text));
            // Each frame ends with its gap: every line x.
            QVERIFY(text.endsWith("x!\nx\"\nx#\nx$\nx%\nx&\nx'\nx(\n"));
        } else {
            for (const QByteArray &line : text.trimmed().split('\n').mid(1))
                QCOMPARE(line.split(',').size(), 3);
        }
        if (meter) {
            QTRY_VERIFY(scopeGivenBack()); // given back all the same
        }
    }

    // Nothing captured: no file, "no frame captured", exit 5.
    void noFrameLeavesNoFile()
    {
        Session s(true);
        const Result r = s.run({"capture", "--seconds", "0.5", "--out", "e.csv", "--trigger-mode", "normal",
                                "--trigger-source", "ch1", "--trigger-level", "2.4V"});
        QCOMPARE(r.code, 5);
        QVERIFY2(r.err.contains("no frame captured"), r.err.constData());
        QVERIFY(!QFileInfo::exists(s.path("e.csv")));
    }

    // The system's words when a file cannot be made, not "Unknown error".
    void fileErrorsNameTheCause_data()
    {
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("words");
        QTest::newRow("no folder") << QStringList{"none/x.omx"} << "No such file or directory";
        QTest::newRow("a folder") << QStringList{"folder.omx"} << "not a regular file";
        QTest::newRow("a device") << QStringList{"/dev/null", "--format", "omx"} << "not a regular file";
        QTest::newRow("sr in a folder") << QStringList{"none/x.sr"} << "No such file or directory";
    }
    void fileErrorsNameTheCause()
    {
        QFETCH(QStringList, out);
        QFETCH(QString, words);
        Session s(true);
        QVERIFY(QDir(s.path(".")).mkdir("folder.omx"));
        const Result r = s.run(QStringList{"capture", "--frames", "1", "--out"} + out);
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.contains(words.toUtf8()), r.err.constData());
        QVERIFY2(!r.err.contains("Unknown error"), r.err.constData());
    }

    void demoRefusesRatesItCannotKeep_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::newRow("nan") << "nan";
        QTest::newRow("1e-10") << "1e-10";
        QTest::newRow("inf") << "inf";
        QTest::newRow("negative") << "-1";
    }
    void demoRefusesRatesItCannotKeep()
    {
        QFETCH(QString, rate);
        Session s(true);
        const Result r = s.run({"info"}, {"--rate", rate});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("--rate"), r.err.constData());
        QVERIFY(r.out.isEmpty());
    }

    // Line noise garbles every reply once the log runs: the program gives up
    // after two bad replies in a row, as the window does, with exit 3 and
    // the reason, instead of asking for ever.
    void meterGivesUpOnGarbledReplies()
    {
        Session s(false);
        QVERIFY(s.ready());
        s.start({"meter", "vdc", "--count", "3", "--interval", "1000"});
        QVERIFY(sim::waitForCommand('m'));
        sim::setFault(sim::Fault::SerialNoise);
        const Result r = s.finish(15000);
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains("Device replies garbled during the meter log"), r.err.constData());
        QVERIFY2(r.out.count('\n') < 3, r.out.constData()); // the header and at most the first reading
    }

    void generatorPrintsWhatItProduces_data() { wires(); }
    void generatorPrintsWhatItProduces()
    {
        QFETCH(bool, usb);
        Session s(usb);
        QVERIFY(s.ready());
        const Result r = s.run({"generate", "--waveform", "square", "--frequency", "1234.5", "--amplitude", "1.5"});
        QCOMPARE(r.code, 0);
        const generator::FrequencyRequest request = generator::frequencyRequest(1234.5);
        QVERIFY2(r.out.contains("frequency: " + QByteArray::number(request.actualHz, 'f', 2) + " Hz"), r.out.constData());
        QVERIFY2(r.out.contains("waveform: square\n"), r.out.constData());
        bool waveform = false, amplitude = false, frequency = false;
        for (const Command &c : s.commands) {
            waveform = waveform || (c.letter == 'b' && c.index == reg::Waveform && c.value == 2);
            amplitude = amplitude || (c.letter == 'b' && c.index == reg::Amplitude && c.value == reg::encodeAmplitude(1.5));
            frequency = frequency || (c.letter == 'c' && c.value == request.value && c.index == request.index);
        }
        QVERIFY2(waveform && amplitude && frequency, s.letters().constData());
    }
};

QUORVEL_CORE_TEST_MAIN(TestCliProcess)
#include "test_cli_process.moc"
