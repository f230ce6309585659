#pragma once

#include <csignal>

#include <sys/resource.h>

namespace zqb::test {

// For its life, files this process writes stop at `bytes` (RLIM_INFINITY: no limit): a write
// beyond it fails for real, as on a full disk, and the signal it would raise is ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : oldSignal_(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        rlimit limited = before_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, oldSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit before_{};
    void (*oldSignal_)(int);
};

}  // namespace zqb::test
