#include "decoderlibrary.h"

#include <QMutex>
#include <algorithm>

extern "C" {
#include <libsigrokdecode/libsigrokdecode.h>
}

#include "srdvalue.h"

namespace decode {

namespace {

QString text(const char *s) { return s ? QString::fromUtf8(s) : QString(); }

QStringList stringList(const GSList *list)
{
    QStringList out;
    for (const GSList *l = list; l; l = l->next)
        out << text(static_cast<const char *>(l->data));
    return out;
}

DecoderInfo describe(const srd_decoder *d)
{
    DecoderInfo info;
    info.id = text(d->id);
    info.name = text(d->name);
    info.longName = text(d->longname);
    info.description = text(d->desc);
    info.inputs = stringList(d->inputs);
    info.outputs = stringList(d->outputs);
    auto channels = [&](const GSList *list, bool required) {
        for (const GSList *l = list; l; l = l->next) {
            const auto *c = static_cast<const srd_channel *>(l->data);
            info.channels.append({text(c->id), text(c->name), text(c->desc), required});
        }
    };
    channels(d->channels, true);
    channels(d->opt_channels, false);
    for (const GSList *l = d->options; l; l = l->next) {
        const auto *o = static_cast<const srd_decoder_option *>(l->data);
        OptionInfo option;
        option.id = text(o->id);
        option.description = text(o->desc);
        option.defaultValue = fromVariant(o->def);
        for (const GSList *v = o->values; v; v = v->next)
            option.values.append(fromVariant(static_cast<GVariant *>(v->data)));
        info.options.append(option);
    }
    for (const GSList *l = d->annotations; l; l = l->next) {
        // Each class is a NULL-terminated pair of strings: id, description.
        QStringList pair;
        for (char **t = static_cast<char **>(l->data); t && *t; ++t)
            pair << text(*t);
        info.annotationClasses << (pair.size() > 1 ? pair[1] : pair.value(0));
        info.annotationClassIds << pair.value(0);
    }
    for (const GSList *l = d->annotation_rows; l; l = l->next) {
        const auto *r = static_cast<const srd_decoder_annotation_row *>(l->data);
        RowInfo row{text(r->id), text(r->desc), {}};
        for (const GSList *c = r->ann_classes; c; c = c->next)
            row.classes.append(GPOINTER_TO_INT(c->data));
        info.rows.append(row);
    }
    if (info.rows.isEmpty()) {
        RowInfo row{info.id, info.name, {}};
        for (int i = 0; i < info.annotationClasses.size(); ++i)
            row.classes.append(i);
        info.rows.append(row);
    }
    return info;
}

struct Library
{
    bool started = false;
    QString error;
    QVector<DecoderInfo> decoders;
};

Library &library()
{
    static Library lib;
    return lib;
}

// Messages of the library go nowhere: a failing decoder is reported through
// its annotations, not on the terminal.
int quietLog(void *, int, const char *, va_list) { return SRD_OK; }

} // namespace

const ChannelInfo *DecoderInfo::channel(const QString &channelId) const
{
    for (const ChannelInfo &c : channels)
        if (c.id == channelId)
            return &c;
    return nullptr;
}

const OptionInfo *DecoderInfo::option(const QString &optionId) const
{
    for (const OptionInfo &o : options)
        if (o.id == optionId)
            return &o;
    return nullptr;
}

int DecoderInfo::rowOf(int annotationClass) const
{
    for (int r = 0; r < rows.size(); ++r)
        if (rows[r].classes.contains(annotationClass))
            return r;
    return 0;
}

QMutex &libraryMutex()
{
    static QMutex mutex;
    return mutex;
}

bool initialise(QString *error)
{
    static QMutex once;
    QMutexLocker onceLock(&once);
    Library &lib = library();
    if (!lib.started && lib.error.isEmpty()) {
        QMutexLocker lock(&libraryMutex());
        srd_log_callback_set(quietLog, nullptr);
        int rc = srd_init(nullptr);
        if (rc == SRD_OK)
            rc = srd_decoder_load_all();
        if (rc != SRD_OK) {
            lib.error = QStringLiteral("protocol decoder library: %1").arg(text(srd_strerror(rc)));
        } else {
            lib.started = true;
            for (const GSList *l = srd_decoder_list(); l; l = l->next)
                lib.decoders.append(describe(static_cast<const srd_decoder *>(l->data)));
            std::sort(lib.decoders.begin(), lib.decoders.end(),
                      [](const DecoderInfo &a, const DecoderInfo &b) { return a.id < b.id; });
            if (lib.decoders.isEmpty())
                lib.error = QStringLiteral("protocol decoder library: no decoders installed");
        }
    }
    if (error)
        *error = lib.error;
    return lib.started && !lib.decoders.isEmpty();
}

const QVector<DecoderInfo> &decoders() { return library().decoders; }

const DecoderInfo *findDecoder(const QString &id)
{
    for (const DecoderInfo &d : library().decoders)
        if (d.id == id)
            return &d;
    return nullptr;
}

QString valueText(const QVariant &value)
{
    if (value.type() == QVariant::Double)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

bool parseOptionValue(const OptionInfo &option, const QString &text, QVariant *value)
{
    QVariant v;
    bool ok = true;
    switch (option.defaultValue.type()) {
    case QVariant::LongLong:
        v = text.trimmed().toLongLong(&ok);
        break;
    case QVariant::Double:
        v = text.trimmed().toDouble(&ok);
        break;
    default:
        v = text;
        break;
    }
    if (!ok)
        return false;
    if (!option.values.isEmpty() && !option.values.contains(v))
        return false;
    if (value)
        *value = v;
    return true;
}

} // namespace decode
