#include "SqliteScript.h"

#include <sqlite3.h>

#include <stdexcept>

namespace dbtest {

void writeSqlite(const std::filesystem::path& file, const std::string& script,
                 const std::vector<std::vector<unsigned char>>& blobs)
{
    std::filesystem::remove(file);
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + file.string());
    const char* rest = script.c_str();
    std::size_t blob = 0;
    std::string failure;
    while (*rest && failure.empty()) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, rest, -1, &stmt, &rest) != SQLITE_OK) {
            failure = sqlite3_errmsg(db);
            break;
        }
        if (!stmt)
            continue;
        for (int i = 1; i <= sqlite3_bind_parameter_count(stmt); ++i, ++blob)
            sqlite3_bind_blob(stmt, i, blobs.at(blob).data(), static_cast<int>(blobs.at(blob).size()), SQLITE_TRANSIENT);
        if (sqlite3_step(stmt) != SQLITE_DONE)
            failure = sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    if (!failure.empty())
        throw std::runtime_error("SQLite script failed: " + failure);
}

} // namespace dbtest
