// The serial half of the instrument link against the simulated instrument on
// its pseudo-terminal wire: the command forms, the replies, auto mode around
// each exchange, frames and roll-mode samples, and a port that stays silent.

#include "device/libusbdevice.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <functional>

namespace sim = quorvelsim;

namespace {
QByteArray letters(const QVector<sim::Command> &log)
{
    QByteArray out;
    for (const sim::Command &c : log)
        out.append(c.letter);
    return out;
}
} // namespace

using Exchange = std::function<bool(LibUsbDevice &)>;
Q_DECLARE_METATYPE(Exchange)

class TestSerialLink : public QObject
{
    Q_OBJECT

private:
    LibUsbDevice *dev = nullptr;
    QString path;

    // Turns the stream on the way the connect flow does: the settings read.
    bool startStream()
    {
        if (!dev->controlReadTransfer('u', 0, 14))
            return false;
        dev->asyncBulkReadTransfer();
        return dev->serialLink.autoMode && sim::waitForCommand('q');
    }

private slots:
    void init()
    {
        sim::reset();
        path = sim::startPtyWire();
        QVERIFY(!path.isEmpty());
        dev = new LibUsbDevice;
        dev->usbMode = false;
        dev->initializeDevice();
        dev->openDevice(path);
        QVERIFY(dev->connected);
        QVERIFY(sim::waitForCommand('p'));
        sim::clearCommandLog();
    }

    void cleanup()
    {
        dev->closeDevice();
        delete dev;
        dev = nullptr;
        sim::stopPtyWire();
    }

    void settingsReadTurnsAutoModeOffAndOn()
    {
        sim::pokeRegister(12, 5);
        std::fill(std::begin(dev->inBuffer), std::end(dev->inBuffer), 0xFF);
        QVERIFY(dev->controlReadTransfer('u', 0, 14));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(dev->inBuffer), 44), sim::settingsBlock());
        QCOMPARE(int(dev->inBuffer[12]), 5);
        QCOMPARE(int(dev->inBuffer[44]), 0);
        QVERIFY(dev->serialLink.autoMode);
        QCOMPARE(dev->serialLink.frameState, 0);
        QVERIFY(sim::waitForCommand('q'));
        QCOMPARE(letters(sim::commandLog()), QByteArray("puq"));
        QCOMPARE(int(sim::commandsWithLetter('u').at(0).index), 14);
    }

    void generatorFrequencyUsesTheFiveByteForm()
    {
        QVERIFY(dev->controlReadTransfer('c', 0x0001, 0x86A0));
        QVERIFY(sim::waitForCommand('q'));
        QCOMPARE(letters(sim::commandLog()), QByteArray("pcq"));
        const sim::Command c = sim::commandsWithLetter('c').at(0);
        QCOMPARE(int(c.value), 0x0001);
        QCOMPARE(int(c.index), 0x86A0);
    }

    void triggerPositionLeavesAutoModeAlone()
    {
        QVERIFY(dev->controlReadTransfer('j', 256 - 40, 0));
        QVERIFY(sim::waitForCommand('j'));
        QCOMPARE(letters(sim::commandLog()), QByteArray("j"));
        QCOMPARE(int(sim::commandsWithLetter('j').at(0).value), 216);
    }

    void registerWriteChangesTheInstrument()
    {
        dev->controlWriteTransfer(13, 6);
        QVERIFY(sim::waitForCommand('b'));
        const sim::Command c = sim::commandsWithLetter('b').at(0);
        QCOMPARE(int(c.index), 13);
        QCOMPARE(int(c.value), 6);
        QCOMPARE(int(sim::peekRegister(13)), 6);
    }

    void meterRequestStopsTheStream()
    {
        QVERIFY(startStream());
        sim::clearCommandLog();
        unsigned char reply[4] = {};
        QCOMPARE(dev->requestMM(reply), 4);
        QVERIFY(!dev->serialLink.autoMode);
        QCOMPARE(letters(sim::commandLog()), QByteArray("pm"));
    }

    void customWaveIsUploaded()
    {
        QByteArray wave(256, 0);
        for (int i = 0; i < 256; ++i) {
            wave[i] = char((i * 3) - 128);
            dev->awgBuffer[i] = static_cast<signed char>(wave[i]);
        }
        QVERIFY(startStream());
        dev->awgBulkWriteTransfer();
        QVERIFY(sim::waitForCommand('l'));
        const sim::Command upload = sim::commandsWithLetter('l').at(0);
        QCOMPARE(upload.wire, sim::Wire::Serial);
        QCOMPARE(upload.data, wave);
        QCOMPARE(sim::customWave(), wave);
        // The stream comes back on after the upload.
        QVERIFY(dev->serialLink.autoMode);
        QVERIFY(sim::waitForCommand('q', 2));
    }

    // Garbage between frames of any length: every frame still arrives whole,
    // none is dropped, however the garbage moves the frames against groups
    // of three.
    void framesInFrameMode_data()
    {
        QTest::addColumn<int>("garbage");
        QTest::newRow("clean line") << 0;
        for (int n : {1, 2, 4, 5, 6})
            QTest::addRow("%d garbage bytes between frames", n) << n;
    }
    void framesInFrameMode()
    {
        QFETCH(int, garbage);
        if (garbage > 0) {
            sim::setGarbageLength(garbage);
            sim::setFault(sim::Fault::SerialGarbage);
        }
        QSignalSpy frames(&dev->serialLink, &SerialPortConnection::newData);
        QVERIFY(startStream());
        QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 6, 10000);
        for (const QList<QVariant> &f : qAsConst(frames))
            QCOMPARE(f.at(0).toInt(), 770);
        QCOMPARE(dev->serialLink.droppedFrames(), quint64(0));
        QVERIFY(dev->dataReady.load());
        unsigned char frame[LibUsbDevice::rxBufferSize];
        std::fill(std::begin(frame), std::end(frame), 0xEE);
        QCOMPARE(dev->copyLatestFrame(frame, sizeof frame), 770);
        QCOMPARE(int(frame[768]), 0);
        QCOMPARE(int(frame[769]), 0);
        QCOMPARE(int(frame[770]), 0xEE);
    }

    void samplesInRollMode()
    {
        sim::pokeRegister(0, 11);
        dev->serialLink.setSamplingValue(11);
        QSignalSpy samples(&dev->serialLink, &SerialPortConnection::newData);
        QVERIFY(startStream());
        QTRY_VERIFY_WITH_TIMEOUT(samples.count() >= 20, 10000);
        for (const QList<QVariant> &s : qAsConst(samples))
            QCOMPARE(s.at(0).toInt(), 3);
        QVERIFY(dev->serialLink.sampleIndex > 0);
        QVERIFY(dev->serialLink.sampleIndex <= 256);
        unsigned char frame[LibUsbDevice::rxBufferSize];
        QCOMPARE(dev->copyLatestFrame(frame, sizeof frame), 3);
    }

    // From frame mode to roll mode: nothing is stored until the instrument's
    // stream start marker, then samples flow.
    void timeBaseSwitchFrom10To11()
    {
        sim::pokeRegister(0, 10);
        dev->serialLink.setSamplingValue(10);
        QSignalSpy delivered(&dev->serialLink, &SerialPortConnection::newData);
        QVERIFY(startStream());
        QTRY_VERIFY_WITH_TIMEOUT(delivered.count() >= 1, 10000);
        dev->controlWriteTransfer(0, 11);
        dev->serialLink.setSamplingValue(11);
        QCOMPARE(dev->serialLink.frameState, 0);
        QCOMPARE(dev->serialLink.sampleIndex, 0);
        QTRY_COMPARE_WITH_TIMEOUT(dev->serialLink.frameState, 1, 10000);
        delivered.clear();
        QTRY_VERIFY_WITH_TIMEOUT(delivered.count() >= 5, 10000);
        for (const QList<QVariant> &s : qAsConst(delivered))
            QCOMPARE(s.at(0).toInt(), 3);
    }

    void closeStopsTheStreamThenStores()
    {
        QVERIFY(startStream());
        sim::clearCommandLog();
        dev->closeDevice();
        QVERIFY(!dev->connected);
        QVERIFY(!dev->serialLink.port);
        QVERIFY(sim::waitForCommand('d'));
        QCOMPARE(letters(sim::commandLog()), QByteArray("pd"));
    }

    // The terminal goes away mid-stream (a Bluetooth link dropping): the
    // link reports it once and lets the port go instead of spinning on it.
    void vanishedPortIsReported()
    {
        QVERIFY(startStream());
        QSignalSpy lost(dev, &LibUsbDevice::linkLostDetected);
        sim::stopPtyWire();
        QVERIFY(lost.wait(5000));
        QVERIFY(dev->isLinkLost());
        QTRY_VERIFY(!dev->serialLink.port);
        dev->dropLostLink();
        QVERIFY(!dev->connected);
        QCOMPARE(lost.count(), 1);
    }

    // Each exchange that waits for a reply gives up after the link's overall
    // bound with the status text, instead of hanging the window. One row
    // waits out the default bound of 10 s; the others run with a short one.
    void silentPortGivesUp_data()
    {
        QTest::addColumn<Exchange>("exchange");
        QTest::addColumn<int>("boundMs");
        QTest::newRow("firmware version, default bound")
            << Exchange([](LibUsbDevice &d) { return d.requestFirmwareVersion() != QLatin1String("-1"); })
            << SerialPortConnection::defaultReplyTimeoutMs;
        QTest::newRow("settings read")
            << Exchange([](LibUsbDevice &d) { return d.readSettingsBlock(); }) << 300;
        QTest::newRow("meter") << Exchange([](LibUsbDevice &d) {
            unsigned char reply[4];
            return d.requestMM(reply) >= 0;
        }) << 300;
    }
    void silentPortGivesUp()
    {
        QFETCH(Exchange, exchange);
        QFETCH(int, boundMs);
        QCOMPARE(dev->serialLink.replyTimeoutMs, SerialPortConnection::defaultReplyTimeoutMs);
        dev->serialLink.replyTimeoutMs = boundMs;
        sim::setFault(sim::Fault::SerialSilent);
        QSignalSpy status(&dev->serialLink, &SerialPortConnection::connectionStatus);
        QElapsedTimer clock;
        clock.start();
        const bool answered = exchange(*dev);
        const qint64 waited = clock.elapsed();
        QVERIFY(!answered);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Port is busy or unreachable."));
        QVERIFY(dev->isLinkLost());
        // It waited out the whole bound, and did not hang past it.
        QVERIFY2(waited >= boundMs, qPrintable(QString::number(waited)));
        QVERIFY2(waited < boundMs + qMax(boundMs, 1500), qPrintable(QString::number(waited)));
    }

    // Replies are read after draining what was on its way, and a junk byte
    // ahead of a reply is not taken for part of it.
    void repliesAfterStrayBytes_data()
    {
        QTest::addColumn<bool>("junkBeforeReply");
        QTest::addColumn<bool>("streamingBefore");
        QTest::newRow("junk byte before each reply") << true << false;
        QTest::newRow("instrument streaming") << false << true;
        QTest::newRow("both") << true << true;
    }
    void repliesAfterStrayBytes()
    {
        QFETCH(bool, junkBeforeReply);
        QFETCH(bool, streamingBefore);
        sim::pokeRegister(12, 5);
        sim::pokeRegister(11, 0); // meter: frequency counter, a steady reply
        unsigned char clean[4] = {};
        QCOMPARE(dev->requestMM(clean), 4);
        if (streamingBefore) {
            // An instrument streaming to nobody, then told to stop as a
            // connect does: stream bytes are still in the port.
            dev->serialLink.writeByteArray("q");
            QVERIFY(sim::waitForCommand('q'));
            QTRY_VERIFY(dev->serialLink.port->bytesAvailable() > 2000);
            dev->serialLink.writeByteArray("p");
        }
        sim::setFault(sim::Fault::SerialJunkBeforeReply, junkBeforeReply);
        QCOMPARE(dev->requestFirmwareVersion(), QString("2.37"));
        if (streamingBefore) {
            dev->serialLink.writeByteArray("q");
            QTRY_VERIFY(dev->serialLink.port->bytesAvailable() > 2000);
        }
        QVERIFY(dev->readSettingsBlock());
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(dev->inBuffer), 44), sim::settingsBlock());
        unsigned char reply[4] = {};
        QCOMPARE(dev->requestMM(reply), 4);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply), 4),
                 QByteArray(reinterpret_cast<const char *>(clean), 4));
        QVERIFY(!dev->isLinkLost());
    }
};

QUORVEL_CORE_TEST_MAIN(TestSerialLink)
#include "test_serial_link.moc"
