// The guardian of a writer killed with a commit armed makes the commit's steps; with nothing
// armed it leaves the files alone. The writers here are forked children that arm a journal
// and die before making the steps, which no kill of a real engine hits on purpose.
#include "Helpers.h"
#include "FileSizeLimit.h"

#include "TestPaths.h"
#include "paradox/CommitGuard.h"
#include "paradox/Database.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace paradox;
namespace fs = std::filesystem;

namespace {

struct Files {
    fs::path folder, table, index, staged;
    explicit Files(const std::string& name)
        : folder(testsupport::freshFolder(name)), table(folder / "T.DB"), index(folder / "T.PX"), staged(folder / "T.PX.~new")
    {
        ptest::writeFile(table, std::string(64, '\0'));
        ptest::writeFile(index, "old index");
        ptest::writeFile(staged, "new index");
    }
};

// Runs `writer` in a child that dies of `signal`, in a process group of its own, and returns
// how its guardian exited (-1: it did not exit normally, -2: there was none).
template <class Writer>
int guardianAfter(int signal, Writer writer)
{
    EXPECT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        CommitGuard guard;
        guard.start();
        if (!guard.running()) _exit(9);
        writer(guard);
        // The whole group for an interrupt, as a terminal sends it; a SIGKILL to the group
        // would end the guardian too.
        if (signal == SIGINT)
            kill(0, signal);
        else
            raise(signal);
        pause();
        _exit(8);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
    int exit = -2;
    while (waitpid(-1, &status, 0) > 0) exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit;
}

CommitGuard::Commit stores(const Files& f)
{
    CommitGuard::Commit c;
    const int table = c.file(f.table);
    c.store32(table, 6, 0x04030201);
    c.store16(table, 16, 0x0605);
    c.store(table, 56, "abcdefgh", 8);
    c.rename(c.file(f.staged), c.file(f.index));
    return c;
}

std::string expected()
{
    std::string bytes(64, '\0');
    bytes.replace(6, 4, "\x01\x02\x03\x04");
    bytes.replace(16, 2, "\x05\x06");
    bytes.replace(56, 8, "abcdefgh");
    return bytes;
}

}  // namespace

TEST(CommitGuard, FinishesTheArmedCommitOfAKilledWriter)
{
    const Files f("guard-finish");
    const int exit = guardianAfter(SIGKILL, [&](CommitGuard& guard) {
        const CommitGuard::Commit c = stores(f);
        if (!guard.arm(c)) _exit(7);
        // Made already: the guardian makes it again, and the rename is found done.
        const int fd = open(f.table.c_str(), O_WRONLY);
        if (pwrite(fd, "\x01\x02\x03\x04", 4, 6) != 4) _exit(7);
        close(fd);
        if (rename(f.staged.c_str(), f.index.c_str()) != 0) _exit(7);
    });
    EXPECT_EQ(exit, CommitGuard::Finished);
    EXPECT_EQ(ptest::readFile(f.table), expected());
    EXPECT_EQ(ptest::readFile(f.index), "new index");
    EXPECT_FALSE(fs::exists(f.staged));
}

TEST(CommitGuard, OutlivesTheInterruptOfItsProcessGroup)
{
    const Files f("guard-interrupt");
    const int exit = guardianAfter(SIGINT, [&](CommitGuard& guard) {
        const CommitGuard::Commit c = stores(f);
        if (!guard.arm(c)) _exit(7);
    });
    EXPECT_EQ(exit, CommitGuard::Finished);
    EXPECT_EQ(ptest::readFile(f.table), expected());
    EXPECT_EQ(ptest::readFile(f.index), "new index");
}

TEST(CommitGuard, LeavesTheFilesAloneWithNothingArmed)
{
    const Files f("guard-idle");
    const int exit = guardianAfter(SIGKILL, [&](CommitGuard& guard) {
        const CommitGuard::Commit c = stores(f);
        if (!guard.arm(c)) _exit(7);
        guard.disarm();
        // Refused, and made unguarded by the caller: a path the guardian could not find
        // again from its own working folder, and one longer than the journal holds.
        CommitGuard::Commit relative;
        const fs::path name = "T.DB";
        relative.store16(relative.file(name), 0, 1);
        if (guard.arm(relative)) _exit(6);
        CommitGuard::Commit longer;
        const fs::path deep = f.folder / std::string(CommitGuard::kPathBytes, 'x');
        longer.store16(longer.file(deep), 0, 1);
        if (guard.arm(longer)) _exit(6);
    });
    EXPECT_EQ(exit, CommitGuard::Idle);
    EXPECT_EQ(ptest::readFile(f.table), std::string(64, '\0'));
    EXPECT_EQ(ptest::readFile(f.index), "old index");
    EXPECT_EQ(ptest::readFile(f.staged), "new index");
}

// The guardian keeps none of the writer's descriptors: a pipe the writer held reaches its
// end when the writer closes it, with the guardian alive.
TEST(CommitGuard, HoldsNoDescriptorOfTheWriter)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        CommitGuard guard;
        guard.start();
        const char ready = guard.running() ? 'y' : 'n';
        if (write(ends[1], &ready, 1) != 1) _exit(7);
        close(ends[1]);
        pause();
        _exit(8);
    }
    close(ends[1]);
    char c = 0;
    EXPECT_EQ(read(ends[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    pollfd end{ends[0], POLLIN, 0};
    ASSERT_EQ(poll(&end, 1, 10000), 1) << "the pipe is still open";
    EXPECT_EQ(read(ends[0], &c, 1), 0);
    close(ends[0]);
    kill(child, SIGKILL);
    int status = 0, guardians = 0;
    while (waitpid(-1, &status, 0) > 0) ++guardians;
    EXPECT_EQ(guardians, 2);   // the child and its guardian
}

// A Database closed normally takes its guardian with it.
TEST(CommitGuard, EndsWithItsDatabase)
{
    const auto folder = testsupport::freshFolder("guard-database");
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "T" ("Id" INT, "Name" VARCHAR(10));)");
        db.execute(R"(CREATE INDEX "T" ON "T" ("Id") with primary)");
        db.execute(R"(INSERT INTO "T" VALUES (1, 'one'))");
    }
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(ptest::pxcheck(folder / "T.DB").status, 0);
}

namespace {

// The .DB of an empty table of 204-byte records, in a fresh folder of this name.
fs::path paddedTable(const std::string& folderName)
{
    const fs::path folder = testsupport::freshFolder(folderName);
    Database db(folder);
    db.execute(R"(CREATE TABLE "R" ("ID" INT, "Pad" CHAR(200)))");
    return folder / "R.DB";
}

}  // namespace

// Room ahead of a table's blocks is taken only while a guardian runs, which cuts it should the
// writer die: without one (no fork, or none started) the file ends with its last block after
// every append; with one it may run on while the table is open, and ends there once cut.
TEST(CommitGuard, OnlyAGuardedTableTakesRoomAheadOfItsBlocks)
{
    const fs::path file = paddedTable("guard-room-ahead");
    const std::vector<Table::Blob> none;
    auto blocksEnd = [](const Table& t) {
        return t.header().headerSize + std::uintmax_t(t.header().fileBlocks) * std::uintmax_t(t.header().blockSize());
    };
    {
        const auto unguarded = Table::open(file);
        std::string record(std::size_t(unguarded->header().recordSize), '\0');
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(unguarded->append(record, none), Table::Result::Ok);
            ASSERT_EQ(fs::file_size(file), blocksEnd(*unguarded)) << "after row " << i;
        }
    }
    CommitGuard guard;
    const auto guarded = Table::open(file, &guard);
    std::string record(std::size_t(guarded->header().recordSize), '\0');
    bool ranOn = false;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(guarded->append(record, none), Table::Result::Ok);
        ranOn = ranOn || fs::file_size(file) > blocksEnd(*guarded);
    }
    ASSERT_TRUE(guard.running());
    EXPECT_TRUE(ranOn);
    guarded->cutRoomAhead();
    EXPECT_EQ(fs::file_size(file), blocksEnd(*guarded));
    EXPECT_EQ(guarded->recordCount(), 400u);
}

// Room ahead that the disk cannot give is not taken, and costs no row: the block the next row
// needs is still written when it fits (the file-size limit stands in for a full disk).
TEST(CommitGuard, RoomAheadTheDiskCannotGiveCostsNoRow)
{
    const fs::path file = paddedTable("guard-room-full");
    const std::vector<Table::Blob> none;
    CommitGuard guard;
    const auto table = Table::open(file, &guard);
    std::string record(std::size_t(table->header().recordSize), '\0');
    // Enough blocks that the room asked for next is many blocks.
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(table->append(record, none), Table::Result::Ok);
    ASSERT_TRUE(guard.running());
    table->cutRoomAhead();
    const std::uint64_t before = table->recordCount();
    const int perBlock = table->header().recordsPerBlock();
    const std::uint64_t inLastBlock = before % std::uint64_t(perBlock);
    const std::uint64_t roomForOne = fs::file_size(file) + std::uint64_t(table->header().blockSize());

    std::uint64_t accepted = 0;
    bool refused = false;
    {
        const ptest::FileSizeLimit limit(roomForOne);
        for (int i = 0; i < 4 * perBlock && !refused; ++i) {
            try {
                ASSERT_EQ(table->append(record, none), Table::Result::Ok);
                ++accepted;
            } catch (const FileError&) {
                refused = true;
            }
        }
    }

    EXPECT_TRUE(refused);
    const std::uint64_t fits = (inLastBlock ? std::uint64_t(perBlock) - inLastBlock : 0) + std::uint64_t(perBlock);
    EXPECT_EQ(accepted, fits);
    table->cutRoomAhead();
    EXPECT_EQ(table->recordCount(), before + accepted);
    EXPECT_EQ(ptest::pxcheck(file).status, 0);
}
