// Meter page: peak-to-peak and DC volts of both channels, frequency and pulse
// counter. The instrument measures; the page sets its mode, polls the 4-byte
// meter reply and formats it.
#include "app/quorvelinterface.h"
#include "app/radiochoices.h"
#include "ui_quorvelinterface.h"

#include "instruments/meter.h"
#include "settings/registers.h"

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
    session.setMeterMode(ui->mmTabWidget->currentIndex(), ui->radioPulse->isChecked());
}

// The session enters the meter mode: the spectrum register's meter value and
// the mode of the page shown; the counter source follows on the counter page.
void QuorvelInterface::prepareMFFTControlsForMM()
{
    ui->groupBoxPlot->setEnabled(!session.state().spectrum.iq);
    session.enterMeterMode(ui->mmTabWidget->currentIndex(), ui->radioPulse->isChecked());
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
        sendCounterSource();
    else if (index == meter::Vdc)
        link.streamOn(); // DC volts come from the frames, as they arrive
    startMeterPolling();
}

void QuorvelInterface::enterMeterPage()
{
    checkFCRadioButtons(ui->comboBoxTrigSource->currentIndex());
    prepareMFFTControlsForMM();
    if (ui->mmTabWidget->currentIndex() == meter::Counter)
        sendCounterSource();
    startMeterPolling();
    clearMMLabels();
}

void QuorvelInterface::showMeterPage()
{
    // The instrument is in the meter mode of the sub-page shown already.
    meterTimer.stop();
    clearMMLabels();
    startMeterPolling();
}

void QuorvelInterface::leaveMeterPage()
{
    meterTimer.stop();
    restoreUiSettings();
}

// The session re-sends, from its state, the scope settings the meter modes
// changed on the instrument (spectrum, trigger source, a forced trigger, both
// gains, the time base) and turns the stream on. The controls show those
// values already.
void QuorvelInterface::restoreUiSettings()
{
    ui->groupBoxPlot->setEnabled(!session.state().spectrum.iq);
    session.leaveMeterMode();
    updateTriggerPos();
}
