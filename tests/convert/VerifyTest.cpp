// Verification after each table, on the sample Sales database through the real driver: a clean
// run finds every row it wrote; a byte changed on disk between a table's last row and its
// read-back is the one difference, an error report naming the table and the row's key.
#include "RunFixture.h"

#include <gtest/gtest.h>

#include <fstream>

using runtest::RunHarness;

namespace {

void prepare(RunHarness& h, const std::string& folderName)
{
    h.frontend.folder = runtest::samplesCopy(folderName).string();
    h.frontend.loginFields = runtest::salesLogin();
    h.frontend.overwrite = {"orders"};
}

const convert::TableSummary& summaryOf(const convert::RunResult& result, const std::string& table)
{
    for (const convert::TableSummary& summary : result.tables)
        if (summary.table == table)
            return summary;
    throw std::runtime_error("no summary for " + table);
}

// Flips a bit of the first byte after the key of the table's second record.
void changeSecondRecord(const std::filesystem::path& table)
{
    std::fstream file(table, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char head[4] = {};
    file.read(reinterpret_cast<char*>(head), sizeof head);
    const std::streamoff recordSize = head[0] | head[1] << 8, headerSize = head[2] | head[3] << 8;
    const std::streamoff at = headerSize + 6 + recordSize + 4;
    file.seekg(at);
    const char byte = static_cast<char>(file.get());
    file.seekp(at);
    file.put(static_cast<char>(byte ^ 0x01));
}

} // namespace

TEST(Verify, ACleanRunFindsEveryRowItWroteAndReportsOnlyRefusedRows)
{
    RunHarness h;
    prepare(h, "verify-clean");
    std::vector<std::string> readBack;
    h.frontend.beforeReadBack = [&](const std::string& table) { readBack.push_back(table); };
    const convert::RunResult result = h.run();

    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    EXPECT_EQ(readBack.size(), result.tables.size());
    std::int64_t written = 0;
    for (const convert::TableSummary& table : result.tables) {
        EXPECT_EQ(table.rowsVerified, table.rowsWritten) << table.table;
        EXPECT_TRUE(table.verifyError.empty()) << table.verifyError;
        written += table.rowsWritten;
    }
    EXPECT_GT(written, 10);
    for (const std::string& report : h.dialogs.errorReports())
        EXPECT_NE(report.find("line 484"), std::string::npos) << "only refused rows are reported: " << report;
}

TEST(Verify, AByteChangedOnDiskBeforeTheReadBackIsReportedWithTheTableAndTheRowsKey)
{
    RunHarness h;
    prepare(h, "verify-changed");
    h.frontend.beforeReadBack = [&](const std::string& table) {
        if (table == "Customers")
            changeSecondRecord(runtest::tableFile(h.frontend.folder, table));
    };
    const convert::RunResult result = h.run();

    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    const convert::TableSummary& customers = summaryOf(result, "Customers");
    ASSERT_GE(customers.rowsWritten, 2);
    EXPECT_EQ(customers.rowsVerified, customers.rowsWritten - 1);
    const std::string key = runtest::readBack(runtest::tableFile(h.frontend.folder, "Customers")).records.at(1).at(0);
    EXPECT_NE(customers.verifyError.find("Table Customers: "), std::string::npos) << customers.verifyError;
    EXPECT_NE(customers.verifyError.find("the row with SBSID " + key + " "), std::string::npos) << customers.verifyError;
    int reports = 0;
    for (const std::string& report : h.dialogs.errorReports())
        reports += report.find(customers.verifyError) != std::string::npos;
    EXPECT_EQ(reports, 1);
    // The run goes on: the tables after it verify as usual.
    const convert::TableSummary& allTypes = summaryOf(result, "AllTypes");
    EXPECT_EQ(allTypes.rowsVerified, allTypes.rowsWritten);
    EXPECT_TRUE(allTypes.verifyError.empty());
}

TEST(Verify, TurnedOffOrInPreviewNothingIsReadBack)
{
    for (const bool preview : {false, true}) {
        RunHarness h;
        prepare(h, preview ? "verify-preview" : "verify-off");
        h.frontend.verify = preview;
        h.frontend.preview = preview;
        h.frontend.wholeRun = preview;
        bool readBack = false;
        h.frontend.beforeReadBack = [&](const std::string&) { readBack = true; };
        const convert::RunResult result = h.run();

        EXPECT_FALSE(readBack) << "preview " << preview;
        for (const convert::TableSummary& table : result.tables)
            EXPECT_EQ(table.rowsVerified, -1) << table.table;
    }
}
