// Meter page: peak-to-peak and DC volts of both channels, frequency and pulse
// counter. The instrument measures; the page sets its mode, polls the 4-byte
// meter reply and formats it.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "instruments/meter.h"
#include "settings/registers.h"

namespace {
// Trigger source combo box / register 24 values of the counter source radios.
constexpr quint8 sourceOfBit(int bit)
{
    return quint8(meter::FirstBitSource + bit);
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
    int window = 0;
    if (ui->radioButtonHamming->isChecked())
        window = 1;
    else if (ui->radioButtonHann->isChecked())
        window = 2;
    else if (ui->radioButtonBlackman->isChecked())
        window = 4;
    const bool iq = ui->checkBoxIQFFT->isChecked();
    ui->groupBoxPlot->setEnabled(!iq);
    registers.write(reg::Spectrum, meter::spectrumOptionsForMeter(window, ui->checkBoxLogY->isChecked(), iq));
}

void QuorvelInterface::clearMMLabels()
{
    ui->frequencyValue->setText(meter::clearedCounterText(ui->radioPulse->isChecked()));
    for (QLabel *label : {ui->vdcChannel1, ui->vdcChannel2, ui->vppChannel1, ui->vppChannel2})
        label->setText(meter::clearedVoltsText());
}

void QuorvelInterface::checkFCRadioButtons(int source)
{
    QRadioButton *const bits[] = {ui->fcR0, ui->fcR1, ui->fcR2, ui->fcR3,
                                  ui->fcR4, ui->fcR5, ui->fcR6, ui->fcR7};
    const int bit = meter::sourceBit(source);
    (bit < 0 ? ui->fcR10 : bits[bit])->setChecked(true);
}

void QuorvelInterface::on_fcR10_clicked()
{
    registers.write(reg::TriggerSource, meter::ExtSource);
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
    meterTimer.start(meter::FrequencyIntervalMs);
}

void QuorvelInterface::on_radioPulse_clicked()
{
    sendMStatusControlsForMM();
    meterTimer.start(meter::PulseIntervalMs);
}

void QuorvelInterface::on_mmTabWidget_currentChanged(int index)
{
    meterTimer.stop();
    // The mode for the new page with the Type radios as they still stand.
    sendMStatusControlsForMM();
    clearMMLabels();
    ui->radioFreq->setChecked(true);
    ui->radioPulse->setChecked(false);
    switch (index) {
    case meter::Counter:
        sendTSource(-1);
        meterTimer.start(meter::FrequencyIntervalMs);
        break;
    case meter::Vdc:
        // DC volts come from the frames, as fast as they arrive.
        link.streamOn();
        plotTimer.setInterval(0);
        break;
    case meter::Vpp:
        meterTimer.start(meter::VppIntervalMs);
        break;
    default:
        break;
    }
}

void QuorvelInterface::enterMeterPage()
{
    checkFCRadioButtons(ui->comboBoxTrigSource->currentIndex());
    prepareMFFTControlsForMM();
    sendMStatusControlsForMM();
    switch (ui->mmTabWidget->currentIndex()) {
    case meter::Counter:
        sendTSource(-1);
        meterTimer.start(meter::FrequencyIntervalMs);
        break;
    case meter::Vpp:
        meterTimer.start(meter::VppIntervalMs);
        break;
    default:
        break;
    }
    clearMMLabels();
}

void QuorvelInterface::leaveMeterPage()
{
    sendMFFTControls();
    meterTimer.stop();
    restoreUiSettings();
    plotTimer.setInterval(plotInterval);
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
