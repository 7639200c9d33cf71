// One writer per folder: a second writer, in this process or another, is refused at once
// with a message naming the folder; readers are not; a killed writer's lock is gone.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/Database.h"
#include "paradox/FolderLock.h"
#include "paradox/Table.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace paradox;

namespace {

const std::string kCreate = R"(CREATE TABLE "T" ("ID" INT, "V" CHAR(3)))";

std::string insert(int id) { return "INSERT INTO T VALUES (" + std::to_string(id) + ", 'v')"; }

std::string refusal(const fs::path& folder, pid_t holder)
{
    return "The folder '" + folder.string() + "' is being written by another program (process " + std::to_string(holder) +
           "); only one program at a time may write to a folder";
}

// A writer in a child process: it makes table T with rows, says so on `ready`, and holds the
// folder, idle, until it is killed. (A read while rows are being added may meet the table in
// the middle of a change; the lock does not order readers.)
pid_t startWriter(const fs::path& folder)
{
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        try {
            Database db(folder);
            db.execute(kCreate);
            for (int i = 0; i < 1000; ++i) db.execute(insert(i));
            if (write(ready[1], "r", 1) != 1) _exit(3);
            for (;;) pause();
        } catch (...) {
            _exit(2);
        }
    }
    close(ready[1]);
    char byte = 0;
    const bool started = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    return started ? child : -1;
}

}  // namespace

TEST(FolderLock, ASecondWriterInTheSameProcessIsRefusedUntilTheFirstCloses)
{
    const auto folder = testsupport::freshFolder("lock-same-process");
    auto first = std::make_unique<Database>(folder);
    first->execute(kCreate);
    first->execute(insert(1));
    EXPECT_TRUE(fs::exists(folder / FolderLock::kFileName));
    EXPECT_EQ(first->tableNames(), std::vector<std::string>{"T"});

    Database second(folder);
    for (const std::string& statement : {insert(2), std::string(R"(DROP TABLE "T")")}) {
        try {
            second.execute(statement);
            ADD_FAILURE() << statement << " went through";
        } catch (const FolderInUseError& e) {
            EXPECT_EQ(std::string(e.what()), refusal(folder, getpid()));
        }
    }
    // Reading takes no lock.
    EXPECT_EQ(second.table("T").recordCount(), 1u);

    first.reset();
    EXPECT_FALSE(fs::exists(folder / FolderLock::kFileName));
    for (int id = 2; id < 200; ++id) second.execute(insert(id));
    EXPECT_EQ(second.table("T").recordCount(), 199u);
    EXPECT_EQ(ptest::pxcheck(folder / "T.DB").status, 0);
}

// A writer in another process refuses pxsql's script, which changes nothing, while
// pxsql --dump reads; killed, it leaves no lock, and the next writer goes ahead.
TEST(FolderLock, AnotherProcessWritingRefusesAScriptAndAKilledWriterLeavesNoLock)
{
    const auto folder = testsupport::freshFolder("lock-processes");
    const pid_t writer = startWriter(folder);
    ASSERT_GT(writer, 0);

    const auto refused = ptest::run({PXSQL, folder.string()}, "DROP TABLE \"T\";\nCREATE TABLE \"T\" (\"X\" INT);\n", true);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "pxsql: " + refusal(folder, writer) + "\n");
    const auto dump = ptest::run({PXSQL, folder.string(), "--dump", "T"});
    EXPECT_EQ(dump.status, 0);
    EXPECT_TRUE(dump.out.starts_with("ID,V\n0,v\n")) << dump.out.substr(0, 200);

    kill(writer, SIGKILL);
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    const auto after = ptest::run({PXSQL, folder.string()}, insert(-1) + ";\n", true);
    EXPECT_EQ(after.status, 0) << after.out;
    EXPECT_FALSE(fs::exists(folder / FolderLock::kFileName));
    EXPECT_EQ(ptest::pxcheck(folder / "T.DB").status, 0);
}

// A writer that died leaves the lock to its guardian, which may still be finishing a commit:
// the next writer waits for it rather than refusing or writing alongside. A child that keeps
// the lock open stands in for the guardian.
TEST(FolderLock, ANewWriterWaitsForTheGuardianOfADeadWriter)
{
    const auto folder = testsupport::freshFolder("lock-guardian");
    int release[2];
    ASSERT_EQ(pipe(release), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const FolderLock lock(folder);
        if (fork() == 0) {
            close(release[1]);
            char byte;
            _exit(read(release[0], &byte, 1) < 0 ? 1 : 0);
        }
        _exit(0);
    }
    close(release[0]);
    int status = 0;
    waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // The stand-in ends a moment later, as a guardian does once its commit is made.
    std::thread guardianEnds([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        close(release[1]);
    });
    try {
        const FolderLock next(folder);
        EXPECT_GE(next.descriptor(), 0);
    } catch (const Error& e) {
        ADD_FAILURE() << e.what();
    }
    guardianEnds.join();
}
