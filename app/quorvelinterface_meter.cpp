// Meter page: peak-to-peak and DC volts of both channels, frequency and pulse
// counter. The instrument measures; the page sets its mode, polls the 4-byte
// meter reply and formats it.
#include "app/quorvelinterface.h"
#include "app/radiochoices.h"
#include "ui_quorvelinterface.h"

#include "instruments/meter.h"
#include "settings/registers.h"

namespace {
// Trigger source combo box / register 24 values of the counter source radios.
constexpr quint8 sourceOfBit(int bit)
{
    return quint8(trigger::FirstLogicSource + bit);
}
} // namespace

void QuorvelInterface::mm_request()
{
    const int page = ui->mmTabWidget->currentIndex();
    if (page == meter::Vdc) {
        // From the latest frame; nothing is asked of the instrument.
        showMeterDcVolts();
        return;
    }
    unsigned char reply[meter::ReplyLength] = {};
    if (link.requestMeter(reply) != meter::ReplyLength)
        return; // no reply: the labels keep their last reading
    if (page == meter::Vpp) {
        ui->vppChannel1->setText(meter::voltsText(meter::decodeVolts(reply[0], reply[1])));
        ui->vppChannel2->setText(meter::voltsText(meter::decodeVolts(reply[2], reply[3])));
    } else if (page == meter::Counter) {
        ui->frequencyValue->setText(meter::counterText(reply, ui->radioPulse->isChecked()));
    }
}

void QuorvelInterface::sendMStatusControlsForMM()
{
    registers.write(reg::MStatus,
                  meter::modeValue(ui->mmTabWidget->currentIndex(), ui->radioPulse->isChecked()));
}

void QuorvelInterface::prepareMFFTControlsForMM()
{
    const reg::SpectrumSettings s = spectrumControls();
    ui->groupBoxPlot->setEnabled(!s.iq);
    registers.write(reg::Spectrum, reg::encodeMeterSpectrum(s));
}

void QuorvelInterface::clearMMLabels()
{
    ui->frequencyValue->setText(meter::clearedCounterText(ui->radioPulse->isChecked()));
    for (QLabel *label : {ui->vdcChannel1, ui->vdcChannel2, ui->vppChannel1, ui->vppChannel2})
        label->setText(meter::clearedVoltsText());
}

void QuorvelInterface::checkFCRadioButtons(int source)
{
    // A channel source, or any value that is no counter source, shows as EXT.
    choices::check(*ui, choices::counterSources, meter::sourceBit(source) < 0 ? int(trigger::SourceExt) : source);
}

void QuorvelInterface::on_fcR10_clicked()
{
    registers.write(reg::TriggerSource, trigger::SourceExt);
}
void QuorvelInterface::on_fcR7_clicked()
{
    registers.write(reg::TriggerSource, sourceOfBit(7));
}
void QuorvelInterface::on_fcR6_clicked()
{
    registers.write(reg::TriggerSource, sourceOfBit(6));
}
void QuorvelInterface::on_fcR5_clicked()
{
    registers.write(reg::TriggerSource, sourceOfBit(5));
}
void QuorvelInterface::on_fcR4_clicked()
{
    registers.write(reg::TriggerSource, sourceOfBit(4));
}
void QuorvelInterface::on_fcR3_clicked()
{
    registers.write(reg::TriggerSource, sourceOfBit(3));
}
void QuorvelInterface::on_fcR2_clicked()
{
    registers.write(reg::TriggerSource, sourceOfBit(2));
}
void QuorvelInterface::on_fcR1_clicked()
{
    registers.write(reg::TriggerSource, sourceOfBit(1));
}
void QuorvelInterface::on_fcR0_clicked()
{
    registers.write(reg::TriggerSource, sourceOfBit(0));
}

void QuorvelInterface::on_radioFreq_clicked()
{
    sendMStatusControlsForMM();
    startMeterPolling();
}

void QuorvelInterface::on_radioPulse_clicked()
{
    sendMStatusControlsForMM();
    startMeterPolling();
}

void QuorvelInterface::startMeterPolling()
{
    const int interval = meter::pollInterval(ui->mmTabWidget->currentIndex(), ui->radioPulse->isChecked());
    // The VDC page has no interval: its read-out follows the frames.
    if (interval > 0)
        meterTimer.start(interval);
}

void QuorvelInterface::on_mmTabWidget_currentChanged(int index)
{
    meterTimer.stop();
    // The mode for the new page with the Type radios as they still stand.
    sendMStatusControlsForMM();
    clearMMLabels();
    ui->radioFreq->setChecked(true);
    ui->radioPulse->setChecked(false);
    if (index == meter::Counter)
        sendTSource(-1);
    else if (index == meter::Vdc)
        link.streamOn(); // DC volts come from the frames, as they arrive
    startMeterPolling();
}

void QuorvelInterface::enterMeterPage()
{
    checkFCRadioButtons(ui->comboBoxTrigSource->currentIndex());
    prepareMFFTControlsForMM();
    sendMStatusControlsForMM();
    if (ui->mmTabWidget->currentIndex() == meter::Counter)
        sendTSource(-1);
    startMeterPolling();
    clearMMLabels();
}

void QuorvelInterface::leaveMeterPage()
{
    sendMFFTControls();
    meterTimer.stop();
    restoreUiSettings();
    link.streamOn();
}

// Re-sends the scope settings the meter modes changed on the instrument.
void QuorvelInterface::restoreUiSettings()
{
    on_comboBoxTrigSource_currentIndexChanged(ui->comboBoxTrigSource->currentIndex());
    link.forceTrigger();
    on_ch1GainSlider_valueChanged(ui->ch1GainSlider->value());
    on_ch2GainSlider_valueChanged(ui->ch2GainSlider->value());
    on_samplingSlider_valueChanged(ui->samplingSlider->value());
    if (ui->mmTabWidget->currentIndex() != meter::Vdc)
        link.streamOn();
}
