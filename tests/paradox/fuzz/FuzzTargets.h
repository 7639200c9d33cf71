// The inputs the fuzzers drive: statement text, and the bytes of a table file.
// Both must end in success or a paradox::Error, never a crash or an out-of-bounds read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzz {

// Also aborts when the parser's shortcut for plain INSERTs reads the text otherwise than
// the full parser does.
void statement(const std::uint8_t* data, std::size_t size);
// What the parser makes of a statement, spelled out with every position, or its error;
// `shortcut` false reads it with the full parser alone. The parse with the shortcut goes
// into one statement reused from call to call, as the executor does.
std::string parsedForm(std::string_view statement, bool shortcut);
// Writes the bytes as a .DB file in `folder`, opens, reads and appends to it, memos and blobs
// included.
void tableFile(const std::filesystem::path& folder, const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
