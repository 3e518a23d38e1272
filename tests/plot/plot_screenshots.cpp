// Renders the plot against the simulated instrument with CH1, CH2, the logic
// lines and both spectra on, in the Dark and the Light theme:
//   plot_screenshots <folder> [log] [--compare] [--persistence]
//   writes plot-dark.png and plot-light.png; with "log" the spectrum has a
//   logarithmic scale. --compare also draws the same data with the library's
//   own drawing (plot-<theme>-library.png) and prints how many pixels differ;
//   --persistence shows the logic lines and turns persistence on for a second
//   before each shot.
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

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using quorveltest::waitForReplots;

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    QStringList positional;
    bool compare = false, persistence = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == "--compare")
            compare = true;
        else if (a == "--persistence")
            persistence = true;
        else
            positional << a;
    }
    const QString folder = positional.value(0, QDir::currentPath());
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
    window.findChild<QCheckBox *>("checkBoxLogY")->setChecked(positional.size() > 1);
    window.findChild<QCheckBox *>("checkBoxCHDTrace")->setChecked(persistence);
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
        if (persistence) {
            window.findChild<QCheckBox *>("checkBoxPersistence")->setChecked(true);
            waitForReplots(plot, 60);
        }
        // Both drawings of the same data: no event is handled between them.
        plot->setCheapDrawing(true);
        plot->replot();
        const QImage shot = plot->grab().toImage();
        const QString path = QDir(outputFolder).filePath(QString::fromLatin1(t.file));
        if (!shot.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
        if (compare) {
            plot->setCheapDrawing(false);
            plot->replot();
            const QImage library = plot->grab().toImage();
            plot->setCheapDrawing(true);
            const QString libraryPath = QString(path).replace(".png", "-library.png");
            library.save(libraryPath);
            int differing = 0, maxDifference = 0;
            for (int y = 0; y < shot.height() && y < library.height(); ++y)
                for (int x = 0; x < shot.width() && x < library.width(); ++x) {
                    const QRgb a = shot.pixel(x, y), b = library.pixel(x, y);
                    const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                            std::abs(qBlue(a) - qBlue(b))});
                    differing += d > 0;
                    maxDifference = std::max(maxDifference, d);
                }
            std::printf("%s: %d of %d pixels differ from the library's drawing, by up to %d of 255\n",
                        qPrintable(libraryPath), differing, shot.width() * shot.height(), maxDifference);
        }
        window.findChild<QCheckBox *>("checkBoxPersistence")->setChecked(false);
    }
    return 0;
}
