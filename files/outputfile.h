#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// An output written in whole pieces (a frame's rows, a log line): a regular
// file, or standard output. Each piece goes to the system in one write as it
// is given. When a write fails (a full disk) the file is cut back to the
// pieces before, so it never ends in part of one; the system's words for the
// failure are kept. A pipe whose reader went away (EPIPE) is told apart: the
// reader chose to stop, nothing is wrong with the data.
class OutputFile
{
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    ~OutputFile() { finish(); }

    // "-" is standard output; any other path must be a regular file or not
    // exist yet (a named pipe or device is refused, not waited on). False
    // with errorString() when it cannot be opened.
    bool open(const QString &path);
    // Writes the piece whole; false when it could not be (see readerGone()).
    bool write(const QByteArray &piece);
    // Closes; true when everything was written.
    bool finish();
    // Removes the file when open() made or truncated it (a capture that got
    // nothing leaves no file); standard output stays as it is.
    void discard();

    bool isStandardOutput() const { return standardOutput; }
    // The reader of standard output (a pipe) went away.
    bool readerGone() const { return pipeClosed; }
    bool hasFailed() const { return failed; }
    qint64 bytesWritten() const { return whole; }
    QString errorString() const { return error; }
    // The path, or "standard output".
    QString name() const;

private:
    QFile file;
    QString path;
    QString error;
    int fd = -1;
    qint64 whole = 0; // bytes of the pieces written whole
    bool standardOutput = false;
    bool failed = false;
    bool pipeClosed = false;
};
