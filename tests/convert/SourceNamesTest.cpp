// How the run names and reads its source tables: hostile names stay names, tables outside dbo are
// read schema-qualified, and same-named tables of two schemas get schema_table in Paradox. The
// demo server keeps table Name of schema Schema as the SQLite table "Schema.Name".
#include "DemoServer.h"
#include "RunFixture.h"
#include "SqliteScript.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>

using runtest::RunHarness;

namespace {

const bool driverRegistered = (testsupport::registerSqlServerDriver(), true);

// Names that would run a second statement, or read another table, if pasted into SQL text.
const std::vector<std::string> kHostile{
    "Victim]; DELETE FROM [Victim",
    "Victim]; DROP TABLE [Victim",
    "Victim'; DELETE FROM Victim; --",
    "[Victim",
    "Victim\"; DELETE FROM \"Victim",
    "semi;colon with blanks",
};

// A SQLite name literal: between double quotes, quotes doubled.
std::string sqliteName(const std::string& name)
{
    std::string out = "\"";
    for (const char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::filesystem::path hostileDatabase()
{
    std::string script = "CREATE TABLE Victim (ID int, Tag nvarchar(60));"
                         "INSERT INTO Victim VALUES (1, 'victim one'), (2, 'victim two'), (3, 'victim three');";
    for (std::size_t i = 0; i < kHostile.size(); ++i)
        script += "CREATE TABLE " + sqliteName(kHostile[i]) + " (ID int, Tag nvarchar(60));INSERT INTO " +
                  sqliteName(kHostile[i]) + " VALUES (" + std::to_string(i) + ", 'own row " + std::to_string(i) + "');";
    const auto file = testsupport::freshFolder("hostile-names") / "Hostile.sqlite";
    dbtest::writeSqlite(file, script);
    return file;
}

std::filesystem::path schemaDatabase()
{
    const auto file = testsupport::freshFolder("schemas") / "Schemas.sqlite";
    dbtest::writeSqlite(file, "CREATE TABLE Customers (ID int, Name nvarchar(30));"
                              "INSERT INTO Customers VALUES (1, 'dbo customer');"
                              "CREATE TABLE \"Shop.CUSTOMERS\" (ID int, Name nvarchar(30));"
                              "INSERT INTO \"Shop.CUSTOMERS\" VALUES (7, 'shop customer');"
                              "CREATE TABLE \"Shop.Products\" (ID int, Title nvarchar(30));"
                              "INSERT INTO \"Shop.Products\" VALUES (5, 'shop product');"
                              "CREATE TABLE Ledger (ID int);"
                              "INSERT INTO Ledger VALUES (11);"
                              "CREATE TABLE \"sys.Hidden\" (ID int);"
                              "CREATE TABLE \"INFORMATION_SCHEMA.Hidden\" (ID int);");
    return file;
}

MSSQL::Login loginFor(const testsupport::DemoServer& server, const std::string& database)
{
    return {"127.0.0.1", std::to_string(server.port()), database, server.user(), server.password(), false, {}};
}

long rowCount(const testsupport::DemoServer& server, const std::string& database, const std::string& table)
{
    db::Connection connection;
    connection.Open(server.connectionString(database));
    db::Recordset rows;
    rows.Open("SELECT COUNT(*) FROM " + MSSQL::Bracketed(table), connection);
    const long count = std::get<std::int64_t>(rows.Fields().at(0).value);
    rows.Close();
    return count;
}

bool anyStatementHolds(const std::vector<std::string>& statements, const std::string& piece)
{
    return std::ranges::any_of(statements, [&](const std::string& s) { return s.find(piece) != std::string::npos; });
}

TEST(SourceNames, HostileTableNamesReadTheirOwnRowsAndChangeNothing)
{
    testsupport::DemoServer server({{"Hostile", hostileDatabase()}});
    ASSERT_EQ(rowCount(server, "Hostile", "Victim"), 3);

    RunHarness h;
    h.frontend.folder = runtest::samplesCopy("hostile-run").string();
    h.frontend.loginFields = loginFor(server, "Hostile");
    // Collected for a preview that is left unexecuted: only the source side is under test here.
    h.frontend.preview = true;
    h.frontend.wholeRun = true;
    const convert::RunResult result = h.run();
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    EXPECT_TRUE(h.dialogs.errorReports().empty()) << h.dialogs.errorReports().front();

    EXPECT_EQ(rowCount(server, "Hostile", "Victim"), 3);
    for (std::size_t i = 0; i < kHostile.size(); ++i) {
        EXPECT_EQ(rowCount(server, "Hostile", kHostile[i]), 1) << kHostile[i];
        EXPECT_TRUE(anyStatementHolds(h.frontend.statements, "'own row " + std::to_string(i) + "'")) << kHostile[i];
    }
    const auto victim = std::ranges::find(result.tables, std::string("Victim"), &convert::TableSummary::table);
    ASSERT_NE(victim, result.tables.end());
    EXPECT_EQ(victim->rowsWritten, 3);
    EXPECT_EQ(result.tables.size(), kHostile.size() + 1);
}

TEST(SourceNames, BracketingDoublesClosingBracketsOnly)
{
    EXPECT_EQ(MSSQL::Bracketed("Orders"), "[Orders]");
    EXPECT_EQ(MSSQL::Bracketed("a]b[c"), "[a]]b[c]");
    EXPECT_EQ(MSSQL::Bracketed("]]"), "[]]]]]");
    EXPECT_EQ(MSSQL::Bracketed(""), "[]");
    EXPECT_EQ(MSSQL::SourceQuery({"Sa]les", "Or]ders", "x"}), "SELECT * FROM [Sa]]les].[Or]]ders]");
    EXPECT_EQ(MSSQL::SourceQuery({"", "Order Details", "x"}), "SELECT * FROM [Order Details]");
}

TEST(SourceNames, TablesOfOtherSchemasAreReadQualifiedAndSharedNamesGetTheirSchema)
{
    testsupport::DemoServer server({{"Schemas", schemaDatabase()}});
    RunHarness h;
    h.frontend.folder = runtest::samplesCopy("schema-run").string();
    h.frontend.loginFields = loginFor(server, "Schemas");
    const convert::RunResult result = h.run();
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    EXPECT_TRUE(h.dialogs.errorReports().empty()) << h.dialogs.errorReports().front();

    // sys and INFORMATION_SCHEMA are never listed; the catalog's order is type, schema, name.
    EXPECT_EQ(h.state().List1.items(), (std::vector<std::string>{"dbo_Customers", "Ledger", "Shop_CUSTOMERS", "Products"}));
    EXPECT_EQ(h.dialogs.informations(),
              (std::vector<std::string>{"Tables of the same name in several schemas are named schema_table in the "
                                        "Paradox folder: dbo_Customers, Shop_CUSTOMERS.",
                                        "Done."}));

    const auto records = [&](const std::string& table) {
        return runtest::readBack(runtest::tableFile(h.frontend.folder, table)).records;
    };
    ASSERT_EQ(records("dbo_Customers").size(), 1u);
    EXPECT_EQ(records("dbo_Customers")[0].at(2), "dbo customer");
    ASSERT_EQ(records("Shop_CUSTOMERS").size(), 1u);
    EXPECT_EQ(records("Shop_CUSTOMERS")[0].at(2), "shop customer");
    ASSERT_EQ(records("Products").size(), 1u);
    EXPECT_EQ(records("Products")[0].at(2), "shop product");
    // A dbo table of its own name keeps it.
    ASSERT_EQ(records("Ledger").size(), 1u);
    EXPECT_EQ(records("Ledger")[0].at(1), "11");
}

TEST(SourceNames, OddNamesInAnotherSchemaAreRead)
{
    const auto file = testsupport::freshFolder("odd-schema") / "Odd.sqlite";
    dbtest::writeSqlite(file, "CREATE TABLE \"Sa]les.Weird ]. name\" (Tag nvarchar(20));"
                              "INSERT INTO \"Sa]les.Weird ]. name\" VALUES ('weird row');"
                              "CREATE TABLE \"Shop.Weird ]. name\" (Tag nvarchar(20));"
                              "INSERT INTO \"Shop.Weird ]. name\" VALUES ('other row');");
    testsupport::DemoServer server({{"Odd", file}});
    RunHarness h;
    h.frontend.folder = runtest::samplesCopy("odd-schema-run").string();
    h.frontend.loginFields = loginFor(server, "Odd");
    h.frontend.preview = true;
    h.frontend.wholeRun = true;
    h.run();
    EXPECT_TRUE(h.dialogs.errorReports().empty()) << h.dialogs.errorReports().front();
    EXPECT_EQ(h.state().List1.items(), (std::vector<std::string>{"Sa]les_Weird ]. name", "Shop_Weird ]. name"}));
    EXPECT_TRUE(anyStatementHolds(h.frontend.statements, "INSERT INTO \"Sa]les_Weird ]. name\""));
    EXPECT_TRUE(anyStatementHolds(h.frontend.statements, "'weird row'"));
    EXPECT_TRUE(anyStatementHolds(h.frontend.statements, "'other row'"));
}

} // namespace
