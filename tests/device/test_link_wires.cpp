// Cases that hold on both wires of the instrument link, run as one table over
// the simulated instrument's libusb wire and its pseudo-terminal wire.

#include "device/commandset.h"
#include "device/instrumentlink.h"
#include "linkrows.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include <type_traits>

namespace sim = quorvelsim;

namespace {
// Nothing but the register writer writes a register: the link's instrument
// port (a register write, a frequency request) is out of everyone else's reach.
template <class T, class = void>
struct CanWriteRegister : std::false_type
{
};
template <class T>
struct CanWriteRegister<T, std::void_t<decltype(std::declval<T &>().writeRegister(quint16(0), quint8(0)))>>
    : std::true_type
{
};
template <class T, class = void>
struct CanRequestFrequency : std::false_type
{
};
template <class T>
struct CanRequestFrequency<
    T, std::void_t<decltype(std::declval<T &>().requestGeneratorFrequency(quint16(0), quint16(0)))>>
    : std::true_type
{
};
static_assert(!CanWriteRegister<InstrumentLink>::value, "only the register writer writes a register");
static_assert(!CanRequestFrequency<InstrumentLink>::value, "only the register writer requests a frequency");
static_assert(!std::is_convertible<InstrumentLink *, reg::InstrumentPort *>::value,
              "the link is an instrument port to the register writer alone");
} // namespace

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

    // A register write and a frequency request go through the writer to
    // the instrument in the wire's own form, and change it.
    void writerReachesTheInstrument_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("usb") << true;
        QTest::newRow("serial") << false;
    }
    void writerReachesTheInstrument()
    {
        QFETCH(bool, usb);
        QVERIFY(connectWire());
        QCOMPARE(link->isUsb(), usb);
        reg::RegisterWriter writer(link);
        writer.write(13, 6);
        QVERIFY(sim::waitForCommand('b'));
        QCOMPARE(int(sim::peekRegister(13)), 6);
        writer.requestFrequency(100000, 0x0001, 0x86A0);
        QVERIFY(sim::waitForCommand('c'));
        const sim::Command c = sim::commandsWithLetter('c').at(0);
        QCOMPARE(int(c.value), 0x0001);
        QCOMPARE(int(c.index), 0x86A0);
        QCOMPARE(writer.sentCount(), quint64(2));
    }
};

QUORVEL_CORE_TEST_MAIN(TestLinkWires)
#include "test_link_wires.moc"
