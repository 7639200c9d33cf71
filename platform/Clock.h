#pragma once
// A clock for pacing work that asks many times a millisecond whether it is time yet: reading it
// costs a few nanoseconds where the precise clock costs tens, and its readings move in steps of
// the system's tick (1 to 16 milliseconds).

#include <chrono>

namespace platform {

// Time since a fixed moment, in steps of the system's tick.
std::chrono::milliseconds CoarseNow();

} // namespace platform
