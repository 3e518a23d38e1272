// The instrument link over USB against the simulated instrument's libusb
// wire: what each operation sends, opening and its failures, frame reception,
// closing, and an instrument that goes away mid-stream. What only the USB half
// shows (its handle, libusb context, event thread, error text, reply buffer)
// is read from the link's USB half.

#include "device/instrumentlink.h"
#include "device/usbwire.h"
#include "linkrows.h"
#include "quorveltest.h"
#include "settings/registers.h"
#include "simcontrol.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <functional>

namespace sim = quorvelsim;

using Operation = std::function<void(InstrumentLink &)>;
Q_DECLARE_METATYPE(Operation)

class TestUsbLink : public QObject
{
    Q_OBJECT

private:
    InstrumentLink *link = nullptr;
    // Register writes reach the link through its writer alone.
    reg::RegisterWriter writer;

    bool connectUsb() { return link->open(InstrumentLink::Wire::Usb); }
    // The link's USB wire.
    UsbWire *usb() const { return link->findChild<UsbWire *>(); }

    // Consumes frames the way the plot timer does, until `count` arrived.
    int takeFrames(int count, bool checkStamps, quint32 *lastSequence = nullptr)
    {
        static unsigned char frame[InstrumentLink::frameCapacity];
        int taken = 0;
        quint32 previous = 0;
        QElapsedTimer guard;
        guard.start();
        while (taken < count && guard.elapsed() < 30000) {
            if (!link->hasNewFrame()) {
                QThread::yieldCurrentThread();
                continue;
            }
            const int n = link->takeLatestFrame(frame, sizeof frame);
            if (n <= 0)
                continue;
            if (checkStamps) {
                quint32 sequence = 0;
                if (!sim::checkStampedFrame(frame, n, &sequence)) {
                    qWarning() << "torn frame of" << n << "bytes";
                    return -1;
                }
                // The flag may be raised again for a frame already copied;
                // copying it twice is harmless, an older one is not.
                if (taken > 0 && sequence < previous) {
                    qWarning() << "frame" << sequence << "after" << previous;
                    return -1;
                }
                previous = sequence;
            }
            ++taken;
        }
        if (lastSequence)
            *lastSequence = previous;
        return taken;
    }

private slots:
    void init()
    {
        sim::reset();
        link = new InstrumentLink;
        writer.setPort(link);
        QVERIFY(usb());
    }

    void cleanup()
    {
        link->close();
        delete link;
        link = nullptr;
    }

    void commandsReachTheInstrument_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<char>("letter");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("index");
        QTest::newRow("register write")
            << Operation([](InstrumentLink &l) { reg::RegisterWriter(&l).write(12, 4); }) << 'b' << 4 << 12;
        QTest::newRow("generator frequency")
            << Operation([](InstrumentLink &l) { reg::RegisterWriter(&l).requestFrequency(100000, 0x0001, 0x86A0); }) << 'c' << 0x0001
            << 0x86A0;
        QTest::newRow("trigger position")
            << Operation([](InstrumentLink &l) { l.requestTriggerPosition(256 - 100, 0); }) << 'j' << 156 << 0;
        QTest::newRow("settings read") << Operation([](InstrumentLink &l) {
            reg::DeviceSettings block;
            l.readSettings(block);
        }) << 'u' << 0 << 14;
        // Closing stores the settings (and the wave upload's store is checked
        // with the upload).
        QTest::newRow("store settings on close") << Operation(&InstrumentLink::close) << 'd' << 0 << 0;
        QTest::newRow("stop") << Operation(&InstrumentLink::stopAcquisition) << 'f' << 0 << 0;
        QTest::newRow("start") << Operation(&InstrumentLink::startAcquisition) << 'g' << 0 << 0;
        QTest::newRow("force trigger") << Operation(&InstrumentLink::forceTrigger) << 'h' << 0 << 0;
        QTest::newRow("auto setup") << Operation(&InstrumentLink::autoSetup) << 'i' << 0 << 0;
        QTest::newRow("factory settings") << Operation(&InstrumentLink::restoreFactorySettings) << 'k' << 0 << 0;
        QTest::newRow("firmware version")
            << Operation([](InstrumentLink &l) { l.firmwareVersion(); }) << 'a' << 0 << 0;
        QTest::newRow("meter") << Operation([](InstrumentLink &l) {
            unsigned char reply[InstrumentLink::meterReplyLength];
            l.requestMeter(reply);
        }) << 'm' << 0 << 0;
    }
    void commandsReachTheInstrument()
    {
        QFETCH(Operation, operation);
        QFETCH(char, letter);
        QFETCH(int, value);
        QFETCH(int, index);
        QVERIFY(connectUsb());
        sim::clearCommandLog();
        operation(*link);
        const QVector<sim::Command> log = sim::commandLog();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.at(0).wire, sim::Wire::Usb);
        QCOMPARE(log.at(0).letter, letter);
        QCOMPARE(int(log.at(0).value), value);
        QCOMPARE(int(log.at(0).index), index);
    }

    void registerWriteChangesTheInstrument()
    {
        QVERIFY(connectUsb());
        writer.write(12, 4);
        QCOMPARE(int(sim::peekRegister(12)), 4);
    }

    // A control read's reply is followed by a zero in the reply buffer when
    // there is room: after the 44-byte block, and after a reply cut short,
    // over a byte of the longer reply before it.
    void settingsReadIsTerminated()
    {
        QVERIFY(connectUsb());
        sim::pokeRegister(20, 0x5A);
        reg::DeviceSettings block;
        QVERIFY(link->readSettings(block));
        QCOMPARE(block.toByteArray(), sim::settingsBlock());
        const unsigned char *reply = usb()->replyBuffer();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply), 44), sim::settingsBlock());
        QCOMPARE(int(reply[44]), 0);
        QCOMPARE(int(reply[20]), 0x5A);
        sim::setShortReplies(20);
        QVERIFY(!link->readSettings(block));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reply), 20), sim::settingsBlock().left(20));
        QCOMPARE(int(reply[20]), 0);
    }

    // The settings block is read whole or not at all: a short reply leaves
    // the caller's block as it was.
    void shortSettingsReplyIsAFailedRead()
    {
        QVERIFY(connectUsb());
        sim::setShortReplies(43);
        reg::DeviceSettings block;
        block.bytes.fill(0xA5);
        const reg::DeviceSettings before = block;
        QVERIFY(!link->readSettings(block));
        QVERIFY(block == before);
        sim::setShortReplies(-1);
        QVERIFY(link->readSettings(block));
        QCOMPARE(block.toByteArray(), sim::settingsBlock());
    }

    // One time-out is a failed request; two in a row are an instrument that
    // no longer answers: the link is lost, and later commands are dropped
    // at once instead of each blocking for its time-out.
    void failedRequestsReport()
    {
        QVERIFY(connectUsb());
        sim::setControlTimeoutWait(5);
        sim::setFault(sim::Fault::ControlTimeout);
        QSignalSpy lost(link, &InstrumentLink::linkLost);
        QCOMPARE(link->firmwareVersion(), QString());
        QCOMPARE(usb()->lastError(), QString("Read Error!"));
        QVERIFY(!link->isLinkLost()); // one time-out is no lost instrument
        usb()->clearLastError();
        reg::DeviceSettings block;
        QVERIFY(!link->readSettings(block));
        QCOMPARE(usb()->lastError(), QString("Read Error!"));
        QVERIFY(link->isLinkLost());
        QVERIFY(link->linkLoss() == InstrumentLink::LinkLoss::NotResponding);
        QCOMPARE(lost.count(), 1);
        sim::clearCommandLog();
        writer.write(12, 4);
        link->forceTrigger();
        QVERIFY(sim::commandLog().isEmpty());
    }

    // A request that succeeds between two time-outs starts the count again.
    void timeOutsCountOnlyInARow()
    {
        QVERIFY(connectUsb());
        sim::setControlTimeoutWait(5);
        sim::setControlTimeoutRequests("b");
        sim::setFault(sim::Fault::ControlTimeout);
        reg::DeviceSettings block;
        for (int i = 0; i < 5; ++i) {
            writer.write(12, quint8(i));
            QVERIFY(link->readSettings(block));
        }
        QVERIFY(!link->isLinkLost());
        writer.write(12, 1);
        writer.write(12, 2);
        QVERIFY(link->linkLoss() == InstrumentLink::LinkLoss::NotResponding);
    }

    // With its real time-out a silent instrument holds the caller for two
    // requests, however many follow.
    void silentInstrumentBlocksForTwoTimeOuts()
    {
        QVERIFY(connectUsb());
        sim::setFault(sim::Fault::ControlTimeout);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 12; ++i)
            writer.write(0, quint8(i));
        const qint64 blocked = clock.elapsed();
        QVERIFY(link->isLinkLost());
        QVERIFY2(blocked >= 2 * int(UsbWire::controlTimeoutMs), qPrintable(QString::number(blocked)));
        QVERIFY2(blocked < 2 * int(UsbWire::controlTimeoutMs) + 500,
                 qPrintable(QString::number(blocked)));
        QCOMPARE(sim::commandsWithLetter('b').size(), 2);
    }

    void commandsWhileNotConnectedAreDropped()
    {
        for (int i = 0; i < 6; ++i)
            QTest::ignoreMessage(QtDebugMsg, "Device not connected");
        unsigned char reply[InstrumentLink::meterReplyLength] = {};
        reg::DeviceSettings block;
        writer.write(12, 4);
        QVERIFY(!link->readSettings(block));
        QCOMPARE(link->firmwareVersion(), QString());
        QCOMPARE(link->requestMeter(reply), -1);
        link->stopAcquisition();
        link->startReception();
        // Neither the wave nor the settings store go out.
        const signed char wave[InstrumentLink::waveLength] = {};
        link->uploadWave(wave);
        link->close();
        QVERIFY(sim::commandLog().isEmpty());
    }

    void openFailuresReportCannotOpen_data() { linkrows::openFailures(); }
    void openFailuresReportCannotOpen()
    {
        QFETCH(int, fault);
        sim::setFault(sim::Fault(fault));
        QSignalSpy status(link, &InstrumentLink::statusMessage);
        QVERIFY(!connectUsb());
        QVERIFY(!link->isConnected());
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Cannot open device"));
        QCOMPARE(usb()->lastError(), QString("Cannot open device!"));
        QVERIFY(!usb()->isUsbDeviceOpen());
        QVERIFY(!sim::deviceOpen());
        QVERIFY(!sim::interfaceClaimed());
        // A later attempt works once the instrument is fine.
        sim::clearFaults();
        link->close();
        QVERIFY(connectUsb());
    }

    void firstInstrumentThatOpensIsUsed()
    {
        sim::setInstrumentCount(2);
        sim::setUnopenableInstruments(1);
        QVERIFY(connectUsb());
        QVERIFY(sim::deviceOpen());
        QVERIFY(sim::interfaceClaimed());
    }

    void kernelDriverIsDetached()
    {
        sim::setKernelDriverActive(true);
        QVERIFY(connectUsb());
        QVERIFY(sim::interfaceClaimed());
    }

    void framesFlow()
    {
        QVERIFY(connectUsb());
        QCOMPARE(link->copyLatestFrame(nullptr, 0), 0);
        unsigned char frame[InstrumentLink::frameCapacity];
        QCOMPARE(link->copyLatestFrame(frame, sizeof frame), 0); // nothing yet
        QVERIFY(!link->hasNewFrame());
        QCOMPARE(link->takeLatestFrame(frame, sizeof frame), 0);
        link->startReception();
        QCOMPARE(takeFrames(5, false), 5);
        QTRY_VERIFY(link->hasNewFrame());
        QCOMPARE(link->takeLatestFrame(frame, sizeof frame), 770);
        QCOMPARE(usb()->lastFrameLength(), 770);
    }

    // The arrival signal comes once for each frame the consumer takes: not
    // again while a published frame waits, and again for the first frame
    // after the consumer took one.
    void arrivalIsSignalledOncePerTakenFrame()
    {
        QVERIFY(connectUsb());
        int arrivals = 0; // counted on this thread, as the window takes them
        connect(link, &InstrumentLink::frameArrived, this, [&arrivals] { ++arrivals; }, Qt::QueuedConnection);
        link->startReception();
        QTRY_VERIFY(link->hasNewFrame());
        const quint64 first = sim::framesDelivered();
        QTRY_VERIFY(sim::framesDelivered() >= first + 5); // published over the waiting one
        QCoreApplication::processEvents();
        QCOMPARE(arrivals, 1);
        unsigned char frame[InstrumentLink::frameCapacity];
        QCOMPARE(link->takeLatestFrame(frame, sizeof frame), 770);
        QTRY_COMPARE(arrivals, 2);
        QVERIFY(link->hasNewFrame());
    }

    // Every frame the consumer copies is one whole frame, and never an older
    // one than the frame before it, with the instrument at its fastest.
    void noFrameIsTorn()
    {
        sim::setFrameStamping(true);
        sim::setFrameRate(0);
        QVERIFY(connectUsb());
        link->startReception();
        QCOMPARE(takeFrames(3000, true), 3000);
    }

    // Reception started and closed again and again at the instrument's
    // fastest rate, with the consumer copying frames meanwhile: every frame
    // whole, and nothing left running or in flight after each close.
    void receptionAndCloseCycles()
    {
        sim::setFrameStamping(true);
        sim::setFrameRate(0);
        for (int cycle = 0; cycle < 20; ++cycle) {
            QVERIFY(connectUsb());
            link->startReception();
            QCOMPARE(takeFrames(50 + cycle * 10, true), 50 + cycle * 10);
            link->close();
            QVERIFY(!usb()->eventThreadRunning());
            QCOMPARE(sim::transfersInFlight(), 0);
            QVERIFY(!sim::deviceOpen());
        }
        QCOMPARE(sim::commandsWithLetter('d').size(), 20);
    }

    void smallCopyTakesWhatFits()
    {
        sim::setFrameStamping(true);
        QVERIFY(connectUsb());
        link->startReception();
        QTRY_VERIFY(link->hasNewFrame());
        unsigned char part[100];
        QCOMPARE(link->takeLatestFrame(part, sizeof part), 770);
        quint32 sequence = 0;
        QVERIFY(sim::checkStampedFrame(part, sizeof part, &sequence));
    }

    // Transfers whose length is neither a scope frame nor a sniffer frame
    // never reach the consumer: every frame it copies is a whole stamped
    // 770-byte frame, and the dropped ones are counted.
    void wrongLengthFramesAreDropped_data()
    {
        QTest::addColumn<int>("every");
        QTest::addColumn<int>("length");
        QTest::newRow("every 2nd short") << 2 << 400;
        QTest::newRow("every 3rd one byte short") << 3 << 769;
        QTest::newRow("every 2nd long") << 2 << 900;
        QTest::newRow("every 2nd one byte long") << 2 << 771;
        QTest::newRow("every 4th a single byte") << 4 << 1;
    }
    void wrongLengthFramesAreDropped()
    {
        QFETCH(int, every);
        QFETCH(int, length);
        sim::setFrameStamping(true);
        sim::setFrameRate(0);
        sim::setWrongLengthFrames(every, length);
        QVERIFY(connectUsb());
        link->startReception();
        static unsigned char frame[InstrumentLink::frameCapacity];
        int taken = 0;
        QElapsedTimer guard;
        guard.start();
        while (taken < 300 && guard.elapsed() < 30000) {
            if (!link->hasNewFrame()) {
                QThread::yieldCurrentThread();
                continue;
            }
            const int n = link->takeLatestFrame(frame, sizeof frame);
            QCOMPARE(n, 770);
            QVERIFY(sim::checkStampedFrame(frame, n));
            ++taken;
        }
        QCOMPARE(taken, 300);
        QTRY_VERIFY(link->droppedFrames() >= quint64(300 / every - 2));
        QVERIFY(!link->isLinkLost());
    }

    // Wrong lengths only: more than 100 in a row are a lost link.
    void onlyWrongLengthsLoseTheLink()
    {
        sim::setFrameRate(0);
        sim::setWrongLengthFrames(1, 400);
        QVERIFY(connectUsb());
        QSignalSpy lost(link, &InstrumentLink::linkLost);
        link->startReception();
        QVERIFY(lost.wait(5000));
        QVERIFY(link->linkLoss() == InstrumentLink::LinkLoss::Gone);
        QCOMPARE(link->droppedFrames(), quint64(101));
        unsigned char frame[InstrumentLink::frameCapacity];
        QCOMPARE(link->copyLatestFrame(frame, sizeof frame), 0);
        QVERIFY(!link->hasNewFrame());
    }

    // The sniffer's frames are whole frames too.
    void snifferFramesPass()
    {
        sim::setFrameRate(0);
        sim::setWrongLengthFrames(1, UsbWire::snifferFrameMinSize);
        QVERIFY(connectUsb());
        link->startReception();
        QTRY_VERIFY(link->hasNewFrame());
        unsigned char frame[InstrumentLink::frameCapacity];
        QCOMPARE(link->takeLatestFrame(frame, sizeof frame), UsbWire::snifferFrameMinSize);
        QCOMPARE(link->droppedFrames(), quint64(0));
    }

    void closingStoresSettingsAndReleases()
    {
        for (int cycle = 0; cycle < 3; ++cycle) {
            sim::setFrameRate(cycle == 0 ? 60 : 0);
            QVERIFY(connectUsb());
            link->startReception();
            QTRY_VERIFY(sim::framesDelivered() > 2);
            sim::clearCommandLog();
            link->close();
            QVERIFY(!link->isConnected());
            QVERIFY(!usb()->eventThreadRunning());
            QCOMPARE(sim::transfersInFlight(), 0);
            QVERIFY(!sim::interfaceClaimed());
            QVERIFY(!sim::deviceOpen());
            QCOMPARE(sim::commandsWithLetter('d').size(), 1);
            // No frame is received once closed, and none is left to take.
            const quint64 delivered = sim::framesDelivered();
            QTest::qWait(20);
            QCOMPARE(sim::framesDelivered(), delivered);
            QVERIFY(!link->hasNewFrame());
            unsigned char frame[InstrumentLink::frameCapacity];
            QCOMPARE(link->copyLatestFrame(frame, sizeof frame), 0);
        }
    }

    // The USB half closed while only set up ends the library and sends
    // nothing.
    void closeWithoutConnectionEndsTheLibrary()
    {
        UsbWire half;
        QVERIFY(half.initialize());
        QVERIFY(half.hasUsbContext());
        half.close();
        QVERIFY(!half.hasUsbContext());
        QVERIFY(sim::commandLog().isEmpty());
    }

    void unplugMidStreamIsDetected()
    {
        QVERIFY(connectUsb());
        link->startReception();
        QTRY_VERIFY(sim::framesDelivered() > 2);
        QSignalSpy lost(link, &InstrumentLink::linkLost);
        sim::unplug();
        QVERIFY(lost.wait(5000));
        QVERIFY(link->isLinkLost());
        QVERIFY(link->linkLoss() == InstrumentLink::LinkLoss::Gone);
        sim::clearCommandLog();
        link->release();
        QVERIFY(!link->isConnected());
        QVERIFY(!usb()->eventThreadRunning());
        QVERIFY(!sim::deviceOpen());
        QVERIFY(sim::commandsWithLetter('d').isEmpty());
        QCOMPARE(lost.count(), 1);
        QVERIFY(!link->isLinkLost());

        // Plugged back in: the next connection streams again.
        sim::clearFaults();
        QVERIFY(connectUsb());
        link->startReception();
        QCOMPARE(takeFrames(3, false), 3);
    }

    void unplugWhileIdleIsDetectedByTheNextRequest()
    {
        QVERIFY(connectUsb());
        QSignalSpy lost(link, &InstrumentLink::linkLost);
        sim::unplug();
        writer.write(12, 1);
        QCOMPARE(lost.count(), 1);
        QVERIFY(link->isLinkLost());
        link->forceTrigger();
        QCOMPARE(lost.count(), 1); // reported once
    }

    // The wave goes out as a bulk OUT, then the instrument is told to store
    // it.
    void customWaveGoesOut()
    {
        QVERIFY(connectUsb());
        QByteArray expected(InstrumentLink::waveLength, 0);
        signed char wave[InstrumentLink::waveLength];
        for (int i = 0; i < InstrumentLink::waveLength; ++i) {
            expected[i] = char(i - 128);
            wave[i] = static_cast<signed char>(i - 128);
        }
        sim::clearCommandLog();
        link->uploadWave(wave);
        QVERIFY(sim::waitForCommand('e'));
        QCOMPARE(sim::customWave(), expected);
        const QVector<sim::Command> log = sim::commandLog();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(0).letter, 'l');
        QCOMPARE(log.at(0).data, expected);
        for (const sim::Command &c : log)
            QCOMPARE(c.wire, sim::Wire::Usb);
        QCOMPARE(log.at(1).letter, 'e');
        QCOMPARE(int(log.at(1).value), 0);
        QCOMPARE(int(log.at(1).index), 0);
    }
};

QUORVEL_CORE_TEST_MAIN(TestUsbLink)
#include "test_usb_link.moc"
