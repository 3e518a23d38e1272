#include "themestore.h"

#include "customcolors.h"

#include <QSettings>

#include <cctype>

namespace themestore {

const char *const Organisation = "Halvorine Ombrix";
const char *const Application = "Theme";
const char *const MarkerKey = "isThemeSet";

namespace {

// Store key -> table name, in the order the theme is read and written.
struct Key
{
    QString key;
    QString name;
};

QVector<Key> colourKeys()
{
    QVector<Key> keys = {{"ch1", "CH1"}, {"ch2", "CH2"}, {"ch1ref", "CH1 REF"}, {"ch2ref", "CH2 REF"}};
    for (int n = 0; n < CustomColors::LogicLines; ++n) {
        keys.append({QStringLiteral("bit") + QString::number(n), CustomColors::bitName(n)});
        keys.append({QStringLiteral("bitref") + QString::number(n), CustomColors::bitRefName(n)});
    }
    keys.append({{"ch1fft", "CH1 FFT"},
                 {"ch2fft", "CH2 FFT"},
                 {"axes", "AXES"},
                 {"grid", "GRID"},
                 {"label", "LABELS"}});
    return keys;
}

// The stored colour, or the entry's default when the text is missing, names
// no colour or a fully transparent one: an invalid colour would paint black
// on the black plot, a transparent one nothing.
// Qt's parser takes some malformed "#..." texts as black; a hexadecimal
// colour is taken only when every digit is one.
bool isColourText(const QString &text)
{
    if (!text.startsWith(QLatin1Char('#')))
        return QColor::isValidColor(text);
    const int digits = text.size() - 1;
    if (digits != 3 && digits != 6 && digits != 8 && digits != 9 && digits != 12)
        return false;
    for (int i = 1; i < text.size(); ++i)
        if (text.at(i).unicode() > 127 || !std::isxdigit(text.at(i).unicode()))
            return false;
    return QColor::isValidColor(text);
}

QColor readColour(const QSettings &store, const QString &key, const QColor &fallback)
{
    const QVariant value = store.value(key);
    if (value.type() != QVariant::String && value.type() != QVariant::ByteArray)
        return fallback;
    const QString text = value.toString();
    if (!isColourText(text))
        return fallback;
    // A fully transparent colour would leave its trace invisible.
    const QColor colour(text);
    return colour.alpha() == 0 ? fallback : colour;
}

} // namespace

bool load(QSettings &store, CustomColors &colors)
{
    bool isInt = false;
    if (store.value(QLatin1String(MarkerKey)).toInt(&isInt) != MarkerValue || !isInt)
        return false;
    const CustomColors defaults = CustomColors::defaults();
    for (const Key &k : colourKeys())
        colors.setColor(k.name, readColour(store, k.key, defaults.colorAt(k.name)));
    colors.background = QBrush(readColour(store, QStringLiteral("background"), defaults.background.color()),
                               Qt::SolidPattern);
    return true;
}

void save(QSettings &store, const CustomColors &colors)
{
    for (const Key &k : colourKeys())
        store.setValue(k.key, colors.colorAt(k.name).name());
    store.setValue(QStringLiteral("background"), colors.background.color().name());
    store.setValue(QLatin1String(MarkerKey), MarkerValue);
}

} // namespace themestore

namespace theme {

int luma(const QColor &color)
{
    // This order of the sum makes mid grey (128, 128, 128) 127.99..., so 127.
    double y = 0.587 * color.green() + 0.299 * color.red();
    y += 0.114 * color.blue();
    return int(y);
}

QString idealForegroundColor(const QColor &background)
{
    const QColor text = 255 - luma(background) > 104 ? QColor(Qt::white) : QColor(Qt::black);
    return text.name();
}

} // namespace theme
