// Column types of real databases that the sample lacks, each from the demo server (SQL Server's
// wire encoding) through the FreeTDS driver and our ODBC layer into a Paradox table, read back by
// the independent reader.
#include "DemoServer.h"
#include "RunFixture.h"
#include "SqliteScript.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using runtest::RunHarness;

namespace {

const bool driverRegistered = (testsupport::registerSqlServerDriver(), true);

std::filesystem::path typesDatabase()
{
    const auto file = testsupport::freshFolder("real-types") / "Types.sqlite";
    dbtest::writeSqlite(
        file,
        "CREATE TABLE Kinds (ID int, X xml, Dto datetimeoffset, Dto0 datetimeoffset(0), V sql_variant, "
        "H hierarchyid, G geography, Gm geometry, RV rowversion, TS timestamp, N sysname, S int SPARSE, "
        "C8 char(8), Qty int, Price money, Total money GENERATED ALWAYS AS (Qty * Price), Phone PhoneNumber);"
        "CREATE TABLE \"sys.alias_types\" (name sysname, base sysname);"
        "INSERT INTO \"sys.alias_types\" VALUES ('PhoneNumber', 'nvarchar(24)');"
        "INSERT INTO Kinds (ID, X, Dto, Dto0, V, H, G, Gm, RV, TS, N, S, C8, Qty, Price, Phone) VALUES "
        "(1, '<a b=\"1\">Grüße &amp; more</a>', '2024-02-29 13:45:30.1234567 +01:00', '2024-02-29 00:30:00 -05:30', "
        "42, x'58', x'E6100000010C', x'00000000010C', x'00000000000007D1', x'00000000000007D2', 'name', 5, 'c', 3, 2.5, "
        "'0049 30 1234'),"
        "(2, NULL, '0001-01-01 23:59:59.9999999 +14:00', NULL, '12.50', NULL, NULL, NULL, x'00000000000007D3', "
        "x'00000000000007D4', NULL, NULL, NULL, NULL, NULL, NULL),"
        "(3, NULL, NULL, NULL, 'text value', NULL, NULL, NULL, x'00000000000007D5', x'00000000000007D6', NULL, NULL, "
        "NULL, NULL, NULL, NULL),"
        "(4, NULL, NULL, NULL, 2.5e0, NULL, NULL, NULL, x'00000000000007D7', x'00000000000007D8', NULL, NULL, NULL, "
        "NULL, NULL, NULL),"
        "(5, NULL, NULL, NULL, 9000000000, NULL, NULL, NULL, x'00000000000007D9', x'00000000000007DA', NULL, NULL, "
        "NULL, NULL, NULL, NULL);"
        "CREATE TABLE LongText (ID int, Big [varchar(max)], C8000 char(8000));"
        "INSERT INTO LongText VALUES (1, replace(hex(zeroblob(40000)), '00', 'ab'), NULL), (2, 'short', NULL),"
        "(3, NULL, 'c');");
    return file;
}

// One direct-mode run of a database of the server into a fresh copy of the sample folder.
convert::RunResult convertDatabase(RunHarness& h, const testsupport::DemoServer& server, const std::string& database)
{
    h.frontend.folder = runtest::samplesCopy(database + "-run").string();
    h.frontend.loginFields = {"127.0.0.1", std::to_string(server.port()), database, server.user(), server.password(),
                              false, {}};
    return h.run();
}

TEST(RealTypes, EveryTypeArrivesWhole)
{
    testsupport::DemoServer server({{"Types", typesDatabase()}});
    RunHarness h;
    const convert::RunResult result = convertDatabase(h, server, "Types");
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);

    // How each column was classed: the ADO code our layer gave it, through the type rules.
    std::map<std::string, std::string> source;
    for (const convert::DatatypeRecord& r : h.frontend.datatypes)
        if (r.table == "Kinds")
            source[r.field] = r.sourceType + " " + r.paradoxType;
    EXPECT_EQ(source["X"], "char TEXT");
    EXPECT_EQ(source["Dto"], "char TEXT");
    EXPECT_EQ(source["V"], "OTHER TYPES VARCHAR");
    EXPECT_EQ(source["H"], "adlongvarbinary VARCHAR");
    EXPECT_EQ(source["G"], "adlongvarbinary VARCHAR");
    EXPECT_EQ(source["RV"], "OTHER TYPES VARCHAR");
    EXPECT_EQ(source["N"], "char TEXT");
    EXPECT_EQ(source["S"], "int INT");
    EXPECT_EQ(source["C8"], "char TEXT");
    EXPECT_EQ(source["Total"], "currency CURRENCY");
    EXPECT_EQ(source["Phone"], "char TEXT"); // the alias type's base, nvarchar(24)

    const runtest::ReadBack kinds = runtest::readBack(runtest::tableFile(h.frontend.folder, "Kinds"));
    ASSERT_EQ(kinds.records.size(), 5u) << h.dialogs.errorReports().front();
    std::map<std::string, std::size_t> at;
    for (std::size_t i = 0; i < kinds.names.size(); ++i)
        at[kinds.names[i]] = i;
    const auto cell = [&](std::size_t row, const std::string& column) { return kinds.records.at(row).at(at.at(column)); };
    EXPECT_EQ(cell(0, "X"), "<a b=\"1\">Grüße &amp; more</a>");
    EXPECT_EQ(cell(0, "Dto"), "2024-02-29 13:45:30.1234567 +01:00");
    EXPECT_EQ(cell(0, "Dto0"), "2024-02-29 00:30:00 -05:30");
    EXPECT_EQ(cell(1, "Dto"), "0001-01-01 23:59:59.9999999 +14:00");
    // sql_variant: the text of each value's own base type (int, float, nvarchar, float, bigint). The
    // driver answers every read of a non-text base type with "data truncated": read once, not for ever.
    EXPECT_EQ(cell(0, "V"), "42");
    EXPECT_EQ(cell(1, "V"), "12.5");
    EXPECT_EQ(cell(2, "V"), "text value");
    EXPECT_EQ(cell(3, "V"), "2.5");
    EXPECT_EQ(cell(4, "V"), "9000000000");
    EXPECT_EQ(cell(0, "RV"), "00000000000007D1");
    EXPECT_EQ(cell(4, "TS"), "00000000000007DA");
    EXPECT_EQ(cell(0, "N"), "name");
    EXPECT_EQ(cell(0, "S"), "5");
    EXPECT_EQ(cell(0, "C8"), "c       ");
    EXPECT_EQ(cell(0, "Total"), "7.5");
    EXPECT_EQ(cell(0, "Phone"), "0049 30 1234");
    EXPECT_EQ(kinds.types.at(at.at("Total")), '$');

    // A varchar(max) value of 80,000 characters and a char(8000) value arrive whole and are refused
    // by the 255-character column with a reason that names them; the short row is written.
    const auto longText = std::find_if(result.tables.begin(), result.tables.end(),
                                       [](const convert::TableSummary& t) { return t.table == "LongText"; });
    ASSERT_NE(longText, result.tables.end());
    EXPECT_EQ(longText->rowsWritten, 1);
    EXPECT_EQ(longText->rowsRejected, 2);
    const std::vector<std::string> reports = h.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find("column \"Big\" (Alpha 255)"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("has 80000 characters"), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find("has 8000 characters"), std::string::npos) << reports[1];
}

TEST(RealTypes, ShopSampleConvertsEveryTableWhole)
{
    const auto file = testsupport::freshFolder("shop-sample") / "Shop.sqlite";
    std::filesystem::copy_file(testsupport::binDir() / "Shop.sqlite", file);
    testsupport::DemoServer server({{"Shop", file}});
    RunHarness h;
    const convert::RunResult result = convertDatabase(h, server, "Shop");
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    EXPECT_TRUE(h.dialogs.errorReports().empty()) << h.dialogs.errorReports().front();
    EXPECT_EQ(h.state().List1.items(), (std::vector<std::string>{"dbo_Orders", "Addresses", "Categories", "Customers",
                                                         "OrderLines", "Shop_Orders", "Products"}));
    const runtest::ReadBack lines = runtest::readBack(runtest::tableFile(h.frontend.folder, "OrderLines"));
    ASSERT_EQ(lines.records.size(), 4u);
    EXPECT_EQ(lines.names.at(6), "LineTotal");
    EXPECT_EQ(lines.records.at(1).at(6), "38"); // computed: 2 x 19.00
    EXPECT_EQ(lines.records.at(1).at(7), "Happy gardening!");
}

} // namespace
