// The Average setting: the mean of the last frames, and when it starts again.
#include "quorveltest.h"

#include "display/averager.h"

#include <cmath>
#include <random>

namespace {
QVector<double> constant(double value, int n = 4)
{
    return QVector<double>(n, value);
}
} // namespace

class TestAverager : public QObject
{
    Q_OBJECT

private slots:
    void depths_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("depth");
        QTest::newRow("1") << 0 << 1;
        QTest::newRow("2") << 1 << 2;
        QTest::newRow("4") << 2 << 4;
        QTest::newRow("8") << 3 << 8;
        QTest::newRow("none chosen") << -1 << 1;
        QTest::newRow("past the list") << 4 << 1;
    }
    void depths()
    {
        QFETCH(int, index);
        QFETCH(int, depth);
        QCOMPARE(TraceAverager::depthOfIndex(index), depth);
    }

    // Frames of 0, 4, 8, ...: the mean of the last `depth` of them.
    void runningMean_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<QVector<double>>("means");
        QTest::newRow("1") << 1 << QVector<double>{0, 4, 8, 12, 16, 20};
        QTest::newRow("2") << 2 << QVector<double>{0, 2, 6, 10, 14, 18};
        QTest::newRow("4") << 4 << QVector<double>{0, 2, 4, 6, 10, 14};
        QTest::newRow("8") << 8 << QVector<double>{0, 2, 4, 6, 8, 10};
    }
    void runningMean()
    {
        QFETCH(int, depth);
        QFETCH(QVector<double>, means);
        TraceAverager averager;
        const TraceAverager::Conditions c;
        for (int f = 0; f < means.size(); ++f) {
            QVector<double> ch1 = constant(4.0 * f), ch2 = constant(-4.0 * f, 3);
            averager.apply(ch1, ch2, c, depth);
            QCOMPARE(ch1, constant(means[f]));
            QCOMPARE(ch2, constant(-means[f], 3));
            QCOMPARE(averager.count(), std::min(f + 1, depth));
        }
    }

    // Any change of what the values mean starts the mean again.
    void restarts_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *c : {"time base", "CH1 gain", "CH2 gain", "CH1 position", "CH2 position", "scroll",
                              "trigger", "mode", "depth", "length"})
            QTest::newRow(c) << QString::fromLatin1(c);
    }
    void restarts()
    {
        QFETCH(QString, change);
        TraceAverager averager;
        TraceAverager::Conditions c;
        int depth = 4;
        for (double v : {10.0, 20.0, 30.0}) {
            QVector<double> ch1 = constant(v), ch2 = constant(v);
            averager.apply(ch1, ch2, c, depth);
        }
        int length = 4;
        if (change == "time base")
            c.timeBase = 3;
        else if (change == "CH1 gain")
            c.ch1Gain = 2;
        else if (change == "CH2 gain")
            c.ch2Gain = 5;
        else if (change == "CH1 position")
            c.ch1Position = -20;
        else if (change == "CH2 position")
            c.ch2Position = 7;
        else if (change == "scroll")
            c.scroll = 100;
        else if (change == "trigger")
            c.trigger = 0x123;
        else if (change == "mode")
            c.mode = 1;
        else if (change == "depth")
            depth = 8;
        else
            length = 6;
        QVector<double> ch1 = constant(100, length), ch2 = constant(100, length);
        averager.apply(ch1, ch2, c, depth);
        QCOMPARE(averager.count(), 1);
        QCOMPARE(ch1, constant(100, length));
        ch1 = constant(50, length);
        ch2 = constant(50, length);
        averager.apply(ch1, ch2, c, depth);
        QCOMPARE(ch1, constant(75, length));
    }

    void rollModeShowsFramesAsTheyCome()
    {
        TraceAverager averager;
        TraceAverager::Conditions c;
        c.rollMode = true;
        for (double v : {10.0, 20.0, 30.0}) {
            QVector<double> ch1 = constant(v), ch2 = constant(-v);
            averager.apply(ch1, ch2, c, 8);
            QCOMPARE(ch1, constant(v));
            QCOMPARE(ch2, constant(-v));
        }
        // Leaving roll mode starts from the next frame.
        c.rollMode = false;
        QVector<double> ch1 = constant(40), ch2 = constant(40);
        averager.apply(ch1, ch2, c, 8);
        QCOMPARE(ch1, constant(40));
    }

    // Noise around a level: the mean of 8 frames strays about sqrt(8) times less.
    void averagingLowersNoise()
    {
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0, 10);
        TraceAverager averager;
        double spreadOne = 0, spreadEight = 0;
        for (int f = 0; f < 40; ++f) {
            QVector<double> ch1(256), ch2(256);
            for (double &v : ch1)
                v = std::round(200 + noise(random));
            for (double &v : ch2)
                v = std::round(200 + noise(random));
            double one = 0;
            for (double v : ch1)
                one += (v - 200) * (v - 200);
            averager.apply(ch1, ch2, {}, 8);
            if (f < 8)
                continue;
            double eight = 0;
            for (double v : ch1)
                eight += (v - 200) * (v - 200);
            spreadOne += one;
            spreadEight += eight;
        }
        const double ratio = std::sqrt(spreadOne / spreadEight);
        QVERIFY2(ratio > 2.4 && ratio < 3.4, qPrintable(QString::number(ratio)));
    }
};

QUORVEL_CORE_TEST_MAIN(TestAverager)
#include "test_averager.moc"
