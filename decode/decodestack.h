#pragma once
// A decoder stack on the eight logic lines and the decode of one frame.

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include "settings/registers.h"

namespace decode {

constexpr int LogicLines = reg::LogicLines;

// One decoder of a stack: the first reads the logic lines through its channel
// map, each further one reads the output of the one before it.
struct DecoderConfig
{
    QString id;
    QMap<QString, int> channels;    // channel id -> logic bit 0-7
    QMap<QString, QVariant> options; // option id -> value; options left out keep their default
};

struct Stack
{
    QVector<DecoderConfig> decoders;
    bool isEmpty() const { return decoders.isEmpty(); }
    // "uart" or "i2c>eeprom24xx"
    QString name() const;
};

// Empty when the stack can run; else what is wrong, with the accepted values
// ("unknown decoder 'x'; installed: ...", "channel 'foo' of uart: rx, tx",
// "option parity of uart: none, odd, even, ...").
QString validate(const Stack &stack);

struct Annotation
{
    qint64 start = 0; // first and last sample of the frame the annotation covers
    qint64 end = 0;
    int decoder = 0;  // index in the stack
    int row = 0;      // row index of that decoder (DecoderInfo::rows), -1 for an error
    int annotationClass = 0;
    QStringList texts; // longest first, shorter forms after it
    bool error = false;
    QString text() const { return texts.value(0); }
};

// Decodes `samples` logic bytes (bit n = line n) taken at `sampleRate`
// samples per second. A decoder that fails gives one error annotation over
// the frame with the library's message; annotations made before it stay.
// Thread-safe: calls are serialised, the library's interpreter is shared.
QVector<Annotation> decodeFrame(const Stack &stack, const quint8 *samples, int count, double sampleRate);
inline QVector<Annotation> decodeFrame(const Stack &stack, const QVector<quint8> &samples, double sampleRate)
{
    return decodeFrame(stack, samples.constData(), samples.size(), sampleRate);
}

// Name of an annotation's row for tables and CSV: the row's description
// ("RX data"), "error" for an error annotation.
QString rowName(const Stack &stack, const Annotation &annotation);

// Samples per second of a frame at a time base index (0 = 8 us/div): the
// half-record time bases take 16 samples a division, the others 32.
double sampleRateOf(int timeBaseIndex);

// Parses "uart:rx=2:baudrate=115200" (a stack: "i2c:sda=0:scl=1,eeprom24xx")
// into a stack; the names of channels and options come from the installed
// decoder. Empty result and *error set when the text does not parse or
// validate().
Stack parseStack(const QString &text, QString *error);
// The text parseStack() reads back as the same stack.
QString stackText(const Stack &stack);

} // namespace decode
