#include "paradox/CommitGuard.h"

#include "paradox/CommitGuardJournal.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace paradox {

void CommitGuard::Commit::clear()
{
    files_.clear();
    steps_.clear();
}

int CommitGuard::Commit::file(const std::filesystem::path& absolute)
{
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i] == &absolute) return int(i);
    files_.push_back(&absolute);
    return int(files_.size() - 1);
}

void CommitGuard::Commit::rename(int from, int to) { steps_.push_back({Step::Rename, std::uint8_t(from), std::uint8_t(to), 0, 0, {}}); }

void CommitGuard::Commit::remove(int file) { steps_.push_back({Step::Remove, std::uint8_t(file), 0, 0, 0, {}}); }

void CommitGuard::Commit::hold(int held, std::uint64_t length)
{
    steps_.push_back({Step::Hold, std::uint8_t(held), 0, 0, length, {}});
}

bool CommitGuard::arm(const Commit& commit)
{
    if (!journal_) return false;
    const auto& steps = commit.steps();
    if (steps.size() > std::size_t(kMaxSteps) || commit.files() > kMaxFiles) return false;
    for (int f = 0; f < commit.files(); ++f) {
        const std::filesystem::path& p = commit.path(f);
        const std::size_t length = p.native().size();
        if (length >= std::size_t(kPathBytes)) return false;
        // Mostly the paths of the commit before, so compared rather than copied; a path in
        // the journal was found absolute when it was copied there.
        std::filesystem::path::value_type* slot = journal_->paths[f];
        const std::size_t bytes = (length + 1) * sizeof *slot;
        if (std::memcmp(slot, p.c_str(), bytes) != 0) {
            if (!p.is_absolute()) return false;
            std::memcpy(slot, p.c_str(), bytes);
        }
    }
    std::memcpy(journal_->steps, steps.data(), steps.size() * sizeof(Step));
    std::atomic_ref<std::uint32_t>(journal_->armed).store(std::uint32_t(steps.size()), std::memory_order_release);
    // A kill lands between two instructions of this thread, so what must not move is the
    // compiler's order: no store of the commit before the journal is armed.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    return true;
}

void CommitGuard::disarm()
{
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::atomic_ref<std::uint32_t>(journal_->armed).store(0, std::memory_order_release);
}

void CommitGuard::setHeld(int held, std::uint64_t length)
{
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::atomic_ref<std::uint64_t>(journal_->held[held].length).store(length, std::memory_order_release);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

void CommitGuard::release(int held)
{
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::atomic_ref<std::uint32_t>(journal_->held[held].used).store(0, std::memory_order_release);
}

}  // namespace paradox
