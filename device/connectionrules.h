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
constexpr const char *FirmwareUnreadable = "Could not read the firmware version";
constexpr const char *NoData = "No data from the instrument";

// Serial ports offered to the user: Bluetooth serial ports, named
// "bluetooth..." on some systems and "rfcomm..." on Linux, in any letter case.
bool isOfferedPort(const QString &portName);

// A port list entry reads "name: description".
QString portListEntry(const QString &portName, const QString &description);
// The port an entry names: the text before the first ": ", or the whole text.
QString portNameOfEntry(const QString &entry);

// True when the instrument's firmware is older than `latest`. Both are
// compared as numbers (2.4 is newer than 2.37); a text that is no number
// counts as 0.
bool firmwareOlderThan(const QString &current, const QString &latest);

} // namespace connection
