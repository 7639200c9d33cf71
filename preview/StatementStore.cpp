#include "preview/StatementStore.h"

#include <limits>
#include <stdexcept>

namespace preview {

namespace {

std::uint32_t checkedLength(std::string_view text)
{
    if (text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("A statement longer than 4 GB cannot be held in the statement list.");
    return static_cast<std::uint32_t>(text.size());
}

} // namespace

void StatementStore::clear()
{
    buffer_.clear();
    buffer_.shrink_to_fit();
    starts_.clear();
    starts_.shrink_to_fit();
    lengths_.clear();
    lengths_.shrink_to_fit();
    garbage_ = 0;
}

void StatementStore::append(std::string_view text)
{
    const std::uint32_t length = checkedLength(text);
    starts_.push_back(buffer_.size());
    lengths_.push_back(length);
    buffer_.append(text);
}

std::string_view StatementStore::at(std::size_t index) const
{
    if (index >= lengths_.size())
        throw std::out_of_range("Index out of bounds: row " + std::to_string(index + 1) + " of "
                                + std::to_string(lengths_.size()) + ".");
    return std::string_view(buffer_).substr(starts_[index], lengths_[index]);
}

void StatementStore::set(std::size_t index, std::string_view text)
{
    if (index >= lengths_.size())
        throw std::out_of_range("Index out of bounds: row " + std::to_string(index + 1) + " of "
                                + std::to_string(lengths_.size()) + ".");
    const std::uint32_t length = checkedLength(text);
    if (length <= lengths_[index]) {
        buffer_.replace(starts_[index], length, text);
        garbage_ += lengths_[index] - length;
        lengths_[index] = length;
        return;
    }
    // The text may be a view into the buffer itself; copy it before the buffer can move.
    const std::string copy(text);
    garbage_ += lengths_[index];
    starts_[index] = buffer_.size();
    lengths_[index] = length;
    buffer_.append(copy);
    if (garbage_ > buffer_.size() / 2)
        compact();
}

std::size_t StatementStore::bytesUsed() const
{
    return buffer_.capacity() + starts_.capacity() * sizeof(std::uint64_t)
        + lengths_.capacity() * sizeof(std::uint32_t);
}

void StatementStore::compact()
{
    std::string packed;
    packed.reserve(buffer_.size() - garbage_);
    for (std::size_t i = 0; i < lengths_.size(); ++i) {
        const std::uint64_t start = packed.size();
        packed.append(buffer_, starts_[i], lengths_[i]);
        starts_[i] = start;
    }
    buffer_ = std::move(packed);
    garbage_ = 0;
}

} // namespace preview
