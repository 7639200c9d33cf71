#include "convert/TypeOptions.h"

#include "paradox/CodePage.h"

#include <algorithm>
#include <charconv>

namespace convert {

namespace {

template <class Choice, std::size_t N>
std::optional<Choice> parsed(std::string_view text, const std::pair<std::string_view, Choice> (&names)[N])
{
    for (const auto& [name, choice] : names)
        if (text == name)
            return choice;
    return std::nullopt;
}

} // namespace

std::optional<LongText> ParseLongText(std::string_view text)
{
    static constexpr std::pair<std::string_view, LongText> kNames[] = {{"text", LongText::Text}, {"memo", LongText::Memo}};
    return parsed(text, kNames);
}

std::optional<BinaryColumns> ParseBinary(std::string_view text)
{
    static constexpr std::pair<std::string_view, BinaryColumns> kNames[] = {{"placeholder", BinaryColumns::Placeholder},
                                                                            {"blob", BinaryColumns::Blob}};
    return parsed(text, kNames);
}

std::optional<BigIntegers> ParseBigInt(std::string_view text)
{
    static constexpr std::pair<std::string_view, BigIntegers> kNames[] = {{"int", BigIntegers::Int},
                                                                          {"decimal", BigIntegers::Decimal}};
    return parsed(text, kNames);
}

std::optional<Unmappable> ParseUnmappable(std::string_view text)
{
    static constexpr std::pair<std::string_view, Unmappable> kNames[] = {{"reject", Unmappable::Reject},
                                                                         {"replace", Unmappable::Replace}};
    return parsed(text, kNames);
}

const std::vector<int>& WritableCodePages()
{
    static const std::vector<int> pages = [] {
        std::vector<int> found;
        for (std::size_t i = 0; i < paradox::kCodePageTableCount; ++i)
            if (const int number = paradox::kCodePageTables[i].number; number != 0 && paradox::sortOrderFor(std::uint16_t(number)))
                found.push_back(number);
        std::sort(found.begin(), found.end());
        return found;
    }();
    return pages;
}

std::optional<std::string> AddCodePage(TypeOptions& options, std::string_view choice)
{
    // The table name may hold '=' itself: the number follows the last one.
    const auto equals = choice.rfind('=');
    const std::string_view table = equals == std::string_view::npos ? std::string_view() : choice.substr(0, equals);
    const std::string_view number = equals == std::string_view::npos ? choice : choice.substr(equals + 1);
    int codePage = 0;
    const auto [end, failure] = std::from_chars(number.data(), number.data() + number.size(), codePage);
    const std::vector<int>& writable = WritableCodePages();
    if (failure != std::errc() || end != number.data() + number.size() ||
        std::find(writable.begin(), writable.end(), codePage) == writable.end()) {
        std::string list;
        for (const int page : writable)
            list += (list.empty() ? "" : ", ") + std::to_string(page);
        return "a code page is one of " + list + ", written N or TABLE=N, not \"" + std::string(choice) + "\"";
    }
    if (equals != std::string_view::npos && table.empty())
        return "a table's code page is written TABLE=N, not \"" + std::string(choice) + "\"";
    if (table.empty())
        options.codePage = codePage;
    else
        options.tableCodePages.push_back({std::string(table), codePage});
    return std::nullopt;
}

db::ParadoxText ParadoxTextFor(const TypeOptions& options)
{
    db::ParadoxText text;
    text.codePage = options.codePage;
    for (const TableCodePage& table : options.tableCodePages)
        text.tableCodePages.emplace_back(table.table, table.codePage);
    text.replaceUnmappable = options.unmappable == Unmappable::Replace;
    return text;
}

} // namespace convert
