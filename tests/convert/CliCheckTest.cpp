// quillmere-cli --check as a script sees it: what it prints, its exit statuses, and that it
// leaves the Paradox folder as it was; --sql's warnings.
#include "CliRunner.h"
#include "DemoServer.h"
#include "SqliteScript.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;
using clitest::CliResult;

namespace {

std::map<std::string, std::string> snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = clitest::readAll(entry.path());
    return files;
}

fs::path samplesCopy(const std::string& name)
{
    const fs::path folder = testsupport::freshFolder(name);
    fs::copy(testsupport::binDir() / "Samples", folder, fs::copy_options::recursive);
    return folder;
}

class CliCheckTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::registerSqlServerDriver();
        setenv("CLI_TEST_PASSWORD", "Demo-Pass1", 1);
    }

    static CliResult check(const testsupport::DemoServer& server, const std::string& database, const fs::path& folder,
                           const std::vector<std::string>& more = {"--check"})
    {
        std::vector<std::string> args{"--server", "127.0.0.1", "--port", std::to_string(server.port()), "--database", database,
                                      "--user", server.user(), "--password-env", "CLI_TEST_PASSWORD", "--folder", folder.string()};
        args.insert(args.end(), more.begin(), more.end());
        return clitest::runProgram("quillmere-cli", args);
    }
};

TEST_F(CliCheckTest, TheSalesSampleExitsOneNamingEachColumnAndTheOptionThatKeepsItAndWritesNothing)
{
    testsupport::DemoServer server;
    const fs::path folder = samplesCopy("check-sales");
    // Another program writes the folder meanwhile: the check takes no writer's lock.
    const int writer = open((folder / ".quillmere.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_EQ(flock(writer, LOCK_EX | LOCK_NB), 0);
    const auto before = snapshot(folder);

    const CliResult run = check(server, "Sales", folder);

    EXPECT_EQ(run.status, 1) << run.out << run.err;
    for (const char* line : {"Customers: 5 rows, 3 would be refused\n",
                             "  Customers, column CompanyName (Alpha 255): a character outside the table's code page, 2 rows, first row 4;",
                             "  AllTypes, column C_int (Long): a number outside the type's range, 1 row, first row 1\n",
                             "  AllTypes, column C_bigint (Long): a number outside the type's range, 1 row, first row 1; kept with --bigint decimal\n",
                             "text longer than the field, 1 row, first row 1; kept with --long-text memo\n",
                             // Rows are named by their primary key: OrderID, (OrderID, ProductID).
                             "  Order Details, column UnitPrice (Money): a number outside the type's range, 1 row, first row (10249, 4)\n",
                             "  Orders, column Scan (Alpha 255): binary replaced by the placeholder, 5 rows, first row 10248; kept with --binary blob\n",
                             "Some values would be lost or altered; see above.\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
    // Refusals are counted, not reported one by one; the existing Orders was not asked about.
    EXPECT_EQ(run.err.find("Application Error"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("overwrite"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(folder), before);
    close(writer);
}

TEST_F(CliCheckTest, DataThatFitsExitsZeroAndNothingCheckedExitsTwo)
{
    const fs::path databases = testsupport::freshFolder("check-clean-db");
    dbtest::writeSqlite(databases / "Clean.sqlite", "CREATE TABLE Widgets (ID int NOT NULL PRIMARY KEY, Name nvarchar(40), Made datetime);"
                                                    "INSERT INTO Widgets VALUES (1, 'a', '2021-08-31 14:05:00'), (2, 'b', NULL);");
    testsupport::DemoServer server({{"Clean", databases / "Clean.sqlite"}});
    const fs::path folder = samplesCopy("check-clean");

    const CliResult fits = check(server, "Clean", folder);
    EXPECT_EQ(fits.status, 0) << fits.out << fits.err;
    EXPECT_EQ(fits.out, "Widgets: 2 rows, all fit\nDone.\nAll data fits.\n") << fits.err;

    // A folder the run would make is checked as an empty one, and not made.
    const fs::path absent = testsupport::freshFolder("check-absent") / "new";
    const CliResult intoNew = check(server, "Clean", absent);
    EXPECT_EQ(intoNew.status, 0) << intoNew.out << intoNew.err;
    EXPECT_FALSE(fs::exists(absent));

    const fs::path noTables = testsupport::freshFolder("check-no-tables");
    std::ofstream(noTables / "notes.txt") << "not a table";
    const CliResult refused = check(server, "Clean", noTables);
    EXPECT_EQ(refused.status, 2) << refused.out << refused.err;
    EXPECT_NE(refused.err.find("holds no Paradox table"), std::string::npos) << refused.err;

    const CliResult withFile = check(server, "Clean", folder, {"--check", "--sql", (folder / "out.sql").string()});
    EXPECT_EQ(withFile.status, 2);
    EXPECT_NE(withFile.err.find("--check writes nothing; leave out --sql"), std::string::npos) << withFile.err;
    EXPECT_FALSE(fs::exists(folder / "out.sql"));
}

TEST_F(CliCheckTest, TheStatementFileWarnsAsTheCheckDoes)
{
    testsupport::DemoServer server;
    const fs::path folder = samplesCopy("check-sql");
    const fs::path file = testsupport::freshFolder("check-sql-file") / "sales.sql";

    const CliResult run = check(server, "Sales", folder, {"--sql", file.string(), "--overwrite", "yes"});

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.err.find("warning: Customers: 5 rows, 3 would be refused\n"
                           "  Customers, column Notes (Alpha 255): a character outside the table's code page, 1 row, first row 3;"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("binary replaced by the placeholder"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(CliCheckTest, ReplacedCharactersAreShownAsAlteredInTheCheckAndTheStatementFilesWarnings)
{
    testsupport::DemoServer server;
    const fs::path folder = samplesCopy("check-altered");
    const std::string altered = "Customers: 5 rows, 1 would be refused, 2 altered\n"
                                "  Customers, column Notes (Alpha 255): a character outside the table's code page written as '?', 1 row, "
                                "first row 3\n";

    const CliResult checked = check(server, "Sales", folder, {"--check", "--tables", "Customers", "--unmappable", "replace"});
    EXPECT_EQ(checked.status, 1) << checked.out << checked.err;
    EXPECT_EQ(checked.out.rfind(altered, 0), 0u) << checked.out;

    const fs::path file = testsupport::freshFolder("check-altered-file") / "customers.sql";
    const CliResult written =
        check(server, "Sales", folder, {"--sql", file.string(), "--overwrite", "yes", "--tables", "Customers", "--unmappable", "replace"});
    EXPECT_NE(written.err.find("warning: " + altered), std::string::npos) << written.err;
}

} // namespace
