#include "decodestack.h"

#include <QMutexLocker>
#include <cmath>
#include <cstdarg>

extern "C" {
#include <libsigrokdecode/libsigrokdecode.h>
}

#include "decoderlibrary.h"
#include "display/measurements.h"
#include "display/traces.h"
#include "pythonbools.h"
#include "srdvalue.h"

#include <memory>
#include <vector>

namespace decode {

namespace {

QString joined(const QStringList &list) { return list.join(QStringLiteral(", ")); }

QStringList valueTexts(const QVariantList &values)
{
    QStringList out;
    for (const QVariant &v : values)
        out << valueText(v);
    return out;
}

QString typeName(const QVariant &v)
{
    switch (v.type()) {
    case QVariant::LongLong:
        return QStringLiteral("a whole number");
    case QVariant::Double:
        return QStringLiteral("a number");
    default:
        return QStringLiteral("text");
    }
}

// What the library logs while a frame decodes: its error messages name the
// decoder's Python exception, which becomes the error annotation's text.
struct LogCapture
{
    bool active = false;
    QStringList errors;
};
LogCapture &logCapture()
{
    static LogCapture capture;
    return capture;
}

int captureLog(void *, int level, const char *format, va_list args)
{
    LogCapture &c = logCapture();
    if (!c.active || level > SRD_LOG_ERR)
        return SRD_OK;
    char buffer[1024];
    vsnprintf(buffer, sizeof buffer, format, args);
    c.errors << QString::fromUtf8(buffer).trimmed();
    return SRD_OK;
}

GHashTable *newTable()
{
    return g_hash_table_new_full(g_str_hash, g_str_equal, g_free, reinterpret_cast<GDestroyNotify>(g_variant_unref));
}

void insert(GHashTable *table, const QString &key, GVariant *value)
{
    g_hash_table_insert(table, g_strdup(key.toUtf8().constData()), g_variant_ref_sink(value));
}

struct Run
{
    QVector<srd_decoder_inst *> instances;
    QVector<const DecoderInfo *> infos;
    QVector<Annotation> *out = nullptr;
};

void annotationArrived(srd_proto_data *pdata, void *data)
{
    auto *run = static_cast<Run *>(data);
    if (!pdata || !pdata->pdo || !pdata->data)
        return;
    const int index = run->instances.indexOf(pdata->pdo->di);
    if (index < 0 || !run->out)
        return;
    const auto *ann = static_cast<const srd_proto_data_annotation *>(pdata->data);
    Annotation a;
    a.start = qint64(pdata->start_sample);
    a.end = qint64(pdata->end_sample);
    a.decoder = index;
    a.annotationClass = ann->ann_class;
    a.row = run->infos[index]->rowOf(ann->ann_class);
    for (char **t = ann->ann_text; t && *t; ++t)
        a.texts << QString::fromUtf8(*t);
    run->out->append(a);
}

QString failure(const char *what, int rc)
{
    QStringList errors = logCapture().errors;
    // The library's last lines name the exception; earlier ones are its traceback.
    QString detail = errors.isEmpty() ? QString::fromUtf8(srd_strerror(rc)) : errors.last();
    for (int i = errors.size() - 1; i >= 0; --i)
        if (errors[i].contains(QLatin1String("Error")) || errors[i].contains(QLatin1String("error"))) {
            detail = errors[i];
            break;
        }
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), detail);
}

// One library session per decoder stack and sample rate, kept between frames:
// building a session costs a few kilobytes the library never gives back, so
// a session per frame would grow without end in a running window.
struct DecoderSession
{
    QString key;
    srd_session *session = nullptr;
    Run run;
    bool used = false;
};

constexpr int MaxDecoderSessions = 16;

std::vector<std::unique_ptr<DecoderSession>> &decoderSessions()
{
    static std::vector<std::unique_ptr<DecoderSession>> sessions;
    return sessions;
}

void dropDecoderSession(DecoderSession *session)
{
    auto &sessions = decoderSessions();
    for (auto it = sessions.begin(); it != sessions.end(); ++it)
        if (it->get() == session) {
            if (session->session)
                srd_session_destroy(session->session);
            sessions.erase(it);
            return;
        }
}

// The session for this stack at this rate, built on first use; nullptr with
// the reason in error when the library refuses the stack.
DecoderSession *decoderSession(const Stack &stack, quint64 rate, QString *error)
{
    const QString key = stackText(stack) + QLatin1Char('@') + QString::number(rate);
    auto &sessions = decoderSessions();
    for (auto &s : sessions)
        if (s->key == key)
            return s.get();
    if (int(sessions.size()) >= MaxDecoderSessions)
        dropDecoderSession(sessions.front().get());

    auto made = std::make_unique<DecoderSession>();
    made->key = key;
    Run &run = made->run;
    srd_session *session = nullptr;
    int rc = srd_session_new(&session);
    if (rc != SRD_OK)
        *error = failure("session", rc);
    for (int i = 0; error->isEmpty() && i < stack.decoders.size(); ++i) {
        const DecoderConfig &config = stack.decoders[i];
        const DecoderInfo *info = findDecoder(config.id);
        GHashTable *options = newTable();
        for (auto it = config.options.cbegin(); it != config.options.cend(); ++it) {
            QVariant v;
            parseOptionValue(*info->option(it.key()), valueText(it.value()), &v);
            insert(options, it.key(), toVariant(v));
        }
        srd_decoder_inst *di = srd_inst_new(session, config.id.toUtf8().constData(), options);
        g_hash_table_destroy(options);
        if (!di) {
            *error = failure(config.id.toUtf8().constData(), SRD_ERR_ARG);
            break;
        }
        run.instances.append(di);
        run.infos.append(info);
        if (i == 0) {
            GHashTable *channels = newTable();
            for (auto it = config.channels.cbegin(); it != config.channels.cend(); ++it)
                insert(channels, it.key(), g_variant_new_int32(it.value()));
            rc = srd_inst_channel_set_all(di, channels);
            g_hash_table_destroy(channels);
            if (rc != SRD_OK)
                *error = failure(config.id.toUtf8().constData(), rc);
        } else {
            rc = srd_inst_stack(session, run.instances[i - 1], di);
            if (rc != SRD_OK)
                *error = failure(config.id.toUtf8().constData(), rc);
        }
    }
    if (error->isEmpty()) {
        srd_pd_output_callback_add(session, SRD_OUTPUT_ANN, annotationArrived, &run);
        rc = srd_session_metadata_set(session, SRD_CONF_SAMPLERATE, g_variant_new_uint64(rate));
        if (rc == SRD_OK)
            rc = srd_session_start(session);
        if (rc != SRD_OK)
            *error = failure(stack.name().toUtf8().constData(), rc);
    }
    if (!error->isEmpty()) {
        if (session)
            srd_session_destroy(session);
        return nullptr;
    }
    made->session = session;
    sessions.push_back(std::move(made));
    return sessions.back().get();
}

} // namespace

QString Stack::name() const
{
    QStringList ids;
    for (const DecoderConfig &d : decoders)
        ids << d.id;
    return ids.join(QLatin1Char('>'));
}

QString validate(const Stack &stack)
{
    QString libraryError;
    if (!initialise(&libraryError))
        return libraryError;
    if (stack.isEmpty())
        return QStringLiteral("no decoder given");
    for (int i = 0; i < stack.decoders.size(); ++i) {
        const DecoderConfig &config = stack.decoders[i];
        const DecoderInfo *info = findDecoder(config.id);
        if (!info) {
            QStringList ids;
            for (const DecoderInfo &d : decoders())
                if (i == 0 ? d.readsLogic() : !d.readsLogic())
                    ids << d.id;
            return QStringLiteral("unknown decoder '%1'; installed: %2").arg(config.id, joined(ids));
        }
        if (i == 0 && !info->readsLogic())
            return QStringLiteral("decoder %1 reads the output of %2, not the logic lines; put it after one of those")
                .arg(info->id, joined(info->inputs));
        if (i > 0) {
            const DecoderInfo *below = findDecoder(stack.decoders[i - 1].id);
            bool fits = false;
            for (const QString &input : info->inputs)
                fits = fits || below->outputs.contains(input);
            if (!fits)
                return QStringLiteral("decoder %1 reads %2; %3 gives %4")
                    .arg(info->id, joined(info->inputs), below->id, joined(below->outputs));
        }
        QStringList channelIds;
        for (const ChannelInfo &c : info->channels)
            channelIds << c.id;
        for (auto it = config.channels.cbegin(); it != config.channels.cend(); ++it) {
            if (i > 0 || !info->channel(it.key()))
                return QStringLiteral("channel '%1' of %2; channels: %3")
                    .arg(it.key(), info->id, channelIds.isEmpty() ? QStringLiteral("none") : joined(channelIds));
            if (it.value() < 0 || it.value() >= LogicLines)
                return QStringLiteral("channel %1 of %2 on line %3; lines: 0-7").arg(it.key(), info->id).arg(it.value());
        }
        if (i == 0) {
            QStringList missing;
            for (const ChannelInfo &c : info->channels)
                if (c.required && !config.channels.contains(c.id))
                    missing << c.id;
            if (!missing.isEmpty())
                return QStringLiteral("decoder %1 needs a line for %2 (e.g. %1:%3=0)")
                    .arg(info->id, joined(missing), missing.first());
        }
        for (auto it = config.options.cbegin(); it != config.options.cend(); ++it) {
            const OptionInfo *option = info->option(it.key());
            if (!option) {
                QStringList ids;
                for (const OptionInfo &o : info->options)
                    ids << o.id;
                return QStringLiteral("option '%1' of %2; options: %3")
                    .arg(it.key(), info->id, ids.isEmpty() ? QStringLiteral("none") : joined(ids));
            }
            QVariant parsed;
            if (!parseOptionValue(*option, valueText(it.value()), &parsed))
                return option->values.isEmpty()
                           ? QStringLiteral("option %1 of %2 is %3, not '%4'")
                                 .arg(option->id, info->id, typeName(option->defaultValue), valueText(it.value()))
                           : QStringLiteral("option %1 of %2 is one of: %3 (not '%4')")
                                 .arg(option->id, info->id, joined(valueTexts(option->values)), valueText(it.value()));
        }
    }
    return QString();
}

QVector<Annotation> decodeFrame(const Stack &stack, const quint8 *samples, int count, double sampleRate)
{
    QVector<Annotation> out;
    auto fail = [&](const QString &message) {
        Annotation a;
        a.start = 0;
        a.end = std::max(0, count - 1);
        a.row = -1;
        a.error = true;
        a.texts << message;
        out.append(a);
        return out;
    };
    const QString invalid = validate(stack);
    if (!invalid.isEmpty())
        return fail(invalid);
    if (count <= 0 || !samples)
        return out;
    const double rate = std::round(sampleRate);
    if (!(rate >= 1))
        return fail(QStringLiteral("sample rate below 1 S/s"));

    QMutexLocker lock(&libraryMutex());
    LogCapture &capture = logCapture();
    capture.active = true;
    capture.errors.clear();
    srd_log_callback_set(captureLog, nullptr);

    keepPythonBoolsAlive();
    QString error;
    DecoderSession *session = decoderSession(stack, quint64(rate), &error);
    if (session) {
        session->run.out = &out;
        int rc = SRD_OK;
        if (session->used) {
            // Each frame is a capture of its own: the decoders start afresh at
            // sample 0, as on a new session, without the cost of building one.
            rc = srd_session_terminate_reset(session->session);
            if (rc == SRD_OK)
                rc = srd_session_metadata_set(session->session, SRD_CONF_SAMPLERATE,
                                              g_variant_new_uint64(quint64(rate)));
            if (rc == SRD_OK)
                rc = srd_session_start(session->session);
        }
        session->used = true;
        if (rc == SRD_OK)
            rc = srd_session_send(session->session, 0, quint64(count), samples, quint64(count), 1);
        session->run.out = nullptr;
        if (rc != SRD_OK) {
            error = failure(stack.name().toUtf8().constData(), rc);
            // A decoder that failed may hold any state: the next frame builds anew.
            dropDecoderSession(session);
        }
    }
    capture.active = false;
    if (!error.isEmpty())
        fail(error);
    return out;
}

QString rowName(const Stack &stack, const Annotation &annotation)
{
    if (annotation.error || annotation.row < 0)
        return QStringLiteral("error");
    if (annotation.decoder < 0 || annotation.decoder >= stack.decoders.size())
        return QString();
    const DecoderInfo *info = findDecoder(stack.decoders[annotation.decoder].id);
    if (!info || annotation.row >= info->rows.size())
        return QString();
    return info->rows[annotation.row].description;
}

double sampleRateOf(int timeBaseIndex)
{
    const double interval = measure::secondsPerValue(timeBaseIndex);
    return interval > 0 ? 1.0 / interval : 0.0;
}

Stack parseStack(const QString &text, QString *error)
{
    QString problem;
    Stack stack;
    if (!initialise(&problem)) {
        if (error)
            *error = problem;
        return Stack();
    }
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; problem.isEmpty() && i < parts.size(); ++i) {
        const QStringList fields = parts[i].split(QLatin1Char(':'));
        DecoderConfig config;
        config.id = fields.value(0).trimmed();
        const DecoderInfo *info = findDecoder(config.id);
        for (int f = 1; problem.isEmpty() && f < fields.size(); ++f) {
            const int eq = fields[f].indexOf(QLatin1Char('='));
            const QString key = eq < 0 ? fields[f].trimmed() : fields[f].left(eq).trimmed();
            const QString value = eq < 0 ? QString() : fields[f].mid(eq + 1);
            if (eq < 0) {
                problem = QStringLiteral("'%1' in %2: give NAME=VALUE").arg(fields[f], config.id);
            } else if (info && info->channel(key)) {
                bool ok = false;
                const int bit = value.trimmed().toInt(&ok);
                config.channels[key] = ok ? bit : -1;
            } else if (info && info->option(key)) {
                QVariant v;
                if (parseOptionValue(*info->option(key), value, &v))
                    config.options[key] = v;
                else
                    config.options[key] = value; // validate() names the accepted values
            } else {
                // Neither a channel nor an option: validate() lists both.
                QStringList names;
                if (info) {
                    for (const ChannelInfo &c : info->channels)
                        names << c.id;
                    for (const OptionInfo &o : info->options)
                        names << o.id;
                    problem = QStringLiteral("'%1' is neither a channel nor an option of %2; accepted: %3")
                                  .arg(key, config.id, joined(names));
                }
            }
        }
        stack.decoders.append(config);
    }
    if (problem.isEmpty())
        problem = validate(stack);
    if (error)
        *error = problem;
    return problem.isEmpty() ? stack : Stack();
}

QString stackText(const Stack &stack)
{
    QStringList parts;
    for (const DecoderConfig &d : stack.decoders) {
        QStringList fields{d.id};
        for (auto it = d.channels.cbegin(); it != d.channels.cend(); ++it)
            fields << it.key() + QLatin1Char('=') + QString::number(it.value());
        for (auto it = d.options.cbegin(); it != d.options.cend(); ++it)
            fields << it.key() + QLatin1Char('=') + valueText(it.value());
        parts << fields.join(QLatin1Char(':'));
    }
    return parts.join(QLatin1Char(','));
}

} // namespace decode
