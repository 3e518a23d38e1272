// Cases that hold on both wires of the instrument link, run as one table over
// the simulated instrument's libusb wire and its pseudo-terminal wire.

#include "device/commandset.h"
#include "device/libusbdevice.h"
#include "linkrows.h"
#include "quorveltest.h"
#include "simcontrol.h"

namespace sim = quorvelsim;

class TestLinkWires : public QObject
{
    Q_OBJECT

private:
    LibUsbDevice *dev = nullptr;

    // Connects over the wire the row's tag starts with ("usb" or "serial").
    bool connectWire()
    {
        const bool usb = QByteArray(QTest::currentDataTag()).startsWith("usb");
        dev->usbMode = usb;
        dev->initializeDevice();
        if (usb) {
            dev->openDevice(QString());
        } else {
            const QString path = sim::startPtyWire();
            if (path.isEmpty())
                return false;
            dev->openDevice(path);
            if (!sim::waitForCommand(char(command::StreamOff)))
                return false;
        }
        sim::clearCommandLog();
        return dev->connected;
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
        sim::stopPtyWire();
    }

    // The version is the instrument's four bytes as characters, whatever
    // they say, and asking for it sends nothing else.
    void firmwareVersion_data()
    {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QString>("expected");
        linkrows::firmwareVersions("usb");
        linkrows::firmwareVersions("serial");
    }
    void firmwareVersion()
    {
        QFETCH(QByteArray, firmware);
        QFETCH(QString, expected);
        sim::setFirmwareVersion(firmware);
        QVERIFY(connectWire());
        QCOMPARE(dev->requestFirmwareVersion(), expected);
        QVERIFY(sim::waitForCommand('a'));
        const QVector<sim::Command> log = sim::commandLog();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.at(0).letter, 'a');
        QVERIFY(!dev->isLinkLost());
    }
};

QUORVEL_CORE_TEST_MAIN(TestLinkWires)
#include "test_link_wires.moc"
