// The window on the LOGIC page with UART, SPI and I2C decoders on the demo
// instrument's bus traffic, saved as a PNG:
//   decode_screenshot <file.png> [time base slider, default 1] [trigger bit, default 2]
#include "app/decodepanel.h"
#include "app/quorvelinterface.h"
#include "decode/decodestack.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <cstdio>

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    if (argc < 2) {
        std::fprintf(stderr, "usage: decode_screenshot <file.png> [time base] [trigger bit]\n");
        return 2;
    }
    const int timeBase = argc > 2 ? atoi(argv[2]) : 1;
    const int triggerBit = argc > 3 ? atoi(argv[3]) : 2;
    quorvelsim::reset();
    quorvelsim::setFrameRate(60);
    QuorvelInterface window;
    window.resize(1280, 900);
    window.show();
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    if (!quorveltest::waitForReplots(plot, 3))
        return 1;
    window.findChild<QSlider *>("samplingSlider")->setValue(timeBase);
    window.findChild<QComboBox *>("comboBoxTrigSource")->setCurrentIndex(2 + triggerBit);
    window.findChild<QRadioButton *>("radioButtonNormal")->click();
    window.findChild<QTabWidget *>("tabWidget1")->setCurrentWidget(window.findChild<QWidget *>("logicTab"));
    auto *panel = window.findChild<DecodePanel *>("decodePanel");
    QString error;
    QVector<decode::Stack> stacks;
    for (const char *text : {"uart:rx=2:tx=3:baudrate=9600:format=ascii", "spi:cs=2:clk=3:mosi=4:miso=5",
                             "i2c:sda=0:scl=1"})
        stacks.append(decode::parseStack(QString::fromLatin1(text), &error));
    panel->setStacks(stacks);
    const quint64 before = panel->framesShown();
    if (!QTest::qWaitFor([&] { return panel->framesShown() > before + 5; }, 10000))
        std::fprintf(stderr, "the decoders showed fewer than five frames in 10 s\n");
    quorveltest::waitForReplots(plot, 2);
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s could not be written\n", argv[1]);
        return 1;
    }
    std::printf("%s: %llu frames decoded\n", argv[1], (unsigned long long)(panel->framesShown() - before));
    return 0;
}
