// The program's own preferences: read while the window is built, written at quit.
#include "app/appsettings.h"
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include "store/safestore.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace {
// A store that could not be read, told once on the notice line (the path in
// its tool tip) and on the error output.
void tellStoreProblem(QLabel *line, const QString &path, const QString &problem)
{
    if (problem.isEmpty())
        return;
    line->setText(QCoreApplication::translate("QuorvelInterface", "Settings not read (%1): defaults in use.")
                      .arg(problem));
    line->setToolTip(QDir::toNativeSeparators(path));
    qWarning("The settings store %s was not read (%s): the defaults are used and it is not written.",
             qPrintable(QDir::toNativeSeparators(path)), qPrintable(problem));
}
} // namespace

void QuorvelInterface::readAppSettings()
{
    // Until construction ends, handlers do not act on the values set here.
    startingUp = true;
    const SafeStore store(appsettings::Organisation, appsettings::Application);
    const appsettings::Values stored = appsettings::read(store.settings());
    tellStoreProblem(ui->notifLabel, store.path(), store.problem());
    tellStoreProblem(ui->notifLabel, customTheme.storePath(), customTheme.storeProblem());
    // Before the size: a window without the panel may be narrower.
    setupControlsToggle();
    setControlsHidden(stored.controlsHidden);

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    // A size the layout's minimum forces counts as fitting: the window is
    // never smaller than that on any screen.
    const QRect bound(available.topLeft(), available.size().expandedTo(minimumSizeHint()));
    if (appsettings::sizeApplies(stored) &&
        appsettings::sizeFits(stored.size, available.isEmpty() ? available : bound)) {
        // No smaller than the layout allows, so the centring uses the size shown.
        const QSize shown = stored.size.expandedTo(minimumSizeHint());
        setGeometry(0, 0, shown.width(), shown.height());
        if (screen)
            move(appsettings::centredTopLeft(available, shown));
    } else if (screen && (stored.wasMaximized || (stored.size.width() > 0 && stored.size.height() > 0))) {
        // A size from a larger screen (or a maximised window's) is not taken:
        // the default size within the screen, centred, also as the geometry a
        // maximised window returns to.
        const QSize shown = size().boundedTo(available.size()).expandedTo(minimumSizeHint());
        setGeometry(0, 0, shown.width(), shown.height());
        move(appsettings::centredTopLeft(available, shown));
    }
    // Not "activated": the theme itself is applied when the plot scene is set up.
    ui->comboBoxTheme->setCurrentIndex(stored.theme);
    ui->verticalSlider_8->setRange(-appsettings::FftPositionLimit, appsettings::FftPositionLimit);
    ui->verticalSlider_8->setValue(stored.fftPosition);
    defaultDir = stored.defaultDir;
}

void QuorvelInterface::writeAppSettings()
{
    appsettings::Values values;
    values.theme = ui->comboBoxTheme->currentIndex();
    values.size = size();
    values.wasMaximized = isMaximized();
    values.defaultDir = defaultDir;
    values.controlsHidden = controlsHidden;
    values.fftPosition = ui->verticalSlider_8->value();
    SafeStore store(appsettings::Organisation, appsettings::Application);
    appsettings::write(store.settings(), values);
    QString error;
    // A store that was not read was told of at the start.
    if (!store.save(&error) && store.problem().isEmpty())
        qWarning("%s", qPrintable(error));
}
