#pragma once
// The checksums of the rows a table accepted, matched against the rows the table gives back
// when it is read again. Rows that come back in the order they were written (a key that grows
// with every row) are matched one after the other; from the first row out of that order on the
// rest are matched as a sorted list, so a table that orders its rows otherwise compares as well.
// Memory: eight bytes and a bit per row.

#include <cstdint>
#include <vector>

namespace convert {

class WrittenRows {
public:
    void clear();
    // Room for this many rows, so that the list takes no more memory than they need.
    void reserve(std::int64_t rows) { rows_.reserve(static_cast<std::size_t>(rows)); }
    void add(std::uint64_t checksum);
    std::int64_t size() const { return static_cast<std::int64_t>(rows_.size()); }

    // Matches a row read back: true when a written row with this checksum was not matched yet.
    bool take(std::uint64_t checksum);
    // Written rows that no row read back matched.
    std::int64_t untaken() const { return size() - taken_; }

private:
    std::vector<std::uint64_t> rows_;
    std::size_t inOrder_ = 0;        // rows_[0, inOrder_) matched in written order
    bool sorted_ = false;            // rows_[inOrder_, end) sorted, matched by search
    std::vector<bool> matched_;      // of those
    std::int64_t taken_ = 0;
};

} // namespace convert
