#include "settings/registerwriter.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcWriter, "settings.writer")

namespace reg {

void RegisterWriter::send(quint16 index, quint8 value)
{
    qCDebug(lcWriter) << "register" << index << "=" << value;
    ++sent;
    if (port)
        port->writeRegister(index, value);
    if (sentHook)
        sentHook(index, value);
}

void RegisterWriter::write(quint16 index, quint8 value)
{
    if (applying && index < WritableCount) {
        heldBack[index] = value;
        return;
    }
    send(index, value);
}

void RegisterWriter::requestFrequency(quint32 hundredths, quint16 value, quint16 index)
{
    if (applying && hundredths == block.desiredFrequency())
        return;
    if (applying)
        wroteBack.append(DesiredFrequency);
    qCDebug(lcWriter) << "frequency" << hundredths / 100.0 << "Hz";
    ++sent;
    if (port)
        port->requestGeneratorFrequency(value, index);
}

bool RegisterWriter::beginApplying(const DeviceSettings &read)
{
    if (applying)
        return false;
    block = read;
    wroteBack.clear();
    std::fill(std::begin(heldBack), std::end(heldBack), -1);
    applying = true;
    return true;
}

void RegisterWriter::endApplying()
{
    if (!applying)
        return;
    applying = false;
    for (int i = 0; i < WritableCount; ++i) {
        const int value = heldBack[i];
        heldBack[i] = -1;
        if (value >= 0 && value != block[i]) {
            wroteBack.append(quint16(i));
            send(quint16(i), quint8(value));
        }
    }
    std::sort(wroteBack.begin(), wroteBack.end());
}

QString writtenBackText(const QVector<quint16> &indices)
{
    if (indices.isEmpty())
        return QString();
    QStringList names;
    for (quint16 i : indices) {
        QString name = label(i).trimmed();
        if (name.endsWith(QLatin1Char(':')))
            name.chop(1);
        names << name;
    }
    return QStringLiteral("Shown clamped and written back: %1").arg(names.join(QStringLiteral(", ")));
}

void RegisterWriter::keepInstrumentValue(quint16 index)
{
    if (index < WritableCount)
        heldBack[index] = -1;
}

} // namespace reg
