// The check against a real run: for every kind of value Paradox cannot take, a table of the
// demo server whose rows the check flags are exactly the rows a real run then refuses.
#include "RunFixture.h"

#include "DemoServer.h"
#include "SqliteScript.h"
#include "TestPaths.h"
#include "convert/Check.h"
#include "convert/CheckedRun.h"
#include "paradox/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace fs = std::filesystem;
using convert::CheckProblem;
using runtest::RunHarness;

namespace {

std::map<std::string, std::string> contents(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[fs::relative(entry.path(), folder).string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

// table -> the key values of its refused rows
using RowsByTable = std::map<std::string, std::set<std::string>>;

// The rows of each table in rejected-rows.sql: INSERT INTO "T" VALUES (key, ...).
RowsByTable rejectedRows(const fs::path& file)
{
    RowsByTable rows;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("INSERT INTO \""))
            continue;
        const std::size_t nameEnd = line.find("\" VALUES (");
        const std::size_t keyAt = nameEnd + 10;
        rows[line.substr(13, nameEnd - 13)].insert(line.substr(keyAt, line.find(',', keyAt) - keyAt));
    }
    return rows;
}

class CheckAgainstRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::registerSqlServerDriver();
        const fs::path folder = testsupport::freshFolder("check-databases");
        const std::string long300(300, 'x'), long256(256, 'y');
        dbtest::writeSqlite(folder / "Problems.sqlite",
                            "CREATE TABLE LongText (ID int NOT NULL PRIMARY KEY, Body nvarchar(400));"
                            "INSERT INTO LongText VALUES (10, 'short'), (20, '" + long300 + "'), (30, 'fits'), (40, '" + long256 + "');"
                            "CREATE TABLE Greek (ID int NOT NULL PRIMARY KEY, City nvarchar(40));"
                            "INSERT INTO Greek VALUES (1, 'Athens'), (2, '\xE5\x8C\x97\xE4\xBA\xAC'), (3, 'Paris');"
                            "CREATE TABLE Big (ID int NOT NULL PRIMARY KEY, Amount bigint);"
                            "INSERT INTO Big VALUES (1, 1), (2, 3000000000), (3, -5), (4, -9223372036854775808);"
                            "CREATE TABLE Ints (ID int, N int);"
                            "INSERT INTO Ints VALUES (1, 2147483647), (2, -2147483648);"
                            "CREATE TABLE Precise (ID int NOT NULL PRIMARY KEY, Amount decimal(38,10));"
                            "INSERT INTO Precise VALUES (1, '12.5'), (2, CAST('1234567890.1234567891' AS BLOB));"
                            "CREATE TABLE Pictures (ID int NOT NULL PRIMARY KEY, Picture image);"
                            "INSERT INTO Pictures VALUES (1, X'0102'), (2, NULL);"
                            "CREATE TABLE Mixed (ID int NOT NULL PRIMARY KEY, Body nvarchar(400), City nvarchar(40));"
                            "INSERT INTO Mixed VALUES (1, '" + long300 + "', '\xCE\xA9'), (2, 'fits', '\xCE\xA9'), (3, 'fits', 'Rome');"
                            "CREATE TABLE TooWide (ID int NOT NULL PRIMARY KEY, AColumnNameLongerThanParadoxTakes int);"
                            "INSERT INTO TooWide VALUES (1, 1);"
                            "CREATE TABLE Clean (ID int NOT NULL PRIMARY KEY, Name nvarchar(40));"
                            "INSERT INTO Clean VALUES (1, 'a'), (2, 'b');");
        // Text of one code page each but 1252, and a table whose two columns no one code page holds.
        dbtest::writeSqlite(folder / "Languages.sqlite",
                            "CREATE TABLE Greek (ID int NOT NULL PRIMARY KEY, City nvarchar(40));"
                            "INSERT INTO Greek VALUES (1, '\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1'), (2, 'Paris'),"
                            " (3, '\xCE\x98\xCE\xB5\xCF\x83\xCF\x83\xCE\xB1\xCE\xBB\xCE\xBF\xCE\xBD\xCE\xAF\xCE\xBA\xCE\xB7');"
                            "CREATE TABLE Cyrillic (ID int NOT NULL PRIMARY KEY, City nvarchar(40));"
                            "INSERT INTO Cyrillic VALUES (1, '\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0'), (2, 'Berlin'),"
                            " (3, '\xD0\x9A\xD0\xB8\xD1\x97\xD0\xB2');"
                            "CREATE TABLE Polish (ID int NOT NULL PRIMARY KEY, City nvarchar(40));"
                            "INSERT INTO Polish VALUES (1, '\xC5\x81\xC3\xB3" "d\xC5\xBA'), (2, 'Krak\xC3\xB3w');"
                            "CREATE TABLE Mixed (ID int NOT NULL PRIMARY KEY, Greek nvarchar(40), Cyrillic nvarchar(40));"
                            "INSERT INTO Mixed VALUES (1, '\xCE\xA9', '\xD0\x96'), (2, '\xCE\xA9', 'a'), (3, 'a', 'b');"
                            // Greek text under a column name of code page 1252: code page 1253 lacks the name.
                            "CREATE TABLE Names (ID int NOT NULL PRIMARY KEY, \"Caf\xC3\xA9\" nvarchar(40));"
                            "INSERT INTO Names VALUES (1, '\xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82');");
        server = new testsupport::DemoServer({{"Problems", folder / "Problems.sqlite"}, {"Languages", folder / "Languages.sqlite"}});
    }

    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    static void prepare(RunHarness& h, const std::string& name, const std::string& database = "Problems")
    {
        h.frontend.folder = runtest::samplesCopy(name).string();
        h.frontend.loginFields =
            MSSQL::Login{"127.0.0.1", std::to_string(server->port()), database, server->user(), server->password(), false, {}};
    }

    // A check of a database and a real run of it with the same type options, each into a
    // copy of the samples of its own.
    struct CheckedAndRun {
        std::map<std::string, convert::TableCheck> checked;
        RowsByTable flagged;  // the rows the check would refuse
        RowsByTable refused;  // the rows the run refused
        std::map<std::string, std::int64_t> altered;  // values the run wrote with '?', by table
        std::string runFolder;
    };
    static CheckedAndRun checkThenRun(const std::string& database, const convert::TypeOptions& types, const std::string& name)
    {
        CheckedAndRun both;
        RunHarness checking;
        prepare(checking, name + "-checked", database);
        checking.frontend.types = types;
        convert::ConversionCheck check(checking.frontend.folder, types);
        checking.frontend.check = &check;
        check.onRefused = [&](const std::string& table, const std::string& key, CheckProblem) { both.flagged[table].insert(key); };
        checking.frontend.onTableFinished = [&](runtest::ScriptedFrontend& f) {
            for (const convert::DatatypeRecord& record : f.datatypes)
                check.datatype(record);
            f.datatypes.clear();
            const convert::TableCheck& done = check.tableFinished(f.finished.back());
            both.checked[done.table] = done;
        };
        EXPECT_EQ(checking.run().outcome, convert::RunOutcome::Finished);
        EXPECT_TRUE(checking.dialogs.errorReports().empty());

        RunHarness running;
        prepare(running, name + "-run", database);
        running.frontend.types = types;
        const convert::RunResult result = running.run();
        EXPECT_EQ(result.outcome, convert::RunOutcome::Finished);
        if (!result.rejectedRowsPath.empty())
            both.refused = rejectedRows(result.rejectedRowsPath);
        for (const convert::TableSummary& table : result.tables)
            both.altered[table.table] = table.valuesAltered;
        both.runFolder = running.frontend.folder;
        return both;
    }

    static testsupport::DemoServer* server;
};

testsupport::DemoServer* CheckAgainstRun::server = nullptr;

TEST_F(CheckAgainstRun, TheCheckFlagsTheRowsTheRunRefusesAndWritesNothing)
{
    // The check: the run handing its statements to the check instead of the folder.
    RunHarness checking;
    prepare(checking, "check-checked");
    const auto before = contents(checking.frontend.folder);
    convert::ConversionCheck check(checking.frontend.folder);
    checking.frontend.check = &check;
    RowsByTable flagged;
    check.onRefused = [&](const std::string& table, const std::string& key, CheckProblem) { flagged[table].insert(key); };
    checking.frontend.onTableFinished = [&](runtest::ScriptedFrontend& f) {
        for (const convert::DatatypeRecord& record : f.datatypes)
            check.datatype(record);
        f.datatypes.clear();
        check.tableFinished(f.finished.back());
    };
    ASSERT_EQ(checking.run().outcome, convert::RunOutcome::Finished);
    EXPECT_EQ(contents(checking.frontend.folder), before);
    EXPECT_NE(std::ranges::find(checking.frontend.progressTexts, "Checking table LongText"), checking.frontend.progressTexts.end());
    // Refusals are the check's to count: no error report.
    EXPECT_TRUE(checking.dialogs.errorReports().empty());

    // The real run into a folder of its own.
    RunHarness running;
    prepare(running, "check-run");
    const convert::RunResult result = running.run();
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    RowsByTable refused = rejectedRows(result.rejectedRowsPath);
    EXPECT_EQ(flagged, refused);
    EXPECT_EQ(refused.size(), 6u) << "LongText, Greek (Beijing), Big, Ints, Precise, Mixed (Omega: in code page 1253)";

    std::map<std::string, const convert::TableCheck*> byName;
    for (const convert::TableCheck& table : check.tables())
        byName[table.table] = &table;
    ASSERT_EQ(byName.size(), 9u);
    // table -> kind, column, rows, first row (its primary-key value; Ints has none), option
    struct Expected {
        CheckProblem problem;
        std::string column;
        std::int64_t rows;
        std::string firstRow;
        std::string option;
    };
    const std::map<std::string, std::vector<Expected>> expected{
        {"LongText", {{CheckProblem::TextTooLong, "Body", 2, "20", "--long-text memo"}}},
        {"Greek", {{CheckProblem::NotInCodePage, "City", 1, "2", "--unmappable replace"}}},
        {"Big", {{CheckProblem::NumberOutOfRange, "Amount", 2, "2", "--bigint decimal"}}},
        {"Ints", {{CheckProblem::NumberOutOfRange, "N", 1, "2", ""}}},
        {"Precise", {{CheckProblem::NumberOutOfRange, "Amount", 1, "2", ""}}},
        {"Pictures", {{CheckProblem::BinaryPlaceholder, "Picture", 2, "1", "--binary blob"}}},
        {"Mixed", {{CheckProblem::TextTooLong, "Body", 1, "1", "--long-text memo"}, {CheckProblem::NotInCodePage, "City", 2, "1", "--code-page Mixed=1253"}}},
        {"TooWide", {}},
        {"Clean", {}},
    };
    for (const auto& [table, problems] : expected) {
        ASSERT_TRUE(byName.contains(table)) << table;
        const convert::TableCheck& checked = *byName[table];
        ASSERT_EQ(checked.problems.size(), problems.size()) << convert::CheckLines(checked);
        for (std::size_t i = 0; i < problems.size(); ++i) {
            const convert::ColumnProblem& p = checked.problems[i];
            EXPECT_EQ(p.problem, problems[i].problem) << convert::CheckLines(checked);
            EXPECT_EQ(p.column, problems[i].column) << table;
            EXPECT_EQ(p.rows, problems[i].rows) << table << "." << p.column;
            EXPECT_EQ(p.firstRow, problems[i].firstRow) << table << "." << p.column;
            EXPECT_EQ(p.option, problems[i].option) << table << "." << p.column;
        }
        EXPECT_EQ(checked.losesData(), table != "Clean") << table;
    }
    EXPECT_EQ(byName["Mixed"]->rowsRefused, 2);
    // The placeholder is written, not refused: the run's table holds it for every row.
    for (const auto& record : runtest::readBack(runtest::tableFile(running.frontend.folder, "Pictures")).records)
        EXPECT_EQ(record.at(2), "<OLEOBJECT>"); // after SBSID and ID
    // A table that cannot be made: the check says why, the run writes no table and keeps its definition.
    EXPECT_NE(byName["TooWide"]->definitionError.find("longer than 25 characters"), std::string::npos);
    EXPECT_TRUE(runtest::tableFile(running.frontend.folder, "TooWide").empty());
    std::ifstream rejected(result.rejectedRowsPath);
    const std::string text(std::istreambuf_iterator<char>(rejected), {});
    EXPECT_NE(text.find("CREATE TABLE \"TooWide\""), std::string::npos);
}

// table -> rows; the rows' keys run on across the tables of a run.
using RowCounts = std::map<std::string, std::size_t>;
RowCounts rowCounts(const RowsByTable& rows)
{
    RowCounts counts;
    for (const auto& [table, keys] : rows)
        counts[table] = keys.size();
    return counts;
}

// The option each problem of a table names.
void expectOptions(const std::map<std::string, convert::TableCheck>& checked, const std::map<std::string, std::string>& options)
{
    for (const auto& [table, option] : options) {
        ASSERT_TRUE(checked.contains(table)) << table;
        for (const convert::ColumnProblem& problem : checked.at(table).problems)
            EXPECT_EQ(problem.option, option) << convert::CheckLines(checked.at(table));
    }
}

TEST_F(CheckAgainstRun, TheCheckJudgesTextInTheRunsCodePagesAndCountsWhatItWouldAlter)
{
    // Code page 1252: the check flags the rows the run refuses, and names the code page that
    // holds each table's text where one does.
    const CheckedAndRun plain = checkThenRun("Languages", {}, "lang-1252");
    EXPECT_EQ(plain.flagged, plain.refused);
    EXPECT_EQ(rowCounts(plain.refused), (RowCounts{{"Greek", 2}, {"Cyrillic", 2}, {"Polish", 1}, {"Mixed", 2}, {"Names", 1}}));
    expectOptions(plain.checked, {{"Greek", "--code-page Greek=1253"},
                                  {"Cyrillic", "--code-page Cyrillic=1251"},
                                  {"Polish", "--code-page Polish=1250"},
                                  {"Mixed", "--unmappable replace"},
                                  {"Names", "--unmappable replace"}});

    // A code page per table (the later of two spellings of one table wins): the tables fit,
    // and the code page a table already has is not offered again.
    convert::TypeOptions pages;
    for (const char* choice : {"Greek=1253", "cyrillic=1251", "POLISH=1252", "polish=1250", "Mixed=1253", "Names=1253"})
        ASSERT_FALSE(convert::AddCodePage(pages, choice));
    const CheckedAndRun paged = checkThenRun("Languages", pages, "lang-pages");
    EXPECT_EQ(paged.flagged, paged.refused);
    EXPECT_EQ(rowCounts(paged.refused), (RowCounts{{"Mixed", 1}}));
    for (const char* table : {"Greek", "Cyrillic", "Polish"})
        EXPECT_FALSE(paged.checked.at(table).losesData()) << convert::CheckLines(paged.checked.at(table));
    ASSERT_EQ(paged.checked.at("Mixed").problems.size(), 1u);
    EXPECT_EQ(paged.checked.at("Mixed").problems[0].column, "Cyrillic");
    expectOptions(paged.checked, {{"Mixed", "--unmappable replace"}});
    // A table whose column name its code page lacks cannot be made, by the run as by the check.
    EXPECT_NE(paged.checked.at("Names").definitionError.find("lacks"), std::string::npos) << convert::CheckLines(paged.checked.at("Names"));
    EXPECT_TRUE(runtest::tableFile(paged.runFolder, "Names").empty());

    // Replacing: nothing is refused; every value the run writes with '?' is counted in its
    // column, with its first row, and no value goes unseen.
    convert::TypeOptions replacing;
    replacing.unmappable = convert::Unmappable::Replace;
    const CheckedAndRun replaced = checkThenRun("Languages", replacing, "lang-replace");
    EXPECT_TRUE(replaced.refused.empty());
    EXPECT_TRUE(replaced.flagged.empty());
    for (const char* table : {"Greek", "Cyrillic", "Polish", "Mixed", "Names"}) {
        const convert::TableCheck& checked = replaced.checked.at(table);
        const runtest::ReadBack written = runtest::readBack(runtest::tableFile(replaced.runFolder, table));
        std::map<std::string, std::pair<std::int64_t, std::string>> questionMarks; // column -> rows, first row's ID
        std::int64_t rowsAltered = 0;
        for (const auto& record : written.records) {
            bool altered = false;
            for (std::size_t field = 2; field < record.size(); ++field) { // after SBSID and ID
                if (record[field].find('?') == std::string::npos)
                    continue;
                // The run wrote every table here in code page 1252, field names included.
                std::string column;
                ASSERT_TRUE(paradox::CodePage::numbered(1252).toUtf8(written.names[field], column));
                auto& [rows, first] = questionMarks[column];
                if (rows++ == 0)
                    first = record[1];
                altered = true;
            }
            rowsAltered += altered;
        }
        std::map<std::string, std::pair<std::int64_t, std::string>> counted;
        std::int64_t valuesCounted = 0;
        for (const convert::ColumnProblem& problem : checked.problems) {
            EXPECT_EQ(problem.problem, CheckProblem::Altered) << convert::CheckLines(checked);
            counted[problem.column] = {problem.rows, problem.firstRow};
            valuesCounted += problem.rows;
        }
        EXPECT_EQ(counted, questionMarks) << convert::CheckLines(checked);
        EXPECT_EQ(checked.rowsAltered, rowsAltered) << table;
        EXPECT_EQ(valuesCounted, replaced.altered.at(table)) << table;
        EXPECT_TRUE(checked.losesData()) << table;
    }
    EXPECT_EQ(replaced.altered.at("Mixed"), 3);
    expectOptions(replaced.checked, {{"Greek", "--code-page Greek=1253"}, {"Mixed", ""}});
    EXPECT_EQ(convert::CheckLines(replaced.checked.at("Mixed")),
              "Mixed: 3 rows, 2 would be altered\n"
              "  Mixed, column Greek (Alpha 255): a character outside the table's code page written as '?', 2 rows, first row 1\n"
              "  Mixed, column Cyrillic (Alpha 255): a character outside the table's code page written as '?', 1 row, first row 1\n");
}

} // namespace

namespace {

TEST(CheckLines, ATableThatCannotBeReadOrMadeLosesItsRows)
{
    convert::ConversionCheck check(testsupport::freshFolder("check-lines").string());
    convert::TableSummary unreadable;
    unreadable.table = "Locked";
    unreadable.readError = "permission denied";
    const convert::TableCheck& locked = check.tableFinished(unreadable);
    EXPECT_TRUE(locked.losesData());
    EXPECT_EQ(convert::CheckLines(locked), "Locked: cannot be read: permission denied\n");

    EXPECT_FALSE(check.statement("CREATE TABLE \"Bad\" (\"SBSID\" INT, \"A name of more than 25 letters\" INT);"));
    convert::TableSummary bad;
    bad.table = "Bad";
    EXPECT_EQ(convert::CheckLines(check.tableFinished(bad)).rfind("Bad: no row would be written: the table cannot be made: SQL error", 0), 0u);
    EXPECT_TRUE(check.losesData());
}

// The check the window runs before converting judges text with the options it is checked with:
// a code page per table keeps the Greek and Cyrillic text that code page 1252 would lose.
TEST_F(CheckAgainstRun, ACheckBeforeTheRunJudgesTextWithTheOptionsChecked)
{
    RunHarness h;
    prepare(h, "checked-run", "Languages");
    convert::RunPorts ports{h.dialogs, h.frontend, h.frontend, h.frontend, nullptr};
    convert::CheckedRun run(h.conversion, h.frontend.settings(), ports, "CheckedRun");
    auto outsideCodePage = [&](const std::string& table) {
        for (const convert::TableCheck& checked : run.tables())
            if (checked.table == table)
                return std::any_of(checked.problems.begin(), checked.problems.end(),
                                   [](const convert::ColumnProblem& p) { return p.problem == CheckProblem::NotInCodePage; });
        ADD_FAILURE() << "no check of " << table;
        return false;
    };

    ASSERT_EQ(run.check({}), convert::RunOutcome::Finished);
    EXPECT_TRUE(outsideCodePage("Greek"));
    EXPECT_TRUE(outsideCodePage("Cyrillic"));

    convert::TypeOptions pages;
    for (const char* choice : {"Greek=1253", "Cyrillic=1251"})
        ASSERT_FALSE(convert::AddCodePage(pages, choice));
    ASSERT_EQ(run.check(pages), convert::RunOutcome::Finished);
    EXPECT_FALSE(outsideCodePage("Greek"));
    EXPECT_FALSE(outsideCodePage("Cyrillic"));
    EXPECT_TRUE(outsideCodePage("Polish"));
}

} // namespace
