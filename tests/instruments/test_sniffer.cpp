// Sniffer capture frames to the text views, and the change detection.
#include "quorveltest.h"

#include "instruments/sniffer.h"

#include <QVector>

using namespace sniffer;

namespace {

// A capture frame with counts at their offsets.
struct Frame
{
    QByteArray bytes = QByteArray(MinFrameLength, '\0');

    Frame &set(int offset, std::initializer_list<int> values)
    {
        for (int v : values)
            bytes[offset++] = char(v);
        return *this;
    }
    Frame &countA(int n) { return set(CountAOffset, {n & 0xFF, n >> 8}); }
    Frame &countB(int n) { return set(CountBOffset, {n & 0xFF, n >> 8}); }
    const unsigned char *data() const { return reinterpret_cast<const unsigned char *>(bytes.constData()); }
};

Texts rendered(const Frame &f, int protocol, bool circular, bool ascii)
{
    Texts t;
    render(f.data(), f.bytes.size(), Options{protocol, circular, ascii}, t);
    return t;
}

// The hex items of channel bytes at `positions`.
QString hexItems(const Frame &f, int base, const QVector<int> &positions)
{
    QString s;
    for (int p : positions)
        s += QString::asprintf("%02x ", quint8(f.bytes[base + p]));
    return s;
}

} // namespace

class TestSniffer : public QObject
{
    Q_OBJECT

private slots:
    void spiHexAndAscii_data()
    {
        QTest::addColumn<bool>("ascii");
        QTest::addColumn<QString>("mosi");
        QTest::newRow("hex") << false << "41 42 0a ";
        QTest::newRow("ASCII") << true << "A B _ ";
    }
    void spiHexAndAscii()
    {
        QFETCH(bool, ascii);
        QFETCH(QString, mosi);
        Frame f;
        f.set(0, {0x41, 0x42, 0x0A}).countA(3);
        const Texts t = rendered(f, Spi, false, ascii);
        QCOMPARE(t.mosi, mosi);
        QCOMPARE(t.miso, QString()); // count 0: nothing
        QVERIFY(t.rx.isEmpty() && t.tx.isEmpty() && t.i2c.isEmpty());
    }

    // ASCII: 32..255 as themselves (127 and Latin-1 too), below 32 "_".
    void asciiBoundaries()
    {
        Frame f;
        f.set(ChannelBOffset, {31, 32, 126, 127, 255, 0}).countB(6);
        const Texts t = rendered(f, Uart, false, true);
        QCOMPARE(t.tx, QStringLiteral("_   ~ ") + QChar(127) + " " + QChar(255) + " _ ");
        QCOMPARE(t.rx, QString());
    }

    void uartCircularStartsAtTheOldestByte()
    {
        Frame f;
        for (int i = 0; i < ChannelCapacity; ++i)
            f.bytes[i] = char(i * 7);
        f.countA(638);
        QVector<int> order{638, 639};
        for (int i = 0; i < 638; ++i)
            order << i;
        const Texts t = rendered(f, Uart, true, false);
        QCOMPARE(t.rx, hexItems(f, 0, order));
        QCOMPARE(t.rx.size(), 640 * 3);
        QCOMPARE(t.tx.size(), 640 * 3); // circular shows the whole channel whatever its count
    }

    // Where the window starts and how long it is, for the counts that matter.
    void windows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<bool>("circular");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::newRow("linear 0") << 0 << 640 << false << 0 << 0;
        QTest::newRow("linear 5") << 5 << 640 << false << 0 << 5;
        QTest::newRow("linear full") << 640 << 640 << false << 0 << 640;
        QTest::newRow("linear beyond") << 2000 << 1024 << false << 0 << 1024;
        QTest::newRow("linear 65535") << 65535 << 640 << false << 0 << 640;
        QTest::newRow("circular 0") << 0 << 640 << true << 0 << 640;
        QTest::newRow("circular 639") << 639 << 640 << true << 639 << 640;
        QTest::newRow("circular 640 wraps to 0") << 640 << 640 << true << 0 << 640;
        QTest::newRow("circular 700") << 700 << 640 << true << 60 << 640;
    }
    void windows()
    {
        QFETCH(int, count);
        QFETCH(int, capacity);
        QFETCH(bool, circular);
        QFETCH(int, start);
        QFETCH(int, length);
        QCOMPARE(windowStart(count, capacity, circular), start);
        QCOMPARE(windowLength(count, capacity, circular), length);
    }

    // A circular count far beyond the channel starts past its end, which
    // wraps to 0: nothing outside the channel is read.
    void circularCountBeyondTheChannel()
    {
        Frame f;
        for (int i = 0; i < ChannelCapacity * 2; ++i)
            f.bytes[i] = char(i < ChannelCapacity ? 0x11 : 0x22);
        f.countA(65535).countB(1300);
        const Texts t = rendered(f, Spi, true, false);
        QCOMPARE(t.mosi, QString("11 ").repeated(640));
        QCOMPARE(t.miso, QString("22 ").repeated(640));
    }

    void i2cItems_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("flags"); // the two flag bits: address, second
        QTest::addColumn<QString>("text");
        QTest::newRow("address, read, second") << 0xA1 << 3 << "50< ";
        QTest::newRow("address, read") << 0xA1 << 2 << "50( ";
        QTest::newRow("address, write, second") << 0xA0 << 3 << "50> ";
        QTest::newRow("address, write") << 0xA0 << 2 << "50) ";
        QTest::newRow("data, second") << 0x33 << 1 << "33+ ";
        QTest::newRow("data") << 0x33 << 0 << "33- ";
    }
    // The same item at each of the four positions sharing a flag byte, so the
    // flag bit pairs 7-6, 5-4, 3-2 and 1-0 are each read.
    void i2cItems()
    {
        QFETCH(int, byte);
        QFETCH(int, flags);
        QFETCH(QString, text);
        for (int k = 0; k < 4; ++k) {
            Frame f;
            f.bytes[8 + k] = char(byte);
            // Set the other pairs to the opposite, so a wrong pair shows.
            quint8 flagByte = 0;
            for (int j = 0; j < 4; ++j)
                flagByte |= quint8((j == k ? flags : 3 - flags) << (6 - 2 * j));
            f.bytes[I2cFlagsOffset + 2] = char(flagByte);
            f.countA(8 + k + 1);
            const QString all = rendered(f, I2c, false, true).i2c; // ASCII has no effect on I2C
            QCOMPARE(all.size(), (9 + k) * 4);
            QCOMPARE(all.right(4), text);
        }
    }

    void i2cExamples()
    {
        Frame f;
        f.set(0, {0xA1, 0x33}).set(I2cFlagsOffset, {0xC0}).countA(2);
        QCOMPARE(rendered(f, I2c, false, false).i2c, QStringLiteral("50< 33- "));
    }

    void i2cCountBeyondCapacityShowsTheWholeBuffer()
    {
        Frame f;
        f.countA(2000);
        const Texts t = rendered(f, I2c, false, false);
        QCOMPARE(t.i2c.size(), 1024 * 4);
        QCOMPARE(t.i2c, QString("00- ").repeated(1024));
    }

    void shortOrUnknownRendersNothing()
    {
        Frame f;
        f.set(0, {0x41}).countA(1);
        Texts t;
        t.mosi = "old";
        render(f.data(), MinFrameLength - 1, Options{Spi, false, false}, t);
        QVERIFY(t.mosi.isEmpty());
        render(f.data(), MinFrameLength, Options{3, false, false}, t);
        QVERIFY(t.mosi.isEmpty() && t.rx.isEmpty() && t.i2c.isEmpty());
        render(nullptr, MinFrameLength, Options{Spi, false, false}, t);
        QVERIFY(t.mosi.isEmpty());
    }

    void changeDetection()
    {
        View view;
        Frame f;
        f.set(0, {0x41, 0x42}).countA(2);
        Texts t;
        const Options hex{Spi, false, false};

        QVERIFY(!view.update(f.data(), MinFrameLength - 1, hex, t)); // too short
        QVERIFY(view.update(f.data(), MinFrameLength, hex, t));      // first frame
        QCOMPARE(t.mosi, QStringLiteral("41 42 "));
        QVERIFY(!view.update(f.data(), MinFrameLength, hex, t)); // unchanged

        // Bytes the views do not show: frame counter, trailing bytes, length.
        Frame counted = f;
        counted.set(1280, {0x99}).set(1285, {1, 2, 3, 4});
        QVERIFY(!view.update(counted.data(), MinFrameLength, hex, t));
        QByteArray longer = counted.bytes + QByteArray(1, '\x7F');
        QVERIFY(
            !view.update(reinterpret_cast<const unsigned char *>(longer.constData()), longer.size(), hex, t));

        // ASCII and Circular toggles re-render the same capture.
        QVERIFY(view.update(f.data(), MinFrameLength, Options{Spi, false, true}, t));
        QCOMPARE(t.mosi, QStringLiteral("A B "));
        QVERIFY(view.update(f.data(), MinFrameLength, Options{Spi, true, true}, t));
        QCOMPARE(t.mosi.size(), 640 * 2);
        QVERIFY(!view.update(f.data(), MinFrameLength, Options{Spi, true, true}, t));

        // A changed byte, a changed count.
        Frame next = f;
        next.set(639, {0x5A});
        QVERIFY(view.update(next.data(), MinFrameLength, Options{Spi, true, true}, t));
        next.countB(1);
        QVERIFY(view.update(next.data(), MinFrameLength, Options{Spi, true, true}, t));

        // The protocol page alone is no change.
        QVERIFY(!view.update(next.data(), MinFrameLength, Options{Uart, true, true}, t));

        view.reset();
        QVERIFY(view.update(next.data(), MinFrameLength, Options{Uart, true, true}, t));
        QCOMPARE(t.rx.size(), 640 * 2);
    }
};

QUORVEL_CORE_TEST_MAIN(TestSniffer)
#include "test_sniffer.moc"
