// The meter page against the simulated instrument: modes, sources, polling
// intervals, the read-outs, and the scope settings restored on leaving.
#include "instrumentwindow.h"

#include "instruments/meter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

#include <algorithm>
#include <cmath>

using namespace instrumentwindow;

class TestMeterWindow : public QObject
{
    Q_OBJECT

    WindowFixture f;

    template <typename T> T *child(const char *name) { return f.child<T>(name); }
    QString text(const char *label) { return child<QLabel>(label)->text(); }
    QTabWidget *mainTabs() { return child<QTabWidget>("mainTabWidget"); }
    QTabWidget *meterTabs() { return child<QTabWidget>("mmTabWidget"); }

    // Median spacing, in ms, of the next `count` meter requests.
    static double requestSpacingMs(int count)
    {
        const int before = sim::commandsWithLetter('m').size();
        if (!waitForLetter('m', before + count, 20000))
            return -1;
        const QVector<sim::Command> requests = sim::commandsWithLetter('m');
        std::vector<double> gaps;
        for (int i = before + 1; i < requests.size(); ++i)
            gaps.push_back((requests[i].timeNs - requests[i - 1].timeNs) / 1e6);
        std::sort(gaps.begin(), gaps.end());
        return gaps.empty() ? -1 : gaps[gaps.size() / 2];
    }

private slots:
    void init()
    {
        // Few frames: the frame pass asks for a reading too, and the timer's
        // own requests are to stand out.
        f.init(0.2);
        sim::setNoiseLevel(0);
        // Square wave of 1 V on CH1 (2 V peak to peak); CH2 is a 1 V triangle.
        sim::pokeRegister(37, 2);
        sim::pokeRegister(36, quint8(-32));
        QVERIFY(f.startConnected(QSize(900, 900)));
        sim::clearCommandLog();
    }
    void cleanup() { f.cleanup(); }

    // An instrument left in a meter mode comes up on its meter page; the
    // connect writes none of the meter's registers back.
    void connectInMeterMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("reading");
        QTest::newRow("VPP") << 0x41 << 0 << "vppChannel1"
                             << "  2.000V";
        QTest::newRow("frequency") << 0x01 << 2 << "frequencyValue"
                                   << "00001.000kHz";
    }
    void connectInMeterMode()
    {
        QFETCH(int, mode);
        QFETCH(int, page);
        QFETCH(QString, label);
        QFETCH(QString, reading);
        f.cleanup();
        f.init(0.2);
        sim::setNoiseLevel(0);
        sim::pokeRegister(37, 2);
        sim::pokeRegister(36, quint8(-32));
        sim::pokeRegister(8, 0x00); // meter use of the spectrum register
        sim::pokeRegister(11, quint8(mode));
        sim::pokeRegister(24, 10); // EXT
        QVERIFY(f.startConnected(QSize(900, 900)));
        QCOMPARE(mainTabs()->currentIndex(), 1);
        QCOMPARE(meterTabs()->currentIndex(), page);
        QVERIFY(child<QRadioButton>("fcR10")->isChecked());
        QTRY_COMPARE(text(label.toLatin1().constData()), reading);
        for (const auto &w : registerWrites())
            QVERIFY2(w.first != 8 && w.first != 11 && w.first != 24,
                     qPrintable(QString("register %1 = %2 written").arg(w.first).arg(w.second)));
        QCOMPARE(int(sim::peekRegister(11)), mode);
    }

    // Entering the page on each sub-page: register writes in order, labels
    // cleared, then readings from the instrument.
    void enteringThePage_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("pulse");
        QTest::addColumn<QStringList>("writes");
        QTest::newRow("VPP") << 0 << false << QStringList{"b8=0", "b11=65"};
        QTest::newRow("VDC") << 1 << false << QStringList{"b8=0", "b11=129"};
        // The counter page counts frequency on entry, whatever the Type says.
        QTest::newRow("counter") << 2 << false << QStringList{"b8=0", "b11=1", "b24=10"};
        QTest::newRow("counter, pulse radio") << 2 << true << QStringList{"b8=0", "b11=193", "b24=10"};
    }
    void enteringThePage()
    {
        QFETCH(int, page);
        QFETCH(bool, pulse);
        QFETCH(QStringList, writes);
        meterTabs()->setCurrentIndex(page);
        if (pulse)
            child<QRadioButton>("radioPulse")->setChecked(true);
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(10);
        const int from = logSize();
        mainTabs()->setCurrentIndex(1);
        QStringList entries = logEntries(from);
        entries.removeAll("m");
        QCOMPARE(entries, writes);
        QVERIFY(child<QRadioButton>("fcR10")->isChecked());
    }

    void vppShowsPeakToPeak()
    {
        mainTabs()->setCurrentIndex(1);
        QCOMPARE(text("vppChannel1"), QStringLiteral("  0.000V"));
        QTRY_COMPARE(text("vppChannel1"), QStringLiteral("  2.000V"));
        QTRY_COMPARE(text("vppChannel2"), QStringLiteral("  2.000V"));
        // Amplitude 2 V: 4 V peak to peak.
        sim::pokeRegister(36, quint8(-64));
        QTRY_COMPARE(text("vppChannel1"), QStringLiteral("  4.000V"));
        const double spacing = requestSpacingMs(6);
        QVERIFY2(spacing > 150 && spacing < 400, qPrintable(QString::number(spacing)));
    }

    // VDC: no requests; the read-out is the mean voltage of each frame on
    // screen (eight whole periods of the 1 kHz square at 1 ms/div).
    void vdcComesFromTheFrames()
    {
        meterTabs()->setCurrentIndex(1);
        sim::setFrameRate(50);
        // Offset register -32: 0.500 V. The square is +1.5 V and -0.5 V, 75
        // and -25 counts of 20 mV, half the time each.
        sim::pokeRegister(39, quint8(-32));
        mainTabs()->setCurrentIndex(1);
        const int requests = sim::commandsWithLetter('m').size();
        QTRY_COMPARE(text("vdcChannel1"), QStringLiteral("  0.500V"));
        // A negative mean keeps its sign.
        sim::pokeRegister(39, 32);
        QTRY_COMPARE(text("vdcChannel1"), QStringLiteral("- 0.500V"));
        // CH2, the triangle centred on 0 V: its mean within one count.
        const QString ch2 = text("vdcChannel2");
        QVERIFY2(std::fabs(QString(ch2).remove(' ').chopped(1).toDouble()) <= 0.02, qPrintable(ch2));
        QCOMPARE(sim::commandsWithLetter('m').size(), requests);
    }

    void counterShowsFrequencyAndPulses()
    {
        meterTabs()->setCurrentIndex(2);
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(10);
        mainTabs()->setCurrentIndex(1);
        // EXT counts the generator: 1 kHz.
        QTRY_COMPARE(text("frequencyValue"), QStringLiteral("00001.000kHz"));
        double spacing = requestSpacingMs(3);
        QVERIFY2(spacing > 700 && spacing < 1600, qPrintable(QString::number(spacing)));

        // Logic bit 7 is a counter line: 62.5 Hz, counted as 63.
        child<QRadioButton>("fcR7")->click();
        QCOMPARE(lastWrite(24), 9);
        QTRY_COMPARE(text("frequencyValue"), QStringLiteral("00000.063kHz"));

        // Pulses: 0xC1, polled every 100 ms; the unit changes with the next reading.
        int from = logSize();
        child<QRadioButton>("radioPulse")->click();
        QCOMPARE(lastWrite(11, from), 0xC1);
        QVERIFY(text("frequencyValue").endsWith("kHz")); // until the next reading
        QTRY_VERIFY(text("frequencyValue").endsWith("k") && !text("frequencyValue").endsWith("Hz"));
        const QString first = text("frequencyValue");
        QTRY_VERIFY(text("frequencyValue") != first);
        QVERIFY(text("frequencyValue").chopped(1).toDouble() > first.chopped(1).toDouble());
        spacing = requestSpacingMs(8);
        QVERIFY2(spacing > 60 && spacing < 200, qPrintable(QString::number(spacing)));

        from = logSize();
        child<QRadioButton>("radioFreq")->click();
        QCOMPARE(lastWrite(11, from), 0x01);
    }

    // Changing the sub-page: mode for the new page with the old Type, labels
    // cleared, Type back to frequency.
    void subPageChanges()
    {
        mainTabs()->setCurrentIndex(1);
        meterTabs()->setCurrentIndex(2);
        child<QRadioButton>("radioPulse")->click();
        meterTabs()->setCurrentIndex(0);
        int from = logSize();
        child<QRadioButton>("radioPulse")->setChecked(true);
        meterTabs()->setCurrentIndex(2);
        QStringList entries = logEntries(from);
        entries.removeAll("m");
        QCOMPARE(entries, QStringList({"b11=193", "b24=10"}));
        QVERIFY(child<QRadioButton>("radioFreq")->isChecked());
        QCOMPARE(text("frequencyValue"), QStringLiteral("00000.000k")); // cleared with the old Type
        QCOMPARE(text("vppChannel1"), QStringLiteral("  0.000V"));

        from = logSize();
        meterTabs()->setCurrentIndex(1);
        entries = logEntries(from);
        entries.removeAll("m");
        QCOMPARE(entries, QStringList({"b11=129"}));
    }

    // Leaving the page puts the scope settings back, in order.
    void leavingRestoresTheScope()
    {
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(1);
        child<QSlider>("ch1GainSlider")->setValue(2);
        child<QSlider>("ch2GainSlider")->setValue(5);
        child<QSlider>("samplingSlider")->setValue(6);
        child<QCheckBox>("checkBoxFFTTrace")->click(); // as the user does: the instrument takes it
        mainTabs()->setCurrentIndex(1);
        const int from = logSize();
        mainTabs()->setCurrentIndex(0);
        QStringList entries = logEntries(from);
        entries.removeAll("m");
        QCOMPARE(entries, QStringList({"b8=160", "b24=1", "h", "b12=2", "b13=5", "b0=6"}));
        // The meter timer has stopped: no more requests.
        const int requests = sim::commandsWithLetter('m').size();
        QVERIFY(!waitForLetter('m', requests + 1, 1500));
    }

    // While disconnected the page change runs only the frame pass and is not
    // recorded.
    void disconnectedPageChangeIsNotRecorded()
    {
        f.cleanup();
        f.init();
        f.startWithoutInstrument();
        QTRY_COMPARE(child<QLabel>("infoLabel")->text(), QStringLiteral("Cannot open device"));
        sim::clearCommandLog();
        mainTabs()->setCurrentIndex(1);
        mainTabs()->setCurrentIndex(0);
        QVERIFY(sim::commandLog().isEmpty());
        QCOMPARE(text("vppChannel1"), QStringLiteral(" 0.000V")); // the form's text, never cleared
    }
};

QUORVEL_TEST_MAIN(TestMeterWindow)
#include "test_meter_window.moc"
