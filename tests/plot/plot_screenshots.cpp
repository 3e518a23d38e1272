// Renders the plot against the simulated instrument with CH1, CH2, the logic
// lines and both spectra on, in the Dark and the Light theme:
//   plot_screenshots <folder> [log]   writes plot-dark.png and plot-light.png;
//   with a second argument the spectrum has a logarithmic scale
#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSlider>

#include <cstdio>

using quorveltest::waitForReplots;

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const QString outputFolder = QDir(folder).absolutePath();
    quorveltest::IsolatedEnvironment isolated; // settings and log.txt stay out of the way

    quorvelsim::reset();
    quorvelsim::setFrameRate(60);
    QuorvelInterface window;
    window.resize(1500, 850); // a plot wider than the tab column
    window.show();
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    waitForReplots(plot, 3);
    if (plot->graph(0)->dataCount() == 0) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }

    window.findChild<QCheckBox *>("checkBoxFFTCH2")->setChecked(true);
    window.findChild<QCheckBox *>("checkBoxFFTTrace")->setChecked(true);
    window.findChild<QCheckBox *>("checkBoxLogY")->setChecked(argc > 2);
    window.findChild<QSlider *>("decaySlider")->setValue(4);

    auto *theme = window.findChild<QComboBox *>("comboBoxTheme");
    const struct
    {
        int index;
        const char *file;
    } themes[] = {{0, "plot-dark.png"}, {1, "plot-light.png"}};
    for (const auto &t : themes) {
        theme->setCurrentIndex(t.index);
        emit theme->activated(t.index);
        waitForReplots(plot, 5);
        const QString path = QDir(outputFolder).filePath(QString::fromLatin1(t.file));
        if (!plot->grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
