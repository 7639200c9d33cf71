#include "paradox/CodePage.h"

#include "paradox/Database.h"
#include "paradox/Encoding.h"
#include "paradox/Format.h"

#include <array>

namespace paradox {

namespace {

constexpr SortOrder kBinaryDos{0x00, "ascii"};
constexpr SortOrder kBinaryWindows{kSortBinary1252, kSortNameBinary1252};

constexpr std::array kWrittenPairs{
    std::pair<std::uint16_t, SortOrder>{437, kBinaryDos},           std::pair<std::uint16_t, SortOrder>{850, kBinaryDos},
    std::pair<std::uint16_t, SortOrder>{852, kBinaryDos},           std::pair<std::uint16_t, SortOrder>{866, kBinaryDos},
    std::pair<std::uint16_t, SortOrder>{1250, kBinaryWindows},      std::pair<std::uint16_t, SortOrder>{1251, kBinaryWindows},
    std::pair<std::uint16_t, SortOrder>{kCodePage1252, kBinaryWindows}, std::pair<std::uint16_t, SortOrder>{1253, kBinaryWindows},
    std::pair<std::uint16_t, SortOrder>{1254, kBinaryWindows},      std::pair<std::uint16_t, SortOrder>{1257, kBinaryWindows},
};

constexpr std::string_view kRoman8SortName = "BLROM800";

const CodePageTable* tableNumbered(std::uint16_t number)
{
    for (std::size_t i = 0; i < kCodePageTableCount; ++i)
        if (kCodePageTables[i].number == number) return &kCodePageTables[i];
    return nullptr;
}

bool plainAscii(std::string_view bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::optional<SortOrder> sortOrderFor(std::uint16_t codePage)
{
    for (const auto& [number, order] : kWrittenPairs)
        if (number == codePage) return order;
    return std::nullopt;
}

bool setCodePage(Header& h, std::uint16_t codePage)
{
    const auto order = sortOrderFor(codePage);
    if (!order) return false;
    h.codePage = codePage;
    h.sortOrder = order->id;
    h.sortName = std::string(order->name);
    return true;
}

bool binarySortOrder(const Header& h)
{
    for (const auto& [number, order] : kWrittenPairs)
        if (order.id == h.sortOrder && order.name == h.sortName) return true;
    return false;
}

const CodePageTable* codePageOf(const Header& h)
{
    if (h.codePage != 0) return tableNumbered(h.codePage);
    return h.sortName == kRoman8SortName ? tableNumbered(0) : nullptr;
}

std::string codePageName(const Header& h)
{
    if (h.codePage == 0 && h.sortName == kRoman8SortName) return "HP Roman-8";
    if (h.codePage == 0) return "no code page (sort order \"" + h.sortName + "\")";
    return "code page " + std::to_string(h.codePage);
}

std::string tableText(const Header& h, std::string_view bytes)
{
    if (h.codePage == kCodePage1252) return cp1252ToUtf8(bytes);
    if (plainAscii(bytes)) return std::string(bytes);
    const CodePageTable* table = codePageOf(h);
    if (!table)
        throw Error("The table '" + h.tableName + "' holds text in " + codePageName(h) +
                    ", which this program cannot read");
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char ch : bytes) {
        const char32_t c = table->decode[static_cast<unsigned char>(ch)];
        appendUtf8(out, c || ch == '\0' ? c : char32_t(0xFFFD));
    }
    return out;
}

std::optional<std::size_t> toTableText(const Header& h, std::string_view s, std::string& out, std::size_t* replaced)
{
    if (h.codePage == kCodePage1252) return utf8ToCp1252(s, out, replaced);
    const CodePageTable* table = codePageOf(h);
    return utf8ToBytes(
        s, out,
        [table](char32_t c) {
            for (int k = 0x80; table && k < 0x100; ++k)
                if (table->decode[k] == c) return k;
            return -1;
        },
        replaced);
}

}  // namespace paradox
