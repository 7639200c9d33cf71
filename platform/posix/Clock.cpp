#include "platform/Clock.h"

#include <cstdint>
#include <time.h>

namespace platform {

std::chrono::milliseconds CoarseNow()
{
#ifdef CLOCK_MONOTONIC_COARSE
    constexpr clockid_t kClock = CLOCK_MONOTONIC_COARSE;
#else
    constexpr clockid_t kClock = CLOCK_MONOTONIC;
#endif
    timespec now{};
    ::clock_gettime(kClock, &now);
    return std::chrono::milliseconds(std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

} // namespace platform
