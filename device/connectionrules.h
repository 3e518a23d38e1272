#pragma once
// Widget-free rules of connecting: which serial ports are offered, how a port
// list entry names its port, how firmware versions compare, and the texts a
// user sees about the link.

#include <QString>

namespace connection {

// Texts for the window's info line (translated where they are shown).
constexpr const char *PortUnreachable = "Port is busy or unreachable.";
constexpr const char *CannotOpenDevice = "Cannot open device";
constexpr const char *DeviceDisconnected = "Device disconnected";
constexpr const char *DeviceNotResponding = "Device not responding";
constexpr const char *RepliesGarbled = "Device replies garbled";
constexpr const char *FirmwareUnreadable = "Could not read the firmware version";
constexpr const char *SettingsUnreadable = "Could not read the instrument's settings";
constexpr const char *NoData = "No data from the instrument";

// Serial ports offered to the user: Bluetooth serial ports, named
// "bluetooth..." on some systems and "rfcomm..." on Linux, in any letter case.
bool isOfferedPort(const QString &portName);

// A port list entry reads "name: description".
QString portListEntry(const QString &portName, const QString &description);
// The port an entry names: the text before the first ": ", or the whole text.
QString portNameOfEntry(const QString &entry);

// The text for a link given up while connected: an instrument that no longer
// answers is not responding on either wire, one whose serial replies came
// garbled says so; otherwise a USB instrument was unplugged and a serial port
// went away.
const char *linkLostText(bool usb, bool notResponding, bool garbled = false);

// True when the instrument's firmware is older than `latest`. Both are
// compared as numbers (2.4 is newer than 2.37); a text that is no number
// counts as 0.
bool firmwareOlderThan(const QString &current, const QString &latest);

// A firmware version reply as the instrument sends it: a digit, a dot and at
// least one digit, padded to its length with blanks (or zero bytes): "2.37",
// "2.4 ". Any other bytes are no version (a reply cut or shifted on the line,
// or stray bytes), and are not shown as one.
bool isVersionReply(const char *bytes, int length);

} // namespace connection
