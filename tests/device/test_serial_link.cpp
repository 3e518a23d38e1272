// The instrument link over its serial wire against the simulated instrument
// on a pseudo-terminal: the command forms, the replies, auto mode around each
// exchange, frames and roll-mode samples, a port that stays silent, and
// stray bytes around replies. The serial half's own state (auto mode,
// parser, port, reply time-out) is read from the link's serial half.

#include "device/instrumentlink.h"
#include "device/serialwire.h"
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
    // Register writes reach the link through its writer alone.
    reg::RegisterWriter writer;
    QString path;

    // The link's serial wire (which holds the reply buffer) and its port.
    SerialWire *wire() const { return link->findChild<SerialWire *>(); }
    SerialPortConnection *serial() const { return link->findChild<SerialPortConnection *>(); }

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
        writer.setPort(link);
        QVERIFY(serial());
        QVERIFY(wire());
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
        const unsigned char *reply = wire()->replyBuffer();
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
        writer.requestFrequency(100000, 0x0001, 0x86A0);
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
        writer.write(13, 6);
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
        writer.write(0, 11);
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

    // A request without a reply gives up after its bound of 1 s (as a USB
    // control request) without a word, and the link holds; a second in a
    // row ends the link as not responding, with the status text. Commands
    // after that are dropped at once.
    void silentPortGivesUp_data()
    {
        QTest::addColumn<Exchange>("exchange");
        QTest::newRow("firmware version") << Exchange([](InstrumentLink &l) {
            const QString version = l.firmwareVersion();
            return !version.isEmpty() && version != QLatin1String("-1");
        });
        QTest::newRow("settings read") << Exchange([](InstrumentLink &l) {
            reg::DeviceSettings block;
            return l.readSettings(block);
        });
        QTest::newRow("meter") << Exchange([](InstrumentLink &l) {
            unsigned char reply[InstrumentLink::meterReplyLength];
            return l.requestMeter(reply) >= 0;
        });
    }
    void silentPortGivesUp()
    {
        QFETCH(Exchange, exchange);
        const int boundMs = SerialPortConnection::defaultReplyTimeoutMs;
        QCOMPARE(serial()->replyTimeoutMs(), 1000);
        QVERIFY(startStream());
        sim::setFault(sim::Fault::SerialSilent);
        QSignalSpy status(link, &InstrumentLink::statusMessage);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            QElapsedTimer clock;
            clock.start();
            QVERIFY(!exchange(*link));
            const qint64 waited = clock.elapsed();
            // It waited out the bound, and did not hang past it.
            QVERIFY2(waited >= boundMs - 50 && waited < boundMs + 500, qPrintable(QString::number(waited)));
            QCOMPARE(link->isLinkLost(), attempt == 2);
            QCOMPARE(status.count(), attempt - 1);
        }
        QCOMPARE(status.at(0).at(0).toString(), QString("Port is busy or unreachable."));
        QCOMPARE(link->linkLoss(), InstrumentLink::LinkLoss::NotResponding);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!exchange(*link));
        QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
    }

    // Two requests in a row without a usable reply end the link: a reply
    // the link cannot use (a reading with a stray byte) counts as none, and
    // only a usable answer between two time-outs resets the count.
    void answerBetweenTimeOutsKeepsTheLink_data()
    {
        QTest::addColumn<bool>("usableAnswer");
        QTest::newRow("a meter reading") << true;
        QTest::newRow("a reading with a stray byte") << false;
    }
    void answerBetweenTimeOutsKeepsTheLink()
    {
        QFETCH(bool, usableAnswer);
        unsigned char reply[InstrumentLink::meterReplyLength];
        sim::setFault(sim::Fault::SerialSilent);
        QCOMPARE(link->requestMeter(reply), -1);
        sim::setFault(sim::Fault::SerialSilent, false);
        sim::setFault(sim::Fault::SerialJunkAfterReply, !usableAnswer);
        QCOMPARE(link->requestMeter(reply) == 4, usableAnswer);
        QCOMPARE(link->isLinkLost(), !usableAnswer);
        if (!usableAnswer) {
            QCOMPARE(link->linkLoss(), InstrumentLink::LinkLoss::Garbled);
            return;
        }
        sim::setFault(sim::Fault::SerialSilent);
        QCOMPARE(link->requestMeter(reply), -1);
        QVERIFY(!link->isLinkLost());
        QCOMPARE(link->requestMeter(reply), -1);
        QVERIFY(link->isLinkLost());
        QCOMPARE(link->linkLoss(), InstrumentLink::LinkLoss::NotResponding);
    }

    // Line noise on the Meter page garbles the meter replies (any four bytes
    // may be a reading, so noise around one cannot be told from it). The
    // link ends once two requests in a row got no usable reply, never after
    // one alone, with the reason; no request holds the caller past the bound
    // of one request, and commands after that are dropped at once.
    void lineNoiseEndsTheLink()
    {
        const int boundMs = SerialPortConnection::defaultReplyTimeoutMs;
        QSignalSpy status(link, &InstrumentLink::statusMessage);
        QSignalSpy lost(link, &InstrumentLink::linkLost);
        sim::setFault(sim::Fault::SerialNoise);
        QVector<bool> answered;
        qint64 longest = 0;
        while (!link->isLinkLost() && answered.size() < 20) {
            unsigned char reply[InstrumentLink::meterReplyLength];
            QElapsedTimer clock;
            clock.start();
            answered.append(link->requestMeter(reply) == InstrumentLink::meterReplyLength);
            longest = qMax(longest, clock.elapsed());
        }
        QVERIFY2(link->isLinkLost(), qPrintable(QString::number(answered.size())));
        QVERIFY(answered.size() >= 2);
        QVERIFY(!answered.at(answered.size() - 1) && !answered.at(answered.size() - 2));
        QVERIFY2(longest < boundMs + 200, qPrintable(QString::number(longest)));
        QCOMPARE(link->linkLoss(), InstrumentLink::LinkLoss::Garbled);
        QCOMPARE(QString(link->lossText()), QString("Device replies garbled"));
        QCOMPARE(lost.count(), 1);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Device replies garbled"));
        QElapsedTimer clock;
        clock.start();
        unsigned char reply[InstrumentLink::meterReplyLength];
        QCOMPARE(link->requestMeter(reply), -1);
        QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
    }

    // Stray bytes after a reply (or on both sides of it) are never taken for
    // part of it: the version and the settings block are found whole, and a
    // meter reading, whose four bytes can be anything, is dropped rather
    // than shown wrong. The link holds, and the next clean reply is read.
    void strayBytesAroundReplies_data()
    {
        QTest::addColumn<bool>("junkBefore");
        QTest::newRow("junk byte after each reply") << false;
        QTest::newRow("junk bytes before and after each reply") << true;
    }
    void strayBytesAroundReplies()
    {
        QFETCH(bool, junkBefore);
        sim::pokeRegister(11, 0); // meter: frequency counter, a steady reply
        unsigned char clean[InstrumentLink::meterReplyLength] = {};
        QCOMPARE(link->requestMeter(clean), 4);
        sim::setFault(sim::Fault::SerialJunkAfterReply);
        sim::setFault(sim::Fault::SerialJunkBeforeReply, junkBefore);
        for (int round = 0; round < 3; ++round) {
            QCOMPARE(link->firmwareVersion(), QString("2.37"));
            reg::DeviceSettings block;
            QVERIFY(link->readSettings(block));
            QCOMPARE(block.toByteArray(), sim::settingsBlock());
            unsigned char reply[InstrumentLink::meterReplyLength] = {0x11, 0x22, 0x33, 0x44};
            QVERIFY(link->requestMeter(reply) < 0);
        }
        QVERIFY(!link->isLinkLost());
        sim::clearFaults();
        unsigned char reply[InstrumentLink::meterReplyLength] = {};
        QCOMPARE(link->requestMeter(reply), 4);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply), 4),
                 QByteArray(reinterpret_cast<const char *>(clean), 4));
    }

    // Four bytes that are no version, or a block that fails its sanity
    // check, are a failed read: the link holds and nothing is decoded.
    void repliesOfTheWrongForm()
    {
        sim::setFirmwareVersion("x.37");
        QCOMPARE(link->firmwareVersion(), QString());
        QVERIFY(!link->isLinkLost());
        // A good reply, so the next bad one is not the second in a row.
        unsigned char reading[InstrumentLink::meterReplyLength];
        QCOMPARE(link->requestMeter(reading), 4);
        sim::pokeRegister(reg::SamplingRate, reg::SamplingRateMax + 1);
        reg::DeviceSettings block;
        block[reg::Gain1] = 2;
        const reg::DeviceSettings before = block;
        wire()->clearLastError();
        QVERIFY(!link->readSettings(block));
        QCOMPARE(wire()->lastError(), QString("Read Error!"));
        QVERIFY(block == before);
        QVERIFY(!link->isLinkLost());
        // The stream is back on, as after a good read.
        QVERIFY(serial()->autoMode());
        sim::pokeRegister(reg::SamplingRate, 7);
        QVERIFY(link->readSettings(block));
        QCOMPARE(block.toByteArray(), sim::settingsBlock());
    }

    // Replies are read after draining what was on its way, and a junk byte
    // ahead of a reply is not taken for part of it: the version and the
    // settings are found past it, and a meter reading with it is dropped.
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
        if (junkBeforeReply) {
            QVERIFY(link->requestMeter(reply) < 0);
            sim::clearFaults();
        }
        QCOMPARE(link->requestMeter(reply), 4);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply), 4),
                 QByteArray(reinterpret_cast<const char *>(clean), 4));
        QVERIFY(!link->isLinkLost());
    }
};

QUORVEL_CORE_TEST_MAIN(TestSerialLink)
#include "test_serial_link.moc"
