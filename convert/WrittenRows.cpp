#include "convert/WrittenRows.h"

#include <algorithm>

namespace convert {

void WrittenRows::clear()
{
    rows_.clear();
    inOrder_ = 0;
    sorted_ = false;
    matched_.clear();
    taken_ = 0;
}

void WrittenRows::add(std::uint64_t checksum) { rows_.push_back(checksum); }

bool WrittenRows::take(std::uint64_t checksum)
{
    if (!sorted_) {
        if (inOrder_ < rows_.size() && rows_[inOrder_] == checksum) {
            ++inOrder_;
            ++taken_;
            return true;
        }
        const auto rest = rows_.begin() + static_cast<std::ptrdiff_t>(inOrder_);
        std::sort(rest, rows_.end());
        matched_.assign(rows_.size() - inOrder_, false);
        sorted_ = true;
    }
    const auto rest = rows_.begin() + static_cast<std::ptrdiff_t>(inOrder_);
    // Equal rows share a checksum: each written one matches one row read back.
    for (auto at = std::lower_bound(rest, rows_.end(), checksum); at != rows_.end() && *at == checksum; ++at) {
        const auto index = static_cast<std::size_t>(at - rest);
        if (!matched_[index]) {
            matched_[index] = true;
            ++taken_;
            return true;
        }
    }
    return false;
}

} // namespace convert
