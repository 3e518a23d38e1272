// Scale tables, channel and time labels, the time-base slider.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/scales.h"
#include "settings/registers.h"

namespace {
scales::MathMode mathMode(bool subtract, bool multiply)
{
    if (subtract)
        return scales::MathMode::Subtract;
    if (multiply)
        return scales::MathMode::Multiply;
    return scales::MathMode::None;
}
} // namespace

void QuorvelInterface::setupValues()
{
    timeBaseTexts = scales::timeBaseTexts();
    gainTexts = scales::gainTexts();
    sweepRates = scales::sweepRates();
    triggerIconsCh1 = scales::triggerIconsGreen();
    triggerIconsOther = scales::triggerIconsRed();
}

void QuorvelInterface::updateCh1Label()
{
    scales::ChannelLabelState state;
    state.thisInverted = ui->checkBoxCH1Invert->isChecked();
    state.otherInverted = ui->checkBoxCH2Invert->isChecked();
    state.math = ui->checkBoxCH1Math->isChecked();
    state.mode = mathMode(ui->radioButtonCH1Sub->isChecked(), ui->radioButtonCH1Multiply->isChecked());
    ui->ch1Label->setText(
        scales::channelLabel(1, state, scales::gainText(gainTexts, ui->ch1GainSlider->value())));
}

void QuorvelInterface::updateCh2Label()
{
    scales::ChannelLabelState state;
    state.thisInverted = ui->checkBoxCH2Invert->isChecked();
    state.otherInverted = ui->checkBoxCH1Invert->isChecked();
    state.math = ui->checkBoxCH2Math->isChecked();
    state.mode = mathMode(ui->radioButtonCH2Sub->isChecked(), ui->radioButtonCH2Multiply->isChecked());
    ui->ch2Label->setText(
        scales::channelLabel(2, state, scales::gainText(gainTexts, ui->ch2GainSlider->value())));
}

void QuorvelInterface::on_samplingSlider_valueChanged(int value)
{
    if (!link.isConnected())
        return;
    session.setTimeBase(value);
    ui->timeLabel->setText(scales::timeLabel(timeBaseTexts, ui->samplingSlider->value()));
    // From 20ms/div on the marker stands at the left edge.
    updateTriggerPos();
}

QString QuorvelInterface::get4Digits(double value)
{
    return scales::get4Digits(value);
}
