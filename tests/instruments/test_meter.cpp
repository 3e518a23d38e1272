// Meter reply decoding and the texts of the read-outs.
#include "quorveltest.h"

#include "instruments/meter.h"
#include "settings/registers.h"

#include <climits>

using namespace meter;

class TestMeter : public QObject
{
    Q_OBJECT

private slots:
    void voltReadings_data()
    {
        QTest::addColumn<int>("lo");
        QTest::addColumn<int>("hi");
        QTest::addColumn<bool>("negative");
        QTest::addColumn<int>("counts");
        QTest::addColumn<QString>("text");
        QTest::newRow("10 27: 12.5 V") << 0x10 << 0x27 << false << 10000 << "  12.50V";
        QTest::newRow("00 FF: -0.32 V") << 0x00 << 0xFF << true << 256 << "- 0.320V";
        QTest::newRow("00 64: hi 100 is negative") << 0x00 << 0x64 << true << 39936 << "- 49.92V";
        QTest::newRow("FF 63: hi 99 is positive") << 0xFF << 0x63 << false << 25599 << "  32.00V"; // 31.998 V
        QTest::newRow("FF FF: -1 count") << 0xFF << 0xFF << true << 1 << "- 0.001V";
        QTest::newRow("00 00") << 0x00 << 0x00 << false << 0 << "  0.000V";
        // 3 counts = 3.75 mV: whole millivolts only.
        QTest::newRow("03 00: fraction dropped") << 0x03 << 0x00 << false << 3 << "  0.003V";
        QTest::newRow("hi 80") << 0x00 << 0x50 << false << 20480 << "  25.60V";
    }
    void voltReadings()
    {
        QFETCH(int, lo);
        QFETCH(int, hi);
        QFETCH(bool, negative);
        QFETCH(int, counts);
        QFETCH(QString, text);
        const Volts v = decodeVolts(quint8(lo), quint8(hi));
        QCOMPARE(v.negative, negative);
        QCOMPARE(v.counts, counts);
        QCOMPARE(voltsText(v), text);
    }

    void counterTexts_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("pulse");
        QTest::addColumn<QString>("text");
        auto le = [](qint32 n) {
            QByteArray b(4, '\0');
            for (int i = 0; i < 4; ++i)
                b[i] = char(quint32(n) >> (8 * i));
            return b;
        };
        QTest::newRow("1234567 Hz") << le(1234567) << false << "01234.567kHz";
        QTest::newRow("0") << le(0) << false << "00000.000kHz";
        QTest::newRow("123456789 widens the first group") << le(123456789) << false << "123456.789kHz";
        QTest::newRow("1234567 pulses") << le(1234567) << true << "01234.567k";
        QTest::newRow("negative") << le(-5) << false << "00000.000kHz";
        QTest::newRow("most negative") << le(INT_MIN) << true << "00000.000k";
        QTest::newRow("largest") << le(INT_MAX) << false << "2147483.647kHz";
        QTest::newRow("zeros inside") << le(10000001) << false << "10000.001kHz";
        QTest::newRow("one") << le(1) << false << "00000.001kHz";
    }
    void counterTexts()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, pulse);
        QFETCH(QString, text);
        QCOMPARE(counterText(reinterpret_cast<const unsigned char *>(reply.constData()), pulse), text);
    }

    void clearedTexts()
    {
        QCOMPARE(clearedCounterText(true), QStringLiteral("00000.000k"));
        QCOMPARE(clearedCounterText(false), QStringLiteral("00000.000kHz"));
        QCOMPARE(clearedVoltsText(), QStringLiteral("  0.000V"));
    }

    void dcVolts_data()
    {
        QTest::addColumn<double>("volts");
        QTest::addColumn<QString>("text");
        QTest::newRow("1.3 V") << 1.3 << "  1.300V";
        QTest::newRow("zero") << 0.0 << "  0.000V";
        QTest::newRow("negative") << -0.32 << "- 0.320V";
        QTest::newRow("above 10 V") << 12.0 << "  12.00V";
        QTest::newRow("below -10 V") << -12.5 << "- 12.50V";
        // Shows as zero: no sign in front of it.
        QTest::newRow("tiny negative") << -0.0004 << "  0.000V";
        QTest::newRow("rounds to one count") << -0.0006 << "- 0.001V";
    }
    void dcVolts()
    {
        QFETCH(double, volts);
        QFETCH(QString, text);
        QCOMPARE(dcVoltsText(volts), text);
    }

    void modesAndIntervals_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("pulse");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("interval");
        QTest::newRow("VPP") << int(Vpp) << false << 0x41 << 250;
        QTest::newRow("VPP, pulse radio ignored") << int(Vpp) << true << 0x41 << 250;
        QTest::newRow("VDC") << int(Vdc) << false << 0x81 << 0;
        QTest::newRow("frequency") << int(Counter) << false << 0x01 << 1000;
        QTest::newRow("pulses") << int(Counter) << true << 0xC1 << 100;
    }
    void modesAndIntervals()
    {
        QFETCH(int, page);
        QFETCH(bool, pulse);
        QFETCH(int, mode);
        QFETCH(int, interval);
        QCOMPARE(int(modeValue(page, pulse)), mode);
        QCOMPARE(pollInterval(page, pulse), interval);
    }

    void sourceBits()
    {
        for (int source = 2; source <= 9; ++source)
            QCOMPARE(sourceBit(source), source - 2);
        for (int source : {0, 1, 10, 11, 255, -1})
            QCOMPARE(sourceBit(source), -1);
    }

    void meterSpectrumStaysBelow32()
    {
        auto options = [](reg::FftWindow window, bool logY, bool iq, bool xy, bool fft) {
            reg::SpectrumSettings s;
            s.window = window;
            s.logY = logY;
            s.iq = iq;
            s.xy = xy;
            s.fftTrace = fft;
            return int(reg::encodeMeterSpectrum(s));
        };
        QCOMPARE(options(reg::Rectangular, false, false, false, false), 0);
        QCOMPARE(options(reg::Hamming, true, false, false, true), 9);
        QCOMPARE(options(reg::Blackman, true, true, true, true), 28);
        for (reg::FftWindow window : {reg::Rectangular, reg::Hamming, reg::Hann, reg::Blackman})
            for (bool flag : {false, true}) {
                const int value = options(window, flag, !flag, flag, flag);
                QVERIFY(value < 32);
                QVERIFY(reg::isMeterMode(quint8(value)));
            }
    }
};

QUORVEL_CORE_TEST_MAIN(TestMeter)
#include "test_meter.moc"
