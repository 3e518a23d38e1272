#include "app/quorvelinterface.h"

#include <QApplication>
#include <QSettings>
#include <QTextCodec>

int main(int argc, char *argv[])
{
    auto *app = new QApplication(argc, argv);
    auto *window = new QuorvelInterface();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QObject::connect(app, SIGNAL(aboutToQuit()), window, SLOT(writeAppSettings()));

    auto *settings = new QSettings("Halvorine Ombrix", "Settings");
    if (settings->value("wasMaximized", false).toBool())
        window->showMaximized();
    else
        window->show();

    const int code = app->exec();
    delete settings;
    delete window;
    delete app;
    return code;
}
