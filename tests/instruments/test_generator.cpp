// Generator arithmetic: the frequency request and the timer's actual
// frequency, the slider/range frequency, and the control encoders.
#include "quorveltest.h"

#include "instruments/generator.h"
#include "settings/registers.h"

#include <algorithm>

using namespace generator;

class TestGenerator : public QObject
{
    Q_OBJECT

private slots:
    void frequencyRequest_data()
    {
        QTest::addColumn<double>("hertz");
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<int>("prescaler");
        QTest::addColumn<qint64>("period");
        QTest::addColumn<double>("actualHz");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("unit");
        QTest::newRow("1 Hz") << 1.0 << 100 << 1 << qint64(62500) << 1.0 << "1"
                              << "Hz";
        QTest::newRow("500 Hz") << 500.0 << 50000 << 1 << qint64(125) << 500.0 << "500"
                                << "Hz";
        QTest::newRow("500.01 Hz") << 500.01 << 50001 << 2 << qint64(249) << 502.008 << "502.008"
                                   << "Hz";
        QTest::newRow("999.99 Hz, still hertz") << 999.99 << 99999 << 2 << qint64(125) << 1000.0 << "1000"
                                                << "Hz";
        QTest::newRow("1000 Hz, kilohertz") << 1000.0 << 100000 << 2 << qint64(125) << 1000.0 << "1"
                                            << "kHz";
        QTest::newRow("1234.56 Hz") << 1234.56 << 123456 << 4 << qint64(202) << 1237.622 << "1.23762"
                                    << "kHz";
        QTest::newRow("16000 Hz, top of prescaler 32")
            << 16000.0 << 1600000 << 32 << qint64(125) << 16000.0 << "16"
            << "kHz";
        QTest::newRow("16000.01 Hz") << 16000.01 << 1600001 << 64 << qint64(249) << 16064.256 << "16.0643"
                                     << "kHz";
        QTest::newRow("100000 Hz, the top of the range")
            << 100000.0 << 10000000 << 64 << qint64(40) << 100000.0 << "100"
            << "kHz";
        QTest::newRow("200000 Hz is 100000 Hz")
            << 200000.0 << 10000000 << 64 << qint64(40) << 100000.0 << "100"
            << "kHz";
        // Below and above the spin box's range the request stays within it.
        QTest::newRow("0 Hz is 1 Hz") << 0.0 << 100 << 1 << qint64(62500) << 1.0 << "1"
                                      << "Hz";
        QTest::newRow("NaN is 1 Hz") << qQNaN() << 100 << 1 << qint64(62500) << 1.0 << "1"
                                     << "Hz";
        QTest::newRow("1e9 Hz is 100000 Hz") << 1e9 << 10000000 << 64 << qint64(40) << 100000.0 << "100"
                                             << "kHz";
    }
    void frequencyRequest()
    {
        QFETCH(double, hertz);
        QFETCH(int, hundredths);
        QFETCH(int, prescaler);
        QFETCH(qint64, period);
        QFETCH(double, actualHz);
        QFETCH(QString, text);
        QFETCH(QString, unit);
        const FrequencyRequest r = generator::frequencyRequest(hertz);
        QCOMPARE(r.hundredths, hundredths);
        QCOMPARE(r.prescaler, prescaler);
        QCOMPARE(r.period, period);
        QCOMPARE(r.actualHz, actualHz);
        QCOMPARE(r.text, text);
        QCOMPARE(r.unit, unit);
        QCOMPARE(int(r.value), hundredths >> 16);
        QCOMPARE(int(r.index), hundredths & 0xFFFF);
    }

    // The request value and index carry the upper and lower 16 bits.
    void requestSplitsIntoValueAndIndex()
    {
        const FrequencyRequest r = generator::frequencyRequest(100000);
        QCOMPARE(r.value, quint16(0x0098));
        QCOMPARE(r.index, quint16(0x9680));
        const FrequencyRequest low = generator::frequencyRequest(655.36);
        QCOMPARE(low.value, quint16(1));
        QCOMPARE(low.index, quint16(0));
    }

    // Every hundredth the spin box can show is sent as that hundredth, where
    // truncating the binary product would lose one (e.g. 1234.57 x 100).
    void requestIsTheShownHundredth()
    {
        for (qint32 h = 100; h <= 10000000; h += (h < 200000 ? 1 : 997)) {
            const double shown = h / 100.0;
            QCOMPARE(generator::frequencyRequest(shown).hundredths, h);
        }
    }

    void prescalerTable_data()
    {
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<int>("prescaler");
        const struct
        {
            int from, to, c;
        } bands[] = {
            {1600001, 20000000, 64}, {800001, 1600000, 32}, {400001, 800000, 16}, {200001, 400000, 8},
            {100001, 200000, 4},     {50001, 100000, 2},    {1, 50000, 1}};
        for (const auto &b : bands) {
            QTest::addRow("%d", b.from) << b.from << b.c;
            QTest::addRow("%d", b.to) << b.to << b.c;
        }
    }
    void prescalerTable()
    {
        QFETCH(int, hundredths);
        QFETCH(int, prescaler);
        QCOMPARE(prescalerFor(hundredths), prescaler);
    }

    void desiredFrequency_data()
    {
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("range");
        QTest::addColumn<float>("hertz");
        QTest::newRow("10: 10") << 10 << int(Range10) << 1.0f;
        QTest::newRow("10: 55") << 55 << int(Range10) << 5.5f;
        QTest::newRow("100: 37") << 37 << int(Range100) << 37.0f;
        QTest::newRow("1K: 10") << 10 << int(Range1K) << 100.0f;
        QTest::newRow("10K: 12") << 12 << int(Range10K) << 1200.0f;
        QTest::newRow("100K: 100") << 100 << int(Range100K) << 100000.0f;
    }
    void desiredFrequency()
    {
        QFETCH(int, slider);
        QFETCH(int, range);
        QFETCH(float, hertz);
        QCOMPARE(generator::desiredFrequency(slider, Range(range)), hertz);
    }

    // Slider -> spin box (kept to 3 decimals) -> register, nearest step.
    void slidersReachTheirRegisterStep_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("slider");
        QTest::addColumn<double>("shown");
        QTest::addColumn<int>("reg");
        QTest::newRow("amplitude 0") << "amplitude" << 0 << 0.0 << 0x00;
        QTest::newRow("amplitude 64") << "amplitude" << 64 << 2.0 << 0xC0;
        QTest::newRow("amplitude 128") << "amplitude" << 128 << 4.0 << 0x80;
        // Truncation gave 1 here: 0.781 x 2.56 = 1.9994.
        QTest::newRow("duty 2") << "duty" << 2 << 0.781 << 2;
        QTest::newRow("duty 1") << "duty" << 1 << 0.391 << 1;
        QTest::newRow("duty 128") << "duty" << 128 << 50.001 << 128;
        QTest::newRow("duty 255") << "duty" << 255 << 99.611 << 255;
        // Truncation gave -9 (0xF7) here: 0.156 x -63.98 = -9.98.
        QTest::newRow("offset 10") << "offset" << 10 << 0.156 << 0xF6;
        QTest::newRow("offset -127") << "offset" << -127 << -1.985 << 127;
        QTest::newRow("offset 0") << "offset" << 0 << 0.0 << 0;
        // 128 x 0.01563 = 2.0006: the spin box holds its maximum, 2.000.
        QTest::newRow("offset 128") << "offset" << 128 << 2.0 << 0x80;
    }
    void slidersReachTheirRegisterStep()
    {
        QFETCH(QString, control);
        QFETCH(int, slider);
        QFETCH(double, shown);
        QFETCH(int, reg);
        double x = 0;
        quint8 byte = 0;
        if (control == "amplitude") {
            x = roundToDecimals(reg::amplitudeVolts(slider), SpinBoxDecimals);
            byte = reg::encodeAmplitude(x);
        } else if (control == "duty") {
            x = roundToDecimals(reg::dutyPercent(slider), SpinBoxDecimals);
            byte = reg::encodeDutyCycle(x);
        } else {
            x = std::clamp(roundToDecimals(reg::offsetVolts(slider), SpinBoxDecimals), -2.0, 2.0);
            byte = reg::encodeOffset(x);
        }
        QCOMPARE(x, shown);
        QCOMPARE(int(byte), reg);
    }

    // Spin box values at and beyond the ends.
    void spinBoxEnds_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("reg");
        QTest::newRow("duty 0 is 1") << "duty" << 0.0 << 1;
        QTest::newRow("duty 99.9 stays 255") << "duty" << 99.9 << 255;
        QTest::newRow("duty 50.0") << "duty" << 50.0 << 128;
        QTest::newRow("offset -2.0") << "offset" << -2.0 << 127;
        QTest::newRow("offset 2.0") << "offset" << 2.0 << 0x80;
        QTest::newRow("amplitude 4.0") << "amplitude" << 4.0 << 0x80;
        QTest::newRow("amplitude beyond 4 V") << "amplitude" << 5.0 << 0x80;
        QTest::newRow("amplitude below 0") << "amplitude" << -1.0 << 0;
    }
    void spinBoxEnds()
    {
        QFETCH(QString, control);
        QFETCH(double, x);
        QFETCH(int, reg);
        const quint8 byte = control == "duty"     ? reg::encodeDutyCycle(x)
                            : control == "offset" ? reg::encodeOffset(x)
                                                  : reg::encodeAmplitude(x);
        QCOMPARE(int(byte), reg);
    }

    // A register read from the instrument sets the slider; the slider sets
    // the spin box, whose shown value writes the register: the same byte
    // comes back for every byte the controls can show.
    void sliderRouteGivesTheByteBack()
    {
        for (int a = 0; a <= 128; ++a) { // register 36 = -a
            const quint8 byte = quint8(-a);
            const double shown =
                roundToDecimals(reg::amplitudeVolts(reg::decodeAmplitude(byte)), SpinBoxDecimals);
            QCOMPARE(int(reg::encodeAmplitude(shown)), int(byte));
        }
        for (int d = 1; d <= 255; ++d) {
            const double shown =
                roundToDecimals(reg::dutyPercent(reg::decodeDutyCycle(quint8(d))), SpinBoxDecimals);
            QCOMPARE(int(reg::encodeDutyCycle(shown)), d);
        }
        for (int o = -128; o <= 127; ++o) {
            const double volts = reg::offsetVolts(reg::decodeOffset(quint8(o)));
            const double shown = std::clamp(roundToDecimals(volts, SpinBoxDecimals), -2.0, 2.0);
            QCOMPARE(int(qint8(reg::encodeOffset(shown))), o);
        }
    }
};

QUORVEL_CORE_TEST_MAIN(TestGenerator)
#include "test_generator.moc"
