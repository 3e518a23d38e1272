// What the instrument pages cost the GUI thread:
//  - the sniffer view on every plot tick: a capture that did not change (the
//    usual tick) and one that did (cleared and refilled text views), as
//    plain code and through the window's sniffProtocol;
//  - one meter update: the reply decoding and texts, and mm_request with the
//    request to the simulated instrument.
// The sniffer's figures are also given as a share of one core at the 4 ms
// plot tick.
//   bench_instruments [calls]
#include "app/quorvelinterface.h"
#include "instruments/meter.h"
#include "instruments/sniffer.h"
#include "quorveltest.h"
#include "simcontrol.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

constexpr double TickMicroseconds = 4000;

// CPU time of the calling thread, microseconds.
double cpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

// Median over batches of the CPU time of one call of `f`, microseconds.
template <typename F> double perCall(int calls, F &&f)
{
    const int batch = 50;
    std::vector<double> samples;
    for (int done = 0; done < calls; done += batch) {
        const double start = cpuMicroseconds();
        for (int i = 0; i < batch; ++i)
            f(i);
        samples.push_back((cpuMicroseconds() - start) / batch);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

QByteArray randomCapture(std::mt19937 &random, int protocol)
{
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray frame(sniffer::MinFrameLength, '\0');
    for (char &c : frame)
        c = char(byte(random));
    // Full channels: the most text a capture can make.
    const int count = protocol == sniffer::I2c ? sniffer::I2cCapacity : sniffer::ChannelCapacity;
    frame[sniffer::CountAOffset] = char(count & 0xFF);
    frame[sniffer::CountAOffset + 1] = char(count >> 8);
    frame[sniffer::CountBOffset] = char(count & 0xFF);
    frame[sniffer::CountBOffset + 1] = char(count >> 8);
    return frame;
}

void printShare(const char *what, double microseconds)
{
    std::printf("  %-44s %9.2f us  %7.3f %% of a 4 ms tick\n", what, microseconds,
                100.0 * microseconds / TickMicroseconds);
}

} // namespace

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    const int calls = argc > 1 ? std::max(100, atoi(argv[1])) : 5000;
    std::mt19937 random(20261210);

    std::printf("Sniffer view, plain code (full channels):\n");
    const char *names[] = {"SPI", "I2C", "UART"};
    for (int protocol : {sniffer::Spi, sniffer::I2c, sniffer::Uart}) {
        const QByteArray a = randomCapture(random, protocol), b = randomCapture(random, protocol);
        const auto *pa = reinterpret_cast<const unsigned char *>(a.constData());
        const auto *pb = reinterpret_cast<const unsigned char *>(b.constData());
        sniffer::View view;
        sniffer::Texts texts;
        const sniffer::Options options{protocol, false, false};
        view.update(pa, a.size(), options, texts);
        const double unchanged = perCall(calls, [&](int) { view.update(pa, a.size(), options, texts); });
        const double changed =
            perCall(calls, [&](int i) { view.update(i % 2 ? pa : pb, a.size(), options, texts); });
        std::printf(" %s\n", names[protocol]);
        printShare("unchanged capture", unchanged);
        printShare("changed capture (render)", changed);
    }

    // The window with the sniffer running on the UART page.
    quorvelsim::reset();
    quorvelsim::setFrameRate(60);
    QuorvelInterface window;
    window.show();
    auto *connectLabel = window.findChild<QLabel *>("connectLabel");
    if (!QTest::qWaitFor([&] { return connectLabel->text() == QLatin1String("USB Connected"); }, 5000)) {
        std::fprintf(stderr, "no connection to the simulated instrument\n");
        return 1;
    }
    window.findChild<QTabWidget *>("mainTabWidget")->setCurrentIndex(3);
    auto *protocols = window.findChild<QTabWidget *>("protocolTabWidget");
    protocols->setCurrentIndex(0);
    protocols->setCurrentIndex(2);
    auto *start = window.findChild<QPushButton *>("startSnifferButton");
    while (start->text() != QLatin1String("STOP") && start->isEnabled())
        start->click();
    // Let the capture fill most of its RX channel (7 bytes a message), then hold it.
    auto *rx = window.findChild<QTextEdit *>("rxTextEdit");
    if (!QTest::qWaitFor([&] { return rx->toPlainText().count("0d 0a ") >= 80; }, 10000))
        std::fprintf(stderr, "the capture stayed short: %d bytes\n", rx->toPlainText().size() / 3);
    window.findChild<QPushButton *>("pauseSnifferButton")->click();
    QTest::qWait(200); // frames already on their way

    const QMetaObject *meta = window.metaObject();
    const QMetaMethod sniff = meta->method(meta->indexOfMethod("sniffProtocol()"));
    const QMetaMethod meterUpdate = meta->method(meta->indexOfMethod("mm_request()"));
    auto *ascii = window.findChild<QCheckBox *>("checkBoxASCII");

    sniff.invoke(&window, Qt::DirectConnection);
    const double unchanged = perCall(calls, [&](int) { sniff.invoke(&window, Qt::DirectConnection); });
    // A display toggle redraws the same capture: clear and refill the views.
    const double changed = perCall(calls / 10, [&](int) {
        ascii->setChecked(!ascii->isChecked());
        sniff.invoke(&window, Qt::DirectConnection);
    });
    std::printf("Sniffer view in the window (sniffProtocol, UART capture of the simulated bus):\n");
    printShare("unchanged capture", unchanged);
    printShare("changed capture (views cleared and refilled)", changed);
    for (double framesPerSecond : {0.0, 60.0, 250.0}) {
        const double ticks = 1e6 / TickMicroseconds;
        const double perSecond = (ticks - framesPerSecond) * unchanged + framesPerSecond * changed;
        std::printf("  share of one core at a 4 ms tick, %3.0f changed captures/s: %.3f %%\n",
                    framesPerSecond, 100.0 * perSecond / 1e6);
    }

    // Meter: the reply decoding alone, then mm_request with its request.
    const unsigned char vpp[4] = {0x10, 0x27, 0x00, 0xFF};
    const unsigned char count[4] = {0x87, 0xD6, 0x12, 0x00};
    QString sink;
    const double decodeVpp = perCall(calls, [&](int) {
        sink = meter::voltsText(meter::decodeVolts(vpp[0], vpp[1])) +
               meter::voltsText(meter::decodeVolts(vpp[2], vpp[3]));
    });
    const double decodeCount = perCall(calls, [&](int) { sink = meter::counterText(count, false); });

    window.findChild<QPushButton *>("pauseSnifferButton")->click();
    start->click(); // stop the sniffer
    window.findChild<QTabWidget *>("mainTabWidget")->setCurrentIndex(1);
    const double request =
        perCall(std::max(100, calls / 20), [&](int) { meterUpdate.invoke(&window, Qt::DirectConnection); });
    std::printf("Meter update:\n");
    std::printf("  %-44s %9.3f us\n", "VPP reply to two label texts", decodeVpp);
    std::printf("  %-44s %9.3f us\n", "counter reply to its text", decodeCount);
    std::printf("  %-44s %9.2f us (GUI thread CPU, simulated instrument included)\n",
                "mm_request on the VPP page", request);
    std::printf("  %-44s %9.3f %% of one core at the 250 ms poll\n", "", 100.0 * request / 250000);
    return 0;
}
