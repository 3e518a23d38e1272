#pragma once
// The installed protocol decoders (libsigrokdecode), read once per process
// into plain values.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace decode {

struct ChannelInfo
{
    QString id;
    QString name;
    QString description;
    bool required = true;
};

struct OptionInfo
{
    QString id;
    QString description;
    QVariant defaultValue;  // qlonglong, double or QString, as the decoder declares it
    QVariantList values;    // allowed values; empty: any value of the default's type
};

struct RowInfo
{
    QString id;
    QString description;
    QVector<int> classes; // annotation classes drawn in this row
};

struct DecoderInfo
{
    QString id;
    QString name;
    QString longName;
    QString description;
    QVector<ChannelInfo> channels; // required first, then optional
    QVector<OptionInfo> options;
    QStringList annotationClasses; // class index -> description
    QStringList annotationClassIds; // class index -> id ("rx-data")
    QVector<RowInfo> rows;         // a decoder without rows gets one row of every class
    QStringList inputs;            // "logic" for decoders on the lines, else a decoder's output
    QStringList outputs;

    const ChannelInfo *channel(const QString &channelId) const;
    const OptionInfo *option(const QString &optionId) const;
    // Row index of an annotation class (0 when no row names it).
    int rowOf(int annotationClass) const;
    bool readsLogic() const { return inputs.contains(QStringLiteral("logic")); }
};

// Starts the library once per process (later calls return the first result)
// and loads every installed decoder. False with the library's reason when it
// cannot start; then the decoder list is empty.
bool initialise(QString *error = nullptr);

// The installed decoders, sorted by id (empty before initialise()).
const QVector<DecoderInfo> &decoders();
const DecoderInfo *findDecoder(const QString &id);

// Text of an option value as the user types it, and the value of a text in
// the option's type; false when the text does not convert or is not one of
// the allowed values.
QString valueText(const QVariant &value);
bool parseOptionValue(const OptionInfo &option, const QString &text, QVariant *value);

} // namespace decode
