// CPU use of the window on each page and Meter sub-page, over USB and over
// the serial link, at 60 and 250 frames/s and with the instrument sending
// nothing. The window runs against the simulated instrument: over USB the
// in-process simulated libusb, over serial the simulated instrument's
// pseudo-terminal program (quorvel-sim) in a process of its own.
//
//   bench_pagecpu                          # every link and rate, 3 s a page
//   bench_pagecpu --seconds 5 --link usb --rate 60
//   bench_pagecpu --sim path/to/quorvel-sim
//
// Prints one row per link, rate and page: the whole process's CPU and the
// GUI thread's alone, in percent of one core over the measured seconds. Over
// USB the process also holds the simulated instrument's threads; the GUI
// thread's figure is the window's own. "idle" is an instrument that sends no
// frames (it still answers requests).
#include "app/quorvelinterface.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <ctime>

#include <cstdio>
#include <memory>

namespace {

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Runs the event loop for ms milliseconds.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() or ms have passed; true when done.
template <typename Done> bool runUntil(Done done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        runFor(20);
    return done();
}

struct Page
{
    const char *name;
    int main; // mainTabWidget index
    int meter; // mmTabWidget index, -1: left as it is
};

// The order repeats VPP after the other Meter sub-pages and the scope page
// at the end: a state a page leaves behind shows on the page after it.
const Page pages[] = {
    {"scope", 0, -1},         {"meter VPP", 1, 0},        {"meter VDC", 1, 1},
    {"meter counter", 1, 2},  {"meter VPP again", 1, 0},  {"generator", 2, -1},
    {"sniffer", 3, -1},       {"options", 4, -1},         {"scope again", 0, -1},
};

struct Run
{
    bool serial = false;
    double rate = 60; // 0: the instrument sends nothing
};

QString rateName(double rate)
{
    return rate > 0 ? QString::number(rate) + "/s" : QStringLiteral("idle");
}

// One window, connected over the run's link, through every page.
bool measurePage(const Run &run, int seconds, const QString &simProgram)
{
    quorvelsim::reset();
    // An instrument that sends nothing: one frame every eleven days.
    const double rate = run.rate > 0 ? run.rate : 1e-6;
    std::unique_ptr<QProcess> sim;
    QString ptyPath;
    if (run.serial) {
        quorvelsim::setFault(quorvelsim::Fault::NoDevice); // no USB instrument at all
        sim = std::make_unique<QProcess>();
        sim->start(simProgram, {"--rate", QString::number(rate, 'g', 10)});
        if (!sim->waitForStarted(5000) || !sim->waitForReadyRead(5000)) {
            std::fprintf(stderr, "cannot start %s\n", qPrintable(simProgram));
            return false;
        }
        ptyPath = QString::fromLocal8Bit(sim->readLine()).trimmed();
    } else {
        quorvelsim::setFrameRate(rate);
    }

    quorveltest::ModalBoxCloser closer(200);
    QuorvelInterface window;
    window.resize(850, 850);
    window.show();
    if (run.serial) {
        runFor(500); // the start-up USB attempt fails
        window.findChild<QRadioButton *>("radioButton")->click();
        auto *ports = window.findChild<QComboBox *>("comboBox_9");
        ports->clear();
        ports->addItem(ptyPath + ": simulated instrument");
        window.findChild<QPushButton *>("connectButton")->click();
    }
    const QString connected = run.serial ? "Serial port Connected" : "USB Connected";
    if (!runUntil([&] { return window.windowTitle().endsWith(connected); }, 15000)) {
        std::fprintf(stderr, "%s: not connected (%s)\n", run.serial ? "serial" : "usb",
                     qPrintable(window.windowTitle()));
        return false;
    }
    runFor(1000);

    auto *mainTabs = window.findChild<QTabWidget *>("mainTabWidget");
    auto *meterTabs = window.findChild<QTabWidget *>("mmTabWidget");
    for (const Page &page : pages) {
        if (page.meter >= 0 && mainTabs->currentIndex() == 1)
            meterTabs->setCurrentIndex(page.meter);
        mainTabs->setCurrentIndex(page.main);
        if (page.meter >= 0)
            meterTabs->setCurrentIndex(page.meter);
        runFor(1000); // settled
        const double process0 = processCpuSeconds(), thread0 = threadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runFor(seconds * 1000);
        const double elapsed = wall.nsecsElapsed() * 1e-9;
        std::printf("%-7s %-6s %-16s %8.1f %8.1f\n", run.serial ? "serial" : "usb", qPrintable(rateName(run.rate)),
                    page.name, 100 * (processCpuSeconds() - process0) / elapsed,
                    100 * (threadCpuSeconds() - thread0) / elapsed);
        std::fflush(stdout);
    }
    window.close();
    runFor(200);
    if (sim) {
        sim->terminate();
        sim->waitForFinished(3000);
    }
    quorvelsim::stopPtyWire();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's settings and its log file go to a folder of their own.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.filePath("config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.filePath("config"));
    QDir::setCurrent(home.path());

    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption seconds("seconds", "Seconds measured on each page (default 3).", "S", "3");
    const QCommandLineOption link("link", "usb, serial or both (default).", "LINK", "both");
    const QCommandLineOption rate("rate", "Frames per second, 0 for none; default 60, 250 and 0.", "N");
    const QCommandLineOption sim("sim", "The simulated instrument's pseudo-terminal program.", "PATH",
                                 QCoreApplication::applicationDirPath() + "/../../simulator/quorvel-sim");
    parser.addOptions({seconds, link, rate, sim});
    parser.process(app);

    QList<double> rates{60, 250, 0};
    if (parser.isSet(rate))
        rates = {parser.value(rate).toDouble()};
    QList<bool> links{false, true};
    if (parser.value(link) == "usb")
        links = {false};
    else if (parser.value(link) == "serial")
        links = {true};

    std::printf("CPU in %% of one core, %s s a page, window 850 x 850, platform %s\n",
                qPrintable(parser.value(seconds)), qPrintable(QGuiApplication::platformName()));
    std::printf("%-7s %-6s %-16s %8s %8s\n", "link", "rate", "page", "process", "GUI");
    bool ok = true;
    for (bool serial : links)
        for (double r : rates)
            ok = measurePage({serial, r}, qMax(1, parser.value(seconds).toInt()), parser.value(sim)) && ok;
    return ok ? 0 : 1;
}
