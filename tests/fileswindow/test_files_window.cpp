// Wave files, recording and playback, screenshots and the frame log, in the
// window against the simulated instrument.
#include "filesizelimit.h"
#include "quorveltest.h"
#include "windowfixture.h"

#include "files/recording.h"
#include "files/srsession.h"
#include "files/wavetext.h"
#include "settings/registers.h"
#include "vcdreader.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QTemporaryDir>

#include <csignal>
#include <sys/stat.h>
#include <cstdio>
#include <cstring>

namespace {

const char KilledChildFlag[] = "--record-until-killed";

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

// The recordings in a folder, newest name last.
QStringList recordingsIn(const QString &folder)
{
    return QDir(folder).entryList({"record*.omx"}, QDir::Files, QDir::Name);
}

// A wave whose every record holds `columns` copies of one value per record.
wavefile::Wave flatWave(int columns, double ch1)
{
    wavefile::Wave wave;
    for (int r = 0; r < wavefile::RecordCount; ++r)
        wave.records[r] = QVector<double>(columns, r == 0 ? ch1 : 100 + r);
    return wave;
}

QVector<double> valuesOf(QCPGraph *graph)
{
    QVector<double> values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values.append(it->value);
    return values;
}

// Entries of a recording that are whole: ten records of one length, each
// ending with the 0 read after its last comma.
int wholeEntries(const recording::Recording &rec, int *columns = nullptr)
{
    int whole = 0;
    wavefile::Wave frame;
    for (int e = 0; e < rec.size(); ++e) {
        rec.frame(e, frame);
        const int n = frame.records[0].size();
        bool ok = n > 1;
        for (const QVector<double> &r : frame.records)
            ok = ok && r.size() == n && r.last() == 0;
        if (!ok)
            break;
        if (columns)
            *columns = n - 1;
        ++whole;
    }
    return whole;
}

} // namespace

class TestFilesWindow : public QObject
{
    Q_OBJECT

    quorveltest::WindowFixture f;
    std::unique_ptr<QTemporaryDir> folder;
    QString answer;                 // what the next file dialog is answered with; empty: cancelled
    bool removeAfterAnswer = false; // the answered folder disappears right after the dialog
    QStringList dialogTitles;       // every file dialog, in order
    QStringList dialogFolders;      // the folder each one opened in
    QSet<QObject *> dialogsSeen;

    QLabel *notifLabel() { return f.child<QLabel>("notifLabel"); }
    QLabel *recordLabel() { return f.child<QLabel>("label_13"); }
    QPushButton *button(const char *name) { return f.child<QPushButton>(name); }

    void answerFileDialogs()
    {
        f.closer.custom = [this](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            if (!dialog)
                return false;
            if (dialogsSeen.contains(dialog)) {
                dialog->reject(); // the answer was refused: do not hang
                return true;
            }
            dialogsSeen.insert(dialog);
            // A later dialog may be made at the same address.
            QObject::connect(dialog, &QObject::destroyed, this, [this, dialog] { dialogsSeen.remove(dialog); });
            dialogTitles << dialog->windowTitle();
            dialogFolders << dialog->directory().absolutePath();
            if (answer.isEmpty()) {
                dialog->reject();
                return true;
            }
            // selectFile() leaves the name field alone while it has the focus.
            if (QWidget *focused = dialog->focusWidget())
                focused->clearFocus();
            if (dialog->fileMode() == QFileDialog::Directory)
                dialog->setDirectory(answer);
            else
                dialog->selectFile(answer);
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept checks the answer
            if (removeAfterAnswer)
                QDir(answer).removeRecursively();
            return true;
        };
    }

    // The file name a "File <name> created!" text names.
    static QString createdName(const QString &text)
    {
        if (!text.startsWith("File ") || !text.endsWith(" created!"))
            return QString();
        return text.mid(5, text.size() - 5 - 9);
    }

private slots:
    void init()
    {
        f.init();
        folder.reset(new QTemporaryDir);
        QVERIFY(folder->isValid());
        answer.clear();
        removeAfterAnswer = false;
        dialogTitles.clear();
        dialogFolders.clear();
        dialogsSeen.clear();
        answerFileDialogs();
        for (const QString &name : recordingsIn(QDir::currentPath()))
            QFile::remove(name);
    }

    void cleanup() { f.cleanup(); }

    void saveLoadAndClearWave()
    {
        QVERIFY(f.startStreaming());
        answer = folder->path();
        button("saveWave")->click();
        QTRY_VERIFY(!createdName(notifLabel()->text()).isEmpty());
        const QString name = createdName(notifLabel()->text());
        QVERIFY(QRegularExpression("^waveFile\\d{6}\\.omx$").match(name).hasMatch());
        QCOMPARE(dialogTitles, QStringList{"Choose Destination Folder"});

        // The saved frame: ten records of one frame's columns, values on the plot.
        const wavefile::WaveLoad saved = wavefile::loadWave(readFile(folder->filePath(name)));
        QCOMPARE(saved.records, wavefile::RecordCount);
        const int columns = saved.wave.records[0].size() - 1;
        QVERIFY2(columns == 128 || columns == 256, qPrintable(QString::number(columns)));
        for (const QVector<double> &r : saved.wave.records)
            QCOMPARE(r.size(), columns + 1);
        for (int i = 0; i < columns; ++i)
            QVERIFY(saved.wave.records[0][i] >= -128 && saved.wave.records[0][i] <= 637);

        // A wave of its own values: drawn in place of the live frames until Clear.
        const QString wavePath = folder->filePath("flat.omx");
        QVERIFY(writeFile(wavePath, wavefile::waveText(wavefile::WaveView::of(flatWave(256, 77.5)))));
        answer = wavePath;
        button("loadWave")->click();
        QCOMPARE(dialogTitles.last(), QString("Open File"));
        QCOMPARE(dialogFolders.last(), QDir(folder->path()).absolutePath()); // the folder of the save
        QVERIFY(f.waitForReplots(3));
        QCOMPARE(valuesOf(f.plot()->graph(0)), QVector<double>(columns, 77.5));
        QCOMPARE(valuesOf(f.plot()->graph(22)), QVector<double>(columns, 102)); // logic line 0

        button("clearWaveButton")->click();
        QVERIFY(f.waitForFrames(2));
        QVERIFY(f.waitForReplots(1));
        QVERIFY(!valuesOf(f.plot()->graph(0)).contains(77.5));
    }

    void destinationIsAskedOnceAndScreenshotsOverwrite()
    {
        QVERIFY(f.startStreaming());
        answer = folder->path();
        QWidget *area = f.child<QWidget>("widget");
        button("screenShotButton")->click();
        const QString shot = createdName(notifLabel()->text());
        QVERIFY(QRegularExpression("^sshot\\d{6}\\.png$").match(shot).hasMatch());
        const QImage image(folder->filePath(shot));
        QCOMPARE(image.width(), area->width());
        QCOMPARE(image.height(), area->height() - 20);

        button("saveWave")->click();
        QTRY_VERIFY(createdName(notifLabel()->text()).startsWith("waveFile"));
        QCOMPARE(dialogTitles.size(), 1); // one question for both

        // Two screenshots within one second: one name, the second overwrites
        // the first. A second boundary between the clicks gives two names;
        // then the pair is taken again.
        bool sameSecond = false;
        for (int attempt = 0; attempt < 5 && !sameSecond; ++attempt) {
            button("screenShotButton")->click();
            const QString first = createdName(notifLabel()->text());
            QVERIFY(writeFile(folder->filePath(first), "not an image"));
            button("screenShotButton")->click();
            sameSecond = createdName(notifLabel()->text()) == first;
            if (sameSecond)
                QVERIFY(!QImage(folder->filePath(first)).isNull());
        }
        QVERIFY(sameSecond);
        QCOMPARE(dialogTitles.size(), 1);
    }

    void failedWritesAndUnreadableFilesAreSaid()
    {
        QVERIFY(f.startStreaming());

        // The destination folder vanishes after it was chosen.
        answer = folder->filePath("gone");
        QVERIFY(QDir().mkpath(answer));
        removeAfterAnswer = true;
        button("saveWave")->click();
        QTRY_VERIFY(notifLabel()->text().endsWith("could not be written."));
        QVERIFY(notifLabel()->text().startsWith("File waveFile"));
        notifLabel()->clear();
        button("screenShotButton")->click();
        QVERIFY(notifLabel()->text().startsWith("File sshot"));
        QVERIFY(notifLabel()->text().endsWith("could not be written."));
        QCOMPARE(dialogTitles.size(), 1);
        removeAfterAnswer = false;

        // Files that hold nothing readable.
        const QString text = folder->filePath("notes.omx");
        QVERIFY(writeFile(text, "shopping list: bread, milk"));
        answer = text;
        button("loadWave")->click();
        QCOMPARE(notifLabel()->text(), QString("File notes.omx is not a wave file."));
        QVERIFY(f.waitForReplots(2));
        QVERIFY(!valuesOf(f.plot()->graph(0)).isEmpty()); // live frames still drawn
        button("playButton")->click();
        QCOMPARE(recordLabel()->text(), QString("File notes.omx is not a recording."));
        QVERIFY(f.waitForFrames(3)); // nothing plays: the label stays
        QCOMPARE(recordLabel()->text(), QString("File notes.omx is not a recording."));

        // A recording whose file cannot be created: back to "Record", said in
        // the label, and the next click tries again.
        const QString working = QDir::currentPath();
        const QString doomed = folder->filePath("working");
        QVERIFY(QDir().mkpath(doomed));
        QVERIFY(QDir::setCurrent(doomed));
        QVERIFY(QDir(doomed).removeRecursively());
        for (int click = 0; click < 2; ++click) {
            button("pushButton_4")->click();
            QCOMPARE(button("pushButton_4")->text(), QString("Record"));
            QVERIFY(recordLabel()->text().startsWith("File record"));
            QVERIFY(recordLabel()->text().endsWith("could not be created."));
        }
        QVERIFY(f.closer.boxesSeen.isEmpty());
        QVERIFY(QDir::setCurrent(working));
    }

    // A full disk: every write says it failed and leaves no file, empty or
    // cut, under the name it gives.
    void failedWritesLeaveNoFile()
    {
        QVERIFY(f.startStreaming());
        answer = folder->path();
        button("screenShotButton")->click(); // the folder is chosen with a disk that takes it
        QVERIFY(QFile::remove(folder->filePath(createdName(notifLabel()->text()))));
        {
            quorveltest::FileSizeLimit full(0);
            QVERIFY(full.isActive());
            notifLabel()->clear();
            button("saveWave")->click();
            QTRY_VERIFY2(notifLabel()->text().endsWith("could not be written."), qPrintable(notifLabel()->text()));
            QVERIFY(notifLabel()->text().startsWith("File waveFile"));
            notifLabel()->clear();
            button("screenShotButton")->click();
            QVERIFY(notifLabel()->text().startsWith("File sshot"));
            QVERIFY(notifLabel()->text().endsWith("could not be written."));
            notifLabel()->clear();
            button("exportButton")->click();
            QTRY_VERIFY(notifLabel()->text().endsWith("could not be written."));
            QVERIFY(notifLabel()->text().startsWith("File export"));
        }
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    }

    // A disk that fills while recording: the recording stops, says so, and
    // the file holds only whole entries, which play.
    void fullDiskDuringRecordingKeepsWholeEntries()
    {
        QVERIFY(f.startStreaming());
        button("pushButton_4")->click();
        QTRY_COMPARE(recordingsIn(QDir::currentPath()).size(), 1);
        const QString name = recordingsIn(QDir::currentPath()).first();
        QTRY_VERIFY(recording::Recording::read(readFile(name)).size() >= 2);
        {
            // Room for a part of the next entry only: frames are written on
            // this thread, so the size read here is the size at the limit.
            quorveltest::FileSizeLimit full{rlim_t(QFileInfo(name).size() + 600)};
            QVERIFY(full.isActive());
            QTRY_COMPARE(button("pushButton_4")->text(), QString("Record"));
        }
        QCOMPARE(recordLabel()->text(), "Recording stopped: file " + name + " could not be written.");
        const QByteArray text = readFile(name);
        QVERIFY(text.endsWith("----------"));
        const recording::Recording rec = recording::Recording::read(text);
        QVERIFY(rec.size() >= 2);
        QCOMPARE(wholeEntries(rec), rec.size());
        QVERIFY(f.closer.boxesSeen.isEmpty());
    }

    // A named pipe chosen as a wave file or a recording is refused at once;
    // opening it would wait for a writer.
    void pipeIsRefusedAtOnce()
    {
        QVERIFY(f.startStreaming());
        const QString fifo = folder->filePath("pipe.omx");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        answer = fifo;
        QElapsedTimer clock;
        clock.start();
        button("loadWave")->click();
        QCOMPARE(notifLabel()->text(), QString("File pipe.omx is not a regular file."));
        button("playButton")->click();
        QCOMPARE(recordLabel()->text(), QString("File pipe.omx is not a regular file."));
        QVERIFY(clock.elapsed() < 10000); // without the check the first click never returns
        QVERIFY(f.waitForReplots(2)); // live frames go on
        QVERIFY(!valuesOf(f.plot()->graph(0)).isEmpty());
    }

    // A text of markers and dashes, or words between markers, holds no number:
    // it is no recording, nothing plays and nothing is written to the
    // instrument.
    void recordingWithoutNumbersIsRefused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("markers and dashes") << QByteArray("<*>\n<*>\n<*>----------<*>\n<*>----------");
        QTest::newRow("words and markers")
            << QByteArray("shopping<*>\nlist,bread,milk<*>\neggs,,<*>----------x<*>y,z,----------");
    }
    void recordingWithoutNumbersIsRefused()
    {
        QFETCH(QByteArray, text);
        QVERIFY(f.startStreaming());
        const QString path = folder->filePath("marks.omx");
        QVERIFY(writeFile(path, text));
        quorvelsim::clearCommandLog();
        answer = path;
        button("playButton")->click();
        QCOMPARE(recordLabel()->text(), QString("File marks.omx is not a recording."));
        QVERIFY(f.waitForFrames(5));
        QVERIFY(f.waitForReplots(2));
        QCOMPARE(recordLabel()->text(), QString("File marks.omx is not a recording."));
        QCOMPARE(quorveltest::registerWrites().size(), 0);
    }

    // A loaded wave far longer than the plot's columns: the columns show its
    // first values, a recording takes what is drawn, and Save wave writes
    // every value the file held.
    void longLoadedWaveIsDrawnAtTheColumns()
    {
        QVERIFY(f.startStreaming());
        constexpr int Long = 1000000;
        wavefile::Wave wave;
        for (int i = 0; i < Long; ++i) {
            wave.records[0].append(i % 500);
            wave.records[2].append(i % 2 ? 300 : 290);
        }
        wave.records[1] = QVector<double>(100, 42); // shorter than the columns
        const QString path = folder->filePath("long.omx");
        QVERIFY(writeFile(path, wavefile::waveText(wavefile::WaveView::of(wave))));
        answer = path;
        button("loadWave")->click();
        QVERIFY(f.waitForReplots(3));
        const QVector<double> drawn = valuesOf(f.plot()->graph(0));
        const int columns = drawn.size();
        QVERIFY2(columns == 128 || columns == 256, qPrintable(QString::number(columns)));
        QCOMPARE(drawn, wave.records[0].mid(0, columns));

        QPushButton *record = button("pushButton_4");
        record->click();
        QTRY_COMPARE(recordingsIn(QDir::currentPath()).size(), 1);
        const QString name = recordingsIn(QDir::currentPath()).first();
        QTRY_VERIFY(recording::Recording::read(readFile(name)).size() >= 2);
        record->click();
        const recording::Recording rec = recording::Recording::read(readFile(name));
        const wavefile::Wave entry = rec.frame(0);
        QCOMPARE(entry.records[0].size(), columns + 1); // the trailing comma's 0
        QCOMPARE(entry.records[1].size(), 102); // 100 values and the 0 read after each last comma
        QCOMPARE(entry.records[2].size(), columns + 1);

        answer = folder->path();
        button("saveWave")->click();
        QTRY_VERIFY(!createdName(notifLabel()->text()).isEmpty());
        const wavefile::WaveLoad saved =
            wavefile::loadWave(readFile(folder->filePath(createdName(notifLabel()->text()))));
        QCOMPARE(saved.wave.records[0].size(), Long + 2); // the 0 after the last comma, twice
        QCOMPARE(saved.wave.records[0].mid(0, Long), wave.records[0]);
    }

    void recordStopAndPlay()
    {
        QVERIFY(f.startStreaming());
        QPushButton *record = button("pushButton_4");
        record->click();
        QCOMPARE(record->text(), QString("Stop"));
        QCOMPARE(recordLabel()->text(), QString("Recording wave."));
        QTRY_COMPARE(recordingsIn(QDir::currentPath()).size(), 1);
        const QString name = recordingsIn(QDir::currentPath()).first();
        QVERIFY(
            QRegularExpression("^record\\d{4}-\\d{2}-\\d{4}-\\d{2}-\\d{2}\\.omx$").match(name).hasMatch());
        // On disk while it runs, before Stop.
        QTRY_VERIFY(recording::Recording::read(readFile(name)).size() >= 5);

        record->click();
        QCOMPARE(record->text(), QString("Record"));
        QCOMPARE(recordLabel()->text(), QString());
        QCOMPARE(f.closer.boxesSeen, QStringList{"Success|File " + name + " saved."});
        const QByteArray text = readFile(name);
        QVERIFY(text.endsWith("----------"));
        const recording::Recording rec = recording::Recording::read(text);
        QVERIFY(rec.size() >= 5);
        QCOMPARE(wholeEntries(rec), rec.size());
        const int timeBase = f.child<QSlider>("samplingSlider")->value();
        for (int e = 0; e < rec.size(); ++e)
            QCOMPARE(rec.timeBase(e), timeBase);

        // Playback of two frames at time bases 10 and 11: register 0 follows
        // them, then the slider returns to its value from before.
        quorvelsim::setFrameRate(20); // a replot for every pass
        QSlider *sampling = f.child<QSlider>("samplingSlider");
        sampling->setValue(5);
        QByteArray two;
        recording::appendEntry(two, 10, wavefile::WaveView::of(flatWave(128, 111)));
        recording::appendEntry(two, 11, wavefile::WaveView::of(flatWave(256, 222)));
        const QString twoPath = folder->filePath("two.omx");
        QVERIFY(writeFile(twoPath, two));
        QVector<double> firstValues;
        QObject scope; // disconnects the capture when the test ends
        QObject::connect(f.plot(), &QCustomPlot::afterReplot, &scope, [&] {
            if (f.plot()->graph(0)->dataCount() > 0)
                firstValues.append(f.plot()->graph(0)->data()->constBegin()->value);
        });
        quorvelsim::clearCommandLog();
        answer = twoPath;
        button("playButton")->click();
        QCOMPARE(dialogTitles.last(), QString("Choose file with recorded wave"));
        QCOMPARE(recordLabel()->text(), QString("Load recorded wave"));
        QTRY_COMPARE(recordLabel()->text(), QString());
        QCOMPARE(sampling->value(), 5);
        QVector<int> timeBaseWrites;
        for (const quorveltest::RegisterWrite &w : quorveltest::registerWrites())
            if (w.index == reg::SamplingRate &&
                (timeBaseWrites.isEmpty() || timeBaseWrites.last() != w.value))
                timeBaseWrites.append(w.value);
        QCOMPARE(timeBaseWrites, (QVector<int>{10, 11, 5}));
        QVERIFY2(firstValues.indexOf(111) >= 0 && firstValues.indexOf(222) > firstValues.indexOf(111),
                 qPrintable(QString::number(firstValues.size())));
    }

    void closingWhileRecordingFinishesTheFile()
    {
        QVERIFY(f.startStreaming());
        button("pushButton_4")->click();
        QTRY_COMPARE(recordingsIn(QDir::currentPath()).size(), 1);
        const QString name = recordingsIn(QDir::currentPath()).first();
        QTRY_VERIFY(recording::Recording::read(readFile(name)).size() >= 3);
        f.cleanup(); // closes and deletes the window
        const QByteArray text = readFile(name);
        QVERIFY(text.endsWith("----------"));
        const recording::Recording rec = recording::Recording::read(text);
        QVERIFY(rec.size() >= 3);
        QCOMPARE(wholeEntries(rec), rec.size());
        QVERIFY(f.closer.boxesSeen.isEmpty()); // no box at close
    }

    // A program killed while recording keeps every entry it had recorded up to
    // the last second, and the file plays.
    void killedProgramKeepsItsRecording()
    {
        QProcess child;
        child.setWorkingDirectory(folder->path());
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {KilledChildFlag});
        QVERIFY(child.waitForStarted());
        QByteArray output;
        qint64 startCount = -1, lastCount = -1;
        auto readCounts = [&] {
            output += child.readAllStandardOutput();
            const QList<QByteArray> lines = output.split('\n');
            for (int i = 0; i + 1 < lines.size(); ++i) {
                if (!lines[i].startsWith("frames "))
                    continue;
                lastCount = lines[i].mid(7).toLongLong();
                if (startCount < 0)
                    startCount = lastCount;
            }
        };
        // The child reports its decoded frames every 100 ms once it records; at
        // 100 frames/s, 300 more frames are three seconds of recording.
        QTRY_VERIFY_WITH_TIMEOUT((readCounts(), startCount >= 0 && lastCount - startCount >= 300), 30000);
        const qint64 recorded = lastCount - startCount;
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QStringList files = recordingsIn(folder->path());
        QCOMPARE(files.size(), 1);
        const QString path = folder->filePath(files.first());
        const recording::Recording rec = recording::Recording::read(readFile(path));
        const int whole = wholeEntries(rec);
        // Everything but a last entry cut by the kill is whole, and at most
        // one second (100 frames) of what was decoded is missing.
        QVERIFY2(whole >= rec.size() - 1, qPrintable(QString("%1 of %2").arg(whole).arg(rec.size())));
        QVERIFY2(whole >= recorded - 100,
                 qPrintable(QString("%1 entries, %2 frames").arg(whole).arg(recorded)));

        // It plays: every pass takes the next entry and sets its time base.
        QVERIFY(f.startStreaming());
        quorvelsim::clearCommandLog();
        answer = path;
        button("playButton")->click();
        QCOMPARE(recordLabel()->text(), QString("Load recorded wave"));
        auto timeBaseWrites = [] {
            int n = 0;
            for (const quorveltest::RegisterWrite &w : quorveltest::registerWrites())
                n += w.index == reg::SamplingRate;
            return n;
        };
        QTRY_VERIFY_WITH_TIMEOUT(timeBaseWrites() >= 20, 20000);
        QCOMPARE(recordLabel()->text(), QString("Load recorded wave"));
    }

    // The frame on screen at 1 ms/div with CH1 at 1.28 V/div: the simulated
    // 2 V sine in volts, times as the vertical cursors count them, and the
    // logic lines' edges where the drawn lines change.
    void exportWritesTheFrameOnScreen()
    {
        QVERIFY(f.startStreaming());
        f.child<QSlider>("samplingSlider")->setValue(7);
        f.child<QSlider>("ch1GainSlider")->setValue(2);
        QCOMPARE(int(quorvelsim::peekRegister(reg::Gain1)), 2); // the instrument takes the gain
        f.child<QCheckBox>("checkBoxCH1Trace")->setChecked(true);
        f.child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        // All eight lines: the instrument's factory mask has lines 6 and 7 off.
        for (int n = 0; n < 8; ++n)
            if (QCheckBox *line = f.child<QCheckBox>(QString("checkBoxCHD%1").arg(n)); !line->isChecked())
                line->click();
        // The logic levels below are those of position 3.
        f.child<QSlider>("chdPositionSlider")->setValue(3);
        QVERIFY(f.waitForFrames(3));
        // Frames at a pace that is no multiple of the simulated bus cycle, so
        // that successive frames catch the buses at different moments.
        quorvelsim::setFrameRate(7);
        answer = folder->path();

        // The graphs as drawn by the pass that exported.
        bool captured = false;
        QVector<double> keys, ch1;
        QVector<QVector<double>> logic(8);
        QObject scope; // disconnects the capture when the test ends
        QObject::connect(f.plot(), &QCustomPlot::afterReplot, &scope, [&] {
            if (captured || !notifLabel()->text().startsWith("Files export"))
                return;
            captured = true;
            keys.clear();
            for (auto it = f.plot()->graph(0)->data()->constBegin();
                 it != f.plot()->graph(0)->data()->constEnd(); ++it)
                keys.append(it->key);
            ch1 = valuesOf(f.plot()->graph(0));
            for (int n = 0; n < 8; ++n)
                logic[n] = valuesOf(f.plot()->graph(22 + 2 * n));
        });

        // A drawn logic line is high above its low level.
        const int chdPosition = f.child<QSlider>("chdPositionSlider")->value();
        auto lowLevel = [&](int n) { return chdPosition * 50 + 20 * (n + 1) - 10; };
        bool i2cEdges = false, uartEdges = false;
        for (int attempt = 0; attempt < 20 && !(i2cEdges && uartEdges); ++attempt) {
            notifLabel()->clear();
            captured = false;
            button("exportButton")->click();
            QTRY_VERIFY_WITH_TIMEOUT(captured, 5000);

            const QRegularExpressionMatch names =
                QRegularExpression("^Files (export\\d{6})\\.csv, \\.vcd and \\.sr created\\nin (.+)$")
                    .match(notifLabel()->text());
            QVERIFY2(names.hasMatch(), qPrintable(notifLabel()->text()));
            const QString csvName = names.captured(1) + ".csv", vcdName = names.captured(1) + ".vcd",
                          srName = names.captured(1) + ".sr";
            // The folder they went to, whole while it fits the line.
            QCOMPARE(names.captured(2), QDir::toNativeSeparators(folder->path()));
            QCOMPARE(notifLabel()->toolTip(), QDir::toNativeSeparators(folder->path()));

            // CSV: one row per drawn column.
            const QList<QByteArray> lines =
                readFile(folder->filePath(csvName)).trimmed().split('\n');
            QCOMPARE(lines.first(), QByteArray("time_s,ch1_V,ch2_V,bit0,bit1,bit2,bit3,bit4,bit5,bit6,bit7"));
            QCOMPARE(lines.size() - 1, 128);
            QCOMPARE(keys.size(), 128);
            double high = -1e9, low = 1e9;
            for (int row = 0; row < 128; ++row) {
                const QList<QByteArray> cells = lines[row + 1].split(',');
                QCOMPARE(cells.size(), 11);
                const double v = cells[1].toDouble();
                QCOMPARE(v, (ch1[row] - 256) * 1.28 / 64); // the drawn value in volts
                high = std::max(high, v);
                low = std::min(low, v);
                for (int n = 0; n < 8; ++n) // a line that is off is not drawn and not exported
                    QCOMPARE(cells[3 + n], logic[n].isEmpty()
                                               ? QByteArray()
                                               : QByteArray(logic[n][row] > lowLevel(n) ? "1" : "0"));
            }
            // Within one sample count; the small margin keeps a peak exactly
            // one count off (1.96 V) from failing on the last bit of a double.
            const double count = 1.28 / 32 + 1e-9;
            QVERIFY2(std::fabs(high - 2.0) <= count && std::fabs(low + 2.0) <= count,
                     qPrintable(QString("%1 .. %2 V").arg(low).arg(high)));
            // The vertical cursors at the screen's two ends, columns 0 and
            // 255, read (127 - 0) sixteenths of a division.
            const double cursorDeltaT = (std::floor(255 * 128.0 / 256) - 0) * 1e-3 * 8 * 0.0078125;
            const double rowsDeltaT =
                lines.last().split(',')[0].toDouble() - lines[1].split(',')[0].toDouble();
            QVERIFY2(std::fabs(rowsDeltaT - cursorDeltaT) < 1e-15,
                     qPrintable(QString::number(rowsDeltaT, 'g', 17)));

            // Session file: the drawn CH1 in volts at the rows' sample rate
            // (62.5 us a row at 1ms/div).
            const srsession::Session session = srsession::read(folder->filePath(srName));
            QVERIFY2(session.ok, qPrintable(session.error));
            QCOMPARE(session.sampleRate, 16000.0);
            QCOMPARE(session.logic.size(), 128);
            QVERIFY(!session.analogNames.isEmpty() && session.analogNames.first() == "CH1");
            for (int row = 0; row < 128; ++row)
                QCOMPARE(session.analog[0][row], float((ch1[row] - 256) * 1.28 / 64));

            // VCD: the drawn lines' changes, at their columns' times in 100 ns.
            QVERIFY(vcdBodyIsPlain(readFile(folder->filePath(vcdName))));
            const ReadVcd vcd = readVcd(readFile(folder->filePath(vcdName)));
            QVERIFY(vcd.ok);
            QCOMPARE(vcd.timescale, QByteArray("100 ns"));
            for (int n = 0; n < 8; ++n) {
                QVector<QPair<qint64, char>> drawn, dumped;
                for (int row = 0; row < 128; ++row) {
                    const char level = logic[n].isEmpty() ? 'x' : logic[n][row] > lowLevel(n) ? '1' : '0';
                    if (row == 0 || level != drawn.last().second)
                        drawn.append({qRound64(keys[row] * 8 * 1e-3 / 256 / 1e-7), level});
                }
                const QByteArray name = "bit" + QByteArray::number(n);
                for (auto it = vcd.changes.constBegin(); it != vcd.changes.constEnd(); ++it)
                    if (it.value().contains(name))
                        dumped.append({it.key(), it.value()[name]});
                QCOMPARE(dumped, drawn);
                // The session file: the same levels, a line that is off as low.
                for (int row = 0; row < 128; ++row)
                    QCOMPARE((session.logic[row] >> n) & 1, logic[n].isEmpty() ? 0 : logic[n][row] > lowLevel(n) ? 1 : 0);
                if (drawn.size() > 1 && n <= 1)
                    i2cEdges = true;
                if (drawn.size() > 1 && (n == 2 || n == 3))
                    uartEdges = true;
            }
        }
        QVERIFY(i2cEdges);
        QVERIFY(uartEdges);
        QCOMPARE(dialogTitles.size(), 1);
    }

    void frameLogWritesBatchesOf200AndTheRestAtClose()
    {
        // A slow time base in the instrument: the settings read sets the
        // log's flag.
        quorvelsim::pokeRegister(reg::SamplingRate, 12);
        quorvelsim::setFrameRate(400);
        QVERIFY(f.startStreaming());
        QCOMPARE(f.child<QSlider>("samplingSlider")->value(), 12);
        // A batch is 200 frame texts, each starting with its CH1 record and
        // ending with the separator, then a line end; inside a frame a line end
        // only follows "<*>".
        auto batches = [](const QByteArray &log) {
            QList<QByteArray> out;
            for (int from = log.indexOf("CH1,"); from >= 0; from = log.indexOf("CH1,", from)) {
                const int end = log.indexOf("----------\n", from);
                if (end < 0)
                    break;
                out.append(log.mid(from, end + 10 - from));
                from = end + 11;
            }
            return out;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!batches(readFile("log.txt")).isEmpty(), 20000);
        const QByteArray log = readFile("log.txt");
        QVERIFY(log.startsWith("Device Settings: "));
        QVERIFY(log.indexOf("------------------------------------------\n") < log.indexOf("CH1,"));
        for (const QByteArray &batch : batches(log)) {
            QCOMPARE(batch.count("----------"), 200);
            QVERIFY(!batch.contains("----------\n"));
            // 256 columns at a slow time base: the CH1 record holds 256 values.
            QCOMPARE(batch.left(batch.indexOf("<*>")).count(','), 257);
        }
        QVERIFY(log.endsWith("----------\n"));

        f.cleanup(); // the last batch is written when the window goes
        const QByteArray closed = readFile("log.txt");
        QVERIFY(closed.startsWith(log));
        const QByteArray last = closed.mid(log.size());
        QVERIFY2(last == "\n" || (last.startsWith("CH1,") && last.endsWith("----------\n")), last.left(80));
        QVERIFY(last.count("----------") < 200);
    }
};

// The child of killedProgramKeepsItsRecording: the window against the
// simulated instrument records in the working folder and reports its decoded
// frames until it is killed.
static int recordUntilKilled(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    quorveltest::WindowFixture f;
    f.init(100);
    if (!f.startStreaming())
        return 1;
    f.child<QPushButton>("pushButton_4")->click();
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        std::printf("frames %llu\n", static_cast<unsigned long long>(f.framesProcessed()));
        std::fflush(stdout);
    });
    report.start(100);
    return app.exec();
}

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    if (argc > 1 && std::strcmp(argv[1], KilledChildFlag) == 0)
        return recordUntilKilled(argc, argv);
    QApplication app(argc, argv);
    quorveltest::holdScreens();
    quorveltest::IsolatedEnvironment isolated;
    TestFilesWindow tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_files_window.moc"
