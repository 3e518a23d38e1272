#include "files/srsession.h"

#include "files/fileaccess.h"

#include <QFile>
#include <QMap>
#include <QtEndian>

#include <zip.h>

#include <cmath>
#include <cstring>

namespace srsession {

namespace {

const char *const AnalogNames[2] = {"CH1", "CH2"};

// The largest member read() takes, and the largest session it reads.
constexpr zip_uint64_t MaxMemberBytes = zip_uint64_t(1) << 28;
constexpr qint64 MaxSessionBytes = qint64(1) << 30;

QString zipErrorText(zip_t *archive)
{
    return QString::fromLocal8Bit(zip_strerror(archive));
}

QString zipErrorText(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&e));
    zip_error_fini(&e);
    return text;
}

// Adds `length` bytes of `file` from `start` as one member.
bool addRange(zip_t *archive, const QString &name, const QString &file, qint64 start, qint64 length)
{
    const QByteArray fileName = QFile::encodeName(file);
    zip_source_t *source = zip_source_file(archive, fileName.constData(), zip_uint64_t(start), zip_int64_t(length));
    if (!source)
        return false;
    if (zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(source);
        return false;
    }
    return true;
}

// Adds bytes that stay alive until the archive is closed.
bool addBytes(zip_t *archive, const char *name, const QByteArray &data)
{
    zip_source_t *source = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
    if (!source)
        return false;
    if (zip_file_add(archive, name, source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(source);
        return false;
    }
    return true;
}

bool readMember(zip_t *archive, zip_uint64_t index, QByteArray &out)
{
    zip_stat_t st;
    if (zip_stat_index(archive, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) || st.size > MaxMemberBytes)
        return false;
    zip_file_t *file = zip_fopen_index(archive, index, 0);
    if (!file)
        return false;
    out.resize(int(st.size));
    const zip_int64_t got = zip_fread(file, out.data(), st.size);
    zip_fclose(file);
    return got == zip_int64_t(st.size);
}

} // namespace

QByteArray sampleRateText(double hertz)
{
    if (!(hertz > 0) || !std::isfinite(hertz))
        return "1";
    return QByteArray::number(qint64(std::max(1.0, std::min(std::round(hertz), 1e15))));
}

Writer::Writer() = default;

Writer::~Writer()
{
    if (opened)
        finish();
}

bool Writer::fail(const QString &text)
{
    if (!failed)
        error = text;
    failed = true;
    return false;
}

bool Writer::open(const QString &name)
{
    path = name;
    error.clear();
    failed = false;
    frameCount = 0;
    samples = 0;
    sampleRate = 0;
    frameLines = "frame,first_sample,time_s\n";
    QFile check;
    QString why;
    if (fileaccess::openForWriting(check, path, false, &created, &why) != fileaccess::OpenResult::Opened)
        return fail(why);
    check.close();
    logic = std::make_unique<QTemporaryFile>();
    for (auto &a : analog)
        a = std::make_unique<QTemporaryFile>();
    if (!logic->open() || !analog[0]->open() || !analog[1]->open()) {
        const QString text = logic->errorString();
        if (created)
            QFile::remove(path);
        return fail(QStringLiteral("no temporary file: %1").arg(text));
    }
    opened = true;
    return true;
}

bool Writer::store(QTemporaryFile &file, const char *data, qint64 length)
{
    if (file.write(data, length) == length)
        return true;
    return fail(file.errorString());
}

bool Writer::append(const dataexport::Frame &frame, double arrivedSeconds)
{
    if (!opened || failed)
        return false;
    const int count = frame.keys.size();
    if (count == 0)
        return true;
    const QVector<double> *values[2] = {&frame.ch1, &frame.ch2};
    const double voltsPerDiv[2] = {frame.ch1VoltsPerDiv, frame.ch2VoltsPerDiv};
    const double zero[2] = {frame.ch1Zero, frame.ch2Zero};
    if (frameCount == 0) {
        const double interval = dataexport::sampleInterval(frame);
        sampleRate = interval > 0 ? 1 / interval : 0;
        for (int c = 0; c < 2; ++c)
            analogOn[c] = voltsPerDiv[c] > 0 && values[c]->size() >= count;
        timeBase = frame.timeBaseText;
    }

    bytes.resize(count);
    const bool logicOn = frame.logicOn && frame.logic.size() >= count;
    quint8 mask = 0;
    for (int n = 0; n < LogicLines; ++n)
        if (frame.lineOn[n])
            mask |= quint8(1u << n);
    for (int i = 0; i < count; ++i)
        bytes[i] = char(logicOn ? frame.logic[i] & mask : 0);
    if (!store(*logic, bytes.constData(), count))
        return false;
    for (int c = 0; c < 2; ++c) {
        if (!analogOn[c])
            continue;
        bytes.resize(count * 4);
        const bool have = voltsPerDiv[c] > 0 && values[c]->size() >= count;
        for (int i = 0; i < count; ++i) {
            const float v = have ? float(dataexport::volts((*values[c])[i], zero[c], voltsPerDiv[c])) : NAN;
            quint32 word;
            std::memcpy(&word, &v, 4);
            qToLittleEndian(word, bytes.data() + 4 * i);
        }
        if (!store(*analog[c], bytes.constData(), bytes.size()))
            return false;
    }
    ++frameCount;
    frameLines += QByteArray::number(frameCount) + ',' + QByteArray::number(samples) + ',' +
                  QByteArray::number(arrivedSeconds > 0 ? arrivedSeconds : 0.0, 'f', 6) + '\n';
    samples += count;
    return true;
}

bool Writer::finish()
{
    if (!opened)
        return !failed;
    opened = false;
    auto drop = [&] {
        logic.reset();
        analog[0].reset();
        analog[1].reset();
    };
    if (failed || frameCount == 0) {
        if (created)
            QFile::remove(path);
        drop();
        return !failed;
    }
    for (QTemporaryFile *file : {logic.get(), analog[0].get(), analog[1].get()}) {
        if (!file->flush()) {
            const QString text = file->errorString();
            drop();
            if (created)
                QFile::remove(path);
            return fail(text);
        }
    }

    QByteArray metadata = "[global]\nsigrok version=0.5.2\n\n[device 1]\ncapturefile=logic-1\n";
    metadata += "total probes=" + QByteArray::number(LogicLines) + '\n';
    metadata += "samplerate=" + sampleRateText(sampleRate) + '\n';
    int analogCount = 0;
    for (bool on : analogOn)
        analogCount += on ? 1 : 0;
    metadata += "total analog=" + QByteArray::number(analogCount) + '\n';
    for (int n = 0; n < LogicLines; ++n)
        metadata += "probe" + QByteArray::number(n + 1) + "=bit" + QByteArray::number(n) + '\n';
    int analogIndex[2] = {0, 0};
    int next = LogicLines + 1;
    for (int c = 0; c < 2; ++c) {
        if (!analogOn[c])
            continue;
        analogIndex[c] = next++;
        metadata += "analog" + QByteArray::number(analogIndex[c]) + '=' + AnalogNames[c] + '\n';
    }
    metadata += "unitsize=1\n\n[quorvel]\n";
    metadata += "time base=" + timeBase.toUtf8() + '\n';
    metadata += "sample interval s=" + dataexport::number(sampleRate > 0 ? 1 / sampleRate : 0) + '\n';
    metadata += "frames=" + QByteArray::number(frameCount) + '\n';
    const QByteArray version = "2";

    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        drop();
        if (created)
            QFile::remove(path);
        return fail(zipErrorText(code));
    }
    bool ok = addBytes(archive, "version", version) && addBytes(archive, "metadata", metadata);
    for (qint64 start = 0, chunk = 1; ok && start < samples; start += ChunkSamples, ++chunk) {
        const qint64 length = std::min(ChunkSamples, samples - start);
        ok = addRange(archive, QStringLiteral("logic-1-%1").arg(chunk), logic->fileName(), start, length);
        for (int c = 0; c < 2 && ok; ++c)
            if (analogOn[c])
                ok = addRange(archive, QStringLiteral("analog-1-%1-%2").arg(analogIndex[c]).arg(chunk),
                              analog[c]->fileName(), 4 * start, 4 * length);
    }
    ok = ok && addBytes(archive, "frames", frameLines);
    // The archive is written to a temporary file and renamed over path, so
    // a failure leaves no part of it.
    if (!ok || zip_close(archive) != 0) {
        const QString text = zipErrorText(archive);
        zip_discard(archive);
        drop();
        if (created)
            QFile::remove(path);
        return fail(text);
    }
    drop();
    return true;
}

Session read(const QString &path)
{
    Session s;
    QFile check;
    QString why;
    if (fileaccess::openForReading(check, path, &why) != fileaccess::OpenResult::Opened) {
        s.error = why;
        return s;
    }
    check.close();
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!archive) {
        s.error = zipErrorText(code);
        return s;
    }
    auto done = [&](const QString &text) {
        s.error = text;
        zip_discard(archive);
        return s;
    };
    QByteArray member;
    const zip_int64_t version = zip_name_locate(archive, "version", 0);
    if (version < 0 || !readMember(archive, zip_uint64_t(version), member) || member.trimmed() != "2")
        return done(QStringLiteral("no version 2"));
    const zip_int64_t meta = zip_name_locate(archive, "metadata", 0);
    if (meta < 0 || !readMember(archive, zip_uint64_t(meta), member))
        return done(QStringLiteral("no metadata"));
    QMap<int, QString> probes, analogs;
    QByteArray section;
    for (const QByteArray &raw : member.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            section = line;
            continue;
        }
        if (section != "[device 1]")
            continue;
        const int eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq), value = line.mid(eq + 1);
        if (key == "samplerate")
            s.sampleRate = value.toDouble();
        else if (key.startsWith("probe"))
            probes[key.mid(5).toInt()] = QString::fromUtf8(value);
        else if (key.startsWith("analog"))
            analogs[key.mid(6).toInt()] = QString::fromUtf8(value);
    }
    s.logicNames = probes.values();
    s.analogNames = analogs.values();
    const QList<int> analogIds = analogs.keys();
    s.analog.resize(analogIds.size());

    // Chunks in the order of their numbers.
    qint64 total = 0;
    auto readChunks = [&](const QString &prefix, QByteArray &out) {
        for (int chunk = 1;; ++chunk) {
            const zip_int64_t index =
                zip_name_locate(archive, (prefix + QString::number(chunk)).toUtf8().constData(), 0);
            if (index < 0)
                return true;
            if (!readMember(archive, zip_uint64_t(index), member) || (total += member.size()) > MaxSessionBytes)
                return false;
            out += member;
        }
    };
    QByteArray logicBytes;
    if (!readChunks(QStringLiteral("logic-1-"), logicBytes))
        return done(QStringLiteral("a logic chunk could not be read"));
    s.logic.resize(logicBytes.size());
    std::memcpy(s.logic.data(), logicBytes.constData(), size_t(logicBytes.size()));
    for (int a = 0; a < analogIds.size(); ++a) {
        QByteArray floats;
        if (!readChunks(QStringLiteral("analog-1-%1-").arg(analogIds[a]), floats))
            return done(QStringLiteral("an analog chunk could not be read"));
        s.analog[a].resize(floats.size() / 4);
        for (int i = 0; i < s.analog[a].size(); ++i) {
            const quint32 word = qFromLittleEndian<quint32>(floats.constData() + 4 * i);
            std::memcpy(&s.analog[a][i], &word, 4);
        }
    }
    const zip_int64_t frames = zip_name_locate(archive, "frames", 0);
    if (frames >= 0 && readMember(archive, zip_uint64_t(frames), member)) {
        const QList<QByteArray> lines = member.split('\n');
        for (int i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> cells = lines[i].split(',');
            if (cells.size() == 3)
                s.frames.append({cells[1].toLongLong(), cells[2].toDouble()});
        }
    }
    zip_discard(archive);
    s.ok = true;
    return s;
}

} // namespace srsession
