// A writer for the guardian's test: locks FOLDER, arms a commit of three steps on its files,
// makes the first of them, says "armed" on its output and waits to be killed.
//   guard_writer FOLDER
#include "paradox/CommitGuard.h"
#include "paradox/FolderLock.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    const std::filesystem::path folder = std::filesystem::absolute(argv[1]);
    paradox::FolderLock lock(folder);
    paradox::CommitGuard guard;
    guard.keepOpen(lock.descriptor());
    guard.start();
    if (!guard.running()) return 3;
    const std::filesystem::path stored = folder / "STORED.DB", from = folder / "NEW.~new", to = folder / "NEW.DB",
                                removed = folder / "OLD.PX";
    paradox::CommitGuard::Commit commit;
    commit.store(commit.file(stored), 4, "abcd", 4);
    commit.rename(commit.file(from), commit.file(to));
    commit.remove(commit.file(removed));
    if (!guard.arm(commit)) return 4;
    // The first step only, as a writer killed in the middle of its commit leaves it.
    HANDLE file = ::CreateFileW(stored.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    OVERLAPPED at{};
    at.Offset = 4;
    DWORD written = 0;
    ::WriteFile(file, "abcd", 4, &written, &at);
    ::CloseHandle(file);
    std::puts("armed");
    std::fflush(stdout);
    ::Sleep(INFINITE);
}
