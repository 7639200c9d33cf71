// A process killed with SIGKILL while it inserts leaves a table that pxread and the engine
// read cleanly, holding every row whose INSERT had returned: its guardian finishes a commit
// the kill cut short. Kills at random moments seldom land inside the few stores of a
// commit, so a second test single-steps the writer and kills it right there.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/CommitGuard.h"
#include "paradox/Encoding.h"
#include "paradox/Database.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>
#include <set>
#include <vector>

using namespace paradox;
namespace fs = std::filesystem;

namespace {

fs::path createOrders(const std::string& name)
{
    // The guardians of the killed children are handed to this process, to be waited for.
    EXPECT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const auto folder = testsupport::freshFolder(name);
    Database db(folder);
    db.execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "Customer" VARCHAR(40), "Amount" FLOAT, "Placed" TIMESTAMP, "Notes" MEMO, "Id" AUTOINCREMENT, "Scan" BLOB);)");
    db.execute(R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)");
    return folder;
}

// Row i's blob as the literal that writes it: NULL in most rows, so that the kills still
// land in commits, else small ones, which share .MB blocks, and large ones of a block of their own.
std::string scanLiteral(std::uint32_t i)
{
    if (i % 13) return "NULL";
    static const char digits[] = "0123456789ABCDEF";
    const std::size_t bytes = i % 26 ? 30 : 2100;
    std::string hex = "X'";
    for (std::size_t k = 0; k < bytes; ++k) {
        const unsigned char b = static_cast<unsigned char>(i + k);
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex + "'";
}

// Inserts from row `first` on, writing the count of rows after each INSERT to `ackFd`;
// stops itself (for a tracer) once that count is `stopAt`.
[[noreturn]] void insertForever(const fs::path& folder, std::uint32_t first, int ackFd, std::uint32_t stopAt = 0)
{
    try {
        Database db(folder);
        for (std::uint32_t i = first;; ++i) {
            db.execute("INSERT INTO \"Orders\" (\"SBSID\", \"Customer\", \"Amount\", \"Placed\", \"Notes\", \"Scan\") VALUES (" +
                       std::to_string(i) + ",'customer " + std::to_string(i) + "'," + std::to_string(i % 1000) +
                       ".25,'08/31/2021 10:15:00','" + std::string(i % 7 ? 5 : 300, 'm') + "'," + scanLiteral(i) + ");");
            const std::uint32_t done = i + 1;
            if (write(ackFd, &done, sizeof done) != sizeof done) _exit(3);
            if (done == stopAt) raise(SIGSTOP);
        }
    } catch (...) {
        _exit(2);
    }
}

// Waits for the one guardian the killed child left and returns how it exited.
int reapGuardian()
{
    int guardians = 0, exit = -1, status = 0;
    while (waitpid(-1, &status, 0) > 0) {
        ++guardians;
        exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    EXPECT_EQ(guardians, 1);
    return exit;
}

void expectPxcheckFindsNoProblem(const fs::path& folder)
{
    const auto check = ptest::pxcheck(folder / "Orders.DB");
    const auto index = ptest::pxcheckIndex(folder / "Orders.PX");
    EXPECT_EQ(check.status, 0) << check.out.substr(0, 3000);
    EXPECT_EQ(index.status, 0) << index.out.substr(0, 3000);
}

// Runs a child stopped under ptrace one instruction (or with PTRACE_SYSCALL, one entry to or
// exit from a system call) at a time until `done` says so, passing on any signal other than
// the trap of a step.
testing::AssertionResult singleStepUntil(pid_t child, long limit, const std::function<bool()>& done,
                                         __ptrace_request request = PTRACE_SINGLESTEP)
{
    int deliver = 0, status = 0;
    for (long step = 0; !done(); ++step) {
        if (step == limit) return testing::AssertionFailure() << "nothing seen in " << limit << " steps";
        if (ptrace(request, child, nullptr, reinterpret_cast<void*>(long(deliver))) != 0)
            return testing::AssertionFailure() << "ptrace: " << std::strerror(errno);
        if (waitpid(child, &status, 0) != child || !WIFSTOPPED(status))
            return testing::AssertionFailure() << "the child ended, status " << status;
        deliver = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
    }
    return testing::AssertionSuccess();
}

// Checks the table after a kill of a writer whose last returned INSERT made `acked` rows
// and returns its row count.
std::uint32_t checkOrders(const fs::path& folder, std::uint32_t acked)
{
    expectPxcheckFindsNoProblem(folder);
    // The room the writer took ahead of its blocks is cut by the guardian.
    const auto dbBytes = fs::file_size(folder / "Orders.DB");
    Database db(folder);
    Table& t = db.table("Orders");
    const Header& h = t.header();
    EXPECT_EQ(dbBytes, h.headerSize + std::uintmax_t(h.fileBlocks) * std::uintmax_t(h.blockSize()));
    EXPECT_GE(t.recordCount(), acked);
    EXPECT_LE(t.recordCount(), acked + 1);   // the insert under way may have completed
    std::uint32_t expect = 0;
    t.forEach([&](const unsigned char* r) {
        EXPECT_EQ(fieldText(t, 0, r), std::to_string(expect));
        EXPECT_EQ(fieldText(t, 4, r), std::string(expect % 7 ? 5 : 300, 'm'));
        const std::string scan = scanLiteral(expect);
        EXPECT_EQ(fieldText(t, 6, r), scan == "NULL" ? "" : scan);
        ++expect;
    });
    // The last auto-increment value handed out is stored in the commit of the row that used it.
    EXPECT_EQ(t.header().autoInc, t.recordCount());
    return t.recordCount();
}

// What a reader sees of the steps of a commit: which files the names lead to, the table
// header, the last block's header and the index header. The record and a new index entry
// are written before the commit where no reader looks, and are left out.
std::string visible(const fs::path& folder)
{
    std::string seen(0x20 + 6 + 0x20, '\0');
    const int db = open((folder / "Orders.DB").c_str(), O_RDONLY);
    const int px = open((folder / "Orders.PX").c_str(), O_RDONLY);
    struct stat dbFile {}, pxFile {};
    fstat(db, &dbFile);
    fstat(px, &pxFile);
    seen += std::to_string(dbFile.st_ino) + " " + std::to_string(pxFile.st_ino);
    unsigned char* out = reinterpret_cast<unsigned char*>(seen.data());
    if (pread(db, out, 0x20, 0) == 0x20) {
        const off_t headerSize = getLe16(out + 0x02), blockSize = off_t(out[0x05]) * 1024;
        const int last = getLe16(out + 0x10);
        if (last > 0 && pread(db, out + 0x20, 6, headerSize + (last - 1) * blockSize) != 6) seen.clear();
    }
    if (pread(px, out + 0x26, 0x20, 0) != 0x20) seen.clear();
    close(db);
    close(px);
    return seen;
}

// A traced child runs `prepare` on the folder's tables and stops itself; it is then run one
// system call at a time through `stepped` until the files show a change (the first rename of
// a commit), and killed there.
// Its guardian must finish the commit, leaving tables pxcheck reads cleanly.
void killAtTheFirstVisibleChange(const fs::path& folder, const std::function<void(Database&)>& prepare,
                                 const std::function<void(Database&)>& stepped)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(4);
        try {
            Database db(folder);
            prepare(db);
            raise(SIGSTOP);
            stepped(db);
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGSTOP) << "status " << status;
    const std::string before = visible(folder);
    ASSERT_TRUE(singleStepUntil(child, 100'000, [&] { return visible(folder) != before; }, PTRACE_SYSCALL));
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    EXPECT_EQ(reapGuardian(), CommitGuard::Finished);
    expectPxcheckFindsNoProblem(folder);
}

}  // namespace

TEST(Kill, EveryReturnedInsertSurvivesSigkill)
{
    const auto folder = createOrders("kill");
    std::mt19937 random(20260831);
    std::uint32_t rows = 0;
    constexpr int kKills = 60;
    int finished = 0;
    for (int round = 0; round < kKills; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int acks[2];
        ASSERT_EQ(pipe(acks), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(acks[0]);
            insertForever(folder, rows, acks[1]);
        }
        close(acks[1]);
        // Kill once the child has returned from a random number of inserts: it is busy
        // with the next one on the other core when the signal lands.
        const std::uint32_t target = rows + 1 + random() % 1000;
        std::uint32_t acked = rows, value = 0;
        while (acked < target && read(acks[0], &value, sizeof value) == sizeof value) acked = value;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while (read(acks[0], &value, sizeof value) == sizeof value) acked = value;
        close(acks[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself, status " << status;
        const int guardian = reapGuardian();
        ASSERT_TRUE(guardian == CommitGuard::Idle || guardian == CommitGuard::Finished) << "guardian exit " << guardian;
        if (guardian == CommitGuard::Finished) ++finished;
        rows = checkOrders(folder, acked);
        if (HasFailure()) return;
    }
    EXPECT_GT(rows, std::uint32_t(kKills));
    std::cout << finished << " of " << kKills << " kills fell inside a commit\n";

    Database db(folder);
    db.execute("INSERT INTO \"Orders\" VALUES (" + std::to_string(rows) + ", 'last', 1, '01/01/2000', 'm', NULL, X'0A0B')");
    EXPECT_EQ(ptest::pxcheck(folder / "Orders.DB").status, 0);
    EXPECT_EQ(ptest::pxcheckIndex(folder / "Orders.PX").status, 0);
}

// The child stops itself after a number of inserts; from there it runs one instruction at
// a time until the first store of the next commit shows in the files, and a few more, and
// is killed. Every other round that next insert starts a new block.
TEST(Kill, AKillInsideTheCommitIsFinishedByTheGuardian)
{
    const auto folder = createOrders("kill-commit");
    std::mt19937 random(20261208);
    std::uint32_t rows = 0;
    int perBlock = 0;
    {
        Database db(folder);
        perBlock = db.table("Orders").header().recordsPerBlock();
    }
    constexpr int kKills = 20;
    for (int round = 0; round < kKills; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::uint32_t stopAt = rows + 1 + random() % 200;
        if (round % 2) stopAt = (stopAt + perBlock - 1) / perBlock * perBlock;
        int acks[2];
        ASSERT_EQ(pipe(acks), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(acks[0]);
            if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(4);
            insertForever(folder, rows, acks[1], stopAt);
        }
        close(acks[1]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGSTOP) << "status " << status;
        const std::string before = visible(folder);
        int more = -1;
        ASSERT_TRUE(singleStepUntil(child, 5'000'000, [&] {
            if (more > 0)
                --more;
            else if (more < 0 && visible(folder) != before)
                more = int(random() % 8);
            return more == 0;
        }));
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        std::uint32_t acked = rows, value = 0;
        while (read(acks[0], &value, sizeof value) == sizeof value) acked = value;
        close(acks[0]);
        ASSERT_EQ(acked, stopAt);
        EXPECT_EQ(reapGuardian(), CommitGuard::Finished);
        rows = checkOrders(folder, acked);
        EXPECT_EQ(rows, acked + 1);
        if (HasFailure()) return;
    }
}

// An insert below the last key rewrites the index and the table under temporary names and
// renames them into place, the index first: killed right after that first rename, the
// writer leaves the second to its guardian.
TEST(Kill, AKillBetweenTheRenamesOfARewriteIsFinished)
{
    const auto folder = createOrders("kill-rewrite");
    auto insert = [](Database& db, int key) {
        db.execute("INSERT INTO \"Orders\" (\"SBSID\", \"Notes\") VALUES (" + std::to_string(key) + ", 'm')");
    };
    {
        Database db(folder);
        for (int i = 1; i <= 100; ++i) insert(db, 10 * i);
    }
    ASSERT_NO_FATAL_FAILURE(
        killAtTheFirstVisibleChange(folder, [&](Database& db) { insert(db, 1010); }, [&](Database& db) { insert(db, 5); }));
    Database db(folder);
    Table& t = db.table("Orders");
    EXPECT_EQ(t.recordCount(), 102u);
    std::vector<std::string> keys;
    t.forEach([&](const unsigned char* r) { keys.push_back(fieldText(t, 0, r)); });
    ASSERT_EQ(keys.size(), 102u);
    EXPECT_EQ(keys.front(), "5");
    EXPECT_EQ(keys.back(), "1010");
    EXPECT_FALSE(fs::exists(folder / "Orders.DB.~new"));
}

// DROP TABLE and CREATE TABLE build the new table under a temporary name; the CREATE INDEX
// that completes it renames its files over the old ones and removes the old blob file, as
// one commit: killed after the first rename, the writer leaves the rest to its guardian.
TEST(Kill, AKillInsideTheReplacementOfATableIsFinished)
{
    const auto folder = createOrders("kill-replace");
    {
        Database db(folder);
        db.execute(R"(INSERT INTO "Orders" ("SBSID", "Notes") VALUES (1, ')" + std::string(300, 'm') + "')");
    }
    ASSERT_NO_FATAL_FAILURE(killAtTheFirstVisibleChange(
        folder,
        [](Database& db) {
            db.execute(R"(DROP TABLE "Orders";)");
            db.execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "Amount" FLOAT);)");
        },
        [](Database& db) { db.execute(R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)"); }));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    // The killed writer's lock file stays; the next writer takes it over.
    EXPECT_EQ(names, (std::set<std::string>{".quillmere.lock", "Orders.DB", "Orders.PX"}));
    Database db(folder);
    Table& t = db.table("Orders");
    EXPECT_EQ(t.recordCount(), 0u);
    EXPECT_EQ(t.header().fields.size(), 2u);
    EXPECT_TRUE(t.keyed());
}
