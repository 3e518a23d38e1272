// Protocol decode through the installed decoders, on frames synthesized from
// known bytes: what comes back must be those bytes.

#include "quorveltest.h"

#include "busframes.h"
#include "bustraffic.h"
#include "decode/decoderlibrary.h"
#include "decode/decodestack.h"
#include "decode/decodeworker.h"

#include <QSignalSpy>

using namespace decode;

namespace {

Stack stackOf(const QString &text)
{
    QString error;
    const Stack stack = parseStack(text, &error);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return stack;
}

// Annotations of one class, in sample order.
QVector<Annotation> ofClass(const Stack &stack, const QVector<Annotation> &all, const QString &classId, int decoder = 0)
{
    const DecoderInfo *info = findDecoder(stack.decoders[decoder].id);
    const int cls = info->annotationClassIds.indexOf(classId);
    QVector<Annotation> out;
    for (const Annotation &a : all)
        if (!a.error && a.decoder == decoder && a.annotationClass == cls)
            out.append(a);
    std::sort(out.begin(), out.end(), [](const Annotation &a, const Annotation &b) { return a.start < b.start; });
    return out;
}

// The hex value in an annotation's shortest text ("4F").
QVector<quint8> bytesOf(const QVector<Annotation> &list)
{
    QVector<quint8> out;
    for (const Annotation &a : list)
        out.append(quint8(a.texts.last().toUInt(nullptr, 16)));
    return out;
}

QString errors(const QVector<Annotation> &all)
{
    QStringList out;
    for (const Annotation &a : all)
        if (a.error)
            out << a.text();
    return out.join("; ");
}

} // namespace

class TestDecode : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(initialise(&error), qPrintable(error));
    }

    void listsInstalledDecoders()
    {
        const DecoderInfo *uart = findDecoder("uart");
        QVERIFY(uart);
        QVERIFY(uart->readsLogic());
        QVERIFY(uart->channel("rx") && !uart->channel("rx")->required);
        const OptionInfo *parity = uart->option("parity");
        QVERIFY(parity);
        QCOMPARE(parity->defaultValue, QVariant(QString("none")));
        QVERIFY(parity->values.contains(QVariant(QString("even"))));
        QCOMPARE(uart->option("baudrate")->defaultValue.type(), QVariant::LongLong);
        QCOMPARE(uart->option("stop_bits")->defaultValue.type(), QVariant::Double);
        QVERIFY(uart->rows.size() >= 2);
        const DecoderInfo *spi = findDecoder("spi");
        QVERIFY(spi && spi->channel("clk") && spi->channel("clk")->required);
        // A decoder stacked on another reads its output, not the lines.
        const DecoderInfo *eeprom = findDecoder("eeprom24xx");
        QVERIFY(eeprom && !eeprom->readsLogic());
        QVERIFY(eeprom->inputs.contains("i2c"));
    }

    void rejectsWhatTheDecoderDoesNotAccept_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named"); // an accepted value the message must list
        QTest::newRow("unknown decoder") << "uartx:rx=0" << "uart";
        QTest::newRow("unknown channel") << "uart:rxd=0" << "rx";
        QTest::newRow("line out of range") << "uart:rx=8" << "0-7";
        QTest::newRow("value not allowed") << "uart:rx=0:parity=maybe" << "even";
        QTest::newRow("number expected") << "uart:rx=0:baudrate=fast" << "whole number";
        QTest::newRow("missing channel") << "spi:mosi=1" << "clk";
        QTest::newRow("stacked first") << "eeprom24xx" << "i2c";
        QTest::newRow("stack mismatch") << "uart:rx=0,eeprom24xx" << "i2c";
    }
    void rejectsWhatTheDecoderDoesNotAccept()
    {
        QFETCH(QString, text);
        QFETCH(QString, named);
        QString error;
        QVERIFY(parseStack(text, &error).isEmpty());
        QVERIFY2(error.contains(named), qPrintable(error));
    }

    void stackTextReadsBack()
    {
        const QString text = "i2c:scl=1:sda=0:address_format=unshifted,eeprom24xx";
        const Stack stack = stackOf(text);
        QCOMPARE(stack.decoders.size(), 2);
        QCOMPARE(stack.decoders[0].options.value("address_format").toString(), QString("unshifted"));
        QCOMPARE(stackText(stack), text);
        const Stack uart = stackOf("uart:rx=2:stop_bits=1.5:baudrate=9600");
        QCOMPARE(stackText(stackOf(stackText(uart))), stackText(uart));
        QCOMPARE(uart.decoders[0].options.value("stop_bits").toDouble(), 1.5);
    }

    void sampleRateFollowsTimeBase()
    {
        QCOMPARE(sampleRateOf(0), 2e6);      // 8 us/div, 16 samples a division
        QCOMPARE(sampleRateOf(4), 125e3);    // 128 us/div
        QCOMPARE(sampleRateOf(11), 32 / 20e-3); // 20 ms/div, 32 samples a division
        QCOMPARE(sampleRateOf(99), 0.0);
    }

    void uart_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<int>("badParity");
        QTest::addColumn<int>("badStop");
        QTest::newRow("115200 Bd at 2 MS/s") << 115200 << 0 << "none" << -1 << -1;
        QTest::newRow("9600 Bd at 125 kS/s") << 9600 << 4 << "none" << -1 << -1;
        QTest::newRow("even parity") << 115200 << 0 << "even" << -1 << -1;
        QTest::newRow("odd parity, one wrong") << 9600 << 4 << "odd" << 1 << -1;
        QTest::newRow("framing error") << 115200 << 0 << "none" << -1 << 2;
    }
    void uart()
    {
        QFETCH(int, baud);
        QFETCH(int, timeBase);
        QFETCH(QString, parity);
        QFETCH(int, badParity);
        QFETCH(int, badStop);
        const QVector<quint8> bytes{0x48, 0x00, 0xA5, 0xFF, 0x0D};
        const int parityMode = parity == "odd" ? 1 : parity == "even" ? 2 : 0;
        const double rate = sampleRateOf(timeBase);
        const QVector<quint8> frame = busframes::uart(rate, baud, 2, bytes, parityMode, badParity, badStop);
        const Stack stack = stackOf(QString("uart:rx=2:baudrate=%1:parity=%2").arg(baud).arg(parity));
        QVERIFY(!stack.isEmpty());
        const QVector<Annotation> all = decodeFrame(stack, frame, rate);
        QVERIFY2(errors(all).isEmpty(), qPrintable(errors(all)));

        const QVector<Annotation> data = ofClass(stack, all, "rx-data");
        QCOMPARE(bytesOf(data), bytes);
        // Each byte's band lies where its bits were sent.
        const double bitSamples = rate / baud;
        for (int i = 0; i < data.size(); ++i) {
            const double start = (3 + i * (parityMode ? 13 : 12) + 1) * bitSamples;
            QVERIFY2(std::abs(data[i].start - start) <= bitSamples, qPrintable(QString::number(data[i].start)));
        }
        const QVector<Annotation> parityErrors = ofClass(stack, all, "rx-parity-err");
        QCOMPARE(parityErrors.size(), badParity < 0 ? 0 : 1);
        if (badParity >= 0) {
            QVERIFY(parityErrors[0].start > data[badParity].start);
            QVERIFY(parityErrors[0].end < data[badParity + 1].start);
            // This decoder puts parity bits that check out in the class of its stop bits.
            int parityOk = 0;
            for (const Annotation &a : ofClass(stack, all, "rx-parity-ok"))
                parityOk += a.text() == "Parity bit";
            QCOMPARE(parityOk, bytes.size() - 1);
        }
        int frameErrors = 0;
        for (const Annotation &stop : ofClass(stack, all, "rx-warnings")) {
            if (stop.text() == "Frame error") {
                ++frameErrors;
                QVERIFY(badStop >= 0 && stop.start > data[badStop].start && stop.start < data[badStop + 1].start);
            }
        }
        QCOMPARE(frameErrors, badStop < 0 ? 0 : 1);
        // The rows: the data row is the one named RX.
        QCOMPARE(rowName(stack, data[0]), QString("RX"));
    }

    void spi_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 0") << 0;
        QTest::newRow("mode 3") << 3;
    }
    void spi()
    {
        QFETCH(int, mode);
        const QVector<quint8> out{0x9F, 0x01, 0x5A}, in{0xFF, 0xC2, 0x3C};
        const double rate = sampleRateOf(0);
        const QVector<quint8> frame = busframes::spi(rate, 100e3, mode, 2, 3, 4, 5, out, in);
        const Stack stack =
            stackOf(QString("spi:cs=2:clk=3:mosi=4:miso=5:cpol=%1:cpha=%2").arg(mode >> 1).arg(mode & 1));
        QVERIFY(!stack.isEmpty());
        const QVector<Annotation> all = decodeFrame(stack, frame, rate);
        QVERIFY2(errors(all).isEmpty(), qPrintable(errors(all)));
        QCOMPARE(bytesOf(ofClass(stack, all, "mosi-data")), out);
        QCOMPARE(bytesOf(ofClass(stack, all, "miso-data")), in);
        // The wrong clock phase reads other bits.
        const Stack wrong =
            stackOf(QString("spi:cs=2:clk=3:mosi=4:miso=5:cpol=%1:cpha=%2").arg(mode >> 1).arg(!(mode & 1)));
        QVERIFY(bytesOf(ofClass(wrong, decodeFrame(wrong, frame, rate), "mosi-data")) != out);
    }

    void i2c_data()
    {
        QTest::addColumn<bool>("read");
        QTest::addColumn<QVector<bool>>("acks"); // address byte first
        QTest::newRow("write, acknowledged") << false << QVector<bool>{true, true, true};
        QTest::newRow("read, last byte not acknowledged") << true << QVector<bool>{true, true, false};
        QTest::newRow("address not acknowledged") << false << QVector<bool>{false, true, true};
    }
    void i2c()
    {
        QFETCH(bool, read);
        QFETCH(QVector<bool>, acks);
        const QVector<quint8> data{0x10, 0xE7};
        const double rate = sampleRateOf(2); // 32 us/div: 500 kS/s
        const QVector<quint8> frame = busframes::i2c(rate, 50e3, 0, 1, 0x50, read, data, acks);
        const Stack stack = stackOf("i2c:sda=0:scl=1");
        QVERIFY(!stack.isEmpty());
        const QVector<Annotation> all = decodeFrame(stack, frame, rate);
        QVERIFY2(errors(all).isEmpty(), qPrintable(errors(all)));
        // The address class also marks the read/write bit; the address itself says so.
        QVector<Annotation> address;
        for (const Annotation &a : ofClass(stack, all, read ? "address-read" : "address-write"))
            if (a.text().startsWith("Address"))
                address.append(a);
        QCOMPARE(bytesOf(address), QVector<quint8>{0x50});
        QCOMPARE(bytesOf(ofClass(stack, all, read ? "data-read" : "data-write")), data);
        // ACK and NACK in bus order.
        QVector<Annotation> replies = ofClass(stack, all, "ack") + ofClass(stack, all, "nack");
        std::sort(replies.begin(), replies.end(), [](const Annotation &a, const Annotation &b) { return a.start < b.start; });
        const int ackClass = findDecoder("i2c")->annotationClassIds.indexOf("ack");
        QVector<bool> seen;
        for (const Annotation &a : replies)
            seen.append(a.annotationClass == ackClass);
        QCOMPARE(seen, acks);
        QCOMPARE(ofClass(stack, all, "start").size(), 1);
        QCOMPARE(ofClass(stack, all, "stop").size(), 1);
    }

    void stackedDecoderReadsTheOneBelow()
    {
        // I2C to a 24xx EEPROM: a byte write at word address 0x10.
        const double rate = sampleRateOf(2);
        const QVector<quint8> frame = busframes::i2c(rate, 50e3, 0, 1, 0x50, false, {0x10, 0x42}, {});
        const Stack stack = stackOf("i2c:sda=0:scl=1,eeprom24xx");
        QCOMPARE(stack.decoders.size(), 2);
        const QVector<Annotation> all = decodeFrame(stack, frame, rate);
        QVERIFY2(errors(all).isEmpty(), qPrintable(errors(all)));
        bool fromEeprom = false;
        for (const Annotation &a : all)
            fromEeprom = fromEeprom || a.decoder == 1;
        QVERIFY(fromEeprom);
    }

    // The demo instrument's traffic, one frame from the start of a bus
    // exchange at the time base its README row names, decodes to the bytes
    // the traffic says it sent.
    void demoTraffic_data()
    {
        QTest::addColumn<int>("protocol"); // BusTraffic::Protocol
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<double>("busStart");
        QTest::addColumn<QString>("stack");
        QTest::newRow("UART 115200 Bd at 16 us/div") << int(quorvelsim::BusTraffic::Uart) << 1 << 0.5e-3
                                                     << "uart:rx=2:tx=3:baudrate=115200";
        QTest::newRow("I2C at 128 us/div") << int(quorvelsim::BusTraffic::I2c) << 4 << 1e-3 << "i2c:sda=0:scl=1";
        QTest::newRow("SPI at 32 us/div") << int(quorvelsim::BusTraffic::Spi) << 2 << 0.5e-3
                                          << "spi:cs=2:clk=3:mosi=4:miso=5";
    }
    void demoTraffic()
    {
        QFETCH(int, protocol);
        QFETCH(int, timeBase);
        QFETCH(double, busStart);
        QFETCH(QString, stack);
        quorvelsim::BusTraffic traffic;
        traffic.configure(0x07, quint8(protocol)); // the demo's line settings: 115200 Bd 8N1, SPI mode 0
        const qint64 cycle = 3;
        const double rate = sampleRateOf(timeBase);
        const double t0 = cycle * traffic.cyclePeriod() + busStart - 20e-6;
        QVector<quint8> frame(256);
        for (int i = 0; i < frame.size(); ++i)
            frame[i] = traffic.level(t0 + i / rate);
        const quorvelsim::BusTraffic::Exchange sent = traffic.exchange(cycle);
        const Stack s = stackOf(stack);
        const QVector<Annotation> all = decodeFrame(s, frame, rate);
        QVERIFY2(errors(all).isEmpty(), qPrintable(errors(all)));
        auto bytes = [](const QByteArray &b) { return QVector<quint8>(b.begin(), b.end()); };
        if (protocol == quorvelsim::BusTraffic::Uart) {
            const QVector<quint8> rx = bytesOf(ofClass(s, all, "rx-data"));
            QVERIFY2(rx.size() >= 2, qPrintable(QString::number(rx.size())));
            QCOMPARE(rx, bytes(sent.channelA.left(rx.size())));
        } else if (protocol == quorvelsim::BusTraffic::Spi) {
            QCOMPARE(bytesOf(ofClass(s, all, "mosi-data")), bytes(sent.channelA));
            QCOMPARE(bytesOf(ofClass(s, all, "miso-data")), bytes(sent.channelB));
        } else {
            QVector<Annotation> address;
            for (const Annotation &a : ofClass(s, all, "address-write"))
                if (a.text().startsWith("Address"))
                    address.append(a);
            QCOMPARE(bytesOf(address), QVector<quint8>{quint8(quint8(sent.i2cBytes[0]) >> 1)});
            QCOMPARE(bytesOf(ofClass(s, all, "data-write")), QVector<quint8>{quint8(sent.i2cBytes[1])});
            QVERIFY(ofClass(s, all, "ack").size() >= 2);
        }
    }

    void decoderErrorIsAnAnnotationAndTheNextFrameDecodes()
    {
        const double rate = sampleRateOf(0);
        const QVector<quint8> frame = busframes::uart(rate, 115200, 2, {0x55}, 0);
        // A baud rate of 0 passes the option's type but the decoder divides by it.
        const Stack broken = stackOf("uart:rx=2:baudrate=0");
        QVERIFY(!broken.isEmpty());
        const QVector<Annotation> bad = decodeFrame(broken, frame, rate);
        QVERIFY(!errors(bad).isEmpty());
        QVERIFY2(errors(bad).contains("Division", Qt::CaseInsensitive), qPrintable(errors(bad)));
        QCOMPARE(rowName(broken, bad.last()), QString("error"));

        const Stack good = stackOf("uart:rx=2");
        QCOMPARE(bytesOf(ofClass(good, decodeFrame(good, frame, rate), "rx-data")), QVector<quint8>{0x55});
        // Nothing to decode and no rate: defined outcomes.
        QVERIFY(decodeFrame(good, QVector<quint8>(), rate).isEmpty());
        QVERIFY(!errors(decodeFrame(good, frame, 0)).isEmpty());
    }

    // A running window decodes frame after frame: an idle UART line and an SPI
    // bus whose select never falls used to wear out Python's True and False
    // (the process aborted after about 650 frames), and every frame left a few
    // kilobytes behind. A session lives across frames and each still decodes
    // on its own.
    void decodesLongRunsOfFrames()
    {
        const double rate = sampleRateOf(0);
        const Stack uart = stackOf("uart:rx=2:baudrate=115200");
        const Stack spi = stackOf("spi:cs=2:clk=3:mosi=4");
        const QVector<quint8> idle(256, 0xFF);
        for (int i = 0; i < 2000; ++i) {
            QVERIFY(decodeFrame(uart, idle, rate).isEmpty());
            QVERIFY(decodeFrame(spi, idle, rate).isEmpty());
        }
        // Each frame starts afresh: the same byte reads the same after many
        // frames, and a byte cut off at the end of one frame is not finished
        // by the next.
        const QVector<quint8> byte = busframes::uart(rate, 115200, 2, {0x5A}, 0);
        // The same byte moved late, so the frame ends three data bits into it.
        const double bit = rate / 115200;
        const int shift = idle.size() - int(7.5 * bit);
        QVector<quint8> cut = idle;
        for (int i = shift; i < cut.size(); ++i)
            cut[i] = byte[i - shift];
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(bytesOf(ofClass(uart, decodeFrame(uart, byte, rate), "rx-data")), QVector<quint8>{0x5A});
            QCOMPARE(bytesOf(ofClass(uart, decodeFrame(uart, cut, rate), "rx-data")), QVector<quint8>{});
            QCOMPARE(bytesOf(ofClass(uart, decodeFrame(uart, idle, rate), "rx-data")), QVector<quint8>{});
        }
    }

    void workerDecodesTheLatestFrameOffTheCallersThread()
    {
        DecodeWorker worker;
        const double rate = sampleRateOf(0);
        worker.setStacks({stackOf("uart:rx=2:baudrate=0"), stackOf("uart:rx=2")});
        QSignalSpy spy(&worker, &DecodeWorker::decoded);
        QVector<FrameResult> results;
        connect(&worker, &DecodeWorker::decoded, this, [&](const FrameResult &r) {
            QCOMPARE(QThread::currentThread(), thread()); // delivered to the receiver's thread
            results.append(r);
        });
        const int frames = 40;
        for (int i = 0; i < frames; ++i)
            worker.submit(quint64(i), busframes::uart(rate, 115200, 2, {quint8(i)}, 0), rate);
        QTRY_VERIFY(!results.isEmpty() && results.last().frame == quint64(frames - 1));
        QCOMPARE(worker.decodedCount() + worker.droppedCount(), quint64(frames));
        for (int i = 1; i < results.size(); ++i)
            QVERIFY(results[i].frame > results[i - 1].frame);
        const FrameResult &last = results.last();
        QCOMPARE(last.annotations.size(), 2);
        QVERIFY(!errors(last.annotations[0]).isEmpty()); // the broken stack's error ...
        QCOMPARE(bytesOf(ofClass(last.stacks[1], last.annotations[1], "rx-data")), QVector<quint8>{quint8(frames - 1)});
        QVERIFY(last.seconds > 0);
        // No decoders: frames are not queued.
        worker.setStacks({});
        worker.submit(99, {0xFF}, rate);
        QCOMPARE(worker.decodedCount() + worker.droppedCount(), quint64(frames));
    }
};

QUORVEL_CORE_TEST_MAIN(TestDecode)
#include "test_decode.moc"
