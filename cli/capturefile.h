#pragma once
// The files a capture writes, frame by frame: CSV and VCD through the
// export's writers (to a file or standard output), .omx through the recorder,
// .sr through the session writer. Each CSV, VCD or .omx frame goes to the
// operating system in one write as soon as it is taken (as the recorder
// does), so a killed program leaves whole frames but the one being written; a
// failed write leaves the frames before it. A session file is written whole
// when the capture ends.

#include "cli/options.h"
#include "display/traces.h"
#include "files/dataexport.h"
#include "files/recording.h"

#include <QFile>
#include <QString>

#include <memory>

namespace cli {

// How the frames of a capture read: the settings they were taken with.
struct FrameScales
{
    int timeBase = 10;
    bool roll = false;
    int ch1Gain = 3, ch2Gain = 3; // gain indices
    int ch1Position = 0, ch2Position = 0; // position sliders
    int chdPosition = 3;
    int scrollValue = 0; // the window's scroll bar (register 14): which half record it shows

    static FrameScales of(const reg::DeviceSettings &block);
};

// The traces of a whole frame: all 256 samples of each plane, as the window
// would draw them were its plot wide enough (at the fast time bases it shows
// 128 of them).
frame::Traces wholeRecordTraces(const unsigned char *frameData, const FrameScales &scales);
// The export of a whole frame, every channel and line in it.
dataexport::Frame wholeRecordExport(const unsigned char *frameData, const FrameScales &scales);
// The traces the window draws (and records) for a frame.
frame::Traces windowTraces(const unsigned char *frameData, const FrameScales &scales);

class CaptureFile
{
public:
    virtual ~CaptureFile() = default;
    static std::unique_ptr<CaptureFile> create(Format format);

    // Creates (or truncates) the file, "-" standard output; false with
    // `error` set when it cannot. Only a regular file (or a new one) is
    // written: a named pipe or device is refused, not waited on.
    virtual bool open(const QString &path, const FrameScales &scales, QString *error) = 0;
    // Writes one frame (frame::Size bytes) that arrived `seconds` after the
    // capture started; false when the write failed.
    virtual bool append(const unsigned char *frameData, double seconds) = 0;
    // Closes the file; true when everything was written.
    virtual bool finish() = 0;
    // Closes and removes the file open() made or truncated (nothing was captured).
    virtual void discard() = 0;
    // Why a write failed, in the system's words.
    virtual QString errorString() const = 0;
    // The reader of standard output went away: the capture ends, no fault.
    virtual bool readerGone() const { return false; }
    qint64 framesWritten() const { return frames; }

protected:
    qint64 frames = 0;
};

} // namespace cli
