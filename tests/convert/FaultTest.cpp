// Faults injected into real quillmere-cli runs against the demo server: the folder removed or
// its disk filled mid-run, the server frozen or killed mid-result, two runs into one folder.
// A fault that every later table would meet ends the run with one report and exit status 2;
// the tables written before it read back cleanly.

#include "CliRunner.h"
#include "DemoServer.h"
#include "RunFixture.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using clitest::CliProcess;
using clitest::CliResult;

namespace {

// Enough rows that a run is still writing Orders when the fault is injected.
constexpr long kOrders = 100000;
// Orders.DB has grown past its first blocks: rows are being written.
constexpr std::uintmax_t kWriting = 256 * 1024;

bool waitFor(const std::function<bool()>& done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::uintmax_t sizeOf(const fs::path& file)
{
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

int count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A Paradox folder holding one sample table, as the run requires.
fs::path folderWithATable(const fs::path& folder)
{
    fs::create_directories(folder);
    fs::copy_file(testsupport::binDir() / "Samples" / "CUSTOMER.DB", folder / "CUSTOMER.DB");
    return folder;
}

// The rows of a table as the independent reader finds them; fails the test when it finds damage.
std::size_t rowsReadBack(const fs::path& folder, const std::string& table)
{
    const fs::path file = runtest::tableFile(folder, table);
    EXPECT_FALSE(file.empty()) << table << " is missing in " << folder;
    if (file.empty())
        return 0;
    std::size_t rows = 0;
    EXPECT_NO_THROW(rows = runtest::readBack(file).records.size());
    return rows;
}

// The run ended with one report naming Orders and the rows read, and those rows are written.
void expectStoppedReadingOrders(const CliResult& run, const fs::path& folder)
{
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_EQ(count(run.err, "Application Error"), 1) << run.err;
    const std::string said = "Reading the table Orders stopped after ";
    const auto at = run.err.find(said);
    ASSERT_NE(at, std::string::npos) << run.err;
    const long rowsRead = std::atol(run.err.c_str() + at + said.size());
    EXPECT_GT(rowsRead, 0);
    EXPECT_EQ(rowsReadBack(folder, "Orders"), static_cast<std::size_t>(rowsRead));
}

// A tmpfs of a few megabytes where the test may mount one.
struct SmallDisk {
    fs::path folder;
    bool mounted = false;
    explicit SmallDisk(const fs::path& at) : folder(at)
    {
        fs::create_directories(folder);
        mounted = mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=3m") == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            umount2(folder.c_str(), MNT_DETACH);
    }
};

class Fault : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::registerSqlServerDriver();
        setenv("FAULT_TEST_PASSWORD", "Demo-Pass1", 1);
        orders_ = testsupport::makeOrdersDatabase("FaultOrders.sqlite", kOrders, 0);
    }

    std::vector<std::string> args(const testsupport::DemoServer& server, const fs::path& folder,
                                  const std::vector<std::string>& more = {}) const
    {
        std::vector<std::string> all{"--server", "127.0.0.1", "--port", std::to_string(server.port()),
                                     "--database", "Big", "--user", server.user(), "--password-env",
                                     "FAULT_TEST_PASSWORD", "--folder", folder.string(), "--overwrite", "yes"};
        all.insert(all.end(), more.begin(), more.end());
        return all;
    }

    static inline fs::path orders_;
};

} // namespace

TEST_F(Fault, AFolderRemovedMidRunEndsTheRunNamingTheFolder)
{
    testsupport::DemoServer server({{"Big", orders_}});
    const fs::path folder = folderWithATable(testsupport::freshFolder("removed") / "target");
    CliProcess cli(args(server, folder));
    ASSERT_TRUE(waitFor([&] { return sizeOf(folder / "Orders.DB") > kWriting; }));
    // The server waits while the folder goes, so that the run is still under way.
    kill(server.pid(), SIGSTOP);
    fs::remove_all(folder);
    kill(server.pid(), SIGCONT);
    const CliResult run = cli.finish();

    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_EQ(count(run.err, "Application Error"), 1) << run.err;
    EXPECT_NE(run.err.find("The folder '" + folder.string() + "' is gone"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find(std::to_string(kOrders) + " rows written"), std::string::npos) << run.out;
}

TEST_F(Fault, AFullDiskEndsTheRunAndKeepsWhatWasWritten)
{
    testsupport::DemoServer server({{"Big", orders_}});
    const SmallDisk disk(testsupport::freshFolder("full-disk") / "mount");
    const fs::path folder = folderWithATable(disk.folder / "target");
    // Without a tmpfs of its own, the run's files may not grow past a few megabytes either.
    CliProcess cli(args(server, folder), [&] {
        if (disk.mounted)
            return;
        const rlimit limit{3 << 20, 3 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
    });
    const CliResult run = cli.finish();

    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_EQ(count(run.err, "Application Error"), 1) << run.err;
    EXPECT_NE(run.err.find("The folder '" + folder.string() + "' has no room for more data"), std::string::npos)
        << run.err;
    const std::size_t rows = rowsReadBack(folder, "Orders");
    EXPECT_GT(rows, 0u);
    EXPECT_LT(rows, static_cast<std::size_t>(kOrders));
    EXPECT_GT(rowsReadBack(folder, "CUSTOMER"), 0u);
}

TEST_F(Fault, AFrozenServerEndsTheRunAfterTheTimeoutAndTheRowsReadStay)
{
    testsupport::DemoServer server({{"Big", orders_}});
    const fs::path folder = folderWithATable(testsupport::freshFolder("frozen") / "target");
    CliProcess cli(args(server, folder, {"--timeout", "2"}));
    ASSERT_TRUE(waitFor([&] { return sizeOf(folder / "Orders.DB") > kWriting; }));
    kill(server.pid(), SIGSTOP);
    const CliResult run = cli.finish();
    kill(server.pid(), SIGCONT);

    expectStoppedReadingOrders(run, folder);
}

TEST_F(Fault, AServerKilledMidResultEndsTheRunAndTheRowsReadStay)
{
    testsupport::DemoServer server({{"Big", orders_}});
    const fs::path folder = folderWithATable(testsupport::freshFolder("killed") / "target");
    CliProcess cli(args(server, folder));
    ASSERT_TRUE(waitFor([&] { return sizeOf(folder / "Orders.DB") > kWriting; }));
    kill(server.pid(), SIGKILL);
    const CliResult run = cli.finish();

    expectStoppedReadingOrders(run, folder);
}

// The second run starts while the first is writing Orders. One writer per folder: at most one
// of them succeeds, and the folder keeps readable tables.
TEST_F(Fault, TwoRunsIntoOneFolderLoseNoTable)
{
    testsupport::DemoServer server({{"Big", orders_}});
    const fs::path folder = folderWithATable(testsupport::freshFolder("concurrent") / "target");
    CliProcess first(args(server, folder));
    ASSERT_TRUE(waitFor([&] { return sizeOf(folder / "Orders.DB") > kWriting; }));
    CliProcess second(args(server, folder));
    const CliResult firstRun = first.finish();
    const CliResult secondRun = second.finish();

    EXPECT_LE((firstRun.status == 0) + (secondRun.status == 0), 1) << firstRun.out << firstRun.err << secondRun.out
                                                                   << secondRun.err;
    EXPECT_GT(rowsReadBack(folder, "CUSTOMER"), 0u);
    const std::size_t rows = rowsReadBack(folder, "Orders");
    if (firstRun.status == 0 || secondRun.status == 0) {
        EXPECT_EQ(rows, static_cast<std::size_t>(kOrders));
    }
}
