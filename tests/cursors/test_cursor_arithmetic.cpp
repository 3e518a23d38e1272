// Cursor and trigger marker arithmetic: register encodings, read-out texts,
// sweep range texts, level clamps, and that a level written by a drag puts
// the marker back where it was dropped.
#include "quorveltest.h"

#include "display/cursors.h"
#include "display/scales.h"
#include "display/traces.h"
#include "display/triggermarkers.h"

#include <cmath>

class TestCursorArithmetic : public QObject
{
    Q_OBJECT

private slots:
    void horizontalCursor_data();
    void horizontalCursor();
    void verticalCursor_data();
    void verticalCursor();
    void scaleTexts_data();
    void scaleTexts();
    void timeReadout_data();
    void timeReadout();
    void everyTimeBaseHasAnInverseUnit();
    void voltReadout_data();
    void voltReadout();
    void sweepRange_data();
    void sweepRange();
    void sweepRangeWithoutKindOrRate();
    void triggerLevelRegister_data();
    void triggerLevelRegister();
    void windowLevelRegister_data();
    void windowLevelRegister();
    void droppedLevelReadBackWithinOnePlotUnit();
    void storedLevelSitsWhereTheTraceCrossesIt();
    void triggerPosition_data();
    void triggerPosition();
    void markerPixel_data();
    void markerPixel();
    void mirroredIcon_data();
    void mirroredIcon();
    void windowDrag_data();
    void windowDrag();
};

void TestCursorArithmetic::horizontalCursor_data()
{
    QTest::addColumn<int>("plotValue");
    QTest::addColumn<int>("zero");
    QTest::addColumn<int>("stored"); // hCursor after the drag clamp
    QTest::addColumn<int>("relative");
    QTest::addColumn<int>("reg");
    QTest::newRow("top, zero 256") << 520 << 256 << 504 << 504 << 1;
    QTest::newRow("bottom, zero 256") << -3 << 256 << 8 << 8 << 125;
    QTest::newRow("middle") << 256 << 256 << 256 << 256 << 63;
    QTest::newRow("zero low: relative clamps at 511") << 504 << 128 << 504 << 511 << 0;
    QTest::newRow("zero high: relative clamps at 0") << 8 << 384 << 8 << 0 << 127;
    QTest::newRow("row boundary 4") << 260 << 256 << 260 << 260 << 62;
    QTest::newRow("just under row boundary") << 259 << 256 << 259 << 259 << 63;
}

void TestCursorArithmetic::horizontalCursor()
{
    QFETCH(int, plotValue);
    QFETCH(int, zero);
    QFETCH(int, stored);
    QFETCH(int, relative);
    QFETCH(int, reg);
    const int h = cursors::clampHCursor(plotValue);
    QCOMPARE(h, stored);
    const int r = cursors::relativeValue(h, zero);
    QCOMPARE(r, relative);
    QCOMPARE(cursors::horizontalCursorRegister(r), reg);
    QCOMPARE(cursors::plotValueOfRelative(r, zero), qBound(zero - 256, h, zero + 255));
}

void TestCursorArithmetic::verticalCursor_data()
{
    QTest::addColumn<int>("plotX");
    QTest::addColumn<int>("plotColumns");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("reg");
    QTest::newRow("past the right edge") << 300 << 256 << 255 << 127;
    QTest::newRow("left of the plot") << -4 << 256 << 0 << 0;
    QTest::newRow("cursor A start") << 50 << 256 << 50 << 25;
    QTest::newRow("cursor B start") << 150 << 256 << 150 << 75;
    QTest::newRow("odd column truncates") << 151 << 256 << 151 << 75;
    QTest::newRow("other column count") << 100 << 512 << 100 << 25;
}

void TestCursorArithmetic::verticalCursor()
{
    QFETCH(int, plotX);
    QFETCH(int, plotColumns);
    QFETCH(int, stored);
    QFETCH(int, reg);
    const int v = cursors::clampVCursor(plotX, plotColumns);
    QCOMPARE(v, stored);
    QCOMPARE(cursors::verticalCursorRegister(v, plotColumns), reg);
}

void TestCursorArithmetic::scaleTexts_data()
{
    QTest::addColumn<bool>("time");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("unit");
    const QString micro(QChar(0x00B5));
    QTest::newRow("8µs") << true << QString("8") + micro + "s/div" << 8.0 << micro + "s";
    QTest::newRow("1ms") << true << QString("1ms/div") << 1.0 << QString("ms");
    QTest::newRow("0.2s") << true << QString("0.2s/div") << 0.2 << QString("s");
    QTest::newRow("50s") << true << QString("50s/div") << 50.0 << QString("s");
    QTest::newRow("5.12V") << false << QString("5.12V/div") << 5.12 << QString("V");
    QTest::newRow("80mV") << false << QString("80mV/div") << 80.0 << QString("mV");
    QTest::newRow("no gain") << false << QString("----") << 0.0 << QString("----");
    QTest::newRow("empty gain") << false << QString() << 0.0 << QString("----");
}

void TestCursorArithmetic::scaleTexts()
{
    QFETCH(bool, time);
    QFETCH(QString, text);
    QFETCH(double, number);
    QFETCH(QString, unit);
    const cursors::ScaleText s = time ? cursors::parseTimeBaseText(text) : cursors::parseGainText(text);
    QCOMPARE(s.number, number);
    QCOMPARE(s.unit, unit);
}

void TestCursorArithmetic::timeReadout_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("timeBase");
    QTest::addColumn<double>("deltaT");
    QTest::addColumn<QString>("deltaTText");
    QTest::addColumn<QString>("inverseText");
    const QString micro(QChar(0x00B5));
    QTest::newRow("1ms/div, cursors 50 and 150") << 50 << 150 << QString("1ms/div") << 3.125
                                                 << QString("ΔT =  3.125 ms") << QString("1/ΔT =  320.0 Hz");
    QTest::newRow("cursors swapped: ΔT stays positive")
        << 150 << 50 << QString("1ms/div") << 3.125 << QString("ΔT =  3.125 ms")
        << QString("1/ΔT =  320.0 Hz");
    QTest::newRow("µs base gives kHz")
        << 50 << 150 << QString("8") + micro + "s/div" << 25.0 << QString("ΔT =  25.00 ") + micro + "s"
        << QString("1/ΔT =  40.00 kHz");
    QTest::newRow("seconds give Hz of the seconds")
        << 0 << 128 << QString("0.2s/div") << 0.8 << QString("ΔT =  0.800 s") << QString("1/ΔT =  1.250 Hz");
    QTest::newRow("inverse of the shown four digits")
        << 0 << 2 << QString("0.1s/div") << 0.006 << QString("ΔT =  0.006 s") << QString("1/ΔT =  166.7 Hz");
    QTest::newRow("equal cursors") << 80 << 80 << QString("1ms/div") << 0.0 << QString("ΔT =  0.000 ms")
                                   << QString("1/ΔT = ----");
    QTest::newRow("same instrument column")
        << 80 << 81 << QString("50s/div") << 0.0 << QString("ΔT =  0.000 s") << QString("1/ΔT = ----");
}

void TestCursorArithmetic::timeReadout()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QString, timeBase);
    QFETCH(double, deltaT);
    QFETCH(QString, deltaTText);
    QFETCH(QString, inverseText);
    const cursors::TimeReadout r = cursors::timeReadout(a, b, 256, timeBase);
    QCOMPARE(r.deltaT, deltaT);
    QCOMPARE(r.deltaTText, deltaTText);
    QCOMPARE(r.inverseText, inverseText);
}

void TestCursorArithmetic::everyTimeBaseHasAnInverseUnit()
{
    // Microseconds in kHz, milliseconds and seconds in Hz; 1/ΔT equals one
    // over ΔT in seconds for every entry of the table.
    const QList<QString> table = scales::timeBaseTexts();
    for (int i = 0; i < table.size(); ++i) {
        const cursors::TimeReadout r = cursors::timeReadout(0, 32, 256, table.at(i));
        const QString unit = cursors::parseTimeBaseText(table.at(i)).unit;
        const double seconds = r.deltaT * (unit == "s" ? 1.0 : unit == "ms" ? 1e-3 : 1e-6);
        const QString expectedUnit = i <= 6 ? "kHz" : "Hz";
        QVERIFY2(r.inverseText.endsWith(" " + expectedUnit), qPrintable(table.at(i) + ": " + r.inverseText));
        const double shown = r.inverseText.mid(QString("1/ΔT = ").size()).section(' ', 0, -2).toDouble();
        const double hertz = 1.0 / seconds / (expectedUnit == "kHz" ? 1000.0 : 1.0);
        QVERIFY2(std::fabs(shown - hertz) <= 0.0005 * hertz + 0.0005,
                 qPrintable(table.at(i) + ": " + r.inverseText));
    }
}

void TestCursorArithmetic::voltReadout_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("gain");
    QTest::addColumn<double>("va");
    QTest::addColumn<double>("vb");
    QTest::addColumn<QString>("vaText");
    QTest::addColumn<QString>("vbText");
    QTest::addColumn<QString>("deltaVText");
    QTest::newRow("80mV/div") << 256 << 384 << QString("80mV/div") << 5.0 << 165.0
                              << QString("Va =  5.000 mV") << QString("Vb =  165.0 mV")
                              << QString("ΔV =  160.0 mV");
    QTest::newRow("negative, B below A")
        << 0 << 252 << QString("5.12V/div") << -20.16 << 0.0 << QString("Va = -20.16 V")
        << QString("Vb =  0.000 V") << QString("ΔV =  20.16 V");
    QTest::newRow("no gain") << 256 << 384 << QString("----") << 0.0 << 0.0 << QString("Va =  0.000 ----")
                             << QString("Vb =  0.000 ----") << QString("ΔV =  0.000 ----");
}

void TestCursorArithmetic::voltReadout()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QString, gain);
    QFETCH(double, va);
    QFETCH(double, vb);
    QFETCH(QString, vaText);
    QFETCH(QString, vbText);
    QFETCH(QString, deltaVText);
    const cursors::VoltReadout r = cursors::voltReadout(a, b, gain);
    QCOMPARE(r.va, va);
    QCOMPARE(r.vb, vb);
    QCOMPARE(r.deltaV, vb - va);
    QCOMPARE(r.vaText, vaText);
    QCOMPARE(r.vbText, vbText);
    QCOMPARE(r.deltaVText, deltaVText);
}

void TestCursorArithmetic::sweepRange_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("e");
    QTest::addColumn<int>("sampling");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("unit");
    const int f = int(cursors::SweepKind::Frequency), a = int(cursors::SweepKind::Amplitude),
              o = int(cursors::SweepKind::Offset), d = int(cursors::SweepKind::DutyCycle);
    // 3200000 / 256 = 12500; 100 * 12500 / 2000 = 625
    QTest::newRow("frequency, ms base") << f << 100 << 200 << 10 << "625"
                                        << "1250"
                                        << "Hz";
    // 1600000 / 128 = 12500 from the first slow time base on
    QTest::newRow("frequency, slow base") << f << 100 << 200 << 11 << "625"
                                          << "1250"
                                          << "Hz";
    // 500000 / 256 = 1953 (integer division); 200 * 1953 / 2000 = 195.3
    QTest::newRow("frequency, µs base") << f << 1 << 200 << 3 << "0.9765"
                                        << "195.3"
                                        << "kHz";
    QTest::newRow("frequency, last µs base") << f << 0 << 0 << 6 << "0"
                                             << "0"
                                             << "kHz";
    QTest::newRow("frequency, first ms base") << f << 0 << 0 << 7 << "0"
                                              << "0"
                                              << "Hz";
    QTest::newRow("amplitude") << a << 64 << 255 << 10 << "1"
                               << "3.98438"
                               << "V";
    QTest::newRow("offset") << o << 255 << 0 << 10 << "2"
                            << "-1.98565"
                            << "V";
    QTest::newRow("duty cycle") << d << 128 << 1 << 10 << "50.0006"
                                << "0.39063"
                                << "%";
}

void TestCursorArithmetic::sweepRange()
{
    QFETCH(int, kind);
    QFETCH(int, s);
    QFETCH(int, e);
    QFETCH(int, sampling);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, unit);
    cursors::SweepRange r;
    QVERIFY(cursors::sweepRange(cursors::SweepKind(kind), s, e, sampling, scales::sweepRates(), r));
    QCOMPARE(r.start, start);
    QCOMPARE(r.end, end);
    QCOMPARE(r.unit, unit);
}

void TestCursorArithmetic::sweepRangeWithoutKindOrRate()
{
    cursors::SweepRange r{"a", "b", "c"};
    QVERIFY(!cursors::sweepRange(cursors::SweepKind::None, 1, 2, 10, scales::sweepRates(), r));
    QVERIFY(!cursors::sweepRange(cursors::SweepKind::Frequency, 1, 2, 23, scales::sweepRates(), r));
    QVERIFY(!cursors::sweepRange(cursors::SweepKind::Frequency, 1, 2, -1, scales::sweepRates(), r));
    QCOMPARE(r.start + r.end + r.unit, QString("abc"));
}

void TestCursorArithmetic::triggerLevelRegister_data()
{
    QTest::addColumn<int>("plotValue");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("reg");
    QTest::newRow("top edge") << 512 << 0 << -1 << 3;
    QTest::newRow("level 5 still clamps") << 506 << 0 << 5 << 3;
    QTest::newRow("level 6 halves to 3") << 505 << 0 << 6 << 3;
    QTest::newRow("level 8") << 503 << 0 << 8 << 4;
    QTest::newRow("bottom edge") << 0 << 0 << 511 << 252;
    QTest::newRow("level 506 clamps") << 5 << 0 << 506 << 252;
    QTest::newRow("level 505 halves to 252") << 6 << 0 << 505 << 252;
    QTest::newRow("level 503") << 8 << 0 << 503 << 251;
    QTest::newRow("position offset lowers the level") << 256 << -128 << 127 << 63;
    QTest::newRow("position offset raises the level") << 256 << 127 << 382 << 191;
}

void TestCursorArithmetic::triggerLevelRegister()
{
    QFETCH(int, plotValue);
    QFETCH(int, position);
    QFETCH(int, level);
    QFETCH(int, reg);
    QCOMPARE(trigger::levelFromPointer(plotValue, position), level);
    QCOMPARE(reg::triggerLevelRegister(level), reg);
}

void TestCursorArithmetic::windowLevelRegister_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("reg");
    QTest::newRow("below -1") << -2 << 0;
    QTest::newRow("-1") << -1 << 0;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("middle") << 301 << 150;
    QTest::newRow("511") << 511 << 255;
    QTest::newRow("512") << 512 << 255;
    QTest::newRow("far above") << 5000 << 255;
}

void TestCursorArithmetic::windowLevelRegister()
{
    QFETCH(int, level);
    QFETCH(int, reg);
    QCOMPARE(reg::windowLevelRegister(level), reg);
}

void TestCursorArithmetic::droppedLevelReadBackWithinOnePlotUnit()
{
    // A level dropped at plot value y, written as a register byte and read
    // back, places the marker within one plot unit of y, at every position
    // offset and every height whose register is not clamped.
    for (int position : {-128, -64, 0, 1, 64, 127}) {
        for (int y = 0; y <= 512; ++y) {
            const int level = trigger::levelFromPointer(y, position);
            const int reg = reg::triggerLevelRegister(level);
            if (reg == reg::TriggerLevelMin || reg == reg::TriggerLevelMax)
                continue;
            const double back = trigger::plotValueOfLevel(reg::levelUnits(reg), position);
            QVERIFY2(std::fabs(back - y) <= 1.0,
                     qPrintable(QString("position %1, y %2 -> %3").arg(position).arg(y).arg(back)));
            // A re-placement from the stored (unrounded) level leaves it exactly.
            QCOMPARE(trigger::plotValueOfLevel(level, position), double(y));
        }
    }
}

void TestCursorArithmetic::storedLevelSitsWhereTheTraceCrossesIt()
{
    // Register r names the sample byte r: the marker sits on the source trace
    // between sample r and the next one up, whatever the channel's position.
    for (int position : {-128, 0, 127}) {
        for (int reg = 0; reg <= 255; ++reg) {
            const double marker = trigger::plotValueOfLevel(reg::levelUnits(reg), position);
            const double sample = frame::channelValue((unsigned char)reg, position);
            QCOMPARE(marker, sample + 1.0);
        }
    }
}

void TestCursorArithmetic::triggerPosition_data()
{
    QTest::addColumn<int>("plotX");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("request");
    QTest::newRow("left of the plot") << -7 << 127 << 127 << 129;
    QTest::newRow("right of the plot") << 400 << 127 << 254 << 2;
    QTest::newRow("middle, scroll 64") << 100 << 64 << 114 << 142;
    QTest::newRow("odd column") << 101 << 0 << 50 << 206;
}

void TestCursorArithmetic::triggerPosition()
{
    QFETCH(int, plotX);
    QFETCH(int, scroll);
    QFETCH(int, position);
    QFETCH(int, request);
    const int p = trigger::positionFromPointer(plotX, scroll);
    QCOMPARE(p, position);
    QCOMPARE(reg::postTriggerValue(p), request);
    if (plotX >= 0 && plotX <= 255 && plotX % 2 == 0)
        QCOMPARE(trigger::plotXOfPosition(p, scroll), double(plotX));
}

void TestCursorArithmetic::markerPixel_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<int>("sampling");
    QTest::addColumn<QPoint>("pixel");
    // Visible rectangle 0,0 .. 399,299
    QTest::newRow("inside, truncated") << QPointF(100.9, 200.7) << 10 << QPoint(100, 200);
    QTest::newRow("top left") << QPointF(-5, 3) << 10 << QPoint(16, 16);
    QTest::newRow("bottom right") << QPointF(1000, 1000) << 10 << QPoint(383, 283);
    QTest::newRow("20 ms/div stands at x 10") << QPointF(200, 100) << 11 << QPoint(10, 100);
    QTest::newRow("50 s/div, y still clamped") << QPointF(300, 1000) << 21 << QPoint(10, 283);
}

void TestCursorArithmetic::markerPixel()
{
    QFETCH(QPointF, point);
    QFETCH(int, sampling);
    QFETCH(QPoint, pixel);
    QCOMPARE(trigger::markerPixel(point, QRect(0, 0, 400, 300), sampling), pixel);
}

void TestCursorArithmetic::mirroredIcon_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("mirrored");
    QTest::newRow("rising") << 0 << 1;
    QTest::newRow("falling") << 1 << 0;
    QTest::newRow("dual") << 2 << 2;
    QTest::newRow("positive") << 3 << 4;
    QTest::newRow("negative") << 4 << 3;
    QTest::newRow("window") << 5 << 5;
    QTest::newRow("window 2") << 6 << 6;
}

void TestCursorArithmetic::mirroredIcon()
{
    QFETCH(int, icon);
    QFETCH(int, mirrored);
    QCOMPARE(trigger::mirroredIcon(icon), mirrored);
}

void TestCursorArithmetic::windowDrag_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("candidate");
    QTest::addColumn<int>("level1");
    QTest::addColumn<int>("level2");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("level");
    QTest::newRow("level 1 up") << 0 << 150 << 200 << 312 << true << 150;
    QTest::newRow("level 1 at the gap") << 0 << 296 << 200 << 312 << true << 296;
    QTest::newRow("level 1 within the gap") << 0 << 297 << 200 << 312 << false << 297;
    QTest::newRow("level 1 across level 2") << 0 << 400 << 200 << 312 << false << 384;
    QTest::newRow("level 1 clamped at the top") << 0 << 20 << 200 << 312 << true << 128;
    QTest::newRow("level 2 down") << 1 << 380 << 200 << 312 << true << 380;
    QTest::newRow("level 2 at the gap") << 1 << 216 << 200 << 312 << true << 216;
    QTest::newRow("level 2 within the gap") << 1 << 215 << 200 << 312 << false << 215;
    QTest::newRow("level 2 across level 1") << 1 << 100 << 200 << 312 << false << 128;
    QTest::newRow("level 2 clamped at the bottom") << 1 << 500 << 200 << 312 << true << 384;
}

void TestCursorArithmetic::windowDrag()
{
    QFETCH(int, which);
    QFETCH(int, candidate);
    QFETCH(int, level1);
    QFETCH(int, level2);
    QFETCH(bool, accepted);
    QFETCH(int, level);
    const trigger::WindowDrag d = trigger::dragWindowLevel(which, candidate, level1, level2);
    QCOMPARE(d.accepted, accepted);
    QCOMPARE(d.level, level);
}

QUORVEL_CORE_TEST_MAIN(TestCursorArithmetic)
#include "test_cursor_arithmetic.moc"
