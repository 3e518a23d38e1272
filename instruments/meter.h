#pragma once

#include <QString>
#include <QtGlobal>

// The meter and frequency counter: mode values, the 4-byte meter reply and the
// texts of the read-outs.
namespace meter {

// Sub-pages of the meter page, in tab order.
enum SubPage { Vpp = 0, Vdc = 1, Counter = 2 };

constexpr int ReplyLength = 4;
constexpr int VppIntervalMs = 250;
constexpr int FrequencyIntervalMs = 1000;
constexpr int PulseIntervalMs = 100;

// Register 11 value for a sub-page: 0x41 peak-to-peak, 0x81 mean, 0x01
// frequency, 0xC1 pulse count.
quint8 modeValue(int subPage, bool pulse);

// Poll interval of the meter timer on a sub-page; 0 where frames drive the
// read-out (the VDC page).
int pollInterval(int subPage, bool pulse);

// One voltage reading of the reply: lo, hi the two bytes of a channel.
// A high byte of 100 or more marks a negative reading (two's complement).
struct Volts
{
    bool negative = false;
    int counts = 0;   // magnitude, 1.25 mV each
    double volts = 0; // magnitude in whole millivolts
};
Volts decodeVolts(quint8 lo, quint8 hi);

// "  12.50V", "- 0.320V": sign, four digits, unit.
QString voltsText(const Volts &reading);

// The VDC read-out of a mean voltage, in the form of voltsText; a reading
// that shows as zero carries no minus sign.
QString dcVoltsText(double volts);

// The counter read-out for a reply's signed 32-bit count: thousands with three
// decimals, five integer digits at least, unit "kHz" or "k" for pulses.
QString counterText(const unsigned char reply[ReplyLength], bool pulse);
QString counterText(qint32 count, bool pulse);
// The counter read-out before any reading.
QString clearedCounterText(bool pulse);
QString clearedVoltsText();

// Counter sources are register 24's trigger sources (trigger::TriggerSource):
// the logic lines and EXT. Which source radio shows a register 24 value: the logic bit 0..7, or -1 for
// EXT (also for the channel sources 0 and 1 and any other value).
int sourceBit(int source);

} // namespace meter
