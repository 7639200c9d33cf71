// The ODBC SQL types of SQL Server's own types, and of a type nobody knows, as our layer reads them.
#include "db/Ado.h"
#include "db/OdbcTypes.h"

#include <gtest/gtest.h>

namespace {

using db::odbc::mapColumnType;
using db::odbc::ValueKind;

TEST(OdbcTypes, SqlServersOwnTypesGetTheirDecidedAdoCodes)
{
    EXPECT_EQ(mapColumnType(db::odbc::kSqlSsXml, 0, false).adoType, db::adLongVarWChar);
    EXPECT_EQ(mapColumnType(db::odbc::kSqlSsTimestampOffset, 34, false).adoType, db::adVarWChar);
    EXPECT_EQ(mapColumnType(db::odbc::kSqlSsVariant, 8000, false).adoType, db::adVariant);
    EXPECT_EQ(mapColumnType(db::odbc::kSqlSsUdt, 0, false).kind, ValueKind::Binary);
}

TEST(OdbcTypes, AnUnknownTypeIsReadAsBinaryNeverAsText)
{
    // Text conversion of an unknown type may fail or give garbage; its bytes are always there.
    for (const int sqlType : {-999, -153, 150}) {
        EXPECT_EQ(mapColumnType(sqlType, 16, false).kind, ValueKind::Binary) << sqlType;
        EXPECT_EQ(mapColumnType(sqlType, 16, false).adoType, db::adEmpty) << sqlType;
        EXPECT_FALSE(db::odbc::isKnownSqlType(sqlType)) << sqlType;
    }
    EXPECT_TRUE(db::odbc::isKnownSqlType(db::odbc::kSqlSsXml));
}

} // namespace
