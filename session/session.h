#pragma once

#include "device/instrumentlink.h"
#include "session/framepass.h"
#include "session/instrumentstate.h"
#include "settings/registerwriter.h"

#include <QObject>
#include <QString>

#include <functional>

// One connection to the instrument, as the window and the command-line
// program both use it: the link, the register writer every write goes
// through, and the instrument's state as the writes leave it.
namespace session {

// What opening the link and asking for the firmware version gave.
struct OpenResult
{
    enum Outcome {
        Opened,    // connected; the version may still be unreadable
        NotOpened, // the link did not open; the link's status message told why
        GaveUp,    // the serial link gave up while asking for the version (and shows why)
        Lost,      // the link broke while asking for the version
    };
    Outcome outcome = NotOpened;
    QString version; // empty when it could not be read
    bool versionRead() const { return !version.isEmpty(); }
    // The version was read and is older than `latest`.
    bool firmwareOlderThan(const QString &latest) const;
};

enum class ReadOutcome { Read, Unreadable, Lost };

class Session : public QObject
{
    Q_OBJECT

public:
    explicit Session(QObject *parent = nullptr);
    ~Session() override;

    InstrumentLink &link() { return instrument; }
    const InstrumentLink &link() const { return instrument; }
    // The single way a register reaches the instrument; what it sends keeps
    // the state current.
    reg::RegisterWriter &writer() { return registers; }
    // The instrument's settings as the last read and every write since left
    // them. In the meter mode the scope's values (spectrum, trigger source,
    // run status) stay those the meter mode found.
    const InstrumentState &state() const { return current; }
    // The block the last settings read gave.
    const reg::DeviceSettings &lastRead() const { return readBlock; }

    // ---- connect and disconnect
    // Opens the link over `wire` and reads the firmware version.
    OpenResult open(InstrumentLink::Wire wire, const QString &portName = QString());
    // Reads the settings block into the state; the link's sampling value
    // follows the time base read (clamped to the slowest). The instrument is
    // not written. settingsRead() tells the outcome.
    ReadOutcome readSettings();
    // After a read: writes what the state shows where it shows the block
    // clamped or in a control's own steps (InstrumentState::writeBack, and the
    // desired frequency); returns the registers written, DesiredFrequency for
    // the frequency.
    QVector<quint16> writeBackShown();
    // The instrument stores its settings and the link is released.
    void close();
    // The link is released without a word to the instrument.
    void release();

    // ---- writes
    void write(const Writes &writes);
    // A change of one setting: `setter` changes a copy of the state (one of
    // InstrumentState's setters) and the writes it returns are sent; the state
    // follows them.
    void change(const std::function<Writes(InstrumentState &)> &setter);
    // Register 0 and the link's sampling value (which chooses frame or roll
    // parsing over the serial link) in one call. Every write of register 0
    // through the writer carries the sampling value along, so this is the
    // same as writer().write(SamplingRate, value).
    void setTimeBase(int value);

    // ---- the meter mode
    // Enters the meter mode on `page` (meter::Vpp, Vdc or Counter): the
    // spectrum register's meter value, the mode, and on the counter page the
    // counter source (trigger source value; negative: left as it is).
    void enterMeterMode(int page, bool pulses, int counterSource = -1);
    // The meter mode for another page or count type.
    void setMeterMode(int page, bool pulses);
    // Leaves the meter mode: re-sends from the state the scope settings the
    // meter modes change (spectrum, trigger source, a forced trigger, both
    // gains, the time base) and turns the stream on.
    void leaveMeterMode();
    bool inMeterMode() const { return meter; }

    // ---- frames
    // Builds one frame's traces, average, decay history and spectrum from
    // the state and `view`; the window draws what it hands out.
    FrameData &takeFrame(const unsigned char *frameData, const ViewOptions &view, int plotColumns,
                         unsigned triggerMarks = 0)
    {
        return framePass.take(frameData, current, view, plotColumns, triggerMarks);
    }
    FramePass &frames() { return framePass; }
    const FramePass &frames() const { return framePass; }

signals:
    // A settings read ended: on Read the state holds the block.
    void settingsRead(session::ReadOutcome outcome);

private:
    // A register write reached the instrument: the state takes the byte.
    void sent(quint16 index, quint8 value);

    InstrumentLink instrument;
    reg::RegisterWriter registers{&instrument};
    reg::DeviceSettings readBlock;
    reg::DeviceSettings held; // registers as the scope's state has them
    InstrumentState current;
    FramePass framePass;
    bool meter = false;
};

} // namespace session
