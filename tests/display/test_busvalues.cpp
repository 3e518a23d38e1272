// The logic lines read as a bus: parallel values by stretch, serial bytes by line.
#include "quorveltest.h"

#include "display/busvalues.h"

#include <vector>

namespace {
struct Run
{
    int first, last;
    unsigned value;
};

// Logic bytes 0x00 for samples 0..63, 0xA5 for 64..127, 0x5A for 128..255.
std::vector<unsigned char> threeStretchFrame()
{
    std::vector<unsigned char> frame(frame::Size, 0);
    for (int i = 64; i < 256; ++i)
        frame[frame::LogicOffset + i] = i < 128 ? 0xA5 : 0x5A;
    return frame;
}

QVector<int> drawnSamples(const std::vector<unsigned char> &frameData, int timeBase, int scroll = 0)
{
    frame::TraceInputs in;
    in.samplingValue = timeBase;
    in.scrollValue = scroll;
    return frame::buildTraces(frameData.data(), in).sampleIndex;
}
} // namespace

Q_DECLARE_METATYPE(QVector<Run>)

class TestBusValues : public QObject
{
    Q_OBJECT

private slots:
    void parallel_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<unsigned>("mask");
        QTest::addColumn<QVector<Run>>("runs");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("all lines, whole record")
            << 11 << 0 << 0xffu << QVector<Run>{{0, 63, 0x00}, {64, 127, 0xA5}, {128, 255, 0x5A}}
            << QStringList{"00", "A5", "5A"};
        QTest::newRow("low nibble") << 11 << 0 << 0x0fu
                                    << QVector<Run>{{0, 63, 0x0}, {64, 127, 0x5}, {128, 255, 0xA}}
                                    << QStringList{"0", "5", "A"};
        // Lines 1 and 3: A5 has neither, 5A has both.
        QTest::newRow("lines 1 and 3") << 11 << 0 << 0x0au
                                       << QVector<Run>{{0, 127, 0x0}, {128, 255, 0xA}}
                                       << QStringList{"0", "A"};
        QTest::newRow("line 7 alone") << 11 << 0 << 0x80u
                                      << QVector<Run>{{0, 63, 0x00}, {64, 127, 0x80}, {128, 255, 0x00}}
                                      << QStringList{"00", "80", "00"};
        QTest::newRow("no line") << 11 << 0 << 0x00u << QVector<Run>{{0, 255, 0}} << QStringList{"0"};
        // Half record from sample 100: samples 100..227 on the 128 drawn points.
        QTest::newRow("half record, scrolled")
            << 7 << 100 << 0xffu << QVector<Run>{{0, 27, 0xA5}, {28, 127, 0x5A}} << QStringList{"A5", "5A"};
    }
    void parallel()
    {
        QFETCH(int, timeBase);
        QFETCH(int, scroll);
        QFETCH(unsigned, mask);
        QFETCH(QVector<Run>, runs);
        QFETCH(QStringList, texts);
        const std::vector<unsigned char> frameData = threeStretchFrame();
        const QVector<bus::Stretch> stretches = bus::parallelStretches(
            frameData.data() + frame::LogicOffset, drawnSamples(frameData, timeBase, scroll), mask);
        QCOMPARE(stretches.size(), runs.size());
        QStringList got;
        for (int k = 0; k < runs.size(); ++k) {
            QCOMPARE(stretches[k].first, runs[k].first);
            QCOMPARE(stretches[k].last, runs[k].last);
            QCOMPARE(stretches[k].value, runs[k].value);
            got << bus::hexText(stretches[k].value, mask);
        }
        QCOMPARE(got, texts);
    }

    void samplesOutsideTheRecordAreSkipped()
    {
        const std::vector<unsigned char> frameData = threeStretchFrame();
        const QVector<bus::Stretch> s =
            bus::parallelStretches(frameData.data() + frame::LogicOffset, {0, -1, 1, 256, 70}, 0xff);
        // Points 0, 2 and 4: the skipped points between them are gaps.
        QCOMPARE(s.size(), 3);
        QCOMPARE(s[0].first, 0);
        QCOMPARE(s[0].last, 0);
        QCOMPARE(s[1].first, 2);
        QCOMPARE(s[1].value, 0u);
        QCOMPARE(s[2].first, 4);
        QCOMPARE(s[2].value, 0xA5u);
    }

    void serial_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("samples");
        QTest::addColumn<QString>("text");
        // Line 0 is high for 8 samples in every 16; line 1 toggles every sample
        // (high on odd ones); line 2 is high on the first sample of each byte.
        QTest::newRow("line 0") << 0 << 32 << "00FF00FF";
        QTest::newRow("line 1") << 1 << 16 << "5555";
        QTest::newRow("line 2") << 2 << 24 << "808080";
        QTest::newRow("partial byte") << 2 << 12 << "8080";
        QTest::newRow("no line") << 8 << 16 << "";
        QTest::newRow("whole record") << 1 << 256 << QString(64, QLatin1Char('5'));
    }
    void serial()
    {
        QFETCH(int, line);
        QFETCH(int, samples);
        QFETCH(QString, text);
        unsigned char logic[256];
        for (int i = 0; i < 256; ++i)
            logic[i] = static_cast<unsigned char>(((i / 8) % 2) | ((i % 2) << 1) | ((i % 8 == 0) << 2));
        QVector<int> indices;
        for (int i = 0; i < samples; ++i)
            indices.append(i);
        QCOMPARE(bus::serialText(logic, indices, line), text);
    }

    void rowFollowsThePosition()
    {
        const bus::Row low = bus::parallelRow(0), mid = bus::parallelRow(3);
        QVERIFY(low.low >= 0); // on the plot at the lowest position
        QCOMPARE(mid.centre - bus::parallelRow(2).centre, 50.0);
        for (int position = 0; position < 8; ++position) {
            const bus::Row r = bus::parallelRow(position);
            // Below line 0, whose low level is 10 above the logic level.
            QVERIFY(r.high <= frame::logicValue(false, 0, position, 0) + 6);
            QVERIFY(r.low < r.centre && r.centre < r.high);
        }
        QVERIFY(bus::textFits(20, 30));
        QVERIFY(!bus::textFits(20, 22));
    }
};

QUORVEL_CORE_TEST_MAIN(TestBusValues)
#include "test_busvalues.moc"
