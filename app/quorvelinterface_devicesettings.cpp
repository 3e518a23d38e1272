// Settings decode: the instrument's settings block read once and shown in
// every control, register by register, with the plot side effects of each
// setting. Controls that react to value changes run their handlers while
// they are set; the register writes those handlers make are held back and
// sent only where the window had to show a different value than the
// instrument holds, so reading the settings never changes the instrument.
#include "app/quorvelinterface.h"
#include "app/radiochoices.h"
#include "device/connectionrules.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "display/scales.h"
#include "display/spectrum.h"

#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int TriggerPosRefreshMs = 100;
constexpr int MeterPage = 1;
constexpr int SnifferPage = 3;

void setSlider(QAbstractSlider *slider, int value)
{
    slider->setValue(value);
    slider->setSliderPosition(value);
}

// Sets a value control whose handler writes a register. When the control
// keeps the value it had (it showed it already, or clamps to it), no change
// signal comes, so the handler runs here: the instrument gets what the
// control shows even where that is not the byte it sent.
template <typename Control, typename Value, typename Handler>
void setAndEcho(Control *control, Value value, Handler handler)
{
    const auto before = control->value();
    control->setValue(value);
    if (control->value() == before)
        handler(control->value());
}
} // namespace

void QuorvelInterface::readDeviceSettings()
{
    // The handlers run while the controls are set; none of them reads the
    // settings again, but a second decode must not start inside the first.
    if (registers.isApplying())
        return;
    if (session.readSettings() != session::ReadOutcome::Read) {
        // A lost link is shown by its own handler.
        settingsReadFailed = link.isConnected() && !link.isLinkLost();
        if (settingsReadFailed)
            setInfoText(tr(connection::SettingsUnreadable), false);
        return;
    }
    if (settingsReadFailed && ui->infoLabel->text() == tr(connection::SettingsUnreadable))
        setInfoText(QString(), false);
    settingsReadFailed = false;
    // The session has the block in its state, and the link's sampling value.
    const reg::DeviceSettings block = session.lastRead();
    view.follow(session.state());
    registers.beginApplying(block);

    const QStringList dump = reg::dumpLines(block);
    for (int i = 0; i < dump.size() - 1; ++i)
        logToFile(dump.at(i));

    const quint8 sampling = block[reg::SamplingRate];
    if (sampling <= reg::SamplingRateMax) {
        ui->samplingSlider->setValue(sampling);
        ui->samplingSlider->setSliderPosition(sampling);
    }
    decodeChannels(block);
    decodeTrigger(block);
    decodeCursors(block);
    decodeDisplay(block);
    decodeSniffer(block);
    decodeValues(block);
    decodeGenerator(block);

    updateSweepCursors();
    ui->ch1Label->setText(
        scales::shortChannelLabel(1, scales::gainText(gainTexts, ui->ch1GainSlider->value())));
    ui->ch2Label->setText(
        scales::shortChannelLabel(2, scales::gainText(gainTexts, ui->ch2GainSlider->value())));
    ui->timeLabel->setText(scales::timeLabel(timeBaseTexts, ui->samplingSlider->value()));
    slowTimeBase = reg::isSlowTimeBase(ui->samplingSlider->value());

    cursorState.ch1Zero = frame::zeroLevel(ui->ch1PositionSlider->value());
    cursorState.ch2Zero = frame::zeroLevel(ui->ch2PositionSlider->value());
    placeZeroMarkers();
    triggerState.position = reg::triggerPosition(block.postTrigger());
    triggerState.level = reg::levelUnits(block[reg::TriggerLevel]);
    triggerState.windowLevel1 = reg::levelUnits(block[reg::WindowLevel1]);
    triggerState.windowLevel2 = reg::levelUnits(block[reg::WindowLevel2]);
    setTriggerIcon(triggerState.iconIndex);

    logToFile(dump.last());

    // Once more when the plot has settled its size.
    QTimer::singleShot(TriggerPosRefreshMs, this, &QuorvelInterface::updateTriggerPos);
    checkIfInvertIcon();
    updateTriggerPos();

    registers.endApplying();
    // The controls could not show these values: they were written back clamped.
    writtenBackText = reg::writtenBackText(registers.writtenBack());
    if (!writtenBackText.isEmpty())
        setInfoText(writtenBackText, false);
    redrawRequested = true;
}

void QuorvelInterface::decodeChannels(const reg::DeviceSettings &block)
{
    const reg::ChannelOptions ch1 = reg::decodeChannelOptions(block[reg::Ch1Options]);
    ui->checkBoxCH1Trace->setChecked(ch1.trace);
    ui->checkBoxCH1Invert->setChecked(ch1.invert);
    ui->checkBoxCH1Average->setChecked(ch1.average);
    ui->checkBoxCH1Math->setChecked(ch1.math);
    (ch1.subtract ? ui->radioButtonCH1Sub : ui->radioButtonCH1Multiply)->setChecked(true);

    const reg::ChannelOptions ch2 = reg::decodeChannelOptions(block[reg::Ch2Options]);
    ui->checkBoxCH2Trace->setChecked(ch2.trace);
    ui->checkBoxCH2Invert->setChecked(ch2.invert);
    ui->checkBoxCH2Average->setChecked(ch2.average);
    ui->checkBoxCH2Math->setChecked(ch2.math);
    (ch2.subtract ? ui->radioButtonCH2Sub : ui->radioButtonCH2Multiply)->setChecked(true);

    ch1ZeroMarker->setVisible(ch1.trace);
    ch1ZeroLine->setVisible(ch1.trace);
    ch2ZeroMarker->setVisible(ch2.trace);
    ch2ZeroLine->setVisible(ch2.trace);

    // The check boxes before the pull slider: its handler rebuilds the whole
    // register from them.
    const reg::LogicInputOptions logic = reg::decodeLogicOptions(block[reg::LogicOptions]);
    ui->checkBoxCHDTrace->setChecked(logic.trace);
    ui->checkBoxCHDThick0->setChecked(logic.thick0);
    ui->checkBoxCHDInvert->setChecked(logic.invert);
    ui->checkBoxASCII->setChecked(logic.ascii);
    setSlider(ui->chdPullSlider, logic.pull);

    QCheckBox *lines[reg::LogicLines] = {ui->checkBoxCHD0, ui->checkBoxCHD1, ui->checkBoxCHD2,
                                         ui->checkBoxCHD3, ui->checkBoxCHD4, ui->checkBoxCHD5,
                                         ui->checkBoxCHD6, ui->checkBoxCHD7};
    const auto enabled = reg::decodeLogicMask(block[reg::LogicMask]);
    for (int n = 0; n < reg::LogicLines; ++n) {
        lines[n]->setChecked(enabled[size_t(n)]);
        chdBitEnabled[n] = lines[n]->isChecked();
    }
}

void QuorvelInterface::decodeTrigger(const reg::DeviceSettings &block)
{
    const reg::TriggerSettings t = reg::decodeTrigger(block[reg::Trigger]);
    choices::check(*ui, choices::triggerModes, t.mode);
    ui->checkBoxCircular->setChecked(t.circular);
    choices::check(*ui, choices::triggerTypes, t.type);
    triggerState.iconIndex = t.type;
}

void QuorvelInterface::decodeCursors(const reg::DeviceSettings &block)
{
    const reg::CursorSettings c = reg::decodeCursors(block[reg::Cursors]);
    ui->rollMode->setChecked(c.roll);
    // Automatic, Track and Vertical are only ever switched on here.
    if (c.automatic)
        ui->checkBoxCursorAuto->setChecked(true);
    if (c.track)
        ui->checkBoxCursorTrack->setChecked(true);
    choices::check(*ui, choices::cursorChannels, c.horizontal);
    if (c.horizontal == reg::NoHorizontalCursors) {
        for (QCPItemStraightLine *line : {hCursorLineA, hCursorLineB}) {
            line->point1->setCoords(0, 0);
            line->point2->setCoords(10, 0);
        }
    }
    // Vertical is only ever switched on here; the items follow the boxes.
    if (c.vertical)
        ui->checkBoxCursorVertical->setChecked(true);
    showCursorItems();
    (c.snifferSingle ? ui->radioButtonSniffSingle : ui->radioButtonSniffNormal)->setChecked(true);
}

void QuorvelInterface::decodeDisplay(const reg::DeviceSettings &block)
{
    const reg::DisplaySettings d = reg::decodeDisplay(block[reg::Display]);
    ui->comboBoxGrid->setCurrentIndex(d.grid);
    // The grid pen also when the index did not change.
    on_comboBoxGrid_currentIndexChanged(d.grid);
    ui->elasticMode->setChecked(d.elastic);
    ui->checkBoxInvert->setChecked(d.invert);
    ui->checkBoxFlip->setChecked(d.flip);
    ui->checkBoxPersistence->setChecked(d.persistence);
    plotPalette.ch1.setWidth(2);
    plotPalette.ch2.setWidth(2);
    ch1Graph->setPen(plotPalette.ch1);
    ch2Graph->setPen(plotPalette.ch2);
    ui->checkBoxVectors->setChecked(d.vectors);
    setupScatterStyles(ui->checkBoxVectors->isChecked());
    ui->checkBoxShowSettings->setChecked(d.showSettings);

    const quint8 mfft = block[reg::Spectrum];
    const reg::SpectrumSettings s = reg::decodeSpectrum(mfft);
    choices::check(*ui, choices::fftWindows, s.window);
    setFFTWindow(s.window);
    ui->checkBoxLogY->setChecked(s.logY);
    ui->checkBoxIQFFT->setChecked(s.iq);
    ui->groupBoxPlot->setEnabled(!s.iq);
    ui->xyMode->setChecked(s.xy);
    ui->checkBoxFFTTrace->setChecked(s.fftTrace);
    if (reg::isMeterMode(mfft))
        ui->mainTabWidget->setCurrentIndex(MeterPage);

    const reg::SweepSettings w = reg::decodeSweep(block[reg::Sweep]);
    ui->checkBoxAccelDirection->setChecked(w.accelDirection);
    ui->checkBoxAccelerate->setChecked(w.accelerate);
    ui->checkBoxDirection->setChecked(w.direction);
    ui->checkBoxPingPong->setChecked(w.pingPong);
    ui->checkBoxSweepFrequency->setChecked(w.frequency);
    ui->checkBoxSweepAmplitude->setChecked(w.amplitude);
    ui->checkBoxSweepOffset->setChecked(w.offset);
    ui->checkBoxSweepDutyCycle->setChecked(w.dutyCycle);
}

void QuorvelInterface::decodeSniffer(const reg::DeviceSettings &block)
{
    const reg::SnifferSettings s = reg::decodeSniffer(block[reg::SnifferControls]);
    ui->comboBoxBaud->setCurrentIndex(s.baud);
    ui->comboBoxCPOL->setCurrentIndex(s.cpol ? 1 : 0);
    ui->comboBoxCPHA->setCurrentIndex(s.cpha ? 1 : 0);
    ui->comboBoxParity->setCurrentIndex(s.parity);
    ui->comboBoxStopBits->setCurrentIndex(s.twoStopBits ? 1 : 0);

    // The protocol page before the run state: a page change stops the
    // sniffer in the window, and the run state read next puts it back.
    const quint8 protocol = block[reg::DecodeProtocol];
    ui->protocolTabWidget->setCurrentIndex(protocol);

    const quint8 status = block[reg::MStatus];
    if (reg::snifferRunning(status)) {
        snifferState = sniffer::RunState::Running;
        showSnifferRunState();
        deviceMode = frame::SnifferFrames;
        ui->mainTabWidget->setCurrentIndex(SnifferPage);
    } else {
        snifferState = sniffer::RunState::Stopped;
        showSnifferRunState();
        setSnifferControlsEnabled(true);
    }
    if (reg::scopeFrameMode(status)) {
        deviceMode = frame::OscilloscopeFrames;
    } else {
        scopeRunning = true;
        ui->stopButton->setText(tr("STOP"));
    }
    if (ui->mainTabWidget->currentIndex() == MeterPage)
        ui->mmTabWidget->setCurrentIndex(reg::meterPage(status));
    // The window now shows the run state the instrument holds.
    registers.keepInstrumentValue(reg::MStatus);
}

void QuorvelInterface::decodeValues(const reg::DeviceSettings &block)
{
    const quint8 gain1 = block[reg::Gain1];
    if (gain1 <= reg::GainMax)
        setSlider(ui->ch1GainSlider, gain1);
    const quint8 gain2 = block[reg::Gain2];
    if (gain2 <= reg::GainMax)
        setSlider(ui->ch2GainSlider, gain2);
    const quint8 hpos = block[reg::HPos];
    if (hpos <= reg::HPosMax)
        ui->horizontalScrollBar->setValue(hpos);

    const struct
    {
        quint16 index;
        int *member;
        QCPItemStraightLine *line;
    } vertical[] = {{reg::VCursorA, &cursorState.vCursorA, vCursorLineA}, {reg::VCursorB, &cursorState.vCursorB, vCursorLineB}};
    for (const auto &v : vertical) {
        if (!reg::cursorByteValid(block[v.index]))
            continue;
        *v.member = reg::decodeVerticalCursor(block[v.index], plotColumns);
        v.line->point1->setCoords(0, 0);
        v.line->point2->setCoords(0, 10);
    }
    setVerticalCursors();
    const struct
    {
        quint16 index;
        int *member;
        QCPItemStraightLine *line;
    } horizontal[] = {{reg::Ch1HCursorA, &cursorState.ch1CursorA, hCursorLineA},
                      {reg::Ch1HCursorB, &cursorState.ch1CursorB, hCursorLineB},
                      {reg::Ch2HCursorA, &cursorState.ch2CursorA, hCursorLineA},
                      {reg::Ch2HCursorB, &cursorState.ch2CursorB, hCursorLineB}};
    for (const auto &h : horizontal) {
        if (!reg::cursorByteValid(block[h.index]))
            continue;
        *h.member = reg::decodeHorizontalCursor(block[h.index]);
        h.line->point1->setCoords(0, 0);
        h.line->point2->setCoords(10, 0);
    }

    ui->doubleSpinBoxTrigHold->setValue(block[reg::TriggerHold]);

    const int source = reg::decodeTriggerSource(block[reg::TriggerSource]);
    if (ui->comboBoxTrigSource->currentIndex() != source)
        ui->comboBoxTrigSource->setCurrentIndex(source);
    else
        // The trigger types the source allows, also when it did not change.
        on_comboBoxTrigSource_currentIndexChanged(source);
    // The same register is the frequency counter's source.
    checkFCRadioButtons(source);

    setAndEcho(ui->doubleSpinBoxTrigAuto, reg::triggerTimeoutSeconds(block[reg::TriggerTimeout]),
               [this](double v) { on_doubleSpinBoxTrigAuto_valueChanged(v); });

    setAndEcho(ui->ch1PositionSlider, reg::decodeChannelPosition(block[reg::Ch1Position]),
               [this](int v) { on_ch1PositionSlider_valueChanged(v); });
    ui->ch1PositionSlider->setSliderPosition(ui->ch1PositionSlider->value());
    setAndEcho(ui->ch2PositionSlider, reg::decodeChannelPosition(block[reg::Ch2Position]),
               [this](int v) { on_ch2PositionSlider_valueChanged(v); });
    ui->ch2PositionSlider->setSliderPosition(ui->ch2PositionSlider->value());
    placeHorizontalCursors();

    const int logic = reg::decodeLogicPosition(block[reg::LogicPosition]);
    if (logic >= 0 && logic <= reg::LogicPositionMax)
        setAndEcho(ui->chdPositionSlider, logic, [this](int v) { on_chdPositionSlider_valueChanged(v); });
}

void QuorvelInterface::decodeGenerator(const reg::DeviceSettings &block)
{
    // Sweep start never above the end: whichever way the range moves, the
    // slider that keeps the order is set first, so neither handler has to
    // pull the other back.
    const int start = block[reg::SweepStart];
    const int end = block[reg::SweepEnd];
    if (start > ui->sweepEndFreqSlider->value()) {
        setSlider(ui->sweepEndFreqSlider, end);
        setSlider(ui->sweepStartFreqSlider, start);
    } else {
        setSlider(ui->sweepStartFreqSlider, start);
        setSlider(ui->sweepEndFreqSlider, end);
    }
    setSlider(ui->sweepSpeedSlider, reg::decodeSweepSpeed(block[reg::SweepSpeed]));
    ui->sweepSpeedText->setText(QString::number(ui->sweepSpeedSlider->value()));

    const int amplitude = reg::decodeAmplitude(block[reg::Amplitude]);
    if (amplitude <= reg::AmplitudeMax) {
        setSlider(ui->amplitudeSlider, amplitude);
        ui->doubleSpinBoxAmp->setValue(reg::amplitudeVolts(amplitude));
    }

    choices::check(*ui, choices::waveforms, generator::Waveform(reg::decodeWaveform(block[reg::Waveform])));

    const int duty = reg::decodeDutyCycle(block[reg::DutyCycle]);
    setSlider(ui->dutyCycleSlider, duty);
    ui->doubleSpinBoxDuty->setValue(reg::dutyPercent(duty));

    const int offset = reg::decodeOffset(block[reg::Offset]);
    setSlider(ui->offsetSlider, offset);
    ui->doubleSpinBoxOffset->setValue(reg::offsetVolts(offset));

    // The range and slider show the frequency as near as they can; the slider
    // does not send its own rounded frequency, so the desired frequency the
    // instrument holds stays as it is.
    const reg::FrequencyControls f = reg::frequencyControls(block.desiredFrequencyHz());
    choices::check(*ui, choices::frequencyRanges, f.range);
    {
        const QSignalBlocker quiet(ui->frequencySlider);
        setSlider(ui->frequencySlider, f.slider);
    }
    ui->doubleSpinBoxDesiredFreq->setValue(f.hertz);
}
