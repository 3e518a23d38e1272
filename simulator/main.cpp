// quorvel-sim: the simulated instrument on a pseudo-terminal. Prints the
// terminal's path on the first line of standard output and serves it until
// interrupted.

#include "simcontrol.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void usage()
{
    std::puts("usage: quorvel-sim [--rate FRAMES_PER_SECOND] [--byte-rate BYTES_PER_SECOND]");
}

} // namespace

int main(int argc, char *argv[])
{
    double rate = -1;
    int byteRate = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
            rate = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--byte-rate") == 0 && i + 1 < argc) {
            byteRate = std::atoi(argv[++i]);
        } else {
            usage();
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr); // the wire's thread inherits the mask

    quorvelsim::reset();
    if (rate >= 0)
        quorvelsim::setFrameRate(rate);
    if (byteRate >= 0)
        quorvelsim::setSerialByteRate(byteRate);
    const QString path = quorvelsim::startPtyWire();
    if (path.isEmpty()) {
        std::fprintf(stderr, "quorvel-sim: cannot open a pseudo-terminal\n");
        return 1;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    quorvelsim::stopPtyWire();
    return 0;
}
