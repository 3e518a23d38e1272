#pragma once
// Conversions between the library's GVariant values and QVariant, and the
// lock every call into the library holds.

#include <QMutex>
#include <QVariant>

extern "C" {
#include <glib.h>
}

namespace decode {

inline QVariant fromVariant(GVariant *v)
{
    if (!v)
        return QVariant();
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT64))
        return QVariant(qlonglong(g_variant_get_int64(v)));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT32))
        return QVariant(qlonglong(g_variant_get_int32(v)));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_DOUBLE))
        return QVariant(g_variant_get_double(v));
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING))
        return QVariant(QString::fromUtf8(g_variant_get_string(v, nullptr)));
    return QVariant();
}

// A new floating reference in the type the library expects for the option.
inline GVariant *toVariant(const QVariant &value)
{
    switch (value.type()) {
    case QVariant::LongLong:
    case QVariant::Int:
        return g_variant_new_int64(value.toLongLong());
    case QVariant::Double:
        return g_variant_new_double(value.toDouble());
    default:
        return g_variant_new_string(value.toString().toUtf8().constData());
    }
}

QMutex &libraryMutex();

} // namespace decode
