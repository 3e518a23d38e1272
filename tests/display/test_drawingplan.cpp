// What a plotted frame does to each graph: decay history, persistence,
// references, logic lines, XY and spectrum.
#include "quorveltest.h"

#include "display/drawingplan.h"

using drawing::Action;

Q_DECLARE_METATYPE(drawing::Action)

namespace {

frame::Traces tracesOf(double ch1, double ch2, int columns = 128)
{
    frame::Traces t;
    for (int c = 0; c < columns; ++c) {
        t.keys.append(c * (256 / columns));
        t.xyKeys.append(255 - c);
        t.ch1.append(ch1 + c);
        t.ch2.append(ch2 + c);
        for (auto &line : t.logic)
            line.append(100 + c % 2);
    }
    return t;
}

drawing::Options timeMode()
{
    drawing::Options o;
    o.ch1Trace = true;
    o.ch2Trace = true;
    o.samplingValue = 10;
    return o;
}

} // namespace

class TestDrawingPlan : public QObject
{
    Q_OBJECT

private slots:
    void decayHistoryKeepsTheLastFrames_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("kept");
        QTest::newRow("depth 3, 2 frames") << 3 << 2 << 2;
        QTest::newRow("depth 3, 4 frames") << 3 << 4 << 3;
        QTest::newRow("depth 8, 20 frames") << 8 << 20 << 8;
        QTest::newRow("depth 1") << 1 << 5 << 1;
        QTest::newRow("depth 0 empties") << 0 << 5 << 0;
    }
    void decayHistoryKeepsTheLastFrames()
    {
        QFETCH(int, depth);
        QFETCH(int, frames);
        QFETCH(int, kept);
        DecayHistory history;
        for (int f = 0; f < frames; ++f)
            history.update({double(f)}, depth);
        QCOMPARE(history.size(), kept);
        QCOMPARE(history.shownCount(depth), kept);
        if (kept > 0) {
            // Oldest first: the fourth frame at depth 3 has pushed out the first.
            QCOMPARE(history.at(0).first(), double(frames - kept));
            QCOMPARE(history.frames().last().first(), double(frames - 1));
        }
    }

    void decayHistoryFillsAndClearsItsGraphs()
    {
        DecayHistory h1, h2;
        drawing::Options options = timeMode();
        options.decay = 3;
        drawing::References refs;
        frame::Traces frames[4] = {tracesOf(1, 2), tracesOf(10, 20), tracesOf(100, 200), tracesOf(300, 400)};
        drawing::Plan plan;
        for (const auto &t : frames) {
            h1.update(t.ch1, options.decay);
            h2.update(t.ch2, options.decay);
            drawing::plan(t, options, h1, h2, refs, nullptr, plan);
        }
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(plan.ch1Persist[k].action, Action::Set);
            QCOMPARE(plan.ch1Persist[k].values, frames[k + 1].ch1);
            QCOMPARE(plan.ch2Persist[k].values, frames[k + 1].ch2);
            QCOMPARE(plan.ch1Persist[k].keys, frames[3].keys);
        }
        for (int k = 3; k < DecayHistory::GraphCount; ++k) {
            QCOMPARE(plan.ch1Persist[k].action, Action::Clear);
            QCOMPARE(plan.ch2Persist[k].action, Action::Clear);
        }
    }

    void decayZeroClearsTheFirstHistoryGraph()
    {
        DecayHistory h1, h2;
        drawing::Options options = timeMode();
        options.decay = 0;
        options.persistence = true; // no clearing by the trace step
        const frame::Traces t = tracesOf(1, 2);
        h1.update(t.ch1, 0);
        h2.update(t.ch2, 0);
        const drawing::Plan plan = drawing::plan(t, options, h1, h2, {}, nullptr);
        QCOMPARE(plan.ch1Persist[0].action, Action::Clear);
        QCOMPARE(plan.ch2Persist[0].action, Action::Clear);
        QCOMPARE(plan.ch1Persist[1].action, Action::Keep);
    }

    void persistenceAccumulatesAndLeavingItReplaces_data()
    {
        QTest::addColumn<bool>("persistence");
        QTest::addColumn<Action>("trace");
        QTest::addColumn<Action>("history");
        QTest::newRow("persistence on") << true << Action::Add << Action::Keep;
        QTest::newRow("persistence off") << false << Action::Set << Action::Clear;
    }
    void persistenceAccumulatesAndLeavingItReplaces()
    {
        QFETCH(bool, persistence);
        QFETCH(Action, trace);
        QFETCH(Action, history);
        drawing::Options options = timeMode();
        options.persistence = persistence;
        options.chdTrace = true;
        options.chdBitEnabled[4] = true;
        options.fftTrace = true;
        spectrum::Result fft;
        fft.hasFirst = fft.hasSecond = true;
        fft.values1.fill(1.0, 128);
        fft.values2.fill(2.0, 128);
        const frame::Traces t = tracesOf(1, 2);
        DecayHistory h1, h2;
        h1.update(t.ch1, 2);
        h2.update(t.ch2, 2);
        options.decay = 2;
        const drawing::Plan plan = drawing::plan(t, options, h1, h2, {}, &fft);
        QCOMPARE(plan.ch1.action, trace);
        QCOMPARE(plan.ch2.action, trace);
        QCOMPARE(plan.logic[4].action, trace);
        QCOMPARE(plan.fft1.action, trace);
        QCOMPARE(plan.fft2.action, trace);
        QCOMPARE(plan.ch1.values, t.ch1);
        QCOMPARE(plan.logic[4].values, t.logic[4]);
        // History graphs are refilled only without persistence; beyond depth they are emptied.
        QCOMPARE(plan.ch1Persist[0].action, persistence ? Action::Keep : Action::Set);
        QCOMPARE(plan.ch1Persist[5].action, Action::Clear);
        // Logic lines that are off: cleared without persistence, kept with it.
        QCOMPARE(plan.logic[0].action, history);
    }

    void tracesOffClearWithoutPersistence()
    {
        drawing::Options options = timeMode();
        options.ch1Trace = false;
        options.ch2Trace = false;
        const drawing::Plan plan = drawing::plan(tracesOf(1, 2), options, {}, {}, {}, nullptr);
        QCOMPARE(plan.ch1.action, Action::Clear);
        QCOMPARE(plan.ch2.action, Action::Clear);
        QCOMPARE(plan.fft1.action, Action::Clear);

        options.persistence = true;
        const drawing::Plan kept = drawing::plan(tracesOf(1, 2), options, {}, {}, {}, nullptr);
        QCOMPARE(kept.ch1.action, Action::Keep);
        QCOMPARE(kept.ch2.action, Action::Keep);
        QCOMPARE(kept.fft1.action, Action::Keep);
    }

    void ch2IsNotDrawnAtTheFastestTimeBase_data()
    {
        QTest::addColumn<int>("sampling");
        QTest::addColumn<Action>("ch2");
        QTest::newRow("8us/div") << 0 << Action::Clear;
        QTest::newRow("16us/div") << 1 << Action::Set;
        QTest::newRow("1s/div") << 16 << Action::Set;
    }
    void ch2IsNotDrawnAtTheFastestTimeBase()
    {
        QFETCH(int, sampling);
        QFETCH(Action, ch2);
        drawing::Options options = timeMode();
        options.samplingValue = sampling;
        const drawing::Plan plan = drawing::plan(tracesOf(1, 2), options, {}, {}, {}, nullptr);
        QCOMPARE(plan.ch2.action, ch2);
        QCOMPARE(plan.ch1.action, Action::Set);
    }

    void referencesKeepTheCapturedFrameWithTheirOffset()
    {
        drawing::References refs;
        refs.capture(tracesOf(50, 60));
        drawing::Options options = timeMode();
        options.refCh1 = true;
        options.refCh2 = true;
        options.refLogic = true;
        options.chdBitEnabled[2] = true;
        options.ch1CaptureOffset = 16;
        options.ch2CaptureOffset = -32;
        options.chdCaptureOffset = 48;
        // A later frame with other values: the references do not follow it.
        const frame::Traces now = tracesOf(300, 400);
        const drawing::Plan plan = drawing::plan(now, options, {}, {}, refs, nullptr);
        QCOMPARE(plan.refCh1.action, Action::Set);
        QCOMPARE(plan.refCh1.values.first(), 50.0 + 16);
        QCOMPARE(plan.refCh1.values.last(), 50.0 + 127 + 16);
        QCOMPARE(plan.refCh2.values.first(), 60.0 - 32);
        QCOMPARE(plan.refCh1.keys, now.keys);
        QCOMPARE(plan.refLogic[2].action, Action::Set);
        QCOMPARE(plan.refLogic[2].values.first(), 100.0 + 48);
        QVERIFY(plan.bitLabelVisible[2]);
        QCOMPARE(plan.refLogic[3].action, Action::Clear);
        QVERIFY(!plan.bitLabelVisible[3]);
        // The originals are unchanged by the offset.
        QCOMPARE(refs.ch1.first(), 50.0);

        options.refCh1 = false;
        QCOMPARE(drawing::plan(now, options, {}, {}, refs, nullptr).refCh1.action, Action::Clear);
    }

    void historyFromAnotherTimeBaseIsCutToTheKeys()
    {
        // Two frames at 20 ms/div (256 columns), then one at 10 ms/div (128).
        DecayHistory h1, h2;
        drawing::Options options = timeMode();
        options.decay = 3;
        for (int f = 0; f < 2; ++f) {
            const frame::Traces slow = tracesOf(f, f, 256);
            h1.update(slow.ch1, 3);
            h2.update(slow.ch2, 3);
        }
        const frame::Traces fast = tracesOf(7, 7, 128);
        h1.update(fast.ch1, 3);
        h2.update(fast.ch2, 3);
        drawing::References noCapture;
        options.refCh1 = true; // nothing captured yet
        const drawing::Plan plan = drawing::plan(fast, options, h1, h2, noCapture, nullptr);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(plan.ch1Persist[k].keys.size(), 128);
            QCOMPARE(plan.ch1Persist[k].values.size(), 128);
        }
        QCOMPARE(plan.refCh1.action, Action::Set);
        QVERIFY(plan.refCh1.keys.isEmpty());
        QVERIFY(plan.refCh1.values.isEmpty());
    }

    void bitLabelsFollowTheEnabledLines()
    {
        drawing::Options options = timeMode();
        options.chdTrace = true;
        options.chdBitEnabled[0] = true;
        options.chdBitEnabled[7] = true;
        const drawing::Plan plan = drawing::plan(tracesOf(1, 2), options, {}, {}, {}, nullptr);
        for (int n = 0; n < frame::LogicLines; ++n) {
            const bool enabled = n == 0 || n == 7;
            QCOMPARE(plan.bitLabelVisible[n], enabled);
            QCOMPARE(plan.logic[n].action, enabled ? Action::Set : Action::Clear);
        }
    }

    void xyModeDrawsOnlyTheXyTrace()
    {
        drawing::Options options = timeMode();
        options.xyMode = true;
        options.fftTrace = true;
        options.refCh1 = true;
        options.chdTrace = true;
        options.chdBitEnabled[1] = true;
        spectrum::Result fft;
        fft.hasFirst = true;
        fft.values1.fill(1.0, 128);
        const frame::Traces t = tracesOf(1, 2);
        DecayHistory h1, h2;
        h1.update(t.ch1, 4);
        h2.update(t.ch2, 4);
        options.decay = 4;
        const drawing::Plan plan = drawing::plan(t, options, h1, h2, {}, &fft);
        QCOMPARE(plan.ch1.action, Action::Set);
        QCOMPARE(plan.ch1.keys, t.xyKeys);
        QCOMPARE(plan.ch1.values, t.ch2);
        QVERIFY(plan.rescaleCh1ValueAxis);
        QCOMPARE(plan.ch2.action, Action::Clear);
        for (int k = 0; k < DecayHistory::GraphCount; ++k)
            QCOMPARE(plan.ch1Persist[k].action, Action::Clear);
        // Nothing from before XY stays on the plot.
        QCOMPARE(plan.fft1.action, Action::Clear);
        QCOMPARE(plan.refCh1.action, Action::Clear);
        QCOMPARE(plan.logic[1].action, Action::Clear);
        QCOMPARE(plan.refLogic[1].action, Action::Clear);
        QVERIFY(!plan.bitLabelVisible[1]);
    }

    void spectrumUsesTheFirst128Keys_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("lastKey");
        QTest::addColumn<int>("position");
        QTest::newRow("fast time base") << 128 << 254.0 << 0;
        QTest::newRow("slow time base") << 256 << 127.0 << 0;
        QTest::newRow("moved up") << 256 << 127.0 << 40;
        QTest::newRow("moved down") << 128 << 254.0 << -100;
    }
    void spectrumUsesTheFirst128Keys()
    {
        QFETCH(int, columns);
        QFETCH(double, lastKey);
        QFETCH(int, position);
        drawing::Options options = timeMode();
        options.fftTrace = true;
        options.fftPosition = position;
        spectrum::Result fft;
        fft.hasSecond = true;
        fft.values2.fill(3.0, 128);
        const drawing::Plan plan = drawing::plan(tracesOf(1, 2, columns), options, {}, {}, {}, &fft);
        QCOMPARE(plan.fft1.action, Action::Clear);
        QCOMPARE(plan.fft2.action, Action::Set);
        QCOMPARE(plan.fft2.keys.size(), 128);
        QCOMPARE(plan.fft2.keys.last(), lastKey);
        QCOMPARE(plan.fft2.values, QVector<double>(128, 3.0 + position));
        QCOMPARE(fft.values2, QVector<double>(128, 3.0)); // the spectrum itself is left as it is
    }
};

QUORVEL_CORE_TEST_MAIN(TestDrawingPlan)
#include "test_drawingplan.moc"
