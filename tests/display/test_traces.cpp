// Frame samples to plot values: mapping, column stepping, index wrap, XY keys.
#include "quorveltest.h"

#include "display/traces.h"

#include <vector>

namespace {
// A frame whose CH1 sample i is i, CH2 sample i is 255 - i, logic byte i is i.
std::vector<unsigned char> rampFrame(unsigned char rollIndex = 0)
{
    std::vector<unsigned char> frame(frame::Size, 0);
    for (int i = 0; i < 256; ++i) {
        frame[frame::Ch1Offset + i] = static_cast<unsigned char>(i);
        frame[frame::Ch2Offset + i] = static_cast<unsigned char>(255 - i);
        frame[frame::LogicOffset + i] = static_cast<unsigned char>(i);
    }
    frame[frame::RollIndexOffset] = rollIndex;
    return frame;
}
} // namespace

Q_DECLARE_METATYPE(frame::CursorChannel)

class TestTraces : public QObject
{
    Q_OBJECT

private slots:
    void channelMapping_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("value");
        QTest::newRow("bottom edge") << 255 << 0 << 0.0;
        QTest::newRow("top sample") << 0 << 0 << 510.0;
        QTest::newRow("middle") << 128 << 0 << 254.0;
        QTest::newRow("position up") << 255 << 112 << 112.0;
        QTest::newRow("position down") << 0 << -128 << 382.0;
        QTest::newRow("position max") << 0 << 127 << 637.0;
        QTest::newRow("position 16") << 100 << 16 << 326.0;
    }
    void channelMapping()
    {
        QFETCH(int, sample);
        QFETCH(int, position);
        QFETCH(double, value);
        QCOMPARE(frame::channelValue(static_cast<unsigned char>(sample), position), value);
    }

    void logicMapping_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("high");
        QTest::addColumn<int>("chdPosition");
        QTest::addColumn<int>("chdSize");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("labelY");
        // base = 20 (n + 1), level = position * 50
        QTest::newRow("line 0 high") << 0 << true << 3 << 0 << 170.0 << 165.0;
        QTest::newRow("line 0 low") << 0 << false << 3 << 0 << 160.0 << 165.0;
        QTest::newRow("line 7 high size 40") << 7 << true << 0 << 40 << 200.0 << 195.0;
        QTest::newRow("line 7 low size 40") << 7 << false << 0 << 40 << 150.0 << 195.0;
        QTest::newRow("line 3 high top") << 3 << true << 7 << 90 << 520.0 << 515.0;
    }
    void logicMapping()
    {
        QFETCH(int, line);
        QFETCH(bool, high);
        QFETCH(int, chdPosition);
        QFETCH(int, chdSize);
        QFETCH(double, value);
        QFETCH(double, labelY);
        QCOMPARE(frame::logicValue(high, line, chdPosition, chdSize), value);
        QCOMPARE(frame::bitLabelY(line, chdPosition, chdSize), labelY);
    }

    void columnPlans_data()
    {
        QTest::addColumn<int>("sampling");
        QTest::addColumn<bool>("roll");
        QTest::addColumn<int>("rollIndex");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("step");
        QTest::newRow("10ms/div scroll 127") << 10 << false << 200 << 127 << 127 << 2;
        QTest::newRow("10ms/div roll ignored") << 10 << true << 200 << 0 << 0 << 2;
        QTest::newRow("8us/div") << 0 << false << 0 << 64 << 64 << 2;
        QTest::newRow("20ms/div") << 11 << false << 200 << 127 << 0 << 1;
        QTest::newRow("20ms/div roll") << 11 << true << 200 << 127 << 200 << 1;
        QTest::newRow("50s/div roll") << 21 << true << 17 << 0 << 17 << 1;
    }
    void columnPlans()
    {
        QFETCH(int, sampling);
        QFETCH(bool, roll);
        QFETCH(int, rollIndex);
        QFETCH(int, scroll);
        QFETCH(int, start);
        QFETCH(int, step);
        const frame::ColumnPlan plan =
            frame::columnPlan(sampling, roll, static_cast<unsigned char>(rollIndex), scroll);
        QCOMPARE(plan.start, start);
        QCOMPARE(plan.step, step);
    }

    void rollModeWrapsAfterTheLastSample()
    {
        const auto data = rampFrame(200);
        frame::TraceInputs in;
        in.samplingValue = 12;
        in.rollMode = true;
        const frame::Traces t = frame::buildTraces(data.data(), in);
        QCOMPARE(t.keys.size(), 256);
        QCOMPARE(t.sampleIndex[0], 200);
        QCOMPARE(t.sampleIndex[55], 255);
        QCOMPARE(t.sampleIndex[56], 0);
        QCOMPARE(t.sampleIndex[255], 199);
        QCOMPARE(t.keys[56], 56.0);
        QCOMPARE(t.ch1[55], frame::channelValue(255, 0));
        QCOMPARE(t.ch1[56], frame::channelValue(0, 0));
    }

    void fastTimeBaseShowsHalfTheRecord()
    {
        const auto data = rampFrame();
        frame::TraceInputs in;
        in.samplingValue = 10;
        in.scrollValue = 127;
        in.ch1Position = 16;
        in.ch2Position = -32;
        const frame::Traces t = frame::buildTraces(data.data(), in);
        QCOMPARE(t.keys.size(), 128);
        for (int c = 0; c < 128; ++c) {
            QCOMPARE(t.keys[c], 2.0 * c);
            QCOMPARE(t.sampleIndex[c], 127 + c);
            QCOMPARE(t.ch1[c], 16 + 2.0 * (255 - (127 + c)));
            QCOMPARE(t.ch2[c], -32 + 2.0 * (127 + c));
        }
    }

    void scrollBeyondHalfWrapsToZero()
    {
        // 200 can only come from the register, not from the scroll bar.
        const auto data = rampFrame();
        frame::TraceInputs in;
        in.samplingValue = 3;
        in.scrollValue = 200;
        const frame::Traces t = frame::buildTraces(data.data(), in);
        QCOMPARE(t.sampleIndex[55], 255);
        QCOMPARE(t.sampleIndex[56], 0);
        QCOMPARE(t.sampleIndex[127], 71);
    }

    void logicLinesFollowTheirBits()
    {
        const auto data = rampFrame();
        frame::TraceInputs in;
        in.samplingValue = 20;
        in.chdPosition = 2;
        in.chdSize = 30;
        const frame::Traces t = frame::buildTraces(data.data(), in);
        for (int n = 0; n < frame::LogicLines; ++n) {
            QCOMPARE(t.logic[n].size(), 256);
            for (int c : {0, 1, 5, 128, 170, 255})
                QCOMPARE(t.logic[n][c], frame::logicValue((c >> n) & 1, n, 2, 30));
            QCOMPARE(t.bitLabelY[n], frame::bitLabelY(n, 2, 30));
        }
    }

    void xyKeysAreTheInvertedCh1Samples()
    {
        auto data = rampFrame();
        data[frame::Ch1Offset + 127] = 5;
        frame::TraceInputs in;
        in.samplingValue = 10;
        in.scrollValue = 127;
        const frame::Traces t = frame::buildTraces(data.data(), in);
        QCOMPARE(t.xyKeys.size(), 128);
        QCOMPARE(t.xyKeys[0], 250.0);
        QCOMPARE(t.xyKeys[1], double(255 - 128));
        QCOMPARE(t.xyKeys[127], double(255 - 254));
    }

    void extremesOfTheFrame_data()
    {
        QTest::addColumn<frame::CursorChannel>("cursor");
        QTest::addColumn<double>("cursorMin");
        QTest::addColumn<double>("cursorMax");
        // Columns show samples 127..254: CH1 values 2..256, CH2 values 254..508 (+ position 10).
        QTest::newRow("none") << frame::CursorChannel::None << 0.0 << 0.0;
        QTest::newRow("ch1") << frame::CursorChannel::Ch1 << 2.0 << 256.0;
        QTest::newRow("ch2") << frame::CursorChannel::Ch2 << 264.0 << 518.0;
    }
    void extremesOfTheFrame()
    {
        QFETCH(frame::CursorChannel, cursor);
        QFETCH(double, cursorMin);
        QFETCH(double, cursorMax);
        const auto data = rampFrame();
        frame::TraceInputs in;
        in.samplingValue = 10;
        in.scrollValue = 127;
        in.ch2Position = 10;
        in.cursorChannel = cursor;
        const frame::Traces t = frame::buildTraces(data.data(), in);
        QCOMPARE(t.ch1Min, 2.0);
        QCOMPARE(t.ch1Max, 256.0);
        QCOMPARE(t.ch2Min, 264.0);
        QCOMPARE(t.ch2Max, 518.0);
        QCOMPARE(t.cursorMin, cursorMin);
        QCOMPARE(t.cursorMax, cursorMax);
    }

    void rebuildingReusesTheVectors()
    {
        // A slow frame after a fast one: sizes follow the new plan, nothing is left over.
        const auto data = rampFrame();
        frame::TraceInputs in;
        in.samplingValue = 15;
        frame::Traces t;
        frame::buildTraces(data.data(), in, t);
        QCOMPARE(t.ch1.size(), 256);
        in.samplingValue = 2;
        in.scrollValue = 0;
        frame::buildTraces(data.data(), in, t);
        QCOMPARE(t.ch1.size(), 128);
        QCOMPARE(t.logic[7].size(), 128);
        QCOMPARE(t.keys.last(), 254.0);
    }
};

QUORVEL_CORE_TEST_MAIN(TestTraces)
#include "test_traces.moc"
