// Control encoders: every control of the scope, logic, trigger, cursor,
// display, spectrum, sweep and sniffer-settings groups goes to its register
// as soon as it changes. Bit registers are rebuilt whole from all their
// controls; the conversions live in settings/registers.
#include "app/quorvelinterface.h"
#include "app/radiochoices.h"
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "display/scales.h"
#include "display/spectrum.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalBlocker>
#include <QTimer>

#include <functional>

namespace {
constexpr int AutoSetupSettleMs = 2000;
constexpr int RestoreSettleMs = 1000;

const char *const StartCaption = "START";
const char *const StopCaption = "STOP";

// Written as the counter's source when no source button is checked.
constexpr int NoCounterSource = 0xFF;

} // namespace

// ---- bit-register encoders --------------------------------------------------

void QuorvelInterface::sendCH1Controls()
{
    reg::ChannelOptions o;
    o.trace = ui->checkBoxCH1Trace->isChecked();
    o.invert = ui->checkBoxCH1Invert->isChecked();
    o.average = ui->checkBoxCH1Average->isChecked();
    o.math = ui->checkBoxCH1Math->isChecked();
    o.subtract = ui->radioButtonCH1Sub->isChecked();
    registers.write(reg::Ch1Options, reg::encodeChannelOptions(o));
}

void QuorvelInterface::sendCH2Controls()
{
    reg::ChannelOptions o;
    o.trace = ui->checkBoxCH2Trace->isChecked();
    o.invert = ui->checkBoxCH2Invert->isChecked();
    o.average = ui->checkBoxCH2Average->isChecked();
    o.math = ui->checkBoxCH2Math->isChecked();
    o.subtract = ui->radioButtonCH2Sub->isChecked();
    registers.write(reg::Ch2Options, reg::encodeChannelOptions(o));
}

void QuorvelInterface::sendCHDControls()
{
    reg::LogicInputOptions o;
    o.trace = ui->checkBoxCHDTrace->isChecked();
    o.pull = ui->chdPullSlider->value();
    o.thick0 = ui->checkBoxCHDThick0->isChecked();
    o.invert = ui->checkBoxCHDInvert->isChecked();
    o.ascii = ui->checkBoxASCII->isChecked();
    registers.write(reg::LogicOptions, reg::encodeLogicOptions(o));
}

void QuorvelInterface::sendCHDBitControls()
{
    const quint8 mask = logicMaskControls();
    const std::array<bool, reg::LogicLines> enabled = reg::decodeLogicMask(mask);
    std::copy(enabled.begin(), enabled.end(), chdBitEnabled);
    registers.write(reg::LogicMask, mask);
}

quint8 QuorvelInterface::logicMaskControls() const
{
    const QCheckBox *boxes[reg::LogicLines] = {ui->checkBoxCHD0, ui->checkBoxCHD1, ui->checkBoxCHD2,
                                               ui->checkBoxCHD3, ui->checkBoxCHD4, ui->checkBoxCHD5,
                                               ui->checkBoxCHD6, ui->checkBoxCHD7};
    std::array<bool, reg::LogicLines> enabled{};
    for (int n = 0; n < reg::LogicLines; ++n)
        enabled[size_t(n)] = boxes[n]->isChecked();
    return reg::encodeLogicMask(enabled);
}

void QuorvelInterface::sendTriggerControls()
{
    reg::TriggerSettings t;
    t.mode = choices::checked(*ui, choices::triggerModes, reg::Free);
    t.type = choices::checked(*ui, choices::triggerTypes, reg::Dual);
    t.circular = ui->checkBoxCircular->isChecked();
    registers.write(reg::Trigger, reg::encodeTrigger(t));
    armSingleShot(); // the instrument arms Single again on this write
}

void QuorvelInterface::sendCursorControls()
{
    reg::CursorSettings c;
    c.roll = ui->rollMode->isChecked();
    c.automatic = ui->checkBoxCursorAuto->isChecked();
    c.track = ui->checkBoxCursorTrack->isChecked();
    c.horizontal = choices::checked(*ui, choices::cursorChannels, reg::NoHorizontalCursors);
    c.vertical = ui->checkBoxCursorVertical->isChecked();
    c.snifferSingle = ui->radioButtonSniffSingle->isChecked();
    registers.write(reg::Cursors, reg::encodeCursors(c));
    showCursorItems();
}

void QuorvelInterface::sendDisplayControls()
{
    reg::DisplaySettings d;
    d.grid = ui->comboBoxGrid->currentIndex();
    d.elastic = ui->elasticMode->isChecked();
    d.invert = ui->checkBoxInvert->isChecked();
    d.flip = ui->checkBoxFlip->isChecked();
    d.persistence = ui->checkBoxPersistence->isChecked();
    d.vectors = ui->checkBoxVectors->isChecked();
    d.showSettings = ui->checkBoxShowSettings->isChecked();
    registers.write(reg::Display, reg::encodeDisplay(d));

    plotPalette.ch1.setWidth(2);
    plotPalette.ch2.setWidth(2);
    ch1Graph->setPen(plotPalette.ch1);
    ch2Graph->setPen(plotPalette.ch2);
}

reg::SpectrumSettings QuorvelInterface::spectrumControls() const
{
    reg::SpectrumSettings s;
    s.window = choices::checked(*ui, choices::fftWindows, reg::Rectangular);
    s.logY = ui->checkBoxLogY->isChecked();
    s.iq = ui->checkBoxIQFFT->isChecked();
    s.xy = ui->xyMode->isChecked();
    s.fftTrace = ui->checkBoxFFTTrace->isChecked();
    return s;
}

void QuorvelInterface::sendMFFTControls()
{
    const reg::SpectrumSettings s = spectrumControls();
    registers.write(reg::Spectrum, reg::encodeSpectrum(s));
    ui->groupBoxPlot->setEnabled(!s.iq);
}

void QuorvelInterface::sendSweepControls()
{
    updateSweepCursors();
    reg::SweepSettings s;
    s.accelDirection = ui->checkBoxAccelDirection->isChecked();
    s.accelerate = ui->checkBoxAccelerate->isChecked();
    s.direction = ui->checkBoxDirection->isChecked();
    s.pingPong = ui->checkBoxPingPong->isChecked();
    s.frequency = ui->checkBoxSweepFrequency->isChecked();
    s.amplitude = ui->checkBoxSweepAmplitude->isChecked();
    s.offset = ui->checkBoxSweepOffset->isChecked();
    s.dutyCycle = ui->checkBoxSweepDutyCycle->isChecked();
    registers.write(reg::Sweep, reg::encodeSweep(s));
}

void QuorvelInterface::sendSnifferSettings()
{
    reg::SnifferSettings s;
    s.baud = ui->comboBoxBaud->currentIndex();
    s.cpol = ui->comboBoxCPOL->currentIndex() == 1;
    s.cpha = ui->comboBoxCPHA->currentIndex() == 1;
    s.parity = ui->comboBoxParity->currentIndex();
    s.twoStopBits = ui->comboBoxStopBits->currentIndex() == 1;
    registers.write(reg::SnifferControls, reg::encodeSniffer(s));
}

void QuorvelInterface::setSnifferControlsEnabled(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(ui->comboBoxBaud), static_cast<QWidget *>(ui->comboBoxStopBits),
                       static_cast<QWidget *>(ui->comboBoxParity), static_cast<QWidget *>(ui->comboBoxCPHA),
                       static_cast<QWidget *>(ui->comboBoxCPOL), static_cast<QWidget *>(ui->modeGroupBox)})
        w->setEnabled(enabled);
}

void QuorvelInterface::sendMStatusControls()
{
    // Without an instrument a capture cannot start: the page stays stopped.
    const bool start = snifferState == sniffer::RunState::Stopped && link.isConnected();
    snifferState = start ? sniffer::RunState::Running : sniffer::RunState::Stopped;
    showSnifferRunState();
    setSnifferControlsEnabled(!start);
    registers.write(reg::MStatus, reg::encodeSnifferRunState(start, deviceMode));
}

void QuorvelInterface::setDecodeProtocol(int protocol)
{
    registers.write(reg::DecodeProtocol, quint8(protocol));
}

// ---- channels --------------------------------------------------------------------

void QuorvelInterface::on_checkBoxCH1Trace_clicked()
{
    sendCH1Controls();
    const bool on = ui->checkBoxCH1Trace->isChecked();
    ch1ZeroMarker->setVisible(on);
    ch1ZeroLine->setVisible(on);
    redrawRequested = true;
}

void QuorvelInterface::on_checkBoxCH2Trace_clicked()
{
    sendCH2Controls();
    const bool on = ui->checkBoxCH2Trace->isChecked();
    ch2ZeroMarker->setVisible(on);
    ch2ZeroLine->setVisible(on);
    redrawRequested = true;
}

void QuorvelInterface::on_checkBoxCH1Average_clicked()
{
    sendCH1Controls();
}

void QuorvelInterface::on_checkBoxCH2Average_clicked()
{
    sendCH2Controls();
}

void QuorvelInterface::on_checkBoxCH1Math_clicked()
{
    sendCH1Controls();
    updateCh1Label();
}

void QuorvelInterface::on_checkBoxCH2Math_clicked()
{
    sendCH2Controls();
    updateCh2Label();
}

void QuorvelInterface::on_checkBoxCH1Invert_clicked()
{
    sendCH1Controls();
    updateTriggerPos();
    updateCh1Label();
    updateCh2Label();
    // The instrument triggers on the inverted signal: the icon mirrors.
    checkIfInvertIcon();
}

void QuorvelInterface::on_checkBoxCH2Invert_clicked()
{
    sendCH2Controls();
    updateTriggerPos();
    updateCh1Label();
    updateCh2Label();
    checkIfInvertIcon();
}

void QuorvelInterface::on_ch1GainSlider_valueChanged(int value)
{
    if (!link.isConnected())
        return;
    registers.write(reg::Gain1, quint8(value));
    ui->ch1Label->setText(scales::shortChannelLabel(1, scales::gainText(gainTexts, value)));
}

void QuorvelInterface::on_ch2GainSlider_valueChanged(int value)
{
    if (!link.isConnected())
        return;
    registers.write(reg::Gain2, quint8(value));
    ui->ch2Label->setText(scales::shortChannelLabel(2, scales::gainText(gainTexts, value)));
}

void QuorvelInterface::moveChannelZero(int channel, int position)
{
    const bool first = channel == 1;
    registers.write(first ? reg::Ch1Position : reg::Ch2Position, reg::encodeChannelPosition(position));
    (first ? cursorState.ch1Zero : cursorState.ch2Zero) = frame::zeroLevel(position);
    placeZeroMarkers();
    // Horizontal cursors on this channel keep their place relative to its zero.
    if ((first ? ui->radioButtonCursorCH1 : ui->radioButtonCursorCH2)->isChecked())
        placeHorizontalCursors();
    const int source = first ? trigger::SourceCh1 : trigger::SourceCh2;
    if (ui->comboBoxTrigSource->currentIndex() == source && !startingUp)
        updateTriggerPos();
    redrawRequested = true;
}

void QuorvelInterface::on_ch1PositionSlider_valueChanged(int value)
{
    moveChannelZero(1, value);
}

void QuorvelInterface::on_ch2PositionSlider_valueChanged(int value)
{
    moveChannelZero(2, value);
}

// ---- logic input -------------------------------------------------------------------

void QuorvelInterface::on_chdPullSlider_valueChanged(int)
{
    sendCHDControls();
}

void QuorvelInterface::on_chdPositionSlider_valueChanged(int value)
{
    registers.write(reg::LogicPosition, reg::encodeLogicPosition(value, reg::enabledLineCount(logicMaskControls())));
    const int source = ui->comboBoxTrigSource->currentIndex();
    if (trigger::isLogicSource(source) && !startingUp)
        updateTriggerPos();
}

// ---- trigger ---------------------------------------------------------------------------

void QuorvelInterface::on_checkBoxCircular_clicked()
{
    sendTriggerControls();
    redrawRequested = true;
}

void QuorvelInterface::on_comboBoxTrigSource_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    registers.write(reg::TriggerSource, quint8(index));
    const bool needsAnalog = reg::typeNeedsAnalogSource(choices::checked(*ui, choices::triggerTypes, reg::Dual));
    showTriggerTypesOfSource(index);
    if (!trigger::isChannelSource(index) && needsAnalog) {
        ui->radioButtonRising->setChecked(true);
        sendTriggerControls();
        setTriggerIcon(reg::Rising);
        checkIfInvertIcon();
    }
    if (!startingUp)
        updateTriggerPos();
    setTriggerIcon(triggerState.iconIndex);
    checkIfInvertIcon();
}

void QuorvelInterface::showTriggerTypesOfSource(int source)
{
    // Slope and window triggers only on an analog source.
    const bool analog = trigger::isChannelSource(source);
    ui->radioButtonWindow->setEnabled(analog);
    ui->radioButtonPositive->setEnabled(analog);
    ui->radioButtonNegative->setEnabled(analog);
}

// ---- cursors, roll mode, sniffer mode ----------------------------------------------------

void QuorvelInterface::on_rollMode_clicked()
{
    sendCursorControls();
}

void QuorvelInterface::on_checkBoxCursorVertical_clicked()
{
    sendCursorControls();
}

void QuorvelInterface::on_checkBoxCursorAuto_clicked()
{
    // Automatic and tracking cursors exclude each other.
    if (ui->checkBoxCursorTrack->isChecked())
        ui->checkBoxCursorTrack->setChecked(false);
    sendCursorControls();
}

void QuorvelInterface::on_checkBoxCursorTrack_clicked()
{
    if (ui->checkBoxCursorAuto->isChecked())
        ui->checkBoxCursorAuto->setChecked(false);
    sendCursorControls();
}

// ---- display ---------------------------------------------------------------------------------

void QuorvelInterface::on_checkBoxVectors_clicked()
{
    setupScatterStyles(ui->checkBoxVectors->isChecked());
    sendDisplayControls();
}

// ---- sniffer line settings and protocol -----------------------------------------------------------

void QuorvelInterface::on_protocolTabWidget_currentChanged(int index)
{
    // A page change stops a running sniffer.
    deviceMode = frame::OscilloscopeFrames;
    setSnifferControlsEnabled(true);
    snifferState = sniffer::RunState::Stopped;
    showSnifferRunState();
    registers.write(reg::MStatus, reg::MStatusProtocolChange);
    setDecodeProtocol(index);
}

// ---- radio groups and repeated boxes -----------------------------------------------------------------

void QuorvelInterface::bindControls()
{
    // One handler per group, given the clicked button's value (its id).
    const auto onClick = [this](QButtonGroup *group, std::function<void(int)> handler) {
        connect(group, &QButtonGroup::idClicked, this, std::move(handler));
    };
    using namespace choices;
    onClick(group(this, *ui, ch1MathModes), [this](int) {
        sendCH1Controls();
        updateCh1Label();
    });
    onClick(group(this, *ui, ch2MathModes), [this](int) {
        sendCH2Controls();
        updateCh2Label();
    });
    logicLineBoxes = group(this, *ui, choices::logicLines);
    onClick(logicLineBoxes, [this](int) { sendCHDBitControls(); });
    onClick(group(this, *ui, logicOptionBoxes), [this](int) { sendCHDControls(); });
    onClick(group(this, *ui, displayBoxes), [this](int) {
        sendDisplayControls();
        redrawRequested = true;
    });
    onClick(group(this, *ui, spectrumBoxes), [this](int) { sendMFFTControls(); });
    onClick(group(this, *ui, sweepBoxes), [this](int) { sendSweepControls(); });
    // The sniffer's line settings: any change rebuilds register 10.
    for (QComboBox *box : {ui->comboBoxBaud, ui->comboBoxParity, ui->comboBoxStopBits, ui->comboBoxCPOL, ui->comboBoxCPHA})
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { sendSnifferSettings(); });
    onClick(group(this, *ui, triggerTypes), [this](int type) {
        sendTriggerControls();
        setTriggerIcon(type);
    });
    // The mode decides which markers show: none in Free, the type's otherwise.
    onClick(group(this, *ui, triggerModes), [this](int mode) {
        sendTriggerControls();
        setTriggerIcon(triggerState.iconIndex);
        if (mode != reg::Free)
            updateTriggerPos();
    });
    onClick(group(this, *ui, cursorChannels), [this](int) { sendCursorControls(); });
    onClick(group(this, *ui, snifferModes), [this](int) {
        sendCursorControls();
        sendSnifferSettings();
    });
    onClick(group(this, *ui, fftWindows), [this](int window) {
        setFFTWindow(window);
        sendMFFTControls();
    });
    onClick(group(this, *ui, waveforms), [this](int waveform) { selectWaveForm(quint8(waveform)); });
    onClick(group(this, *ui, frequencyRanges), [this](int) { updateFrequency(); });
    onClick(group(this, *ui, countTypes), [this](int) {
        sendMStatusControlsForMM();
        startMeterPolling();
    });
    // The port list and rescan only for the serial link.
    onClick(group(this, *ui, wires), [this](int wire) {
        const bool serial = InstrumentLink::Wire(wire) == InstrumentLink::Wire::Serial;
        ui->comboBox_9->setEnabled(serial);
        ui->rescanButton->setEnabled(serial);
    });
    // A click writes the button's source to register 24.
    onClick(group(this, *ui, counterSources), [this](int source) { registers.write(reg::TriggerSource, quint8(source)); });

    // Values bound to the state: the control's change calls the state's
    // setter through the session; a settings read shows the state's value.
    using session::InstrumentState;
    bindValue(ui->doubleSpinBoxTrigHold, [](const InstrumentState &s) { return s.triggerHoldMs; },
              &InstrumentState::setTriggerHold);
    bindValue(ui->doubleSpinBoxTrigAuto,
              [](const InstrumentState &s) { return reg::triggerTimeoutSeconds(quint8(s.triggerTimeout)); },
              &InstrumentState::setTriggerTimeout);

    // A settings read is shown when the session has it.
    connect(&session, &session::Session::settingsRead, this, &QuorvelInterface::showSettingsRead);
}

void QuorvelInterface::bindValue(QDoubleSpinBox *box, ShownValue shown,
                                 session::Writes (session::InstrumentState::*setter)(double))
{
    connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this, setter](double value) {
        session.change([&](session::InstrumentState &s) { return (s.*setter)(value); });
    });
    boundValues.push_back([box, shown](const session::InstrumentState &s) {
        const QSignalBlocker quiet(box);
        box->setValue(shown(s));
    });
}

// ---- run/stop, force, auto, restore, counter source --------------------------------------------------

void QuorvelInterface::on_stopButton_clicked()
{
    if (!link.isConnected())
        return;
    if (scopeRunning)
        link.stopAcquisition();
    else
        link.startAcquisition();
    scopeRunning = !scopeRunning;
    ui->stopButton->setText(scopeRunning ? tr(StopCaption) : tr(StartCaption));
}

void QuorvelInterface::on_forceButton_clicked()
{
    link.forceTrigger();
}

void QuorvelInterface::on_autoButton_clicked()
{
    link.autoSetup();
    // The instrument needs time to find its settings before they are read
    // back; a precise timer, since a coarse one of 2 s may fire 100 ms early.
    if (link.isConnected())
        QTimer::singleShot(AutoSetupSettleMs, Qt::PreciseTimer, this, &QuorvelInterface::readDeviceSettings);
}

void QuorvelInterface::on_restoreSettingButton_clicked()
{
    if (!link.isConnected())
        return;
    ui->restoreSettingButton->setEnabled(false);
    // Over the serial link the stream stops first ("p"); the settings read
    // turns it on again.
    link.streamOff();
    link.restoreFactorySettings();
    QTimer::singleShot(RestoreSettleMs, Qt::PreciseTimer, this, &QuorvelInterface::readDeviceSettings);
    ui->restoreSettingButton->setEnabled(true);
}

void QuorvelInterface::sendCounterSource()
{
    registers.write(reg::TriggerSource, quint8(choices::checked(*ui, choices::counterSources, NoCounterSource)));
}
