// Scale tables, channel and time labels, the four-digit formatter.
#include "quorveltest.h"

#include "display/scales.h"

#include <cmath>

using scales::ChannelLabelState;
using scales::MathMode;

Q_DECLARE_METATYPE(MathMode)

class TestScales : public QObject
{
    Q_OBJECT

private slots:
    void timeBaseTexts_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        const QString micro = QString(QChar(0x00B5));
        QTest::newRow("0") << 0 << "8" + micro + "s/div";
        QTest::newRow("4") << 4 << "128" + micro + "s/div";
        QTest::newRow("6") << 6 << "500" + micro + "s/div";
        QTest::newRow("7") << 7 << "1ms/div";
        QTest::newRow("10") << 10 << "10ms/div";
        QTest::newRow("11") << 11 << "20ms/div";
        QTest::newRow("13") << 13 << "0.1s/div";
        QTest::newRow("15") << 15 << "0.5s/div";
        QTest::newRow("21") << 21 << "50s/div";
    }
    void timeBaseTexts()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        const QList<QString> table = scales::timeBaseTexts();
        QCOMPARE(table.size(), scales::TimeBaseCount);
        QCOMPARE(table.at(index), text);
        QCOMPARE(scales::timeLabel(table, index), "Time = " + text);
    }

    void gainTexts_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "5.12V/div";
        QTest::newRow("3") << 3 << "0.64V/div";
        QTest::newRow("6") << 6 << "80mV/div";
        QTest::newRow("7") << 7 << "----";
        QTest::newRow("8 outside the table") << 8 << "----";
        QTest::newRow("negative") << -1 << "----";
    }
    void gainTexts()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        const QList<QString> table = scales::gainTexts();
        QCOMPARE(table.size(), scales::GainCount);
        QCOMPARE(scales::gainText(table, index), text);
    }

    void sweepRatesAndIcons()
    {
        const QList<int> rates = scales::sweepRates();
        QCOMPARE(rates.size(), scales::SweepRateCount);
        QCOMPARE(rates.first(), 10);
        QCOMPARE(rates.at(7), 32000);
        QCOMPARE(rates.at(8), 16000000);
        QCOMPARE(rates.last(), 320);

        const QStringList green = scales::triggerIconsGreen();
        const QStringList red = scales::triggerIconsRed();
        QCOMPARE(green.size(), scales::TriggerIconCount);
        QCOMPARE(red.size(), scales::TriggerIconCount);
        QCOMPARE(green.at(0), QStringLiteral(":/Bitmaps/Bitmaps/risingg.png"));
        QCOMPARE(red.at(2), QStringLiteral(":/Bitmaps/Bitmaps/dualr.png"));
        QCOMPARE(green.at(5), QStringLiteral(":/Bitmaps/Bitmaps/window1g.png"));
        QCOMPARE(red.at(6), QStringLiteral(":/Bitmaps/Bitmaps/window2r.png"));
    }

    void channelLabels_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<bool>("thisInverted");
        QTest::addColumn<bool>("otherInverted");
        QTest::addColumn<bool>("math");
        QTest::addColumn<MathMode>("mode");
        QTest::addColumn<int>("gain");
        QTest::addColumn<QString>("label");
        QTest::newRow("ch1 plain") << 1 << false << false << false << MathMode::Subtract << 3
                                   << " CH1 = 0.64V/div";
        QTest::newRow("ch1 inverted, subtract")
            << 1 << true << false << true << MathMode::Subtract << 3 << "-CH1 - CH2 = 0.64V/div";
        QTest::newRow("ch1 subtract inverted ch2")
            << 1 << true << true << true << MathMode::Subtract << 3 << "-CH1 + CH2 = 0.64V/div";
        QTest::newRow("ch1 multiply")
            << 1 << false << false << true << MathMode::Multiply << 0 << " CH1 X CH2 = 5.12V/div";
        QTest::newRow("ch1 multiply inverted ch2")
            << 1 << false << true << true << MathMode::Multiply << 0 << " CH1 X -CH2 = 5.12V/div";
        QTest::newRow("ch1 multiply, own invert")
            << 1 << true << false << true << MathMode::Multiply << 0 << "-CH1 X CH2 = 5.12V/div";
        QTest::newRow("ch1 math box off")
            << 1 << false << true << false << MathMode::Multiply << 1 << " CH1 = 2.56V/div";
        QTest::newRow("ch2 multiply")
            << 2 << false << false << true << MathMode::Multiply << 6 << " CH2 X CH1 = 80mV/div";
        QTest::newRow("ch2 subtract inverted ch1")
            << 2 << false << true << true << MathMode::Subtract << 6 << " CH2 + CH1 = 80mV/div";
        QTest::newRow("ch2 multiply takes its own invert")
            << 2 << true << false << true << MathMode::Multiply << 6 << "-CH2 X -CH1 = 80mV/div";
        QTest::newRow("ch2 multiply, ch1 inverted")
            << 2 << false << true << true << MathMode::Multiply << 6 << " CH2 X CH1 = 80mV/div";
        QTest::newRow("ch2 gain out of range")
            << 2 << false << false << false << MathMode::None << 7 << " CH2 = ----";
    }
    void channelLabels()
    {
        QFETCH(int, channel);
        QFETCH(bool, thisInverted);
        QFETCH(bool, otherInverted);
        QFETCH(bool, math);
        QFETCH(MathMode, mode);
        QFETCH(int, gain);
        QFETCH(QString, label);
        ChannelLabelState state;
        state.thisInverted = thisInverted;
        state.otherInverted = otherInverted;
        state.math = math;
        state.mode = mode;
        QCOMPARE(scales::channelLabel(channel, state, scales::gainText(scales::gainTexts(), gain)), label);
    }

    void shortChannelLabels()
    {
        QCOMPARE(scales::shortChannelLabel(1, QStringLiteral("0.32V/div")),
                 QStringLiteral("CH1 = 0.32V/div"));
        QCOMPARE(scales::shortChannelLabel(2, QStringLiteral("----")), QStringLiteral("CH2 = ----"));
    }

    void get4Digits_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("999.96") << 999.96 << " 1000.0";
        QTest::newRow("1000") << 1000.0 << " 1000";
        QTest::newRow("1234.4") << 1234.4 << " 1234";
        QTest::newRow("-10") << -10.0 << "-10.00";
        QTest::newRow("0.5") << 0.5 << " 0.500";
        QTest::newRow("0") << 0.0 << " 0.000";
        QTest::newRow("100") << 100.0 << " 100.0";
        QTest::newRow("99.999") << 99.999 << " 100.00";
        QTest::newRow("-0.0123") << -0.0123 << "-0.012";
        QTest::newRow("3.125") << 3.125 << " 3.125";
        QTest::newRow("-1000") << -1000.0 << "-1000";
        QTest::newRow("-999.5") << -999.5 << "-999.5";
    }
    void get4Digits()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(scales::get4Digits(value), text);
    }

    void get4DigitsRoundsAsQStringDoes()
    {
        // -12.345 is not exactly representable; the result follows QString's
        // rounding of the double, with two decimals and no leading space.
        const QString text = scales::get4Digits(-12.345);
        QCOMPARE(text, QString::number(-12.345, 'f', 2));
        QVERIFY(text == QLatin1String("-12.35") || text == QLatin1String("-12.34"));
    }

    // Equal cursors give 1/0, a loaded wave can hold 1e308: the text stays
    // within the field.
    void get4DigitsBeyondItsField_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("infinity") << double(HUGE_VAL);
        QTest::newRow("minus infinity") << -double(HUGE_VAL);
        QTest::newRow("nan") << std::nan("");
        QTest::newRow("1e308") << 1e308;
        QTest::newRow("-1e308") << -1e308;
        QTest::newRow("9999.5 rounds to five digits") << 9999.5;
        QTest::newRow("12345") << 12345.0;
    }
    void get4DigitsBeyondItsField()
    {
        QFETCH(double, value);
        QCOMPARE(scales::get4Digits(value), QStringLiteral(" ----"));
    }
};

QUORVEL_CORE_TEST_MAIN(TestScales)
#include "test_scales.moc"
