#include "device/wire.h"

#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcWire, "device.link")

namespace {
// How often the GUI thread looks for a link lost on another thread.
constexpr int linkWatchIntervalMs = 20;
} // namespace

InstrumentWire::InstrumentWire(QObject *parent) : QObject(parent)
{
    connect(&linkWatch, &QTimer::timeout, this, &InstrumentWire::reportLinkLost);
}

InstrumentWire::~InstrumentWire() = default;

void InstrumentWire::publishFrame()
{
    if (!dataReady.exchange(true, std::memory_order_acq_rel))
        emit frameArrived();
}

void InstrumentWire::watchForLoss()
{
    linkWatch.start(linkWatchIntervalMs);
}

void InstrumentWire::markLinkLost(LinkLoss reason)
{
    int none = int(LinkLoss::None);
    if (!lossReason.compare_exchange_strong(none, int(reason), std::memory_order_acq_rel))
        return;
    // From another thread the watch timer reports it, so receivers always
    // hear it on the GUI thread.
    if (QThread::currentThread() == thread())
        reportLinkLost();
}

void InstrumentWire::reportLinkLost()
{
    if (linkLostReported || !isLinkLost())
        return;
    linkLostReported = true;
    linkWatch.stop();
    qCDebug(lcWire) << "link lost";
    emit linkLostDetected();
}

bool InstrumentWire::failedInARow(bool answered)
{
    if (!connected)
        return false;
    if (answered) {
        failedRequests = 0;
        return false;
    }
    if (++failedRequests < maxFailedRequests)
        return false;
    qCDebug(lcWire) << failedRequests << "requests without a usable answer in a row";
    return true;
}

bool InstrumentWire::acceptReply(qint64 n)
{
    lastReadLength = n;
    if (n < 0) {
        errorText = QStringLiteral("Read Error!");
        qCDebug(lcWire) << "read error: " << n;
        return false;
    }
    if (n <= replyBufferSize - 1)
        inBuffer[n] = 0;
    return true;
}

void InstrumentWire::resetLinkState()
{
    linkWatch.stop();
    connected = false;
    dataReady = false;
    lossReason = int(LinkLoss::None);
    linkLostReported = false;
    failedRequests = 0;
}
