// The Start Converting run against the demo server (real FreeTDS driver) and real Paradox folders.
// The sample Sales database lists AllTypes, Customers, Ledger, Order Details, Orders, Products;
// the Samples folder already holds ORDERS.
#include "RunFixture.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using runtest::RunHarness;

namespace {

const std::vector<std::string> kLastFirst{"Products", "Orders", "Order Details", "Ledger", "Customers", "AllTypes"};

std::vector<std::string> tableNames(const std::vector<convert::TableSummary>& tables)
{
    std::vector<std::string> names;
    for (const auto& t : tables)
        names.push_back(t.table);
    return names;
}

std::vector<long> keys(const runtest::ReadBack& table)
{
    std::vector<long> values;
    for (const auto& record : table.records)
        values.push_back(std::stol(record.at(0)));
    return values;
}

std::string fileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void prepare(RunHarness& h, const std::string& folderName)
{
    h.frontend.folder = runtest::samplesCopy(folderName).string();
    h.frontend.loginFields = runtest::salesLogin();
}

void executeAll(RunHarness& h, runtest::ScriptedFrontend& f)
{
    // As the preview's Execute SQL: a rejected row is the window's to report, the rest go on.
    for (const std::string& statement : f.statements) {
        try {
            h.state().Paradox_conn->Execute(statement);
        } catch (const db::Error&) {
        }
    }
}

TEST(Run, DirectModeWalksTheTablesLastFirstAndKeysRunOnAcrossTables)
{
    RunHarness h;
    prepare(h, "direct");
    h.frontend.overwrite = {"orders"};
    const convert::RunResult result = h.run();

    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    EXPECT_EQ(tableNames(result.tables), kLastFirst);
    EXPECT_EQ(h.frontend.asked, std::vector<std::string>{"Orders"});
    EXPECT_EQ(h.dialogs.informations(), std::vector<std::string>{"Done."});
    EXPECT_FALSE(h.state().busy);
    EXPECT_EQ(h.state().tbl, "AllTypes");

    // Products: three of its four rows hold values no Paradox column can take. Each costs one
    // report at the execute step; the other row is written and the keys still advance per row.
    const auto& products = result.tables.at(0);
    EXPECT_EQ(products.rowsWritten, 1);
    EXPECT_EQ(products.rowsRejected, 3);
    const auto productRows = runtest::readBack(runtest::tableFile(h.frontend.folder, "Products"));
    EXPECT_EQ(keys(productRows), std::vector<long>{1});
    int rejectedAt484 = 0;
    for (const std::string& text : h.dialogs.errorReports())
        rejectedAt484 += text.find("PushButton7_Click at line 484") != std::string::npos;
    EXPECT_EQ(rejectedAt484, result.errorReports);

    // Orders was answered Yes: dropped before it was created, so the sample's table is gone.
    const auto orders = runtest::readBack(runtest::tableFile(h.frontend.folder, "Orders"));
    EXPECT_EQ(keys(orders), (std::vector<long>{4, 5, 6, 7, 8}));
    EXPECT_EQ(orders.names.at(1), "OrderID");
    int ordersFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(h.frontend.folder))
        ordersFiles += QString::fromStdString(entry.path().filename().string()).compare("orders.db", Qt::CaseInsensitive) == 0;
    EXPECT_EQ(ordersFiles, 1);
    const auto details = runtest::readBack(runtest::tableFile(h.frontend.folder, "Order Details"));
    EXPECT_EQ(keys(details).front(), 9);

    // Progress: 100 exactly once per table, at its last row; the bar ends at 0 with its idle text.
    int hundreds = 0;
    for (double v : h.frontend.progressValues) {
        EXPECT_LE(v, 100.0);
        hundreds += v == 100.0;
    }
    EXPECT_EQ(hundreds, 6);
    EXPECT_EQ(h.frontend.progressValues.back(), 0.0);
    EXPECT_EQ(h.frontend.progressTexts.front(), "Please wait.. Processing table Products");
    EXPECT_EQ(h.frontend.progressTexts.back(), "Progress Bar");
    EXPECT_FALSE(h.state().mssql_conn->isOpen());
    EXPECT_FALSE(h.state().Paradox_conn->isOpen());
}

TEST(Run, OverwriteQuestionConcernsTheFolderItselfInAnyCaseAndNoSkipsTheTable)
{
    RunHarness h;
    prepare(h, "answered-no");
    const std::filesystem::path folder = h.frontend.folder;
    // Old copies in sub-folders are listed, but a table written into the folder leaves them be.
    std::filesystem::create_directories(folder / "old" / "deeper");
    std::filesystem::copy_file(folder / "CUSTOMER.DB", folder / "old" / "deeper" / "customers.db");
    std::filesystem::copy_file(folder / "ORDERS.DB", folder / "old" / "products.db");
    h.frontend.overwrite = {"Products", "Customers"};
    const std::string samplesOrders = fileBytes(folder / "ORDERS.DB");
    const std::string oldCustomers = fileBytes(folder / "old" / "deeper" / "customers.db");

    const convert::RunResult result = h.run();

    EXPECT_EQ(h.frontend.asked, std::vector<std::string>{"Orders"});
    EXPECT_EQ(fileBytes(folder / "ORDERS.DB"), samplesOrders);
    const auto& listed = h.state().List2.items();
    EXPECT_NE(std::find(listed.begin(), listed.end(), "CUSTOMERS"), listed.end());
    EXPECT_EQ(fileBytes(folder / "old" / "deeper" / "customers.db"), oldCustomers);
    ASSERT_EQ(result.tables.size(), 6u);
    EXPECT_EQ(result.tables[0].statementsRejected, result.tables[0].rowsRejected);
    EXPECT_TRUE(result.tables[1].skipped);
    EXPECT_EQ(result.tables[1].rowsWritten, 0);
    EXPECT_FALSE(result.tables[4].skipped);
    EXPECT_EQ(keys(runtest::readBack(runtest::tableFile(folder, "Customers"))).size(),
              static_cast<std::size_t>(result.tables[4].rowsWritten));
    // The skipped table takes no key values: Order Details follows Products' four rows.
    EXPECT_EQ(keys(runtest::readBack(runtest::tableFile(folder, "Order Details"))).front(), 4);
}

// The folder goes after the first table: the next table's definition meets it, and the run
// ends there with one report, without "Done.", its connections closed.
TEST(Run, AFolderGoneMidRunEndsTheRunAfterOneReport)
{
    RunHarness h;
    prepare(h, "gone");
    h.frontend.onTableFinished = [](runtest::ScriptedFrontend& f) {
        if (f.finished.size() == 1)
            std::filesystem::remove_all(f.folder);
    };
    const convert::RunResult result = h.run();

    EXPECT_EQ(result.outcome, convert::RunOutcome::Stopped);
    EXPECT_EQ(tableNames(result.tables), (std::vector<std::string>{"Products", "Orders", "Order Details"}));
    int gone = 0;
    for (const std::string& text : h.dialogs.errorReports())
        gone += text.find("The folder '" + h.frontend.folder + "' is gone") != std::string::npos;
    EXPECT_EQ(gone, 1);
    EXPECT_TRUE(h.dialogs.informations().empty());
    EXPECT_FALSE(h.state().busy);
    EXPECT_FALSE(h.state().mssql_conn->isOpen());
    EXPECT_FALSE(h.state().Paradox_conn->isOpen());
    EXPECT_EQ(h.frontend.progressTexts.back(), "Progress Bar");
}

TEST(Run, SecondRunStartsItsKeysAtZero)
{
    RunHarness h;
    prepare(h, "twice");
    h.frontend.overwrite = {"Products", "Orders", "Order Details", "Ledger", "Customers", "AllTypes"};
    h.run();
    h.run();
    EXPECT_EQ(h.frontend.asked.size(), 1u + 6u);
    EXPECT_EQ(keys(runtest::readBack(runtest::tableFile(h.frontend.folder, "Orders"))),
              (std::vector<long>{4, 5, 6, 7, 8}));
    EXPECT_EQ(h.dialogs.informations(), (std::vector<std::string>{"Done.", "Done."}));
}

TEST(Run, WholeRunPreviewCollectsEveryTableAndExecutesOnlyAfterExecuteSql)
{
    for (const bool execute : {false, true}) {
        SCOPED_TRACE(execute ? "Execute SQL" : "< Back");
        RunHarness h;
        prepare(h, execute ? "whole-run-executed" : "whole-run-back");
        h.frontend.preview = true;
        h.frontend.wholeRun = true;
        h.frontend.overwrite = {"Orders"};
        std::vector<std::string> shown;
        h.frontend.onShow = [&](runtest::ScriptedFrontend& f) {
            shown = f.statements;
            if (execute) {
                executeAll(h, f);
                f.outcome.executed = true;
            }
        };
        const convert::RunResult result = h.run();

        EXPECT_EQ(h.frontend.shows, 1);
        // 6 tables x (create + index), 24 rows, one drop.
        ASSERT_EQ(shown.size(), 37u);
        EXPECT_EQ(shown[0].rfind("CREATE TABLE \"Products\" (\"SBSID\" INT, ", 0), 0u);
        EXPECT_EQ(shown[1], "CREATE INDEX \"Products\" ON \"Products\" (\"SBSID\") with primary");
        EXPECT_EQ(shown[2].rfind("INSERT INTO \"Products\" VALUES (0,1, 'Chai', ", 0), 0u);
        EXPECT_EQ(shown[6], "DROP TABLE \"Orders\";");
        EXPECT_EQ(h.frontend.datatypes.front().table, "Products");
        EXPECT_EQ(h.frontend.datatypes.back().table, "AllTypes");
        EXPECT_EQ(result.errorReports, 0);
        EXPECT_EQ(runtest::tableFile(h.frontend.folder, "Products").empty(), !execute);
        EXPECT_EQ(h.dialogs.informations(), std::vector<std::string>{"Done."});
        EXPECT_FALSE(h.state().mssql_conn->isOpen());
        EXPECT_FALSE(h.state().Paradox_conn->isOpen());
    }
}

TEST(Run, PerTablePreviewGoesOnAfterSkipAndAfterExecuteAndEndsOnBack)
{
    RunHarness h;
    prepare(h, "per-table");
    h.frontend.preview = true;
    h.frontend.perTable = true;
    h.frontend.overwrite = {"Orders"};
    std::vector<std::vector<std::string>> shown;
    h.frontend.onShow = [&](runtest::ScriptedFrontend& f) {
        shown.push_back(f.statements);
        if (shown.size() == 1) {
            f.outcome.skipped = true;           // Skip Table / Do Not Execute SQL
        } else if (shown.size() == 2) {
            executeAll(h, f);                   // Execute SQL went through every row
            f.outcome.executed = true;
        }                                       // the third: < Back
    };
    const convert::RunResult result = h.run();

    ASSERT_EQ(h.frontend.shows, 3);
    EXPECT_EQ(tableNames(result.tables), (std::vector<std::string>{"Products", "Orders", "Order Details"}));
    EXPECT_EQ(shown[0].size(), 2u + 4u);
    ASSERT_EQ(shown[1].size(), 1u + 2u + 5u);
    EXPECT_EQ(shown[1][0], "DROP TABLE \"Orders\";");
    EXPECT_EQ(shown[1][3].rfind("INSERT INTO \"Orders\" VALUES (4,10248, ", 0), 0u);
    EXPECT_EQ(shown[2][0].rfind("CREATE TABLE \"Order Details\"", 0), 0u);
    EXPECT_TRUE(runtest::tableFile(h.frontend.folder, "Products").empty());
    EXPECT_EQ(runtest::readBack(runtest::tableFile(h.frontend.folder, "Orders")).records.size(), 5u);
    EXPECT_TRUE(runtest::tableFile(h.frontend.folder, "Order Details").empty());
    EXPECT_TRUE(runtest::tableFile(h.frontend.folder, "Ledger").empty());
    EXPECT_EQ(h.dialogs.informations(), std::vector<std::string>{"Done."});
    EXPECT_FALSE(h.state().Paradox_conn->isOpen());
}

TEST(Run, NothingHappensWithoutTablesWithoutLoginOrWhileBusy)
{
    {
        RunHarness h;
        h.frontend.folder = testsupport::freshFolder("no-tables").string();
        h.frontend.loginFields = runtest::salesLogin();
        EXPECT_EQ(h.run().outcome, convert::RunOutcome::NoParadoxTables);
        EXPECT_TRUE(h.dialogs.shown.empty());
        EXPECT_FALSE(h.state().busy);
    }
    {
        RunHarness h;
        prepare(h, "bad-login");
        h.frontend.loginFields.password = "wrong";
        EXPECT_EQ(h.run().outcome, convert::RunOutcome::CannotConnect);
        EXPECT_TRUE(h.dialogs.shown.empty());
        EXPECT_TRUE(h.frontend.progressTexts.empty());
    }
    {
        RunHarness h;
        prepare(h, "busy");
        h.state().busy = true;
        EXPECT_EQ(h.run().outcome, convert::RunOutcome::Busy);
        EXPECT_TRUE(h.dialogs.shown.empty());
        EXPECT_TRUE(h.state().busy);
        EXPECT_FALSE(h.state().mssql_conn);
    }
}

} // namespace
