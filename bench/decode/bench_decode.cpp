// The cost of protocol decode in the window, in one run:
//  - GUI-thread CPU time of the frame pass (plotData, and the decoded result
//    taken in by the event loop after it) with three decoders (UART, SPI,
//    I2C) against none, in alternating blocks so both meet the same load;
//  - the decode time of one frame through the three decoders, as the worker
//    spends it.
//   bench_decode [passes]
#include "app/decodepanel.h"
#include "benchwindow.h"
#include "decode/decodestack.h"
#include "quorveltest.h"

#include <QMetaMethod>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <ctime>

static double threadCpuMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

int main(int argc, char *argv[])
{
    quorveltest::useOffscreenPlatform();
    QApplication app(argc, argv);
    quorveltest::IsolatedEnvironment isolated;
    const int passes = argc > 1 ? std::max(20, atoi(argv[1])) : 400;

    quorvelsim::reset();
    quorvelsim::setFrameRate(250);
    QuorvelInterface window;
    auto *plot = window.findChild<PlotWidget *>("plotterWidget");
    if (!benchwindow::loadDisplay(window, plot)) {
        std::fprintf(stderr, "no frames from the simulated instrument\n");
        return 1;
    }
    auto *panel = window.findChild<DecodePanel *>("decodePanel");
    QString error;
    QVector<decode::Stack> three;
    for (const char *text : {"uart:rx=2:tx=3:baudrate=115200", "spi:cs=2:clk=3:mosi=4:miso=5", "i2c:sda=0:scl=1"})
        three.append(decode::parseStack(QString::fromLatin1(text), &error));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    const QMetaObject *meta = window.metaObject();
    const QMetaMethod plotData = meta->method(meta->indexOfMethod("plotData()"));
    std::vector<double> cost[2]; // [0] no decoders, [1] three
    quint64 lastFrames = quorvelsim::framesDelivered();
    constexpr int Block = 20;
    for (int block = 0; int(cost[0].size() + cost[1].size()) < 2 * passes; ++block) {
        const bool decoding = block % 2;
        panel->setStacks(decoding ? three : QVector<decode::Stack>());
        QApplication::processEvents();
        for (int i = 0; i < Block; ++i) {
            while (quorvelsim::framesDelivered() < lastFrames + 1)
                QThread::usleep(200);
            lastFrames = quorvelsim::framesDelivered();
            const double start = threadCpuMicroseconds();
            plotData.invoke(&window, Qt::DirectConnection);
            // The decoded result of an earlier frame arrives through the event
            // loop: its rows and table are GUI-thread work of the pass too.
            QApplication::processEvents();
            cost[decoding].push_back(threadCpuMicroseconds() - start);
        }
    }
    panel->setStacks({});

    // The worker's time for one frame through the three decoders.
    std::vector<double> decodeTimes;
    QVector<quint8> logic(256);
    for (int i = 0; i < 200; ++i) {
        quorvelsim::framesDelivered();
        for (int k = 0; k < 256; ++k)
            logic[k] = quint8((k * 37 + i) & 0xFF);
        const auto t0 = std::chrono::steady_clock::now();
        for (const decode::Stack &s : three)
            decode::decodeFrame(s, logic, decode::sampleRateOf(2));
        decodeTimes.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }

    const double none = benchwindow::median(cost[0]), with = benchwindow::median(cost[1]);
    std::printf("frame pass, GUI-thread CPU, median of %zu passes each (32 us/div, full display load):\n",
                cost[0].size());
    std::printf("  no decoders:    %.1f us (p90 %.1f)\n", none, benchwindow::percentile(cost[0], 0.9));
    std::printf("  three decoders: %.1f us (p90 %.1f)\n", with, benchwindow::percentile(cost[1], 0.9));
    std::printf("  ratio three / none, same run: %.2f (medians)\n", with / none);
    auto mean = [](const std::vector<double> &v) {
        double sum = 0;
        for (double x : v)
            sum += x;
        return v.empty() ? 0.0 : sum / v.size();
    };
    std::printf("  means: none %.1f us, three %.1f us, ratio %.2f (a pass replots only when the display's\n"
                "  period has passed, so the mean holds the replots and the median mostly does not)\n",
                mean(cost[0]), mean(cost[1]), mean(cost[1]) / mean(cost[0]));
    std::printf("decode of one 256-sample frame through UART, SPI and I2C on the worker: median %.0f us, p90 %.0f us\n",
                benchwindow::median(decodeTimes), benchwindow::percentile(decodeTimes, 0.9));
    std::printf("  frames the worker can decode per second: %.0f\n", 1e6 / benchwindow::median(decodeTimes));
    return 0;
}
