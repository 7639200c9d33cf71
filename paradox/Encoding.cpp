#include "paradox/Encoding.h"

#include <array>
#include <bit>
#include <cstring>

namespace paradox {

double decodeDouble(const unsigned char* in)
{
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u = (u << 8) | in[i];
    if (u & 0x8000'0000'0000'0000ull)
        u &= ~0x8000'0000'0000'0000ull;
    else
        u = ~u;
    return std::bit_cast<double>(u);
}

bool isBlank(const unsigned char* in, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        if (in[i]) return false;
    return true;
}

namespace {
constexpr int kBcdDigits = 32;
constexpr int kBcdBytes = 17;
constexpr std::size_t kBcdSignificant = 18;
}

std::optional<std::string> encodeBcd(std::string_view text, int decimals)
{
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::string intPart, fracPart;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') intPart += text[i++];
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') fracPart += text[i++];
    }
    if (i != text.size() || (intPart.empty() && fracPart.empty())) return std::nullopt;
    const bool roundUp = fracPart.size() > std::size_t(decimals) && fracPart[std::size_t(decimals)] >= '5';
    fracPart.resize(std::size_t(decimals), '0');
    std::string digits = intPart + fracPart;
    if (roundUp) {
        int k = int(digits.size()) - 1;
        while (k >= 0 && digits[std::size_t(k)] == '9') digits[std::size_t(k--)] = '0';
        if (k < 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[std::size_t(k)];
    }
    const auto first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? std::string() : digits.substr(first);
    if (digits.size() > std::size_t(kBcdDigits)) return std::nullopt;
    if (digits.empty()) negative = false;
    digits.insert(0, kBcdDigits - digits.size(), '0');
    std::string out(kBcdBytes, '\0');
    out[0] = char((negative ? 0x00 : 0x80) | 0x40 | decimals);
    for (int d = 0; d < kBcdDigits; ++d) {
        int nibble = digits[std::size_t(d)] - '0';
        if (negative) nibble ^= 0xF;
        out[std::size_t(1 + d / 2)] = char(static_cast<unsigned char>(out[std::size_t(1 + d / 2)]) | (d % 2 ? nibble : nibble << 4));
    }
    return out;
}

std::string decodeBcd(const unsigned char* in, int decimals)
{
    const bool negative = !(in[0] & 0x80);
    std::string digits;
    bool noise = false;
    for (int d = 0; d < kBcdDigits; ++d) {
        int nibble = d % 2 ? in[1 + d / 2] & 0xF : in[1 + d / 2] >> 4;
        if (negative) nibble ^= 0xF;
        noise = noise || nibble > 9;
        digits += char('0' + (nibble > 9 ? 9 : nibble));
    }
    // Paradox writes a value's first 18 significant digits and leaves noise in the nibbles
    // after them, which holds nibbles no digit has; those are not part of the value. A value
    // of decimal digits alone is whole, however many digits it has (a bigint has 19).
    const auto firstSignificant = digits.find_first_not_of('0');
    std::size_t held = kBcdDigits;
    if (noise && firstSignificant != std::string::npos && firstSignificant + kBcdSignificant < std::size_t(kBcdDigits)) {
        held = firstSignificant + kBcdSignificant;
        std::fill(digits.begin() + std::ptrdiff_t(held), digits.end(), '0');
    }
    const std::size_t point = std::size_t(kBcdDigits - decimals);
    std::string intPart = digits.substr(0, point);
    const auto first = intPart.find_first_not_of('0');
    intPart = first == std::string::npos ? "0" : intPart.substr(first);
    const std::string fraction = digits.substr(point, held > point ? held - point : 0);
    const bool zero = intPart == "0" && fraction.find_first_not_of('0') == std::string::npos;
    std::string result = (negative && !zero ? "-" : "") + intPart;
    if (!fraction.empty()) result += "." + fraction;
    return result;
}

std::int32_t dayNumber(int y, int m, int d)
{
    // Days from civil (H. Hinnant), shifted so that 0001-01-01 is day 1.
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t unixDays = std::int64_t(era) * 146097 + doe - 719468;
    return std::int32_t(unixDays + 719163);
}

void civilFromDay(std::int32_t dayNumber, int& year, int& month, int& day)
{
    const std::int64_t z = std::int64_t(dayNumber) - 719163 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = int(z - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = int(yoe + era * 400) + (month <= 2);
}

bool validDate(int y, int m, int d)
{
    static constexpr std::array<int, 12> lengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= lengths[std::size_t(m - 1)] + (m == 2 && leap);
}

}  // namespace paradox
