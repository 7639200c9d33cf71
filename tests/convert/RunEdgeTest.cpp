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
    EXPECT_FALSE(h.busy);
    EXPECT_FALSE(h.mssql_conn->isOpen());
    EXPECT_FALSE(h.Paradox_conn->isOpen());
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
        server = new testsupport::DemoServer({{"Bare", folder / "Bare.sqlite"}, {"Rows", folder / "Rows.sqlite"}});
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
    EXPECT_FALSE(h.mssql_conn->isOpen());
    EXPECT_FALSE(h.Paradox_conn->isOpen());
    EXPECT_EQ(contents(h.frontend.folder), before);
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
