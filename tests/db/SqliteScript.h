#pragma once
// Writes a SQLite file for the demo server: the schema declares SQL Server types, values are
// stored the SQLite way (see the demo server).

#include <filesystem>
#include <string>
#include <vector>

namespace dbtest {

// Runs `script` on a new file (replacing an old one). The blobs are bound, in order, to the
// "?" placeholders of the script.
void writeSqlite(const std::filesystem::path& file, const std::string& script,
                 const std::vector<std::vector<unsigned char>>& blobs = {});

} // namespace dbtest
