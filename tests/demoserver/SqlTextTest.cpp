// The T-SQL the server accepts, as SQLite gets it, and SQLite's failures as SQL Server's messages.

#include "SqlText.h"
#include "Text.h"
#include "Types.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

TEST(DemoServerSqlText, BracketsBecomeQuotesOutsideLiteralsAndComments)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"SELECT * FROM [Order Details]", "SELECT * FROM \"Order Details\""},
        {"SELECT [a]]b], [x\"y] FROM t", "SELECT \"a]b\", \"x\"\"y\" FROM t"},
        {"SELECT '[not a name]', N'Grüße' FROM [t]", "SELECT '[not a name]', 'Grüße' FROM \"t\""},
        {"SELECT 'it''s [x]' -- [comment]\nFROM [t]", "SELECT 'it''s [x]' -- [comment]\nFROM \"t\""},
        {"SELECT /* [c] */ [IN] FROM dbo.[t] JOIN [dbo].[u] ON 1=1", "SELECT /* [c] */ \"IN\" FROM \"t\" JOIN \"u\" ON 1=1"},
        {"SELECT COLUMN_N'x'", "SELECT COLUMN_N'x'"},
        {"SELECT * FROM x.dbo", "SELECT * FROM x.dbo"},
    };
    for (const auto& [tsql, sqlite] : cases)
        EXPECT_EQ(demo::toSqlite(tsql), sqlite) << tsql;
}

TEST(DemoServerSqlText, KnownSchemaAndNameBecomeOneTable)
{
    const auto isSchema = [](std::string_view name) { return demo::lowerAscii(name) == "shop"; };
    const std::vector<std::pair<std::string, std::string>> cases{
        {"SELECT * FROM [Shop].[Orders]", "SELECT * FROM \"Shop.Orders\""},
        {"SELECT * FROM shop . Orders", "SELECT * FROM \"shop.Orders\""},
        {"SELECT * FROM [Shop].[Or]]ders; x]", "SELECT * FROM \"Shop.Or]ders; x\""},
        {"SELECT * FROM [Shop].[a\"b]", "SELECT * FROM \"Shop.a\"\"b\""},
        {"SELECT o.ID FROM [Orders] o", "SELECT o.ID FROM \"Orders\" o"},
        {"SELECT * FROM [dbo].[Orders]", "SELECT * FROM \"Orders\""},
        {"SELECT 'Shop.Orders' FROM t", "SELECT 'Shop.Orders' FROM t"},
    };
    for (const auto& [tsql, sqlite] : cases)
        EXPECT_EQ(demo::toSqlite(tsql, {isSchema, "Sales", {}}), sqlite) << tsql;
}

TEST(DemoServerSqlText, DatabaseQualifiersVariablesSetAndTop)
{
    const demo::SqliteNames names{{}, "Sales", [](std::string_view name) -> std::optional<std::string> {
                                      return demo::equalsNoCase(name, "@@spid") ? std::optional<std::string>("51")
                                                                                : std::nullopt;
                                  }};
    EXPECT_EQ(demo::toSqlite("select * from Sales.dbo.Orders", names), "select * from Orders");
    EXPECT_EQ(demo::toSqlite("select * from [Sales]..[Orders]", names), "select * from \"Orders\"");
    EXPECT_EQ(demo::toSqlite("select * from Other.dbo.Orders", names), "select * from Other.dbo.Orders");
    EXPECT_EQ(demo::toSqlite("select @@SPID, @@nothing, '@@spid'", names), "select 51, @@nothing, '@@spid'");

    size_t length = 0;
    const std::string batch = "SET FMTONLY ON select * from t SET FMTONLY OFF";
    ASSERT_TRUE(demo::isSessionOption(batch, length));
    EXPECT_EQ(batch.substr(0, length), "SET FMTONLY ON");
    ASSERT_TRUE(demo::isSessionOption("SET TEXTSIZE 2147483647\nselect 1", length));
    EXPECT_EQ(length, 24u);
    EXPECT_FALSE(demo::isSessionOption("SETTINGS", length));

    const auto top = demo::topClause("SELECT DISTINCT TOP (5) a FROM t");
    ASSERT_TRUE(top);
    EXPECT_EQ(std::string("SELECT DISTINCT TOP (5) a FROM t").erase(top->begin, top->end - top->begin),
              "SELECT DISTINCT a FROM t");
    EXPECT_EQ(top->count, 5);
    EXPECT_FALSE(demo::topClause("SELECT top_seller FROM t"));
    EXPECT_FALSE(demo::topClause("SELECT TOP x FROM t"));
}

TEST(DemoServerSqlText, SqliteFailuresGetSqlServerNumbers)
{
    struct Case {
        std::string sqlite;
        int number;
        std::string message;
    };
    const std::vector<Case> cases{
        {"no such table: Missing", 208, "Invalid object name 'Missing'."},
        {"no such column: Nope", 207, "Invalid column name 'Nope'."},
        {"near \"SELEC\": syntax error", 102, "Incorrect syntax near 'SELEC'."},
        {"table t already exists", 2714, "There is already an object named 't' in the database."},
        {"database is locked", 50000, "database is locked"},
    };
    for (const Case& c : cases) {
        const demo::ServerError e = demo::fromSqlite(c.sqlite);
        EXPECT_EQ(e.number, c.number) << c.sqlite;
        EXPECT_EQ(e.message, c.message) << c.sqlite;
    }
}

TEST(DemoServerTypes, DeclaredNamesGiveTheirSqlServerType)
{
    struct Case {
        const char* declared;
        demo::Kind kind;
        int length, precision, scale;
    };
    const std::vector<Case> cases{
        {"decimal(12,4)", demo::Kind::Decimal, 0, 12, 4},
        {"NUMERIC(38, 38)", demo::Kind::Numeric, 0, 38, 38},
        {"decimal", demo::Kind::Decimal, 0, 18, 0},
        {"nvarchar(max)", demo::Kind::NVarCharMax, 0, 0, 0},
        {"[varbinary(max)]", demo::Kind::VarBinaryMax, 0, 0, 0},
        {"nchar(10)", demo::Kind::NChar, 10, 0, 0},
        {"varchar", demo::Kind::VarChar, 8000, 0, 0},
        {"time(3)", demo::Kind::Time, 0, 0, 3},
        {"datetime2", demo::Kind::DateTime2, 0, 0, 7},
        {"sysname", demo::Kind::NVarChar, 128, 0, 0},
        {"INTEGER", demo::Kind::BigInt, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const demo::ColumnType t = demo::columnTypeFor(c.declared, SQLITE_NULL);
        EXPECT_EQ(t.kind, c.kind) << c.declared;
        EXPECT_EQ(t.length, c.length) << c.declared;
        EXPECT_EQ(t.precision, c.precision) << c.declared;
        EXPECT_EQ(t.scale, c.scale) << c.declared;
    }
    // An expression column takes the storage class of its first value.
    EXPECT_EQ(demo::columnTypeFor(nullptr, SQLITE_INTEGER).kind, demo::Kind::BigInt);
    EXPECT_EQ(demo::columnTypeFor(nullptr, SQLITE_TEXT).kind, demo::Kind::NVarCharMax);
}

// Encoded values against the bytes of the protocol.
TEST(DemoServerTypes, ValuesEncodeAsSqlServerSendsThem)
{
    const auto text = [](const char* s) {
        demo::Cell c;
        c.storage = SQLITE_TEXT;
        c.bytes = s;
        return c;
    };
    struct Case {
        demo::ColumnType type;
        demo::Cell cell;
        demo::Bytes expected;
    };
    const std::vector<Case> cases{
        {{demo::Kind::Money}, text("19.99"), {8, 0, 0, 0, 0, 0xDC, 0x0C, 0x03, 0x00}},  // 199900 ten-thousandths
        {{demo::Kind::SmallMoney}, text("-0.0001"), {4, 0xFF, 0xFF, 0xFF, 0xFF}},
        {{demo::Kind::Decimal, 0, 5, 2}, text("-1.005"), {5, 0, 0x65, 0, 0, 0}},     // rounds to -1.01
        {{demo::Kind::DateTime}, text("1900-01-02 00:00:01"), {8, 1, 0, 0, 0, 0x2C, 0x01, 0, 0}},
        // .999 rounds up to midnight of the next day, 45350 days after 1900-01-01
        {{demo::Kind::DateTime}, text("2024-02-29 23:59:59.999"), {8, 0x26, 0xB1, 0, 0, 0, 0, 0, 0}},
        {{demo::Kind::Date}, text("0001-01-02"), {3, 1, 0, 0}},
        {{demo::Kind::Time, 0, 0, 7}, text("00:00:00.0000001"), {5, 1, 0, 0, 0, 0}},
        {{demo::Kind::Guid}, text("00112233-4455-6677-8899-AABBCCDDEEFF"),
         {16, 0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
        {{demo::Kind::NChar, 3}, text("é"), {6, 0, 0xE9, 0, ' ', 0, ' ', 0}},
        {{demo::Kind::VarChar, 10}, text("€"), {1, 0, 0x80}},
        {{demo::Kind::NVarCharMax}, demo::Cell{}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {{demo::Kind::VarBinaryMax}, text(""), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{demo::Kind::Int}, demo::Cell{}, {0}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        demo::Bytes out;
        demo::putValue(out, cases[i].type, cases[i].cell);
        EXPECT_EQ(out, cases[i].expected) << "case " << i;
    }
}

TEST(DemoServerTypes, ValuesThatDoNotFitAreRefusedWithSqlServersError)
{
    const auto refused = [](demo::ColumnType type, const char* value) {
        demo::Cell c;
        c.storage = SQLITE_TEXT;
        c.bytes = value;
        demo::Bytes out;
        try {
            demo::putValue(out, type, c);
        } catch (const demo::ValueError& e) {
            return e.number;
        }
        return 0;
    };
    EXPECT_EQ(refused({demo::Kind::TinyInt}, "256"), 8115);
    EXPECT_EQ(refused({demo::Kind::Int}, "x"), 245);
    EXPECT_EQ(refused({demo::Kind::Decimal, 0, 4, 2}, "100.00"), 8115);
    EXPECT_EQ(refused({demo::Kind::SmallMoney}, "214748.3648"), 8115);
    EXPECT_EQ(refused({demo::Kind::Date}, "2023-02-29"), 241);
    EXPECT_EQ(refused({demo::Kind::DateTime}, "1752-12-31"), 242);
    EXPECT_EQ(refused({demo::Kind::Guid}, "not-a-guid"), 8169);
}

} // namespace
