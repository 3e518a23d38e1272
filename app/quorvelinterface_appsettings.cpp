// The program's own preferences: read while the window is built, written at quit.
#include "app/appsettings.h"
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

void QuorvelInterface::readAppSettings()
{
    // Until construction ends, handlers do not act on the values set here.
    startingUp = true;
    const QSettings store(appsettings::Organisation, appsettings::Application);
    const appsettings::Values stored = appsettings::read(store);
    // Before the size: a window without the panel may be narrower.
    setupControlsToggle();
    setControlsHidden(stored.controlsHidden);

    if (appsettings::sizeApplies(stored)) {
        // No smaller than the layout allows, so the centring uses the size shown.
        const QSize shown = stored.size.expandedTo(minimumSizeHint());
        setGeometry(0, 0, shown.width(), shown.height());
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(appsettings::centredTopLeft(screen->geometry(), shown));
    }
    // Not "activated": the theme itself is applied when the plot scene is set up.
    ui->comboBoxTheme->setCurrentIndex(stored.theme);
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
    QSettings store(appsettings::Organisation, appsettings::Application);
    appsettings::write(store, values);
}
