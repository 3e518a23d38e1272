#include "cli/capturefile.h"

#include "display/scales.h"
#include "files/outputfile.h"
#include "files/srsession.h"

#include <QFile>

#include <QDateTime>

#include <algorithm>

namespace cli {

namespace {

frame::TraceInputs inputsOf(const FrameScales &s, int plotColumns, int scrollValue)
{
    frame::TraceInputs in;
    in.plotColumns = plotColumns;
    in.samplingValue = s.timeBase;
    in.rollMode = s.roll;
    in.scrollValue = scrollValue;
    in.ch1Position = s.ch1Position;
    in.ch2Position = s.ch2Position;
    in.chdPosition = s.chdPosition;
    in.chdSize = 0;
    return in;
}

// A file written frame by frame, each frame in one write.
class TextFile : public CaptureFile
{
public:
    bool open(const QString &path, const FrameScales &s, QString *error) override
    {
        scales = s;
        if (!out.open(path)) {
            *error = out.errorString();
            return false;
        }
        return true;
    }
    bool finish() override { return out.finish(); }
    void discard() override { out.discard(); }
    QString errorString() const override { return out.errorString(); }
    bool readerGone() const override { return out.readerGone(); }

protected:
    OutputFile out;
    FrameScales scales;
    QByteArray text; // reused
};

class CsvFile : public TextFile
{
public:
    bool append(const unsigned char *frameData, double seconds) override
    {
        text.clear();
        if (frames == 0)
            text = dataexport::csvHeader("frame,frame_time_s");
        prefix = QByteArray::number(frames + 1) + ',' + QByteArray::number(std::max(0.0, seconds), 'f', 6) + ',';
        dataexport::appendCsvRows(text, wholeRecordExport(frameData, scales), prefix);
        if (!out.write(text))
            return false;
        ++frames;
        return true;
    }

private:
    QByteArray prefix;
};

class VcdFile : public TextFile
{
public:
    bool append(const unsigned char *frameData, double seconds) override
    {
        const dataexport::Frame f = wholeRecordExport(frameData, scales);
        text.clear();
        if (frames == 0)
            text = sequence.header(f, QDateTime::currentDateTime(), QStringLiteral("quorvel-cli " QUORVEL_VERSION));
        text += sequence.frame(f, seconds);
        if (!out.write(text))
            return false;
        ++frames;
        return true;
    }

private:
    dataexport::VcdSequence sequence;
};

class SrFile : public CaptureFile
{
public:
    bool open(const QString &path, const FrameScales &s, QString *error) override
    {
        scales = s;
        if (!writer.open(path)) {
            *error = writer.errorString();
            return false;
        }
        return true;
    }
    bool append(const unsigned char *frameData, double seconds) override
    {
        if (!writer.append(wholeRecordExport(frameData, scales), seconds))
            return false;
        ++frames;
        return true;
    }
    bool finish() override { return writer.finish(); }
    void discard() override { writer.finish(); } // a session without frames leaves no file
    QString errorString() const override { return writer.errorString(); }

private:
    srsession::Writer writer;
    FrameScales scales;
};

class OmxFile : public CaptureFile
{
public:
    bool open(const QString &path, const FrameScales &s, QString *error) override
    {
        scales = s;
        name = path;
        if (!writer.open(path)) {
            *error = writer.errorString();
            return false;
        }
        return true;
    }
    bool append(const unsigned char *frameData, double) override
    {
        frame::buildTraces(frameData, inputsOf(scales, 256, scales.scrollValue), traces);
        wavefile::WaveView view;
        view.records[0] = &traces.ch1;
        view.records[1] = &traces.ch2;
        for (int n = 0; n < frame::LogicLines; ++n)
            view.records[2 + n] = &traces.logic[n];
        if (!writer.append(scales.timeBase, view))
            return false;
        ++frames;
        return true;
    }
    bool finish() override { return writer.finish(); }
    void discard() override
    {
        writer.finish();
        QFile::remove(name);
    }
    QString errorString() const override { return writer.errorString(); }

private:
    recording::Writer writer;
    FrameScales scales;
    frame::Traces traces;
    QString name;
};

} // namespace

FrameScales FrameScales::of(const reg::DeviceSettings &block)
{
    FrameScales s;
    s.timeBase = std::min<int>(block[reg::SamplingRate], reg::SamplingRateMax);
    s.roll = reg::decodeCursors(block[reg::Cursors]).roll;
    s.ch1Gain = block[reg::Gain1];
    s.ch2Gain = block[reg::Gain2];
    s.ch1Position = std::clamp(reg::decodeChannelPosition(block[reg::Ch1Position]), -128, 127);
    s.ch2Position = std::clamp(reg::decodeChannelPosition(block[reg::Ch2Position]), -128, 127);
    s.chdPosition = std::clamp(reg::decodeLogicPosition(block[reg::LogicPosition]), 0, reg::LogicPositionMax);
    s.scrollValue = block[reg::HPos] <= reg::HPosMax ? block[reg::HPos] : 0;
    return s;
}

frame::Traces wholeRecordTraces(const unsigned char *frameData, const FrameScales &s)
{
    // At the fast time bases two columns per sample: twice the plot's columns
    // from sample 0 hold the whole record.
    const bool halfRecord = !reg::isSlowTimeBase(s.timeBase);
    return frame::buildTraces(frameData, inputsOf(s, halfRecord ? 512 : 256, 0));
}

dataexport::Frame wholeRecordExport(const unsigned char *frameData, const FrameScales &s)
{
    dataexport::TraceExport in;
    in.samplingValue = s.timeBase;
    in.chdPosition = s.chdPosition;
    in.ch1Position = s.ch1Position;
    in.ch2Position = s.ch2Position;
    in.plotColumns = 256; // the time of a column: eight divisions over 256 columns
    in.timeBaseText = scales::timeBaseText(scales::timeBaseTexts(), s.timeBase);
    in.ch1GainText = scales::gainText(scales::gainTexts(), s.ch1Gain);
    in.ch2GainText = scales::gainText(scales::gainTexts(), s.ch2Gain);
    return dataexport::exportOf(wholeRecordTraces(frameData, s), in);
}

frame::Traces windowTraces(const unsigned char *frameData, const FrameScales &s)
{
    return frame::buildTraces(frameData, inputsOf(s, 256, s.scrollValue));
}

std::unique_ptr<CaptureFile> CaptureFile::create(Format format)
{
    switch (format) {
    case Format::Csv:
        return std::make_unique<CsvFile>();
    case Format::Vcd:
        return std::make_unique<VcdFile>();
    case Format::Sr:
        return std::make_unique<SrFile>();
    case Format::Omx:
        break;
    }
    return std::make_unique<OmxFile>();
}

} // namespace cli
