#include "platform/Clock.h"

#include <windows.h>

namespace platform {

std::chrono::milliseconds CoarseNow() { return std::chrono::milliseconds(::GetTickCount64()); }

} // namespace platform
