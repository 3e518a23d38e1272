// The custom waveform text: parsing into the 256-byte wave and reading files.
#include "quorveltest.h"

#include "instruments/customwave.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstring>

using customwave::parseCSV;

class TestCustomWave : public QObject
{
    Q_OBJECT

    static QByteArray filled(char byte) { return QByteArray(customwave::Samples, byte); }

private slots:
    // Each row: text, the bytes expected at the front, the count parsed. The
    // buffer starts as 0x55 everywhere, so what the text does not reach must
    // still read 0x55.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("front");
        QTest::addColumn<int>("count");
        QTest::newRow("CR-LF lines with an empty piece")
            << "1,2\r\n3,,4" << QByteArray("\x01\x02\x03\x04", 4) << 4;
        QTest::newRow("lone CR and LF") << "5\r6\n7" << QByteArray("\x05\x06\x07", 3) << 3;
        QTest::newRow("blanks around values") << "  -1 ,\t2 " << QByteArray("\xFF\x02", 2) << 2;
        QTest::newRow("not a number stores 0") << "abc,7" << QByteArray("\x00\x07", 2) << 2;
        QTest::newRow("decimal point stores 0") << "1.5,7" << QByteArray("\x00\x07", 2) << 2;
        QTest::newRow("hex stores 0") << "0x10,7" << QByteArray("\x00\x07", 2) << 2;
        QTest::newRow("200 keeps its low byte") << "200" << QByteArray("\xC8", 1) << 1;
        QTest::newRow("128 and -128 become 0x81") << "128,-128" << QByteArray("\x81\x81", 2) << 2;
        QTest::newRow("127 and -127") << "127,-127" << QByteArray("\x7F\x81", 2) << 2;
        QTest::newRow("16-bit bounds") << "32767,-32768" << QByteArray("\xFF\x00", 2) << 2;
        QTest::newRow("beyond 16 bits stores 0") << "32768,-32769" << QByteArray("\x00\x00", 2) << 2;
        QTest::newRow("384 is 0x80 too") << "384" << QByteArray("\x81", 1) << 1;
        QTest::newRow("empty text") << "" << QByteArray() << 0;
        QTest::newRow("only separators") << ",,\r\n,\n" << QByteArray() << 0;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, front);
        QFETCH(int, count);
        QByteArray wave = filled(0x55);
        QCOMPARE(parseCSV(text, reinterpret_cast<unsigned char *>(wave.data())), count);
        QCOMPARE(wave.left(front.size()), front);
        QCOMPARE(wave.mid(front.size()), filled(0x55).mid(front.size()));
    }

    void onlyTheFirst256ValuesAreUsed()
    {
        QStringList values;
        for (int i = 0; i < 300; ++i)
            values << QString::number(i % 100);
        QByteArray wave = filled(0x55);
        QCOMPARE(parseCSV(values.join(','), reinterpret_cast<unsigned char *>(wave.data())), 256);
        for (int i = 0; i < 256; ++i)
            QCOMPARE(int(quint8(wave[i])), i % 100);
    }

    void nullBufferParsesNothing() { QCOMPARE(parseCSV("1,2,3", nullptr), 0); }

    // The checked reading: a refused text names the line and the value and
    // leaves the buffer alone; an accepted one stores as parseCSV does.
    void checked_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count"); // 0: refused
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("value");
        QTest::newRow("decimal point") << "1.5,300,abc" << 0 << 1 << "1.5";
        QTest::newRow("above the range") << "1,2\n3,300" << 0 << 2 << "300";
        QTest::newRow("below the range") << "1\r\n2\r\n-128" << 0 << 3 << "-128";
        QTest::newRow("not a number on line 4") << "1\n\n2\nabc,5" << 0 << 4 << "abc";
        QTest::newRow("hex") << "0x10" << 0 << 1 << "0x10";
        QTest::newRow("no values") << ",,\n" << 0 << 0 << "";
        QTest::newRow("range ends") << "-127, 127 ,0" << 3 << 0 << "";
        QTest::newRow("lines and commas") << "1,2\r\n3\r4\n" << 4 << 0 << "";
    }
    void checked()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(int, line);
        QFETCH(QString, value);
        QByteArray wave = filled(0x55);
        const customwave::Checked c = customwave::parseChecked(text, reinterpret_cast<unsigned char *>(wave.data()));
        QCOMPARE(c.count, count);
        QCOMPARE(c.line, line);
        QCOMPARE(c.value, value);
        QCOMPARE(c.error.isEmpty(), count > 0);
        if (count == 0) {
            QCOMPARE(wave, filled(0x55));
            if (line > 0)
                QVERIFY2(c.error.contains(QStringLiteral("line %1").arg(line)) && c.error.contains(value),
                         qPrintable(c.error));
            return;
        }
        QByteArray expected = filled(0x55);
        QCOMPARE(parseCSV(text, reinterpret_cast<unsigned char *>(expected.data())), count);
        QCOMPARE(wave, expected);
    }

    void checkedKeepsTheFirst256()
    {
        QStringList values;
        for (int i = 0; i < 300; ++i)
            values << QString::number(i % 100);
        QByteArray wave = filled(0x55);
        const customwave::Checked c =
            customwave::parseChecked(values.join('\n'), reinterpret_cast<unsigned char *>(wave.data()));
        QCOMPARE(c.count, 256);
        QCOMPARE(c.values, 300);
        QCOMPARE(int(quint8(wave[255])), 55);
    }

    void readFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("1,2\r\n3") << "1,2\r\n3";
        QTest::newRow("stops at a zero byte") << QByteArray("1,2\0,9", 6) << "1,2";
        QTest::newRow("Latin-1") << QByteArray("\xE9,1") << QString::fromLatin1("\xE9,1");
        QTest::newRow("empty") << QByteArray() << "";
    }
    void readFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QFile file(dir.filePath("wave.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        const customwave::FileText read = customwave::readWaveText(file.fileName());
        QVERIFY(read.opened);
        QVERIFY(!read.truncated);
        QCOMPARE(read.text, text);
    }

    // A large file is read only up to the limit, and says so.
    void largeFileStopsAtTheLimit()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("big.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, '7');
        for (int i = 0; i < 40; ++i) // 2.5 MiB
            file.write(block);
        file.close();
        const customwave::FileText read = customwave::readWaveText(file.fileName());
        QVERIFY(read.opened);
        QVERIFY(read.truncated);
        QCOMPARE(read.text.size(), int(customwave::MaxFileBytes));

        QVERIFY(file.resize(customwave::MaxFileBytes)); // exactly the limit is whole
        const customwave::FileText exact = customwave::readWaveText(file.fileName());
        QVERIFY(!exact.truncated);
        QCOMPARE(exact.text.size(), int(customwave::MaxFileBytes));
    }

    void unreadableFileSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "none.csv";
        QTest::newRow("a folder") << "folder.csv";
    }
    void unreadableFileSaysWhy()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder.csv"));
        const customwave::FileText read = customwave::readWaveText(dir.filePath(name));
        QVERIFY(!read.opened);
        QVERIFY(!read.error.isEmpty());
        QVERIFY(read.text.isEmpty());
    }
};

QUORVEL_CORE_TEST_MAIN(TestCustomWave)
#include "test_customwave.moc"
