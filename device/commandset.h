#pragma once
// The instrument's one-letter command set: over USB each letter is the request
// code of a vendor control request, over the serial link the same letter is
// the first byte of the command.

#include <cstdint>

namespace command {

constexpr uint8_t FirmwareVersion = 'a';
constexpr uint8_t WriteRegister = 'b';
constexpr uint8_t GeneratorFrequency = 'c';
constexpr uint8_t StoreSettings = 'd';
constexpr uint8_t StoreWave = 'e';
constexpr uint8_t Stop = 'f';
constexpr uint8_t Start = 'g';
constexpr uint8_t ForceTrigger = 'h';
constexpr uint8_t AutoSetup = 'i';
constexpr uint8_t TriggerPosition = 'j';
constexpr uint8_t FactorySettings = 'k';
constexpr uint8_t Meter = 'm';
constexpr uint8_t ReadSettings = 'u';
// Reads whose reply the program does not use; over the serial link they are
// sent with the stream off, like the settings read.
constexpr uint8_t ReadW = 'w';
constexpr uint8_t ReadX = 'x';
// Serial only: stream off and on.
constexpr char StreamOff = 'p';
constexpr char StreamOn = 'q';
// Serial only: custom wave upload, this letter followed by the 256 wave bytes
// (the USB form is a bulk OUT).
constexpr char WaveUpload = 'l';

// The settings read names the block by this index (wValue 0).
constexpr uint16_t SettingsBlockIndex = 14;

} // namespace command
