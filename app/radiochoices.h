#pragma once
// Radio button groups of the form (and the repeated check boxes of the logic
// lines) and the values they stand for: one table per group. Each group is
// bound once through a QButtonGroup whose ids are the table's values
// (`group()`), so one handler takes the value clicked; the settings read
// checks the button of a value.

#include "device/instrumentlink.h"
#include "instruments/generator.h"
#include "settings/registers.h"
#include "ui_quorvelinterface.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QRadioButton>

#include <type_traits>

namespace choices {

template <typename Value, typename Button = QRadioButton>
struct RadioChoice
{
    Button *Ui::QuorvelInterface::*button;
    Value value;
};

// The value of the checked button; `otherwise` when none is checked.
template <typename Value, typename Button, size_t N>
Value checked(const Ui::QuorvelInterface &ui, const RadioChoice<Value, Button> (&table)[N], Value otherwise)
{
    for (const RadioChoice<Value, Button> &c : table)
        if ((ui.*c.button)->isChecked())
            return c.value;
    return otherwise;
}

// Checks the button of `value`; nothing when no button stands for it.
template <typename Value, typename Button, size_t N>
void check(const Ui::QuorvelInterface &ui, const RadioChoice<Value, Button> (&table)[N], Value value)
{
    for (const RadioChoice<Value, Button> &c : table)
        if (c.value == value) {
            (ui.*c.button)->setChecked(true);
            return;
        }
}

using Ui::QuorvelInterface;

const RadioChoice<reg::TriggerMode> triggerModes[] = {
    {&QuorvelInterface::radioButtonNormal, reg::Normal},
    {&QuorvelInterface::radioButtonSingle, reg::Single},
    {&QuorvelInterface::radioButtonAuto, reg::Auto},
    {&QuorvelInterface::radioButtonFree, reg::Free},
};

const RadioChoice<reg::TriggerType> triggerTypes[] = {
    {&QuorvelInterface::radioButtonRising, reg::Rising},
    {&QuorvelInterface::radioButtonFalling, reg::Falling},
    {&QuorvelInterface::radioButtonDual, reg::Dual},
    {&QuorvelInterface::radioButtonPositive, reg::PositiveSlope},
    {&QuorvelInterface::radioButtonNegative, reg::NegativeSlope},
    {&QuorvelInterface::radioButtonWindow, reg::Window},
};

const RadioChoice<reg::FftWindow> fftWindows[] = {
    {&QuorvelInterface::radioButtonRect, reg::Rectangular},
    {&QuorvelInterface::radioButtonHamming, reg::Hamming},
    {&QuorvelInterface::radioButtonHann, reg::Hann},
    {&QuorvelInterface::radioButtonBlackman, reg::Blackman},
};

const RadioChoice<reg::HorizontalCursors> cursorChannels[] = {
    {&QuorvelInterface::radioButtonCursorCH1, reg::Ch1Cursors},
    {&QuorvelInterface::radioButtonCursorCH2, reg::Ch2Cursors},
    {&QuorvelInterface::radioButtonCursorNone, reg::NoHorizontalCursors},
};

const RadioChoice<generator::Waveform> waveforms[] = {
    {&QuorvelInterface::radioButtonNoise, generator::Noise},
    {&QuorvelInterface::radioButtonSine, generator::Sine},
    {&QuorvelInterface::radioButtonSquare, generator::Square},
    {&QuorvelInterface::radioButtonTriangle, generator::Triangle},
    {&QuorvelInterface::radioButtonExpo, generator::Expo},
    {&QuorvelInterface::radioButtonCustom, generator::Custom},
};

const RadioChoice<generator::Range> frequencyRanges[] = {
    {&QuorvelInterface::radioButton10, generator::Range10},
    {&QuorvelInterface::radioButton100, generator::Range100},
    {&QuorvelInterface::radioButton1K, generator::Range1K},
    {&QuorvelInterface::radioButton10K, generator::Range10K},
    {&QuorvelInterface::radioButton100K, generator::Range100K},
};

// Math of a channel: subtract (true) or multiply.
const RadioChoice<bool> ch1MathModes[] = {
    {&QuorvelInterface::radioButtonCH1Sub, true},
    {&QuorvelInterface::radioButtonCH1Multiply, false},
};
const RadioChoice<bool> ch2MathModes[] = {
    {&QuorvelInterface::radioButtonCH2Sub, true},
    {&QuorvelInterface::radioButtonCH2Multiply, false},
};

// Sniffer capture: single (true) or normal.
const RadioChoice<bool> snifferModes[] = {
    {&QuorvelInterface::radioButtonSniffNormal, false},
    {&QuorvelInterface::radioButtonSniffSingle, true},
};

// Frequency counter: pulses (true) or frequency.
const RadioChoice<bool> countTypes[] = {
    {&QuorvelInterface::radioFreq, false},
    {&QuorvelInterface::radioPulse, true},
};

// The logic lines' check boxes, each with its line (a non-exclusive group).
const RadioChoice<int, QCheckBox> logicLines[] = {
    {&QuorvelInterface::checkBoxCHD0, 0}, {&QuorvelInterface::checkBoxCHD1, 1},
    {&QuorvelInterface::checkBoxCHD2, 2}, {&QuorvelInterface::checkBoxCHD3, 3},
    {&QuorvelInterface::checkBoxCHD4, 4}, {&QuorvelInterface::checkBoxCHD5, 5},
    {&QuorvelInterface::checkBoxCHD6, 6}, {&QuorvelInterface::checkBoxCHD7, 7},
};

// Check boxes that each set one bit of a register: one group per register,
// whose every click rebuilds the register (ids are the boxes' places).
const RadioChoice<int, QCheckBox> logicOptionBoxes[] = {
    {&QuorvelInterface::checkBoxCHDTrace, 0},
    {&QuorvelInterface::checkBoxCHDThick0, 1},
    {&QuorvelInterface::checkBoxCHDInvert, 2},
    {&QuorvelInterface::checkBoxASCII, 3},
};
const RadioChoice<int, QCheckBox> displayBoxes[] = {
    {&QuorvelInterface::elasticMode, 0},   {&QuorvelInterface::checkBoxInvert, 1},
    {&QuorvelInterface::checkBoxFlip, 2},  {&QuorvelInterface::checkBoxPersistence, 3},
    {&QuorvelInterface::checkBoxShowSettings, 4},
};
const RadioChoice<int, QCheckBox> spectrumBoxes[] = {
    {&QuorvelInterface::checkBoxLogY, 0},
    {&QuorvelInterface::checkBoxIQFFT, 1},
    {&QuorvelInterface::xyMode, 2},
    {&QuorvelInterface::checkBoxFFTTrace, 3},
};
const RadioChoice<int, QCheckBox> sweepBoxes[] = {
    {&QuorvelInterface::checkBoxAccelDirection, 0}, {&QuorvelInterface::checkBoxAccelerate, 1},
    {&QuorvelInterface::checkBoxDirection, 2},      {&QuorvelInterface::checkBoxPingPong, 3},
    {&QuorvelInterface::checkBoxSweepFrequency, 4}, {&QuorvelInterface::checkBoxSweepAmplitude, 5},
    {&QuorvelInterface::checkBoxSweepOffset, 6},    {&QuorvelInterface::checkBoxSweepDutyCycle, 7},
};

// The wire the connect button opens.
const RadioChoice<InstrumentLink::Wire> wires[] = {
    {&QuorvelInterface::radioButton, InstrumentLink::Wire::Serial},
    {&QuorvelInterface::radioButton_2, InstrumentLink::Wire::Usb},
};

// The table's buttons in one group (a child of `parent`), each with its value
// as the id that idClicked() gives; exclusive for radio buttons.
template <typename Value, typename Button, size_t N>
QButtonGroup *group(QObject *parent, const Ui::QuorvelInterface &ui, const RadioChoice<Value, Button> (&table)[N])
{
    auto *buttons = new QButtonGroup(parent);
    buttons->setExclusive(std::is_same<Button, QRadioButton>::value);
    for (const RadioChoice<Value, Button> &c : table)
        buttons->addButton(ui.*c.button, int(c.value));
    return buttons;
}

// The frequency counter's source buttons: logic lines 0 to 7 and EXT
// (register 24's trigger sources).
const RadioChoice<int> counterSources[] = {
    {&QuorvelInterface::fcR0, trigger::FirstLogicSource + 0}, {&QuorvelInterface::fcR1, trigger::FirstLogicSource + 1},
    {&QuorvelInterface::fcR2, trigger::FirstLogicSource + 2}, {&QuorvelInterface::fcR3, trigger::FirstLogicSource + 3},
    {&QuorvelInterface::fcR4, trigger::FirstLogicSource + 4}, {&QuorvelInterface::fcR5, trigger::FirstLogicSource + 5},
    {&QuorvelInterface::fcR6, trigger::FirstLogicSource + 6}, {&QuorvelInterface::fcR7, trigger::FirstLogicSource + 7},
    {&QuorvelInterface::fcR10, trigger::SourceExt},
};

} // namespace choices
