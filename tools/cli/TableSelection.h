#pragma once
// --tables and --exclude: which catalog tables a run converts, chosen by wildcard patterns.
//
// A pattern matches a table when it matches the table's schema-qualified name "schema.table" or
// its bare name, so "Orders" takes Orders of every schema and "Shop.*" every table of Shop.
// '*' stands for any run of characters (none included), '?' for one character; letter case is
// ignored by Unicode case folding, as Windows compares file names.

#include "db/MSSQL.h"

#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Whether `pattern` matches the whole of `text`, by the rules above.
bool wildcardMatch(std::string_view pattern, std::string_view text);

class TableSelection {
public:
    TableSelection() = default;
    TableSelection(std::vector<std::string> include, std::vector<std::string> exclude);

    // Every table when no --tables pattern was given; then whatever --exclude matches is left out.
    bool selects(const MSSQL::SourceTable& table) const;
    // The patterns, of both kinds, that match none of `tables`.
    std::vector<std::string> unmatched(const std::vector<MSSQL::SourceTable>& tables) const;
    bool empty() const { return include_.empty() && exclude_.empty(); }

private:
    std::vector<std::string> include_;
    std::vector<std::string> exclude_;
};

// "a,b,,c" as {"a", "b", "c"}: blanks around each pattern removed, empty ones dropped.
std::vector<std::string> splitPatterns(std::string_view list);

} // namespace cli
