// Renders the custom theme dialog in front of the main window (Dark and Light
// theme), the colour chooser, and the main window in a custom theme, against
// the simulated instrument, into PNG files for looking at by eye:
//   theme_screenshots <folder>
#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "themes/customtheme.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <cstdio>

namespace {

void waitForReplots(QCustomPlot *plot, int n)
{
    QSignalSpy spy(plot, &QCustomPlot::afterReplot);
    QElapsedTimer clock;
    clock.start();
    while (spy.count() < n && clock.elapsed() < 10000)
        spy.wait(100);
}

// The dialog drawn centred over the window, with a dark rim where a window
// manager would draw its frame.
QImage composite(QWidget *window, QWidget *dialog)
{
    QImage image = window->grab().toImage();
    const QImage front = dialog->grab().toImage();
    QPainter painter(&image);
    const QPoint at((image.width() - front.width()) / 2, (image.height() - front.height()) / 2);
    painter.fillRect(QRect(at + QPoint(4, 4), front.size()), QColor(0, 0, 0, 70));
    painter.drawImage(at, front);
    painter.setPen(QColor(90, 90, 96));
    painter.drawRect(QRect(at - QPoint(1, 1), front.size() + QSize(1, 1)));
    return image;
}

bool save(const QImage &image, const QString &folder, const char *name)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    const QString folder =
        QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()).absolutePath();
    quorveltest::IsolatedEnvironment isolated; // settings and log.txt stay out of the way

    quorvelsim::reset();
    quorvelsim::setFrameRate(60);
    QuorvelInterface window;
    window.resize(1400, 850);
    window.show();
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    waitForReplots(plot, 3);

    auto *theme = window.findChild<QComboBox *>("comboBoxTheme");
    auto *dialog = window.findChild<CustomTheme *>();
    if (!plot || !theme || !dialog) {
        std::fprintf(stderr, "window parts missing\n");
        return 1;
    }

    const struct
    {
        int index;
        const char *file;
    } backdrops[] = {{0, "dialog-dark.png"}, {1, "dialog-light.png"}};
    for (const auto &b : backdrops) {
        theme->setCurrentIndex(b.index);
        emit theme->activated(b.index);
        waitForReplots(plot, 3);
        theme->setCurrentIndex(2);
        emit theme->activated(2); // shows the dialog
        QApplication::processEvents();
        if (!save(composite(&window, dialog), folder, b.file))
            return 1;
        dialog->close();
    }

    // The colour chooser, as the "BIT 3 REF" button opens it.
    QImage chooser;
    QTimer::singleShot(200, [&] {
        if (auto *c = qobject_cast<QColorDialog *>(QApplication::activeModalWidget())) {
            chooser = c->grab().toImage();
            c->reject();
        }
    });
    theme->setCurrentIndex(2);
    emit theme->activated(2);
    dialog->findChild<QPushButton *>("bit3RefButton")->click();
    if (chooser.isNull() || !save(chooser, folder, "colour-chooser.png"))
        return 1;

    // A custom theme: deep blue background, amber and cyan traces, pale grid.
    CustomColors *colors = dialog->colorTable();
    colors->setColor("BACKGROUND", QColor(16, 24, 48));
    colors->setColor("CH1", QColor(255, 190, 40));
    colors->setColor("CH2", QColor(60, 220, 235));
    colors->setColor("GRID", QColor(90, 110, 150));
    colors->setColor("AXES", QColor(200, 210, 230));
    colors->setColor("LABELS", QColor(255, 190, 40));
    for (int n = 0; n < CustomColors::LogicLines; ++n)
        colors->setColor(CustomColors::bitName(n), QColor::fromHsv(30 * n, 160, 255));
    dialog->colorizeButtons();
    dialog->findChild<QPushButton *>("applyButton")->click();
    waitForReplots(plot, 5);
    return save(window.grab().toImage(), folder, "window-custom.png") ? 0 : 1;
}
