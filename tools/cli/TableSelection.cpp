#include "TableSelection.h"

#include "platform/Wildcard.h"

#include <algorithm>

namespace cli {

namespace {

bool matchesTable(const std::string& pattern, const MSSQL::SourceTable& table)
{
    return wildcardMatch(pattern, table.name) ||
           (!table.schema.empty() && wildcardMatch(pattern, table.schema + "." + table.name));
}

bool anyMatches(const std::vector<std::string>& patterns, const MSSQL::SourceTable& table)
{
    return std::ranges::any_of(patterns, [&](const std::string& pattern) { return matchesTable(pattern, table); });
}

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view text)
{
    return platform::wildcardMatch(platform::caseFolded(std::string(text)), platform::caseFolded(std::string(pattern)));
}

TableSelection::TableSelection(std::vector<std::string> include, std::vector<std::string> exclude)
    : include_(std::move(include)), exclude_(std::move(exclude))
{
}

bool TableSelection::selects(const MSSQL::SourceTable& table) const
{
    return (include_.empty() || anyMatches(include_, table)) && !anyMatches(exclude_, table);
}

std::vector<std::string> TableSelection::unmatched(const std::vector<MSSQL::SourceTable>& tables) const
{
    std::vector<std::string> patterns;
    for (const std::vector<std::string>* kind : {&include_, &exclude_})
        for (const std::string& pattern : *kind)
            if (std::ranges::none_of(tables, [&](const MSSQL::SourceTable& table) { return matchesTable(pattern, table); }))
                patterns.push_back(pattern);
    return patterns;
}

std::vector<std::string> splitPatterns(std::string_view list)
{
    std::vector<std::string> patterns;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        std::string_view item = list.substr(start, comma - start);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        if (!item.empty())
            patterns.emplace_back(item);
        start = comma + 1;
    }
    return patterns;
}

} // namespace cli
