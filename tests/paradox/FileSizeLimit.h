// POSIX only: files this process writes may not grow past a size while it lives, which stands in
// for a full disk. A write past it fails with EFBIG instead of raising SIGXFSZ.
#pragma once

#include <csignal>
#include <cstdint>
#include <sys/resource.h>

namespace ptest {

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t bytes)
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &previous_);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = rlim_t(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, &previous_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct sigaction previous_ {};
    rlimit saved_{};
};

}  // namespace ptest
