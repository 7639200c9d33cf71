// A checksum per record, taken while a row is inserted and again when the table is read back
// from its files, so that a caller can prove that a table holds what it wrote.
#pragma once

#include "paradox/Table.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace paradox {

// 64 bits over every byte of every field of `record`. A blob field counts by its leader, its
// length and its contents, not by where the blob file keeps them, which another layout of the
// same rows would change. `blobs` holds the contents as given to Table::append; a blob field
// without an entry is empty.
std::uint64_t rowChecksum(const Table& table, const unsigned char* record, const std::vector<Table::Blob>& blobs);

// Opens the table of `dbPath` anew from its files (not what a writer holds in memory) and calls
// `row` with each record's checksum, blobs read from the blob file, in the table's order (key
// order when keyed). `name` gives the record's key as "K 17" (several fields: "(K, L) (1, 'x')"),
// or for a table without a key its place as "record 5". Error when the files cannot be read.
void readRowChecksums(const std::filesystem::path& dbPath,
                      const std::function<void(std::uint64_t checksum, const std::function<std::string()>& name)>& row);

}  // namespace paradox
