// The commit guardian and the folder lock on Windows: a writer killed with TerminateProcess in
// the middle of an armed commit leaves the rest of it to its guardian, which holds the
// folder's lock until it is done; a writer that closes leaves the files alone.
#include "Helpers.h"
#include "TestPaths.h"

#include "paradox/CommitGuard.h"
#include "paradox/Database.h"
#include "paradox/FolderLock.h"
#include "paradox/Table.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace fs = std::filesystem;
using paradox::CommitGuard;
using paradox::FolderLock;

namespace {

struct Folder {
    fs::path path;
    explicit Folder(const std::string& name) : path(testsupport::freshFolder(name))
    {
        ptest::writeFile(path / "STORED.DB", "0123456789");
        ptest::writeFile(path / "NEW.~new", "new table");
        ptest::writeFile(path / "OLD.PX", "old index");
    }
};

// Starts the writer on `folder` and returns its process once it has armed its commit.
HANDLE armedWriter(const fs::path& folder)
{
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!::CreatePipe(&read, &write, &inherited, 0)) return nullptr;
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    std::wstring command = L"\"" + fs::path(GUARD_WRITER).wstring() + L"\" \"" + folder.wstring() + L"\"";
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(write);
    std::string said;
    char c;
    DWORD n = 0;
    while (started && said.find('\n') == std::string::npos && ::ReadFile(read, &c, 1, &n, nullptr) && n == 1) said += c;
    ::CloseHandle(read);
    if (!started) return nullptr;
    ::CloseHandle(process.hThread);
    EXPECT_TRUE(said.starts_with("armed")) << said;
    return process.hProcess;
}

}  // namespace

TEST(WindowsGuard, AKilledWritersGuardianFinishesItsCommitBeforeTheFolderTakesAnotherWriter)
{
    const Folder folder("windows-guard-killed");
    HANDLE writer = armedWriter(folder.path);
    ASSERT_NE(writer, nullptr);
    // Its lock refuses another writer while it lives.
    EXPECT_NE(ptest::engineError([&] { FolderLock second(folder.path); }).find("is being written by another program"), std::string::npos);
    ::TerminateProcess(writer, 9);
    ::WaitForSingleObject(writer, INFINITE);
    ::CloseHandle(writer);

    // Taken only once the guardian, which keeps the writer's lock, has ended.
    { FolderLock next(folder.path); }
    EXPECT_EQ(ptest::readFile(folder.path / "STORED.DB"), "0123abcd89");
    EXPECT_EQ(ptest::readFile(folder.path / "NEW.DB"), "new table");
    EXPECT_FALSE(fs::exists(folder.path / "NEW.~new"));
    EXPECT_FALSE(fs::exists(folder.path / "OLD.PX"));
    EXPECT_FALSE(fs::exists(folder.path / FolderLock::kFileName));
}

TEST(WindowsGuard, AGuardianWhoseWriterClosesLeavesTheFilesAlone)
{
    const Folder folder("windows-guard-closed");
    {
        CommitGuard guard;
        guard.start();
        ASSERT_TRUE(guard.running());
        const fs::path stored = folder.path / "STORED.DB";
        CommitGuard::Commit commit;
        commit.store(commit.file(stored), 0, "zz", 2);
        ASSERT_TRUE(guard.arm(commit));
        guard.disarm();
    }
    EXPECT_EQ(ptest::readFile(folder.path / "STORED.DB"), "0123456789");
    EXPECT_TRUE(fs::exists(folder.path / "NEW.~new"));
    EXPECT_TRUE(fs::exists(folder.path / "OLD.PX"));
}

// The engine on Windows: a table replaced while this Database reads it, and the lock file
// gone once the writer closes.
TEST(WindowsGuard, TablesAreReplacedWhileOpenAndTheLockLeavesWithTheWriter)
{
    const fs::path folder = testsupport::freshFolder("windows-guard-engine");
    {
        paradox::Database db(folder);
        db.execute(R"(CREATE TABLE "T" ("ID" INT, "Name" CHAR(20)))");
        for (int i = 10; i > 0; --i) db.execute("INSERT INTO T VALUES (" + std::to_string(i) + ", 'n')");
        db.execute(R"(CREATE INDEX T ON T ("ID") WITH PRIMARY)");
        db.execute("INSERT INTO T VALUES (0, 'first')");
        EXPECT_TRUE(fs::exists(folder / FolderLock::kFileName));
    }
    EXPECT_FALSE(fs::exists(folder / FolderLock::kFileName));
    const auto r = ptest::pxcheck(folder / "T.DB");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ptest::pxcheckRecords(r.out).front(), "0,first");
    EXPECT_EQ(ptest::pxcheckIndex(folder / "T.PX").status, 0);
}

// The guardian here cuts no file back after a kill, so it holds none, and a guarded table takes
// no room ahead: the file ends with its last block after every append.
TEST(WindowsGuard, AGuardedTableTakesNoRoomAheadOfItsBlocks)
{
    const fs::path folder = testsupport::freshFolder("windows-guard-no-room-ahead");
    {
        paradox::Database db(folder);
        db.execute(R"(CREATE TABLE "R" ("ID" INT, "Pad" CHAR(200)))");
    }
    const fs::path file = folder / "R.DB";
    CommitGuard guard;
    const auto table = paradox::Table::open(file, &guard);
    std::string record(std::size_t(table->header().recordSize), '\0');
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(table->append(record, {}), paradox::Table::Result::Ok);
        const auto& h = table->header();
        ASSERT_EQ(fs::file_size(file), h.headerSize + std::uintmax_t(h.fileBlocks) * std::uintmax_t(h.blockSize()))
            << "after row " << i;
    }
    ASSERT_TRUE(guard.running());
    EXPECT_EQ(guard.holdLength(fs::absolute(file), 0), -1);
}
