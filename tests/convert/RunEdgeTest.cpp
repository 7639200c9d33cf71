// Edges of the Start Converting run: a folder name the connection string has to quote, an empty
// folder field, a database without user tables and a table without rows.
#include "RunFixture.h"

#include "DemoServer.h"
#include "SqliteScript.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;
using runtest::RunHarness;

namespace {

// Every file below a folder with its bytes.
std::map<std::string, std::string> contents(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[fs::relative(entry.path(), folder).string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

std::vector<long> keys(const runtest::ReadBack& table)
{
    std::vector<long> values;
    for (const auto& record : table.records)
        values.push_back(std::stol(record.at(0)));
    return values;
}

TEST(RunEdges, AFolderNamedWithSemicolonBracesAndEqualsIsWrittenAndTheFolderOfItsPrefixIsUntouched)
{
    const fs::path root = testsupport::freshFolder("quoted-folder");
    const fs::path prefix = root / "x";
    const fs::path named = root / "x;y{z}=w";
    for (const fs::path& folder : {prefix, named})
        fs::copy(testsupport::binDir() / "Samples", folder, fs::copy_options::recursive);
    const auto before = contents(prefix);

    RunHarness h;
    h.frontend.folder = named.string();
    h.frontend.loginFields = runtest::salesLogin();
    h.frontend.overwrite = {"Orders"};
    ASSERT_EQ(h.run().outcome, convert::RunOutcome::Finished);

    EXPECT_EQ(h.frontend.asked, std::vector<std::string>{"Orders"});
    EXPECT_EQ(h.dialogs.informations(), std::vector<std::string>{"Done."});
    EXPECT_EQ(keys(runtest::readBack(runtest::tableFile(named, "Orders"))), (std::vector<long>{4, 5, 6, 7, 8}));
    EXPECT_FALSE(runtest::readBack(runtest::tableFile(named, "Customers")).records.empty());
    EXPECT_EQ(contents(prefix), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 2);
}

TEST(RunEdges, AnEmptyFolderFieldDoesNothingVisible)
{
    RunHarness h;
    h.frontend.folder = "";
    h.frontend.loginFields = runtest::salesLogin();
    EXPECT_EQ(h.run().outcome, convert::RunOutcome::NoParadoxTables);
    EXPECT_TRUE(h.dialogs.shown.empty());
    EXPECT_TRUE(h.frontend.progressTexts.empty());
    EXPECT_FALSE(h.state().busy);
    EXPECT_FALSE(h.state().mssql_conn->isOpen());
    EXPECT_FALSE(h.state().Paradox_conn->isOpen());
}

class RunOnSmallDatabases : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::registerSqlServerDriver();
        const fs::path folder = testsupport::freshFolder("small-databases");
        // Only what the catalog leaves out: a system-looking table and a view.
        dbtest::writeSqlite(folder / "Bare.sqlite",
                            "CREATE TABLE sysdiagrams (ID int); CREATE VIEW vBare AS SELECT ID FROM sysdiagrams;");
        dbtest::writeSqlite(folder / "Rows.sqlite",
                            "CREATE TABLE Alpha (ID int, Name nvarchar(10));"
                            "INSERT INTO Alpha VALUES (1, 'a'), (2, 'b');"
                            "CREATE TABLE Hollow (ID int, Name nvarchar(10));"
                            "CREATE TABLE Zulu (ID int);"
                            "INSERT INTO Zulu VALUES (7);");
        // Fifteen texts too long for their field, between two that fit.
        dbtest::writeSqlite(folder / "Failing.sqlite",
                            "CREATE TABLE Notes (ID int, Body nvarchar(300));"
                            "INSERT INTO Notes VALUES (0, 'fits');"
                            "INSERT INTO Notes WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 15)"
                            " SELECT i, replace(hex(zeroblob(150)), '0', 'x') FROM n;"
                            "INSERT INTO Notes VALUES (16, 'fits too');");
        server = new testsupport::DemoServer({{"Bare", folder / "Bare.sqlite"},
                                              {"Rows", folder / "Rows.sqlite"},
                                              {"Failing", folder / "Failing.sqlite"}});
    }

    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    static void prepare(RunHarness& h, const std::string& database)
    {
        h.frontend.folder = runtest::samplesCopy(database + "-" + std::to_string(++runs)).string();
        h.frontend.loginFields =
            MSSQL::Login{"127.0.0.1", std::to_string(server->port()), database, server->user(), server->password(), false, {}};
    }

    static testsupport::DemoServer* server;
    static int runs;
};

testsupport::DemoServer* RunOnSmallDatabases::server = nullptr;
int RunOnSmallDatabases::runs = 0;

TEST_F(RunOnSmallDatabases, ADatabaseWithoutUserTablesOpensAndClosesTheConnectionsAndEndsWithDone)
{
    RunHarness h;
    prepare(h, "Bare");
    const auto before = contents(h.frontend.folder);
    const convert::RunResult result = h.run();

    EXPECT_EQ(result.outcome, convert::RunOutcome::Finished);
    EXPECT_TRUE(result.tables.empty());
    // Closing a connection that never opened would have cost a report.
    EXPECT_EQ(h.dialogs.errorReports(), std::vector<std::string>{});
    EXPECT_EQ(h.dialogs.informations(), std::vector<std::string>{"Done."});
    EXPECT_FALSE(h.state().mssql_conn->isOpen());
    EXPECT_FALSE(h.state().Paradox_conn->isOpen());
    EXPECT_EQ(contents(h.frontend.folder), before);
}

// The window shows the first ten failed rows one by one; the rest are only written to the
// rejected-rows file and counted in one message before "Done."
TEST_F(RunOnSmallDatabases, AfterTenRowReportsTheRestAreCountedInOneMessage)
{
    RunHarness h;
    prepare(h, "Failing");
    const convert::RunResult result = h.run();

    EXPECT_EQ(result.outcome, convert::RunOutcome::Finished);
    const std::vector<std::string> reports = h.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_NE(reports.front().find("has 300 characters, the column holds 255"), std::string::npos) << reports.front();
    const fs::path file = fs::path(h.frontend.folder) / "rejected-rows.sql";
    EXPECT_EQ(result.rejectedRowsPath, file.string());
    EXPECT_EQ(result.statementsRejected, 15);
    const std::vector<std::string> informations = h.dialogs.informations();
    ASSERT_EQ(informations.size(), 2u);
    EXPECT_EQ(informations[0].rfind("5 more rows were rejected", 0), 0u) << informations[0];
    EXPECT_NE(informations[0].find(file.string()), std::string::npos) << informations[0];
    EXPECT_EQ(informations[1], "Done.");
    ASSERT_EQ(h.frontend.finished.size(), 1u);
    EXPECT_EQ(h.frontend.finished[0].rowsWritten, 2);
    EXPECT_EQ(h.frontend.finished[0].rowsRejected, 15);
    // Every refused row reaches the front end, reported or not; the table has no key, so the
    // rows are named by their number.
    ASSERT_EQ(h.frontend.rejectedRows.size(), 15u);
    EXPECT_EQ(h.frontend.rejectedRows.front().table, "Notes");
    EXPECT_EQ(h.frontend.rejectedRows.front().key, "2");
    EXPECT_EQ(h.frontend.rejectedRows.back().key, "16");
    EXPECT_NE(h.frontend.rejectedRows.back().reason.find("has 300 characters, the column holds 255"), std::string::npos);
    std::ifstream in(file);
    int remarks = 0;
    for (std::string line; std::getline(in, line);)
        remarks += line.rfind("-- Notes: ", 0) == 0;
    EXPECT_EQ(remarks, 15);
}

TEST_F(RunOnSmallDatabases, ATableWithoutRowsGetsNoInsertAndLeavesTheRowNumberAsItWas)
{
    RunHarness preview;
    prepare(preview, "Rows");
    preview.frontend.preview = true;
    preview.frontend.wholeRun = true;
    ASSERT_EQ(preview.run().outcome, convert::RunOutcome::Finished);
    const std::vector<std::string>& statements = preview.frontend.statements;
    ASSERT_EQ(statements.size(), 3u + 2u + 4u);
    EXPECT_EQ(statements[2], "INSERT INTO \"Zulu\" VALUES (0,7);");
    EXPECT_EQ(statements[3].rfind("CREATE TABLE \"Hollow\"", 0), 0u);
    EXPECT_EQ(statements[4].rfind("CREATE INDEX", 0), 0u);
    EXPECT_EQ(statements[5].rfind("CREATE TABLE \"Alpha\"", 0), 0u);
    EXPECT_EQ(statements[7].rfind("INSERT INTO \"Alpha\" VALUES (1,1,", 0), 0u);

    RunHarness direct;
    prepare(direct, "Rows");
    ASSERT_EQ(direct.run().outcome, convert::RunOutcome::Finished);
    EXPECT_EQ(direct.dialogs.errorReports(), std::vector<std::string>{});
    const fs::path folder = direct.frontend.folder;
    EXPECT_EQ(keys(runtest::readBack(runtest::tableFile(folder, "Zulu"))), std::vector<long>{0});
    const auto hollow = runtest::readBack(runtest::tableFile(folder, "Hollow"));
    EXPECT_EQ(hollow.names, (std::vector<std::string>{"SBSID", "ID", "Name"}));
    EXPECT_TRUE(hollow.records.empty());
    EXPECT_EQ(keys(runtest::readBack(runtest::tableFile(folder, "Alpha"))), (std::vector<long>{1, 2}));
}

} // namespace
