// One writer per folder: an exclusive lock on a file of the folder, held from a Database's
// first write until it closes.
//
// The lock is the kernel's (flock on POSIX; on Windows the file opened for writing by one
// handle only), so a writer that is killed never leaves it behind; the file only carries it,
// and the process id of its holder for the message. Its name is none that Paradox programs
// take for a table or for their own lock files. Readers never take the lock.
//
// A commit guardian started by the writer keeps the lock open, so that when the writer is
// killed in the middle of a commit nobody writes the folder before the guardian has finished
// that commit. A new writer that finds the lock held although its holder is gone is waiting
// for such a guardian, which takes a moment, and waits for it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace paradox {

class FolderLock {
public:
    static constexpr const char* kFileName = ".quillmere.lock";

    // Takes the lock of `folder`. FolderInUseError when another writer holds it; no lock at
    // all when nothing can be created in the folder, where the statements fail for themselves.
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // The descriptor or handle that holds the lock, -1 when none: a guardian started later
    // keeps it open.
    std::intptr_t descriptor() const { return handle_; }

private:
    [[noreturn]] static void inUse(const std::filesystem::path& folder, long holder);
    [[noreturn]] static void cannotLock(const std::filesystem::path& folder, const std::string& why);

    std::filesystem::path path_;
    std::intptr_t handle_ = -1;
};

}  // namespace paradox
