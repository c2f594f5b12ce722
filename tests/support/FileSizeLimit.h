#pragma once
// Makes every write of this process past Bytes fail with EFBIG (the signal it would raise ignored)
// while it lives: a full disk that needs no mount and stops root too.
#include <csignal>
#include <sys/resource.h>

class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t Bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit Limit = FOld;
        Limit.rlim_cur = Bytes;
        ::setrlimit(RLIMIT_FSIZE, &Limit);
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    struct rlimit FOld {};
    void (*FOldHandler)(int) = nullptr;
};
