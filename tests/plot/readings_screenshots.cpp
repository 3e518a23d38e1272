// What the plot tells the user, as PNG files for looking at by eye:
//   readings_screenshots <folder>
// writes readings-waiting.png, readings-single.png, readings-trigger-drag.png,
// readings-clipped.png (the window: the marked VPP box), readings-light-logic.png
// (the window: Light theme, logic lines, a logic trigger source, dashed
// references and the legend row), readings-cursors.png, readings-xy.png and
// readings-custom-wave.png (the format above a refused text).
#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "settings/registers.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

using quorveltest::waitForReplots;

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    const QString folder = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()).absolutePath();
    quorveltest::IsolatedEnvironment isolated;
    quorvelsim::reset();
    quorvelsim::setFrameRate(60);
    quorvelsim::setNoiseLevel(0);
    QuorvelInterface window;
    window.resize(1200, 850);
    window.show();
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    waitForReplots(plot, 3);
    auto shot = [&](const char *name) {
        waitForReplots(plot, 2, 1500);
        plot->grab().save(folder + "/" + name);
    };
    // The whole window, after the measurement boxes' next refresh.
    auto windowShot = [&](const char *name) {
        waitForReplots(plot, 2, 1500);
        QTest::qWait(400);
        window.grab().save(folder + "/" + name);
    };
    auto click = [&](const char *name) { window.findChild<QAbstractButton *>(name)->click(); };
    auto slider = [&](const char *name) { return window.findChild<QSlider *>(name); };
    auto check = [&](const char *name, bool on) { window.findChild<QCheckBox *>(name)->setChecked(on); };
    // The pixmap markers in the scene's order: cursors A, B, vertical A, B,
    // zero markers, then the trigger marker.
    auto marker = [&](int index) -> QCPItemPixmap * {
        int n = 0;
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *p = qobject_cast<QCPItemPixmap *>(plot->item(i)))
                if (n++ == index)
                    return p;
        return nullptr;
    };
    auto centre = [](QCPItemPixmap *m) {
        return (QPointF(m->left->pixelPosition().x(), m->top->pixelPosition().y()) +
                QPointF(m->pixmap().width(), m->pixmap().height()) / 2)
            .toPoint();
    };
    auto toWindow = [&](QPoint p) { return plot->mapTo(&window, p); };
    auto drag = [&](QPoint from, QPoint to, bool letGo) {
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, toWindow(from));
        QTest::mouseMove(window.windowHandle(), toWindow((from + to) / 2));
        QTest::mouseMove(window.windowHandle(), toWindow(to));
        if (letGo)
            QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, toWindow(to));
    };

    quorvelsim::pokeRegister(reg::TriggerLevel, 0);
    click("radioButtonNormal");
    QTest::qWait(1200);
    plot->replot();
    shot("readings-waiting.png");

    quorvelsim::pokeRegister(reg::TriggerLevel, 128);
    click("radioButtonSingle");
    QTest::qWait(1200);
    plot->replot();
    shot("readings-single.png");

    click("radioButtonAuto");
    QTest::qWait(300);
    // The trigger marker held and moved one division up.
    const QPoint from = centre(marker(6));
    const QPoint to = from - QPoint(0, int(plot->yAxis->coordToPixel(0) - plot->yAxis->coordToPixel(64)));
    drag(from, to, false);
    plot->replot();
    shot("readings-trigger-drag.png");
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, toWindow(to));

    // The 4 V sine at 0.32 V/div, 256 µs/div: clipped, its VPP box marked.
    slider("samplingSlider")->setValue(5);
    slider("ch1GainSlider")->setValue(4);
    windowShot("readings-clipped.png");
    slider("ch1GainSlider")->setValue(3);
    slider("samplingSlider")->setValue(7);

    // Light: logic lines, bit 3 as the trigger source, references of both
    // channels a division below the live traces, the legend row.
    click("captureButton");
    waitForReplots(plot, 2, 1500);
    check("refCH1", true);
    check("refCH2", true);
    slider("ch1CaptureSlider")->setValue(-64);
    slider("ch2CaptureSlider")->setValue(-64);
    auto *theme = window.findChild<QComboBox *>("comboBoxTheme");
    theme->setCurrentIndex(1);
    emit theme->activated(1);
    check("checkBoxCHDTrace", true);
    window.findChild<QComboBox *>("comboBoxTrigSource")->setCurrentIndex(2 + 3);
    QTest::qWait(500);
    windowShot("readings-light-logic.png");
    check("refCH1", false);
    check("refCH2", false);
    check("checkBoxCHDTrace", false);
    window.findChild<QComboBox *>("comboBoxTrigSource")->setCurrentIndex(0);
    theme->setCurrentIndex(0);
    emit theme->activated(0);

    // Cursors on CH1 with Track, the vertical ones dragged to the right edge:
    // ΔT and 1/ΔT stay readable below them.
    click("radioButtonCursorCH1");
    click("checkBoxCursorVertical");
    click("checkBoxCursorTrack");
    waitForReplots(plot, 2, 1500);
    const int right = plot->axisRect()->rect().right() - 2;
    for (int index : {3, 2}) {
        const QPoint grip = centre(marker(index));
        drag(grip, QPoint(index == 3 ? right : right - 60, grip.y()), true);
    }
    shot("readings-cursors.png");
    click("checkBoxCursorTrack");
    click("checkBoxCursorVertical");
    click("radioButtonCursorNone");

    check("checkBoxVectors", true);
    click("xyMode");
    QTest::qWait(500);
    windowShot("readings-xy.png");
    click("xyMode");

    // The custom wave page with a text typed: the format stays in sight.
    auto *pages = window.findChild<QTabWidget *>("mainTabWidget");
    pages->setCurrentIndex(2);
    window.findChild<QPlainTextEdit *>("textEditCSV")->setPlainText("1.5,300,abc");
    click("saveAWGButton");
    windowShot("readings-custom-wave.png");
    return 0;
}
