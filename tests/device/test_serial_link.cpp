// The instrument link over its serial wire against the simulated instrument
// on a pseudo-terminal: the command forms, the replies, auto mode around each
// exchange, frames and roll-mode samples, and a port that stays silent. The
// serial half's own state (auto mode, parser, port, reply time-out) is read
// from the link's serial half.

#include "device/instrumentlink.h"
#include "quorveltest.h"
#include "settings/registers.h"
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

using Exchange = std::function<bool(InstrumentLink &)>;
Q_DECLARE_METATYPE(Exchange)

class TestSerialLink : public QObject
{
    Q_OBJECT

private:
    InstrumentLink *link = nullptr;
    QString path;

    // The link's serial half and its USB half (which holds the reply buffer).
    SerialPortConnection *serial() const { return link->findChild<SerialPortConnection *>(); }
    LibUsbDevice *usb() const { return link->findChild<LibUsbDevice *>(); }

    // Turns the stream on the way the connect flow does: the settings read.
    bool startStream()
    {
        reg::DeviceSettings block;
        if (!link->readSettings(block))
            return false;
        link->startReception();
        return serial()->autoMode() && sim::waitForCommand('q');
    }

private slots:
    void init()
    {
        sim::reset();
        path = sim::startPtyWire();
        QVERIFY(!path.isEmpty());
        link = new InstrumentLink;
        QVERIFY(serial());
        QVERIFY(usb());
        QVERIFY(link->open(InstrumentLink::Wire::Serial, path));
        QVERIFY(link->isConnected());
        QVERIFY(!link->isUsb());
        QVERIFY(sim::waitForCommand('p'));
        sim::clearCommandLog();
    }

    void cleanup()
    {
        link->close();
        delete link;
        link = nullptr;
        sim::stopPtyWire();
    }

    void settingsReadTurnsAutoModeOffAndOn()
    {
        sim::pokeRegister(12, 5);
        reg::DeviceSettings block;
        QVERIFY(link->readSettings(block));
        QCOMPARE(block.toByteArray(), sim::settingsBlock());
        QCOMPARE(int(block[12]), 5);
        const unsigned char *reply = usb()->replyBuffer();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply), 44), sim::settingsBlock());
        QCOMPARE(int(reply[44]), 0);
        QVERIFY(serial()->autoMode());
        QCOMPARE(serial()->parserState(), 0);
        QVERIFY(sim::waitForCommand('q'));
        QCOMPARE(letters(sim::commandLog()), QByteArray("puq"));
        QCOMPARE(int(sim::commandsWithLetter('u').at(0).index), 14);
    }

    void generatorFrequencyUsesTheFiveByteForm()
    {
        link->requestGeneratorFrequency(0x0001, 0x86A0);
        QVERIFY(sim::waitForCommand('q'));
        QCOMPARE(letters(sim::commandLog()), QByteArray("pcq"));
        const sim::Command c = sim::commandsWithLetter('c').at(0);
        QCOMPARE(int(c.value), 0x0001);
        QCOMPARE(int(c.index), 0x86A0);
    }

    void triggerPositionLeavesAutoModeAlone()
    {
        link->requestTriggerPosition(256 - 40, 0);
        QVERIFY(sim::waitForCommand('j'));
        QCOMPARE(letters(sim::commandLog()), QByteArray("j"));
        QCOMPARE(int(sim::commandsWithLetter('j').at(0).value), 216);
    }

    void registerWriteChangesTheInstrument()
    {
        link->writeRegister(13, 6);
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
        unsigned char reply[InstrumentLink::meterReplyLength] = {};
        QCOMPARE(link->requestMeter(reply), 4);
        QVERIFY(!serial()->autoMode());
        QCOMPARE(letters(sim::commandLog()), QByteArray("pm"));
    }

    void customWaveIsUploaded()
    {
        QByteArray wave(InstrumentLink::waveLength, 0);
        signed char samples[InstrumentLink::waveLength];
        for (int i = 0; i < InstrumentLink::waveLength; ++i) {
            wave[i] = char((i * 3) - 128);
            samples[i] = static_cast<signed char>(wave[i]);
        }
        QVERIFY(startStream());
        link->uploadWave(samples);
        QVERIFY(sim::waitForCommand('l'));
        const sim::Command upload = sim::commandsWithLetter('l').at(0);
        QCOMPARE(upload.wire, sim::Wire::Serial);
        QCOMPARE(upload.data, wave);
        QCOMPARE(sim::customWave(), wave);
        // The stream comes back on after the upload, and the wave is stored.
        QVERIFY(serial()->autoMode());
        QVERIFY(sim::waitForCommand('q', 2));
        QVERIFY(sim::waitForCommand('e'));
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
        QSignalSpy frames(serial(), &SerialPortConnection::newData);
        QVERIFY(startStream());
        QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 6, 10000);
        for (const QList<QVariant> &f : qAsConst(frames))
            QCOMPARE(f.at(0).toInt(), 770);
        QCOMPARE(serial()->droppedFrames(), quint64(0));
        QVERIFY(link->hasNewFrame());
        unsigned char frame[InstrumentLink::frameCapacity];
        std::fill(std::begin(frame), std::end(frame), 0xEE);
        QCOMPARE(link->takeLatestFrame(frame, sizeof frame), 770);
        QCOMPARE(int(frame[768]), 0);
        QCOMPARE(int(frame[769]), 0);
        QCOMPARE(int(frame[770]), 0xEE);
    }

    void samplesInRollMode()
    {
        sim::pokeRegister(0, 11);
        link->setSamplingValue(11);
        QSignalSpy samples(serial(), &SerialPortConnection::newData);
        QVERIFY(startStream());
        QTRY_VERIFY_WITH_TIMEOUT(samples.count() >= 20, 10000);
        for (const QList<QVariant> &s : qAsConst(samples))
            QCOMPARE(s.at(0).toInt(), 3);
        QVERIFY(serial()->sampleIndex() > 0);
        QVERIFY(serial()->sampleIndex() <= 256);
        unsigned char frame[InstrumentLink::frameCapacity];
        QCOMPARE(link->copyLatestFrame(frame, sizeof frame), 3);
    }

    // From frame mode to roll mode: nothing is stored until the instrument's
    // stream start marker, then samples flow.
    void timeBaseSwitchFrom10To11()
    {
        sim::pokeRegister(0, 10);
        link->setSamplingValue(10);
        QSignalSpy delivered(serial(), &SerialPortConnection::newData);
        QVERIFY(startStream());
        QTRY_VERIFY_WITH_TIMEOUT(delivered.count() >= 1, 10000);
        link->writeRegister(0, 11);
        link->setSamplingValue(11);
        QCOMPARE(serial()->parserState(), 0);
        QCOMPARE(serial()->sampleIndex(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(serial()->parserState(), 1, 10000);
        delivered.clear();
        QTRY_VERIFY_WITH_TIMEOUT(delivered.count() >= 5, 10000);
        for (const QList<QVariant> &s : qAsConst(delivered))
            QCOMPARE(s.at(0).toInt(), 3);
    }

    void closeStopsTheStreamThenStores()
    {
        QVERIFY(startStream());
        sim::clearCommandLog();
        link->close();
        QVERIFY(!link->isConnected());
        QVERIFY(!serial()->hasPort());
        QVERIFY(sim::waitForCommand('d'));
        QCOMPARE(letters(sim::commandLog()), QByteArray("pd"));
    }

    // The terminal goes away mid-stream (a Bluetooth link dropping): the
    // link reports it once and lets the port go instead of spinning on it.
    void vanishedPortIsReported()
    {
        QVERIFY(startStream());
        QSignalSpy lost(link, &InstrumentLink::linkLost);
        sim::stopPtyWire();
        QVERIFY(lost.wait(5000));
        QVERIFY(link->isLinkLost());
        QTRY_VERIFY(!serial()->hasPort());
        link->release();
        QVERIFY(!link->isConnected());
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
            << Exchange([](InstrumentLink &l) { return l.firmwareVersion() != QLatin1String("-1"); })
            << SerialPortConnection::defaultReplyTimeoutMs;
        QTest::newRow("settings read") << Exchange([](InstrumentLink &l) {
            reg::DeviceSettings block;
            return l.readSettings(block);
        }) << 300;
        QTest::newRow("meter") << Exchange([](InstrumentLink &l) {
            unsigned char reply[InstrumentLink::meterReplyLength];
            return l.requestMeter(reply) >= 0;
        }) << 300;
    }
    void silentPortGivesUp()
    {
        QFETCH(Exchange, exchange);
        QFETCH(int, boundMs);
        QCOMPARE(serial()->replyTimeoutMs(), SerialPortConnection::defaultReplyTimeoutMs);
        serial()->setReplyTimeoutMs(boundMs);
        sim::setFault(sim::Fault::SerialSilent);
        QSignalSpy status(link, &InstrumentLink::statusMessage);
        QElapsedTimer clock;
        clock.start();
        const bool answered = exchange(*link);
        const qint64 waited = clock.elapsed();
        QVERIFY(!answered);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Port is busy or unreachable."));
        QVERIFY(link->isLinkLost());
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
        unsigned char clean[InstrumentLink::meterReplyLength] = {};
        QCOMPARE(link->requestMeter(clean), 4);
        if (streamingBefore) {
            // An instrument streaming to nobody, then told to stop as a
            // connect does: stream bytes are still in the port. The letters
            // go straight onto the wire, past the link's own stream state.
            serial()->writeByteArray("q");
            QVERIFY(sim::waitForCommand('q'));
            QTRY_VERIFY(serial()->bytesWaiting() > 2000);
            serial()->writeByteArray("p");
        }
        sim::setFault(sim::Fault::SerialJunkBeforeReply, junkBeforeReply);
        QCOMPARE(link->firmwareVersion(), QString("2.37"));
        if (streamingBefore) {
            serial()->writeByteArray("q");
            QTRY_VERIFY(serial()->bytesWaiting() > 2000);
        }
        reg::DeviceSettings block;
        QVERIFY(link->readSettings(block));
        QCOMPARE(block.toByteArray(), sim::settingsBlock());
        unsigned char reply[InstrumentLink::meterReplyLength] = {};
        QCOMPARE(link->requestMeter(reply), 4);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply), 4),
                 QByteArray(reinterpret_cast<const char *>(clean), 4));
        QVERIFY(!link->isLinkLost());
    }
};

QUORVEL_CORE_TEST_MAIN(TestSerialLink)
#include "test_serial_link.moc"
