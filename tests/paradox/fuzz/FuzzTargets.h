// The inputs the fuzzers drive: statement text, and the bytes of a table file.
// Both must end in success or a paradox::Error, never a crash or an out-of-bounds read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace fuzz {

void statement(const std::uint8_t* data, std::size_t size);
// Writes the bytes as a .DB file in `folder`, opens, reads and appends to it.
void tableFile(const std::filesystem::path& folder, const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
