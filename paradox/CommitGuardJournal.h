// The journal a writer shares with its commit guardian: the steps of the commit under way and
// the files they name, as the system names them (UTF-16 on Windows), and the files held to a
// length.
#pragma once

#include "paradox/CommitGuard.h"

#include <cstdint>
#include <filesystem>

namespace paradox {

struct CommitGuard::Journal {
    std::uint32_t armed;    // the number of steps of the commit under way, 0 when none is
    Step steps[kMaxSteps];
    std::filesystem::path::value_type paths[kMaxFiles][kPathBytes];
    // The files written ahead of their tables (holdLength); unused on Windows.
    struct Held {
        std::uint64_t length;
        std::uint32_t used;
        std::filesystem::path::value_type path[kPathBytes];
    } held[kMaxHeld];
};

}  // namespace paradox
