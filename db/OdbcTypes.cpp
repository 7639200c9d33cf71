#include "db/OdbcTypes.h"

#include "db/Ado.h"
#include "db/OdbcHandles.h"

namespace db::odbc {

ColumnType mapColumnType(int sqlType, std::int64_t columnSize, bool isUnsigned)
{
    const bool isLong = columnSize == 0 || columnSize > kLongDataThreshold;
    switch (sqlType) {
    case SQL_CHAR:
        return {isLong ? adLongVarChar : adChar, ValueKind::Text};
    case SQL_VARCHAR:
        return {isLong ? adLongVarChar : adVarChar, ValueKind::Text};
    case SQL_LONGVARCHAR:
        return {adLongVarChar, ValueKind::Text};
    case SQL_WCHAR:
        return {isLong ? adLongVarWChar : adWChar, ValueKind::Text};
    case SQL_WVARCHAR:
        return {isLong ? adLongVarWChar : adVarWChar, ValueKind::Text};
    case SQL_WLONGVARCHAR:
        return {adLongVarWChar, ValueKind::Text};
    case SQL_BIT:
        return {adBoolean, ValueKind::Bit};
    case SQL_TINYINT:
        return {isUnsigned ? adUnsignedTinyInt : adTinyInt, ValueKind::Integer};
    case SQL_SMALLINT:
        return {isUnsigned ? adUnsignedSmallInt : adSmallInt, ValueKind::Integer};
    case SQL_INTEGER:
        return {isUnsigned ? adUnsignedInt : adInteger, ValueKind::Integer};
    case SQL_BIGINT:
        // An unsigned 64-bit value may not fit the signed integer; its exact text does.
        return isUnsigned ? ColumnType{adUnsignedBigInt, ValueKind::Decimal} : ColumnType{adBigInt, ValueKind::Integer};
    case SQL_REAL:
        return {adSingle, ValueKind::Single};
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return {adDouble, ValueKind::Double};
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return {adNumeric, ValueKind::Decimal};
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return {adDBDate, ValueKind::Date};
    case SQL_TYPE_TIME:
    case SQL_TIME:
    case kSqlSsTime2:
        return {adDBTime, ValueKind::Time};
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return {adDBTimeStamp, ValueKind::Timestamp};
    case SQL_GUID:
        return {adGUID, ValueKind::Guid};
    case SQL_BINARY:
        return {isLong ? adLongVarBinary : adBinary, ValueKind::Binary};
    case SQL_VARBINARY:
        return {isLong ? adLongVarBinary : adVarBinary, ValueKind::Binary};
    case SQL_LONGVARBINARY:
    case kSqlSsUdt: // hierarchyid, geometry, geography: their bytes
        return {adLongVarBinary, ValueKind::Binary};
    case kSqlSsXml:
        return {adLongVarWChar, ValueKind::Text};
    case kSqlSsTimestampOffset:
        // SQL Server's own text "YYYY-MM-DD hh:mm:ss[.fffffff] +hh:mm" keeps the offset and every digit.
        return {adVarWChar, ValueKind::Text};
    case kSqlSsVariant:
        // The value as the text of its base type.
        return {adVariant, ValueKind::Text};
    default:
        return {adEmpty, ValueKind::Binary};
    }
}

bool isKnownSqlType(int sqlType)
{
    return mapColumnType(sqlType, 1, false).adoType != adEmpty;
}

} // namespace db::odbc
