// quorvel-cli decode against the demo's simulated instrument: its bus traffic
// decodes to the bytes the instrument put on the lines, and a decoder the
// program cannot run ends the command before anything reaches the instrument.

#include "bustraffic.h"
#include "quorveltest.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Result
{
    int code = -1;
    QByteArray out, err, simLog;
};

Result runDemo(const QStringList &arguments)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("sim.log");
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QString::fromUtf8(QUORVEL_CLI_DEMO), QStringList{"--sim-log", log} + arguments);
    Result r;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    QFile file(log);
    if (file.open(QIODevice::ReadOnly))
        r.simLog = file.readAll();
    return r;
}

// CSV lines of one row (columns frame,start_s,end_s,decoder,row,text).
QList<QList<QByteArray>> rowsNamed(const QByteArray &csv, const QByteArray &row)
{
    QList<QList<QByteArray>> out;
    for (const QByteArray &line : csv.split('\n')) {
        const QList<QByteArray> f = line.split(',');
        if (f.size() == 6 && f[4] == row)
            out.append(f);
    }
    return out;
}

} // namespace

class TestCliDecode : public QObject
{
    Q_OBJECT
private slots:
    void uartBytesOfTheDemo()
    {
        // The demo's UART runs at the sniffer page's rate, 9600 Bd from the factory.
        const Result r = runDemo({"decode", "--protocol", "uart:rx=2:tx=3:baudrate=9600", "--timebase", "128us",
                                  "--trigger-source", "bit2", "--trigger-mode", "normal", "--frames", "4"});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(r.out.startsWith("frame,start_s,end_s,decoder,row,text\n"));
        const auto rx = rowsNamed(r.out, "RX");
        QVERIFY2(!rx.isEmpty(), r.out.constData());
        // Each frame starts at the message's first byte: 'T', then digits.
        const QByteArray message = quorvelsim::BusTraffic::uartMessage(0);
        QSet<QByteArray> framesWithT;
        for (const auto &f : rx) {
            QCOMPARE(f[3], QByteArray("uart"));
            if (f[5] == "Start bit" || f[5] == "Stop bit")
                continue;
            QCOMPARE(f[5].size(), 2); // the data bytes, in hex
            const char byte = char(f[5].toUInt(nullptr, 16));
            if (byte == message[0])
                framesWithT.insert(f[0]);
            else
                QVERIFY2(std::isdigit(uchar(byte)) || byte == '\r' || byte == '\n', f.join(',').constData());
            QVERIFY(f[1].toDouble() < f[2].toDouble());
            // A bit is read at its middle, so an annotation ends at most half a
            // bit after the frame's 2048 µs.
            QVERIFY2(f[2].toDouble() <= 2048e-6 + 0.5 / 9600, f.join(',').constData());
        }
        QCOMPARE(framesWithT.size(), 4);
    }

    void refusedBeforeTheInstrument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("named"); // an accepted value the error lists
        QTest::newRow("unknown decoder") << QStringList{"--protocol", "uartt:rx=2"} << QByteArray("uart");
        QTest::newRow("unknown channel") << QStringList{"--protocol", "uart:rxd=2"} << QByteArray("rx");
        QTest::newRow("bad option value") << QStringList{"--protocol", "uart:rx=2:parity=maybe"} << QByteArray("even");
        QTest::newRow("bad time base") << QStringList{"--protocol", "uart:rx=2", "--timebase", "3us"} << QByteArray("8");
        QTest::newRow("no protocol") << QStringList{} << QByteArray("--list-protocols");
    }
    void refusedBeforeTheInstrument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, named);
        const Result r = runDemo(QStringList{"decode"} + arguments);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(named), r.err.constData());
        QVERIFY(r.out.isEmpty());
        QVERIFY2(!r.simLog.contains("command "), r.simLog.constData());
    }

    void listsProtocols()
    {
        const Result r = runDemo({"decode", "--list-protocols"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("\nuart,UART,"));
        QVERIFY(r.out.contains("parity=none (none|odd|even"));
        QVERIFY(r.out.contains("\ni2c,"));
        QVERIFY(!r.simLog.contains("command "));
    }
};

QUORVEL_CORE_TEST_MAIN(TestCliDecode)
#include "test_cli_decode.moc"
