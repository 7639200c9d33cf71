// Executes Paradox SQL statements against the tables of one folder.
#pragma once

#include "paradox/Sql.h"

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace paradox {

// Every failure of the engine.
class Error : public std::runtime_error {
public:
    using runtime_error::runtime_error;
};

// A statement the engine rejects. The text always contains "SQL error" and names the
// table, the column, the offending value or token and its 1-based character position.
class SqlError : public Error {
public:
    using Error::Error;
};

// A file-system failure. The text names the file and the system's message.
class FileError : public Error {
public:
    using Error::Error;
};

class Table;
class CommitGuard;

class Database {
public:
    explicit Database(std::filesystem::path folder);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // One statement in UTF-8, optionally ending in ';'.
    void execute(std::string_view statementUtf8);

    // The tables of the folder, as their file names spell them, without extension.
    std::vector<std::string> tableNames() const;

    const std::filesystem::path& folder() const;

    // Opens a table for reading (found without regard to letter case); SqlError when absent.
    Table& table(std::string_view nameUtf8);

private:
    Table& table(const sql::Name& name);
    void forget(std::string_view nameUtf8);

    std::filesystem::path folder_;
    std::unique_ptr<CommitGuard> guard_;                       // finishes the commits of the tables below
    std::map<std::string, std::unique_ptr<Table>> open_;       // by case-folded name
    std::map<std::string, Table*, std::less<>> byText_;        // by the name as written
    sql::Statement parsed_;                                    // the statement being executed
    std::string record_;                                       // the record being inserted
    std::string scratch_;                                      // a value's bytes on their way into it
};

}  // namespace paradox
