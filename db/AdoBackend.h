#pragma once
// What a backend of the data-access objects provides. Connection and Recordset (Ado.h) hold the
// ADO-shaped state; a backend talks to one kind of database.

#include "db/Ado.h"
#include "paradox/Sql.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace db {

// Rows of one result, read forward only.
class Cursor {
public:
    virtual ~Cursor() = default;
    // The result's columns in order, each with a null value.
    virtual std::vector<Field> describe() = 0;
    // Reads the next row's values into `fields` (as described); false after the last row.
    virtual bool next(std::vector<Field>& fields) = 0;
    // Number of rows of the whole result, or -1 when it is not known.
    virtual std::int64_t recordCount() = 0;
    // Reads the following rows on a thread of its own while the caller works on those before;
    // the connection must then not be used until the cursor is gone. A backend that cannot read
    // ahead reads each row when it is asked for.
    virtual void readAhead() {}
    // The values of the columns marked true need not be read from the source: a backend that
    // leaves them unread gives null for them. Called before readAhead() and the first row.
    virtual void leaveUnread(const std::vector<bool>& /*columns*/) {}
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual void execute(const std::string& statement) = 0;
    // An INSERT together with what the Paradox engine's parser makes of its text: a backend
    // that runs on that engine need not read the text again; every other runs the text.
    virtual void executeInsert(const std::string& statement, const paradox::sql::Insert& /*parsed*/) { execute(statement); }
    // The table schema rowset: TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE.
    virtual std::unique_ptr<Cursor> tables() = 0;
    virtual std::unique_ptr<Cursor> query(const std::string& source) = 0;
    // Values written with '?' for characters the code page lacks (see ParadoxText).
    virtual std::int64_t alteredValues() const { return 0; }

    // A checksum of the row the last statement stored, covering every value as stored; none
    // when that statement stored no row or the backend computes none.
    virtual std::optional<std::uint64_t> lastRowChecksum() { return std::nullopt; }
    // Reads `table` back from what the database holds and calls `row` with the same checksum of
    // each of its rows and a way to name the row ("SBSID 17"). False when the backend cannot.
    using StoredRow = std::function<void(std::uint64_t checksum, const std::function<std::string()>& name)>;
    virtual bool readBack(const std::string& /*table*/, const StoredRow& /*row*/) { return false; }
};

// ADO's own texts for misuse of its objects.
inline constexpr const char* kObjectClosed = "Operation is not allowed when the object is closed.";
inline constexpr const char* kObjectOpen = "Operation is not allowed when the object is open.";
inline constexpr const char* kNoCurrentRecord =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.";
inline constexpr const char* kItemNotFound =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";

// The connection string's backend: the Paradox engine for the Paradox driver's name, else ODBC.
std::unique_ptr<Backend> openBackend(const std::string& connectionString, const Connection& settings);

} // namespace db
