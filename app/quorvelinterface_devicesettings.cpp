// Settings read: the session reads the instrument's settings block into its
// state, and the window shows that state. Every control takes its value with
// its signals blocked, so no handler runs and nothing is sent back; what the
// handlers would have derived (labels, enabled states, markers, scales, run
// state) is updated here from the state. Only where a control can show the
// value read clamped, or in its own steps, does the session write back what
// it shows (InstrumentState::writeBack), and the info line names it.
#include "app/quorvelinterface.h"
#include "app/radiochoices.h"
#include "device/connectionrules.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "display/scales.h"
#include "display/spectrum.h"
#include "instruments/generator.h"

#include <QSignalBlocker>
#include <QTimer>

namespace {
constexpr int TriggerPosRefreshMs = 100;
constexpr int MeterPage = 1;
constexpr int SnifferPage = 3;

// The controls take a value without a signal: no handler runs.
void setQuietly(QAbstractButton *button, bool checked)
{
    const QSignalBlocker quiet(button);
    // A group reports its buttons' changes itself.
    const QSignalBlocker quietGroup(button->group());
    button->setChecked(checked);
}

void setQuietly(QAbstractSlider *slider, int value)
{
    const QSignalBlocker quiet(slider);
    slider->setValue(value);
    slider->setSliderPosition(value);
}

void setQuietly(QDoubleSpinBox *box, double value)
{
    const QSignalBlocker quiet(box);
    box->setValue(value);
}

void setQuietly(QComboBox *box, int index)
{
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(index);
}

void setQuietly(QTabWidget *tabs, int index)
{
    const QSignalBlocker quiet(tabs);
    tabs->setCurrentIndex(index);
}

// Checks the button of `value` in a radio-choice table.
template <typename Value, size_t N>
void showChoice(const Ui::QuorvelInterface &ui, const choices::RadioChoice<Value> (&table)[N], Value value)
{
    for (const choices::RadioChoice<Value> &c : table)
        if (c.value == value) {
            setQuietly(ui.*c.button, true);
            return;
        }
}
} // namespace

void QuorvelInterface::readDeviceSettings()
{
    // A read does not start while the last one is being shown.
    if (registers.isApplying())
        return;
    // The outcome comes back through the session's settingsRead().
    session.readSettings();
}

void QuorvelInterface::showSettingsRead(session::ReadOutcome outcome)
{
    if (outcome != session::ReadOutcome::Read) {
        // A lost link is shown by its own handler.
        settingsReadFailed = link.isConnected() && !link.isLinkLost();
        if (settingsReadFailed)
            setInfoText(tr(connection::SettingsUnreadable), false);
        return;
    }
    if (registers.isApplying())
        return;
    if (settingsReadFailed && ui->infoLabel->text() == tr(connection::SettingsUnreadable))
        setInfoText(QString(), false);
    settingsReadFailed = false;
    const reg::DeviceSettings block = session.lastRead();
    view.follow(session.state());

    const QStringList dump = reg::dumpLines(block);
    for (int i = 0; i < dump.size() - 1; ++i)
        logToFile(dump.at(i));

    // No handler writes while the state is shown; should one, the writer
    // holds it back and sends it only where it differs from the block.
    registers.beginApplying(block);
    applyStateToWidgets(session.state());
    logToFile(dump.last());
    // Once more when the plot has settled its size.
    QTimer::singleShot(TriggerPosRefreshMs, this, &QuorvelInterface::updateTriggerPos);
    registers.endApplying();

    // The controls could not show these values: they are written back as shown.
    QVector<quint16> written = registers.writtenBack() + session.writeBackShown();
    std::sort(written.begin(), written.end());
    writtenBackText = reg::writtenBackText(written);
    if (!writtenBackText.isEmpty())
        setInfoText(writtenBackText, false);
    redrawRequested = true;
}

void QuorvelInterface::applyStateToWidgets(const session::InstrumentState &s)
{
    setQuietly(ui->samplingSlider, s.timeBase);
    showChannels(s);
    showTrigger(s);
    showCursors(s);
    showDisplay(s);
    showSniffer(s);
    showValues(s);
    showGenerator(s);
    for (const auto &showValue : boundValues)
        showValue(s);

    // What the handlers of these controls derive from them.
    updateSweepCursors();
    ui->ch1Label->setText(scales::shortChannelLabel(1, scales::gainText(gainTexts, s.gain1)));
    ui->ch2Label->setText(scales::shortChannelLabel(2, scales::gainText(gainTexts, s.gain2)));
    ui->timeLabel->setText(scales::timeLabel(timeBaseTexts, s.timeBase));
    slowTimeBase = reg::isSlowTimeBase(s.timeBase);

    cursorState.ch1Zero = frame::zeroLevel(s.ch1Position);
    cursorState.ch2Zero = frame::zeroLevel(s.ch2Position);
    placeZeroMarkers();
    placeHorizontalCursors();
    triggerState.position = s.triggerPosition;
    triggerState.level = reg::levelUnits(s.triggerLevel);
    triggerState.windowLevel1 = reg::levelUnits(s.windowLevel1);
    triggerState.windowLevel2 = reg::levelUnits(s.windowLevel2);
    setTriggerIcon(triggerState.iconIndex);
    checkIfInvertIcon();
    updateTriggerPos();
    redrawRequested = true;
}

void QuorvelInterface::showChannels(const session::InstrumentState &s)
{
    const struct
    {
        const reg::ChannelOptions &options;
        QCheckBox *trace, *invert, *average, *math;
        QRadioButton *subtract, *multiply;
        QCPItemPixmap *zeroMarker;
        QCPItemStraightLine *zeroLine;
    } channels[] = {
        {s.ch1, ui->checkBoxCH1Trace, ui->checkBoxCH1Invert, ui->checkBoxCH1Average, ui->checkBoxCH1Math,
         ui->radioButtonCH1Sub, ui->radioButtonCH1Multiply, ch1ZeroMarker, ch1ZeroLine},
        {s.ch2, ui->checkBoxCH2Trace, ui->checkBoxCH2Invert, ui->checkBoxCH2Average, ui->checkBoxCH2Math,
         ui->radioButtonCH2Sub, ui->radioButtonCH2Multiply, ch2ZeroMarker, ch2ZeroLine},
    };
    for (const auto &c : channels) {
        setQuietly(c.trace, c.options.trace);
        setQuietly(c.invert, c.options.invert);
        setQuietly(c.average, c.options.average);
        setQuietly(c.math, c.options.math);
        setQuietly(c.options.subtract ? c.subtract : c.multiply, true);
        c.zeroMarker->setVisible(c.options.trace);
        c.zeroLine->setVisible(c.options.trace);
    }

    setQuietly(ui->checkBoxCHDTrace, s.logic.trace);
    setQuietly(ui->checkBoxCHDThick0, s.logic.thick0);
    setQuietly(ui->checkBoxCHDInvert, s.logic.invert);
    setQuietly(ui->checkBoxASCII, s.logic.ascii);
    setQuietly(ui->chdPullSlider, s.logic.pull);
    for (int n = 0; n < reg::LogicLines; ++n) {
        setQuietly(logicLineBoxes->button(n), s.logicLines[size_t(n)]);
        chdBitEnabled[n] = s.logicLines[size_t(n)];
    }
}

void QuorvelInterface::showTrigger(const session::InstrumentState &s)
{
    showChoice(*ui, choices::triggerModes, s.trigger.mode);
    setQuietly(ui->checkBoxCircular, s.trigger.circular);
    showChoice(*ui, choices::triggerTypes, s.trigger.type);
    triggerState.iconIndex = s.trigger.type;
    setQuietly(ui->comboBoxTrigSource, s.triggerSource);
    showTriggerTypesOfSource(s.triggerSource);
    // The same register is the frequency counter's source.
    checkFCRadioButtons(s.triggerSource);
}

void QuorvelInterface::showCursors(const session::InstrumentState &s)
{
    const reg::CursorSettings &c = s.cursors;
    setQuietly(ui->rollMode, c.roll);
    // Automatic, Track and Vertical are only ever switched on by a read.
    if (c.automatic)
        setQuietly(ui->checkBoxCursorAuto, true);
    if (c.track)
        setQuietly(ui->checkBoxCursorTrack, true);
    if (c.vertical)
        setQuietly(ui->checkBoxCursorVertical, true);
    showChoice(*ui, choices::cursorChannels, c.horizontal);
    if (c.horizontal == reg::NoHorizontalCursors) {
        for (QCPItemStraightLine *line : {hCursorLineA, hCursorLineB}) {
            line->point1->setCoords(0, 0);
            line->point2->setCoords(10, 0);
        }
    }
    setQuietly(c.snifferSingle ? ui->radioButtonSniffSingle : ui->radioButtonSniffNormal, true);

    // The cursor bytes with bit 7 set are no position: those cursors stay.
    const struct
    {
        quint16 index;
        int *member;
        QCPItemStraightLine *line;
        bool vertical;
    } cursors[] = {{reg::VCursorA, &cursorState.vCursorA, vCursorLineA, true},
                   {reg::VCursorB, &cursorState.vCursorB, vCursorLineB, true},
                   {reg::Ch1HCursorA, &cursorState.ch1CursorA, hCursorLineA, false},
                   {reg::Ch1HCursorB, &cursorState.ch1CursorB, hCursorLineB, false},
                   {reg::Ch2HCursorA, &cursorState.ch2CursorA, hCursorLineA, false},
                   {reg::Ch2HCursorB, &cursorState.ch2CursorB, hCursorLineB, false}};
    for (const auto &k : cursors) {
        const quint8 byte = s.cursorBytes[size_t(k.index - reg::VCursorA)];
        if (!reg::cursorByteValid(byte))
            continue;
        *k.member = k.vertical ? reg::decodeVerticalCursor(byte, plotColumns) : reg::decodeHorizontalCursor(byte);
        k.line->point1->setCoords(0, 0);
        k.line->point2->setCoords(k.vertical ? 0 : 10, k.vertical ? 10 : 0);
    }
    showCursorItems();
    setVerticalCursors();
}

void QuorvelInterface::showDisplay(const session::InstrumentState &s)
{
    const reg::DisplaySettings &d = s.display;
    setQuietly(ui->comboBoxGrid, d.grid);
    // The grid pen of the mode shown.
    on_comboBoxGrid_currentIndexChanged(d.grid);
    setQuietly(ui->elasticMode, d.elastic);
    setQuietly(ui->checkBoxInvert, d.invert);
    setQuietly(ui->checkBoxFlip, d.flip);
    setQuietly(ui->checkBoxPersistence, d.persistence);
    setQuietly(ui->checkBoxVectors, d.vectors);
    setQuietly(ui->checkBoxShowSettings, d.showSettings);
    plotPalette.ch1.setWidth(2);
    plotPalette.ch2.setWidth(2);
    ch1Graph->setPen(plotPalette.ch1);
    ch2Graph->setPen(plotPalette.ch2);
    setupScatterStyles(d.vectors);

    const reg::SpectrumSettings &f = s.spectrum;
    showChoice(*ui, choices::fftWindows, f.window);
    setFFTWindow(f.window);
    setQuietly(ui->checkBoxLogY, f.logY);
    setQuietly(ui->checkBoxIQFFT, f.iq);
    ui->groupBoxPlot->setEnabled(!f.iq);
    setQuietly(ui->xyMode, f.xy);
    setQuietly(ui->checkBoxFFTTrace, f.fftTrace);
    if (s.meterMode)
        showMainPage(MeterPage);

    const reg::SweepSettings &w = s.sweep;
    setQuietly(ui->checkBoxAccelDirection, w.accelDirection);
    setQuietly(ui->checkBoxAccelerate, w.accelerate);
    setQuietly(ui->checkBoxDirection, w.direction);
    setQuietly(ui->checkBoxPingPong, w.pingPong);
    setQuietly(ui->checkBoxSweepFrequency, w.frequency);
    setQuietly(ui->checkBoxSweepAmplitude, w.amplitude);
    setQuietly(ui->checkBoxSweepOffset, w.offset);
    setQuietly(ui->checkBoxSweepDutyCycle, w.dutyCycle);
}

void QuorvelInterface::showSniffer(const session::InstrumentState &s)
{
    setQuietly(ui->comboBoxBaud, s.sniffer.baud);
    setQuietly(ui->comboBoxCPOL, s.sniffer.cpol ? 1 : 0);
    setQuietly(ui->comboBoxCPHA, s.sniffer.cpha ? 1 : 0);
    setQuietly(ui->comboBoxParity, s.sniffer.parity);
    setQuietly(ui->comboBoxStopBits, s.sniffer.twoStopBits ? 1 : 0);
    setQuietly(ui->protocolTabWidget, s.protocol);

    const quint8 status = s.runStatus;
    snifferState = s.snifferRunning ? sniffer::RunState::Running : sniffer::RunState::Stopped;
    showSnifferRunState();
    if (s.snifferRunning)
        showMainPage(SnifferPage);
    else
        setSnifferControlsEnabled(true);
    deviceMode = s.deviceMode == session::DeviceMode::SnifferFrames ? frame::SnifferFrames : frame::OscilloscopeFrames;
    if (!reg::scopeFrameMode(status)) {
        scopeRunning = true;
        ui->stopButton->setText(tr("STOP"));
    }
    if (ui->mainTabWidget->currentIndex() == MeterPage) {
        const int page = reg::meterPage(status);
        if (ui->mmTabWidget->currentIndex() != page) {
            // A new sub-page counts frequency, as a page change by the user does.
            setQuietly(ui->mmTabWidget, page);
            view.meterPage = page;
            setQuietly(ui->radioFreq, true);
            setQuietly(ui->radioPulse, false);
        }
        showMeterPage();
    }
}

void QuorvelInterface::showValues(const session::InstrumentState &s)
{
    setQuietly(ui->ch1GainSlider, s.gain1);
    setQuietly(ui->ch2GainSlider, s.gain2);
    setQuietly(ui->horizontalScrollBar, s.hpos);
    setQuietly(ui->ch1PositionSlider, s.ch1Position);
    setQuietly(ui->ch2PositionSlider, s.ch2Position);
    setQuietly(ui->chdPositionSlider, s.logicPosition);
}

void QuorvelInterface::showGenerator(const session::InstrumentState &s)
{
    setQuietly(ui->sweepStartFreqSlider, s.sweepStart);
    setQuietly(ui->sweepEndFreqSlider, s.sweepEnd);
    setQuietly(ui->sweepSpeedSlider, s.sweepSpeed);
    ui->sweepSpeedText->setText(QString::number(s.sweepSpeed));

    setQuietly(ui->amplitudeSlider, s.amplitude);
    setQuietly(ui->doubleSpinBoxAmp, reg::amplitudeVolts(s.amplitude));
    showChoice(*ui, choices::waveforms, generator::Waveform(s.waveform));
    setQuietly(ui->dutyCycleSlider, s.dutyCycle);
    setQuietly(ui->doubleSpinBoxDuty, reg::dutyPercent(s.dutyCycle));
    setQuietly(ui->offsetSlider, s.offset);
    setQuietly(ui->doubleSpinBoxOffset, reg::offsetVolts(s.offset));

    // The range and slider show the frequency as near as they can; the
    // desired frequency the instrument holds stays as it is.
    const reg::FrequencyControls f = reg::frequencyControls(s.desiredFrequencyHz);
    showChoice(*ui, choices::frequencyRanges, generator::Range(f.range));
    setQuietly(ui->frequencySlider, f.slider);
    setQuietly(ui->doubleSpinBoxDesiredFreq, f.hertz);
    showActualFrequency(f.hertz);
}

void QuorvelInterface::showMainPage(int index)
{
    if (ui->mainTabWidget->currentIndex() == index)
        return;
    // Leaving the meter page stops its polling; the state read holds no
    // meter mode to leave.
    if (previousTabIndex == MeterPage && index != MeterPage)
        meterTimer.stop();
    setQuietly(ui->mainTabWidget, index);
    view.page = index;
    previousTabIndex = index;
}
