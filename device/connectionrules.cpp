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

} // namespace connection
