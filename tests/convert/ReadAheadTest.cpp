// The run reads a table's next rows on a thread of its own while it writes the rows before. On a
// table of many batches from the demo server: the rows keep the server's order; a server that
// dies mid-table and a folder that goes mid-table each end the run with the report a run reading
// row by row gives, the rows before the failure written, and no reading thread outlives the run.

#include "DemoServer.h"
#include "RunFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using runtest::RunHarness;

namespace {

// Many batches of rows, and more than the socket buffers hold, so that a failure can come mid-table.
constexpr long kOrders = 100000;
constexpr std::int64_t kFailAtRow = 2000;

std::size_t threadsOfThisProcess()
{
    std::size_t threads = 0;
    for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task"))
        ++threads;
    return threads;
}

class ReadAhead : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::registerSqlServerDriver();
        orders_ = testsupport::makeOrdersDatabase("ReadAheadOrders.sqlite", kOrders, 0);
    }

    void SetUp() override
    {
        server_ = std::make_unique<testsupport::DemoServer>(std::vector<testsupport::DemoServer::Database>{{"Big", orders_}});
        h.frontend.folder = runtest::samplesCopy(::testing::UnitTest::GetInstance()->current_test_info()->name()).string();
        h.frontend.loginFields = MSSQL::Login{"127.0.0.1", std::to_string(server_->port()), "Big", server_->user(),
                                              server_->password(), false, {}};
        h.frontend.overwrite = {"orders"};
        threadsBefore_ = threadsOfThisProcess();
        // The most threads seen while rows are written: the reader is one of them.
        h.frontend.onRowsDone = [this](const std::string&, std::int64_t done) {
            if (done % 1000 == 0)
                threadsWhileWriting_ = std::max(threadsWhileWriting_, threadsOfThisProcess());
            if (done == kFailAtRow && failAtRow_)
                failAtRow_();
        };
    }

    const convert::TableSummary& orders(const convert::RunResult& result) const
    {
        const auto at = std::ranges::find(result.tables, std::string("Orders"), &convert::TableSummary::table);
        if (at == result.tables.end())
            throw std::runtime_error("no summary for Orders");
        return *at;
    }

    RunHarness h;
    std::unique_ptr<testsupport::DemoServer> server_;
    std::function<void()> failAtRow_;
    std::size_t threadsBefore_ = 0;
    std::size_t threadsWhileWriting_ = 0;
    static inline fs::path orders_;
};

} // namespace

TEST_F(ReadAhead, RowsKeepTheServersOrderAcrossBatches)
{
    const convert::RunResult result = h.run();

    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished) << ::testing::PrintToString(h.dialogs.errorReports());
    EXPECT_EQ(orders(result).rowsWritten, kOrders);
    EXPECT_EQ(orders(result).rowsVerified, kOrders);
    EXPECT_GT(threadsWhileWriting_, threadsBefore_);
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore_);

    const runtest::ReadBack table = runtest::readBack(runtest::tableFile(h.frontend.folder, "Orders"));
    ASSERT_EQ(table.records.size(), static_cast<std::size_t>(kOrders));
    const auto orderId = std::ranges::find(table.names, std::string("OrderID")) - table.names.begin();
    ASSERT_LT(static_cast<std::size_t>(orderId), table.names.size());
    // The generated key counts the rows in the order they were written; OrderID is the server's order.
    for (std::size_t row = 0; row < table.records.size(); ++row) {
        ASSERT_EQ(table.records[row][static_cast<std::size_t>(orderId)], std::to_string(row + 1)) << "row " << row;
        if (row > 0) {
            ASSERT_LT(std::stoll(table.records[row - 1][0]), std::stoll(table.records[row][0])) << "row " << row;
        }
    }
}

TEST_F(ReadAhead, AServerThatDiesMidTableEndsTheRunWithTheRowsBeforeItWritten)
{
    failAtRow_ = [&] { kill(server_->pid(), SIGKILL); };
    const convert::RunResult result = h.run();

    EXPECT_EQ(result.outcome, convert::RunOutcome::Stopped);
    const convert::TableSummary& summary = orders(result);
    EXPECT_GT(summary.rowsRead, kFailAtRow);
    EXPECT_LT(summary.rowsRead, kOrders);
    EXPECT_EQ(summary.rowsWritten, summary.rowsRead);
    EXPECT_FALSE(summary.readError.empty());
    const std::vector<std::string> reports = h.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("Reading the table Orders stopped after " + std::to_string(summary.rowsRead) +
                              " rows; the rows before are kept. " + summary.readError),
              std::string::npos)
        << reports[0];
    EXPECT_EQ(runtest::readBack(runtest::tableFile(h.frontend.folder, "Orders")).records.size(),
              static_cast<std::size_t>(summary.rowsRead));
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore_);
}

TEST_F(ReadAhead, AFolderThatGoesMidTableStopsTheReading)
{
    failAtRow_ = [&] { fs::remove_all(h.frontend.folder); };
    const convert::RunResult result = h.run();

    EXPECT_EQ(result.outcome, convert::RunOutcome::Stopped);
    EXPECT_LT(orders(result).rowsRead, kOrders);
    const std::vector<std::string> reports = h.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("The folder '" + h.frontend.folder + "' is gone"), std::string::npos) << reports[0];
    EXPECT_GT(threadsWhileWriting_, threadsBefore_);
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore_);
    ASSERT_TRUE(h.state().mssql_conn);
    EXPECT_FALSE(h.state().mssql_conn->isOpen());
    // The server was left with nothing under way: it serves the next run.
    EXPECT_TRUE(MSSQL::CanConnectSqlServer(h.frontend.loginFields));
}
