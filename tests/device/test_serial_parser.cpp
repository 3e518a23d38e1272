// The serial link's frame and roll-mode parser over a real pseudo-terminal:
// the test writes byte streams the instrument could send (including broken
// ones) into the terminal's master side; the link reads the other side
// through the serial port stack exactly as it reads an instrument.

#include "device/serialportconnection.h"
#include "quorveltest.h"

#include <QSerialPort>
#include <QSignalSpy>

#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// Waits until the port has taken in at least `count` bytes.
#define ARRIVED(count) QTRY_VERIFY_WITH_TIMEOUT(link->port->bytesAvailable() >= qint64(count), 5000)

namespace {

constexpr int payload = SerialPortConnection::payloadSize;

QByteArray marker(const char (&m)[3])
{
    return QByteArray(m, 3);
}

QByteArray payloadBytes(int seed)
{
    QByteArray p(payload, 0);
    for (int i = 0; i < payload; ++i)
        p[i] = char((i * 7 + seed) & 0x3F); // never forms a marker
    return p;
}

QByteArray wholeFrame(int seed)
{
    return marker(SerialPortConnection::frameStartMarker) + payloadBytes(seed) +
           marker(SerialPortConnection::endMarker);
}

QByteArray sampleGroup(int i)
{
    const char group[3] = {char(0x20 + (i % 64)), char(0x40 + (i % 32)), char(i & 0x0F)};
    return QByteArray(group, 3);
}

} // namespace

class TestSerialParser : public QObject
{
    Q_OBJECT

private:
    int master = -1;
    QString slavePath;
    SerialPortConnection *link = nullptr;
    // The transport's frame buffer, with guard bytes that must stay untouched.
    unsigned char buffer[SerialPortConnection::frameBufferSize + 16];

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
        std::memset(buffer, 0xEE, sizeof buffer);
        link = new SerialPortConnection;
        QVERIFY(link->connectToPort(slavePath));
        link->pollTimer.stop(); // each test steps the parser itself
        link->frameBuffer = buffer;
        link->autoMode = true;
        link->frameState = 0;
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
        QTest::newRow("frame start") << marker(SerialPortConnection::frameStartMarker) << true << false << false;
        QTest::newRow("stream start") << marker(SerialPortConnection::streamStartMarker) << false << true << false;
        QTest::newRow("end") << marker(SerialPortConnection::endMarker) << false << false << true;
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

    void wholeFrameIsDelivered()
    {
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray frame = wholeFrame(5);
        feed(frame);
        ARRIVED(frame.size());
        link->onReadyRead(); // start marker
        QCOMPARE(link->frameState, 1);
        link->onReadyRead(); // payload
        QCOMPARE(frames.count(), 1);
        QCOMPARE(frames.at(0).at(0).toInt(), SerialPortConnection::frameSize);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), payload), payloadBytes(5));
        QCOMPARE(buffer[768], 0);
        QCOMPARE(buffer[769], 0);
        QCOMPARE(buffer[770], 0xEE); // nothing written past the frame
        QCOMPARE(link->frameState, 2);
        link->onReadyRead(); // end marker
        QCOMPARE(link->frameState, 0);
    }

    // Reads go in fixed groups of three: a start marker that does not line up
    // with them is passed over, and the parser only finds a later one that does.
    void frameStartSplitAcrossReads_data()
    {
        QTest::addColumn<int>("leadingBytes");
        QTest::addColumn<bool>("recognised");
        QTest::newRow("aligned") << 0 << true;
        QTest::newRow("one byte early") << 1 << false;
        QTest::newRow("two bytes early") << 2 << false;
        QTest::newRow("three bytes early") << 3 << true;
    }
    void frameStartSplitAcrossReads()
    {
        QFETCH(int, leadingBytes);
        QFETCH(bool, recognised);
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray stream = QByteArray(leadingBytes, '\x01') + wholeFrame(9);
        feed(stream);
        ARRIVED(stream.size());
        for (int i = 0; i < 4 && link->port->bytesAvailable() > 0; ++i)
            link->onReadyRead();
        QCOMPARE(frames.count(), recognised ? 1 : 0);
    }

    void garbageBeforeFrameIsConsumed()
    {
        QSignalSpy frames(link, &SerialPortConnection::newData);
        QByteArray garbage;
        for (int i = 0; i < 40; ++i)
            garbage += sampleGroup(i);
        feed(garbage + wholeFrame(1));
        ARRIVED(garbage.size() + payload + 6);
        link->onReadyRead();
        QCOMPARE(link->frameState, 1);
        link->onReadyRead();
        QCOMPARE(frames.count(), 1);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), payload), payloadBytes(1));
    }

    void missingEndMarkerKeepsWaiting()
    {
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray head = marker(SerialPortConnection::frameStartMarker) + payloadBytes(2);
        feed(head + sampleGroup(1) + sampleGroup(2) + wholeFrame(3));
        ARRIVED(head.size() + 6 + payload + 6);
        link->onReadyRead();
        link->onReadyRead();
        QCOMPARE(frames.count(), 1);
        link->onReadyRead(); // a sample group where the end marker belongs
        QCOMPARE(link->frameState, 2);
        link->onReadyRead();
        QCOMPARE(link->frameState, 2);
        // The next frame's start marker is not an end marker either.
        link->onReadyRead();
        QCOMPARE(link->frameState, 2);
        QCOMPARE(frames.count(), 1);
    }

    void payloadWaitsForAllBytes()
    {
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray frame = wholeFrame(4);
        feed(frame.left(400));
        ARRIVED(400);
        link->onReadyRead();
        link->onReadyRead();
        QCOMPARE(frames.count(), 0);
        QCOMPARE(link->frameState, 1);
        feed(frame.mid(400));
        ARRIVED(frame.size() - 3);
        link->onReadyRead();
        QCOMPARE(frames.count(), 1);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), payload), payloadBytes(4));
    }

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
        link->autoMode = autoMode;
        link->frameBuffer = withBuffer ? buffer : nullptr;
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray frame = wholeFrame(6);
        feed(frame);
        ARRIVED(frame.size());
        for (int i = 0; i < 3; ++i)
            link->onReadyRead();
        QCOMPARE(frames.count(), 0);
        QCOMPARE(link->port->bytesAvailable(), qint64(frame.size()));
    }

    void rollModeReadsWholeGroups()
    {
        link->setSamplingValue(11);
        link->frameState = 1;
        QSignalSpy samples(link, &SerialPortConnection::newData);
        feed(sampleGroup(0) + sampleGroup(1) + QByteArray(1, '\x05'));
        ARRIVED(7);
        link->onReadyRead();
        QCOMPARE(samples.count(), 2);
        QCOMPARE(samples.at(0).at(0).toInt(), 3);
        QCOMPARE(link->sampleIndex, 2);
        QCOMPARE(link->port->bytesAvailable(), qint64(1));
        QCOMPARE(buffer[1], uchar(sampleGroup(1)[0]));
        QCOMPARE(buffer[1 + 256], uchar(sampleGroup(1)[1]));
        QCOMPARE(buffer[1 + 512], uchar(sampleGroup(1)[2]));
    }

    void rollModeReadsAtMost768BytesPerCall()
    {
        link->setSamplingValue(11);
        link->frameState = 1;
        QSignalSpy samples(link, &SerialPortConnection::newData);
        QByteArray stream;
        for (int i = 0; i < 300; ++i)
            stream += sampleGroup(i);
        feed(stream);
        ARRIVED(stream.size());
        link->onReadyRead();
        QCOMPARE(samples.count(), 256);
        QCOMPARE(link->port->bytesAvailable(), qint64(stream.size() - payload));
    }

    // Samples beyond the 256 of a plane wrap to its start instead of writing
    // past the planes.
    void rollModeWrapsBeyondThePlane()
    {
        link->setSamplingValue(11);
        QByteArray stream = marker(SerialPortConnection::streamStartMarker);
        for (int i = 0; i < 300; ++i)
            stream += sampleGroup(i);
        feed(stream);
        ARRIVED(stream.size());
        link->onReadyRead();
        link->onReadyRead();
        QCOMPARE(link->sampleIndex, 300 - 256);
        for (int i = 0; i < 256; ++i) {
            const int newest = i < 300 - 256 ? i + 256 : i;
            QCOMPARE(buffer[i], uchar(sampleGroup(newest)[0]));
            QCOMPARE(buffer[i + 512], uchar(sampleGroup(newest)[2]));
        }
        QCOMPARE(buffer[768], 0xEE);
        for (size_t i = 768; i < sizeof buffer; ++i)
            QCOMPARE(buffer[i], 0xEE);
    }

    void rollModeMarkersRestartTheIndex()
    {
        link->setSamplingValue(11);
        link->frameState = 1;
        feed(sampleGroup(0) + sampleGroup(1) + sampleGroup(2) + marker(SerialPortConnection::endMarker) +
             sampleGroup(3));
        ARRIVED(15);
        link->onReadyRead();
        QCOMPARE(link->sampleIndex, 1);
        QCOMPARE(buffer[0], uchar(sampleGroup(3)[0]));
    }

    // Switching from frame to roll mode drops what is pending and stores no
    // sample before the instrument's stream start marker.
    void switchTo11WaitsForStreamStart()
    {
        link->setSamplingValue(10);
        link->frameState = 1;
        feed(payloadBytes(7).left(300));
        ARRIVED(300);
        link->setSamplingValue(11);
        QCOMPARE(link->frameState, 0);
        QCOMPARE(link->sampleIndex, 0);
        QCOMPARE(link->port->bytesAvailable(), qint64(0));

        QSignalSpy samples(link, &SerialPortConnection::newData);
        feed(sampleGroup(1) + sampleGroup(2) + marker(SerialPortConnection::streamStartMarker) + sampleGroup(3));
        ARRIVED(12);
        link->onReadyRead();
        QCOMPARE(samples.count(), 1);
        QCOMPARE(buffer[0], uchar(sampleGroup(3)[0]));
        QCOMPARE(link->frameState, 1);
    }

    void switchBackTo10HuntsForFrameStart()
    {
        link->setSamplingValue(11);
        link->frameState = 1;
        link->setSamplingValue(10);
        QCOMPARE(link->frameState, 0);
        QSignalSpy frames(link, &SerialPortConnection::newData);
        const QByteArray frame = wholeFrame(8);
        feed(frame);
        ARRIVED(frame.size());
        link->onReadyRead();
        link->onReadyRead();
        QCOMPARE(frames.count(), 1);
        QCOMPARE(frames.at(0).at(0).toInt(), 770);
    }

    void connectToOpenPortIsRefused()
    {
        QSerialPort *before = link->port.get();
        QVERIFY(!link->connectToPort(slavePath));
        QCOMPARE(link->port.get(), before);
        QVERIFY(link->port->isOpen());
    }

    void openFailureReportsAndKeepsNothing()
    {
        SerialPortConnection other;
        QSignalSpy status(&other, &SerialPortConnection::connectionStatus);
        other.frameBuffer = buffer;
        QVERIFY(!other.connectToPort("/dev/quorvel-no-such-port"));
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Port is busy or unreachable."));
        QVERIFY(!other.port);
        QVERIFY(!other.frameBuffer);
        QVERIFY(!other.pollTimer.isActive());
    }

    void closeAndClearPort()
    {
        link->close();
        QVERIFY(!link->port);
        QVERIFY(!link->frameBuffer);
        link->close(); // closed: nothing happens
        QVERIFY(!link->port);

        SerialPortConnection bare;
        bare.frameBuffer = buffer;
        bare.clearPort();
        QVERIFY(!bare.frameBuffer);
        QVERIFY(!bare.port);
    }

    void clearPortKeepsPolling()
    {
        link->pollTimer.start(SerialPortConnection::pollIntervalMs);
        link->clearPort();
        QVERIFY(!link->port);
        QVERIFY(!link->frameBuffer);
        QVERIFY(link->pollTimer.isActive());
        link->onReadyRead(); // returns at once without a port
        link->write("x");
        QVERIFY(!link->bytesAvailable());
    }

    // A wait for a reply that never comes ends with the status text.
    void silentPortWaitEndsWithStatus()
    {
        QSignalSpy status(link, &SerialPortConnection::connectionStatus);
        QVERIFY(!link->waitForBytes(4));
        QVERIFY(link->timedOut);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Port is busy or unreachable."));
    }

    // An exact wait does not accept more bytes than asked for.
    void exactWaitRefusesSurplus()
    {
        feed("2.375");
        ARRIVED(5);
        QSignalSpy status(link, &SerialPortConnection::connectionStatus);
        QVERIFY(link->waitForBytes(4, false));
        QVERIFY(!link->waitForBytes(4, true));
        QCOMPARE(status.count(), 1);
    }
};

QUORVEL_CORE_TEST_MAIN(TestSerialParser)
#include "test_serial_parser.moc"
