#pragma once
// The rows of the statement list, packed: all texts in one character buffer, each row a start
// offset and a length (12 bytes beside its text). An edited row gets its new text at the end of
// the buffer; the space of replaced texts is reclaimed when it outgrows the live text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace preview {

class StatementStore {
public:
    void clear();
    void append(std::string_view text);
    // 0-based; throws std::out_of_range outside the list.
    std::string_view at(std::size_t index) const;
    void set(std::size_t index, std::string_view text);
    std::size_t size() const { return lengths_.size(); }
    bool empty() const { return lengths_.empty(); }
    // Bytes held for texts and row entries, for the memory figures.
    std::size_t bytesUsed() const;

private:
    void compact();

    std::string buffer_;
    std::vector<std::uint64_t> starts_;
    std::vector<std::uint32_t> lengths_;
    std::size_t garbage_ = 0;
};

} // namespace preview
