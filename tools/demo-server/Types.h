#pragma once
// SQL Server column types as declared in the SQLite schema, and their TDS encoding.

#include "Wire.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace demo {

enum class Kind {
    Int, SmallInt, TinyInt, BigInt, Bit, Decimal, Numeric, Money, SmallMoney, Float, Real,
    Char, VarChar, VarCharMax, NChar, NVarChar, NVarCharMax, Text, NText,
    DateTime, SmallDateTime, DateTime2, Date, Time, Guid, Binary, VarBinary, VarBinaryMax, Image,
    Xml, DateTimeOffset, Variant, HierarchyId, Geometry, Geography, RowVersion,
};
inline constexpr Kind kLastKind = Kind::RowVersion;
// The user type COLMETADATA carries for a column (80: timestamp), 0 for the others.
uint32_t userTypeOf(Kind kind);

struct ColumnType {
    Kind kind = Kind::NVarCharMax;
    int length = 0; // characters or bytes of the (n) types
    int precision = 0;
    int scale = 0; // decimal digits; fraction digits of time and datetime2
};

// TDS protocol versions as they appear in LOGINACK.
constexpr uint32_t kTds70 = 0x70000000, kTds71 = 0x71000001, kTds72 = 0x72090002, kTds73 = 0x730B0003,
                   kTds74 = 0x74000004;

// The type a declared name stands for. A column without a known SQL Server name (an expression) takes
// the storage class of its first value: INTEGER bigint, REAL float, BLOB varbinary(max), else nvarchar(max).
ColumnType columnTypeFor(const char* declared, int firstValueClass);
// What an older client gets instead: date and time types as nvarchar below 7.3, text/ntext/image
// for the (max) types below 7.2.
ColumnType forVersion(ColumnType type, uint32_t tdsVersion);
// The SQL Server name, for messages.
std::string typeName(Kind kind);

void putTypeInfo(Bytes& out, const ColumnType& type, uint32_t tdsVersion);

// What SQL Server's catalog procedures (sp_columns, sp_datatype_info) say of a type, ODBC 3 codes.
struct OdbcFacts {
    int dataType;      // SQL_INTEGER, SQL_WVARCHAR, ...
    std::string name;  // the SQL Server type name
    int precision = 0; // digits, characters or bytes; 0 for a (max) type
    int length = 0;    // bytes of a value
    int scale = -1;    // -1: none
    int radix = 0;     // 0: none
    int dateTimeSub = 0;
    bool isUnsigned = false;
    bool money = false;
    std::string literalPrefix{}, literalSuffix{}, createParams{};
};
OdbcFacts odbcFacts(const ColumnType& type);
// One ColumnType of every kind, as sp_datatype_info lists them.
std::vector<ColumnType> everyType();

// A value that does not fit its column, reported with SQL Server's number and text.
struct ValueError {
    int number;
    std::string message;
};

// One value as SQLite holds it.
struct Cell {
    int storage = 5; // SQLITE_NULL
    int64_t integer = 0;
    double real = 0;
    std::string_view bytes; // TEXT (UTF-8) or BLOB content
};

Cell cellOf(sqlite3_stmt* statement, int column);
void putValue(Bytes& out, const ColumnType& type, const Cell& cell);

} // namespace demo
