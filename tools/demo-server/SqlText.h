#pragma once
// The T-SQL that clients send, as SQLite understands it, and SQLite's failures as SQL Server reports them.

#include <functional>
#include <string>
#include <string_view>

namespace demo {

// [name] becomes "name", N'text' becomes 'text', a "dbo." qualifier is dropped, and
// schema.name, for a schema that `isSchema` knows, becomes the one SQLite table "schema.name";
// literals and comments pass unchanged.
std::string toSqlite(std::string_view tsql, const std::function<bool(std::string_view)>& isSchema = {});

// True for a statement SQLite has no equivalent of and that changes nothing here (SET options).
// `length` receives the length of that statement within `text`.
bool isSessionOption(std::string_view text, size_t& length);

struct ServerError {
    int number;
    int severity;
    int state;
    std::string message;
};

ServerError fromSqlite(std::string_view sqliteMessage);

} // namespace demo
