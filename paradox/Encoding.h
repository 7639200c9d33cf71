// Byte-order helpers, value encodings of record fields and the calendar.
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

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace paradox {

inline void putLe16(unsigned char* p, std::uint16_t v) { p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); }
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

// Sign-flipped big-endian integers of 2 or 4 bytes. Inline: every row encodes several.
inline void encodeInt(unsigned char* out, int bytes, std::int64_t value)
{
    auto u = static_cast<std::uint64_t>(value);
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = std::uint8_t(u);
        u >>= 8;
    }
    out[0] ^= 0x80;
}
inline std::int64_t decodeInt(const unsigned char* in, int bytes)
{
    std::uint64_t u = in[0] ^ 0x80u;
    for (int i = 1; i < bytes; ++i) u = (u << 8) | in[i];
    const int shift = 64 - 8 * bytes;
    return static_cast<std::int64_t>(u << shift) >> shift;
}
inline void encodeDouble(unsigned char* out, double value)
{
    if (value == 0.0) value = 0.0;   // -0.0 is stored as 0.0
    auto u = std::bit_cast<std::uint64_t>(value);
    u = value >= 0 ? u | 0x8000'0000'0000'0000ull : ~u;
    // Spelled out, so that the compiler makes it one byte-swapped store.
    out[0] = std::uint8_t(u >> 56);
    out[1] = std::uint8_t(u >> 48);
    out[2] = std::uint8_t(u >> 40);
    out[3] = std::uint8_t(u >> 32);
    out[4] = std::uint8_t(u >> 24);
    out[5] = std::uint8_t(u >> 16);
    out[6] = std::uint8_t(u >> 8);
    out[7] = std::uint8_t(u);
}
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

}  // namespace paradox
