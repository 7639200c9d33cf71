// quillmere-cli as a script sees it: the real program against the demo server through the real
// FreeTDS driver, into Paradox folders on disk; exit status, printed reasons and files checked.

#include "CliRunner.h"
#include "DemoServer.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <arpa/inet.h>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <tuple>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using clitest::CliResult;
using clitest::readAll;
using clitest::runProgram;

CliResult runCli(const std::vector<std::string>& args) { return runProgram("quillmere-cli", args); }
CliResult runPxsql(const std::vector<std::string>& args) { return runProgram("pxsql", args); }

// Every file of the folder with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = readAll(entry.path());
    return files;
}

// A demo-server database made by the SQLite script `sql`.
fs::path makeDatabase(const std::string& fileName, const std::string& sql)
{
    const fs::path file = testsupport::freshFolder("db-" + fileName) / fileName;
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + file.string());
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string why = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot fill " + file.string() + ": " + why);
    return file;
}

// `rows` rows 1, 2, ... of a table whose columns are given.
std::string filled(const std::string& table, const std::string& columns, const std::string& values, int rows)
{
    return "CREATE TABLE " + table + " (" + columns + ");"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(rows) +
           ") INSERT INTO " + table + " SELECT " + values + " FROM n;";
}

// A database with one table Widgets whose every value Paradox takes.
fs::path makeCleanDatabase(const std::string& fileName, int rows)
{
    return makeDatabase(fileName, filled("Widgets", "WidgetID int NOT NULL PRIMARY KEY, Name nvarchar(40), Price money, Made datetime",
                                         "i, 'Widget ' || i, i * 1.25, '2021-08-31 14:05:00'", rows));
}

// Widgets (5 rows) in dbo and in the schema Archive (3 rows), Ärger (2 rows) and an empty Notes.
fs::path makeChoiceDatabase()
{
    return makeDatabase("Choice.sqlite",
                        "CREATE TABLE Widgets (WidgetID int NOT NULL PRIMARY KEY, Name nvarchar(40));"
                        "INSERT INTO Widgets VALUES (1, 'a'), (2, 'b'), (3, 'c'), (4, 'd'), (5, 'e');"
                        "CREATE TABLE \"Archive.Widgets\" (WidgetID int NOT NULL PRIMARY KEY, Name nvarchar(40));"
                        "INSERT INTO \"Archive.Widgets\" VALUES (1, 'old'), (2, 'older'), (3, 'oldest');"
                        "CREATE TABLE \"Ärger\" (ID int NOT NULL PRIMARY KEY, Reason nvarchar(40));"
                        "INSERT INTO \"Ärger\" VALUES (1, 'x'), (2, 'y');"
                        "CREATE TABLE Notes (NoteID int NOT NULL PRIMARY KEY, Body nvarchar(200));");
}

// Whether UDP port `port` of 127.0.0.1 can be bound now.
bool udpPortFree(uint16_t port)
{
    const int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (probe >= 0)
        close(probe);
    return free;
}

fs::path samplesCopy(const std::string& name)
{
    const fs::path folder = testsupport::freshFolder(name);
    fs::copy(testsupport::binDir() / "Samples", folder, fs::copy_options::recursive);
    return folder;
}

// A TCP relay on 127.0.0.1 in front of the demo server that keeps every byte it passes, both
// ways: what anyone on the wire would see.
class RecordingProxy {
public:
    explicit RecordingProxy(int targetPort) : target_(targetPort)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the recording proxy cannot listen");
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { acceptClients(); });
    }

    ~RecordingProxy()
    {
        stop_ = true;
        acceptor_.join();
        for (std::thread& relay : relays_)
            relay.join();
        ::close(listener_);
    }

    int port() const { return port_; }

    std::string captured()
    {
        std::lock_guard lock(mutex_);
        return captured_;
    }

private:
    void acceptClients()
    {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) != 1)
                continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(target_));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (client < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            relays_.emplace_back([this, client, server] { relay(client, server); });
        }
    }

    void relay(int client, int server)
    {
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        bool open = true;
        while (open && !stop_) {
            if (::poll(ends, 2, 50) <= 0)
                continue;
            for (int i = 0; i < 2 && open; ++i) {
                if (!(ends[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char chunk[16384];
                const ssize_t n = ::recv(ends[i].fd, chunk, sizeof chunk, 0);
                open = n > 0 && ::send(ends[1 - i].fd, chunk, static_cast<size_t>(n), MSG_NOSIGNAL) == n;
                if (n > 0) {
                    std::lock_guard lock(mutex_);
                    captured_.append(chunk, static_cast<size_t>(n));
                }
            }
        }
        ::close(client);
        ::close(server);
    }

    int target_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::vector<std::thread> relays_;
    std::mutex mutex_;
    std::string captured_;
};

// The text as UTF-16LE, as TDS carries names, passwords and nvarchar values.
std::string utf16(const std::string& ascii)
{
    std::string out;
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// The password as LOGIN7 carries it without TLS: each UTF-16 byte nibble-swapped and XORed with 0xA5.
std::string scrambled(const std::string& password)
{
    std::string out = utf16(password);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        c = static_cast<char>(((b << 4) | (b >> 4)) ^ 0xA5);
    }
    return out;
}

bool holds(const std::string& capture, const std::string& part) { return capture.find(part) != std::string::npos; }

class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::registerSqlServerDriver();
        setenv("CLI_TEST_PASSWORD", "Demo-Pass1", 1);
        setenv("CLI_TEST_WRONG", "not-the-password", 1);
    }

    static std::vector<std::string> login(const testsupport::DemoServer& server, const std::string& database,
                                          const std::string& passwordVar = "CLI_TEST_PASSWORD")
    {
        return {"--server", "127.0.0.1", "--port", std::to_string(server.port()), "--database", database,
                "--user", server.user(), "--password-env", passwordVar};
    }

    static std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more)
    {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

TEST_F(CliTest, CleanDatabaseExitsZeroWithASummaryPerTable)
{
    const fs::path db = makeCleanDatabase("CliClean.sqlite", 25);
    testsupport::DemoServer server({{"Shop", db}});
    const fs::path folder = samplesCopy("clean");

    const CliResult run = runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes"}));

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Widgets: 25 rows written, 0 rejected, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" rows/s"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("Application Error"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("\ntable    read  written  rejected  verified  seconds"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nWidgets    25       25         0        25"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\ntotal      25       25         0        25"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(folder / "Widgets.DB"));
    EXPECT_TRUE(fs::exists(folder / "Widgets.PX"));
}

TEST_F(CliTest, EveryTableIsReadBackAndVerifiedUnlessNoVerifyIsGiven)
{
    const fs::path db = makeCleanDatabase("CliVerify.sqlite", 12);
    testsupport::DemoServer server({{"Shop", db}});
    const fs::path folder = samplesCopy("verify");

    const CliResult verified = runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes"}));
    EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
    EXPECT_NE(verified.out.find("\nWidgets: verified: 12 rows\n"), std::string::npos) << verified.out;

    const CliResult unverified =
        runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes", "--no-verify"}));
    EXPECT_EQ(unverified.status, 0) << unverified.out << unverified.err;
    EXPECT_NE(unverified.out.find("Widgets: 12 rows written"), std::string::npos) << unverified.out;
    EXPECT_EQ(unverified.out.find(": verified"), std::string::npos) << unverified.out;
    EXPECT_NE(unverified.out.find("\nWidgets    12       12         0         -"), std::string::npos) << unverified.out;
}

// Verification keeps a checksum of every row a table took (8 bytes each). Where the memory for
// them runs out, the rows are still the table's: every one is written and counted as written,
// and the table is reported once as not verified, with the reason.
TEST_F(CliTest, ATableWhoseChecksumsDoNotFitInMemoryIsWrittenWholeAndReportedOnceAsNotVerified)
{
    constexpr int kRows = 6'000'000; // 48 MB of checksums
    const fs::path db = makeDatabase("CliNarrow.sqlite", filled("Narrow", "N int", "i", kRows));
    testsupport::DemoServer server({{"Narrow", db}});
    const fs::path folder = testsupport::freshFolder("checksum-memory");
    // Room for everything the run needs, the reading thread's stack included, but not for the checksums.
    const auto limitData = [] {
        const rlimit limit{40 << 20, 40 << 20};
        ::setrlimit(RLIMIT_DATA, &limit);
    };

    const CliResult run =
        clitest::CliProcess("quillmere-cli", with(login(server, "Narrow"), {"--folder", folder.string()}), limitData).finish();

    EXPECT_EQ(run.status, 1) << run.out.substr(0, 2000) << run.err.substr(0, 2000);
    EXPECT_NE(run.out.find("Narrow: 6000000 rows written, 0 rejected"), std::string::npos) << run.out.substr(0, 2000);
    EXPECT_NE(run.out.find("\nnot verified: Table Narrow: the Paradox table was not read back to verify it: there was "
                           "not enough memory for a checksum of each of its rows"),
              std::string::npos)
        << run.out.substr(0, 2000);
    EXPECT_NE(run.err.find("quillmere-cli: 1 error report(s)"), std::string::npos) << run.err.substr(0, 2000);
    const CliResult info = runPxsql({folder.string(), "--info", "Narrow"});
    EXPECT_NE(info.out.find("records: 6000000\n"), std::string::npos) << info.out << info.err;
}

// A refused row is one line, `<table> row <key>: <reason>` (the key is the source's primary key
// where the table has one, else the row's number), twenty per table at most; the rest are
// counted, every one is in rejected-rows.sql, and the table of tables ends the run. --verbose
// prints the full report of each instead.
TEST_F(CliTest, RejectedRowsExitOneWithALineEachOrTheirFullReports)
{
    const std::string tooLong = "replace(hex(zeroblob(150)), '0', 'x')";
    const fs::path db = makeDatabase(
        "CliLines.sqlite",
        filled("Notes", "NoteID int NOT NULL PRIMARY KEY, Body nvarchar(300)",
               "i * 10, CASE WHEN i IN (1, 27) THEN 'fits' ELSE " + tooLong + " END", 27) +
            filled("Widgets", "WidgetID int", "i", 3) +
            "CREATE TABLE Pairs (A int NOT NULL, B nvarchar(5) NOT NULL, Body nvarchar(300), PRIMARY KEY (A, B));"
            "INSERT INTO Pairs VALUES (7, 'x', 'fits'), (7, 'y', " + tooLong + ");" +
            filled("Loose", "Body nvarchar(300)", "CASE WHEN i = 2 THEN " + tooLong + " ELSE 'fits' END", 3));
    testsupport::DemoServer server({{"Shop", db}});
    const fs::path folder = samplesCopy("rejected-lines");

    const CliResult run = runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes"}));

    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.err.find("Application Error"), std::string::npos) << run.err;
    std::vector<std::string> rowLines;
    std::istringstream err(run.err);
    for (std::string line; std::getline(err, line);)
        if (line.rfind("Notes row ", 0) == 0)
            rowLines.push_back(line);
    ASSERT_EQ(rowLines.size(), 20u) << run.err;
    EXPECT_EQ(rowLines.front().rfind("Notes row 20: SQL error at position ", 0), 0u) << rowLines.front();
    EXPECT_NE(rowLines.front().find("has 300 characters, the column holds 255"), std::string::npos) << rowLines.front();
    EXPECT_EQ(rowLines.back().rfind("Notes row 210: ", 0), 0u) << rowLines.back();
    EXPECT_NE(run.err.find("\nPairs row (7, y): SQL error at position "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\nLoose row 2: SQL error at position "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Notes: 5 more rejected rows not shown; every rejected row is in " +
                           (folder / "rejected-rows.sql").string()),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("\nNotes      27        2        25         2"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nWidgets     3        3         0         3"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\ntotal      35        8        27         8"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("rejected rows: 27, written to " + (folder / "rejected-rows.sql").string()),
              std::string::npos)
        << run.out;
    const std::string kept = readAll(folder / "rejected-rows.sql");
    int remarks = 0;
    for (std::size_t at = kept.find("-- Notes: "); at != std::string::npos; at = kept.find("-- Notes: ", at + 1))
        ++remarks;
    EXPECT_EQ(remarks, 25);

    const CliResult verbose =
        runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes", "--verbose"}));
    EXPECT_EQ(verbose.status, 1) << verbose.out << verbose.err;
    int reports = 0;
    for (std::size_t at = verbose.err.find("Application Error: "); at != std::string::npos;
         at = verbose.err.find("Application Error: ", at + 1))
        ++reports;
    EXPECT_EQ(reports, 27) << verbose.err;
    // A report names where the command line was, not a window's handler.
    EXPECT_NE(verbose.err.find(".quillmere-cli.main at line "), std::string::npos) << verbose.err;
    EXPECT_EQ(verbose.err.find("Form1"), std::string::npos) << verbose.err;
    EXPECT_EQ(verbose.err.find("Notes row "), std::string::npos) << verbose.err;
}

// The command line converts into a folder it makes, or one that is empty; a folder that holds
// other files but no table is still refused (see NothingDoneExitsTwoAndSaysWhy).
TEST_F(CliTest, ANewOrEmptyFolderTakesTheTables)
{
    const fs::path db = makeCleanDatabase("CliNewFolder.sqlite", 4);
    testsupport::DemoServer server({{"Shop", db}});
    const fs::path root = testsupport::freshFolder("new-folder");
    const fs::path made = root / "not" / "there";
    fs::create_directory(root / "empty");

    for (const fs::path& folder : {made, root / "empty"}) {
        SCOPED_TRACE(folder.string());
        const CliResult run = runCli(with(login(server, "Shop"), {"--folder", folder.string()}));
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_TRUE(fs::exists(folder / "Widgets.DB"));
        EXPECT_TRUE(fs::exists(folder / "Widgets.PX"));
    }
    std::ofstream(root / "blocked") << "a file where the folder would be\n";
    const CliResult blocked = runCli(with(login(server, "Shop"), {"--folder", (root / "blocked" / "sub").string()}));
    EXPECT_EQ(blocked.status, 2) << blocked.out << blocked.err;
    EXPECT_NE(blocked.err.find("cannot be made"), std::string::npos) << blocked.err;
}

// Every refused statement lands in rejected-rows.sql after a remark naming its table and
// reason; the file is private, no table of the folder, and replays once the cause is mended.
TEST_F(CliTest, RejectedRowsFileNamesEveryRefusedStatementAndReplays)
{
    testsupport::DemoServer server;
    const fs::path folder = samplesCopy("rejected-file");

    const CliResult run = runCli(with(login(server, "Sales"), {"--folder", folder.string(), "--overwrite", "yes"}));
    ASSERT_EQ(run.status, 1) << run.out << run.err;
    const fs::path file = folder / "rejected-rows.sql";
    ASSERT_TRUE(fs::exists(file)) << run.out;
    EXPECT_NE(run.out.find("rejected rows: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(", written to " + file.string()), std::string::npos) << run.out;
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    const std::string text = readAll(file);
    EXPECT_EQ(text.rfind("-- Products: SQL error at position ", 0), 0u) << text;
    EXPECT_EQ(text.find(";;"), std::string::npos) << text;

    // A value too long for its field, mended in the file, replays into the complete table.
    const std::string longText(300, 'x');
    const fs::path db = makeDatabase("CliRejected.sqlite",
                                     "CREATE TABLE Notes (NoteID int NOT NULL PRIMARY KEY, Body nvarchar(300));"
                                     "INSERT INTO Notes VALUES (1, 'plain'), (2, 'two' || char(10) || 'lines -- ' || '" +
                                         longText + "'), (3, 'last');");
    testsupport::DemoServer shop({{"Shop", db}});
    const fs::path mended = samplesCopy("rejected-mend");
    fs::create_symlink(folder / "elsewhere.sql", mended / "rejected-rows.sql");
    const CliResult refused = runCli(with(login(shop, "Shop"), {"--folder", mended.string(), "--overwrite", "yes"}));
    EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
    EXPECT_FALSE(fs::exists(folder / "elsewhere.sql"));
    fs::remove(mended / "rejected-rows.sql");
    const CliResult run2 = runCli(with(login(shop, "Shop"), {"--folder", mended.string(), "--overwrite", "yes"}));
    ASSERT_EQ(run2.status, 1) << run2.out << run2.err;
    EXPECT_NE(run2.out.find("rejected rows: 1, written to "), std::string::npos) << run2.out;
    std::string rejected = readAll(mended / "rejected-rows.sql");
    EXPECT_EQ(rejected.rfind("-- Notes: ", 0), 0u) << rejected;
    // One line for the remark and one for the statement, its line break written as Chr(10).
    EXPECT_EQ(std::count(rejected.begin(), rejected.end(), '\n'), 2) << rejected;
    EXPECT_NE(rejected.find("'two' & Chr(10) & 'lines -- "), std::string::npos) << rejected;
    const std::size_t xs = rejected.find("xxxx", rejected.find("INSERT"));
    ASSERT_NE(xs, std::string::npos) << rejected;
    rejected.replace(xs, rejected.find_first_not_of('x', xs) - xs, "short");
    std::ofstream(mended / "rejected-rows.sql", std::ios::trunc) << rejected;
    const CliResult replay = runPxsql({mended.string(), (mended / "rejected-rows.sql").string()});
    EXPECT_EQ(replay.status, 0) << replay.err;
    const std::string notes = runPxsql({mended.string(), "--dump", "Notes"}).out;
    EXPECT_NE(notes.find(",1,plain\n"), std::string::npos) << notes;
    EXPECT_NE(notes.find(",2,\"two\nlines -- short\"\n"), std::string::npos) << notes;
    EXPECT_NE(notes.find(",3,last\n"), std::string::npos) << notes;
}

// What the summary adds to a table's line: the rows a server error left unread, and once per
// column the values that lost fractions of a second.
TEST_F(CliTest, SummaryNamesRowsNotReadAndDroppedFractions)
{
    const fs::path db = makeDatabase(
        "CliPartial.sqlite",
        "CREATE TABLE Broken (ID int NOT NULL PRIMARY KEY, N int);"
        "INSERT INTO Broken VALUES (1, 1), (2, 2), (3, 'abc'), (4, 4);"
        "CREATE TABLE Stamps (ID int NOT NULL PRIMARY KEY, Made datetime);"
        "INSERT INTO Stamps VALUES (1, '2024-02-29 13:45:30.5'), (2, '2024-02-29 13:45:31.25'), (3, '2024-03-01');");
    testsupport::DemoServer server({{"Partial", db}});
    const fs::path folder = samplesCopy("partial");

    const CliResult run = runCli(with(login(server, "Partial"), {"--folder", folder.string(), "--overwrite", "yes"}));

    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("Broken: 2 rows written, 0 rejected, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nBroken: reading the source stopped after row 2 of 4, 2 rows not read: "),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("Application Error: Table Broken: reading stopped after row 2 of 4: "), std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("Stamps: 3 rows written, 0 rejected, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nStamps, column Made: 2 values lost their fraction of a second (dates and times are "
                           "written to the whole second), the first 02/29/2024 13:45:30.5\n"),
              std::string::npos)
        << run.out;
}

TEST_F(CliTest, NothingDoneExitsTwoAndSaysWhy)
{
    testsupport::DemoServer server;
    const fs::path samples = samplesCopy("nothing-samples");
    const fs::path empty = testsupport::freshFolder("nothing-empty");
    std::ofstream(empty / "notes.txt") << "not a table\n";

    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"folder without tables", with(login(server, "Sales"), {"--folder", empty.string()}),
         "holds no Paradox table (*.db)"},
        {"wrong password", with(login(server, "Sales", "CLI_TEST_WRONG"), {"--folder", samples.string()}),
         "cannot log in to SQL Server"},
        {"password variable not set", with(login(server, "Sales", "CLI_TEST_UNSET"), {"--folder", samples.string()}),
         "the environment variable CLI_TEST_UNSET is not set"},
        {"unknown overwrite answer",
         with(login(server, "Sales"), {"--folder", samples.string(), "--overwrite", "maybe"}), "Usage:"},
        {"timeout of no seconds", with(login(server, "Sales"), {"--folder", samples.string(), "--timeout", "0"}),
         "--timeout takes a whole number of seconds from 1 on"},
    };
    const auto before = snapshot(samples);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult run = runCli(c.args);
        EXPECT_EQ(run.status, 2) << run.out << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    }
    EXPECT_EQ(snapshot(samples), before);
    EXPECT_EQ(snapshot(empty).size(), 1u);
}

TEST_F(CliTest, StatementFileGetsEveryStatementAndTheFolderStaysAsItWas)
{
    const fs::path db = makeCleanDatabase("CliSql.sqlite", 3);
    testsupport::DemoServer server({{"Shop", db}});
    const fs::path folder = samplesCopy("sql-file");
    const fs::path sql = testsupport::freshFolder("sql-out") / "statements.sql";
    const auto before = snapshot(folder);

    const CliResult run =
        runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes", "--sql", sql.string()}));

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(snapshot(folder), before);
    const std::string text = readAll(sql);
    EXPECT_NE(text.find("CREATE TABLE"), std::string::npos) << text;
    int inserts = 0;
    for (std::size_t at = text.find("INSERT INTO"); at != std::string::npos; at = text.find("INSERT INTO", at + 1))
        ++inserts;
    EXPECT_EQ(inserts, 3) << text;
    EXPECT_NE(run.out.find("rows written to the statement file"), std::string::npos) << run.out;
}

TEST_F(CliTest, OverwriteNoKeepsAnExistingTableByteForByte)
{
    const fs::path first = makeCleanDatabase("CliFirst.sqlite", 4);
    const fs::path second = makeCleanDatabase("CliSecond.sqlite", 9);
    testsupport::DemoServer server({{"First", first}, {"Second", second}});
    const fs::path folder = samplesCopy("overwrite-no");

    ASSERT_EQ(runCli(with(login(server, "First"), {"--folder", folder.string(), "--overwrite", "yes"})).status, 0);
    const auto before = snapshot(folder);

    for (const char* answer : {"no", "ask"}) {
        SCOPED_TRACE(answer);
        const CliResult run = runCli(with(login(server, "Second"), {"--folder", folder.string(), "--overwrite", answer}));
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("Widgets: skipped, the existing Paradox table was kept"), std::string::npos) << run.out;
        EXPECT_EQ(snapshot(folder), before);
    }

    const CliResult replace = runCli(with(login(server, "Second"), {"--folder", folder.string(), "--overwrite", "yes"}));
    EXPECT_EQ(replace.status, 0) << replace.out << replace.err;
    EXPECT_NE(replace.out.find("Widgets: 9 rows written"), std::string::npos) << replace.out;
    EXPECT_NE(snapshot(folder), before);
}

// Rows of a table, counted in the SQLite file behind the demo server.
long sqliteRows(const fs::path& file, const std::string& table)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* count = nullptr;
    std::string quoted = "\"";
    for (const char c : table)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    sqlite3_prepare_v2(db, ("SELECT COUNT(*) FROM " + quoted + "\"").c_str(), -1, &count, nullptr);
    const long rows = count && sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int64(count, 0) : -1;
    sqlite3_finalize(count);
    sqlite3_close(db);
    return rows;
}

TEST_F(CliTest, AHostileTableNameIsReadAsANameAndDeletesNothing)
{
    const fs::path file = testsupport::freshFolder("cli-hostile") / "Hostile.sqlite";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE Victim (ID int); INSERT INTO Victim VALUES (1), (2), (3);"
                 "CREATE TABLE \"Victim]; DELETE FROM [Victim\" (Tag nvarchar(20));"
                 "INSERT INTO \"Victim]; DELETE FROM [Victim\" VALUES ('own row');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    testsupport::DemoServer server({{"Hostile", file}});
    const fs::path folder = samplesCopy("cli-hostile-folder");
    const fs::path statements = folder / "statements.sql";

    const CliResult run =
        runCli(with(login(server, "Hostile"), {"--folder", folder.string(), "--sql", statements.string()}));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sqliteRows(file, "Victim"), 3);
    EXPECT_NE(readAll(statements).find("'own row'"), std::string::npos);
}

// Values and names that hold statements of their own stay data when the statement file is
// replayed: a value with a line break before a DROP, a column name that closes its quote and
// the statement, and a table name Paradox cannot take, which is refused naming it. The
// customer table of the folder keeps every row.
TEST_F(CliTest, StatementFileReplaysHostileValuesAndNamesAsData)
{
    const fs::path db = makeDatabase("CliHostile.sqlite",
                                     "CREATE TABLE Notes (NoteID int NOT NULL PRIMARY KEY, Body nvarchar(100));"
                                     "INSERT INTO Notes VALUES (1, 'first line' || char(10) || 'DROP TABLE \"CUSTOMER\";' || "
                                     "char(10) || 'last line'), (2, 'plain');"
                                     "CREATE TABLE Sneaky (ID int, \"a\"\" INT); DROP TABLE \"\"CUSTOMER\"\"; --\" int);"
                                     "INSERT INTO Sneaky VALUES (1, 2);"
                                     "CREATE TABLE \"quote\"\"d\" (ID int);"
                                     "INSERT INTO \"quote\"\"d\" VALUES (1);");
    testsupport::DemoServer server({{"Shop", db}});
    const fs::path folder = samplesCopy("sql-hostile");
    const fs::path sql = testsupport::freshFolder("sql-hostile-out") / "statements.sql";
    const std::string customersBefore = runPxsql({folder.string(), "--dump", "CUSTOMER"}).out;
    ASSERT_NE(customersBefore.find('\n'), customersBefore.rfind('\n')) << customersBefore;

    const CliResult run =
        runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes", "--sql", sql.string()}));
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    // Every statement takes one line, the line breaks of its values included.
    std::istringstream lines(readAll(sql));
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.rfind("INSERT INTO ", 0) == 0 || line.rfind("CREATE ", 0) == 0 || line.rfind("DROP ", 0) == 0)
            << line;
    const CliResult replay = runPxsql({folder.string(), sql.string()});
    EXPECT_EQ(replay.status, 1) << replay.err;
    EXPECT_NE(replay.err.find(R"(the table name "quote"d" holds '"', which a table name cannot hold)"), std::string::npos)
        << replay.err;
    EXPECT_NE(replay.err.find(R"(the column name "a" INT); DROP TABLE "CUSTOMER"; --" is longer than 25 characters)"),
              std::string::npos)
        << replay.err;
    const CliResult customers = runPxsql({folder.string(), "--dump", "CUSTOMER"});
    EXPECT_EQ(customers.status, 0) << customers.err;
    EXPECT_EQ(customers.out, customersBefore);
    // The key numbers run on across the tables, so only the value columns are compared.
    const std::string notes = runPxsql({folder.string(), "--dump", "Notes"}).out;
    EXPECT_NE(notes.find(",1,\"first line\nDROP TABLE \"\"CUSTOMER\"\";\nlast line\"\n"), std::string::npos) << notes;
    EXPECT_NE(notes.find(",2,plain\n"), std::string::npos) << notes;
}

// The statement file is private to its owner, never written through a link, and takes the
// place of an older one only once it is complete: a run that does nothing keeps the old file.
TEST_F(CliTest, StatementFileIsPrivateNeverFollowsALinkAndIsReplacedWhole)
{
    const fs::path db = makeCleanDatabase("CliSqlSafe.sqlite", 2);
    testsupport::DemoServer server({{"Shop", db}});
    const fs::path folder = samplesCopy("sql-safe");
    const fs::path out = testsupport::freshFolder("sql-safe-out");
    const fs::path sql = out / "statements.sql";
    std::ofstream(sql) << "the file of an earlier run\n";
    ::chmod(sql.c_str(), 0644);

    const CliResult failed = runCli(
        with(login(server, "Shop", "CLI_TEST_WRONG"), {"--folder", folder.string(), "--overwrite", "yes", "--sql", sql.string()}));
    EXPECT_EQ(failed.status, 2) << failed.out << failed.err;
    EXPECT_EQ(readAll(sql), "the file of an earlier run\n");

    const CliResult run =
        runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes", "--sql", sql.string()}));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(readAll(sql).find("INSERT INTO \"Widgets\""), std::string::npos);
    struct stat written {};
    ASSERT_EQ(::stat(sql.c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 07777, 0600u);
    for (const auto& entry : fs::directory_iterator(out))
        EXPECT_EQ(entry.path().filename(), "statements.sql") << "left behind: " << entry.path();

    const fs::path victim = out / "victim.txt";
    std::ofstream(victim) << "not to be touched\n";
    const fs::path link = out / "link.sql";
    fs::create_symlink(victim, link);
    const CliResult linked =
        runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes", "--sql", link.string()}));
    EXPECT_EQ(linked.status, 2) << linked.out << linked.err;
    EXPECT_NE(linked.err.find("symbolic link"), std::string::npos) << linked.err;
    EXPECT_EQ(readAll(victim), "not to be touched\n");
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST_F(CliTest, AReplacementWhoseDefinitionFailsKeepsTheOldTableAndReportsOnce)
{
    const fs::path first = makeCleanDatabase("CliOld.sqlite", 4);
    // Paradox column names hold at most 25 characters: the new Widgets cannot be defined.
    const fs::path second = makeDatabase(
        "CliLongName.sqlite", filled("Widgets", "WidgetID int, [A column name far too long for Paradox] int", "i, i", 40));
    testsupport::DemoServer server({{"First", first}, {"Second", second}});
    const fs::path folder = samplesCopy("failed-replacement");
    ASSERT_EQ(runCli(with(login(server, "First"), {"--folder", folder.string(), "--overwrite", "yes"})).status, 0);
    const auto before = snapshot(folder);

    const CliResult run = runCli(with(login(server, "Second"), {"--folder", folder.string(), "--overwrite", "yes"}));

    EXPECT_EQ(run.status, 1) << run.out << run.err;
    // The refused definition is kept beside the tables, which stay as they were.
    auto after = snapshot(folder);
    EXPECT_EQ(after["rejected-rows.sql"].rfind("-- Widgets: ", 0), 0u);
    EXPECT_NE(after["rejected-rows.sql"].find("\nCREATE TABLE \"Widgets\""), std::string::npos);
    after.erase("rejected-rows.sql");
    EXPECT_EQ(after, before);
    std::size_t reports = 0;
    for (std::size_t at = run.err.find("Application Error"); at != std::string::npos; at = run.err.find("Application Error", at + 1))
        ++reports;
    EXPECT_EQ(reports, 1u) << run.err;
    EXPECT_NE(run.err.find("is longer than 25 characters"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Widgets: 0 rows written, 0 rejected"), std::string::npos) << run.out;
}

TEST_F(CliTest, ListPrintsTheChosenTablesWithTheirCatalogRowCounts)
{
    testsupport::DemoServer server({{"Choice", makeChoiceDatabase()}});

    struct Case {
        const char* name;
        std::vector<std::string> choice;
        std::string printed; // in the order the run converts the tables
    };
    const std::vector<Case> cases = {
        {"every table", {}, "dbo\tÄrger\t2\ndbo\tWidgets\t5\ndbo\tNotes\t0\nArchive\tWidgets\t3\n"},
        {"bare name takes every schema", {"--tables", "WIDGETS"}, "dbo\tWidgets\t5\nArchive\tWidgets\t3\n"},
        {"schema-qualified, excluded", {"--tables", "*.widget?", "--exclude", "dbo.*"}, "Archive\tWidgets\t3\n"},
        {"several patterns, folded letter case", {"--tables", "är*, notes"},
         "dbo\tÄrger\t2\ndbo\tNotes\t0\n"},
        {"exclude alone", {"--exclude", "w*,n*"}, "dbo\tÄrger\t2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult run = runCli(with(with(login(server, "Choice"), {"--list"}), c.choice));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.printed);
    }
}

TEST_F(CliTest, ChosenTablesAreConvertedUnderTheNamesTheWholeRunGivesThem)
{
    testsupport::DemoServer server({{"Choice", makeChoiceDatabase()}});
    const fs::path folder = samplesCopy("choice");

    const CliResult run = runCli(with(login(server, "Choice"), {"--folder", folder.string(), "--overwrite", "yes",
                                                                 "--tables", "*widgets", "--exclude", "dbo.Widgets"}));

    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Archive_Widgets: 3 rows written"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Notes"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(folder / "Archive_Widgets.DB"));
    EXPECT_FALSE(fs::exists(folder / "Widgets.DB"));
    EXPECT_FALSE(fs::exists(folder / "Notes.DB"));
}

TEST_F(CliTest, PatternsThatChooseNothingExitTwoBeforeAnythingIsConverted)
{
    testsupport::DemoServer server({{"Choice", makeChoiceDatabase()}});
    const fs::path folder = samplesCopy("choice-nothing");
    const auto before = snapshot(folder);

    struct Case {
        const char* name;
        std::vector<std::string> choice;
        std::vector<std::string> reasons;
    };
    const std::vector<Case> cases = {
        {"unmatched include and exclude", {"--tables", "Widgets,Gadgets", "--exclude", "Archive.Nope"},
         {"\"Gadgets\" matches no table", "\"Archive.Nope\" matches no table"}},
        {"a pattern matches whole names", {"--tables", "Widget"}, {"\"Widget\" matches no table"}},
        {"everything excluded", {"--tables", "Notes", "--exclude", "*"}, {"leave no table to convert"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool list : {false, true}) {
            std::vector<std::string> args = with(login(server, "Choice"), c.choice);
            args = with(args, list ? std::vector<std::string>{"--list"}
                                   : std::vector<std::string>{"--folder", folder.string(), "--overwrite", "yes"});
            const CliResult run = runCli(args);
            EXPECT_EQ(run.status, 2) << run.out << run.err;
            EXPECT_EQ(run.out, "");
            for (const std::string& reason : c.reasons)
                EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        }
    }
    EXPECT_EQ(snapshot(folder), before);
}

TEST_F(CliTest, NamedInstanceIsReachedByItsNameAloneThroughTheBrowser)
{
    // The driver asks the SQL Server Browser on UDP 1434 and nowhere else.
    if (!udpPortFree(1434))
        GTEST_SKIP() << "UDP 127.0.0.1:1434 is taken by another program, so the demo server cannot answer there";
    testsupport::DemoServer server({{"Shop", makeCleanDatabase("CliInstance.sqlite", 7)}}, "sa", "Demo-Pass1",
                                   {"--instance", "QUILLTEST", "--browser-port", "1434"});
    const fs::path folder = samplesCopy("instance");

    // No --port: the instance's TCP port comes from the Browser; the name in any letter case.
    const std::vector<std::string> byName{"--server", "127.0.0.1\\quilltest", "--database", "Shop", "--user",
                                          server.user(), "--password-env", "CLI_TEST_PASSWORD"};
    const CliResult list = runCli(with(byName, {"--list"}));
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "dbo\tWidgets\t7\n");

    const CliResult run = runCli(with(byName, {"--folder", folder.string(), "--overwrite", "yes"}));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Widgets: 7 rows written"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(folder / "Widgets.DB"));
}

// Encrypted logins: the demo server with its certificate, watched through the recording proxy.
class CliEncryptionTest : public CliTest {
protected:
    static std::vector<std::string> tlsOptions(const std::string& encryption)
    {
        return {"--tls-cert", (testsupport::binDir() / "demo-server-cert.pem").string(), "--tls-key",
                (testsupport::binDir() / "demo-server-key.pem").string(), "--encryption", encryption};
    }

    static std::vector<std::string> loginThrough(const RecordingProxy& proxy, const testsupport::DemoServer& server)
    {
        return {"--server", "127.0.0.1", "--port", std::to_string(proxy.port()), "--database", "Shop",
                "--user", server.user(), "--password-env", "CLI_TEST_PASSWORD"};
    }

    static void expectNoCredentials(const std::string& capture)
    {
        EXPECT_FALSE(holds(capture, utf16(kLogin)));
        EXPECT_FALSE(holds(capture, utf16("Demo-Pass1")));
        EXPECT_FALSE(holds(capture, scrambled("Demo-Pass1")));
    }

    static constexpr const char* kLogin = "quill_reader";
};

TEST_F(CliEncryptionTest, EncryptedRunsConvertAndShowNoCredentialsOnTheWire)
{
    // Rows enough for several of the largest packets an encrypted connection takes.
    const fs::path db = makeCleanDatabase("CliEncrypted.sqlite", 2000);
    const std::string caFile = (testsupport::binDir() / "demo-server-cert.pem").string();
    struct Case {
        const char* what;
        const char* serverEncryption;
        std::vector<std::string> clientOptions;
        bool rowsEncrypted;
    };
    const Case cases[] = {
        {"everything encrypted", "on", {"--encrypt", "require", "--ca-file", caFile}, true},
        {"server required, client default", "required", {"--trust-server-certificate"}, true},
        {"login only: both sides off", "off", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::DemoServer server({{"Shop", db}}, kLogin, "Demo-Pass1", tlsOptions(c.serverEncryption));
        RecordingProxy proxy(server.port());
        const fs::path folder = samplesCopy("encrypted");

        const CliResult run = runCli(with(with(loginThrough(proxy, server), c.clientOptions),
                                          {"--folder", folder.string(), "--overwrite", "yes"}));

        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("Widgets: 2000 rows written, 0 rejected"), std::string::npos) << run.out;
        const std::string capture = proxy.captured();
        ASSERT_GT(capture.size(), 1000u);
        expectNoCredentials(capture);
        // Row values cross in the clear only when the stream went back to clear after the login.
        EXPECT_EQ(holds(capture, utf16("Widget 17")), !c.rowsEncrypted);
    }
}

TEST_F(CliEncryptionTest, RequireRefusesAServerThatCannotEncryptBeforeThePasswordLeaves)
{
    testsupport::DemoServer server({{"Shop", makeCleanDatabase("CliPlain.sqlite", 3)}}, kLogin, "Demo-Pass1");
    RecordingProxy proxy(server.port());

    const CliResult run = runCli(with(loginThrough(proxy, server), {"--encrypt", "require", "--folder",
                                                                    samplesCopy("plain").string()}));

    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.err.find("The server 127.0.0.1 (port " + std::to_string(proxy.port()) +
                           ") does not support encryption, and encryption is required"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("[FreeTDS]"), std::string::npos) << run.err;
    expectNoCredentials(proxy.captured());
}

TEST_F(CliEncryptionTest, CertificateThatDoesNotVerifyFailsUnlessTrusted)
{
    testsupport::DemoServer server({{"Shop", makeCleanDatabase("CliCert.sqlite", 3)}}, kLogin, "Demo-Pass1",
                                   tlsOptions("on"));
    const std::string otherAuthority = (testsupport::binDir() / "other-cert.pem").string();
    RecordingProxy proxy(server.port());

    const CliResult refused = runCli(with(loginThrough(proxy, server), {"--encrypt", "require", "--ca-file",
                                                                        otherAuthority, "--folder",
                                                                        samplesCopy("cert").string()}));
    EXPECT_EQ(refused.status, 2) << refused.out << refused.err;
    EXPECT_NE(refused.err.find("The certificate of the server 127.0.0.1 (port " + std::to_string(proxy.port()) +
                               ") is not trusted: it does not verify against the certificate authorities in " +
                               otherAuthority),
              std::string::npos)
        << refused.err;
    expectNoCredentials(proxy.captured());

    // Without a CA file, required encryption checks against the system's authorities.
    const CliResult system = runCli(with(loginThrough(proxy, server), {"--encrypt", "require", "--folder",
                                                                       samplesCopy("cert").string()}));
    EXPECT_EQ(system.status, 2) << system.out << system.err;
    EXPECT_NE(system.err.find("the system's certificate authorities"), std::string::npos) << system.err;

    const CliResult trusted = runCli(with(loginThrough(proxy, server),
                                          {"--encrypt", "require", "--trust-server-certificate", "--folder",
                                           samplesCopy("cert").string(), "--overwrite", "yes"}));
    EXPECT_EQ(trusted.status, 0) << trusted.out << trusted.err;
    EXPECT_NE(trusted.out.find("Widgets: 3 rows written"), std::string::npos) << trusted.out;
}

TEST_F(CliTest, EncryptionOptionsAreChecked)
{
    const fs::path folder = samplesCopy("options");
    const std::vector<std::string> base{"--server", "h", "--database", "d", "--folder", folder.string()};
    const CliResult badMode = runCli(with(base, {"--encrypt", "yes"}));
    EXPECT_EQ(badMode.status, 2);
    EXPECT_NE(badMode.err.find("--encrypt takes off, request or require, not \"yes\""), std::string::npos) << badMode.err;
    const CliResult both = runCli(with(base, {"--trust-server-certificate", "--ca-file", "/ca.pem"}));
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("exclude each other"), std::string::npos) << both.err;
}

} // namespace

namespace {

TEST_F(CliTest, TypeOptionsAreCheckedAndPassedOnAndBlobsReplayFromTheStatementFile)
{
    const fs::path folder = samplesCopy("type-options");
    const std::vector<std::string> base{"--server", "h", "--database", "d", "--folder", folder.string()};
    for (const auto& [option, value, reason] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"--long-text", "Memo", "--long-text takes text or memo, not \"Memo\""},
             {"--binary", "bytes", "--binary takes placeholder or blob, not \"bytes\""},
             {"--bigint", "long", "--bigint takes int or decimal, not \"long\""},
             {"--unmappable", "skip", "--unmappable takes reject or replace, not \"skip\""},
             {"--code-page", "Orders=936", "--code-page: a code page is one of 437, 850, 852, 866, 1250, 1251, 1252, "
                                           "1253, 1254, 1257, written N or TABLE=N, not \"Orders=936\""}}) {
        const CliResult wrong = runCli(with(base, {option, value}));
        EXPECT_EQ(wrong.status, 2) << option;
        EXPECT_NE(wrong.err.find(reason), std::string::npos) << wrong.err;
    }

    const fs::path db = makeDatabase("CliTypes.sqlite",
                                     "CREATE TABLE Media (ID int, Name nvarchar(40), Pic image, Big bigint);"
                                     "INSERT INTO Media VALUES (1, 'Ελλάδα', x'000A0D27FF', 9223372036854775807),"
                                     "(2, 'Москва', NULL, -9223372036854775808);"
                                     "CREATE TABLE Pics (ID int, Pic image);"
                                     "INSERT INTO Pics VALUES (1, x'000A0D27FF'), (2, NULL);");
    testsupport::DemoServer server({{"Shop", db}});
    const std::vector<std::string> options{"--binary", "blob", "--bigint", "decimal", "--code-page", "1251",
                                           "--unmappable", "replace"};
    const CliResult run =
        runCli(with(login(server, "Shop"), with({"--folder", folder.string(), "--overwrite", "yes", "--tables", "Media"}, options)));
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Media: 1 value altered: characters the code page lacks were written as '?'"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("1 value held characters that their table's code page lacks"), std::string::npos) << run.out;
    const std::string direct = runPxsql({folder.string(), "--dump", "Media"}).out;
    EXPECT_NE(direct.find(",1,??????,X'000A0D27FF',9223372036854775807.000000\n"), std::string::npos) << direct;
    EXPECT_NE(direct.find(",2,Москва,,-9223372036854775808.000000\n"), std::string::npos) << direct;

    // The statement file carries the bytes in the binary literal; pxsql replays them exactly, and
    // a dumped value written again gives the same bytes.
    const fs::path sql = testsupport::freshFolder("type-options-sql") / "statements.sql";
    const CliResult toFile = runCli(with(login(server, "Shop"), {"--folder", folder.string(), "--overwrite", "yes", "--sql",
                                                                 sql.string(), "--tables", "Pics", "--binary", "blob"}));
    ASSERT_EQ(toFile.status, 0) << toFile.out << toFile.err;
    EXPECT_NE(readAll(sql).find(",1, X'000A0D27FF');"), std::string::npos) << readAll(sql);
    const CliResult replay = runPxsql({folder.string(), sql.string()});
    EXPECT_EQ(replay.status, 0) << replay.err;
    const std::string pictures = runPxsql({folder.string(), "--dump", "Pics"}).out;
    EXPECT_NE(pictures.find(",1,X'000A0D27FF'\n"), std::string::npos) << pictures;
    EXPECT_NE(pictures.find(",2,\n"), std::string::npos) << pictures;
    const std::string dumpedValue = pictures.substr(pictures.find("X'"), 14);
    const fs::path again = testsupport::freshFolder("type-options-again") / "again.sql";
    std::ofstream(again) << "INSERT INTO \"Pics\" VALUES (100, 3, " << dumpedValue << ");\n";
    EXPECT_EQ(runPxsql({folder.string(), again.string()}).status, 0);
    EXPECT_NE(runPxsql({folder.string(), "--dump", "Pics"}).out.find("100,3,X'000A0D27FF'\n"), std::string::npos);
}

} // namespace
