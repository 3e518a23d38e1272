// The command line's CSV against sigrok-cli's, in CPU seconds (user + system)
// per million samples of 2 analog and 8 logic values, run side by side in
// turns: a capture of 4000 frames (1 024 000 samples) from the simulated
// instrument at full speed, and sigrok-cli's demo device writing the same
// number of samples as CSV. Each run's output goes to a file in a temporary
// folder.
//
//   bench_capture_csv [runs]        (default 3; needs sigrok-cli on PATH)

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double Samples = 4000.0 * 256;

// Runs the program with its output and errors to /dev/null; CPU seconds, or
// -1 when it did not end with 0.
double cpuSeconds(const QStringList &command)
{
    std::vector<QByteArray> words;
    for (const QString &w : command)
        words.push_back(w.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec * 1e-6;
}

} // namespace

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir dir;
    const QStringList ours = {QStringLiteral(QUORVEL_CLI_DEMO), "--rate", "0", "capture", "--frames", "4000",
                              "--out", dir.filePath("q.csv")};
    const QStringList theirs = {"sigrok-cli", "-d", "demo:analog_channels=2:logic_channels=8", "--config",
                                "samplerate=1000000", "--samples", "1024000", "-O", "csv", "-o", dir.filePath("s.csv")};
    std::printf("CPU seconds per million samples (2 analog + 8 logic values)\n");
    std::printf("%4s %12s %12s %8s\n", "run", "quorvel-cli", "sigrok-cli", "ratio");
    for (int run = 1; run <= runs; ++run) {
        const double q = cpuSeconds(ours) / Samples * 1e6;
        const double s = cpuSeconds(theirs) / Samples * 1e6;
        if (q < 0 || s < 0) {
            std::printf("a run failed (is sigrok-cli installed?)\n");
            return 1;
        }
        std::printf("%4d %12.3f %12.3f %8.2f\n", run, q, s, q / s);
    }
    return 0;
}
