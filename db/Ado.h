#pragma once
// The data-access objects the program relies on, shaped after ADO's Connection, Recordset and
// Field. Open() picks the backend from the connection string's Driver=: the Paradox driver name
// goes to the Paradox engine, every other driver to ODBC. Every failure raises db::Error whose
// description is the driver's own text.

#include "db/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace paradox::sql {
struct Insert;
}

namespace db {

// ADO data type codes (the values of ADO's DataTypeEnum that the backends produce).
enum AdoType : int {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBSTR = 8,
    adBoolean = 11,
    adVariant = 12,
    adDecimal = 14,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adUnsignedSmallInt = 18,
    adUnsignedInt = 19,
    adBigInt = 20,
    adUnsignedBigInt = 21,
    adGUID = 72,
    adBinary = 128,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

inline constexpr int adUseServer = 2;
inline constexpr int adUseClient = 3;
inline constexpr int adOpenStatic = 3;
inline constexpr int adLockOptimistic = 3;
inline constexpr int adSchemaTables = 20;

// The one failure type of the data-access layer. what() is the driver's description
// (every diagnostic record, with its SQLSTATE where the driver gives one).
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure that every later statement or read would meet as well: the Paradox folder is gone,
// full or no longer writable; the server stopped answering within the timeout, or the
// connection to it broke.
class LastingError : public Error {
public:
    using Error::Error;
};

struct Field {
    std::string name;
    int Type = adEmpty;
    Value value;
    std::int64_t definedSize = 0;
    int precision = 0;
    int numericScale = 0;
    // Said once for the column when its values are read in a way worth telling (an unknown type).
    std::string notice{};
};

class Backend;
class Cursor;

// How the Paradox engine writes text: the code page of the tables it creates (0: its own,
// 1252), of single tables by name, and whether a character the code page lacks is written
// as '?' instead of refusing the value. Other drivers ignore it.
struct ParadoxText {
    int codePage = 0;
    std::vector<std::pair<std::string, int>> tableCodePages;
    bool replaceUnmappable = false;
};

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Stored before Open and handed to the driver by it.
    int CursorLocation = adUseServer;
    int CommandTimeout = 30;     // seconds
    int ConnectionTimeout = 15;  // seconds
    ParadoxText Text;

    void Open(const std::string& connectionString);
    // Runs one complete statement; for an INSERT, its maker may hand over its parse
    // (paradox::sql) as well.
    void Execute(const std::string& statement, const paradox::sql::Insert* parsed = nullptr);
    // Schema 20 (tables): one row per catalog object with the fields TABLE_CATALOG,
    // TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE.
    class Recordset OpenSchema(int schema);
    // Closing a connection that is not open raises db::Error.
    void Close();
    bool isOpen() const;
    // Values written with '?' for characters their table's code page lacks, since the
    // connection was last opened; kept after Close.
    std::int64_t AlteredValues() const;

    Backend& backend();

private:
    std::unique_ptr<Backend> backend_;
    std::int64_t alteredValues_ = 0;
};

class Recordset {
public:
    Recordset();
    explicit Recordset(std::unique_ptr<Cursor> cursor);
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // Set before Open: the rows after the current one are read on a thread of their own while
    // the caller works on the current one. Its connection is then used by nothing else until
    // the recordset is closed.
    bool readsAhead = false;
    // Set before Open: a column whose field this says false of is one whose values the caller
    // does not use, so they need not be read; they may then be null in every row.
    std::function<bool(const Field&)> needsValue;

    void Open(const std::string& source, Connection& activeConnection, int cursorType = adOpenStatic,
              int lockType = adLockOptimistic);
    // ADO's EOF; the C library reserves that name for a macro.
    bool Eof() const;
    bool bof() const;
    void MoveNext();
    // The current row's fields in column order of the source text. At EOF the fields keep
    // their names and types and hold null values.
    const std::vector<Field>& Fields() const;
    // The field of that name (letter case ignored), as Fields("TABLE_NAME") in ADO.
    const Field& Fields(const std::string& name) const;
    // Number of rows of the result for the progress display; -1 when it cannot be known.
    std::int64_t RecordCount();
    void Close();
    bool isOpen() const;

private:
    // `fields` as the cursor describes them.
    void attach(std::unique_ptr<Cursor> cursor, std::vector<Field> fields);
    // Raises db::Error unless the recordset is open.
    void requireOpen() const;

    std::unique_ptr<Cursor> cursor_;
    std::vector<Field> fields_;
    bool eof_ = true;
    bool bof_ = true;
};

} // namespace db
