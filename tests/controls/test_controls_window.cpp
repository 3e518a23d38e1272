// The settings mirror against the simulated instrument: every control of the
// encoder tables written to its register, the settings decode showing a block
// in the controls without changing the instrument, the dump in log.txt, and
// the re-reads after AUTO and RESTORE SETTINGS.
#include "quorveltest.h"
#include "windowfixture.h"

#include "display/scales.h"
#include "settings/registers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabWidget>

namespace sim = quorvelsim;
using quorveltest::ControlAction;
using quorveltest::RegisterWrites;

Q_DECLARE_METATYPE(RegisterWrites)

namespace {
QByteArray factoryBlock()
{
    sim::reset();
    return sim::settingsBlock();
}

QByteArray withBytes(QByteArray block, std::initializer_list<std::pair<int, int>> bytes)
{
    for (const auto &b : bytes)
        block[b.first] = char(b.second);
    return block;
}

QByteArray withFrequency(QByteArray block, quint32 hundredths)
{
    for (int i = 0; i < 4; ++i)
        block[reg::DesiredFrequency + i] = char((hundredths >> (8 * i)) & 0xFF);
    return block;
}

void loadBlock(const QByteArray &block)
{
    for (int i = 0; i < block.size(); ++i)
        sim::pokeRegister(i, quint8(block[i]));
}

// "index: sent -> held" for every byte that differs.
QString blockDifferences(const QByteArray &sent, const QByteArray &held)
{
    QStringList out;
    for (int i = 0; i < sent.size() && i < held.size(); ++i)
        if (sent[i] != held[i])
            out << QStringLiteral("%1: %2 -> %3").arg(i).arg(quint8(sent[i])).arg(quint8(held[i]));
    return out.join(QStringLiteral(", "));
}
} // namespace

class TestControlsWindow : public QObject
{
    Q_OBJECT

private:
    quorveltest::WindowFixture f;

    template <typename T> T *child(const char *name) { return f.child<T>(QString::fromLatin1(name)); }
    bool checked(const char *name) { return child<QAbstractButton>(name)->isChecked(); }
    int sliderValue(const char *name) { return child<QAbstractSlider>(name)->value(); }

    // Connected to an instrument that holds `block`.
    bool connectTo(const QByteArray &block)
    {
        loadBlock(block);
        return f.startConnected();
    }

    bool rereadSettings()
    {
        const int reads = sim::commandsWithLetter('u').size();
        if (f.get()->instrumentSession().readSettings() != session::ReadOutcome::Read)
            return false;
        return sim::commandsWithLetter('u').size() == reads + 1;
    }

private slots:
    void init() { f.init(); }
    void cleanup() { f.cleanup(); }

    // Every handler of the encoder tables, from the factory settings.
    void handlerTable_data()
    {
        using quorveltest::addControlRow;
        const auto C = ControlAction::Click;
        const auto V = ControlAction::SetValue;
        const auto I = ControlAction::ChooseIndex;
        const auto D = ControlAction::SetDouble;
        quorveltest::addControlColumn();
        // Channels: factory 0x01 (trace on, multiply).
        addControlRow("CH1 trace off", "checkBoxCH1Trace", C, 0, {{1, 0}});
        addControlRow("CH1 invert", "checkBoxCH1Invert", C, 0, {{1, 17}});
        addControlRow("CH1 average", "checkBoxCH1Average", C, 0, {{1, 33}});
        addControlRow("CH1 math", "checkBoxCH1Math", C, 0, {{1, 65}});
        addControlRow("CH1 subtract", "radioButtonCH1Sub", C, 0, {{1, 129}});
        addControlRow("CH1 multiply", "radioButtonCH1Multiply", C, 0, {{1, 1}});
        addControlRow("CH2 trace off", "checkBoxCH2Trace", C, 0, {{2, 0}});
        addControlRow("CH2 invert", "checkBoxCH2Invert", C, 0, {{2, 17}});
        addControlRow("CH2 average", "checkBoxCH2Average", C, 0, {{2, 33}});
        addControlRow("CH2 math", "checkBoxCH2Math", C, 0, {{2, 65}});
        addControlRow("CH2 subtract", "radioButtonCH2Sub", C, 0, {{2, 129}});
        addControlRow("CH2 multiply", "radioButtonCH2Multiply", C, 0, {{2, 1}});
        // Logic input: factory 0x01 (trace on, no pull), lines 0 to 5.
        addControlRow("CHD trace off", "checkBoxCHDTrace", C, 0, {{3, 0}});
        addControlRow("CHD invert", "checkBoxCHDInvert", C, 0, {{3, 17}});
        addControlRow("CHD thick 0", "checkBoxCHDThick0", C, 0, {{3, 9}});
        addControlRow("ASCII", "checkBoxASCII", C, 0, {{3, 129}});
        addControlRow("pull up", "chdPullSlider", V, 2, {{3, 7}});
        addControlRow("pull down", "chdPullSlider", V, 0, {{3, 3}});
        addControlRow("line 0 off", "checkBoxCHD0", C, 0, {{4, 62}});
        addControlRow("line 1 off", "checkBoxCHD1", C, 0, {{4, 61}});
        addControlRow("line 2 off", "checkBoxCHD2", C, 0, {{4, 59}});
        addControlRow("line 3 off", "checkBoxCHD3", C, 0, {{4, 55}});
        addControlRow("line 4 off", "checkBoxCHD4", C, 0, {{4, 47}});
        addControlRow("line 5 off", "checkBoxCHD5", C, 0, {{4, 31}});
        addControlRow("line 6 on", "checkBoxCHD6", C, 0, {{4, 127}});
        addControlRow("line 7 on", "checkBoxCHD7", C, 0, {{4, 191}});
        // Trigger: factory 0x84 (Auto, rising edge).
        addControlRow("rising", "radioButtonRising", C, 0, {{5, 132}});
        addControlRow("falling", "radioButtonFalling", C, 0, {{5, 140}});
        addControlRow("dual in auto", "radioButtonDual", C, 0, {{5, 4}});
        addControlRow("positive slope", "radioButtonPositive", C, 0, {{5, 36}});
        addControlRow("negative slope", "radioButtonNegative", C, 0, {{5, 44}});
        addControlRow("window", "radioButtonWindow", C, 0, {{5, 68}});
        addControlRow("free", "radioButtonFree", C, 0, {{5, 128}});
        addControlRow("rising in normal", "radioButtonNormal", C, 0, {{5, 129}});
        addControlRow("single", "radioButtonSingle", C, 0, {{5, 131}});
        addControlRow("auto", "radioButtonAuto", C, 0, {{5, 132}});
        addControlRow("circular", "checkBoxCircular", C, 0, {{5, 148}});
        // Cursors, roll mode, sniffer mode: factory 0.
        addControlRow("roll mode", "rollMode", C, 0, {{6, 1}});
        addControlRow("automatic cursors", "checkBoxCursorAuto", C, 0, {{6, 2}});
        addControlRow("track", "checkBoxCursorTrack", C, 0, {{6, 4}});
        addControlRow("cursors on CH1", "radioButtonCursorCH1", C, 0, {{6, 8}});
        addControlRow("cursors on CH2", "radioButtonCursorCH2", C, 0, {{6, 16}});
        addControlRow("no horizontal cursors", "radioButtonCursorNone", C, 0, {{6, 0}});
        addControlRow("vertical cursors", "checkBoxCursorVertical", C, 0, {{6, 32}});
        addControlRow("sniffer single", "radioButtonSniffSingle", C, 0, {{6, 128}, {10, 3}});
        addControlRow("sniffer normal", "radioButtonSniffNormal", C, 0, {{6, 0}, {10, 3}});
        // Display: factory 0x42 (grid lines, vectors).
        addControlRow("elastic", "elasticMode", C, 0, {{7, 70}});
        addControlRow("invert display", "checkBoxInvert", C, 0, {{7, 74}});
        addControlRow("flip display", "checkBoxFlip", C, 0, {{7, 82}});
        addControlRow("persistence", "checkBoxPersistence", C, 0, {{7, 98}});
        addControlRow("dots", "checkBoxVectors", C, 0, {{7, 2}});
        addControlRow("show settings", "checkBoxShowSettings", C, 0, {{7, 194}});
        // Spectrum and display mode: factory 0x20 (time domain).
        addControlRow("log Y", "checkBoxLogY", C, 0, {{8, 40}});
        addControlRow("FFT trace", "checkBoxFFTTrace", C, 0, {{8, 160}});
        addControlRow("IQ FFT", "checkBoxIQFFT", C, 0, {{8, 48}});
        addControlRow("XY mode", "xyMode", C, 0, {{8, 64}});
        addControlRow("rectangular", "radioButtonRect", C, 0, {{8, 32}});
        addControlRow("hamming", "radioButtonHamming", C, 0, {{8, 33}});
        addControlRow("hann", "radioButtonHann", C, 0, {{8, 34}});
        addControlRow("blackman", "radioButtonBlackman", C, 0, {{8, 36}});
        // Sweep: factory 0.
        addControlRow("acceleration direction", "checkBoxAccelDirection", C, 0, {{9, 1}});
        addControlRow("accelerate", "checkBoxAccelerate", C, 0, {{9, 2}});
        addControlRow("direction", "checkBoxDirection", C, 0, {{9, 4}});
        addControlRow("ping pong", "checkBoxPingPong", C, 0, {{9, 8}});
        addControlRow("sweep frequency", "checkBoxSweepFrequency", C, 0, {{9, 16}});
        addControlRow("sweep amplitude", "checkBoxSweepAmplitude", C, 0, {{9, 32}});
        addControlRow("sweep offset", "checkBoxSweepOffset", C, 0, {{9, 64}});
        addControlRow("sweep duty cycle", "checkBoxSweepDutyCycle", C, 0, {{9, 128}});
        // Sniffer lines: factory 0x03 (9600 baud).
        addControlRow("115200 baud", "comboBoxBaud", I, 7, {{10, 7}});
        addControlRow("CPOL 1", "comboBoxCPOL", I, 1, {{10, 11}});
        addControlRow("CPHA 1", "comboBoxCPHA", I, 1, {{10, 19}});
        addControlRow("even parity", "comboBoxParity", I, 1, {{10, 35}});
        addControlRow("odd parity", "comboBoxParity", I, 2, {{10, 99}});
        addControlRow("two stop bits", "comboBoxStopBits", I, 1, {{10, 131}});
        // Value handlers.
        addControlRow("time base", "samplingSlider", V, 5, {{0, 5}});
        addControlRow("CH1 gain", "ch1GainSlider", V, 4, {{12, 4}});
        addControlRow("CH2 gain", "ch2GainSlider", V, 6, {{13, 6}});
        addControlRow("horizontal position", "horizontalScrollBar", V, 10, {{14, 10}});
        addControlRow("trigger hold", "doubleSpinBoxTrigHold", D, 12, {{21, 12}});
        addControlRow("trigger source CH2", "comboBoxTrigSource", I, 1, {{24, 1}});
        addControlRow("trigger source EXT", "comboBoxTrigSource", I, 10, {{24, 10}});
        addControlRow("time-out 1.10592 s", "doubleSpinBoxTrigAuto", D, 1.10592, {{28, 26}});
        addControlRow("time-out maximum", "doubleSpinBoxTrigAuto", D, 10.4858, {{28, 255}});
        addControlRow("CH1 position 127", "ch1PositionSlider", V, 127, {{29, 0x81}});
        addControlRow("CH1 position -128", "ch1PositionSlider", V, -128, {{29, 0}});
        addControlRow("CH1 position 16", "ch1PositionSlider", V, 16, {{29, 0xB8}});
        addControlRow("CH2 position -16", "ch2PositionSlider", V, -16, {{30, 0xC8}});
        addControlRow("logic position 7", "chdPositionSlider", V, 7, {{31, 0}});
        addControlRow("logic position 0, six lines", "chdPositionSlider", V, 0, {{31, 16}});
    }
    void handlerTable()
    {
        QVERIFY(f.startConnected());
        QFETCH(quorveltest::ControlRow, row);
        QUORVEL_CHECK_CONTROL_ROW(f, row);
    }

    void channelPositionEnds()
    {
        QVERIFY(f.startConnected());
        sim::clearCommandLog();
        for (int v : {127, -128, 0})
            child<QSlider>("ch1PositionSlider")->setValue(v);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("29=129, 29=0, 29=192"));
        QCOMPARE(int(sim::peekRegister(reg::Ch1Position)), 0xC0);
    }

    // The zero marker and the CH1 cursor markers follow the CH1 position.
    void positionMovesZeroMarkerAndCursors()
    {
        QVERIFY(f.startConnected());
        child<QRadioButton>("radioButtonCursorCH1")->click();
        QCPItemPixmap *zero = nullptr;
        QCPItemPixmap *cursorA = nullptr;
        const QImage zeroImage = QPixmap(":/Bitmaps/Bitmaps/chan1-zero.png").toImage();
        const QImage cursorImage = QPixmap(":/Bitmaps/Bitmaps/hcursorA.png").toImage();
        for (int i = 0; i < f.plot()->itemCount(); ++i) {
            auto *pixmap = qobject_cast<QCPItemPixmap *>(f.plot()->item(i));
            if (pixmap && pixmap->pixmap().toImage() == zeroImage)
                zero = pixmap;
            else if (pixmap && pixmap->pixmap().toImage() == cursorImage)
                cursorA = pixmap;
        }
        QVERIFY(zero && cursorA);
        const QCPAxis *y = f.plot()->yAxis;
        const auto middle = [](QCPItemPixmap *p) { return p->left->pixelPosition().y(); };
        QVERIFY(qAbs(middle(zero) - y->coordToPixel(256)) <= 1);
        const double cursorBefore = middle(cursorA);
        child<QSlider>("ch1PositionSlider")->setValue(-64);
        QVERIFY(qAbs(middle(zero) - y->coordToPixel(192)) <= 1);
        QVERIFY(qAbs(middle(cursorA) - cursorBefore - (y->coordToPixel(0) - y->coordToPixel(64))) <= 1);
        QCOMPARE(int(sim::peekRegister(reg::Ch1Position)), 0xE0);
    }

    void timeoutEnds()
    {
        QVERIFY(f.startConnected());
        sim::clearCommandLog();
        child<QDoubleSpinBox>("doubleSpinBoxTrigAuto")->setValue(10.4858);
        child<QDoubleSpinBox>("doubleSpinBoxTrigAuto")->setValue(0.16384);
        // Below the spin box's range: it stays at its minimum and writes nothing.
        child<QDoubleSpinBox>("doubleSpinBoxTrigAuto")->setValue(0.05);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("28=255, 28=3"));
    }

    void protocolPageChange()
    {
        QVERIFY(f.startConnected());
        sim::clearCommandLog();
        child<QTabWidget>("protocolTabWidget")->setCurrentIndex(0);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("11=32, 32=0"));
        QCOMPARE(child<QPushButton>("startSnifferButton")->text(), QString("START"));
    }

    void logicPositionClamp()
    {
        QVERIFY(f.startConnected());
        // All eight lines: every position writes 0.
        child<QCheckBox>("checkBoxCHD6")->click();
        child<QCheckBox>("checkBoxCHD7")->click();
        QCOMPARE(sliderValue("chdPositionSlider"), 5);
        sim::clearCommandLog();
        for (int v : {7, 6, 4, 3, 2, 1, 0})
            child<QSlider>("chdPositionSlider")->setValue(v);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()),
                 QString("31=0, 31=0, 31=0, 31=0, 31=0, 31=0, 31=0"));
        // No lines: position 0 writes 56.
        for (int n = 0; n < 8; ++n)
            child<QCheckBox>(qPrintable(QString("checkBoxCHD%1").arg(n)))->click();
        QCOMPARE(int(sim::peekRegister(reg::LogicMask)), 0);
        sim::clearCommandLog();
        child<QSlider>("chdPositionSlider")->setValue(3);
        child<QSlider>("chdPositionSlider")->setValue(0);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("31=32, 31=56"));
    }

    void automaticUnchecksTrack()
    {
        QVERIFY(f.startConnected());
        child<QCheckBox>("checkBoxCursorTrack")->click();
        QCOMPARE(int(sim::peekRegister(reg::Cursors)), 4);
        sim::clearCommandLog();
        child<QCheckBox>("checkBoxCursorAuto")->click();
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("6=2"));
        QVERIFY(checked("checkBoxCursorAuto"));
        QVERIFY(!checked("checkBoxCursorTrack"));
        child<QCheckBox>("checkBoxCursorTrack")->click();
        QVERIFY(!checked("checkBoxCursorAuto"));
        QCOMPARE(int(sim::peekRegister(reg::Cursors)), 4);
    }

    void logicSourceForcesRisingEdge_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("before");
        QTest::newRow("window") << "radioButtonWindow" << 68;
        QTest::newRow("positive slope") << "radioButtonPositive" << 36;
        QTest::newRow("negative slope") << "radioButtonNegative" << 44;
    }
    void logicSourceForcesRisingEdge()
    {
        QFETCH(QString, type);
        QFETCH(int, before);
        QVERIFY(f.startConnected());
        f.child<QRadioButton>(type)->click();
        QCOMPARE(int(sim::peekRegister(reg::Trigger)), before);
        sim::clearCommandLog();
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(2);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("24=2, 5=132"));
        QVERIFY(checked("radioButtonRising"));
        for (const char *name : {"radioButtonWindow", "radioButtonPositive", "radioButtonNegative"})
            QVERIFY2(!child<QRadioButton>(name)->isEnabled(), name);
        // Back on an analog source the three are offered again; the type stays.
        sim::clearCommandLog();
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(0);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("24=0"));
        for (const char *name : {"radioButtonWindow", "radioButtonPositive", "radioButtonNegative"})
            QVERIFY2(child<QRadioButton>(name)->isEnabled(), name);
    }

    void logicSourceKeepsEdgeTypes()
    {
        QVERIFY(f.startConnected());
        child<QRadioButton>("radioButtonFalling")->click();
        sim::clearCommandLog();
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(9);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("24=9"));
        QVERIFY(checked("radioButtonFalling"));
    }

    void gainSlidersSetChannelLabels()
    {
        QVERIFY(f.startConnected());
        child<QSlider>("ch1GainSlider")->setValue(4);
        QCOMPARE(child<QLabel>("ch1Label")->text(), QString("CH1 = 0.32V/div"));
        child<QSlider>("ch2GainSlider")->setValue(6);
        QCOMPARE(child<QLabel>("ch2Label")->text(), QString("CH2 = 80mV/div"));
    }

    // What the handlers change on the plot besides the register.
    void plotSideEffects()
    {
        QVERIFY(f.startConnected());
        QCustomPlot *plot = f.plot();
        const auto pixmapItem = [plot](const char *file) -> QCPItemPixmap * {
            const QImage image = QPixmap(QString(":/Bitmaps/Bitmaps/") + file).toImage();
            for (int i = 0; i < plot->itemCount(); ++i)
                if (auto *p = qobject_cast<QCPItemPixmap *>(plot->item(i)))
                    if (p->pixmap().toImage() == image)
                        return p;
            return nullptr;
        };
        QCPItemPixmap *ch1Zero = pixmapItem("chan1-zero.png");
        QCPItemPixmap *hCursor = pixmapItem("hcursorA.png");
        QVERIFY(ch1Zero && hCursor);

        QVERIFY(ch1Zero->visible());
        child<QCheckBox>("checkBoxCH1Trace")->click();
        QVERIFY(!ch1Zero->visible());
        child<QCheckBox>("checkBoxCH1Trace")->click();
        QVERIFY(ch1Zero->visible());

        QVERIFY(!hCursor->visible());
        child<QRadioButton>("radioButtonCursorCH2")->click();
        QVERIFY(hCursor->visible());
        child<QRadioButton>("radioButtonCursorNone")->click();
        QVERIFY(!hCursor->visible());

        // Factory display: vectors. Dots draw no line between the samples.
        QCOMPARE(plot->graph(0)->lineStyle(), QCPGraph::lsLine);
        child<QCheckBox>("checkBoxVectors")->click();
        QCOMPARE(plot->graph(0)->lineStyle(), QCPGraph::lsNone);
        QCOMPARE(plot->graph(0)->scatterStyle().shape(), QCPScatterStyle::ssDot);
        QCOMPARE(plot->graph(0)->pen().width(), 2);
    }

    // The counter source of the meter: the checked source button, written
    // when the counter page opens.
    void counterSource_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("written");
        QTest::newRow("EXT button") << "fcR10" << 10;
        QTest::newRow("bit 7 button") << "fcR7" << 9;
        QTest::newRow("bit 3 button") << "fcR3" << 5;
        QTest::newRow("bit 0 button") << "fcR0" << 2;
        QTest::newRow("no button") << "none" << 255;
    }
    void counterSource()
    {
        QFETCH(QString, button);
        QFETCH(int, written);
        QVERIFY(f.startConnected());
        child<QTabWidget>("mainTabWidget")->setCurrentIndex(1);
        QTabWidget *meterPages = child<QTabWidget>("mmTabWidget");
        QVERIFY(meterPages->currentIndex() != 2);
        if (button == "none") {
            for (QRadioButton *b : f.get()->findChildren<QRadioButton *>(QRegularExpression("^fcR\\d+$"))) {
                // The buttons are one exclusive group: it would keep one checked.
                if (b->group())
                    b->group()->setExclusive(false);
                b->setAutoExclusive(false);
                b->setChecked(false);
            }
        } else {
            f.child<QRadioButton>(button)->setChecked(true);
        }
        sim::clearCommandLog();
        meterPages->setCurrentIndex(2);
        RegisterWrites sources;
        for (const quorveltest::RegisterWrite &w : quorveltest::registerWrites())
            if (w.index == reg::TriggerSource)
                sources.append(w);
        QCOMPARE(quorveltest::toText(sources), QString("24=%1").arg(written));
    }

    void iqFftDisablesPlotGroup()
    {
        QVERIFY(f.startConnected());
        child<QCheckBox>("checkBoxIQFFT")->click();
        QVERIFY(!child<QWidget>("groupBoxPlot")->isEnabled());
        child<QCheckBox>("checkBoxIQFFT")->click();
        QVERIFY(child<QWidget>("groupBoxPlot")->isEnabled());
    }

    void runStopForce()
    {
        QVERIFY(f.startConnected());
        QPushButton *stop = child<QPushButton>("stopButton");
        QCOMPARE(stop->text(), QString("STOP"));
        sim::clearCommandLog();
        stop->click();
        QCOMPARE(stop->text(), QString("START"));
        stop->click();
        QCOMPARE(stop->text(), QString("STOP"));
        child<QPushButton>("forceButton")->click();
        QByteArray letters;
        for (const sim::Command &c : sim::commandLog())
            letters.append(c.letter);
        QCOMPARE(letters, QByteArray("fgh"));
    }

    void connectedOnlyHandlersDoNothingUnconnected()
    {
        f.startWithoutInstrument();
        QTRY_VERIFY(!child<QLabel>("infoLabel")->text().isEmpty());
        sim::clearFaults();
        const QString label = child<QLabel>("ch1Label")->text();
        child<QSlider>("ch1GainSlider")->setValue(0);
        QCOMPARE(child<QLabel>("ch1Label")->text(), label);
        QPushButton *stop = child<QPushButton>("stopButton");
        const QString caption = stop->text();
        stop->click();
        QCOMPARE(stop->text(), caption);
        QVERIFY(sim::commandLog().isEmpty());
    }

    // ---- the decode -------------------------------------------------------------------------

    void decodeTriggerMode_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("type");
        QTest::newRow("3: Single as written shows Normal") << 3 << "radioButtonNormal"
                                                           << "radioButtonDual";
        QTest::newRow("2: Single") << 2 << "radioButtonSingle"
                                   << "radioButtonDual";
        QTest::newRow("0: Free") << 0 << "radioButtonFree"
                                 << "radioButtonDual";
        QTest::newRow("Auto, falling") << (4 | 8 | 128) << "radioButtonAuto"
                                       << "radioButtonFalling";
        QTest::newRow("Normal, negative slope") << (1 | 8 | 32) << "radioButtonNormal"
                                                << "radioButtonNegative";
        QTest::newRow("Normal, window") << (1 | 64) << "radioButtonNormal"
                                        << "radioButtonWindow";
    }
    void decodeTriggerMode()
    {
        QFETCH(int, value);
        QFETCH(QString, mode);
        QFETCH(QString, type);
        QVERIFY(connectTo(withBytes(factoryBlock(), {{reg::Trigger, value}})));
        QVERIFY(f.child<QRadioButton>(mode)->isChecked());
        QVERIFY(f.child<QRadioButton>(type)->isChecked());
        // Nothing to write back: the register stays as the instrument sent it.
        QCOMPARE(int(sim::peekRegister(reg::Trigger)), value);
    }

    void decodeParity_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<int>("held");
        QTest::newRow("32 shows Odd and is written as 96") << 32 << "Odd" << 96;
        QTest::newRow("96 shows Even and is written as 32") << 96 << "Even" << 32;
        QTest::newRow("64 shows None and is written as 0") << 64 << "None" << 0;
    }
    void decodeParity()
    {
        QFETCH(int, value);
        QFETCH(QString, parity);
        QFETCH(int, held);
        QVERIFY(connectTo(withBytes(factoryBlock(), {{reg::SnifferControls, value | 3}})));
        QCOMPARE(child<QComboBox>("comboBoxParity")->currentText(), parity);
        QCOMPARE(child<QComboBox>("comboBoxBaud")->currentIndex(), 3);
        QCOMPARE(int(sim::peekRegister(reg::SnifferControls)), held | 3);
    }

    void decodeMeterMode()
    {
        QVERIFY(connectTo(withBytes(factoryBlock(), {{reg::Spectrum, 0x11}})));
        QCOMPARE(child<QTabWidget>("mainTabWidget")->currentIndex(), 1);
        QVERIFY(checked("radioButtonHamming"));
        QVERIFY(checked("checkBoxIQFFT"));
        QVERIFY(!checked("checkBoxLogY"));
        QVERIFY(!checked("xyMode"));
        QVERIFY(!checked("checkBoxFFTTrace"));
        QVERIFY(!child<QWidget>("groupBoxPlot")->isEnabled());
    }

    void decodeChannelPositions_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("slider");
        QTest::newRow("0xC0") << 0xC0 << 0;
        QTest::newRow("0x00") << 0x00 << -128;
        QTest::newRow("0x81") << 0x81 << 126;
    }
    void decodeChannelPositions()
    {
        QFETCH(int, value);
        QFETCH(int, slider);
        QVERIFY(connectTo(withBytes(factoryBlock(), {{reg::Ch1Position, value}, {reg::Ch2Position, value}})));
        QCOMPARE(sliderValue("ch1PositionSlider"), slider);
        QCOMPARE(sliderValue("ch2PositionSlider"), slider);
        QCOMPARE(int(sim::peekRegister(reg::Ch1Position)), value);
        QCOMPARE(int(sim::peekRegister(reg::Ch2Position)), value);
    }

    void decodeDesiredFrequency_data()
    {
        QTest::addColumn<quint32>("hundredths");
        QTest::addColumn<QString>("range");
        QTest::addColumn<int>("slider");
        QTest::addColumn<double>("shown");
        QTest::newRow("5 Hz") << quint32(500) << "radioButton10" << 50 << 5.0;
        QTest::newRow("200000 Hz") << quint32(20000000) << "radioButton100K" << 100 << 100000.0;
        QTest::newRow("1234.56 Hz") << quint32(123456) << "radioButton10K" << 12 << 1234.56;
        QTest::newRow("999.99 Hz") << quint32(99999) << "radioButton1K" << 99 << 999.99;
    }
    void decodeDesiredFrequency()
    {
        QFETCH(quint32, hundredths);
        QFETCH(QString, range);
        QFETCH(int, slider);
        QFETCH(double, shown);
        QVERIFY(connectTo(withFrequency(factoryBlock(), hundredths)));
        QVERIFY(f.child<QRadioButton>(range)->isChecked());
        QCOMPARE(sliderValue("frequencySlider"), slider);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxDesiredFreq")->value(), shown);
    }

    // The actual-frequency read-out follows a read also when the desired
    // frequency box shows that value already (the factory 1000 Hz).
    void decodeShowsActualFrequency()
    {
        QVERIFY(connectTo(factoryBlock()));
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxDesiredFreq")->value(), 1000.0);
        QCOMPARE(child<QLineEdit>("actualFreqText")->text(), QString("1"));
        QCOMPARE(child<QLabel>("labelHertz")->text(), QString("kHz"));
    }

    void decodeGeneratorControls()
    {
        const QByteArray block = withBytes(factoryBlock(), {{reg::SweepStart, 220},
                                                            {reg::SweepEnd, 240},
                                                            {reg::SweepSpeed, 0},
                                                            {reg::Amplitude, 0x80},
                                                            {reg::Waveform, 9},
                                                            {reg::DutyCycle, 2},
                                                            {reg::Offset, 0xF6}});
        QVERIFY(connectTo(block));
        QCOMPARE(sliderValue("sweepStartFreqSlider"), 220);
        QCOMPARE(sliderValue("sweepEndFreqSlider"), 240);
        QCOMPARE(sliderValue("sweepSpeedSlider"), 1);
        QCOMPARE(child<QLineEdit>("sweepSpeedText")->text(), QString("1"));
        QCOMPARE(sliderValue("amplitudeSlider"), 128);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxAmp")->value(), 4.0);
        QVERIFY(checked("radioButtonCustom"));
        QCOMPARE(sliderValue("dutyCycleSlider"), 2);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxDuty")->value(), 0.781);
        QCOMPARE(sliderValue("offsetSlider"), 10);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxOffset")->value(), 0.156);
        // The sweep range is not lowered on the way in.
        QCOMPARE(int(sim::peekRegister(reg::SweepStart)), 220);
        QCOMPARE(int(sim::peekRegister(reg::SweepEnd)), 240);
    }

    void decodeValueControls()
    {
        const QByteArray block = withBytes(factoryBlock(), {{reg::SamplingRate, 12},
                                                            {reg::Gain1, 6},
                                                            {reg::Gain2, 0},
                                                            {reg::HPos, 100},
                                                            {reg::TriggerHold, 200},
                                                            {reg::TriggerSource, 7},
                                                            {reg::TriggerTimeout, 26},
                                                            {reg::LogicMask, 0x0F},
                                                            {reg::LogicPosition, 24},
                                                            {reg::DecodeProtocol, 0}});
        QVERIFY(connectTo(block));
        QCOMPARE(sliderValue("samplingSlider"), 12);
        QCOMPARE(sliderValue("ch1GainSlider"), 6);
        QCOMPARE(sliderValue("ch2GainSlider"), 0);
        QCOMPARE(sliderValue("horizontalScrollBar"), 100);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxTrigHold")->value(), 200.0);
        QCOMPARE(child<QComboBox>("comboBoxTrigSource")->currentIndex(), 7);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxTrigAuto")->value(), 1.10592);
        QCOMPARE(sliderValue("chdPositionSlider"), 4);
        QCOMPARE(child<QTabWidget>("protocolTabWidget")->currentIndex(), 0);
        QCOMPARE(child<QLabel>("ch1Label")->text(), QString("CH1 = 80mV/div"));
        QCOMPARE(child<QLabel>("ch2Label")->text(), QString("CH2 = 5.12V/div"));
        QCOMPARE(child<QLabel>("timeLabel")->text(), "Time = " + scales::timeBaseTexts().at(12));
        for (int n = 0; n < 8; ++n)
            QCOMPARE(child<QCheckBox>(qPrintable(QString("checkBoxCHD%1").arg(n)))->isChecked(), n < 4);
        QCOMPARE(blockDifferences(block, sim::settingsBlock()), QString());
    }

    void decodeBitRegisters()
    {
        const QByteArray block = withBytes(factoryBlock(), {{reg::Ch1Options, 0xF1},
                                                            {reg::Ch2Options, 0x50},
                                                            {reg::LogicOptions, 0x9F},
                                                            {reg::Cursors, 0xB1},
                                                            {reg::Display, 0xFD},
                                                            {reg::Spectrum, 0xCC},
                                                            {reg::Sweep, 0xA5},
                                                            {reg::TriggerTimeout, 26}});
        QVERIFY(connectTo(block));
        for (const char *name : {"checkBoxCH1Trace",
                                 "checkBoxCH1Invert",
                                 "checkBoxCH1Average",
                                 "checkBoxCH1Math",
                                 "radioButtonCH1Sub",
                                 "checkBoxCH2Invert",
                                 "checkBoxCH2Math",
                                 "radioButtonCH2Multiply",
                                 "checkBoxCHDTrace",
                                 "checkBoxCHDThick0",
                                 "checkBoxCHDInvert",
                                 "checkBoxASCII",
                                 "rollMode",
                                 "radioButtonCursorCH2",
                                 "checkBoxCursorVertical",
                                 "radioButtonSniffSingle",
                                 "elasticMode",
                                 "checkBoxInvert",
                                 "checkBoxFlip",
                                 "checkBoxPersistence",
                                 "checkBoxVectors",
                                 "checkBoxShowSettings",
                                 "radioButtonBlackman",
                                 "checkBoxLogY",
                                 "xyMode",
                                 "checkBoxFFTTrace",
                                 "checkBoxAccelDirection",
                                 "checkBoxDirection",
                                 "checkBoxSweepAmplitude",
                                 "checkBoxSweepDutyCycle"})
            QVERIFY2(checked(name), name);
        for (const char *name : {"checkBoxCH2Trace", "checkBoxCH2Average", "checkBoxCursorAuto",
                                 "checkBoxCursorTrack", "checkBoxIQFFT", "checkBoxAccelerate",
                                 "checkBoxPingPong", "checkBoxSweepFrequency", "checkBoxSweepOffset"})
            QVERIFY2(!checked(name), name);
        QCOMPARE(sliderValue("chdPullSlider"), int(reg::PullUp));
        QCOMPARE(child<QComboBox>("comboBoxGrid")->currentIndex(), 1);
        // The pull slider's write-back carries the check boxes read with it.
        QCOMPARE(blockDifferences(block, sim::settingsBlock()), QString());
    }

    void decodeLeavesCursorModesAlone()
    {
        QVERIFY(connectTo(withBytes(factoryBlock(), {{reg::Cursors, 0x22}})));
        QVERIFY(checked("checkBoxCursorAuto"));
        QVERIFY(checked("checkBoxCursorVertical"));
        sim::pokeRegister(reg::Cursors, 0x00);
        QVERIFY(rereadSettings());
        QVERIFY(checked("checkBoxCursorAuto"));
        QVERIFY(checked("checkBoxCursorVertical"));
        QVERIFY(checked("radioButtonCursorNone"));
    }

    void decodeSnifferRunning()
    {
        QVERIFY(connectTo(withBytes(factoryBlock(), {{reg::MStatus, 40}, {reg::DecodeProtocol, 1}})));
        QCOMPARE(child<QPushButton>("startSnifferButton")->text(), QString("STOP"));
        QVERIFY(child<QWidget>("pauseSnifferButton")->isEnabled());
        QCOMPARE(child<QTabWidget>("mainTabWidget")->currentIndex(), 3);
        QCOMPARE(child<QTabWidget>("protocolTabWidget")->currentIndex(), 1);
        // The page change on the way in does not stop the instrument's sniffer.
        QCOMPARE(int(sim::peekRegister(reg::MStatus)), 40);
        QCOMPARE(int(sim::peekRegister(reg::DecodeProtocol)), 1);
        // A page change by the user does.
        sim::clearCommandLog();
        child<QTabWidget>("protocolTabWidget")->setCurrentIndex(2);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("11=32, 32=2"));
        QCOMPARE(child<QPushButton>("startSnifferButton")->text(), QString("START"));
        QVERIFY(!child<QWidget>("pauseSnifferButton")->isEnabled());
        QVERIFY(child<QWidget>("comboBoxBaud")->isEnabled());
        QVERIFY(child<QWidget>("modeGroupBox")->isEnabled());
    }

    // After the decode the instrument holds the block it sent; only bytes no
    // control can show come back as the value the window shows.
    void readingLeavesInstrumentAlone_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("changes");
        // The factory time-out (2) lies below what the time-out box can show.
        QTest::newRow("factory") << factoryBlock() << QString("28: 2 -> 3");
        const QByteArray factory = withBytes(factoryBlock(), {{reg::TriggerTimeout, 26}});
        QByteArray everything = withBytes(
            factory,
            {{1, 0xF1}, {2, 0x51},  {3, 0x9F},  {4, 0xA5},  {5, 0x29},  {6, 0xA9},  {7, 0xFF},  {8, 0xC8},
             {9, 0xA5}, {10, 0x9F}, {11, 0x10}, {12, 6},    {13, 0},    {14, 100},  {15, 10},   {16, 20},
             {17, 30},  {18, 40},   {19, 50},   {20, 60},   {21, 200},  {22, 0x2C}, {23, 0x01}, {24, 1},
             {25, 10},  {26, 20},   {27, 30},   {28, 26},   {29, 0x81}, {30, 0x00}, {31, 24},   {32, 1},
             {33, 220}, {34, 240},  {35, 127},  {36, 0x80}, {37, 4},    {38, 2},    {39, 0xF6}});
        QTest::newRow("every register set") << withFrequency(everything, 123456) << QString();
        QTest::newRow("clamped bytes")
            << withBytes(factory, {{0, 30}, {5, 0x44}, {12, 9}, {24, 3}, {28, 0}, {29, 0x01}, {30, 0x80}})
            << QString("5: 68 -> 132, 28: 0 -> 3, 29: 1 -> 129, 30: 128 -> 129");
        QTest::newRow("trigger source above 10") << withBytes(factory, {{24, 12}}) << QString("24: 12 -> 0");
        QTest::newRow("logic position off the screen")
            << withBytes(factory, {{4, 0xFF}, {31, 56}}) << QString("31: 56 -> 0");
    }
    void readingLeavesInstrumentAlone()
    {
        QFETCH(QByteArray, block);
        QFETCH(QString, changes);
        QVERIFY(connectTo(block));
        QCOMPARE(blockDifferences(block, sim::settingsBlock()), changes);
        // A second read of what the window now shows changes nothing more.
        const QByteArray shown = sim::settingsBlock();
        sim::clearCommandLog();
        QVERIFY(rereadSettings());
        QCOMPARE(blockDifferences(shown, sim::settingsBlock()), QString());
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString());
    }

    // A value no control can show is written back as the controls show it,
    // and the info line names it.
    void readWritesBackOnlyWhatNoControlShows_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("info");
        const QByteArray factory = withBytes(factoryBlock(), {{reg::TriggerTimeout, 26}});
        QTest::newRow("nothing") << factory << QString() << QString();
        QTest::newRow("time-out below the box") << factoryBlock() << QString("28: 2 -> 3")
                                                << QString("Shown clamped and written back: M 28 Trigger Timeout");
        // 150 kHz, above the frequency controls' 100 kHz.
        QTest::newRow("frequency above the controls")
            << withFrequency(factory, 15000000) << QString("40: 192 -> 128, 41: 225 -> 150, 42: 228 -> 152")
            << QString("Shown clamped and written back: 40 Desired frequency");
    }
    void readWritesBackOnlyWhatNoControlShows()
    {
        QFETCH(QByteArray, block);
        QFETCH(QString, changes);
        QFETCH(QString, info);
        QVERIFY(connectTo(block));
        QCOMPARE(blockDifferences(block, sim::settingsBlock()), changes);
        QCOMPARE(child<QLabel>("infoLabel")->text(), info);
    }

    // Over the serial link the stream stops ("p") before the factory
    // settings; the settings read then turns it on again.
    void restoreOverSerialLink()
    {
        const QString path = sim::startPtyWire();
        QVERIFY(!path.isEmpty());
        f.startWithoutInstrument();
        QTRY_VERIFY(!child<QLabel>("infoLabel")->text().isEmpty());
        sim::clearFaults();
        child<QRadioButton>("radioButton")->click();
        QComboBox *ports = child<QComboBox>("comboBox_9");
        ports->clear();
        ports->addItem(path + ": simulated instrument");
        child<QPushButton>("connectButton")->click();
        QVERIFY(sim::waitForCommand('q'));
        child<QSlider>("ch1GainSlider")->setValue(6);
        QTRY_COMPARE(int(sim::peekRegister(reg::Gain1)), 6);

        sim::clearCommandLog();
        child<QPushButton>("restoreSettingButton")->click();
        const auto letters = [] {
            QByteArray out;
            for (const sim::Command &c : sim::commandLog())
                if (c.wire == sim::Wire::Serial)
                    out.append(c.letter);
            return out;
        };
        // The read: stream off, settings, stream on; then the factory time-out,
        // below what the time-out box shows, comes back as its minimum.
        QTRY_COMPARE_WITH_TIMEOUT(letters(), QByteArray("pkpuqb"), 5000);
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString("28=3"));
        QCOMPARE(sliderValue("ch1GainSlider"), 3);
    }

    // A settings read that fails changes no control, no register and no log
    // line: a request that times out, and a reply cut short (the rest of the
    // block would be stale bytes of an earlier reply).
    void failedReadChangesNothing_data()
    {
        QTest::addColumn<bool>("timeOut");
        QTest::newRow("request times out") << true;
        QTest::newRow("reply cut short") << false;
    }
    void failedReadChangesNothing()
    {
        QFETCH(bool, timeOut);
        QVERIFY(f.startConnected());
        sim::pokeRegister(reg::Gain1, 0);
        sim::pokeRegister(reg::Trigger, 0x01);
        sim::setControlTimeoutWait(0);
        if (timeOut)
            sim::setFault(sim::Fault::ControlTimeout);
        else
            sim::setShortReplies(reg::BlockSize - 1);
        sim::clearCommandLog();
        QVERIFY(f.get()->instrumentSession().readSettings() != session::ReadOutcome::Read);
        sim::clearFaults();
        sim::setShortReplies(-1);
        const QVector<sim::Command> reads = sim::commandsWithLetter('u');
        QCOMPARE(reads.size(), 1);
        QCOMPARE(reads.first().answered, !timeOut);
        QCOMPARE(sliderValue("ch1GainSlider"), 3);
        QVERIFY(checked("radioButtonAuto"));
        QCOMPARE(quorveltest::toText(quorveltest::registerWrites()), QString());
        QFile log("log.txt");
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(QString::fromLatin1(log.readAll()).count("Device Settings: "), 1);
    }

    void dumpInLogFile()
    {
        QVERIFY(f.startConnected());
        const QStringList expected = {
            "Device Settings: ",
            "Sampling rate: 7",
            "GPIO1 CH1 Option: 1",
            "GPIO2 CH2 Option: 1",
            "GPIO3 CHD Option: 1",
            "GPIO4 Mask: 63",
            "GPIO5 Trigger: 132",
            "GPIO6 Mcursors: 0",
            "GPIO7 display: 66",
            "GPIO8 MFFT: 32",
            "GPIO9 Sweep: 0",
            "GPIOA Sniffer Controls: 3",
            "GPIOB MStatus: 0",
            "M 12 Gain CH1: 3",
            "M 13 Gain CH2: 3",
            "M 14 HPos: 64",
            "M 15 Vertical cursor A: 32",
            "M 16 Vertical cursor B: 96",
            "M 17 CH1 Horizontal cursor A: 40",
            "M 18 CH1 Horizontal cursor B: 88",
            "M 19 CH2 Horizontal cursor A: 40",
            "M 20 CH2 Horizontal cursor B: 88",
            "M 21 Trigger Hold: 0",
            "M 22 23 Post Trigger: 128",
            "M 24 Trigger source: 0",
            "M 25 Trigger Level: 128",
            "M 26 Window Trigger level 1: 100",
            "M 27 Window Trigger level 2: 156",
            "M 28 Trigger Timeout: 2",
            "M 29 Channel 1 position: 192",
            "M 30 Channel 2 position: 192",
            "M 31 Channel D position: 5",
            "M 32 Decode Protocol: 2",
            "M 33 Sweep Start Frequency: 64",
            "M 34 Sweep End Frequency: 192",
            "M 35 Sweep Speed: 64",
            "M 36 Amplitude range: [-128,0]: 64",
            "M 37 Waveform type: 1",
            "38 Duty cycle range: [1,255]: 128",
            "M 39 Offset: 0",
            "40 Desired frequency: 1000",
            "------------------------------------------",
        };
        // Flushed line by line: readable while the window is open.
        QFile log("log.txt");
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromLatin1(log.readAll()).split('\n');
        QVERIFY(lines.size() >= expected.size());
        QCOMPARE(lines.mid(0, expected.size()), expected);
    }

    void autoRereadsAfterTwoSeconds()
    {
        QVERIFY(f.startConnected());
        child<QSlider>("samplingSlider")->setValue(15);
        child<QSlider>("ch1GainSlider")->setValue(0);
        sim::clearCommandLog();
        child<QPushButton>("autoButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!sim::commandsWithLetter('u').isEmpty(), 5000);
        const QVector<sim::Command> log = sim::commandLog();
        QCOMPARE(log.first().letter, 'i');
        qint64 readAt = -1;
        for (const sim::Command &c : log)
            if (c.letter == 'u')
                readAt = c.timeNs;
        QVERIFY2(readAt - log.first().timeNs >= 1900 * 1000000ll, "read before the auto set-up settled");
        // The instrument's own choice is shown.
        QTRY_COMPARE(sliderValue("samplingSlider"), int(sim::peekRegister(reg::SamplingRate)));
        QCOMPARE(sliderValue("ch1GainSlider"), int(sim::peekRegister(reg::Gain1)));
        QVERIFY(sliderValue("samplingSlider") != 15 || sliderValue("ch1GainSlider") != 0);
        // A second dump follows the first in log.txt.
        QFile file("log.txt");
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(QString::fromLatin1(file.readAll()).count("Device Settings: "), 2);
    }

    void restoreRereadsFactorySettings()
    {
        QVERIFY(f.startConnected());
        child<QSlider>("ch1GainSlider")->setValue(6);
        child<QCheckBox>("checkBoxCH1Invert")->click();
        QCOMPARE(int(sim::peekRegister(reg::Gain1)), 6);
        sim::clearCommandLog();
        QPushButton *restore = child<QPushButton>("restoreSettingButton");
        restore->click();
        QVERIFY(restore->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!sim::commandsWithLetter('u').isEmpty(), 5000);
        const QVector<sim::Command> log = sim::commandLog();
        QCOMPARE(log.first().letter, 'k');
        QVERIFY(log.last().timeNs - log.first().timeNs >= 900 * 1000000ll);
        QTRY_COMPARE(sliderValue("ch1GainSlider"), 3);
        QVERIFY(!checked("checkBoxCH1Invert"));
    }
};

QUORVEL_TEST_MAIN(TestControlsWindow)
#include "test_controls_window.moc"
