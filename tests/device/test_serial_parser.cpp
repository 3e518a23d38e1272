// The serial link's frame and roll-mode parser. The parser runs on byte
// streams the instrument could send (including damaged ones) held in a
// buffer, delivered in two pieces split at every byte boundary; the port
// side (open, close, the poll's gating, bounded waits, replies) runs over a
// real pseudo-terminal.

#include "device/connectionrules.h"
#include "device/serialportconnection.h"
#include "quorveltest.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// Waits until the port has taken in at least `count` bytes.
#define ARRIVED(count) QTRY_VERIFY_WITH_TIMEOUT(link->bytesWaiting() >= qint64(count), 5000)

namespace {

constexpr int payload = SerialPortConnection::payloadSize;
constexpr int guardSize = 16;
constexpr unsigned char guardByte = 0xEE;

QByteArray marker(const char (&m)[3])
{
    return QByteArray(m, 3);
}
const QByteArray frameStart = marker(SerialPortConnection::frameStartMarker);
const QByteArray streamStart = marker(SerialPortConnection::streamStartMarker);
const QByteArray endMark = marker(SerialPortConnection::endMarker);

QByteArray payloadBytes(int seed)
{
    QByteArray p(payload, 0);
    for (int i = 0; i < payload; ++i)
        p[i] = char((i * 7 + seed) & 0x3F); // never forms a marker
    return p;
}

QByteArray wholeFrame(int seed)
{
    return frameStart + payloadBytes(seed) + endMark;
}

QByteArray sampleGroup(int i)
{
    const char group[3] = {char(0x20 + (i % 64)), char(0x40 + (i % 32)), char(i & 0x0F)};
    return QByteArray(group, 3);
}

QByteArray stray(int count)
{
    return QByteArray(count, '\x5A');
}

// What a link made of a stream: the payload of every frame it delivered, in
// order, and the lengths it announced.
struct Delivered
{
    QList<QByteArray> payloads;
    QList<int> lengths;
    bool guardIntact = true;
    quint64 dropped = 0;
};

// A frame-mode link over a buffer, restarted for every stream it parses.
class BufferParser
{
public:
    explicit BufferParser(int sampling = 10)
    {
        link.setSamplingValue(sampling);
        link.setFrameBuffer(buffer);
        link.setAutoMode(true);
        QObject::connect(&link, &SerialPortConnection::newData, [this](int length) {
            out.lengths << length;
            if (length == SerialPortConnection::frameSize) {
                out.payloads << QByteArray(reinterpret_cast<const char *>(buffer), payload);
                if (buffer[payload] != 0 || buffer[payload + 1] != 0)
                    out.guardIntact = false;
            }
        });
    }

    // Parses the stream handed over in the given pieces.
    Delivered parse(const QList<QByteArray> &pieces)
    {
        std::memset(buffer, guardByte, sizeof buffer);
        link.restartParser();
        const quint64 droppedBefore = link.droppedFrames();
        out = Delivered();
        QBuffer in;
        in.open(QIODevice::ReadOnly);
        for (const QByteArray &piece : pieces) {
            in.buffer().append(piece);
            // A call takes what it can; the rest waits for the next poll.
            for (int calls = 0; calls < 64 && in.bytesAvailable() > 0; ++calls) {
                const qint64 before = in.bytesAvailable();
                link.parseStream(in);
                if (in.bytesAvailable() == before)
                    break;
            }
        }
        for (size_t i = SerialPortConnection::frameBufferSize; i < sizeof buffer; ++i)
            if (buffer[i] != guardByte)
                out.guardIntact = false;
        out.dropped = link.droppedFrames() - droppedBefore;
        return out;
    }

    // The three planes after a parse, and the roll-mode realignments so far.
    const unsigned char *planes() const { return buffer; }
    quint64 realignments() const { return link.rollRealignments(); }

private:
    unsigned char buffer[SerialPortConnection::frameBufferSize + guardSize];
    SerialPortConnection link;
    Delivered out;
};

Delivered parse(const QList<QByteArray> &pieces)
{
    return BufferParser().parse(pieces);
}

// One roll-mode record: 256 sample groups, none of which looks like a marker
// in or out of step.
QByteArray rollRecord(int first)
{
    QByteArray record;
    for (int i = 0; i < 256; ++i)
        record += sampleGroup(first + i);
    return record;
}

QString payloadSeeds(const QList<QByteArray> &payloads, const QList<int> &seeds)
{
    static QHash<int, QByteArray> known;
    QStringList seen;
    for (const QByteArray &p : payloads) {
        int match = -1;
        for (int s : seeds) {
            if (!known.contains(s))
                known.insert(s, payloadBytes(s));
            if (p == known.value(s))
                match = s;
        }
        seen << QString::number(match);
    }
    return seen.join(',');
}

} // namespace

Q_DECLARE_METATYPE(QList<int>)

class TestSerialParser : public QObject
{
    Q_OBJECT

private:
    int master = -1;
    QString slavePath;
    SerialPortConnection *link = nullptr;
    // The transport's frame buffer, with guard bytes that must stay untouched.
    unsigned char buffer[SerialPortConnection::frameBufferSize + guardSize];
    QBuffer stream;

    void feed(const QByteArray &bytes)
    {
        const char *p = bytes.constData();
        qint64 left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(master, p, size_t(left));
            QVERIFY(n > 0);
            p += n;
            left -= n;
        }
    }

    // The link on a buffer instead of its port.
    void useBuffer(int sampling)
    {
        link->setPolling(false);
        link->setSamplingValue(sampling);
        link->restartParser();
        stream.close();
        stream.setData(QByteArray());
        stream.open(QIODevice::ReadOnly);
    }
    void put(const QByteArray &bytes) { stream.buffer().append(bytes); }

private slots:
    void init()
    {
        int slave = -1;
        char name[256] = {};
        QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
        termios raw{};
        ::tcgetattr(master, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(master, TCSANOW, &raw);
        slavePath = QString::fromLocal8Bit(name);
        ::close(slave); // the link opens it by name
        std::memset(buffer, guardByte, sizeof buffer);
        link = new SerialPortConnection;
        QVERIFY(link->connectToPort(slavePath));
        link->setPolling(false); // each test steps the parser itself
        link->setFrameBuffer(buffer);
        link->setAutoMode(true);
        link->restartParser();
    }

    void cleanup()
    {
        delete link;
        link = nullptr;
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    void markersAreRecognised_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("frameStart");
        QTest::addColumn<bool>("streamStart");
        QTest::addColumn<bool>("end");
        QTest::newRow("frame start") << frameStart << true << false << false;
        QTest::newRow("stream start") << streamStart << false << true << false;
        QTest::newRow("end") << endMark << false << false << true;
        QTest::newRow("end reversed") << QByteArray("\x0D\x0A\x37", 3) << false << false << false;
        QTest::newRow("lower f") << QByteArray("\x0D\x0A\x66", 3) << false << false << false;
    }
    void markersAreRecognised()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, frameStart);
        QFETCH(bool, streamStart);
        QFETCH(bool, end);
        QCOMPARE(link->checkIfStartOfFrame(bytes.constData(), true), frameStart);
        QCOMPARE(link->checkIfStartOfFrame(bytes.constData(), false), streamStart);
        QCOMPARE(link->checkIfEndOfFrame(bytes.constData()), end);
    }

    // A frame goes through the three states and is handed over only once its
    // end marker is in place; nothing is written past the 770 bytes.
    void wholeFrameIsDeliveredWithItsEndMarker()
    {
        useBuffer(10);
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray frame = wholeFrame(5);
        put(frame.left(3));
        link->parseStream(stream);
        QCOMPARE(link->parserState(), 1);
        put(frame.mid(3, payload));
        link->parseStream(stream);
        QCOMPARE(link->parserState(), 2);
        put(frame.mid(3 + payload, 2));
        link->parseStream(stream);
        QCOMPARE(frames.count(), 0); // payload complete, end marker not yet
        QCOMPARE(link->parserState(), 2);
        put(frame.right(1));
        link->parseStream(stream);
        QCOMPARE(frames.count(), 1);
        QCOMPARE(frames.at(0).at(0).toInt(), SerialPortConnection::frameSize);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), payload), payloadBytes(5));
        QCOMPARE(buffer[768], 0);
        QCOMPARE(buffer[769], 0);
        QCOMPARE(buffer[770], guardByte);
        QCOMPARE(link->parserState(), 0);
        QCOMPARE(stream.bytesAvailable(), qint64(0));
    }

    // Damage between or inside frames, each stream delivered in two pieces
    // split at every byte boundary: every frame after the damaged one
    // arrives intact, at most the frame in progress is lost, and a frame
    // whose end marker is not in place is never handed over.
    void framesSurviveDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("expected"); // payload seeds, in order

        const QByteArray f1 = wholeFrame(1), f2 = wholeFrame(2), f3 = wholeFrame(3), f4 = wholeFrame(4);
        QTest::newRow("clean") << f1 + f2 + f3 << QList<int>{1, 2, 3};
        for (int n : {1, 2, 3, 4, 5}) {
            QTest::addRow("%d stray bytes before the first frame", n)
                << stray(n) + f1 + f2 << QList<int>{1, 2};
            QTest::addRow("%d stray bytes between frames", n)
                << f1 + stray(n) + f2 + f3 << QList<int>{1, 2, 3};
            QTest::addRow("%d stray bytes inside a payload", n)
                << f1 + f2.left(100) + stray(n) + f2.mid(100) + f3 + f4 << QList<int>{1, 3, 4};
            QTest::addRow("%d stray bytes before an end marker", n)
                << f1 + f2.left(3 + payload) + stray(n) + f2.right(3) + f3 << QList<int>{1, 3};
        }
        QTest::newRow("one byte dropped from a payload")
            << f1 + f2.left(200) + f2.mid(201) + f3 + f4 << QList<int>{1, 3, 4};
        QTest::newRow("one byte dropped from a start marker")
            << f1 + f2.left(1) + f2.mid(2) + f3 << QList<int>{1, 3};
        QTest::newRow("one byte dropped from an end marker")
            << f1 + f2.left(f2.size() - 2) + f2.right(1) + f3 << QList<int>{1, 3};
        QTest::newRow("one byte dropped before the end marker")
            << f1 + f2.left(3 + payload - 1) + f2.right(3) + f3 << QList<int>{1, 3};
        QTest::newRow("frame cut short, the next one follows")
            << f1 + f2.left(400) + f3 + f4 << QList<int>{1, 3, 4};
        QTest::newRow("sample groups where the end marker belongs")
            << f1 + f2.left(3 + payload) + sampleGroup(1) + sampleGroup(2) + f3 << QList<int>{1, 3};
        QTest::newRow("half a marker, then a frame")
            << QByteArray("\x0D\x0A", 2) + f1 + QByteArray("\x0D", 1) + f2 << QList<int>{1, 2};
        QByteArray groups;
        for (int i = 0; i < 40; ++i)
            groups += sampleGroup(i);
        QTest::newRow("garbage before a frame") << groups + f1 << QList<int>{1};
        QTest::newRow("a frame start inside garbage")
            << stray(10) + frameStart + stray(300) + f1 + f2 << QList<int>{1, 2};
    }
    void framesSurviveDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, expected);
        const QList<int> seeds{1, 2, 3, 4};
        QStringList expectedSeeds;
        for (int s : expected)
            expectedSeeds << QString::number(s);
        const QString want = expectedSeeds.join(',');

        BufferParser parser;
        for (int split = 0; split <= bytes.size(); ++split) {
            const Delivered d = parser.parse({bytes.left(split), bytes.mid(split)});
            const QString seen = payloadSeeds(d.payloads, seeds);
            if (seen != want || !d.guardIntact || d.lengths.size() != d.payloads.size())
                QFAIL(qPrintable(QString("split at %1: frames %2, expected %3, guard %4")
                                     .arg(split)
                                     .arg(seen, want)
                                     .arg(d.guardIntact ? "intact" : "overwritten")));
        }
        // A byte at a time, as a slow line delivers it.
        QList<QByteArray> bytewise;
        for (char c : bytes)
            bytewise << QByteArray(1, c);
        QCOMPARE(payloadSeeds(parser.parse(bytewise).payloads, seeds), want);
    }

    // Marker bytes in bursts (a line echoing markers, a stuck sender) make
    // no frame unless an end marker sits exactly one payload after a frame
    // start (which is a frame by its format); a whole frame after them still
    // arrives.
    void markerBurstsMakeNoFrame_data()
    {
        QTest::addColumn<QByteArray>("burst");
        QTest::newRow("frame starts") << frameStart.repeated(300);
        QTest::newRow("end markers") << endMark.repeated(300);
        QTest::newRow("stream starts") << streamStart.repeated(300);
        QTest::newRow("start, end and stream start cycling")
            << (frameStart + endMark + streamStart).repeated(200);
        QTest::newRow("start, end one payload apart, a byte off")
            << frameStart + QByteArray(payload - 1, '\x01') + endMark + frameStart +
                   QByteArray(payload + 1, '\x01') + endMark;
        QTest::newRow("marker bytes one by one") << QByteArray("\x0D\x0A\x46\x37\x53", 5).repeated(400);
    }
    void markerBurstsMakeNoFrame()
    {
        QFETCH(QByteArray, burst);
        for (int split : {0, 1, 2, 3, 500, int(burst.size())}) {
            const Delivered noise = parse({burst.left(split), burst.mid(split)});
            QVERIFY2(noise.payloads.isEmpty(), qPrintable(QString("split at %1").arg(split)));
            QVERIFY(noise.lengths.isEmpty());
        }
        const QByteArray then = burst + wholeFrame(7) + wholeFrame(8);
        const Delivered d = parse({then.left(then.size() / 2), then.mid(then.size() / 2)});
        QCOMPARE(payloadSeeds(d.payloads, {7, 8}), QString("7,8"));
    }

    void damagedFramesAreCounted()
    {
        const QByteArray f = wholeFrame(1);
        const Delivered d = parse({f + f.left(300) + f.mid(301) + f + f.left(500) + f});
        QCOMPARE(d.payloads.size(), 3);
        QVERIFY(d.dropped >= 2);
        QCOMPARE(parse({f + f + f}).dropped, quint64(0));
    }

    // Hunting through a long run of noise keeps only what could still
    // become a marker, however much arrives.
    void noiseIsConsumedWithBoundedWork()
    {
        useBuffer(10);
        QByteArray noise(64 * 1024, '\x01');
        put(noise);
        for (int i = 0; i < 100 && stream.bytesAvailable() > 0; ++i)
            link->parseStream(stream);
        QCOMPARE(stream.bytesAvailable(), qint64(0));
        QCOMPARE(link->parserState(), 0);
        QSignalSpy frames(link, &SerialPortConnection::newData);
        put(wholeFrame(3));
        link->parseStream(stream);
        QCOMPARE(frames.count(), 1);
    }

    void rollModeReadsWholeGroups()
    {
        useBuffer(11);
        link->setParserState(1);
        QSignalSpy samples(link, &SerialPortConnection::newData);
        put(sampleGroup(0) + sampleGroup(1) + QByteArray(1, '\x05'));
        link->parseStream(stream);
        QCOMPARE(samples.count(), 2);
        QCOMPARE(samples.at(0).at(0).toInt(), 3);
        QCOMPARE(link->sampleIndex(), 2);
        QCOMPARE(stream.bytesAvailable(), qint64(1));
        QCOMPARE(buffer[1], uchar(sampleGroup(1)[0]));
        QCOMPARE(buffer[1 + 256], uchar(sampleGroup(1)[1]));
        QCOMPARE(buffer[1 + 512], uchar(sampleGroup(1)[2]));
    }

    void rollModeReadsAtMost768BytesPerCall()
    {
        useBuffer(11);
        link->setParserState(1);
        QSignalSpy samples(link, &SerialPortConnection::newData);
        QByteArray bytes;
        for (int i = 0; i < 300; ++i)
            bytes += sampleGroup(i);
        put(bytes);
        link->parseStream(stream);
        QCOMPARE(samples.count(), 256);
        QCOMPARE(stream.bytesAvailable(), qint64(bytes.size() - payload));
    }

    // Samples beyond the 256 of a plane wrap to its start instead of writing
    // past the planes.
    void rollModeWrapsBeyondThePlane()
    {
        useBuffer(11);
        QByteArray bytes = streamStart;
        for (int i = 0; i < 300; ++i)
            bytes += sampleGroup(i);
        put(bytes);
        link->parseStream(stream);
        link->parseStream(stream);
        QCOMPARE(link->sampleIndex(), 300 - 256);
        for (int i = 0; i < 256; ++i) {
            const int newest = i < 300 - 256 ? i + 256 : i;
            QCOMPARE(buffer[i], uchar(sampleGroup(newest)[0]));
            QCOMPARE(buffer[i + 512], uchar(sampleGroup(newest)[2]));
        }
        for (size_t i = 768; i < sizeof buffer; ++i)
            QCOMPARE(buffer[i], guardByte);
    }

    void rollModeMarkersRestartTheIndex()
    {
        useBuffer(11);
        link->setParserState(1);
        put(sampleGroup(0) + sampleGroup(1) + sampleGroup(2) + endMark + sampleGroup(3));
        link->parseStream(stream);
        QCOMPARE(link->sampleIndex(), 1);
        QCOMPARE(buffer[0], uchar(sampleGroup(3)[0]));
    }

    // Roll mode after damage: a stray or lost byte puts the groups out of
    // step, and the instrument's next marker puts them back, so the record
    // after it is whole. Sample bytes that only look like a marker out of
    // step stay samples. Each stream is split at every byte boundary.
    void rollModeSurvivesDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("lastRecord");
        QTest::addColumn<bool>("realigned");
        const QByteArray a = rollRecord(0), b = rollRecord(300), c = rollRecord(600);
        const QByteArray tail = endMark + b + endMark + c + endMark;
        QTest::newRow("clean") << streamStart + a + tail << c << false;
        for (int n : {1, 2, 4, 5})
            QTest::addRow("%d stray bytes in a record", n)
                << streamStart + a.left(301) + stray(n) + a.mid(301) + tail << c << true;
        QTest::newRow("3 stray bytes: one sample more, in step")
            << streamStart + a.left(300) + stray(3) + a.mid(300) + tail << c << false;
        QTest::newRow("one byte lost") << streamStart + a.left(301) + a.mid(302) + tail << c << true;
        QTest::newRow("one byte lost from a marker")
            << streamStart + a + endMark.left(2) + b + endMark + c + endMark << c << true;
        QTest::newRow("stray byte in the last record but one")
            << streamStart + a + endMark + b.left(500) + stray(1) + b.mid(500) + endMark + c + endMark << c
            << true;
        QTest::newRow("stray byte before the stream start") << stray(1) + streamStart + a + tail << c << true;
        QByteArray lookalike = a;
        lookalike.replace(300, 6, QByteArray("\x21\x0A\x0D\x37\x41\x02", 6)); // 0A 0D 37 out of step
        QTest::newRow("sample bytes out of step that look like a marker")
            << streamStart + lookalike + endMark << lookalike << false;
    }
    void rollModeSurvivesDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, lastRecord);
        QFETCH(bool, realigned);
        BufferParser parser(11);
        for (int split = 0; split <= bytes.size(); ++split) {
            const quint64 before = parser.realignments();
            const Delivered d = parser.parse({bytes.left(split), bytes.mid(split)});
            QVERIFY(d.guardIntact);
            QCOMPARE(parser.realignments() > before, realigned);
            const unsigned char *planes = parser.planes();
            for (int i = 0; i < 256; ++i)
                for (int plane = 0; plane < 3; ++plane)
                    if (planes[i + 256 * plane] != uchar(lastRecord[3 * i + plane]))
                        QFAIL(qPrintable(QString("split at %1: sample %2 plane %3").arg(split).arg(i).arg(plane)));
        }
    }

    // Roll mode stores no sample before the instrument's stream start
    // marker, whatever came before it.
    void rollModeWaitsForStreamStart()
    {
        useBuffer(10);
        put(wholeFrame(1).left(300));
        link->parseStream(stream);
        link->setSamplingValue(11);
        QCOMPARE(link->parserState(), 0);
        QCOMPARE(link->sampleIndex(), 0);
        QSignalSpy samples(link, &SerialPortConnection::newData);
        put(sampleGroup(1) + sampleGroup(2) + streamStart + sampleGroup(3));
        link->parseStream(stream);
        QCOMPARE(samples.count(), 1);
        QCOMPARE(buffer[0], uchar(sampleGroup(3)[0]));
        QCOMPARE(link->parserState(), 1);
    }

    // Back in frame mode nothing of the roll stream or of a frame begun
    // before is kept: the parser hunts for the next frame start.
    void switchBackTo10HuntsForFrameStart()
    {
        useBuffer(10);
        put(wholeFrame(2).left(500));
        link->parseStream(stream);
        QCOMPARE(link->parserState(), 1);
        link->setSamplingValue(11);
        link->setParserState(1);
        link->setSamplingValue(10);
        QCOMPARE(link->parserState(), 0);
        QSignalSpy frames(link, &SerialPortConnection::newData);
        put(wholeFrame(2).mid(500) + wholeFrame(8));
        link->parseStream(stream);
        QCOMPARE(frames.count(), 1);
        QCOMPARE(frames.at(0).at(0).toInt(), 770);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), payload), payloadBytes(8));
    }

    // ---- the port side, over the pseudo-terminal

    void nothingIsParsedWithoutAutoModeOrBuffer_data()
    {
        QTest::addColumn<bool>("autoMode");
        QTest::addColumn<bool>("withBuffer");
        QTest::newRow("auto mode off") << false << true;
        QTest::newRow("no frame buffer") << true << false;
    }
    void nothingIsParsedWithoutAutoModeOrBuffer()
    {
        QFETCH(bool, autoMode);
        QFETCH(bool, withBuffer);
        link->setAutoMode(autoMode);
        link->setFrameBuffer(withBuffer ? buffer : nullptr);
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray frame = wholeFrame(6);
        feed(frame);
        ARRIVED(frame.size());
        for (int i = 0; i < 3; ++i)
            link->onReadyRead();
        QCOMPARE(frames.count(), 0);
        QCOMPARE(link->bytesWaiting(), qint64(frame.size()));
    }

    void pollParsesThePort()
    {
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray bytes = stray(4) + wholeFrame(6) + wholeFrame(7);
        feed(bytes);
        ARRIVED(bytes.size());
        link->onReadyRead();
        QCOMPARE(frames.count(), 2);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), payload), payloadBytes(7));
    }

    // Switching from frame to roll mode drops what is pending on the port.
    void switchTo11DropsPendingInput()
    {
        link->setSamplingValue(10);
        feed(payloadBytes(7).left(300));
        ARRIVED(300);
        link->setSamplingValue(11);
        QCOMPARE(link->parserState(), 0);
        QCOMPARE(link->sampleIndex(), 0);
        QCOMPARE(link->bytesWaiting(), qint64(0));
    }

    // A second open is refused and keeps the open port as it is: the bytes
    // it has taken in are still there (a port opened again, or another one,
    // would not hold them), and more still arrive.
    void connectToOpenPortIsRefused()
    {
        feed("abc");
        ARRIVED(3);
        QVERIFY(!link->connectToPort(slavePath));
        QVERIFY(link->isOpen());
        QCOMPARE(link->bytesWaiting(), qint64(3));
        feed("d");
        ARRIVED(4);
    }

    void openFailureReportsAndKeepsNothing()
    {
        SerialPortConnection other;
        QSignalSpy status(&other, &SerialPortConnection::connectionStatus);
        other.setFrameBuffer(buffer);
        QVERIFY(!other.connectToPort("/dev/quorvel-no-such-port"));
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Port is busy or unreachable."));
        QVERIFY(!other.hasPort());
        QVERIFY(!other.frameBuffer());
        QVERIFY(!other.isPolling());
    }

    void closeAndClearPort()
    {
        link->close();
        QVERIFY(!link->hasPort());
        QVERIFY(!link->frameBuffer());
        link->close(); // closed: nothing happens
        QVERIFY(!link->hasPort());

        SerialPortConnection bare;
        bare.setFrameBuffer(buffer);
        bare.clearPort();
        QVERIFY(!bare.frameBuffer());
        QVERIFY(!bare.hasPort());
    }

    void clearPortKeepsPolling()
    {
        link->setPolling(true);
        link->clearPort();
        QVERIFY(!link->hasPort());
        QVERIFY(!link->frameBuffer());
        QVERIFY(link->isPolling());
        link->onReadyRead(); // returns at once without a port
        link->write("x");
        QVERIFY(!link->bytesAvailable());
    }

    // A wait for bytes that never come ends with the status text after the
    // link's bound (short here); a reply that never comes ends the same way
    // but without a word, since the link decides what it means.
    void silentPortWaitEndsWithStatus()
    {
        QCOMPARE(link->replyTimeoutMs(), 1000);
        link->setReplyTimeoutMs(200);
        QSignalSpy status(link, &SerialPortConnection::connectionStatus);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!link->waitForBytes(4));
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY(link->timedOut());
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Port is busy or unreachable."));
        char reply[4];
        clock.restart();
        QCOMPARE(link->readReply(reply, 4), qint64(-1));
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY(link->timedOut());
        QCOMPARE(status.count(), 1);
    }

    // An exact wait does not accept more bytes than asked for.
    void exactWaitRefusesSurplus()
    {
        link->setReplyTimeoutMs(200);
        feed("2.375");
        ARRIVED(5);
        QSignalSpy status(link, &SerialPortConnection::connectionStatus);
        QVERIFY(link->waitForBytes(4, false));
        QVERIFY(!link->waitForBytes(4, true));
        QCOMPARE(status.count(), 1);
    }

    // Which bytes on the line are the reply. With a form to check (here the
    // version's) it is the one run that has the form, wherever stray bytes
    // put it; without one (a meter reading) only a line that carried exactly
    // the reply's bytes. Either way the line is left empty for the next
    // exchange, and a reply that cannot be told apart is no reply.
    void replyAmongStrayBytes_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QByteArray>("expected"); // empty: no reply
        const QByteArray junk("\xA5", 1);
        const QByteArray tail = wholeFrame(1).right(100);
        QTest::newRow("version alone") << QByteArray("2.37") << true << QByteArray("2.37");
        QTest::newRow("padded version") << QByteArray("2.4 ") << true << QByteArray("2.4 ");
        QTest::newRow("junk before") << junk + "2.37" << true << QByteArray("2.37");
        QTest::newRow("junk after") << QByteArray("2.37\xEE") << true << QByteArray("2.37");
        QTest::newRow("junk on both sides") << junk + "2.37\xEE" << true << QByteArray("2.37");
        QTest::newRow("a stream's tail before") << tail + "2.37" << true << QByteArray("2.37");
        QTest::newRow("no version at all") << QByteArray(".37\xEE") << true << QByteArray();
        QTest::newRow("two versions") << QByteArray("2.372.37") << true << QByteArray();
        QTest::newRow("too few bytes") << QByteArray("2.3") << true << QByteArray();
        QTest::newRow("unchecked, exact") << QByteArray("\x01\x02\x03\x04") << false
                                          << QByteArray("\x01\x02\x03\x04");
        QTest::newRow("unchecked, junk before") << junk + "\x01\x02\x03\x04" << false << QByteArray();
        QTest::newRow("unchecked, junk after") << QByteArray("\x01\x02\x03\x04\xEE") << false << QByteArray();
    }
    void replyAmongStrayBytes()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, checked);
        QFETCH(QByteArray, expected);
        link->setReplyTimeoutMs(300);
        feed(line);
        char reply[4] = {'_', '_', '_', '_'};
        const qint64 n = link->readReply(reply, 4, checked ? &connection::isVersionReply : nullptr);
        if (expected.isEmpty()) {
            QCOMPARE(n, qint64(-1));
            QCOMPARE(QByteArray(reply, 4), QByteArray("____"));
            // Bytes came: no time-out, so the link does not count it as one.
            QCOMPARE(link->timedOut(), line.size() < 4);
        } else {
            QCOMPARE(n, qint64(4));
            QCOMPARE(QByteArray(reply, 4), expected);
        }
        QCOMPARE(link->bytesWaiting(), qint64(0));
    }

    // A frame-mode stream without a complete frame for the stall time is
    // reported once; the report is taken back by the next frame. (Short
    // stall time here; the window test waits out the default.)
    void stalledStreamIsReported()
    {
        QCOMPARE(link->stallReportMs(), 3000);
        link->setStallReportMs(300);
        QSignalSpy frames(link, &SerialPortConnection::newData);
        QSignalSpy status(link, &SerialPortConnection::connectionStatus);
        link->setPolling(true);
        feed(wholeFrame(1));
        QTRY_COMPARE(frames.count(), 1);
        QElapsedTimer clock;
        clock.start();
        feed(wholeFrame(2).left(400)); // stops in mid-frame
        QVERIFY(status.wait(5000));
        QVERIFY(clock.elapsed() >= 200); // the stall clock started with frame 1, a poll earlier
        QCOMPARE(status.at(0).at(0).toString(), QString("No data from the instrument"));
        QVERIFY(!status.wait(200)); // reported once, not on every poll
        feed(wholeFrame(3));
        QTRY_COMPARE(status.count(), 2);
        QCOMPARE(status.at(1).at(0).toString(), QString());
        QCOMPARE(frames.count(), 2);
    }

    // A stopped instrument sends no frames, and roll mode may send a sample
    // seconds apart: no report then.
    void noReportWhileFramesAreNotDue_data()
    {
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("sampling");
        QTest::newRow("instrument stopped") << false << 10;
        QTest::newRow("roll mode") << true << 11;
    }
    void noReportWhileFramesAreNotDue()
    {
        QFETCH(bool, expected);
        QFETCH(int, sampling);
        link->setStallReportMs(100);
        link->setFramesExpected(expected);
        link->setSamplingValue(sampling);
        QSignalSpy status(link, &SerialPortConnection::connectionStatus);
        link->setPolling(true);
        QVERIFY(!status.wait(600));
        // The same link in frame mode with frames due does report.
        link->setFramesExpected(true);
        link->setSamplingValue(10);
        QVERIFY(status.wait(2000));
    }
};

QUORVEL_CORE_TEST_MAIN(TestSerialParser)
#include "test_serial_parser.moc"
