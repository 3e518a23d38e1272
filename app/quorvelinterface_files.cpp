// Wave files, recording and playback, screenshots and the log: the window's
// side. The formats themselves are in files/.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "display/scales.h"
#include "files/fileaccess.h"
#include "files/srsession.h"
#include "settings/registers.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>

namespace {
const char WaveFilter[] = "Ombrix files (*.omx)";
const char RecordIcon[] = ":/Bitmaps/Bitmaps/ico-record.png";
const char RecordActiveIcon[] = ":/Bitmaps/Bitmaps/ico-record-active.png";
// Far above any wave (ten records of 256 values) or recording of hours; a file
// beyond these is not read into memory.
constexpr qint64 MaxWaveFileBytes = 16 * 1024 * 1024;
constexpr qint64 MaxRecordingBytes = qint64(1) << 30;

// "hhmmss" of the local time, as the generated file names carry it.
QString timeStamp()
{
    return QTime::currentTime().toString("hh:mm:ss").remove(':');
}

// Reads a whole file of at most maxBytes; an error text when it cannot.
QString readWhole(const QString &path, qint64 maxBytes, QByteArray &text)
{
    QFile file;
    const QString name = QFileInfo(path).fileName();
    switch (fileaccess::openForReading(file, path)) {
    case fileaccess::OpenResult::Opened:
        break;
    case fileaccess::OpenResult::NotRegular:
        return QuorvelInterface::tr("File %1 is not a regular file.").arg(name);
    case fileaccess::OpenResult::Failed:
        return QuorvelInterface::tr("File %1 could not be read.").arg(name);
    }
    switch (recording::readAtMost(file, maxBytes, text)) {
    case recording::ReadResult::Read:
        break;
    case recording::ReadResult::TooLarge:
        return QuorvelInterface::tr("File %1 is too large.").arg(name);
    case recording::ReadResult::Failed:
        return QuorvelInterface::tr("File %1 could not be read.").arg(name);
    }
    return QString();
}

// Writes a whole file under a temporary name and gives it its name only when
// every byte is on disk: a failed write leaves no file of that name.
bool writeWhole(const QString &path, const QByteArray &text)
{
    QSaveFile file(path);
    // Unbuffered, so a failed write is seen by the write itself: a buffered
    // one that fails when flushed at commit is still given the name.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
} // namespace

void QuorvelInterface::logToFile(const QString &text)
{
    if (!logFile->isOpen() || !logStream)
        return;
    *logStream << text << '\n';
    logStream->flush();
}

void QuorvelInterface::writeLogBatch(const QByteArray &batch)
{
    if (!logFile->isOpen() || !logStream)
        return;
    *logStream << QLatin1String(batch);
    logStream->flush();
}

wavefile::WaveView QuorvelInterface::waveBuffer() const
{
    wavefile::WaveView view;
    view.records[0] = &waveCh1;
    view.records[1] = &waveCh2;
    for (int n = 0; n < logicLines; ++n)
        view.records[2 + n] = &waveLogic[n];
    return view;
}

wavefile::WaveView QuorvelInterface::tracesView(const frame::Traces &values)
{
    wavefile::WaveView view;
    view.records[0] = &values.ch1;
    view.records[1] = &values.ch2;
    for (int n = 0; n < logicLines; ++n)
        view.records[2 + n] = &values.logic[n];
    return view;
}

void QuorvelInterface::clearWaveBuffer()
{
    waveCh1.clear();
    waveCh2.clear();
    for (QVector<double> &line : waveLogic)
        line.clear();
}

bool QuorvelInterface::chooseDestinationFolder()
{
    if (destinationFolder.isEmpty())
        destinationFolder = QFileDialog::getExistingDirectory(this, "Choose Destination Folder", defaultDir,
                                                              QFileDialog::ShowDirsOnly);
    if (destinationFolder.isEmpty())
        return false;
    defaultDir = destinationFolder;
    return true;
}

// --- Wave files ---

void QuorvelInterface::on_saveWave_clicked()
{
    saveWaveRequested = true;
}

void QuorvelInterface::saveWavetoFile()
{
    const QString name = "waveFile" + timeStamp() + ".omx";
    if (!chooseDestinationFolder())
        return; // the buffer keeps the frame
    const bool written =
        writeWhole(destinationFolder + QDir::separator() + name, wavefile::waveText(waveBuffer()));
    clearWaveBuffer();
    ui->notifLabel->setText(written ? tr("File ") + name + tr(" created!")
                                    : tr("File %1 could not be written.").arg(name));
}

QString QuorvelInterface::saveWavetoString()
{
    const QByteArray text = wavefile::frameText(waveBuffer());
    clearWaveBuffer();
    return QString::fromLatin1(text);
}

void QuorvelInterface::on_loadWave_clicked()
{
    on_clearWaveButton_clicked();
    const QString path = QFileDialog::getOpenFileName(this, "Open File", defaultDir, WaveFilter);
    if (path.isEmpty())
        return;
    QByteArray text;
    const QString failure = readWhole(path, MaxWaveFileBytes, text);
    if (!failure.isEmpty()) {
        ui->notifLabel->setText(failure);
        return;
    }
    wavefile::WaveLoad load = wavefile::loadWave(text);
    if (load.numbers == 0) {
        ui->notifLabel->setText(tr("File %1 is not a wave file.").arg(QFileInfo(path).fileName()));
        return;
    }
    const wavefile::OutOfRange beyond = wavefile::firstOutOfRange(load.wave);
    if (beyond.record >= 0) {
        ui->notifLabel->setText(tr("File %1 is not loaded: %2 value %3 is %4, beyond the plot.")
                                    .arg(QFileInfo(path).fileName(), QLatin1String(wavefile::recordLabel(beyond.record)))
                                    .arg(beyond.index + 1)
                                    .arg(beyond.value, 0, 'g', 6));
        return;
    }
    waveCh1 = std::move(load.wave.records[0]);
    waveCh2 = std::move(load.wave.records[1]);
    for (int n = 0; n < logicLines; ++n)
        waveLogic[n] = std::move(load.wave.records[2 + n]);
    waveLoaded = true;
}

void QuorvelInterface::on_clearWaveButton_clicked()
{
    waveLoaded = false;
    clearWaveBuffer();
}

// --- Recording and playback ---

void QuorvelInterface::on_pushButton_4_clicked()
{
    if (recordingActive)
        stopRecording(true);
    else
        startRecording();
}

void QuorvelInterface::startRecording()
{
    // No folder: the recording lands in the working folder.
    const QString name = "record" + QDateTime::currentDateTime().toString("yyyy-MM-ddhh-mm-ss") + ".omx";
    if (!recorder.open(name)) {
        ui->pushButton_4->setText(tr("Record"));
        ui->pushButton_4->setIcon(QIcon(RecordIcon));
        ui->label_13->setText(tr("File %1 could not be created.").arg(name));
        return;
    }
    ui->pushButton_4->setText(tr("Stop"));
    ui->pushButton_4->setIcon(QIcon(RecordActiveIcon));
    ui->label_13->setText(tr("Recording wave."));
    recordingActive = true;
}

void QuorvelInterface::stopRecording(bool announce)
{
    const QString name = recorder.fileName();
    const bool written = recorder.finish();
    recordingActive = false;
    ui->pushButton_4->setText(tr("Record"));
    ui->pushButton_4->setIcon(QIcon(RecordIcon));
    ui->label_13->setText(written ? QString() : tr("File %1 could not be written.").arg(name));
    if (!announce || !written)
        return;
    QMessageBox box(QMessageBox::Information, "Success", tr("File ") + name + tr(" saved."));
    box.setWindowIcon(QIcon(":/Bitmaps/Bitmaps/hv.ico"));
    box.exec();
}

void QuorvelInterface::on_playButton_clicked()
{
    ui->label_13->setText(tr("Reading data from file. Please wait"));
    const QString path =
        QFileDialog::getOpenFileName(nullptr, "Choose file with recorded wave", QString(), WaveFilter);
    activateWindow();
    if (path.isEmpty()) {
        ui->label_13->setText(QString());
        return;
    }
    playback = recording::Recording();
    playbackEntry = 0;
    QByteArray text;
    const QString failure = readWhole(path, MaxRecordingBytes, text);
    if (!failure.isEmpty()) {
        ui->label_13->setText(failure);
        return;
    }
    savedTimeBase = ui->samplingSlider->value();
    recording::Recording loaded = recording::Recording::read(text);
    text.clear();
    if (loaded.isEmpty() || !loaded.holdsNumbers()) {
        ui->label_13->setText(tr("File %1 is not a recording.").arg(QFileInfo(path).fileName()));
        return;
    }
    playback = std::move(loaded);
    ui->label_13->setText(tr("Load recorded wave"));
    playing = true;
}

void QuorvelInterface::playbackStep(frame::Traces &values)
{
    if (playbackEntry >= playback.size()) {
        playing = false;
        playback = recording::Recording();
        playbackEntry = 0;
        ui->samplingSlider->setValue(savedTimeBase);
        ui->label_13->setText(QString());
        return;
    }
    const int timeBase = recording::playableTimeBase(playback.timeBase(playbackEntry));
    session.setTimeBase(timeBase);
    ui->samplingSlider->setValue(timeBase);
    playback.frame(playbackEntry++, playedFrame);
    values.ch1 = playedFrame.records[0];
    values.ch2 = playedFrame.records[1];
    for (int n = 0; n < logicLines; ++n)
        values.logic[n] = playedFrame.records[2 + n];
}

// --- The frame pass ---

void QuorvelInterface::replaceWithFileTraces(frame::Traces &values)
{
    if (waveLoaded) {
        // The values the plot's columns show, copied into the frame's own
        // storage: a loaded record of millions of values costs a pass what a
        // frame costs, and the buffer keeps the file's values for saving.
        const int columns = values.keys.size();
        auto shown = [columns](const QVector<double> &loaded, QVector<double> &out) {
            const int n = std::min(columns, loaded.size());
            out.resize(n);
            std::copy(loaded.constBegin(), loaded.constBegin() + n, out.begin());
        };
        shown(waveCh1, values.ch1);
        shown(waveCh2, values.ch2);
        for (int n = 0; n < logicLines; ++n)
            shown(waveLogic[n], values.logic[n]);
    }
    if (playing)
        playbackStep(values); // after the loaded wave: playback wins
}

void QuorvelInterface::feedFileOutputs(const frame::Traces &values, int frameCounter)
{
    if (saveWaveRequested) {
        saveWaveRequested = false;
        if (!waveLoaded) { // a loaded wave is saved as it was read, not as far as drawn
            waveCh1 = values.ch1;
            waveCh2 = values.ch2;
            for (int n = 0; n < logicLines; ++n)
                waveLogic[n] = values.logic[n];
        }
        saveWavetoFile();
    }

    if (exportRequested) {
        exportRequested = false;
        exportFrame(values);
    }

    // A frame drawn again with the same counter is neither recorded nor logged
    // twice. Both take the values as drawn, without passing them through the
    // wave buffer, so that a loaded wave stays on screen.
    if (frameCounter == lastFrameCounter)
        return;
    lastFrameCounter = frameCounter;
    if (recordingActive && !recorder.append(session.state().timeBase, tracesView(values))) {
        stopRecording(false);
        ui->label_13->setText(
            tr("Recording stopped: file %1 could not be written.").arg(recorder.fileName()));
    }
    if (slowTimeBase && frameLog.add(wavefile::frameText(tracesView(values))))
        writeLogBatch(frameLog.takeBatch());
}

void QuorvelInterface::finishFileOutputs()
{
    if (recordingActive)
        stopRecording(false);
    writeLogBatch(frameLog.takeBatch());
}

// --- Screenshot ---

void QuorvelInterface::on_screenShotButton_clicked()
{
    const QPixmap image = ui->widget->grab(QRect(0, 0, ui->widget->width(), ui->widget->height() - 20));
    const QString name = "sshot" + timeStamp() + ".png";
    if (!chooseDestinationFolder())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    const bool written = buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") &&
                         writeWhole(destinationFolder + QDir::separator() + name, png);
    ui->notifLabel->setText(written ? tr("File ") + name + tr(" created!")
                                    : tr("File %1 could not be written.").arg(name));
}

// --- Export ---

void QuorvelInterface::showFilesCreated(const QString &message)
{
    // The folder on a line of its own, in full unless the line would grow
    // the panel: then elided in the middle, and whole in the tooltip.
    const QString folder = QDir::toNativeSeparators(destinationFolder);
    const QFontMetrics metrics(ui->notifLabel->font());
    // The line spans the Options page's file group: the panel's width less
    // its margins, also while the page has not been laid out.
    const int line = qMax(ui->notifLabel->width(), ui->mainTabWidget->maximumWidth() - 50);
    const QString lastLine = message.section('\n', -1);
    const int room = line - metrics.horizontalAdvance(lastLine.arg(QString()));
    ui->notifLabel->setText(message.arg(metrics.elidedText(folder, Qt::ElideMiddle, qMax(room, 40))));
    ui->notifLabel->setToolTip(folder);
}

void QuorvelInterface::on_exportButton_clicked()
{
    // The folder is asked here rather than in the frame pass that exports:
    // the dialog's event loop would let later frames be decoded into the
    // traces the pass is writing.
    if (!chooseDestinationFolder())
        return;
    exportRequested = true;
}

void QuorvelInterface::exportFrame(const frame::Traces &values)
{
    const QString stamp = timeStamp();
    if (!chooseDestinationFolder())
        return;
    dataexport::TraceExport in;
    in.ch1On = ui->checkBoxCH1Trace->isChecked();
    in.ch2On = ui->checkBoxCH2Trace->isChecked();
    in.logicOn = ui->checkBoxCHDTrace->isChecked();
    std::copy(chdBitEnabled, chdBitEnabled + logicLines, in.lineOn);
    in.samplingValue = ui->samplingSlider->value();
    in.chdPosition = ui->chdPositionSlider->value();
    in.chdSize = ui->chdSizeSlider->value();
    in.ch1Position = ui->ch1PositionSlider->value();
    in.ch2Position = ui->ch2PositionSlider->value();
    in.plotColumns = plotColumns;
    in.timeBaseText = scales::timeBaseText(timeBaseTexts, in.samplingValue);
    in.ch1GainText = scales::gainText(gainTexts, ui->ch1GainSlider->value());
    in.ch2GainText = scales::gainText(gainTexts, ui->ch2GainSlider->value());
    const dataexport::Frame out = dataexport::exportOf(values, in);

    const QString csvName = "export" + stamp + ".csv", vcdName = "export" + stamp + ".vcd";
    const QString srName = "export" + stamp + ".sr";
    auto write = [this](const QString &name, const QByteArray &text) {
        return writeWhole(destinationFolder + QDir::separator() + name, text);
    };
    const bool csvWritten = write(csvName, dataexport::csv(out));
    const bool vcdWritten = write(vcdName, dataexport::vcd(out, QDateTime::currentDateTime(),
                                                           QStringLiteral("Quorvel " QUORVEL_VERSION)));
    // The session file (sigrok-cli, PulseView) carries the channels that are on.
    srsession::Writer session;
    const bool srWritten = session.open(destinationFolder + QDir::separator() + srName) && session.append(out) &&
                           session.finish();
    if (csvWritten && vcdWritten && srWritten)
        showFilesCreated(tr("Files %1, .vcd and .sr created\nin %2").arg(csvName));
    else
        ui->notifLabel->setText(
            tr("File %1 could not be written.").arg(!csvWritten ? csvName : !vcdWritten ? vcdName : srName));
}
