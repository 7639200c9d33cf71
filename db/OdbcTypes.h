#pragma once
// From the ODBC SQL type of a result column to its ADO data type code, as ADO's own ODBC
// bridge maps them, and to the way its values are read.

#include <cstdint>

namespace db::odbc {

// SQL Server's own types as SQL Server drivers report them (SQL_SS_TIME2, SQL_SS_XML, ...).
inline constexpr int kSqlSsTime2 = -154;
inline constexpr int kSqlSsTimestampOffset = -155;
inline constexpr int kSqlSsXml = -152;
inline constexpr int kSqlSsUdt = -151;
inline constexpr int kSqlSsVariant = -150;
// A character or binary column above this size, or of size 0 (the (max) types), is long.
inline constexpr std::int64_t kLongDataThreshold = 8000;

enum class ValueKind { Text, Bit, Integer, Single, Double, Decimal, Date, Time, Timestamp, Guid, Binary };

struct ColumnType {
    int adoType;
    ValueKind kind;
};

// `columnSize` as SQLDescribeCol reports it; `isUnsigned` is SQL_DESC_UNSIGNED. A type this
// program does not know keeps ADO's empty code and is read as binary, which any type can give.
ColumnType mapColumnType(int sqlType, std::int64_t columnSize, bool isUnsigned);
bool isKnownSqlType(int sqlType);

} // namespace db::odbc
