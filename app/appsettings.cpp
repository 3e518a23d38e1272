#include "appsettings.h"

#include <QDir>
#include <QSettings>

#include <cstdlib>

namespace appsettings {

const char *const Organisation = "Halvorine Ombrix";
const char *const Application = "Settings";

namespace {
const QString ThemeKey = QStringLiteral("theme");
const QString SizeKey = QStringLiteral("size");
const QString MaximizedKey = QStringLiteral("wasMaximized");
const QString FolderKey = QStringLiteral("defaultDir");
const QString ControlsHiddenKey = QStringLiteral("controlsHidden");
const QString FftPositionKey = QStringLiteral("fftPosition");
} // namespace

Values read(const QSettings &store)
{
    Values v;
    bool isInt = false;
    const int theme = store.value(ThemeKey, 0).toInt(&isInt);
    v.theme = isInt && theme >= 0 && theme < ThemeCount ? theme : 0;
    const QVariant size = store.value(SizeKey);
    if (size.canConvert<QSize>())
        v.size = size.toSize();
    v.wasMaximized = store.value(MaximizedKey, false).toBool();
    v.defaultDir = store.value(FolderKey).toString();
    if (v.defaultDir.isEmpty())
        v.defaultDir = QDir::homePath();
    v.controlsHidden = store.value(ControlsHiddenKey, false).toBool();
    const int fftPosition = store.value(FftPositionKey, 0).toInt(&isInt);
    v.fftPosition = isInt && std::abs(fftPosition) <= FftPositionLimit ? fftPosition : 0;
    return v;
}

void write(QSettings &store, const Values &values)
{
    store.setValue(ThemeKey, values.theme);
    store.setValue(SizeKey, values.size);
    store.setValue(MaximizedKey, values.wasMaximized);
    store.setValue(FolderKey, values.defaultDir);
    store.setValue(ControlsHiddenKey, values.controlsHidden);
    store.setValue(FftPositionKey, values.fftPosition);
}

bool sizeApplies(const Values &values)
{
    return !values.wasMaximized && values.size.width() > 0 && values.size.height() > 0 &&
           values.size.width() <= MaximumSide && values.size.height() <= MaximumSide;
}

bool sizeFits(const QSize &size, const QRect &available)
{
    if (size.width() > MaximumSide || size.height() > MaximumSide)
        return false;
    return available.isEmpty() || (size.width() <= available.width() && size.height() <= available.height());
}

QPoint centredTopLeft(const QRect &screen, const QSize &window)
{
    return QPoint((screen.left() + screen.right()) / 2 - (window.width() - 1) / 2,
                  (screen.top() + screen.bottom()) / 2 - (window.height() - 1) / 2);
}

} // namespace appsettings
