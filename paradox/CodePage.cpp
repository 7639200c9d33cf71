#include "paradox/CodePage.h"

#include "paradox/Database.h"
#include "paradox/Format.h"
#include "paradox/Utf8.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

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

// The bytes of the code points a code page assigns beyond ASCII: those below U+0100 by
// direct lookup, the others sorted for a binary search.
struct CodePage::Encoder {
    std::array<std::uint8_t, 0x100> latin{};     // 0: none (no character beyond ASCII is byte 0)
    std::vector<std::pair<char32_t, std::uint8_t>> others;

    explicit Encoder(const CodePageTable& table)
    {
        for (int b = 0x80; b < 0x100; ++b) {
            const char32_t c = table.decode[b];
            if (c == 0) continue;
            if (c < 0x100) {
                if (latin[c] == 0) latin[c] = std::uint8_t(b);
            } else if (std::none_of(others.begin(), others.end(), [&](const auto& o) { return o.first == c; })) {
                others.emplace_back(c, std::uint8_t(b));
            }
        }
        std::sort(others.begin(), others.end());
    }

    int byteOf(char32_t c) const
    {
        if (c < 0x80) return int(c);
        if (c < 0x100) return latin[c] ? latin[c] : -1;
        const auto it = std::lower_bound(others.begin(), others.end(), std::pair<char32_t, std::uint8_t>{c, 0});
        return it != others.end() && it->first == c ? it->second : -1;
    }
};

CodePage::CodePage(const CodePageTable* table, std::uint16_t number, std::string name)
    : table_(table), number_(number), name_(std::move(name))
{
    if (!table_) return;
    // Made once for every code page, the first time one is needed.
    static const std::vector<Encoder> encoders = [] {
        std::vector<Encoder> all;
        all.reserve(kCodePageTableCount);
        for (std::size_t i = 0; i < kCodePageTableCount; ++i) all.emplace_back(kCodePageTables[i]);
        return all;
    }();
    encoder_ = &encoders[std::size_t(table_ - kCodePageTables)];
}

CodePage CodePage::numbered(std::uint16_t number)
{
    return CodePage(tableNumbered(number), number, "code page " + std::to_string(number));
}

CodePage CodePage::of(const Header& h)
{
    if (h.codePage != 0) return numbered(h.codePage);
    if (h.sortName == kRoman8SortName) return CodePage(tableNumbered(0), 0, "HP Roman-8");
    return CodePage(nullptr, 0, "no code page (sort order \"" + h.sortName + "\")");
}

std::optional<std::size_t> CodePage::fromUtf8(std::string_view s, std::string& out, std::size_t* replaced) const
{
    // Never longer than the UTF-8 text: written through a pointer, cut to length at the end.
    out.resize(s.size());
    char* to = out.data();
    for (std::size_t i = 0; i < s.size();) {
        // Plain ASCII, eight bytes at a time: most text is.
        std::uint64_t word;
        if (s.size() - i >= sizeof word) {
            std::memcpy(&word, s.data() + i, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                std::memcpy(to, &word, sizeof word);
                to += sizeof word;
                i += sizeof word;
                continue;
            }
        }
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            *to++ = char(b);
            ++i;
            continue;
        }
        const Utf8Char c = decodeUtf8(s, i);
        if (!c.length) return i;
        const int byte = encoder_ ? encoder_->byteOf(c.codePoint) : -1;
        if (byte < 0 && !replaced) return i;
        if (byte < 0) ++*replaced;
        *to++ = byte < 0 ? '?' : char(byte);
        i += c.length;
    }
    out.resize(std::size_t(to - out.data()));
    return std::nullopt;
}

bool CodePage::toUtf8(std::string_view bytes, std::string& out) const
{
    out.clear();
    if (plainAscii(bytes) && bytes.find('\0') == std::string_view::npos) {
        out.assign(bytes);
        return true;
    }
    if (!table_ && !plainAscii(bytes)) return false;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char ch : bytes) {
        const char32_t c = table_ ? table_->decode[static_cast<unsigned char>(ch)] : char32_t(static_cast<unsigned char>(ch));
        appendUtf8(out, c ? c : char32_t(0xFFFD));
    }
    return true;
}

std::string tableText(const Header& h, std::string_view bytes)
{
    std::string out;
    const CodePage cp = CodePage::of(h);
    if (!cp.toUtf8(bytes, out))
        throw Error("The table '" + h.tableName + "' holds text in " + cp.name() + ", which this program cannot read");
    return out;
}

}  // namespace paradox
