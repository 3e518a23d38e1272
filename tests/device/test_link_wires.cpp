// Cases that hold on both wires of the instrument link, run as one table over
// the simulated instrument's libusb wire and its pseudo-terminal wire.

#include "device/commandset.h"
#include "device/instrumentlink.h"
#include "linkrows.h"
#include "quorveltest.h"
#include "simcontrol.h"

namespace sim = quorvelsim;

class TestLinkWires : public QObject
{
    Q_OBJECT

private:
    InstrumentLink *link = nullptr;

    // Connects over the wire the row's tag starts with ("usb" or "serial").
    bool connectWire()
    {
        const bool usb = QByteArray(QTest::currentDataTag()).startsWith("usb");
        if (usb) {
            if (!link->open(InstrumentLink::Wire::Usb))
                return false;
        } else {
            const QString path = sim::startPtyWire();
            if (path.isEmpty())
                return false;
            if (!link->open(InstrumentLink::Wire::Serial, path))
                return false;
            if (!sim::waitForCommand(char(command::StreamOff)))
                return false;
        }
        sim::clearCommandLog();
        return link->isConnected() && link->isUsb() == usb;
    }

private slots:
    void init()
    {
        sim::reset();
        link = new InstrumentLink;
    }

    void cleanup()
    {
        link->close();
        delete link;
        link = nullptr;
        sim::stopPtyWire();
    }

    // The version is the instrument's four bytes as characters (over the
    // serial link only when they read as a version), and asking for it sends
    // nothing else.
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
        QCOMPARE(link->firmwareVersion(), expected);
        QVERIFY(sim::waitForCommand('a'));
        const QVector<sim::Command> log = sim::commandLog();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.at(0).letter, 'a');
        QVERIFY(!link->isLinkLost());
    }
};

QUORVEL_CORE_TEST_MAIN(TestLinkWires)
#include "test_link_wires.moc"
