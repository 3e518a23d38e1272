// Renders, against the simulated instrument, the spectrum with its frequency
// scale and peak read-out (window and plot), the colour-graded persistence and
// the logic lines with the Parallel row and the Serial bytes:
//   spectrum_screenshots <folder>
//   writes spectrum-window.png, spectrum-plot.png, spectrum-iq.png,
//   gradient.png and parallel.png.
#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QScrollBar>
#include <QSlider>

#include <cstdio>
#include <cstdlib>

using quorveltest::waitForReplots;

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    const QString folder = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()).absolutePath();
    quorveltest::IsolatedEnvironment isolated;

    quorvelsim::reset();
    quorvelsim::setFrameRate(60);
    QuorvelInterface window;
    window.resize(1500, 850);
    window.show();
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    waitForReplots(plot, 3);
    if (plot->graph(0)->dataCount() == 0) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }
    const auto box = [&](const char *name) { return window.findChild<QCheckBox *>(name); };
    const auto save = [&](const QImage &image, const char *file) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(file));
        if (!image.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
        std::printf("%s\n", qPrintable(path));
    };

    window.findChild<QSlider *>("samplingSlider")->setValue(7); // 1 ms/div
    box("checkBoxFFTCH1")->setChecked(true);
    box("checkBoxFFTCH2")->setChecked(true);
    box("checkBoxLogY")->setChecked(true);
    box("checkBoxFFTTrace")->setChecked(true);
    waitForReplots(plot, 10);
    save(window.grab().toImage(), "spectrum-window.png");
    save(plot->grab().toImage(), "spectrum-plot.png");

    box("checkBoxIQFFT")->setChecked(true);
    window.findChild<QScrollBar *>("horizontalScrollBar")->setValue(64);
    waitForReplots(plot, 10);
    save(plot->grab().toImage(), "spectrum-iq.png");
    box("checkBoxIQFFT")->setChecked(false);
    box("checkBoxFFTTrace")->setChecked(false);

    quorvelsim::setNoiseLevel(0.12);
    box("checkBoxPersistence")->setChecked(true);
    box("checkBox_21")->setChecked(true);
    waitForReplots(plot, 120);
    save(plot->grab().toImage(), "gradient.png");
    box("checkBox_21")->setChecked(false);
    box("checkBoxPersistence")->setChecked(false);
    quorvelsim::setNoiseLevel(0.004);

    box("checkBoxCHDTrace")->setChecked(true);
    for (int n = 0; n < 8; ++n) {
        QCheckBox *line = box(qPrintable(QStringLiteral("checkBoxCHD%1").arg(n)));
        if (!line->isChecked())
            line->click();
    }
    box("checkBox")->setChecked(true);
    box("checkBox_2")->setChecked(true);
    window.findChild<QSlider *>("samplingSlider")->setValue(8); // 2 ms/div
    waitForReplots(plot, 10);
    save(plot->grab().toImage(), "parallel.png");
    return 0;
}
