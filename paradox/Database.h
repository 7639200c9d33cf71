// Executes Paradox SQL statements against the tables of one folder.
#pragma once

#include "paradox/CodePage.h"
#include "paradox/Format.h"
#include "paradox/Problem.h"
#include "paradox/Sql.h"
#include "paradox/Table.h"

#include <array>
#include <filesystem>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
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
// A refused value or row also carries the kind of problem and its column, for callers
// that count refusals.
class SqlError : public Error {
public:
    using Error::Error;
    SqlError(const std::string& what, Problem problem, std::string column, std::string columnType)
        : Error(what), problem_(problem), column_(std::move(column)), columnType_(std::move(columnType))
    {
    }
    Problem problem() const { return problem_; }
    // Empty when the problem is not one column's.
    const std::string& column() const { return column_; }
    // The column's type as a reason names it: "Alpha 40", "Long".
    const std::string& columnType() const { return columnType_; }

private:
    Problem problem_ = Problem::Other;
    std::string column_;
    std::string columnType_;
};

// A file-system failure. The text names the file and the system's message; code() is the
// system's error number, 0 when there is none.
class FileError : public Error {
public:
    explicit FileError(const std::string& what, int code = 0) : Error(what), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// The folder itself can take no more writes: it is gone, its disk is full, or it is no longer
// writable. Every later statement that writes would fail the same way. The text names the
// folder and the cause.
class FolderError : public FileError {
public:
    using FileError::FileError;
};

// Another program writes the folder; the text names the folder.
class FolderInUseError : public FileError {
public:
    using FileError::FileError;
};

// How the tables a Database creates hold their text, and what becomes of a character their
// code page lacks.
struct TextOptions {
    std::uint16_t codePage = 1252;                   // of every table created
    std::map<std::string, std::uint16_t> tables;     // of single tables, by case-folded name
    bool replaceUnmappable = false;                  // write '?' for it instead of refusing the value

    // These options with the names of `tables` case-folded; Error for a code page the engine
    // writes no tables in.
    TextOptions checked() const;
    // The code page a table of this name is created in, once checked().
    std::uint16_t codePageOf(std::string_view tableUtf8) const;
};

class CommitGuard;
class FolderLock;

class Database {
public:
    explicit Database(std::filesystem::path folder);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // One statement in UTF-8, optionally ending in ';'. The first statement takes the
    // folder's writer lock. A failure of the folder itself is raised as FolderError.
    void execute(std::string_view statementUtf8);
    // The same for an INSERT that its maker hands over parsed as well: `parsed` is what
    // sql::parse makes of the text, so the text is not read again. It stays the statement
    // that error positions count in, and `parsed` may point into it.
    void execute(std::string_view statementUtf8, const sql::Insert& parsed);

    // The checksum (RowChecksum.h) of the row the last statement inserted; none after any other
    // statement and after a failed one.
    std::optional<std::uint64_t> lastRowChecksum() const;

    // Takes the folder's writer lock now, held until the Database closes; FolderInUseError
    // when another writer holds it. Reading tables needs no lock.
    void lockForWriting();

    // The tables of the folder, as their file names spell them, without extension.
    std::vector<std::string> tableNames();

    const std::filesystem::path& folder() const;

    // Opens a table for reading (found without regard to letter case); SqlError when absent.
    Table& table(std::string_view nameUtf8);

    // For the statements from here on; Error for a code page the engine writes no tables in.
    void setTextOptions(TextOptions options);
    // Values written with '?' for characters their table's code page lacks, so far.
    std::uint64_t alteredValues() const { return alteredValues_; }

private:
    // A dropped table whose files are still in place: the DROP TABLE waits for the statement
    // after it. A CREATE TABLE of the same name builds the new table under a temporary name
    // (`newStem`), and the old table gives way only when that CREATE and the CREATE INDEX that
    // follows have gone through; a failed CREATE or CREATE INDEX leaves the old table as it was.
    struct Replacement {
        std::string name;       // as the DROP wrote it
        std::string folded;     // its case-folded name
        std::string newStem;    // empty until the CREATE TABLE
    };

    // `parsed` null: the text is parsed here.
    void execute(std::string_view statementUtf8, const sql::Insert* parsed);
    void run(std::string_view statementUtf8, const sql::Insert* parsed);
    void lookAtFolder(bool inserting);
    // One statement of each kind.
    void perform(const sql::DropTable& statement);
    void perform(const sql::CreateTable& statement);
    void perform(const sql::CreateIndex& statement);
    void perform(const sql::Insert& statement);
    // Raises FolderError when the folder is no longer the one this Database opened.
    void checkFolder() const;
    Table& table(const sql::Name& name);
    // The table's .DB file, found without regard to case.
    std::optional<std::filesystem::path> dbFile(std::string_view nameUtf8);
    void forget(std::string_view nameUtf8);
    void close(std::map<std::string, std::unique_ptr<Table>>::iterator table);
    // Closes the tables opened longest ago while as many are open as are kept open.
    void closeOldestTables();
    // Makes a waiting DROP take effect: the table goes, or its replacement takes its place.
    void settle();
    void createTable(const sql::CreateTable& statement, const std::string& nameInCodePage);
    void insert(const sql::Insert& statement);

    std::filesystem::path folder_;
    std::unique_ptr<FolderLock> lock_;                         // released after the guardian ended
    std::unique_ptr<CommitGuard> guard_;                       // finishes the commits of the tables below
    std::map<std::string, std::unique_ptr<Table>> open_;       // by case-folded name
    std::map<std::string, std::uint64_t> openedAt_;            // when each of them was opened
    std::uint64_t openings_ = 0;
    std::map<std::string, Table*, std::less<>> byText_;        // by the name as written
    std::map<std::string, std::filesystem::path> dbFiles_;     // .DB files found or made, by case-folded name
    std::optional<Replacement> replacing_;
    std::uint64_t folderDevice_ = 0, folderInode_ = 0;
    std::uint32_t insertsUnchecked_ = 0;                       // since the folder was last looked at
    TextOptions text_;
    std::uint64_t alteredValues_ = 0;
    sql::Statement parsed_;                                    // the statement being executed
    CodePage codePage_ = CodePage::of(Header{});               // of the table names it checks
    std::string record_;                                       // the record being inserted
    std::vector<Table::Blob> blobs_;                           // and the contents of its blob fields
    std::string scratch_;                                      // a value's bytes on their way into it
    // The table the last statement inserted its row into, whose checksum is taken of
    // record_ and blobs_ when asked for: most runs never ask.
    const Table* lastInsertedInto_ = nullptr;
};

}  // namespace paradox
