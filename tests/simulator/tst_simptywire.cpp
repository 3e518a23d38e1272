// The pseudo-terminal wire of the simulated instrument, driven by a small
// serial client: the one-letter commands and their replies, frames between
// their markers in frame mode, sample groups after the stream start marker in
// roll mode, and the faults of the serial link. The client's frame parser is
// the program's (groups of three, fixed reads), fed with the stream split at
// every byte boundary.

#include "ptywire.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include <QElapsedTimer>
#include <QProcess>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim = quorvelsim;

namespace {

// Opens the terminal the way a serial port library does: raw, non-blocking.
class SerialClient
{
public:
    explicit SerialClient(const QString &path)
    {
        fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            termios tio;
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            cfsetspeed(&tio, B115200);
            tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~SerialClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool isOpen() const { return fd >= 0; }

    void send(const QByteArray &bytes)
    {
        int done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += int(n);
            else
                QTest::qWait(1);
        }
    }

    // Reads until `count` bytes arrived or `timeoutMs` passed.
    QByteArray read(int count, int timeoutMs = 5000)
    {
        QByteArray out;
        QDeadlineTimer deadline(timeoutMs);
        while (out.size() < count && !deadline.hasExpired()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, int(qMin<qint64>(50, deadline.remainingTime()))) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fd, buf, size_t(qMin<int>(int(sizeof buf), count - out.size())));
            if (n > 0)
                out.append(buf, int(n));
        }
        return out;
    }

    // Drops whatever is pending on the line after a pause of `quietMs`.
    void drain(int quietMs = 100)
    {
        while (!read(1 << 20, quietMs).isEmpty()) {
        }
    }

private:
    int fd = -1;
};

QByteArray fiveByteForm(char request, quint16 value, quint16 index)
{
    QByteArray b;
    b.append(request);
    b.append(char(index & 0xFF));
    b.append(char(index >> 8));
    b.append(char(value & 0xFF));
    b.append(char(value >> 8));
    return b;
}

// The program's serial frame parser, run as its poll timer would run it on
// whatever bytes have arrived so far.
class ReferenceParser
{
public:
    explicit ReferenceParser(int samplingValue) : sampling(samplingValue) {}
    QList<QByteArray> frames;
    QByteArray rollPlanes = QByteArray(768, 0);
    QList<QByteArray> samples;

    void arrive(const QByteArray &bytes)
    {
        pending.append(bytes);
        while (poll()) {
        }
    }

private:
    int sampling;
    int state = 0;
    int sampleIndex = 0;
    QByteArray pending;

    QByteArray take(int n)
    {
        const QByteArray b = pending.left(n);
        pending.remove(0, n);
        return b;
    }
    static bool is(const QByteArray &g, const char *marker) { return g == QByteArray(marker, 3); }

    // One call of the poll timer; false when it could make no progress.
    bool poll()
    {
        if (pending.isEmpty())
            return false;
        if (sampling >= 11) {
            const int groups = pending.size() / 3;
            if (groups == 0)
                return false;
            const QByteArray block = take(qMin(3 * groups, 768));
            for (int i = 0; i + 3 <= block.size(); i += 3) {
                const QByteArray g = block.mid(i, 3);
                if (is(g, sim::StreamStartMarker)) {
                    sampleIndex = 0;
                    state = 1;
                } else if (is(g, sim::EndMarker)) {
                    sampleIndex = 0;
                } else if (state != 0) {
                    samples.append(g);
                    ++sampleIndex;
                }
            }
            return true;
        }
        switch (state) {
        case 0:
            while (pending.size() >= 3)
                if (is(take(3), sim::FrameStartMarker)) {
                    state = 1;
                    return true;
                }
            return false;
        case 1:
            if (pending.size() < 768)
                return false;
            frames.append(take(768) + QByteArray(2, '\0'));
            state = 2;
            return true;
        default:
            if (pending.size() < 3)
                return false;
            if (is(take(3), sim::EndMarker))
                state = 0;
            return true;
        }
    }
};

} // namespace

class TestSimPtyWire : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandsAndReplies();
    void frameModeSurvivesEverySplit();
    void rollModeStreamsSampleGroups();
    void garbageBetweenFramesIsSkipped();
    void silentPortStillTakesCommands();
    void junkAroundReplies();
    void customWaveUpload();
    void programPrintsPathAndServes();

private:
    QString path;
};

void TestSimPtyWire::init()
{
    sim::reset();
    sim::setSerialByteRate(0);
    path = sim::startPtyWire();
    QVERIFY(!path.isEmpty());
    QCOMPARE(sim::ptyWirePath(), path);
}

void TestSimPtyWire::cleanup()
{
    sim::stopPtyWire();
    QVERIFY(sim::ptyWirePath().isEmpty());
}

void TestSimPtyWire::commandsAndReplies()
{
    SerialClient port(path);
    QVERIFY(port.isOpen());
    port.send("p");
    port.send("a");
    QCOMPARE(port.read(4), QByteArray("2.37"));
    port.send(QByteArray::fromHex("620c06")); // register 12 = 6
    QTRY_COMPARE(sim::peekRegister(12), quint8(6));
    port.send(fiveByteForm('u', 0, 14));
    QCOMPARE(port.read(44), sim::settingsBlock());
    port.send(fiveByteForm('c', 0x0001, 0x86A0));
    port.send(fiveByteForm('j', 200, 0));
    QTRY_COMPARE(sim::settingsBlock().mid(40, 4), QByteArray::fromHex("a0860100"));
    QTRY_COMPARE(sim::settingsBlock().mid(22, 2), QByteArray::fromHex("c800"));
    port.send(QByteArray::fromHex("620b01")); // frequency counter
    port.send("m");
    const QByteArray count = port.read(4);
    QCOMPARE(count, QByteArray::fromHex("e8030000")); // 1000 Hz
    QCOMPARE(port.read(1, 100), QByteArray());        // nothing else without auto mode

    QString letters;
    for (const sim::Command &c : sim::commandLog()) {
        QCOMPARE(c.wire, sim::Wire::Serial);
        letters += c.letter;
    }
    QCOMPARE(letters, QString("pabucjbm"));
    const sim::Command read = sim::commandsWithLetter('u').first();
    QCOMPARE(read.index, quint16(14));
    QCOMPARE(read.value, quint16(0));
}

void TestSimPtyWire::frameModeSurvivesEverySplit()
{
    sim::setFrameRate(200);
    SerialClient port(path);
    port.send("q");
    const int frameBytes = 3 + 768 + 3;
    const QByteArray stream = port.read(4 * frameBytes + 100);
    port.send("p");
    QVERIFY(stream.size() >= 4 * frameBytes);
    QVERIFY(stream.startsWith(QByteArray(sim::FrameStartMarker, 3)));

    ReferenceParser whole(7);
    whole.arrive(stream);
    QVERIFY(whole.frames.size() >= 4);
    for (const QByteArray &f : whole.frames) {
        QCOMPARE(f.size(), 770);
        // CH1 carries the factory 2 V sine: samples spread around 127.
        int lo = 255, hi = 0;
        for (int i = 0; i < 256; ++i) {
            lo = qMin(lo, int(quint8(f[i])));
            hi = qMax(hi, int(quint8(f[i])));
        }
        QVERIFY2(lo < 40 && hi > 215, qPrintable(QString("%1..%2").arg(lo).arg(hi)));
    }
    for (int split = 1; split < stream.size(); ++split) {
        ReferenceParser parts(7);
        parts.arrive(stream.left(split));
        parts.arrive(stream.mid(split));
        QVERIFY2(parts.frames == whole.frames, qPrintable(QString("split at %1").arg(split)));
    }
    ReferenceParser bytewise(7);
    for (char b : stream)
        bytewise.arrive(QByteArray(1, b));
    QVERIFY(bytewise.frames == whole.frames);
}

void TestSimPtyWire::rollModeStreamsSampleGroups()
{
    SerialClient port(path);
    port.send("p");
    port.send(QByteArray::fromHex("62000b")); // 20ms/div: one sample every 625 us
    QTRY_COMPARE(sim::peekRegister(0), quint8(11));
    port.send("q");
    const QByteArray stream = port.read(3 + 300 * 3);
    port.send("p");
    QVERIFY(stream.size() >= 3 + 300 * 3);
    QCOMPARE(stream.left(3), QByteArray(sim::StreamStartMarker, 3));
    // After 256 samples the instrument restarts the program's write position.
    QCOMPARE(stream.mid(3 + 256 * 3, 3), QByteArray(sim::EndMarker, 3));
    const QByteArray body = stream.left(3 + 300 * 3);

    ReferenceParser whole(11);
    whole.arrive(body);
    QCOMPARE(whole.samples.size(), 299);
    // CH1: a 1 kHz sine sampled every 625 us, so consecutive samples differ.
    int distinct = 0;
    for (int i = 1; i < 50; ++i)
        distinct += whole.samples[i][0] != whole.samples[i - 1][0];
    QVERIFY(distinct > 25);
    for (int split = 1; split < body.size(); ++split) {
        ReferenceParser parts(11);
        parts.arrive(body.left(split));
        parts.arrive(body.mid(split));
        QVERIFY2(parts.samples == whole.samples, qPrintable(QString("split at %1").arg(split)));
    }
}

void TestSimPtyWire::garbageBetweenFramesIsSkipped()
{
    sim::setFrameRate(200);
    sim::setFault(sim::Fault::SerialGarbage);
    sim::setGarbageLength(6);
    SerialClient port(path);
    port.send("q");
    const int frameBytes = 6 + 3 + 768 + 3;
    const QByteArray stream = port.read(4 * frameBytes);
    port.send("p");
    QVERIFY(!stream.startsWith(QByteArray(sim::FrameStartMarker, 3)));
    QCOMPARE(stream.mid(6, 3), QByteArray(sim::FrameStartMarker, 3));
    ReferenceParser parser(7);
    parser.arrive(stream);
    QCOMPARE(parser.frames.size(), 4);
}

void TestSimPtyWire::silentPortStillTakesCommands()
{
    sim::setFault(sim::Fault::SerialSilent);
    SerialClient port(path);
    port.send("q");
    port.send("a");
    port.send(QByteArray::fromHex("620d05"));
    QTRY_COMPARE(sim::peekRegister(13), quint8(5));
    QCOMPARE(port.read(1, 300), QByteArray());
    sim::setFault(sim::Fault::SerialSilent, false);
    port.send("p");
    port.drain();
    port.send("a");
    QCOMPARE(port.read(4), QByteArray("2.37"));
}

// The junk faults put one byte right before or after each reply, and none
// anywhere else.
void TestSimPtyWire::junkAroundReplies()
{
    SerialClient port(path);
    port.send("p");
    sim::setFault(sim::Fault::SerialJunkAfterReply);
    port.send("a");
    QCOMPARE(port.read(5), QByteArray("2.37\xEE"));
    port.send(fiveByteForm('u', 0, 14));
    QCOMPARE(port.read(45), sim::settingsBlock() + QByteArray(1, char(0xEE)));
    sim::setFault(sim::Fault::SerialJunkBeforeReply);
    port.send("a");
    QCOMPARE(port.read(6), QByteArray("\xA5" "2.37\xEE"));
    port.send(QByteArray::fromHex("620d05"));
    QTRY_COMPARE(sim::peekRegister(13), quint8(5));
    QCOMPARE(port.read(1, 100), QByteArray()); // a write has no reply, so no junk
}

void TestSimPtyWire::customWaveUpload()
{
    SerialClient port(path);
    QByteArray wave;
    for (int i = 0; i < 256; ++i)
        wave.append(char(quint8(i * 37 + 5) == 0x80 ? 0x81 : quint8(i * 37 + 5)));
    QVERIFY(sim::customWave() != wave);
    // The upload arrives in pieces, as a serial line delivers it: the wire
    // has read the first piece before the rest is sent.
    const quint64 readBefore = sim::serialBytesRead();
    port.send(QByteArray(1, sim::SerialWaveUpload) + wave.left(100));
    QTRY_COMPARE(sim::serialBytesRead(), readBefore + 101);
    QCOMPARE(sim::commandsWithLetter(sim::SerialWaveUpload).size(), 0);
    port.send(wave.mid(100));
    QTRY_COMPARE(sim::commandsWithLetter(sim::SerialWaveUpload).size(), 1);
    QCOMPARE(sim::customWave(), wave);
    QCOMPARE(sim::commandsWithLetter(sim::SerialWaveUpload).first().data, wave);

    // An upload cut short is dropped after a pause of a second; the next
    // command is then read as a command again, not as wave bytes.
    const int abandonedBefore = sim::serialCommandsAbandoned();
    QElapsedTimer pause;
    pause.start();
    port.send(QByteArray(1, sim::SerialWaveUpload) + QByteArray(10, 0x11));
    QTRY_COMPARE_WITH_TIMEOUT(sim::serialCommandsAbandoned(), abandonedBefore + 1, 5000);
    QVERIFY2(pause.elapsed() >= 1000, qPrintable(QString::number(pause.elapsed())));
    port.send("a");
    QCOMPARE(port.read(4), QByteArray("2.37"));
    QCOMPARE(sim::customWave(), wave);
}

void TestSimPtyWire::programPrintsPathAndServes()
{
    QProcess program;
    program.start(QUORVEL_SIM_PROGRAM, QStringList());
    QVERIFY(program.waitForStarted(5000));
    QTRY_VERIFY(program.canReadLine());
    const QString programPath = QString::fromLocal8Bit(program.readLine()).trimmed();
    QVERIFY(programPath.startsWith("/dev/"));
    {
        SerialClient port(programPath);
        QVERIFY(port.isOpen());
        port.send("p");
        port.send("a");
        QCOMPARE(port.read(4), QByteArray("2.37"));
        port.send(fiveByteForm('u', 0, 14));
        QCOMPARE(port.read(44).size(), 44);
    }
    program.terminate();
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 0);
}

QUORVEL_CORE_TEST_MAIN(TestSimPtyWire)
#include "tst_simptywire.moc"
