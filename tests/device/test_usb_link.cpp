// The USB half of the instrument link against the simulated instrument's
// libusb wire: what each operation sends, opening and its failures, frame
// reception, closing, and an instrument that goes away mid-stream.

#include "device/libusbdevice.h"
#include "linkrows.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <functional>

namespace sim = quorvelsim;

Q_DECLARE_METATYPE(std::function<void(LibUsbDevice &)>)

using Operation = std::function<void(LibUsbDevice &)>;

class TestUsbLink : public QObject
{
    Q_OBJECT

private:
    LibUsbDevice *dev = nullptr;

    bool connectUsb()
    {
        dev->usbMode = true;
        dev->initializeDevice();
        dev->openDevice(QString());
        return dev->connected;
    }

    // Consumes frames the way the plot timer does, until `count` arrived.
    int takeFrames(int count, bool checkStamps, quint32 *lastSequence = nullptr)
    {
        static unsigned char frame[LibUsbDevice::rxBufferSize];
        int taken = 0;
        quint32 previous = 0;
        QElapsedTimer guard;
        guard.start();
        while (taken < count && guard.elapsed() < 30000) {
            if (!dev->dataReady.load()) {
                QThread::yieldCurrentThread();
                continue;
            }
            const int n = dev->copyLatestFrame(frame, sizeof frame);
            dev->dataReady = false;
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
        dev = new LibUsbDevice;
    }

    void cleanup()
    {
        dev->closeDevice();
        delete dev;
        dev = nullptr;
    }

    void commandsReachTheInstrument_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<char>("letter");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("index");
        QTest::newRow("register write")
            << Operation([](LibUsbDevice &d) { d.controlWriteTransfer(12, 4); }) << 'b' << 4 << 12;
        QTest::newRow("generator frequency")
            << Operation([](LibUsbDevice &d) { d.controlReadTransfer('c', 0x0001, 0x86A0); }) << 'c' << 0x0001
            << 0x86A0;
        QTest::newRow("trigger position")
            << Operation([](LibUsbDevice &d) { d.controlReadTransfer('j', 256 - 100, 0); }) << 'j' << 156
            << 0;
        QTest::newRow("settings read")
            << Operation([](LibUsbDevice &d) { d.controlReadTransfer('u', 0, 14); }) << 'u' << 0 << 14;
        QTest::newRow("store settings") << Operation(&LibUsbDevice::saveDeviceSettings) << 'd' << 0 << 0;
        QTest::newRow("store wave") << Operation(&LibUsbDevice::saveAWG) << 'e' << 0 << 0;
        QTest::newRow("stop") << Operation(&LibUsbDevice::stopScope) << 'f' << 0 << 0;
        QTest::newRow("start") << Operation(&LibUsbDevice::startScope) << 'g' << 0 << 0;
        QTest::newRow("force trigger") << Operation(&LibUsbDevice::forceTrigger) << 'h' << 0 << 0;
        QTest::newRow("auto setup") << Operation(&LibUsbDevice::autoSetup) << 'i' << 0 << 0;
        QTest::newRow("factory settings") << Operation(&LibUsbDevice::restoreSettings) << 'k' << 0 << 0;
        QTest::newRow("firmware version")
            << Operation([](LibUsbDevice &d) { d.requestFirmwareVersion(); }) << 'a' << 0 << 0;
        QTest::newRow("meter") << Operation([](LibUsbDevice &d) {
            unsigned char reply[4];
            d.requestMM(reply);
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
        operation(*dev);
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
        dev->controlWriteTransfer(12, 4);
        QCOMPARE(int(sim::peekRegister(12)), 4);
    }

    void settingsReadIsTerminated()
    {
        QVERIFY(connectUsb());
        std::fill(std::begin(dev->inBuffer), std::end(dev->inBuffer), 0xFF);
        QVERIFY(dev->controlReadTransfer('u', 0, 14));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(dev->inBuffer), 44), sim::settingsBlock());
        QCOMPARE(int(dev->inBuffer[44]), 0);
    }

    // The settings block is read whole or not at all.
    void shortSettingsReplyIsAFailedRead()
    {
        QVERIFY(connectUsb());
        sim::setShortReplies(43);
        QVERIFY(!dev->readSettingsBlock());
        sim::setShortReplies(-1);
        QVERIFY(dev->readSettingsBlock());
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(dev->inBuffer), 44), sim::settingsBlock());
    }

    // One time-out is a failed request; two in a row are an instrument that
    // no longer answers: the link is lost, and later commands are dropped
    // at once instead of each blocking for its time-out.
    void failedRequestsReport()
    {
        QVERIFY(connectUsb());
        sim::setControlTimeoutWait(5);
        sim::setFault(sim::Fault::ControlTimeout);
        QSignalSpy lost(dev, &LibUsbDevice::linkLostDetected);
        QCOMPARE(dev->requestFirmwareVersion(), QString());
        QCOMPARE(dev->lastError, QString("Read Error!"));
        QVERIFY(!dev->isLinkLost()); // one time-out is no lost instrument
        dev->lastError.clear();
        QVERIFY(!dev->controlReadTransfer('u', 0, 14));
        QCOMPARE(dev->lastError, QString("Read Error!"));
        QVERIFY(dev->isLinkLost());
        QVERIFY(dev->linkLoss() == LibUsbDevice::LinkLoss::NotResponding);
        QCOMPARE(lost.count(), 1);
        sim::clearCommandLog();
        dev->controlWriteTransfer(12, 4);
        dev->forceTrigger();
        QVERIFY(sim::commandLog().isEmpty());
    }

    // A request that succeeds between two time-outs starts the count again.
    void timeOutsCountOnlyInARow()
    {
        QVERIFY(connectUsb());
        sim::setControlTimeoutWait(5);
        sim::setControlTimeoutRequests("b");
        sim::setFault(sim::Fault::ControlTimeout);
        for (int i = 0; i < 5; ++i) {
            dev->controlWriteTransfer(12, quint8(i));
            QVERIFY(dev->readSettingsBlock());
        }
        QVERIFY(!dev->isLinkLost());
        dev->controlWriteTransfer(12, 1);
        dev->controlWriteTransfer(12, 2);
        QVERIFY(dev->linkLoss() == LibUsbDevice::LinkLoss::NotResponding);
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
            dev->controlWriteTransfer(0, quint8(i));
        const qint64 blocked = clock.elapsed();
        QVERIFY(dev->isLinkLost());
        QVERIFY2(blocked >= 2 * int(LibUsbDevice::controlTimeoutMs), qPrintable(QString::number(blocked)));
        QVERIFY2(blocked < 2 * int(LibUsbDevice::controlTimeoutMs) + 500,
                 qPrintable(QString::number(blocked)));
        QCOMPARE(sim::commandsWithLetter('b').size(), 2);
    }

    void commandsWhileNotConnectedAreDropped()
    {
        for (int i = 0; i < 6; ++i)
            QTest::ignoreMessage(QtDebugMsg, "Device not connected");
        unsigned char reply[4] = {};
        dev->controlWriteTransfer(12, 4);
        QVERIFY(!dev->controlReadTransfer('u', 0, 14));
        QCOMPARE(dev->requestFirmwareVersion(), QString());
        QCOMPARE(dev->requestMM(reply), -1);
        dev->saveDeviceSettings();
        dev->asyncBulkReadTransfer();
        QVERIFY(sim::commandLog().isEmpty());
    }

    void openFailuresReportCannotOpen_data() { linkrows::openFailures(); }
    void openFailuresReportCannotOpen()
    {
        QFETCH(int, fault);
        sim::setFault(sim::Fault(fault));
        QSignalSpy status(&dev->serialLink, &SerialPortConnection::connectionStatus);
        QVERIFY(!connectUsb());
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(), QString("Cannot open device"));
        QCOMPARE(dev->lastError, QString("Cannot open device!"));
        QVERIFY(!dev->handle);
        QVERIFY(!sim::deviceOpen());
        QVERIFY(!sim::interfaceClaimed());
        // A later attempt works once the instrument is fine.
        sim::clearFaults();
        dev->closeDevice();
        dev->reset();
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
        QCOMPARE(dev->copyLatestFrame(nullptr, 0), 0);
        unsigned char frame[LibUsbDevice::rxBufferSize];
        QCOMPARE(dev->copyLatestFrame(frame, sizeof frame), 0); // nothing yet
        dev->asyncBulkReadTransfer();
        QCOMPARE(takeFrames(5, false), 5);
        QTRY_VERIFY(dev->dataReady.load());
        QCOMPARE(dev->copyLatestFrame(frame, sizeof frame), 770);
        QCOMPARE(dev->rxLength.load(), 770);
    }

    // The arrival signal comes once for each frame the consumer takes: not
    // again while a published frame waits, and again for the first frame
    // after the consumer took one.
    void arrivalIsSignalledOncePerTakenFrame()
    {
        QVERIFY(connectUsb());
        int arrivals = 0; // counted on this thread, as the window takes them
        connect(dev, &LibUsbDevice::frameArrived, this, [&arrivals] { ++arrivals; }, Qt::QueuedConnection);
        dev->asyncBulkReadTransfer();
        QTRY_VERIFY(dev->dataReady.load());
        const quint64 first = sim::framesDelivered();
        QTRY_VERIFY(sim::framesDelivered() >= first + 5); // published over the waiting one
        QCoreApplication::processEvents();
        QCOMPARE(arrivals, 1);
        dev->dataReady.exchange(false);
        QTRY_COMPARE(arrivals, 2);
        QVERIFY(dev->dataReady.load());
    }

    // Every frame the consumer copies is one whole frame, and never an older
    // one than the frame before it, with the instrument at its fastest.
    void noFrameIsTorn()
    {
        sim::setFrameStamping(true);
        sim::setFrameRate(0);
        QVERIFY(connectUsb());
        dev->asyncBulkReadTransfer();
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
            dev->asyncBulkReadTransfer();
            QCOMPARE(takeFrames(50 + cycle * 10, true), 50 + cycle * 10);
            dev->closeDevice();
            QVERIFY(!dev->eventFuture.isRunning());
            QCOMPARE(sim::transfersInFlight(), 0);
            QVERIFY(!sim::deviceOpen());
            dev->reset();
        }
        QCOMPARE(sim::commandsWithLetter('d').size(), 20);
    }

    void smallCopyTakesWhatFits()
    {
        sim::setFrameStamping(true);
        QVERIFY(connectUsb());
        dev->asyncBulkReadTransfer();
        QTRY_VERIFY(dev->dataReady.load());
        unsigned char part[100];
        QCOMPARE(dev->copyLatestFrame(part, sizeof part), 770);
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
        dev->asyncBulkReadTransfer();
        static unsigned char frame[LibUsbDevice::rxBufferSize];
        int taken = 0;
        QElapsedTimer guard;
        guard.start();
        while (taken < 300 && guard.elapsed() < 30000) {
            if (!dev->dataReady.exchange(false)) {
                QThread::yieldCurrentThread();
                continue;
            }
            const int n = dev->copyLatestFrame(frame, sizeof frame);
            QCOMPARE(n, 770);
            QVERIFY(sim::checkStampedFrame(frame, n));
            ++taken;
        }
        QCOMPARE(taken, 300);
        QTRY_VERIFY(dev->droppedFrames() >= quint64(300 / every - 2));
        QVERIFY(!dev->isLinkLost());
    }

    // Wrong lengths only: more than 100 in a row are a lost link.
    void onlyWrongLengthsLoseTheLink()
    {
        sim::setFrameRate(0);
        sim::setWrongLengthFrames(1, 400);
        QVERIFY(connectUsb());
        QSignalSpy lost(dev, &LibUsbDevice::linkLostDetected);
        dev->asyncBulkReadTransfer();
        QVERIFY(lost.wait(5000));
        QVERIFY(dev->linkLoss() == LibUsbDevice::LinkLoss::Gone);
        QCOMPARE(dev->droppedFrames(), quint64(101));
        QCOMPARE(dev->copyLatestFrame(nullptr, 0), 0);
        QVERIFY(!dev->dataReady.load());
    }

    // The sniffer's frames are whole frames too.
    void snifferFramesPass()
    {
        sim::setFrameRate(0);
        sim::setWrongLengthFrames(1, LibUsbDevice::snifferFrameMinSize);
        QVERIFY(connectUsb());
        dev->asyncBulkReadTransfer();
        QTRY_VERIFY(dev->dataReady.load());
        unsigned char frame[LibUsbDevice::rxBufferSize];
        QCOMPARE(dev->copyLatestFrame(frame, sizeof frame), LibUsbDevice::snifferFrameMinSize);
        QCOMPARE(dev->droppedFrames(), quint64(0));
    }

    void closingStoresSettingsAndReleases()
    {
        for (int cycle = 0; cycle < 3; ++cycle) {
            sim::setFrameRate(cycle == 0 ? 60 : 0);
            QVERIFY(connectUsb());
            dev->asyncBulkReadTransfer();
            QTRY_VERIFY(sim::framesDelivered() > 2);
            sim::clearCommandLog();
            dev->closeDevice();
            QVERIFY(!dev->connected);
            QVERIFY(!dev->eventFuture.isRunning());
            QCOMPARE(sim::transfersInFlight(), 0);
            QVERIFY(!sim::interfaceClaimed());
            QVERIFY(!sim::deviceOpen());
            QCOMPARE(sim::commandsWithLetter('d').size(), 1);
            // No frame is received once closed.
            const quint64 delivered = sim::framesDelivered();
            dev->reset();
            QCOMPARE(sim::framesDelivered(), delivered);
            QCOMPARE(dev->copyLatestFrame(nullptr, 0), 0);
        }
    }

    void closeWithoutConnectionEndsTheLibrary()
    {
        dev->initializeDevice();
        QVERIFY(dev->initialized);
        QVERIFY(dev->context);
        dev->closeDevice();
        QVERIFY(!dev->context);
        QVERIFY(sim::commandLog().isEmpty());
    }

    void unplugMidStreamIsDetected()
    {
        QVERIFY(connectUsb());
        dev->asyncBulkReadTransfer();
        QTRY_VERIFY(sim::framesDelivered() > 2);
        QSignalSpy lost(dev, &LibUsbDevice::linkLostDetected);
        sim::unplug();
        QVERIFY(lost.wait(5000));
        QVERIFY(dev->isLinkLost());
        sim::clearCommandLog();
        dev->dropLostLink();
        QVERIFY(!dev->connected);
        QVERIFY(!dev->eventFuture.isRunning());
        QVERIFY(!sim::deviceOpen());
        QVERIFY(sim::commandsWithLetter('d').isEmpty());
        QCOMPARE(lost.count(), 1);

        // Plugged back in: the next connection streams again.
        sim::clearFaults();
        dev->reset();
        QVERIFY(!dev->isLinkLost());
        QVERIFY(connectUsb());
        dev->asyncBulkReadTransfer();
        QCOMPARE(takeFrames(3, false), 3);
    }

    void unplugWhileIdleIsDetectedByTheNextRequest()
    {
        QVERIFY(connectUsb());
        QSignalSpy lost(dev, &LibUsbDevice::linkLostDetected);
        sim::unplug();
        dev->controlWriteTransfer(12, 1);
        QCOMPARE(lost.count(), 1);
        QVERIFY(dev->isLinkLost());
        dev->forceTrigger();
        QCOMPARE(lost.count(), 1); // reported once
    }

    void customWaveGoesOut()
    {
        QVERIFY(connectUsb());
        QByteArray wave(256, 0);
        for (int i = 0; i < 256; ++i) {
            wave[i] = char(i - 128);
            dev->awgBuffer[i] = static_cast<signed char>(i - 128);
        }
        dev->awgBulkWriteTransfer();
        QVERIFY(sim::waitForCommand('l'));
        QCOMPARE(sim::customWave(), wave);
    }
};

QUORVEL_CORE_TEST_MAIN(TestUsbLink)
#include "test_usb_link.moc"
