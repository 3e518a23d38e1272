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
        if (value >= 0 && value != block[i])
            send(quint16(i), quint8(value));
    }
}

void RegisterWriter::keepInstrumentValue(quint16 index)
{
    if (index < WritableCount)
        heldBack[index] = -1;
}

} // namespace reg
