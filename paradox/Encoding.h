// Byte-order helpers, value encodings of record fields, the 1252 code page and the calendar.
//
// Field values inside records and index entries are big-endian with the sign bit
// inverted, so that encoded values compare as unsigned byte strings:
//
//   type            bytes  encoding
//   Short           2      two's complement big-endian, top bit of byte 0 inverted
//   Long, Autoinc   4      as Short; Date is the day number (0001-01-01 = 1), Time the
//                          milliseconds after midnight
//   Number, Money   8      IEEE 754 big-endian; >= 0: top bit set; < 0: all bits inverted
//   Timestamp       8      as Number, value = day number * 86,400,000 + milliseconds
//   Logical         1      0x80 false, 0x81 true
//   BCD             17     byte 0: 0x80 (>= 0) | 0x40 | decimals; bytes 1..16: 32 digits,
//                          most significant first; negative values invert every nibble
//   Alpha, Bytes    n      the bytes, NUL-padded; no terminator when full
// A blank (NULL) value of every type is all zero bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace paradox {

inline void putLe16(unsigned char* p, std::uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
inline void putLe32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xFF;
}
inline std::uint16_t getLe16(const unsigned char* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline std::uint32_t getLe32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

constexpr std::int64_t kMillisPerDay = 86'400'000;
constexpr std::int32_t kZeroDateDay = 693'594;     // 1899-12-30, the zero date of the drivers
constexpr std::int32_t kMaxDay = 3'652'059;        // 9999-12-31

// Sign-flipped big-endian integers of 2 or 4 bytes.
void encodeInt(unsigned char* out, int bytes, std::int64_t value);
std::int64_t decodeInt(const unsigned char* in, int bytes);
void encodeDouble(unsigned char* out, double value);
double decodeDouble(const unsigned char* in);
bool isBlank(const unsigned char* in, int bytes);

// BCD of 17 bytes from a decimal text (optional sign, digits, optional fraction),
// rounded half away from zero to `decimals` digits. Empty when the integer part does not fit.
std::optional<std::string> encodeBcd(std::string_view decimalText, int decimals);
// The value's text with `decimals` digits after the point. Where nibbles beyond 9 show the
// noise Paradox leaves after a value's first 18 significant digits, of those digits alone
// (fewer decimals where they end sooner).
std::string decodeBcd(const unsigned char* in, int decimals);

// Proleptic Gregorian day numbers, 0001-01-01 = 1.
std::int32_t dayNumber(int year, int month, int day);
void civilFromDay(std::int32_t dayNumber, int& year, int& month, int& day);
bool validDate(int year, int month, int day);

// UTF-8 to a single-byte code page: `byteOf(code point)` gives the byte of each character
// beyond ASCII, or -1 where the code page has none. Returns the offset (in bytes of the UTF-8
// text) of the first character without a byte or of malformed UTF-8, else nothing, with
// `out` filled. With `replaced`, a character without a byte becomes '?' and is counted there.
template <class ByteOf>
std::optional<std::size_t> utf8ToBytes(std::string_view s, std::string& out, ByteOf byteOf, std::size_t* replaced = nullptr)
{
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
        if (extra < 0 || i + std::size_t(extra) >= s.size()) return i;
        char32_t c = b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto cb = static_cast<unsigned char>(s[i + std::size_t(k)]);
            if ((cb & 0xC0) != 0x80) return i;
            c = (c << 6) | (cb & 0x3F);
        }
        const int byte = byteOf(c);
        if (byte < 0 && !replaced) return i;
        if (byte < 0) ++*replaced;
        out += byte < 0 ? '?' : char(byte);
        i += std::size_t(extra) + 1;
    }
    return std::nullopt;
}

// UTF-8 to code page 1252. Returns the offset (in bytes of the UTF-8 text) of the first
// character the code page lacks or of malformed UTF-8, else nothing, with `out` filled.
std::optional<std::size_t> utf8ToCp1252(std::string_view utf8, std::string& out, std::size_t* replaced = nullptr);
std::string cp1252ToUtf8(std::string_view bytes);
// One code point as UTF-8.
void appendUtf8(std::string& out, char32_t c);

}  // namespace paradox
