#include "session/session.h"

#include "device/connectionrules.h"
#include "instruments/generator.h"
#include "instruments/meter.h"

#include <algorithm>

namespace session {

bool OpenResult::firmwareOlderThan(const QString &latest) const
{
    return versionRead() && connection::firmwareOlderThan(version, latest);
}

Session::Session(QObject *parent) : QObject(parent)
{
    registers.setSentHook([this](quint16 index, quint8 value) { sent(index, value); });
}

Session::~Session() = default;

OpenResult Session::open(InstrumentLink::Wire wire, const QString &portName)
{
    OpenResult r;
    if (!instrument.open(wire, portName))
        return r;
    r.version = instrument.firmwareVersion();
    if (r.version == QLatin1String("-1")) {
        r.version.clear();
        r.outcome = OpenResult::GaveUp;
    } else if (instrument.isLinkLost()) {
        r.outcome = OpenResult::Lost;
    } else {
        r.outcome = OpenResult::Opened;
    }
    return r;
}

ReadOutcome Session::readSettings()
{
    reg::DeviceSettings block;
    if (!instrument.readSettings(block)) {
        const ReadOutcome outcome = instrument.isLinkLost() ? ReadOutcome::Lost : ReadOutcome::Unreadable;
        emit settingsRead(outcome);
        return outcome;
    }
    readBlock = block;
    held = block;
    current = InstrumentState::fromBlock(block);
    meter = current.meterMode;
    instrument.setSamplingValue(current.timeBase);
    emit settingsRead(ReadOutcome::Read);
    return ReadOutcome::Read;
}

QVector<quint16> Session::writeBackShown()
{
    QVector<quint16> written;
    if (current.frequencyWrittenBack(readBlock)) {
        const generator::FrequencyRequest request = generator::frequencyRequest(current.desiredFrequencyHz);
        registers.requestFrequency(quint32(request.hundredths), request.value, request.index);
        written.append(reg::DesiredFrequency);
    }
    const Writes writes = current.writeBack(readBlock);
    for (const reg::RegisterWrite &w : writes) {
        registers.write(w);
        written.append(w.index);
    }
    std::sort(written.begin(), written.end());
    return written;
}

void Session::close()
{
    meter = false;
    instrument.close();
}

void Session::release()
{
    meter = false;
    instrument.release();
}

void Session::write(const Writes &writes)
{
    for (const reg::RegisterWrite &w : writes)
        registers.write(w);
}

void Session::change(const std::function<Writes(InstrumentState &)> &setter)
{
    InstrumentState next = current;
    write(setter(next));
}

void Session::setTimeBase(int value)
{
    registers.write(reg::SamplingRate, quint8(value));
}

void Session::enterMeterMode(int page, bool pulses, int counterSource)
{
    meter = true;
    registers.write(reg::Spectrum, reg::encodeMeterSpectrum(current.spectrum));
    setMeterMode(page, pulses);
    if (page == meter::Counter && counterSource >= 0)
        registers.write(reg::TriggerSource, quint8(counterSource));
}

void Session::setMeterMode(int page, bool pulses)
{
    registers.write(reg::MStatus, meter::modeValue(page, pulses));
}

void Session::leaveMeterMode()
{
    meter = false;
    current.meterMode = false;
    registers.write(reg::Spectrum, reg::encodeSpectrum(current.spectrum));
    registers.write(reg::TriggerSource, quint8(current.triggerSource));
    instrument.forceTrigger();
    registers.write(reg::Gain1, quint8(current.gain1));
    registers.write(reg::Gain2, quint8(current.gain2));
    setTimeBase(current.timeBase);
    instrument.streamOn();
}

void Session::sent(quint16 index, quint8 value)
{
    // In the meter mode the spectrum, run status and trigger source registers
    // hold the meter's values; the scope's stay as they were.
    const bool meterOwned =
        meter && (index == reg::Spectrum || index == reg::MStatus || index == reg::TriggerSource);
    if (index < reg::WritableCount && !meterOwned && held[index] != value) {
        held[index] = value;
        const double hertz = current.desiredFrequencyHz;
        current = InstrumentState::fromBlock(held);
        current.desiredFrequencyHz = hertz;
        current.meterMode = meter;
    }
    if (index == reg::SamplingRate && value <= reg::SamplingRateMax)
        instrument.setSamplingValue(value);
}

} // namespace session
