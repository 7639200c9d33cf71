#pragma once
// The T-SQL that clients send, as SQLite understands it, and SQLite's failures as SQL Server reports them.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace demo {

// What the translation needs to know of the session.
struct SqliteNames {
    // Whether a name is a schema other than dbo (one with a SQLite table "schema.name").
    std::function<bool(std::string_view)> isSchema;
    // The current database, whose name may lead a three-part name.
    std::string database;
    // The SQL literal that stands for a global variable such as @@VERSION, if known.
    std::function<std::optional<std::string>(std::string_view)> variable;
};

// [name] becomes "name", N'text' becomes 'text', a "dbo." qualifier and a leading "database."
// of the current database are dropped, schema.name of a known schema becomes the one SQLite table
// "schema.name", and known @@variables become literals; literals and comments pass unchanged.
std::string toSqlite(std::string_view tsql, const SqliteNames& names = {});

// A SET statement, which changes nothing SQLite knows of. `length` receives its length within
// `text`: up to ';', a line end, or the ON or OFF that ends it ("SET FMTONLY ON select ...").
bool isSessionOption(std::string_view text, size_t& length);

// "SELECT [DISTINCT] TOP n" or "TOP (n)" at the start of `text`: the clause's place and the count.
struct TopClause {
    size_t begin = 0;
    size_t end = 0;
    long long count = 0;
};
std::optional<TopClause> topClause(std::string_view text);

// The first word of `text` and where it ends, after blanks.
std::string_view firstWord(std::string_view text, size_t& end);

struct ServerError {
    int number;
    int severity;
    int state;
    std::string message;
};

ServerError fromSqlite(std::string_view sqliteMessage);

} // namespace demo
