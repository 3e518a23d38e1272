// Line noise on the serial link while the Meter page polls: random bytes at
// the line's rate (11 520 B/s, 115 200 baud) garble every meter reply. The
// program does what the window's Meter page does (a meter request every
// 200 ms on the GUI thread) and measures how long the link takes to end and
// the longest time the GUI thread was held at once (a 10 ms timer's longest
// gap), with a quiet line first as the reference. Usage: bench_serialnoise
// [runs, default 3] [cap in seconds per run, default 20]

#include "device/instrumentlink.h"
#include "simcontrol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace sim = quorvelsim;

namespace {

constexpr int meterIntervalMs = 200;
constexpr int tickMs = 10;

struct Run
{
    bool ended = false;
    qint64 endedMs = 0;
    qint64 longestGapMs = 0;
    qint64 longestRequestMs = 0;
    int requests = 0;
    int answered = 0;
};

Run measure(const QString &port, bool noise, int capSeconds)
{
    Run r;
    InstrumentLink link;
    if (!link.open(InstrumentLink::Wire::Serial, port)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(port));
        std::exit(1);
    }
    reg::DeviceSettings block;
    link.readSettings(block);
    sim::setFault(sim::Fault::SerialNoise, noise);

    QEventLoop loop;
    QTimer meter, ticker, cap;
    QElapsedTimer clock, sinceTick;
    QObject::connect(&meter, &QTimer::timeout, [&] {
        QElapsedTimer one;
        one.start();
        unsigned char reply[InstrumentLink::meterReplyLength];
        if (link.requestMeter(reply) == InstrumentLink::meterReplyLength)
            ++r.answered;
        ++r.requests;
        r.longestRequestMs = qMax(r.longestRequestMs, one.elapsed());
        if (link.isLinkLost()) {
            r.ended = true;
            r.endedMs = clock.elapsed();
            loop.quit();
        }
    });
    QObject::connect(&ticker, &QTimer::timeout, [&] { r.longestGapMs = qMax(r.longestGapMs, sinceTick.restart()); });
    QObject::connect(&cap, &QTimer::timeout, &loop, &QEventLoop::quit);
    clock.start();
    sinceTick.start();
    meter.start(meterIntervalMs);
    ticker.start(tickMs);
    cap.setSingleShot(true);
    cap.start(capSeconds * 1000);
    loop.exec();
    r.longestGapMs = qMax(r.longestGapMs, sinceTick.elapsed());
    sim::setFault(sim::Fault::SerialNoise, false);
    if (link.isLinkLost())
        link.release();
    else
        link.close();
    return r;
}

void print(const char *what, const Run &r, int capSeconds)
{
    if (r.ended)
        std::printf("%-10s link ended after %6lld ms", what, r.endedMs);
    else
        std::printf("%-10s link held for %d s (cap)  ", what, capSeconds);
    std::printf("; longest GUI wait %5lld ms, longest request %5lld ms; %d requests, %d answered\n",
                r.longestGapMs, r.longestRequestMs, r.requests, r.answered);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("device.*=false"));
    const int runs = argc > 1 ? qMax(1, std::atoi(argv[1])) : 3;
    const int capSeconds = argc > 2 ? qMax(1, std::atoi(argv[2])) : 20;
    sim::reset();
    sim::setSerialByteRate(11520);
    const QString port = sim::startPtyWire();
    if (port.isEmpty()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    print("quiet line", measure(port, false, 2), 2);
    for (int i = 0; i < runs; ++i)
        print("noise", measure(port, true, capSeconds), capSeconds);
    sim::stopPtyWire();
    return 0;
}
