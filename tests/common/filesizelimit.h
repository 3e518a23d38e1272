#pragma once
// A full disk for one stretch of a test, without root: the process may not
// write past `bytes` in any file (RLIMIT_FSIZE), a write beyond it fails with
// EFBIG, and SIGXFSZ is ignored so the failure reaches the program as a short
// write. Both are put back when the limit goes out of scope.

#include <csignal>
#include <sys/resource.h>

namespace quorveltest {

class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return active; }

private:
    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
    bool active = false;
};

} // namespace quorveltest
