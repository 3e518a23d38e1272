// The window's connection management against the simulated instrument: the
// start-up connect over USB, the firmware check, disconnecting and closing,
// every failure a user can meet, an instrument unplugged mid-stream, and the
// serial transport over the simulator's pseudo-terminal wire.

#include "app/quorvelinterface.h"
#include "device/serialportconnection.h"
#include "linkrows.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include <qcustomplot.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace sim = quorvelsim;

namespace {
const QString titleNotConnected = "Halvorine Ombrix Interface - Not Connected";
const QString titleUsb = "Halvorine Ombrix Interface - USB Connected";
const QString titleSerial = "Halvorine Ombrix Interface - Serial port Connected";

QByteArray letters(const QVector<sim::Command> &log, sim::Wire wire)
{
    QByteArray out;
    for (const sim::Command &c : log)
        if (c.wire == wire)
            out.append(c.letter);
    return out;
}

bool samePixmap(const QLabel *label, const char *resource)
{
    const QPixmap shown = label->pixmap(Qt::ReturnByValue);
    return !shown.isNull() && shown.toImage() == QPixmap(resource).toImage();
}
} // namespace

class TestConnectionWindow : public QObject
{
    Q_OBJECT

private:
    QuorvelInterface *window = nullptr;
    QTimer boxCloser;
    QStringList boxesSeen; // "title|text" of every modal box the window showed

    template <typename T> T *child(const char *name)
    {
        T *w = window->findChild<T *>(name);
        if (!w)
            qFatal("form object %s missing", name);
        return w;
    }
    QString info() { return child<QLabel>("infoLabel")->text(); }
    // The simulated instrument's factory time-out lies below the window's
    // time-out box: the first connect writes the box's value back and says so.
    const QString factoryWriteBack = QStringLiteral("Shown clamped and written back: M 28 Trigger Timeout");
    QString connectLabel() { return child<QLabel>("connectLabel")->text(); }
    QAbstractButton *connectButton() { return child<QAbstractButton>("connectButton"); }
    bool windowEnabled() { return child<QWidget>("centralWidget")->isEnabled(); }

    void openWindow()
    {
        window = new QuorvelInterface;
        window->show();
    }
    // Start-up connect fails on purpose, so a test can pick the transport.
    void openWindowWithoutInstrument()
    {
        sim::setFault(sim::Fault::NoDevice);
        openWindow();
        QTRY_COMPARE(info(), QString("Cannot open device"));
        sim::clearFaults();
    }
    void chooseSerialPort(const QString &entry)
    {
        child<QRadioButton>("radioButton")->click();
        QComboBox *ports = child<QComboBox>("comboBox_9");
        ports->clear();
        if (!entry.isEmpty())
            ports->addItem(entry);
    }

    SerialPortConnection *serialLink()
    {
        auto *link = window->findChild<SerialPortConnection *>();
        if (!link)
            qFatal("serial link not found");
        return link;
    }
    quint64 framesDrawn() { return window->property("framesProcessed").toULongLong(); }
    void connectSerial(const QString &path)
    {
        chooseSerialPort(path + ": simulated instrument");
        connectButton()->click();
    }

    void checkNotConnectedState(bool serialChosen)
    {
        QCOMPARE(window->windowTitle(), titleNotConnected);
        QCOMPARE(connectLabel(), QString("Not Connected"));
        QCOMPARE(connectButton()->text(), QString("Connect"));
        QVERIFY(samePixmap(child<QLabel>("connectIcon"), ":/Bitmaps/Bitmaps/led-off.png"));
        QVERIFY(child<QWidget>("radioButton")->isEnabled());
        QVERIFY(child<QWidget>("radioButton_2")->isEnabled());
        QCOMPARE(child<QWidget>("rescanButton")->isEnabled(), serialChosen);
        QCOMPARE(child<QLineEdit>("currentFirwareVersion")->text(), QString());
        QVERIFY(windowEnabled());
    }

private slots:
    void initTestCase()
    {
        // Closes every modal box the window opens and remembers what it said.
        boxCloser.setInterval(20);
        connect(&boxCloser, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxesSeen << box->windowTitle() + "|" + box->text();
                box->done(QMessageBox::Ok);
            }
        });
        boxCloser.start();
    }

    void init()
    {
        sim::reset();
        boxesSeen.clear();
    }

    void cleanup()
    {
        if (window) {
            window->close();
            delete window;
            window = nullptr;
        }
        sim::stopPtyWire();
    }

    void startUpConnectsOverUsb()
    {
        openWindow();
        QTRY_COMPARE(window->windowTitle(), titleUsb);
        QCOMPARE(connectLabel(), QString("USB Connected"));
        QCOMPARE(connectButton()->text(), QString("Close connection"));
        QCOMPARE(child<QLineEdit>("currentFirwareVersion")->text(), QString("2.37"));
        QVERIFY(samePixmap(child<QLabel>("connectIcon"), ":/Bitmaps/Bitmaps/led-on.png"));
        QVERIFY(!child<QWidget>("radioButton")->isEnabled());
        QVERIFY(!child<QWidget>("radioButton_2")->isEnabled());
        QVERIFY(!child<QWidget>("rescanButton")->isEnabled());
        QCOMPARE(info(), factoryWriteBack);
        QVERIFY(windowEnabled());
        QVERIFY(boxesSeen.isEmpty());

        // The version first, then the settings block.
        const QByteArray usb = letters(sim::commandLog(), sim::Wire::Usb);
        QVERIFY2(usb.startsWith("au"), usb.constData());

        // Frames flow.
        const quint64 before = sim::framesDelivered();
        QTRY_VERIFY(sim::framesDelivered() > before + 5);
    }

    void firmwareCheck_data()
    {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<bool>("warned");
        QTest::newRow("older") << QByteArray("2.30") << true;
        QTest::newRow("same as latest") << QByteArray("2.37") << false;
        QTest::newRow("2.4 is newer than 2.37") << QByteArray("2.4") << false;
        QTest::newRow("no number") << QByteArray("beta") << true;
    }
    void firmwareCheck()
    {
        QFETCH(QByteArray, firmware);
        QFETCH(bool, warned);
        sim::setFirmwareVersion(firmware);
        openWindow();
        QTRY_COMPARE(window->windowTitle(), titleUsb);
        if (warned)
            QCOMPARE(boxesSeen, QStringList{"Upgrade Firmware|Please upgrade your device firmware"});
        else
            QVERIFY(boxesSeen.isEmpty());
        QCOMPARE(child<QLineEdit>("currentFirwareVersion")->text().trimmed(), QString::fromLatin1(firmware));
    }

    // A version request that fails is no old firmware: the window says it
    // could not read the version instead of asking for an upgrade, and the
    // connection goes on.
    void failedVersionRequestShowsText()
    {
        sim::setControlTimeoutWait(5);
        sim::setControlTimeoutRequests("a");
        sim::setFault(sim::Fault::ControlTimeout);
        openWindow();
        QTRY_COMPARE(window->windowTitle(), titleUsb);
        QVERIFY(boxesSeen.isEmpty());
        QCOMPARE(info(), QString("Could not read the firmware version"));
        QCOMPARE(child<QLineEdit>("currentFirwareVersion")->text(), QString());
        QVERIFY(windowEnabled());
        const quint64 before = sim::framesDelivered();
        QTRY_VERIFY(sim::framesDelivered() > before + 5);
    }

    // An instrument that stops answering control requests ends the
    // connection the way an unplug does, after two time-outs: the window is
    // held for about 2 s in all however many controls move, and works on.
    void unresponsiveInstrumentEndsTheConnection()
    {
        openWindow();
        QTRY_COMPARE(window->windowTitle(), titleUsb);
        QTRY_VERIFY(framesDrawn() > 0);
        // Only the writes tried against the silent instrument count here; the
        // connect may have written a value the window had to clamp.
        sim::clearCommandLog();
        sim::setFault(sim::Fault::ControlTimeout); // the real 1 s time-out
        QSlider *timeBase = child<QSlider>("samplingSlider");
        QElapsedTimer clock;
        clock.start();
        for (int moves = 0; moves < 12; ++moves)
            timeBase->setValue(timeBase->value() == 3 ? 4 : 3);
        QTRY_COMPARE(info(), QString("Device not responding"));
        const qint64 held = clock.elapsed();
        QVERIFY2(held < 2500, qPrintable(QString::number(held)));
        checkNotConnectedState(false);
        QCOMPARE(sim::commandsWithLetter('b').size(), 2);
        QVERIFY(!sim::deviceOpen());

        clock.restart();
        sim::clearFaults();
        connectButton()->click();
        QCOMPARE(window->windowTitle(), titleUsb);
        QCOMPARE(info(), QString());
        const quint64 before = sim::framesDelivered();
        QTRY_VERIFY(sim::framesDelivered() > before + 5);
    }

    // Silent from the start: the version request and the settings read time
    // out, and the connect ends there.
    void unresponsiveAtConnect()
    {
        sim::setFault(sim::Fault::ControlTimeout);
        QElapsedTimer clock;
        clock.start();
        openWindow();
        QTRY_COMPARE(info(), QString("Device not responding"));
        QVERIFY2(clock.elapsed() < 3500, qPrintable(QString::number(clock.elapsed())));
        checkNotConnectedState(false);
        QVERIFY(boxesSeen.isEmpty());
        QVERIFY(!sim::deviceOpen());
    }

    // Transfers of the wrong length are never drawn; a stream of nothing
    // else is a lost link.
    void wrongLengthFramesAreNotDrawn_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("short") << 400;
        QTest::newRow("long") << 900;
    }
    void wrongLengthFramesAreNotDrawn()
    {
        QFETCH(int, length);
        sim::setFrameRate(0);
        sim::setWrongLengthFrames(1, length);
        openWindow();
        QTRY_COMPARE(info(), QString("Device disconnected"));
        QCOMPARE(framesDrawn(), quint64(0));
        QCOMPARE(child<QCustomPlot>("plotterWidget")->graph(0)->dataCount(), 0);
        checkNotConnectedState(false);
    }

    void disconnectStoresSettingsFirst()
    {
        openWindow();
        QTRY_COMPARE(window->windowTitle(), titleUsb);
        int storesWhenShownDisconnected = -1;
        const auto watch = connect(window, &QWidget::windowTitleChanged, this, [&](const QString &title) {
            if (title == titleNotConnected)
                storesWhenShownDisconnected = sim::commandsWithLetter('d').size();
        });
        connectButton()->click();
        disconnect(watch);
        QCOMPARE(storesWhenShownDisconnected, 1);
        checkNotConnectedState(false);
        QVERIFY(!sim::deviceOpen());
        QCOMPARE(sim::transfersInFlight(), 0);

        // And connects again.
        connectButton()->click();
        QCOMPARE(window->windowTitle(), titleUsb);
        const quint64 before = sim::framesDelivered();
        QTRY_VERIFY(sim::framesDelivered() > before + 5);
    }

    void closingWhileConnectedStoresSettings_data()
    {
        QTest::addColumn<double>("framesPerSecond");
        QTest::newRow("60 frames/s") << 60.0;
        QTest::newRow("as fast as they are taken") << 0.0;
    }
    void closingWhileConnectedStoresSettings()
    {
        QFETCH(double, framesPerSecond);
        sim::setFrameRate(framesPerSecond);
        openWindow();
        QTRY_COMPARE(window->windowTitle(), titleUsb);
        QTRY_VERIFY(sim::framesDelivered() > 20);
        QVERIFY(sim::commandsWithLetter('d').isEmpty());
        window->close();
        QCOMPARE(sim::commandsWithLetter('d').size(), 1);
        QVERIFY(!sim::deviceOpen());
        QCOMPARE(sim::transfersInFlight(), 0);
    }

    void usbFailuresLeaveAUsableWindow_data() { linkrows::openFailures(); }
    void usbFailuresLeaveAUsableWindow()
    {
        QFETCH(int, fault);
        sim::setFault(sim::Fault(fault));
        openWindow();
        QTRY_COMPARE(info(), QString("Cannot open device"));
        checkNotConnectedState(false);
        QVERIFY(!sim::interfaceClaimed());

        sim::clearFaults();
        connectButton()->click();
        QCOMPARE(window->windowTitle(), titleUsb);
        QCOMPARE(info(), factoryWriteBack);
    }

    void unplugMidStream_data()
    {
        QTest::addColumn<double>("framesPerSecond");
        QTest::newRow("60 frames/s") << 60.0;
        QTest::newRow("as fast as they are taken") << 0.0;
    }
    void unplugMidStream()
    {
        QFETCH(double, framesPerSecond);
        sim::setFrameRate(framesPerSecond);
        openWindow();
        QTRY_COMPARE(window->windowTitle(), titleUsb);
        QTRY_VERIFY(sim::framesDelivered() > 5);
        sim::unplug();
        QTRY_COMPARE(info(), QString("Device disconnected"));
        checkNotConnectedState(false);
        QVERIFY(!sim::deviceOpen());
        QVERIFY(sim::commandsWithLetter('d').isEmpty());

        // Plugged back in.
        sim::clearFaults();
        connectButton()->click();
        QCOMPARE(window->windowTitle(), titleUsb);
        QCOMPARE(info(), QString());
        const quint64 before = sim::framesDelivered();
        QTRY_VERIFY(sim::framesDelivered() > before + 5);
    }

    void usbIgnoresThePortList()
    {
        openWindowWithoutInstrument();
        child<QComboBox>("comboBox_9")->addItem("rfcomm9: nothing here");
        connectButton()->click();
        QCOMPARE(window->windowTitle(), titleUsb);
    }

    void serialConnectAndDisconnect()
    {
        const QString path = sim::startPtyWire();
        QVERIFY(!path.isEmpty());
        openWindowWithoutInstrument();
        chooseSerialPort(path + ": simulated instrument");
        sim::clearCommandLog();

        connectButton()->click();
        QCOMPARE(window->windowTitle(), titleSerial);
        QCOMPARE(connectLabel(), QString("Serial port Connected"));
        QCOMPARE(connectButton()->text(), QString("Close connection"));
        QCOMPARE(child<QLineEdit>("currentFirwareVersion")->text(), QString("2.37"));
        QVERIFY(!child<QWidget>("rescanButton")->isEnabled());
        QVERIFY(windowEnabled());
        QVERIFY(sim::waitForCommand('q'));
        // Stream off at open, version, settings read with the stream off and on around it.
        QCOMPARE(letters(sim::commandLog(), sim::Wire::Serial).left(5), QByteArray("papuq"));
        // The factory time-out lies below the window's shortest; the connect
        // writes the clamped value, which may still be on its way.
        QVERIFY(sim::waitForCommand('b'));
        QCOMPARE(int(sim::peekRegister(28)), 3);

        connectButton()->click();
        QVERIFY(sim::waitForCommand('d'));
        // Closing: stream off, then store (after whatever the connect wrote).
        const QByteArray serial = letters(sim::commandLog(), sim::Wire::Serial);
        QVERIFY2(serial.endsWith("pd"), serial.constData());
        QCOMPARE(serial.count('d'), 1);
        checkNotConnectedState(true);
    }

    // The version request and the settings read go unanswered, 1 s each:
    // the connect ends there.
    void serialSilentPortGivesUp()
    {
        const QString path = sim::startPtyWire();
        openWindowWithoutInstrument();
        sim::setFault(sim::Fault::SerialSilent);
        QElapsedTimer clock;
        clock.start();
        connectSerial(path); // blocks for two request bounds
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(info(), QString("Port is busy or unreachable."));
        checkNotConnectedState(true);
        // The window works on: a later connect succeeds.
        sim::clearFaults();
        connectButton()->click();
        QCOMPARE(window->windowTitle(), titleSerial);
    }

    // Bytes that are no reply do not spoil the connect: a junk byte ahead of
    // or after each reply, or an instrument still streaming from an earlier
    // session. The version and the settings shown are the instrument's.
    void serialConnectAfterStrayBytes_data()
    {
        QTest::addColumn<bool>("junkBeforeReply");
        QTest::addColumn<bool>("junkAfterReply");
        QTest::addColumn<bool>("streaming");
        QTest::newRow("junk byte before each reply") << true << false << false;
        QTest::newRow("junk byte after each reply") << false << true << false;
        QTest::newRow("junk bytes before and after each reply") << true << true << false;
        QTest::newRow("instrument streaming at connect") << false << false << true;
    }
    void serialConnectAfterStrayBytes()
    {
        QFETCH(bool, junkBeforeReply);
        QFETCH(bool, junkAfterReply);
        QFETCH(bool, streaming);
        const QString path = sim::startPtyWire();
        openWindowWithoutInstrument();
        if (streaming) {
            // An earlier session left the stream on.
            const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, "q", 1), ssize_t(1));
            ::close(fd);
            QVERIFY(sim::waitForCommand('q'));
        }
        sim::setFault(sim::Fault::SerialJunkBeforeReply, junkBeforeReply);
        sim::setFault(sim::Fault::SerialJunkAfterReply, junkAfterReply);
        connectSerial(path);
        QCOMPARE(window->windowTitle(), titleSerial);
        QCOMPARE(child<QLineEdit>("currentFirwareVersion")->text(), QString("2.37"));
        QCOMPARE(info(), factoryWriteBack);
        QVERIFY(boxesSeen.isEmpty());
        // The factory settings: 1 ms/div, CH2 at position 0, gains 3.
        QCOMPARE(child<QSlider>("samplingSlider")->value(), 7);
        QCOMPARE(child<QSlider>("ch2PositionSlider")->value(), 0);
        QCOMPARE(child<QSlider>("ch1GainSlider")->value(), 3);
        QCOMPARE(child<QSlider>("ch2GainSlider")->value(), 3);
        QTRY_VERIFY(framesDrawn() > 2);
    }

    // A settings reply that fails its sanity check is a failed read: the
    // window says so, decodes none of it, and stays connected.
    void serialSettingsOfTheWrongForm()
    {
        const QString path = sim::startPtyWire();
        openWindowWithoutInstrument();
        QSlider *gain = child<QSlider>("ch2GainSlider");
        const int gainBefore = gain->value();
        sim::pokeRegister(13, quint8(gainBefore == 5 ? 4 : 5)); // a plausible CH2 gain
        sim::pokeRegister(0, 22);                               // no time base
        connectSerial(path);
        QCOMPARE(window->windowTitle(), titleSerial);
        QCOMPARE(child<QLineEdit>("currentFirwareVersion")->text(), QString("2.37"));
        QCOMPARE(info(), QString("Could not read the instrument's settings"));
        QCOMPARE(gain->value(), gainBefore);
        QVERIFY(windowEnabled());
    }

    // A silent instrument, or line noise that garbles every reply, on the
    // Meter page: each meter request waits at most its 1 s bound, and the
    // second one in a row without a usable reply ends the link with the
    // reason. A GUI-thread timer measures how long the window was held at a
    // time.
    void serialMeterPageWithoutUsableReplies_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("silent") << int(sim::Fault::SerialSilent) << QString("Device not responding");
        QTest::newRow("line noise") << int(sim::Fault::SerialNoise) << QString("Device replies garbled");
    }
    void serialMeterPageWithoutUsableReplies()
    {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        const QString path = sim::startPtyWire();
        openWindowWithoutInstrument();
        connectSerial(path);
        QCOMPARE(window->windowTitle(), titleSerial);
        child<QTabWidget>("mmTabWidget")->setCurrentIndex(0); // VPP: polled every 200 ms
        child<QTabWidget>("mainTabWidget")->setCurrentIndex(1);
        const int answered = sim::commandsWithLetter('m').size();
        QTRY_VERIFY(sim::commandsWithLetter('m').size() >= answered + 3);
        QCOMPARE(info(), factoryWriteBack);

        QElapsedTimer clock, sinceTick;
        qint64 longestGap = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestGap = qMax(longestGap, sinceTick.restart());
        });
        sim::setFault(sim::Fault(fault));
        clock.start();
        sinceTick.start();
        ticker.start(10);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), titleNotConnected, 15000);
        const qint64 ended = clock.elapsed();
        QCOMPARE(info(), reason);
        ticker.stop();
        longestGap = qMax(longestGap, sinceTick.elapsed());
        qInfo("link ended after %lld ms; the window was held %lld ms at most", ended, longestGap);
        QVERIFY2(longestGap <= 2000, qPrintable(QString::number(longestGap)));
        QVERIFY2(ended < 3500, qPrintable(QString::number(ended)));
        checkNotConnectedState(true);
    }

    // A stream that stops in mid-flow says so after 3 s of no complete
    // frame, stays connected, and takes the text back when frames return.
    void serialSilenceMidStream()
    {
        const QString path = sim::startPtyWire();
        openWindowWithoutInstrument();
        connectSerial(path);
        QCOMPARE(window->windowTitle(), titleSerial);
        QTRY_VERIFY(framesDrawn() > 2);
        sim::setFault(sim::Fault::SerialSilent);
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(info(), QString("No data from the instrument"), 6000);
        QVERIFY2(clock.elapsed() >= 2500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(window->windowTitle(), titleSerial);
        QVERIFY(windowEnabled());
        const quint64 drawn = framesDrawn();
        sim::clearFaults();
        QTRY_COMPARE(info(), QString());
        QTRY_VERIFY(framesDrawn() > drawn);
        QCOMPARE(window->windowTitle(), titleSerial);
    }

    void serialPortVanishes()
    {
        const QString path = sim::startPtyWire();
        openWindowWithoutInstrument();
        chooseSerialPort(path + ": simulated instrument");
        connectButton()->click();
        QCOMPARE(window->windowTitle(), titleSerial);
        sim::stopPtyWire();
        QTRY_COMPARE(info(), QString("Port is busy or unreachable."));
        checkNotConnectedState(true);
    }

    void serialWithoutPortFails()
    {
        openWindowWithoutInstrument();
        chooseSerialPort(QString());
        connectButton()->click();
        QCOMPARE(info(), QString("Port is busy or unreachable."));
        checkNotConnectedState(true);
    }

    void transportRadios()
    {
        openWindowWithoutInstrument();
        QComboBox *ports = child<QComboBox>("comboBox_9");
        QWidget *rescan = child<QWidget>("rescanButton");
        QVERIFY(!ports->isEnabled());
        QVERIFY(!rescan->isEnabled());
        child<QRadioButton>("radioButton")->click();
        QVERIFY(ports->isEnabled());
        QVERIFY(rescan->isEnabled());
        child<QRadioButton>("radioButton_2")->click();
        QVERIFY(!ports->isEnabled());
        QVERIFY(!rescan->isEnabled());
    }

    void rescanRefillsTheList()
    {
        openWindowWithoutInstrument();
        chooseSerialPort("stale: entry");
        child<QAbstractButton>("rescanButton")->click();
        QComboBox *ports = child<QComboBox>("comboBox_9");
        QCOMPARE(ports->findText("stale: entry"), -1);
        for (int i = 0; i < ports->count(); ++i) {
            const QString name = ports->itemText(i).toLower();
            QVERIFY(name.startsWith("bluetooth") || name.startsWith("rfcomm"));
        }
        QCOMPARE(info(), QString());
        QVERIFY(windowEnabled());
    }
};

QUORVEL_TEST_MAIN(TestConnectionWindow)
#include "test_connection_window.moc"
