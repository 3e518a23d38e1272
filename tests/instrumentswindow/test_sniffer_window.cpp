// The protocol sniffer page against the simulated instrument, whose logic
// lines carry known SPI, I2C and UART traffic.
#include "instrumentwindow.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextEdit>

using namespace instrumentwindow;

class TestSnifferWindow : public QObject
{
    Q_OBJECT

    WindowFixture f;

    template <typename T> T *child(const char *name) { return f.child<T>(name); }
    QPushButton *startButton() { return child<QPushButton>("startSnifferButton"); }
    QPushButton *pauseButton() { return child<QPushButton>("pauseSnifferButton"); }
    QString plain(const char *name) { return child<QPlainTextEdit>(name)->toPlainText(); }
    QString rich(const char *name) { return child<QTextEdit>(name)->toPlainText(); }

    // Opens the protocol page `page` and starts the sniffer there.
    void startOn(int page)
    {
        child<QTabWidget>("mainTabWidget")->setCurrentIndex(3);
        auto *protocols = child<QTabWidget>("protocolTabWidget");
        // Through another page, so the page change runs.
        protocols->setCurrentIndex((page + 1) % 3);
        protocols->setCurrentIndex(page);
        QCOMPARE(int(sim::peekRegister(32)), page);
        QCOMPARE(startButton()->text(), QStringLiteral("START"));
        const int from = logSize();
        startButton()->click();
        QCOMPARE(startButton()->text(), QStringLiteral("STOP"));
        QCOMPARE(lastWrite(11, from), 0x18);
        QVERIFY(pauseButton()->isEnabled());
        QVERIFY(!child<QWidget>("modeGroupBox")->isEnabled());
        QVERIFY(!child<QWidget>("comboBoxBaud")->isEnabled());
    }

    // The text is whole repeats of `item`, after at most `prefixItems` items
    // of a cut exchange: a capture that fills its channel starts over, and
    // the exchange it was in continues at the start of the new capture.
    static bool isRunOf(const QString &text, const QString &item, int prefixItems, const QString &anyItem)
    {
        const QString pattern =
            QStringLiteral("^(?:%1){0,%2}(?:%3)+$").arg(anyItem).arg(prefixItems).arg(item);
        return QRegularExpression(pattern).match(text).hasMatch();
    }
    static bool isHexRun(const QString &text, const QString &item, int prefixItems)
    {
        return isRunOf(text, item, prefixItems, "[0-9a-f]{2} ");
    }

private slots:
    void init()
    {
        f.init(50);
        QVERIFY(f.startConnected(QSize(900, 900)));
        sim::clearCommandLog();
    }
    void cleanup() { f.cleanup(); }

    // UART: RX carries "T" and a four-digit cycle number, TX answers "OK".
    void uartInHexAndAscii()
    {
        startOn(2);
        // Three messages at least, so their numbers can be compared below.
        QTRY_VERIFY_WITH_TIMEOUT(rich("rxTextEdit").count("0d 0a ") >= 3, 5000);
        QVERIFY2(isHexRun(rich("rxTextEdit"), "54 (?:3\\d ){4}0d 0a ", 6), qPrintable(rich("rxTextEdit")));
        QVERIFY2(isHexRun(plain("txTextEdit"), "4f 4b 0d 0a ", 3), qPrintable(plain("txTextEdit")));
        QVERIFY(plain("mosiTextEdit").isEmpty() && rich("i2cTextEdit").isEmpty());

        // ASCII re-renders the same capture at once.
        sim::setFrameRate(0.1);
        child<QCheckBox>("checkBoxASCII")->setChecked(true);
        QTRY_VERIFY(plain("txTextEdit").contains("O K _ _ "));
        QVERIFY2(isRunOf(plain("txTextEdit"), "O K _ _ ", 3, "[OK_] "), qPrintable(plain("txTextEdit")));
        const QString rx = rich("rxTextEdit");
        QVERIFY2(isRunOf(rx, "T (?:\\d ){4}_ _ ", 6, "[\\d_] "), qPrintable(rx));
        // Successive messages count up.
        QStringList numbers = rx.mid(rx.indexOf('T')).remove(' ').split("T", Qt::SkipEmptyParts);
        QVERIFY2(numbers.size() >= 3, qPrintable(rx));
        for (int i = 1; i < numbers.size(); ++i)
            QCOMPARE(numbers[i].left(4).toInt(), numbers[i - 1].left(4).toInt() + 1);
    }

    // SPI: MOSI 9f <n> 5a 00, MISO ff c2 20 <3n> in each exchange.
    void spiChannels()
    {
        startOn(0);
        QTRY_VERIFY_WITH_TIMEOUT(!plain("mosiTextEdit").isEmpty(), 5000);
        const QString mosi = plain("mosiTextEdit"), miso = plain("misoTextEdit");
        // Four bytes an exchange: the 640-byte channel holds whole exchanges.
        QVERIFY2(isHexRun(mosi, "9f [0-9a-f]{2} 5a 00 ", 0), qPrintable(mosi));
        QVERIFY2(isHexRun(miso, "ff c2 20 [0-9a-f]{2} ", 0), qPrintable(miso));
        // Byte 1 of MOSI and byte 3 of MISO come from the same exchange.
        const QStringList a = mosi.split(' ', Qt::SkipEmptyParts), b = miso.split(' ', Qt::SkipEmptyParts);
        QCOMPARE(a.size(), b.size());
        for (int i = 0; i + 3 < a.size(); i += 4)
            QCOMPARE(b[i + 3].toInt(nullptr, 16), (a[i + 1].toInt(nullptr, 16) * 3) & 0xFF);
        QVERIFY(rich("rxTextEdit").isEmpty());
    }

    // I2C: address 0x50 written (register 0x1n), then read: two data bytes,
    // the last one not acknowledged.
    void i2cItems()
    {
        startOn(1);
        QTRY_VERIFY_WITH_TIMEOUT(!rich("i2cTextEdit").isEmpty(), 5000);
        const QString i2c = rich("i2cTextEdit");
        QVERIFY2(isRunOf(i2c, "50> 1[0-9a-f]\\+ 50< [0-9a-f]{2}\\+ [0-9a-f]{2}- ", 4, "[0-9a-f]{2}[-+<>()] "),
                 qPrintable(i2c));
        QVERIFY(plain("mosiTextEdit").isEmpty() && rich("rxTextEdit").isEmpty());
    }

    void pauseAndResume()
    {
        startOn(2);
        QTRY_VERIFY_WITH_TIMEOUT(!rich("rxTextEdit").isEmpty(), 5000);
        int from = logSize();
        pauseButton()->click();
        QCOMPARE(pauseButton()->text(), QStringLiteral("Resume"));
        QCOMPARE(logEntries(from), QStringList({"f"}));
        // The instrument holds its capture, and the view what it showed.
        const quint64 frames = sim::framesDelivered();
        QVERIFY(!QTest::qWaitFor([&] { return sim::framesDelivered() > frames + 1; }, 500));
        const QString held = rich("rxTextEdit");
        QVERIFY(!QTest::qWaitFor([&] { return rich("rxTextEdit") != held; }, 500));

        from = logSize();
        pauseButton()->click();
        QCOMPARE(pauseButton()->text(), QStringLiteral("Pause"));
        QCOMPARE(logEntries(from), QStringList({"g"}));
        QTRY_VERIFY_WITH_TIMEOUT(rich("rxTextEdit") != held, 5000);
    }

    // Stop, and a protocol page change, both end sniffer frames.
    void stopAndPageChange()
    {
        startOn(2);
        int from = logSize();
        startButton()->click();
        QCOMPARE(startButton()->text(), QStringLiteral("START"));
        QCOMPARE(lastWrite(11, from), 0x20);
        QVERIFY(!pauseButton()->isEnabled());
        QVERIFY(child<QWidget>("modeGroupBox")->isEnabled());

        startButton()->click();
        QCOMPARE(startButton()->text(), QStringLiteral("STOP"));
        QTRY_VERIFY_WITH_TIMEOUT(!rich("rxTextEdit").isEmpty(), 5000);
        from = logSize();
        child<QTabWidget>("protocolTabWidget")->setCurrentIndex(0);
        QCOMPARE(startButton()->text(), QStringLiteral("START"));
        QCOMPARE(lastWrite(11, from), 0x20);
        QCOMPARE(lastWrite(32, from), 0);
        QVERIFY(!pauseButton()->isEnabled());
        // Nothing cleared by the change itself, and the SPI views stay empty.
        QVERIFY(!rich("rxTextEdit").isEmpty());
        QVERIFY(!QTest::qWaitFor([&] { return !plain("mosiTextEdit").isEmpty(); }, 500));
    }
};

QUORVEL_TEST_MAIN(TestSnifferWindow)
#include "test_sniffer_window.moc"
