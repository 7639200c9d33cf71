// The one UTF-8 decoder of the program. Well-formed means what Unicode says: the shortest
// form only (no overlong sequences), no surrogates (U+D800..U+DFFF), nothing beyond U+10FFFF.
// Every reader of UTF-8 text decides with it, so that text one part accepts another cannot
// read differently.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace paradox {

struct Utf8Char {
    char32_t codePoint = 0;
    std::size_t length = 0;    // in bytes; 0 when no well-formed character begins there
};

// The character that begins at byte `i` of `s` (i < s.size()).
inline Utf8Char decodeUtf8(std::string_view s, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) return {lead, 1};
    // C0 and C1 could only begin overlong forms, F5..FF only code points beyond U+10FFFF.
    const std::size_t length = lead >= 0xF5 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || length > s.size() - i) return {};
    char32_t c = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[i + k]);
        if ((next & 0xC0) != 0x80) return {};
        c = (c << 6) | (next & 0x3Fu);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {};
    return {c, length};
}

// Whether the whole text is well-formed UTF-8.
inline bool validUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = decodeUtf8(s, i).length;
        if (length == 0) return false;
        i += length;
    }
    return true;
}

// One code point as UTF-8.
inline void appendUtf8(std::string& out, char32_t c)
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

}  // namespace paradox
