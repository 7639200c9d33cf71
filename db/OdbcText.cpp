#include "db/OdbcText.h"

#include "paradox/Utf8.h"

namespace db {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

} // namespace

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const paradox::Utf8Char decoded = paradox::decodeUtf8(text, i);
        char32_t c = decoded.codePoint;
        if (decoded.length == 0) {
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        i += decoded.length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    utf16ToUtf8(text, out);
    return out;
}

void utf16ToUtf8(std::u16string_view text, std::string& out)
{
    // Written through a pointer into room for the longest result: three bytes per unit at most.
    out.resize(text.size() * 3);
    char* p = out.data();
    auto put = [&p](char32_t byte) { *p++ = static_cast<char>(byte); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            put(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        if (c < 0x800) {
            put(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            put(0xE0 | (c >> 12));
            put(0x80 | ((c >> 6) & 0x3F));
        } else {
            put(0xF0 | (c >> 18));
            put(0x80 | ((c >> 12) & 0x3F));
            put(0x80 | ((c >> 6) & 0x3F));
        }
        put(0x80 | (c & 0x3F));
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

} // namespace db
