// The journal a writer shares with its commit guardian: the steps of the commit under way and
// the files they name, as the system names them (UTF-16 on Windows).
#pragma once

#include "paradox/CommitGuard.h"

#include <cstdint>
#include <filesystem>

namespace paradox {

struct CommitGuard::Journal {
    std::uint32_t armed;    // the number of steps of the commit under way, 0 when none is
    Step steps[kMaxSteps];
    std::filesystem::path::value_type paths[kMaxFiles][kPathBytes];
};

}  // namespace paradox
