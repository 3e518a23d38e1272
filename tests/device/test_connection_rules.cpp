// The rules of connecting that need no window: which serial ports are
// offered, the port a list entry names, and the firmware comparison.

#include "device/connectionrules.h"
#include "quorveltest.h"

class TestConnectionRules : public QObject
{
    Q_OBJECT

private slots:
    void portFilter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("offered");
        QTest::newRow("bluetooth") << "bluetooth-Incoming-Port" << true;
        QTest::newRow("mixed case") << "BlueTooth-Modem" << true;
        QTest::newRow("upper case") << "BLUETOOTH" << true;
        QTest::newRow("rfcomm") << "rfcomm0" << true;
        QTest::newRow("RFCOMM") << "RFCOMM1" << true;
        QTest::newRow("usb serial") << "ttyUSB0" << false;
        QTest::newRow("onboard") << "ttyS0" << false;
        QTest::newRow("bluetooth inside") << "cu.bluetooth" << false;
        QTest::newRow("leading blank") << " bluetooth" << false;
        QTest::newRow("too short") << "bluetoot" << false;
        QTest::newRow("empty") << "" << false;
    }
    void portFilter()
    {
        QFETCH(QString, name);
        QFETCH(bool, offered);
        QCOMPARE(connection::isOfferedPort(name), offered);
    }

    // An entry is "name: description"; the port is what comes before the
    // first ": ", and an entry built from a name gives that name back.
    void portNames_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("port");
        QTest::newRow("name and description") << "rfcomm0: Quorvel"
                                              << "rfcomm0";
        QTest::newRow("empty description") << "rfcomm0: "
                                           << "rfcomm0";
        QTest::newRow("description with a colon") << "rfcomm1: link: 2"
                                                  << "rfcomm1";
        QTest::newRow("no separator") << "/dev/rfcomm0"
                                      << "/dev/rfcomm0";
        QTest::newRow("colon without blank") << "COM3:x"
                                             << "COM3:x";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("separator first") << ": lone"
                                         << "";
    }
    void portNames()
    {
        QFETCH(QString, entry);
        QFETCH(QString, port);
        QCOMPARE(connection::portNameOfEntry(entry), port);
        QCOMPARE(connection::portNameOfEntry(connection::portListEntry(port, "any: thing")), port);
    }

    void firmwareComparison_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<bool>("older");
        QTest::newRow("older") << "2.30"
                               << "2.37" << true;
        QTest::newRow("same") << "2.37"
                              << "2.37" << false;
        QTest::newRow("2.4 is newer than 2.37") << "2.4"
                                                << "2.37" << false;
        QTest::newRow("padded") << "2.4 "
                                << "2.37" << false;
        QTest::newRow("newer") << "3.00"
                               << "2.37" << false;
        QTest::newRow("no number counts as 0") << "beta"
                                               << "2.37" << true;
        QTest::newRow("empty counts as 0") << ""
                                           << "2.37" << true;
        QTest::newRow("latest no number") << "2.30"
                                          << "x" << false;
    }
    void firmwareComparison()
    {
        QFETCH(QString, current);
        QFETCH(QString, latest);
        QFETCH(bool, older);
        QCOMPARE(connection::firmwareOlderThan(current, latest), older);
    }

    // What a serial version reply must look like to be shown as one.
    void versionReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("version");
        QTest::newRow("2.37") << QByteArray("2.37") << true;
        QTest::newRow("padded with a blank") << QByteArray("2.4 ") << true;
        QTest::newRow("padded with a zero byte") << QByteArray("2.4\0", 4) << true;
        QTest::newRow("one digit after the dot, short") << QByteArray("3.1") << true;
        QTest::newRow("shifted by a junk byte after") << QByteArray(".37\xEE") << false;
        QTest::newRow("shifted by a junk byte before") << QByteArray("\xA5" "2.3") << false;
        QTest::newRow("no digit after the dot") << QByteArray("2.  ") << false;
        QTest::newRow("blank before a digit") << QByteArray("2. 3") << false;
        QTest::newRow("digit after padding") << QByteArray("2.3 7") << false;
        QTest::newRow("no dot") << QByteArray("2037") << false;
        QTest::newRow("letters") << QByteArray("beta") << false;
        QTest::newRow("too short") << QByteArray("2.") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void versionReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, version);
        QCOMPARE(connection::isVersionReply(reply.constData(), reply.size()), version);
    }

    // What the window and the command line say when a link is given up.
    void linkLostTexts()
    {
        QCOMPARE(QString(connection::linkLostText(true, false)), QString("Device disconnected"));
        QCOMPARE(QString(connection::linkLostText(false, false)), QString("Port is busy or unreachable."));
        QCOMPARE(QString(connection::linkLostText(true, true)), QString("Device not responding"));
        QCOMPARE(QString(connection::linkLostText(false, true)), QString("Device not responding"));
    }
};

QUORVEL_CORE_TEST_MAIN(TestConnectionRules)
#include "test_connection_rules.moc"
