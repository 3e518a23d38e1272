// Waveform generator page: waveform, amplitude, duty cycle, offset, the
// desired frequency with its actual-frequency read-out, sweep, custom wave.
#include "app/quorvelinterface.h"
#include "app/radiochoices.h"
#include "ui_quorvelinterface.h"

#include "device/commandset.h"
#include "instruments/customwave.h"
#include "instruments/generator.h"
#include "settings/registers.h"

#include <QFileDialog>
#include <QFileInfo>

void QuorvelInterface::selectWaveForm(unsigned char code)
{
    registers.write(reg::Waveform, code);
}

// The sliders drive their spin boxes; the spin boxes write the registers with
// the value they show, so a slider and its spin box agree on the register.
void QuorvelInterface::on_amplitudeSlider_valueChanged(int value)
{
    ui->doubleSpinBoxAmp->setValue(reg::amplitudeVolts(value));
}

void QuorvelInterface::on_doubleSpinBoxAmp_valueChanged(double value)
{
    registers.write(reg::Amplitude, reg::encodeAmplitude(value));
}

void QuorvelInterface::on_dutyCycleSlider_valueChanged(int value)
{
    ui->doubleSpinBoxDuty->setValue(reg::dutyPercent(value));
}

void QuorvelInterface::on_doubleSpinBoxDuty_valueChanged(double value)
{
    registers.write(reg::DutyCycle, reg::encodeDutyCycle(value));
}

void QuorvelInterface::on_offsetSlider_valueChanged(int value)
{
    ui->doubleSpinBoxOffset->setValue(reg::offsetVolts(value));
}

void QuorvelInterface::on_doubleSpinBoxOffset_valueChanged(double value)
{
    registers.write(reg::Offset, reg::encodeOffset(value));
}

void QuorvelInterface::updateFrequency()
{
    constexpr int NoRange = -1;
    const int range = choices::checked(*ui, choices::frequencyRanges, generator::Range(NoRange));
    if (range == NoRange)
        return; // no range chosen: nothing to show
    ui->doubleSpinBoxDesiredFreq->setValue(
        double(generator::desiredFrequency(ui->frequencySlider->value(), generator::Range(range))));
}

void QuorvelInterface::on_frequencySlider_valueChanged(int)
{
    updateFrequency();
}
generator::FrequencyRequest QuorvelInterface::showActualFrequency(double hertz)
{
    const generator::FrequencyRequest request = generator::frequencyRequest(hertz);
    ui->labelHertz->setText(request.unit);
    ui->actualFreqText->setText(request.text);
    return request;
}

void QuorvelInterface::sendDesiredFrequency(double hertz)
{
    const generator::FrequencyRequest request = showActualFrequency(hertz);
    // A settings read that shows the frequency the instrument holds asks for
    // nothing (the writer drops it).
    registers.requestFrequency(quint32(request.hundredths), request.value, request.index);
}

// While the user types, nothing is sent; Enter or leaving the box sends.
void QuorvelInterface::on_doubleSpinBoxDesiredFreq_valueChanged(double value)
{
    if (!ui->doubleSpinBoxDesiredFreq->hasFocus())
        sendDesiredFrequency(value);
}

void QuorvelInterface::on_doubleSpinBoxDesiredFreq_editingFinished()
{
    if (ui->doubleSpinBoxDesiredFreq->hasFocus())
        sendDesiredFrequency(ui->doubleSpinBoxDesiredFreq->value());
}

// The start never lies above the end: a start moved past the end snaps back
// to it (which runs this handler again with the lower value).
void QuorvelInterface::on_sweepStartFreqSlider_valueChanged(int value)
{
    const int end = ui->sweepEndFreqSlider->value();
    if (end < value) {
        ui->sweepStartFreqSlider->setValue(end);
        ui->sweepStartFreqSlider->setSliderPosition(end);
        return;
    }
    updateSweepCursors();
    registers.write(reg::SweepStart, quint8(ui->sweepStartFreqSlider->value()));
}

void QuorvelInterface::on_sweepEndFreqSlider_valueChanged(int value)
{
    const int start = ui->sweepStartFreqSlider->value();
    if (value < start) {
        ui->sweepEndFreqSlider->setValue(start);
        ui->sweepEndFreqSlider->setSliderPosition(start);
        return;
    }
    updateSweepCursors();
    registers.write(reg::SweepEnd, quint8(ui->sweepEndFreqSlider->value()));
}

void QuorvelInterface::on_sweepSpeedSlider_valueChanged(int value)
{
    ui->sweepSpeedText->setText(QString::number(value));
    registers.write(reg::SweepSpeed, quint8(value));
}

void QuorvelInterface::on_openCSVButton_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open File"), defaultDir,
                                                          "CSV files (*.csv *.txt);;All files (*.*)");
    if (fileName.isEmpty())
        return;
    const customwave::FileText file = customwave::readWaveText(fileName);
    ui->textEditCSV->setPlainText(file.text);
    const QString name = QFileInfo(fileName).fileName();
    if (!file.opened)
        tellCustomWave(tr("File %1 could not be opened: %2").arg(name, file.error));
    else if (file.truncated)
        tellCustomWave(tr("File %1 is larger than 1 MiB; only its first 1 MiB was read.").arg(name));
    else
        ui->customWaveStatusLabel->clear();
}

void QuorvelInterface::tellCustomWave(const QString &message)
{
    // On the custom wave page, where the user is, and in the status line.
    ui->customWaveStatusLabel->setText(message);
    ui->notifLabel->setText(message);
}

int QuorvelInterface::parseCSV(const QString &text, unsigned char *buffer)
{
    return customwave::parseCSV(text, buffer);
}

void QuorvelInterface::on_saveAWGButton_clicked()
{
    if (!link.isConnected())
        return;
    // A text with fewer values than the wave has keeps the rest of the last
    // upload. A value the instrument cannot take refuses the whole text.
    const customwave::Checked checked =
        customwave::parseChecked(ui->textEditCSV->toPlainText(), reinterpret_cast<unsigned char *>(customWave));
    if (!checked.error.isEmpty()) {
        tellCustomWave(tr("Custom wave not uploaded: %1. %2").arg(checked.error, customwave::formatHint()));
        return;
    }
    link.uploadWave(customWave);
    tellCustomWave(checked.values > customwave::Samples ? tr("Custom wave uploaded: the first %1 of %2 values.")
                                                              .arg(checked.count)
                                                              .arg(checked.values)
                                                        : tr("Custom wave uploaded: %1 values.").arg(checked.count));
    ui->radioButtonCustom->setChecked(true);
    selectWaveForm(generator::Custom);
}
