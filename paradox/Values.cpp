#include "paradox/Values.h"

#include "paradox/CodePage.h"
#include "paradox/Encoding.h"
#include "paradox/Table.h"
#include "paradox/Utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace paradox {

namespace {

constexpr int kDefaultAlpha = 255;
constexpr int kDefaultBcdDecimals = 6;
constexpr int kDefaultMemoLeader = 10;

enum class Sizing { None, Width, Decimals, Leader };

struct TypeRule {
    std::string_view name;
    FieldType type;
    Sizing sizing;
};

// SQL type names and the Paradox field each creates.
constexpr std::array kTypeRules{
    TypeRule{"TEXT", FieldType::Alpha, Sizing::Width},        TypeRule{"CHAR", FieldType::Alpha, Sizing::Width},
    TypeRule{"VARCHAR", FieldType::Alpha, Sizing::Width},     TypeRule{"ALPHANUMERIC", FieldType::Alpha, Sizing::Width},
    TypeRule{"STRING", FieldType::Alpha, Sizing::Width},      TypeRule{"CHARACTER", FieldType::Alpha, Sizing::Width},
    TypeRule{"INT", FieldType::Long, Sizing::None},           TypeRule{"INTEGER", FieldType::Long, Sizing::None},
    TypeRule{"LONG", FieldType::Long, Sizing::None},          TypeRule{"INTEGER4", FieldType::Long, Sizing::None},
    TypeRule{"SMALLINT", FieldType::Short, Sizing::None},     TypeRule{"SHORT", FieldType::Short, Sizing::None},
    TypeRule{"INTEGER2", FieldType::Short, Sizing::None},     TypeRule{"TINYINT", FieldType::Short, Sizing::None},
    TypeRule{"BYTE", FieldType::Short, Sizing::None},         TypeRule{"INTEGER1", FieldType::Short, Sizing::None},
    TypeRule{"FLOAT", FieldType::Number, Sizing::None},       TypeRule{"DOUBLE", FieldType::Number, Sizing::None},
    TypeRule{"FLOAT8", FieldType::Number, Sizing::None},      TypeRule{"IEEEDOUBLE", FieldType::Number, Sizing::None},
    TypeRule{"NUMBER", FieldType::Number, Sizing::None},      TypeRule{"REAL", FieldType::Number, Sizing::None},
    TypeRule{"SINGLE", FieldType::Number, Sizing::None},      TypeRule{"FLOAT4", FieldType::Number, Sizing::None},
    TypeRule{"CURRENCY", FieldType::Money, Sizing::None},     TypeRule{"MONEY", FieldType::Money, Sizing::None},
    TypeRule{"DECIMAL", FieldType::Bcd, Sizing::Decimals},    TypeRule{"NUMERIC", FieldType::Bcd, Sizing::Decimals},
    TypeRule{"DEC", FieldType::Bcd, Sizing::Decimals},        TypeRule{"BCD", FieldType::Bcd, Sizing::Decimals},
    TypeRule{"DATE", FieldType::Date, Sizing::None},          TypeRule{"TIME", FieldType::Time, Sizing::None},
    TypeRule{"TIMESTAMP", FieldType::Timestamp, Sizing::None}, TypeRule{"DATETIME", FieldType::Timestamp, Sizing::None},
    TypeRule{"BIT", FieldType::Logical, Sizing::None},        TypeRule{"LOGICAL", FieldType::Logical, Sizing::None},
    TypeRule{"LOGICAL1", FieldType::Logical, Sizing::None},   TypeRule{"YESNO", FieldType::Logical, Sizing::None},
    TypeRule{"BOOLEAN", FieldType::Logical, Sizing::None},    TypeRule{"COUNTER", FieldType::AutoIncrement, Sizing::None},
    TypeRule{"AUTOINCREMENT", FieldType::AutoIncrement, Sizing::None},
    TypeRule{"MEMO", FieldType::Memo, Sizing::Leader},        TypeRule{"LONGTEXT", FieldType::Memo, Sizing::Leader},
    TypeRule{"LONGCHAR", FieldType::Memo, Sizing::Leader},    TypeRule{"NOTE", FieldType::Memo, Sizing::Leader},
    TypeRule{"BLOB", FieldType::Blob, Sizing::None},          TypeRule{"LONGBINARY", FieldType::Blob, Sizing::None},
    TypeRule{"OLEOBJECT", FieldType::Blob, Sizing::None},     TypeRule{"GENERAL", FieldType::Blob, Sizing::None},
    TypeRule{"IMAGE", FieldType::Blob, Sizing::None},
    TypeRule{"BINARY", FieldType::Bytes, Sizing::Width},      TypeRule{"VARBINARY", FieldType::Bytes, Sizing::Width},
    TypeRule{"BYTES", FieldType::Bytes, Sizing::Width},
};

struct Moment {
    bool hasDate = false, hasTime = false;
    std::int32_t day = 0;
    std::int64_t ms = 0;
};

bool digitsAt(std::string_view s, std::size_t& i, int minDigits, int maxDigits, int& value)
{
    int n = 0;
    value = 0;
    while (i < s.size() && n < maxDigits && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i++] - '0');
        ++n;
    }
    return n >= minDigits;
}

// 'mm/dd/yyyy' and 'mm/dd/yyyy hh:nn:ss' with every number at full width, the way most
// values are written, read by position. False when `s` has another shape; else `moment` is
// what the general reading gives.
bool fixedWidthMoment(std::string_view s, std::optional<Moment>& moment)
{
    constexpr std::size_t kWithTime = 19;  // "00/00/0000 00:00:00"
    if (s.size() != 10 && s.size() != kWithTime) return false;
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i] - '0'); };
    const auto two = [&](std::size_t i) { return at(i) * 10 + at(i + 1); };
    // Field by field, with no pattern to look up: this runs for every date of every row.
    const auto digits = [&](std::size_t i, std::size_t n) {
        for (std::size_t k = i; k < i + n; ++k)
            if (at(k) > 9) return false;
        return true;
    };
    if (!(digits(0, 2) && s[2] == '/' && digits(3, 2) && s[5] == '/' && digits(6, 4))) return false;
    if (s.size() == kWithTime &&
        !(s[10] == ' ' && digits(11, 2) && s[13] == ':' && digits(14, 2) && s[16] == ':' && digits(17, 2)))
        return false;
    const int month = two(0), day = two(3), year = two(6) * 100 + two(8);
    moment.reset();
    if (!validDate(year, month, day)) return true;
    Moment m;
    m.hasDate = true;
    m.day = dayNumber(year, month, day);
    if (s.size() == kWithTime) {
        const int h = two(11), mi = two(14), sec = two(17);
        if (h > 23 || mi > 59 || sec > 59) return true;
        m.hasTime = true;
        m.ms = ((h * 60 + mi) * 60 + sec) * 1000LL;
    }
    moment = m;
    return true;
}

// mm/dd/yyyy, yyyy-mm-dd, either followed by hh:nn[:ss[.fff]], or hh:nn[:ss[.fff]] alone.
std::optional<Moment> parseMoment(std::string_view s)
{
    if (std::optional<Moment> fixed; fixedWidthMoment(s, fixed)) return fixed;
    Moment m;
    std::size_t i = 0;
    int a = 0, b = 0, c = 0;
    // A time of day alone begins hh: (a date begins with digits and '/' or '-').
    std::size_t firstOther = 0;
    while (firstOther < s.size() && s[firstOther] >= '0' && s[firstOther] <= '9') ++firstOther;
    const bool timeOnly = firstOther < s.size() && s[firstOther] == ':';
    if (!timeOnly) {
        if (!digitsAt(s, i, 1, 4, a) || i >= s.size()) return std::nullopt;
        int y = 0, mo = 0, d = 0;
        if (s[i] == '/') {
            ++i;
            if (!digitsAt(s, i, 1, 2, b) || i >= s.size() || s[i] != '/') return std::nullopt;
            ++i;
            const std::size_t start = i;
            if (!digitsAt(s, i, 4, 4, c) || i - start != 4) return std::nullopt;
            mo = a, d = b, y = c;
        } else if (s[i] == '-') {
            ++i;
            if (!digitsAt(s, i, 1, 2, b) || i >= s.size() || s[i] != '-') return std::nullopt;
            ++i;
            if (!digitsAt(s, i, 1, 2, c)) return std::nullopt;
            y = a, mo = b, d = c;
        } else {
            return std::nullopt;
        }
        if (!validDate(y, mo, d)) return std::nullopt;
        m.hasDate = true;
        m.day = dayNumber(y, mo, d);
        if (i == s.size()) return m;
        if (s[i] != ' ' && s[i] != 'T') return std::nullopt;
        ++i;
    }
    int h = 0, mi = 0, sec = 0, frac = 0;
    if (!digitsAt(s, i, 1, 2, h) || i >= s.size() || s[i] != ':') return std::nullopt;
    ++i;
    if (!digitsAt(s, i, 2, 2, mi)) return std::nullopt;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!digitsAt(s, i, 2, 2, sec)) return std::nullopt;
        if (i < s.size() && s[i] == '.') {
            ++i;
            int digits = 0;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                if (digits < 3) frac = frac * 10 + (s[i] - '0');
                ++digits;
                ++i;
            }
            if (digits == 0) return std::nullopt;
            for (int k = digits; k < 3; ++k) frac *= 10;
        }
    }
    if (i != s.size() || h > 23 || mi > 59 || sec > 59) return std::nullopt;
    m.hasTime = true;
    m.ms = ((h * 60 + mi) * 60 + sec) * 1000LL + frac;
    return m;
}

// Up to 15 digits with a point and no exponent, as amounts are mostly written: the digits
// and the power of ten are both exact doubles, so their one division is the nearest
// double, the same that from_chars finds. Empty for any other text.
std::optional<double> shortDecimal(std::string_view s)
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = !s.empty() && s[0] == '-';
    std::int64_t digits = 0;
    int count = 0, decimals = -1;
    for (std::size_t i = negative; i < s.size(); ++i) {
        const auto d = static_cast<unsigned char>(s[i] - '0');
        if (d <= 9) {
            if (++count > 15) return std::nullopt;
            digits = digits * 10 + d;
            if (decimals >= 0) ++decimals;
        } else if (s[i] == '.' && decimals < 0) {
            decimals = 0;
        } else {
            return std::nullopt;
        }
    }
    if (count == 0) return std::nullopt;
    const double d = double(digits) / kPowers[std::max(decimals, 0)];
    return negative ? -d : d;
}

// The nearest double of decimal text (as numericText accepts); empty when out of range.
std::optional<double> parseDouble(std::string_view s)
{
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (const auto d = shortDecimal(s)) return d;
    double d = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (ec == std::errc::result_out_of_range) {
        // Underflow rounds to zero; overflow has no nearest value.
        const auto e = s.find_first_of("eE");
        if (e != std::string_view::npos && s.find('-', e) != std::string_view::npos) return 0.0;
        return std::nullopt;
    }
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(d)) return std::nullopt;
    return d;
}

bool numericText(std::string_view s)
{
    std::size_t i = 0, digits = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
        std::size_t exp = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exp;
        if (exp == 0) return false;
    }
    return i == s.size();
}

// A number as its significant digits, without leading and trailing zeros, and the power of
// ten just above the first of them: 12.50 is {"125", 2}, 0.0012 is {"12", -2}, zero {"", 0}.
struct Significand {
    std::string digits;
    long exponent = 0;
    bool operator==(const Significand&) const = default;
};

// Of a text numericText accepts.
Significand significand(std::string_view s)
{
    Significand n;
    std::size_t i = s.empty() || (s[0] != '-' && s[0] != '+') ? 0 : 1;
    long beforePoint = 0;
    bool point = false;
    for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            point = true;
        } else if (n.digits.empty() && s[i] == '0') {
            if (point) --n.exponent;
        } else {
            n.digits += s[i];
            if (!point) ++beforePoint;
        }
    }
    long power = 0;
    if (i < s.size()) {
        const bool negative = s[i + 1] == '-';
        // Beyond a million the number is far outside every column's range anyway.
        for (std::size_t k = i + 1 + (s[i + 1] == '-' || s[i + 1] == '+'); k < s.size(); ++k)
            power = std::min(power * 10 + (s[k] - '0'), 1'000'000L);
        if (negative) power = -power;
    }
    while (!n.digits.empty() && n.digits.back() == '0') n.digits.pop_back();
    n.exponent = n.digits.empty() ? 0 : n.exponent + beforePoint + power;
    return n;
}

// The shortest text that reads back as the same double.
std::string shortestText(double d)
{
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
}

// Whether the double d, read back at the last significant digit of the decimal text it was
// read from, gives that decimal again. Up to 15 significant digits every normal double does;
// beyond them the double's exact value is rounded to as many digits as the text has.
bool readsBackExactly(std::string_view text, double d)
{
    const Significand wanted = significand(text);
    const std::size_t digits = wanted.digits.size();
    if (digits <= 15 && (d == 0 ? digits == 0 : std::fabs(d) >= DBL_MIN)) return true;
    if (digits == 0 || d == 0) return digits == 0 && d == 0;
    // A double's exact decimal value has fewer than 800 significant digits.
    if (digits > 800) return false;
    if (significand(shortestText(d)) == wanted) return true;
    std::string rounded(digits + 16, '\0');
    rounded.resize(std::size_t(std::snprintf(rounded.data(), rounded.size(), "%.*e", int(digits - 1), d)));
    return significand(rounded) == wanted;
}

// NaN and the infinities, as a double's text may name them.
bool nonFiniteName(std::string_view s)
{
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
    std::string lower(s);
    for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return lower == "nan" || lower == "inf" || lower == "infinity";
}

// The plain decimal text (no exponent) of a number for a BCD field of `decimals` decimals, or
// the reason it does not fit: more digits before the point than the field has, or more
// decimals than it keeps (rounding them away would change the value).
std::optional<std::string> bcdPlainText(std::string_view text, int decimals, std::string& plain)
{
    const Significand n = significand(text);
    const long whole = 32 - decimals;
    if (n.exponent > whole) return " has more than " + std::to_string(whole) + " digits before the decimal point";
    const long fraction = long(n.digits.size()) - n.exponent;
    if (fraction > decimals)
        return " has " + std::to_string(fraction) + " decimals, the column holds " + std::to_string(decimals);
    plain.assign(text[0] == '-' && !n.digits.empty() ? "-" : "");
    if (n.exponent <= 0) {
        plain += "0.";
        plain.append(std::size_t(-n.exponent), '0');
        plain += n.digits;
    } else if (std::size_t(n.exponent) < n.digits.size()) {
        plain.append(n.digits, 0, std::size_t(n.exponent));
        plain += '.';
        plain.append(n.digits, std::size_t(n.exponent));
    } else {
        plain += n.digits;
        plain.append(std::size_t(n.exponent) - n.digits.size(), '0');
    }
    return std::nullopt;
}

std::string pad2(int v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string dateText(std::int32_t day)
{
    if (day < 1 || day > kMaxDay) return "<day " + std::to_string(day) + ">";
    int y, m, d;
    civilFromDay(day, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string timeText(std::int64_t ms)
{
    std::string out = pad2(int(ms / 3'600'000)) + ":" + pad2(int(ms / 60'000 % 60)) + ":" + pad2(int(ms / 1000 % 60));
    if (ms % 1000) {
        char buf[8];
        std::snprintf(buf, sizeof buf, ".%03d", int(ms % 1000));
        out += buf;
    }
    return out;
}

// The value of every hex digit, either case.
constexpr std::array<unsigned char, 256> kNibbles = [] {
    std::array<unsigned char, 256> nibbles{};
    for (unsigned char d = 0; d < 10; ++d) nibbles['0' + d] = d;
    for (unsigned char d = 0; d < 6; ++d) nibbles['a' + d] = nibbles['A' + d] = static_cast<unsigned char>(10 + d);
    return nibbles;
}();

// Hex digits, two a byte, as bytes; the parser let only such text through.
void bytesOfHex(std::string_view hex, std::string& out)
{
    out.resize(hex.size() / 2);
    // Through pointers: a store through out[] may change the string, which would be read
    // again for every byte.
    char* to = out.data();
    const auto* digits = reinterpret_cast<const unsigned char*>(hex.data());
    for (std::size_t i = 0, n = out.size(); i < n; ++i, digits += 2) to[i] = char(kNibbles[digits[0]] << 4 | kNibbles[digits[1]]);
}

}  // namespace

std::string binaryLiteralText(std::string_view hex, std::size_t maxBytes)
{
    std::string out = "X'";
    for (std::size_t i = 0; i < hex.size() && i < 2 * maxBytes; ++i) out += char(std::toupper(static_cast<unsigned char>(hex[i])));
    return out + (hex.size() > 2 * maxBytes ? "...'" : "'");
}

// A text value as a reason shows it: quoted, cut after 60 characters, with control characters
// (C0, DEL, C1) and bytes that begin no UTF-8 character written as \xNN, so that a report shows
// every character there is and a NUL cannot end it early.
std::string shownText(std::string_view text)
{
    constexpr std::size_t kShown = 60;
    std::string out = "'";
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        if (characters == kShown) {
            out += "...";
            break;
        }
        const auto [c, length] = decodeUtf8(text, i);
        if (length != 0 && c >= 0x20 && (c < 0x7F || c > 0x9F)) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", length ? unsigned(c) : unsigned(static_cast<unsigned char>(text[i])));
        out += escaped;
        i += length ? length : 1;
    }
    return out + "'";
}

FieldOrError fieldForType(const sql::ColumnDef& c)
{
    const TypeRule* rule = nullptr;
    for (const TypeRule& r : kTypeRules)
        if (r.name == c.type.text) rule = &r;
    if (!rule) return {std::nullopt, "unknown type '" + c.type.text + "'"};
    Field f;
    f.type = rule->type;
    const std::size_t maxArgs = rule->sizing == Sizing::Decimals ? 2 : rule->sizing == Sizing::None ? 0 : 1;
    if (c.args.size() > maxArgs)
        return {std::nullopt, maxArgs == 0 ? "type " + c.type.text + " takes no size" : "type " + c.type.text + " takes at most " + std::to_string(maxArgs) + " number(s)"};
    const long n = c.args.empty() ? -1 : c.args[0];
    switch (rule->sizing) {
    case Sizing::None: break;
    case Sizing::Width:
        if (n > 255) return {std::nullopt, "size " + std::to_string(n) + " of type " + c.type.text + " is larger than 255"};
        f.size = std::uint8_t(n <= 0 ? kDefaultAlpha : n);
        break;
    case Sizing::Leader:
        if (n == 0 || n > 240) return {std::nullopt, "size " + std::to_string(n) + " of type " + c.type.text + " is not 1 to 240"};
        f.size = std::uint8_t((n < 0 ? kDefaultMemoLeader : n) + 10);
        break;
    case Sizing::Decimals: {
        long decimals = kDefaultBcdDecimals;
        if (rule->name == "BCD" && n >= 0) decimals = n;
        if (rule->name != "BCD" && c.args.size() == 2) decimals = c.args[1];
        if (rule->name != "BCD" && c.args.size() == 1) decimals = 0;
        if (rule->name != "BCD" && n >= 0 && (n < 1 || n > 32))
            return {std::nullopt, "precision " + std::to_string(n) + " of type " + c.type.text + " is not 1 to 32"};
        if (decimals > 32 || (rule->name != "BCD" && n >= 0 && decimals > n))
            return {std::nullopt, std::to_string(decimals) + " decimals do not fit type " + c.type.text};
        f.size = std::uint8_t(decimals);
        break;
    }
    }
    if (f.type == FieldType::Blob) f.size = 10;
    if (rule->sizing == Sizing::None && f.type != FieldType::Blob) f.size = std::uint8_t(f.bytes());
    return {f, {}};
}

std::string fieldTypeText(const Field& f)
{
    std::string t(typeName(f.type));
    switch (f.type) {
    case FieldType::Alpha:
    case FieldType::Bytes: return t + " " + std::to_string(f.size);
    case FieldType::Bcd: return t + " " + std::to_string(f.size);
    case FieldType::Memo:
    case FieldType::Blob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic: return t + " " + std::to_string(f.leader());
    default: return t;
    }
}

std::string shownLiteral(const sql::Literal& value)
{
    switch (value.kind) {
    case sql::Literal::Kind::String: return shownText(value.text());
    case sql::Literal::Kind::Null: return "NULL";
    case sql::Literal::Kind::Binary: return binaryLiteralText(value.text(), 60);
    default: return std::string(value.text());
    }
}

namespace {

using Reason = std::optional<std::string>;

// The reason of a refusal whose kind a caller may count, the kind going to `problem` when given.
std::string refused(Problem* problem, Problem kind, std::string reason)
{
    if (problem) *problem = kind;
    return reason;
}

bool plainAsciiWithoutNul(std::string_view s)
{
    for (char ch : s)
        if (static_cast<unsigned char>(ch) - 1u >= 0x7Fu) return false;
    return true;
}

// Whether the field holds bytes as they are, which a binary literal gives.
bool holdsBytes(const Field& f)
{
    return f.type == FieldType::Bytes || (f.isBlob() && f.type != FieldType::Memo && f.type != FieldType::FormattedMemo);
}

Reason notBinary(const Field& f, const sql::Literal& v)
{
    return shownLiteral(v) + " is a binary value, which " + (f.type == FieldType::Alpha ? "an " : "a ") + std::string(typeName(f.type)) +
           " column cannot hold";
}

// The value's bytes into `bytes`: a binary value's as they are, text in the code page.
// With `unmappable` replacing, a character the code page lacks becomes '?' and the value is counted.
Reason textInCodePage(const sql::Literal& v, const CodePage& codePage, std::string& bytes, Problem* problem, Unmappable* unmappable)
{
    const std::string_view vt = v.text();
    if (v.kind == sql::Literal::Kind::Binary) {
        bytesOfHex(vt, bytes);
        return std::nullopt;
    }
    if (unmappable && unmappable->replace) {
        std::size_t replaced = 0;
        if (auto bad = codePage.fromUtf8(vt, bytes, &replaced))
            return "character " + std::to_string(sql::characterPosition(vt, *bad)) + " of " + shownLiteral(v) + " is malformed UTF-8";
        unmappable->altered += replaced > 0;
    } else if (auto bad = codePage.fromUtf8(vt, bytes)) {
        return refused(problem, Problem::NotInCodePage,
                       "character " + std::to_string(sql::characterPosition(vt, *bad)) + " of " + shownLiteral(v) + " is not in " + codePage.name());
    }
    if (bytes.find('\0') != std::string::npos) return shownLiteral(v) + " holds a NUL character";
    return std::nullopt;
}

Reason encodeText(const Field& f, const sql::Literal& v, const CodePage& codePage, unsigned char* out, std::string& scratch, Problem* problem,
                  Unmappable* unmappable)
{
    const std::string_view vt = v.text();
    // Plain ASCII without NUL is the same in every code page: copied as it stands.
    if (v.kind != sql::Literal::Kind::Binary && vt.size() <= f.size && plainAsciiWithoutNul(vt)) {
        std::memcpy(out, vt.data(), vt.size());
        return std::nullopt;
    }
    if (auto e = textInCodePage(v, codePage, scratch, problem, unmappable)) return e;
    if (scratch.size() > f.size)
        return refused(problem, Problem::TextTooLong,
                       "the text " + shownLiteral(v) + " has " + std::to_string(scratch.size()) + " characters, the column holds " + std::to_string(f.size));
    std::memcpy(out, scratch.data(), scratch.size());
    return std::nullopt;
}

Reason encodeLogical(const sql::Literal& v, unsigned char* out)
{
    using K = sql::Literal::Kind;
    std::string t(v.text());
    for (char& ch : t) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    const bool isText = v.kind == K::String;
    if (v.kind == K::True || t == "1" || (isText && t == "true")) {
        out[0] = 0x81;
        return std::nullopt;
    }
    if (v.kind == K::False || t == "0" || (isText && t == "false")) {
        out[0] = 0x80;
        return std::nullopt;
    }
    return shownLiteral(v) + " is not a logical value (0, 1, TRUE or FALSE)";
}

Reason encodeMoment(const Field& f, const sql::Literal& v, unsigned char* out, Problem* problem)
{
    if (v.kind != sql::Literal::Kind::String) return shownLiteral(v) + " is not a date; write it as 'mm/dd/yyyy' or 'mm/dd/yyyy hh:nn:ss'";
    const auto m = parseMoment(v.text());
    if (!m)
        return refused(problem, Problem::DateOutOfRange,
                       shownLiteral(v) + " is not a date or time ('mm/dd/yyyy', 'mm/dd/yyyy hh:nn:ss', 'yyyy-mm-dd hh:nn:ss' or 'hh:nn:ss')");
    if (f.type == FieldType::Date) {
        if (!m->hasDate) return refused(problem, Problem::DateOutOfRange, shownLiteral(v) + " is a time of day, not a date");
        if (m->ms != 0) return refused(problem, Problem::DateOutOfRange, shownLiteral(v) + " has a time of day, which a Date column cannot hold");
        encodeInt(out, 4, m->day);
    } else if (f.type == FieldType::Time) {
        if (m->hasDate && m->day != kZeroDateDay)
            return refused(problem, Problem::DateOutOfRange, shownLiteral(v) + " has a date, which a Time column cannot hold");
        encodeInt(out, 4, m->ms);
    } else {
        const std::int32_t day = m->hasDate ? m->day : kZeroDateDay;
        encodeDouble(out, double(day) * double(kMillisPerDay) + double(m->ms));
    }
    return std::nullopt;
}

// TRUE and FALSE in a numeric column are 1 and 0.
void encodeTruth(const Field& f, bool truth, unsigned char* out)
{
    if (f.type == FieldType::Bcd) {
        const auto b = encodeBcd(truth ? "1" : "0", f.size);
        std::memcpy(out, b->data(), b->size());
    } else if (f.type == FieldType::Number || f.type == FieldType::Money) {
        encodeDouble(out, truth ? 1.0 : 0.0);
    } else {
        encodeInt(out, f.bytes(), truth ? 1 : 0);
    }
}

Reason notANumber(const Field& f, const sql::Literal& v, Problem* problem)
{
    if (nonFiniteName(v.text()))
        return refused(problem, Problem::NumberOutOfRange,
                       shownLiteral(v) + " is not a finite number, which a " + std::string(typeName(f.type)) + " column cannot hold");
    return shownLiteral(v) + " is not a number";
}

Reason outOfRange(const sql::Literal& v, long long limit, Problem* problem)
{
    return refused(problem, Problem::NumberOutOfRange, shownLiteral(v) + " is out of range (-" + std::to_string(limit) + " to " + std::to_string(limit) + ")");
}

Reason encodeWholeNumber(const Field& f, const sql::Literal& v, unsigned char* out, Problem* problem)
{
    const std::string_view vt = v.text();
    const long long limit = f.type == FieldType::Short ? 32767 : 2147483647;
    // Digits alone, with a sign at most: the usual value needs no other check.
    const std::size_t signs = !vt.empty() && (vt[0] == '-' || vt[0] == '+');
    long long plainValue = 0;
    std::size_t i = signs;
    for (; i < vt.size() && i - signs < 10 && vt[i] >= '0' && vt[i] <= '9'; ++i) plainValue = plainValue * 10 + (vt[i] - '0');
    if (i == vt.size() && i > signs) {
        if (vt[0] == '-') plainValue = -plainValue;
        if (plainValue > limit || plainValue < -limit) return outOfRange(v, limit, problem);
        if (f.type == FieldType::AutoIncrement && plainValue < 1) return refused(problem, Problem::NumberOutOfRange, shownLiteral(v) + " is not a positive number");
        encodeInt(out, f.bytes(), plainValue);
        return std::nullopt;
    }
    if (!numericText(vt)) return notANumber(f, v, problem);
    const double d = parseDouble(vt).value_or(HUGE_VAL);
    if (d != std::floor(d)) return refused(problem, Problem::NumberOutOfRange, shownLiteral(v) + " has a fraction, which a whole-number column cannot hold");
    if (std::fabs(d) > double(limit)) return outOfRange(v, limit, problem);
    if (f.type == FieldType::AutoIncrement && d < 1) return refused(problem, Problem::NumberOutOfRange, shownLiteral(v) + " is not a positive number");
    encodeInt(out, f.bytes(), static_cast<long long>(d));
    return std::nullopt;
}

Reason encodeFloat(const Field& f, const sql::Literal& v, unsigned char* out, Problem* problem)
{
    const std::string_view vt = v.text();
    // Up to 15 digits without an exponent, the usual amount, always reads back the same.
    if (const auto d = shortDecimal(vt)) {
        encodeDouble(out, *d);
        return std::nullopt;
    }
    if (!numericText(vt)) return notANumber(f, v, problem);
    const auto d = parseDouble(vt);
    if (!d) return refused(problem, Problem::NumberOutOfRange, shownLiteral(v) + " is out of range for a floating-point number");
    if (!readsBackExactly(vt, *d))
        return refused(problem, Problem::NumberOutOfRange, shownLiteral(v) + " has more digits than a " + std::string(typeName(f.type)) +
                                                               " column holds exactly; it would read back as " + shortestText(*d));
    encodeDouble(out, *d);
    return std::nullopt;
}

Reason encodeDecimal(const Field& f, const sql::Literal& v, unsigned char* out, std::string& scratch, Problem* problem)
{
    const std::string_view vt = v.text();
    if (!numericText(vt)) return notANumber(f, v, problem);
    if (auto e = bcdPlainText(vt, f.size, scratch)) return refused(problem, Problem::BcdDigits, shownLiteral(v) + *e);
    const auto b = encodeBcd(scratch, f.size);
    std::memcpy(out, b->data(), b->size());
    return std::nullopt;
}

}  // namespace

std::optional<std::string> blobContents(const Field& f, const sql::Literal& v, const CodePage& codePage, std::string& contents, Problem* problem,
                                        Unmappable* unmappable)
{
    // A NULL blob has no contents.
    contents.clear();
    if (!f.isBlob()) return "column type " + std::string(typeName(f.type)) + " holds no blob";
    if (v.kind == sql::Literal::Kind::Null) return std::nullopt;
    if (v.kind == sql::Literal::Kind::Binary && !holdsBytes(f)) return notBinary(f, v);
    if (auto e = textInCodePage(v, codePage, contents, problem, unmappable)) return e;
    // The .MB file names a blob's place and length in 32 bits and its size in 16-bit counts of 4 KB.
    if (contents.size() > kMbLargestBlob)
        return "a value of " + std::to_string(contents.size()) + " bytes is larger than a Paradox blob holds (" + std::to_string(kMbLargestBlob) +
               " bytes)";
    return std::nullopt;
}

std::optional<std::string> encodeLiteral(const Field& f, const sql::Literal& v, const CodePage& codePage, unsigned char* out,
                                         std::string& scratch, Problem* problem, Unmappable* unmappable)
{
    using K = sql::Literal::Kind;
    if (v.kind == K::Null) return std::nullopt;
    if (v.kind == K::Binary && !holdsBytes(f)) return notBinary(f, v);
    switch (f.type) {
    case FieldType::Alpha:
    case FieldType::Bytes: return encodeText(f, v, codePage, out, scratch, problem, unmappable);
    case FieldType::Memo:
    case FieldType::FormattedMemo:
    case FieldType::Blob:
    case FieldType::Ole:
    case FieldType::Graphic: return blobContents(f, v, codePage, scratch, problem, unmappable);
    case FieldType::Logical: return encodeLogical(v, out);
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::Timestamp: return encodeMoment(f, v, out, problem);
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoIncrement:
    case FieldType::Number:
    case FieldType::Money:
    case FieldType::Bcd: break;
    default: return "column type " + std::string(typeName(f.type)) + " cannot be written";
    }
    if (v.kind == K::True || v.kind == K::False) {
        encodeTruth(f, v.kind == K::True, out);
        return std::nullopt;
    }
    if (f.type == FieldType::Number || f.type == FieldType::Money) return encodeFloat(f, v, out, problem);
    if (f.type == FieldType::Bcd) return encodeDecimal(f, v, out, scratch, problem);
    return encodeWholeNumber(f, v, out, problem);
}

std::string fieldText(const Table& table, int index, const unsigned char* record)
{
    const Field& f = table.header().fields[std::size_t(index)];
    const unsigned char* d = record + table.fieldOffset(index);
    if (!f.isBlob() || isBlank(d, f.bytes())) return fieldText(table.header(), f, d);
    const std::string data = table.blob(index, record);
    if (f.type == FieldType::Memo || f.type == FieldType::FormattedMemo) return tableText(table.header(), data);
    std::string hex = "X'";
    char buf[4];
    for (const char ch : data) {
        std::snprintf(buf, sizeof buf, "%02X", unsigned(static_cast<unsigned char>(ch)));
        hex += buf;
    }
    return hex + "'";
}

std::string fieldText(const Header& header, const Field& f, const unsigned char* d)
{
    if (isBlank(d, f.bytes())) return {};
    switch (f.type) {
    case FieldType::Alpha: {
        const auto len = strnlen(reinterpret_cast<const char*>(d), f.size);
        return tableText(header, std::string_view(reinterpret_cast<const char*>(d), len));
    }
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoIncrement: return std::to_string(decodeInt(d, f.bytes()));
    case FieldType::Number:
    case FieldType::Money: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", decodeDouble(d));
        return buf;
    }
    case FieldType::Date: return dateText(std::int32_t(decodeInt(d, 4)));
    case FieldType::Time: return timeText(decodeInt(d, 4));
    case FieldType::Timestamp: {
        const double v = decodeDouble(d);
        if (!(v >= double(kMillisPerDay) && v < (kMaxDay + 1.0) * double(kMillisPerDay))) return "<ms " + std::to_string(v) + ">";
        const auto ms = static_cast<std::int64_t>(std::llround(v));
        return dateText(std::int32_t(ms / kMillisPerDay)) + " " + timeText(ms % kMillisPerDay);
    }
    case FieldType::Logical: return d[0] == 0x80 ? "false" : "true";
    case FieldType::Bcd: return decodeBcd(d, f.size);
    case FieldType::Bytes: {
        std::string hex;
        char buf[4];
        for (int i = 0; i < f.size; ++i) {
            std::snprintf(buf, sizeof buf, "%02x", d[i]);
            hex += buf;
        }
        return hex;
    }
    default: return {};
    }
}

}  // namespace paradox
