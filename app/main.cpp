#include "app/appsettings.h"
#include "store/safestore.h"
#include "app/quorvelinterface.h"

#include <QApplication>
#include <QSettings>
#include <QTextCodec>

#ifdef QUORVEL_DEMO
#include "simcontrol.h"

#include <QCommandLineParser>
#include <QSlider>

#include <cstdio>

// The demo's simulated instrument: how many frames a second it sends and the
// time base it starts with. Returns false after printing what is wrong.
static bool configureSimulatedInstrument(const QApplication &app, int *timeBase)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The program wired to a simulated instrument."));
    parser.addHelpOption();
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Frames per second the instrument sends (default 60; "
                                                 "the real instrument sends up to 250)."),
                                  QStringLiteral("N"), QStringLiteral("60"));
    const QCommandLineOption timebase(QStringLiteral("timebase"),
                                      QStringLiteral("Time base the instrument starts with: the position of "
                                                     "the time-base slider, 0 (fastest) to 21."),
                                      QStringLiteral("N"));
    parser.addOption(rate);
    parser.addOption(timebase);
    parser.process(app); // --help, and unknown options, end the program here

    bool ok = false;
    const double framesPerSecond = parser.value(rate).toDouble(&ok);
    if (!ok || framesPerSecond <= 0 || framesPerSecond > 10000) {
        std::fprintf(stderr, "--rate: a number of frames per second above 0 and up to 10000\n");
        return false;
    }
    quorvelsim::setFrameRate(framesPerSecond);
    *timeBase = -1;
    if (parser.isSet(timebase)) {
        const int value = parser.value(timebase).toInt(&ok);
        if (!ok || value < 0 || value > 21) {
            std::fprintf(stderr, "--timebase: a slider position from 0 to 21\n");
            return false;
        }
        // The instrument holds it; the window shows it when it reads the settings.
        quorvelsim::pokeRegister(0, quint8(value));
        *timeBase = value;
    }
    return true;
}
#endif

int main(int argc, char *argv[])
{
    auto *app = new QApplication(argc, argv);
#ifdef QUORVEL_DEMO
    int timeBase = -1;
    if (!configureSimulatedInstrument(*app, &timeBase)) {
        delete app;
        return 2;
    }
#endif
    auto *window = new QuorvelInterface();
#ifdef QUORVEL_DEMO
    if (timeBase >= 0) // shown before the connect reads it back
        window->findChild<QSlider *>(QStringLiteral("samplingSlider"))->setValue(timeBase);
#endif
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QObject::connect(app, SIGNAL(aboutToQuit()), window, SLOT(writeAppSettings()));

    const SafeStore store(appsettings::Organisation, appsettings::Application);
    if (appsettings::read(store.settings()).wasMaximized)
        window->showMaximized();
    else
        window->show();

    const int code = app->exec();
    delete window;
    delete app;
    return code;
}
