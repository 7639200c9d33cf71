// Finishes a commit that a killed process left half made.
//
// A commit of the engine is a handful of small stores to the mapped .DB and .PX files, or a
// rename or two, and no order of stores to two files keeps them in agreement at every
// moment. So the steps are listed first in a journal shared with a guardian process started
// for the purpose: when the writer dies while the journal is armed, the guardian makes every
// listed step again, in order, and exits. Each step is idempotent (store these bytes at that
// offset, rename this file to that name, remove that file), so it does not matter how many of
// them the writer had made.
//
// A file may also be written ahead of what its table counts: room for the records to come,
// taken in one call for many of them. The writer names such a file and the length it keeps
// (its held length, moved on by the commits themselves), and a guardian whose writer dies
// cuts the file back to it, after finishing any armed commit. Only the POSIX guardian does
// so; on Windows no file is held, and no room is taken ahead.
//
// On POSIX (posix/CommitGuard.cpp) the guardian is forked and sees the writer go when its end
// of a socket closes; the writer may run other threads (the GUI), so the guardian makes
// async-signal-safe calls only: no allocation, no locks, no stdio. On Windows
// (windows/CommitGuard.cpp) it is the program itself started again with CreateProcess, waiting
// on the writer's process. Where the guardian cannot be started, or a commit does not fit the
// journal, commits are made unguarded, as a plain sequence of stores.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

namespace paradox {

class CommitGuard {
public:
    static constexpr int kMaxSteps = 64, kMaxFiles = 8, kMaxHeld = 8, kPathBytes = 4096;
    // How the guardian ended, for whoever reaps it.
    enum Exit { Idle = 0, Finished = 1, Failed = 2 };

    struct Step {
        enum Kind : std::uint8_t { Store, Rename, Remove, Hold };
        Kind kind;
        std::uint8_t file;      // the file stored into, renamed or removed; of Hold, the held file
        std::uint8_t to;        // the name a rename gives it
        std::uint8_t length;    // of a store, 1 to 8 bytes
        std::uint64_t offset;   // of Hold, the length the held file keeps from now on
        unsigned char bytes[8];
    };

    // The steps of one commit in the order they are made. No step stores into a file that a
    // later step of the same commit renames onto: made again after the rename, it would land
    // in the new file. Files are named by absolute paths, which must outlive the commit.
    class Commit {
    public:
        void clear();
        int file(const std::filesystem::path& absolute);
        // Inline: an append lists a few of these for every row.
        void store(int file, std::uint64_t offset, const void* bytes, std::size_t length)
        {
            std::memcpy(add(file, offset, length).bytes, bytes, std::min(length, sizeof(Step::bytes)));
        }
        void store16(int file, std::uint64_t offset, std::uint16_t value)
        {
            unsigned char* b = add(file, offset, 2).bytes;
            b[0] = std::uint8_t(value);
            b[1] = std::uint8_t(value >> 8);
        }
        void store32(int file, std::uint64_t offset, std::uint32_t value)
        {
            unsigned char* b = add(file, offset, 4).bytes;
            for (int i = 0; i < 4; ++i) b[i] = std::uint8_t(value >> (8 * i));
        }
        void rename(int from, int to);
        void remove(int file);
        // The held file `held` (holdLength's number) keeps `length` bytes from this commit on.
        void hold(int held, std::uint64_t length);
        const std::vector<Step>& steps() const { return steps_; }
        const std::filesystem::path& path(int file) const { return *files_[std::size_t(file)]; }
        int files() const { return int(files_.size()); }

    private:
        Step& add(int file, std::uint64_t offset, std::size_t length)
        {
            return steps_.emplace_back(Step{Step::Store, std::uint8_t(file), 0, std::uint8_t(length), offset, {}});
        }

        std::vector<const std::filesystem::path*> files_;
        std::vector<Step> steps_;
    };

    CommitGuard() = default;
    ~CommitGuard();
    CommitGuard(const CommitGuard&) = delete;
    CommitGuard& operator=(const CommitGuard&) = delete;

    // Starts the guardian unless it runs already or could not be started. Called before the
    // first write, so that it inherits no mapping of the tables it guards.
    void start();
    bool running() const { return guardian_ > 0; }
    // A descriptor or handle the guardian keeps open until it ends (the folder's writer lock);
    // only a guardian started afterwards has it.
    void keepOpen(std::intptr_t file) { kept_ = file; }
    // Publishes the commit to the guardian; false when it is made unguarded.
    bool arm(const Commit& commit);
    void disarm();

    // Names a file that is written past `length`, the bytes its table counts: should the
    // writer die, the guardian cuts it back to its held length. Returns its number for
    // Commit::hold and setHeld, -1 when no guardian runs, every place is taken, or the
    // guardian cannot cut files (Windows).
    int holdLength(const std::filesystem::path& absolute, std::uint64_t length);
    // Moves a held length on outside a commit.
    void setHeld(int held, std::uint64_t length);
    // The file is back at its held length, or gone: the guardian leaves it alone.
    void release(int held);

    // The memory the writer shares with its guardian (CommitGuardJournal.h).
    struct Journal;

private:
    Journal* journal_ = nullptr;
    std::intptr_t farewell_ = -1;   // the writer's end of the socket, or the event, that says it closed normally
    std::intptr_t kept_ = -1;
    std::intptr_t guardian_ = 0;    // process id (POSIX), process handle (Windows)
    bool tried_ = false;
};

}  // namespace paradox
