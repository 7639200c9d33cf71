#pragma once
// ODBC connection strings: keyword=value pairs separated by ';'. A value in braces may hold ';'
// and '{'; inside it "}}" stands for one '}'.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

struct ConnectionAttribute {
    std::string key;   // as written, blanks around it removed
    std::string value; // braces removed, "}}" undone
    std::string raw;   // the whole pair as written; empty once the pair is changed
};

std::vector<ConnectionAttribute> parseConnectionString(std::string_view text);
// Pairs written back: unchanged pairs exactly as they came, changed ones as key=value, braced
// where the value needs it. Every pair ends in ';'.
std::string formatConnectionString(const std::vector<ConnectionAttribute>& attributes);

// The value as it can stand in a connection string: unchanged, or in braces with '}' doubled
// when it holds ';', '{' or '}'.
std::string connectionValue(std::string_view value);
// The value always in braces, '}' doubled: kept whole by the reader whatever it holds, blanks
// at its start included.
std::string bracedConnectionValue(std::string_view value);

// The attribute of that keyword (letter case ignored); the first when it occurs more than once.
ConnectionAttribute* findAttribute(std::vector<ConnectionAttribute>& attributes, std::string_view key);
std::optional<std::string> attributeValue(const std::vector<ConnectionAttribute>& attributes, std::string_view key);
void setAttribute(std::vector<ConnectionAttribute>& attributes, std::string_view key, std::string value);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace db
