#include "paradox/CodePage.h"

#include "paradox/Database.h"
#include "paradox/Encoding.h"
#include "paradox/Format.h"

#include <array>

namespace paradox {

namespace {

constexpr std::array kWrittenPairs{
    std::pair<std::uint16_t, SortOrder>{437, SortOrder{0x00, "ascii"}},
    std::pair<std::uint16_t, SortOrder>{850, SortOrder{0x00, "ascii"}},
    std::pair<std::uint16_t, SortOrder>{kCodePage1252, SortOrder{kSortBinary1252, kSortNameBinary1252}},
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

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
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

std::optional<std::size_t> toTableText(const Header& h, std::string_view s, std::string& out)
{
    if (h.codePage == kCodePage1252) return utf8ToCp1252(s, out);
    const CodePageTable* table = codePageOf(h);
    out.clear();
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out += char(b);
            ++i;
            continue;
        }
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + extra >= s.size() || !table) return i;
        char32_t c = b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) return i;
            c = (c << 6) | (cb & 0x3F);
        }
        int byte = -1;
        for (int k = 0x80; k < 0x100 && byte < 0; ++k)
            if (table->decode[k] == c) byte = k;
        if (byte < 0) return i;
        out += char(byte);
        i += extra + 1;
    }
    return std::nullopt;
}

}  // namespace paradox
