#pragma once

#include "settings/registers.h"

#include <QVector>
#include <QtGlobal>

#include <cstddef>
#include <functional>
#include <type_traits>

namespace reg {

// One register write: what a marker drag or drop asks for.
struct RegisterWrite
{
    quint16 index = 0;
    quint8 value = 0;
    bool operator==(const RegisterWrite &o) const { return index == o.index && value == o.value; }
};

// What the register writer sends to: the instrument link, or anything that
// stands for the instrument. The instrument link is a port to the writer
// alone (a private base, with the writer its friend), so that no other code
// writes a register: it is handed to the writer as the link itself, and the
// writer takes its port from it.
class InstrumentPort
{
public:
    virtual ~InstrumentPort() = default;
    virtual void writeRegister(quint16 index, quint8 value) = 0;
    // The generator's desired frequency travels as a request's value and index.
    virtual void requestGeneratorFrequency(quint16 value, quint16 index) = 0;
};

// The single way a register reaches the instrument.
//
// Outside a settings read every write is sent at once. While a settings block
// that was read is being applied (shown in the controls, whose handlers write
// what they show), writes to registers 0 to 39 are held back; at the end only
// those that differ from the byte the instrument sent are written, so reading
// the settings never changes the instrument unless a control had to show a
// value other than the one read. A frequency request equal to the frequency
// the block holds is dropped while it is applied.
class RegisterWriter
{
public:
    RegisterWriter() = default;
    // `instrument` is an InstrumentPort: a public one, or the instrument link,
    // which is one only here.
    template <class Port, class = std::enable_if_t<std::is_base_of<InstrumentPort, Port>::value>>
    explicit RegisterWriter(Port *instrument) : port(instrument)
    {
    }

    template <class Port, class = std::enable_if_t<std::is_base_of<InstrumentPort, Port>::value>>
    void setPort(Port *instrument)
    {
        port = instrument;
    }
    void setPort(std::nullptr_t) { port = nullptr; }

    // Register `index` takes `value`: sent now, or held back while a block is applied.
    void write(quint16 index, quint8 value);
    void write(const RegisterWrite &w) { write(w.index, w.value); }
    // The generator's desired frequency, in hundredths of a hertz, with the
    // request's value and index that carry it.
    void requestFrequency(quint32 hundredths, quint16 value, quint16 index);

    // Starts applying a block that was read; false while one is being applied
    // already (a second read must not start inside the first).
    bool beginApplying(const DeviceSettings &block);
    // Ends applying: sends the held-back writes that differ from the block.
    void endApplying();
    bool isApplying() const { return applying; }
    // The controls now show the value the instrument holds for `index`,
    // whatever their handlers wrote meanwhile: nothing is sent for it.
    void keepInstrumentValue(quint16 index);

    // Called with every register write after it went to the port (the
    // session keeps the instrument's state with it).
    void setSentHook(std::function<void(quint16 index, quint8 value)> hook) { sentHook = std::move(hook); }

    // What the last apply wrote back (values the controls could not show and
    // showed clamped): register indices, and 40 for the desired frequency.
    const QVector<quint16> &writtenBack() const { return wroteBack; }

    // The block last read (all zero before the first read).
    const DeviceSettings &lastRead() const { return block; }
    // Writes and requests that reached the instrument port.
    quint64 sentCount() const { return sent; }

private:
    void send(quint16 index, quint8 value);

    InstrumentPort *port = nullptr;
    std::function<void(quint16, quint8)> sentHook;
    DeviceSettings block;
    bool applying = false;
    int heldBack[WritableCount] = {}; // -1: none
    QVector<quint16> wroteBack;
    quint64 sent = 0;
};

// The info line's text for what a settings read wrote back (empty for nothing).
QString writtenBackText(const QVector<quint16> &indices);

} // namespace reg
