// The plot's state and trigger texts as PNG files, for looking at by eye:
//   readings_screenshots <folder>
// writes readings-waiting.png, readings-single.png, readings-trigger-drag.png
// readings-light-logic.png and readings-xy.png.
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
#include <QRadioButton>

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
    window.resize(1200, 850);
    window.show();
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    waitForReplots(plot, 3);
    auto shot = [&](const char *name) {
        waitForReplots(plot, 2, 1500);
        plot->grab().save(folder + "/" + name);
    };
    auto click = [&](const char *name) { window.findChild<QAbstractButton *>(name)->click(); };

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
    QCPItemPixmap *trigger = nullptr;
    int n = 0;
    for (int i = 0; i < plot->itemCount(); ++i)
        if (auto *p = qobject_cast<QCPItemPixmap *>(plot->item(i)))
            if (n++ == 6)
                trigger = p;
    const QPoint from = (QPointF(trigger->left->pixelPosition().x(), trigger->top->pixelPosition().y()) +
                         QPointF(trigger->pixmap().width(), trigger->pixmap().height()) / 2)
                            .toPoint();
    const QPoint to = from - QPoint(0, int(plot->yAxis->coordToPixel(0) - plot->yAxis->coordToPixel(64)));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, plot->mapTo(&window, from));
    QTest::mouseMove(window.windowHandle(), plot->mapTo(&window, (from + to) / 2));
    QTest::mouseMove(window.windowHandle(), plot->mapTo(&window, to));
    plot->replot();
    shot("readings-trigger-drag.png");
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, plot->mapTo(&window, to));

    auto *theme = window.findChild<QComboBox *>("comboBoxTheme");
    theme->setCurrentIndex(1);
    emit theme->activated(1);
    window.findChild<QCheckBox *>("checkBoxCHDTrace")->setChecked(true);
    window.findChild<QComboBox *>("comboBoxTrigSource")->setCurrentIndex(2 + 3);
    QTest::qWait(500);
    shot("readings-light-logic.png");

    theme->setCurrentIndex(0);
    emit theme->activated(0);
    window.findChild<QCheckBox *>("checkBoxCHDTrace")->setChecked(false);
    window.findChild<QCheckBox *>("checkBoxVectors")->setChecked(true);
    click("xyMode");
    QTest::qWait(500);
    shot("readings-xy.png");
    return 0;
}
