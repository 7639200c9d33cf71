#pragma once
// A list box without a visible area: the hidden lists of the main window. Entries keep their
// insertion order.

#include <string>
#include <vector>

namespace platform {

class ListBox {
public:
    void Clear() { items_.clear(); }
    void AddItem(std::string item) { items_.push_back(std::move(item)); }
    int ListCount() const { return static_cast<int>(items_.size()); }
    // Entry at 0-based index; throws std::out_of_range past the end, as a list box raises.
    const std::string& List(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    const std::vector<std::string>& items() const { return items_; }

private:
    std::vector<std::string> items_;
};

} // namespace platform
