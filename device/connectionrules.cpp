#include "device/connectionrules.h"

namespace connection {

bool isOfferedPort(const QString &portName)
{
    const QString lower = portName.toLower();
    return lower.startsWith(QLatin1String("bluetooth")) || lower.startsWith(QLatin1String("rfcomm"));
}

QString portListEntry(const QString &portName, const QString &description)
{
    return portName + QLatin1String(": ") + description;
}

QString portNameOfEntry(const QString &entry)
{
    const int separator = entry.indexOf(QLatin1String(": "));
    return separator < 0 ? entry : entry.left(separator);
}

bool firmwareOlderThan(const QString &current, const QString &latest)
{
    return latest.toDouble() > current.toDouble();
}

bool isVersionReply(const char *bytes, int length)
{
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (!bytes || length < 3 || !isDigit(bytes[0]) || bytes[1] != '.' || !isDigit(bytes[2]))
        return false;
    int at = 3;
    while (at < length && isDigit(bytes[at]))
        ++at;
    while (at < length && (bytes[at] == ' ' || bytes[at] == '\0'))
        ++at;
    return at == length;
}

const char *linkLostText(bool usb, bool notResponding, bool garbled)
{
    if (garbled)
        return RepliesGarbled;
    if (notResponding)
        return DeviceNotResponding;
    return usb ? DeviceDisconnected : PortUnreachable;
}

} // namespace connection
