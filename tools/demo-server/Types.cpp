#include "Types.h"

#include "Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace demo {

namespace {

// SQL_Latin1_General_CP1_CI_AS: LCID 0x0409, case-insensitive, sort id 52 (Windows-1252).
constexpr std::array<uint8_t, 5> kCollation{0x09, 0x04, 0xD0, 0x00, 0x34};

struct Declared {
    std::string name;
    std::string first; // first number in parentheses, or "max"
    std::string second;
};

Declared parseDeclared(const char* declared)
{
    Declared d;
    std::string text;
    // "int SPARSE": a sparse column has the type before the word.
    std::string spelled = lowerAscii(declared);
    if (spelled.size() > 7 && spelled.ends_with(" sparse"))
        spelled.resize(spelled.size() - 7);
    declared = spelled.c_str();
    for (const char* p = declared; *p; ++p) {
        if (*p != '[' && *p != ']' && *p != ' ' && *p != '"')
            text.push_back(*p);
    }
    text = lowerAscii(text);
    const auto open = text.find('(');
    d.name = text.substr(0, open);
    if (open != std::string::npos) {
        const auto close = text.find(')', open);
        const std::string inner = text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        const auto comma = inner.find(',');
        d.first = inner.substr(0, comma);
        if (comma != std::string::npos)
            d.second = inner.substr(comma + 1);
    }
    return d;
}

int number(const std::string& text, int fallback)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    return ec == std::errc() && end == text.data() + text.size() ? v : fallback;
}

ColumnType sized(Kind kind, Kind maxKind, const Declared& d, int fallback, int limit)
{
    if (d.first == "max")
        return {maxKind};
    ColumnType t{kind};
    t.length = std::min(std::max(number(d.first, fallback), 1), limit);
    return t;
}

int decimalBytes(int precision)
{
    if (precision <= 9)
        return 5;
    if (precision <= 19)
        return 9;
    if (precision <= 28)
        return 13;
    return 17;
}

int timeBytes(int scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

[[noreturn]] void fail(int number, std::string message) { throw ValueError{number, std::move(message)}; }

std::string numberText(const Cell& cell)
{
    if (cell.storage == SQLITE_INTEGER)
        return std::to_string(cell.integer);
    if (cell.storage == SQLITE_FLOAT) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", cell.real);
        return buf;
    }
    return std::string(cell.bytes);
}

// The exact number in text, scaled to `scale` fraction digits and rounded half away from zero:
// the digits of the scaled integer without leading zeros. False when the text is no number.
bool scaledDigits(std::string_view text, int scale, std::string& digits, bool& negative)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    negative = false;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::string mantissa;
    int exponent = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            mantissa.push_back(c);
            any = true;
            if (point)
                --exponent;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        int e = 0;
        const auto [end, ec] = std::from_chars(text.data() + i + 1 + (text.size() > i + 1 && text[i + 1] == '+'),
                                               text.data() + text.size(), e);
        if (ec != std::errc() || end != text.data() + text.size())
            return false;
        exponent += e;
        i = text.size();
    }
    if (i != text.size())
        return false;
    const int shift = exponent + scale;
    if (shift >= 0) {
        mantissa.append(static_cast<size_t>(shift), '0');
    } else {
        const size_t drop = static_cast<size_t>(-shift);
        bool roundUp = false;
        if (drop > mantissa.size()) {
            mantissa = "0";
        } else {
            roundUp = mantissa[mantissa.size() - drop] >= '5';
            mantissa.resize(mantissa.size() - drop);
            if (mantissa.empty())
                mantissa = "0";
        }
        if (roundUp) {
            size_t k = mantissa.size();
            while (k > 0 && mantissa[k - 1] == '9')
                mantissa[--k] = '0';
            if (k == 0)
                mantissa.insert(mantissa.begin(), '1');
            else
                ++mantissa[k - 1];
        }
    }
    const auto first = mantissa.find_first_not_of('0');
    digits = first == std::string::npos ? std::string() : mantissa.substr(first);
    if (digits.empty())
        negative = false;
    return true;
}

// Money values are short: integers, doubles and texts of up to 18 digits with at most `scale`
// decimals are scaled without building digit strings.
bool quickScaled(const Cell& cell, int scale, int64_t& result)
{
    int64_t factor = 1;
    for (int i = 0; i < scale; ++i)
        factor *= 10;
    if (cell.storage == SQLITE_INTEGER) {
        if (cell.integer > INT64_MAX / factor || cell.integer < INT64_MIN / factor)
            return false;
        result = cell.integer * factor;
        return true;
    }
    if (cell.storage == SQLITE_FLOAT) {
        // Exact only when the scaled integer gives back the very same double.
        const double scaled = std::round(cell.real * static_cast<double>(factor));
        if (!(std::fabs(scaled) < 9007199254740992.0))
            return false;
        result = static_cast<int64_t>(scaled);
        return static_cast<double>(result) / static_cast<double>(factor) == cell.real;
    }
    if (cell.storage != SQLITE_TEXT && cell.storage != SQLITE_BLOB)
        return false;
    const std::string_view text = cell.bytes;
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    i += negative;
    int64_t v = 0;
    int digits = 0, decimals = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9' || ++digits > 18)
            return false;
        v = v * 10 + (c - '0');
        if (decimals >= 0 && ++decimals > scale)
            return false;
    }
    if (digits == 0)
        return false;
    for (int d = decimals < 0 ? 0 : decimals; d < scale; ++d) {
        if (v > INT64_MAX / 10)
            return false;
        v *= 10;
    }
    result = negative ? -v : v;
    return true;
}

int64_t scaledInteger(const Cell& cell, int scale, int64_t limit, const char* type)
{
    int64_t quick = 0;
    if (quickScaled(cell, scale, quick) && quick <= limit && quick >= -limit - 1)
        return quick;
    std::string digits;
    bool negative = false;
    const std::string text = numberText(cell);
    if (!scaledDigits(text, scale, digits, negative))
        fail(235, "Cannot convert a char value to " + std::string(type) + ". The char value has incorrect syntax.");
    if (digits.size() > 19)
        fail(8115, std::string("Arithmetic overflow error converting expression to data type ") + type + ".");
    const uint64_t magnitude = std::stoull(digits.empty() ? "0" : digits);
    if (magnitude > static_cast<uint64_t>(limit) + (negative ? 1 : 0))
        fail(8115, std::string("Arithmetic overflow error converting expression to data type ") + type + ".");
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

int64_t integerOf(const Cell& cell, int64_t lo, int64_t hi, const char* type)
{
    int64_t v = 0;
    if (cell.storage == SQLITE_INTEGER) {
        v = cell.integer;
    } else if (cell.storage == SQLITE_FLOAT) {
        if (!(cell.real >= -9.2e18 && cell.real <= 9.2e18))
            fail(8115, std::string("Arithmetic overflow error converting expression to data type ") + type + ".");
        v = static_cast<int64_t>(std::trunc(cell.real));
    } else {
        std::string_view text = cell.bytes;
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (ec == std::errc::result_out_of_range)
            fail(8115, std::string("Arithmetic overflow error converting expression to data type ") + type + ".");
        if (ec != std::errc() || end != text.data() + text.size() || text.empty())
            fail(245, "Conversion failed when converting the varchar value '" + std::string(cell.bytes) +
                          "' to data type " + type + ".");
    }
    if (v < lo || v > hi)
        fail(8115, std::string("Arithmetic overflow error converting expression to data type ") + type + ".");
    return v;
}

std::string textOf(const Cell& cell)
{
    if (cell.storage == SQLITE_INTEGER || cell.storage == SQLITE_FLOAT)
        return numberText(cell);
    return std::string(cell.bytes);
}

struct When {
    int year = 1900, month = 1, day = 1;
    int64_t ticks = 0; // 100 ns units since midnight
};

int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

[[noreturn]] void badDate() { fail(241, "Conversion failed when converting date and/or time from character string."); }

bool digitsAt(std::string_view s, size_t at, size_t n, int& v)
{
    if (at + n > s.size())
        return false;
    v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
    }
    return true;
}

// Reads "hh:mm[:ss[.fffffff]]" at s[at..]; the rest of s must be empty.
int64_t parseTime(std::string_view s, size_t at)
{
    int h = 0, mi = 0, sec = 0;
    if (!digitsAt(s, at, 2, h) || at + 2 >= s.size() || s[at + 2] != ':' || !digitsAt(s, at + 3, 2, mi))
        badDate();
    size_t i = at + 5;
    int64_t fraction = 0;
    if (i < s.size() && s[i] == ':') {
        if (!digitsAt(s, i + 1, 2, sec))
            badDate();
        i += 3;
        if (i < s.size() && s[i] == '.') {
            ++i;
            int64_t scale = 1000000;
            for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
                fraction += (s[i] - '0') * scale;
                scale /= 10;
            }
        }
    }
    if (i != s.size() || h > 23 || mi > 59 || sec > 59)
        badDate();
    return ((h * 60LL + mi) * 60 + sec) * 10000000 + fraction;
}

When parseWhen(const Cell& cell, bool timeOnly)
{
    if (cell.storage != SQLITE_TEXT)
        badDate();
    std::string_view s = cell.bytes;
    while (!s.empty() && (s.back() == ' ' || s.back() == 'Z'))
        s.remove_suffix(1);
    When w;
    if (timeOnly && s.size() >= 3 && s[2] == ':') {
        w.ticks = parseTime(s, 0);
        return w;
    }
    if (!digitsAt(s, 0, 4, w.year) || s.size() < 10 || s[4] != '-' || !digitsAt(s, 5, 2, w.month) || s[7] != '-' ||
        !digitsAt(s, 8, 2, w.day))
        badDate();
    static constexpr std::array<int, 12> monthDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (w.year < 1 || w.month < 1 || w.month > 12 || w.day < 1 ||
        w.day > monthDays[w.month - 1] + (w.month == 2 && leap(w.year)))
        badDate();
    if (s.size() > 10) {
        if (s[10] != ' ' && s[10] != 'T')
            badDate();
        w.ticks = parseTime(s, 11);
    }
    return w;
}

void putLittle(Bytes& out, uint64_t v, int n)
{
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putPlp(Bytes& out, std::string_view data)
{
    put64(out, data.size());
    if (!data.empty()) {
        put32(out, static_cast<uint32_t>(data.size()));
        putBytes(out, data.data(), data.size());
    }
    put32(out, 0);
}

void putLong(Bytes& out, std::string_view data)
{
    put8(out, 16);
    out.insert(out.end(), 16, 0xEE); // text pointer: clients only check its length
    out.insert(out.end(), 8, 0x00);  // timestamp
    put32(out, static_cast<uint32_t>(data.size()));
    putBytes(out, data.data(), data.size());
}

std::string utf16Bytes(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

void putShortData(Bytes& out, std::string_view data)
{
    if (data.size() > 8000)
        fail(8152, "String or binary data would be truncated.");
    put16(out, static_cast<uint16_t>(data.size()));
    putBytes(out, data.data(), data.size());
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

ColumnType columnTypeFor(const char* declared, int firstValueClass)
{
    const Declared d = parseDeclared(declared ? declared : "");
    const std::string& n = d.name;
    if (n == "int")
        return {Kind::Int};
    if (n == "smallint")
        return {Kind::SmallInt};
    if (n == "tinyint")
        return {Kind::TinyInt};
    if (n == "bigint")
        return {Kind::BigInt};
    if (n == "bit")
        return {Kind::Bit};
    if (n == "decimal" || n == "numeric" || n == "dec") {
        ColumnType t{n == "numeric" ? Kind::Numeric : Kind::Decimal};
        t.precision = std::min(std::max(number(d.first, 18), 1), 38);
        t.scale = std::min(std::max(number(d.second, 0), 0), t.precision);
        return t;
    }
    if (n == "money")
        return {Kind::Money};
    if (n == "smallmoney")
        return {Kind::SmallMoney};
    if (n == "float" || n == "double")
        return {Kind::Float};
    if (n == "real")
        return {Kind::Real};
    if (n == "char")
        return sized(Kind::Char, Kind::VarCharMax, d, 1, 8000);
    if (n == "varchar")
        return sized(Kind::VarChar, Kind::VarCharMax, d, 8000, 8000);
    if (n == "nchar")
        return sized(Kind::NChar, Kind::NVarCharMax, d, 1, 4000);
    if (n == "nvarchar")
        return sized(Kind::NVarChar, Kind::NVarCharMax, d, 4000, 4000);
    if (n == "sysname")
        return {Kind::NVarChar, 128};
    if (n == "text")
        return {Kind::Text};
    if (n == "ntext")
        return {Kind::NText};
    if (n == "datetime")
        return {Kind::DateTime};
    if (n == "smalldatetime")
        return {Kind::SmallDateTime};
    if (n == "datetime2" || n == "time") {
        ColumnType t{n == "time" ? Kind::Time : Kind::DateTime2};
        t.scale = std::min(std::max(number(d.first, 7), 0), 7);
        return t;
    }
    if (n == "date")
        return {Kind::Date};
    if (n == "uniqueidentifier")
        return {Kind::Guid};
    if (n == "binary")
        return sized(Kind::Binary, Kind::VarBinaryMax, d, 1, 8000);
    if (n == "varbinary")
        return sized(Kind::VarBinary, Kind::VarBinaryMax, d, 8000, 8000);
    if (n == "image")
        return {Kind::Image};
    if (n == "xml")
        return {Kind::Xml};
    if (n == "datetimeoffset") {
        ColumnType t{Kind::DateTimeOffset};
        t.scale = std::min(std::max(number(d.first, 7), 0), 7);
        return t;
    }
    if (n == "sql_variant")
        return {Kind::Variant};
    if (n == "hierarchyid")
        return {Kind::HierarchyId};
    if (n == "geometry")
        return {Kind::Geometry};
    if (n == "geography")
        return {Kind::Geography};
    if (n == "rowversion" || n == "timestamp")
        return {Kind::RowVersion, 8};
    if (n.empty()) {
        if (firstValueClass == SQLITE_INTEGER)
            return {Kind::BigInt};
        if (firstValueClass == SQLITE_FLOAT)
            return {Kind::Float};
        if (firstValueClass == SQLITE_BLOB)
            return {Kind::VarBinaryMax};
        return {Kind::NVarCharMax};
    }
    // Any other declared name follows SQLite's own affinity rules.
    if (n.find("int") != std::string::npos)
        return {Kind::BigInt};
    if (n.find("char") != std::string::npos || n.find("clob") != std::string::npos || n.find("text") != std::string::npos)
        return {Kind::NVarCharMax};
    if (n.find("blob") != std::string::npos)
        return {Kind::VarBinaryMax};
    return {Kind::Float};
}

ColumnType forVersion(ColumnType type, uint32_t tdsVersion)
{
    const bool dateTypes = type.kind == Kind::Date || type.kind == Kind::Time || type.kind == Kind::DateTime2;
    if (dateTypes && tdsVersion < kTds73)
        return {Kind::NVarChar, 27};
    if (type.kind == Kind::DateTimeOffset && tdsVersion < kTds73)
        return {Kind::NVarChar, 34};
    if (tdsVersion < kTds72) {
        if (type.kind == Kind::Xml)
            return {Kind::NText};
        if (type.kind == Kind::HierarchyId || type.kind == Kind::Geometry || type.kind == Kind::Geography)
            return {Kind::Image};
        if (type.kind == Kind::VarCharMax)
            return {Kind::Text};
        if (type.kind == Kind::NVarCharMax)
            return {Kind::NText};
        if (type.kind == Kind::VarBinaryMax)
            return {Kind::Image};
    }
    return type;
}

std::string typeName(Kind kind)
{
    static constexpr std::array<const char*, 36> names{
        "int", "smallint", "tinyint", "bigint", "bit", "decimal", "numeric", "money", "smallmoney", "float",
        "real", "char", "varchar", "varchar(max)", "nchar", "nvarchar", "nvarchar(max)", "text", "ntext",
        "datetime", "smalldatetime", "datetime2", "date", "time", "uniqueidentifier", "binary", "varbinary",
        "varbinary(max)", "image", "xml", "datetimeoffset", "sql_variant", "hierarchyid", "geometry", "geography",
        "timestamp"};
    return names[static_cast<size_t>(kind)];
}

void putTypeInfo(Bytes& out, const ColumnType& t, uint32_t tdsVersion)
{
    const auto collation = [&] { putBytes(out, kCollation.data(), kCollation.size()); };
    // Text, ntext and image carry the name of their table; none is needed by clients.
    const auto tableName = [&] {
        if (tdsVersion >= kTds72)
            put8(out, 0);
        else
            put16(out, 0);
    };
    switch (t.kind) {
    case Kind::Int: put8(out, 0x26); put8(out, 4); break;
    case Kind::SmallInt: put8(out, 0x26); put8(out, 2); break;
    case Kind::TinyInt: put8(out, 0x26); put8(out, 1); break;
    case Kind::BigInt: put8(out, 0x26); put8(out, 8); break;
    case Kind::Bit: put8(out, 0x68); put8(out, 1); break;
    case Kind::Decimal:
    case Kind::Numeric:
        put8(out, t.kind == Kind::Decimal ? 0x6A : 0x6C);
        put8(out, static_cast<uint8_t>(decimalBytes(t.precision)));
        put8(out, static_cast<uint8_t>(t.precision));
        put8(out, static_cast<uint8_t>(t.scale));
        break;
    case Kind::Money: put8(out, 0x6E); put8(out, 8); break;
    case Kind::SmallMoney: put8(out, 0x6E); put8(out, 4); break;
    case Kind::Float: put8(out, 0x6D); put8(out, 8); break;
    case Kind::Real: put8(out, 0x6D); put8(out, 4); break;
    case Kind::Char: put8(out, 0xAF); put16(out, static_cast<uint16_t>(t.length)); collation(); break;
    case Kind::VarChar: put8(out, 0xA7); put16(out, static_cast<uint16_t>(t.length)); collation(); break;
    case Kind::VarCharMax: put8(out, 0xA7); put16(out, 0xFFFF); collation(); break;
    case Kind::NChar: put8(out, 0xEF); put16(out, static_cast<uint16_t>(t.length * 2)); collation(); break;
    case Kind::NVarChar: put8(out, 0xE7); put16(out, static_cast<uint16_t>(t.length * 2)); collation(); break;
    case Kind::NVarCharMax: put8(out, 0xE7); put16(out, 0xFFFF); collation(); break;
    case Kind::Text: put8(out, 0x23); put32(out, 0x7FFFFFFF); collation(); tableName(); break;
    case Kind::NText: put8(out, 0x63); put32(out, 0x7FFFFFFE); collation(); tableName(); break;
    case Kind::Image: put8(out, 0x22); put32(out, 0x7FFFFFFF); tableName(); break;
    case Kind::DateTime: put8(out, 0x6F); put8(out, 8); break;
    case Kind::SmallDateTime: put8(out, 0x6F); put8(out, 4); break;
    case Kind::Date: put8(out, 0x28); break;
    case Kind::Time: put8(out, 0x29); put8(out, static_cast<uint8_t>(t.scale)); break;
    case Kind::DateTime2: put8(out, 0x2A); put8(out, static_cast<uint8_t>(t.scale)); break;
    case Kind::Guid: put8(out, 0x24); put8(out, 16); break;
    case Kind::Binary: put8(out, 0xAD); put16(out, static_cast<uint16_t>(t.length)); break;
    case Kind::VarBinary: put8(out, 0xA5); put16(out, static_cast<uint16_t>(t.length)); break;
    case Kind::VarBinaryMax: put8(out, 0xA5); put16(out, 0xFFFF); break;
    case Kind::Xml: put8(out, 0xF1); put8(out, 0); break; // no schema collection
    case Kind::DateTimeOffset: put8(out, 0x2B); put8(out, static_cast<uint8_t>(t.scale)); break;
    case Kind::Variant: put8(out, 0x62); put32(out, 8009); break;
    case Kind::HierarchyId:
    case Kind::Geometry:
    case Kind::Geography: {
        const std::string name = typeName(t.kind);
        const std::string assembly = std::string(t.kind == Kind::HierarchyId ? "Microsoft.SqlServer.Types.SqlHierarchyId"
                                                 : t.kind == Kind::Geometry  ? "Microsoft.SqlServer.Types.SqlGeometry"
                                                                             : "Microsoft.SqlServer.Types.SqlGeography") +
                                     ", Microsoft.SqlServer.Types, Version=11.0.0.0, Culture=neutral, "
                                     "PublicKeyToken=89845dcd8080cc91";
        put8(out, 0xF0);
        put16(out, 0xFFFF);
        putBVarchar(out, u"");
        putBVarchar(out, u"sys");
        putBVarchar(out, utf8ToUtf16(name));
        putUsVarchar(out, utf8ToUtf16(assembly));
        break;
    }
    case Kind::RowVersion: put8(out, 0xAD); put16(out, 8); break;
    }
}

uint32_t userTypeOf(Kind kind) { return kind == Kind::RowVersion ? 80 : 0; }

Cell cellOf(sqlite3_stmt* statement, int column)
{
    Cell c;
    c.storage = sqlite3_column_type(statement, column);
    switch (c.storage) {
    case SQLITE_INTEGER: c.integer = sqlite3_column_int64(statement, column); break;
    case SQLITE_FLOAT: c.real = sqlite3_column_double(statement, column); break;
    case SQLITE_TEXT: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        c.bytes = std::string_view(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(statement, column)));
        break;
    }
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(statement, column));
        c.bytes = std::string_view(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(statement, column)));
        break;
    }
    default: break;
    }
    return c;
}

namespace {

// "YYYY-MM-DD hh:mm:ss[.fffffff] +hh:mm": the time in UTC, then the offset in minutes.
void putDateTimeOffset(Bytes& out, int scale, const Cell& cell)
{
    if (cell.storage == SQLITE_NULL) {
        put8(out, 0);
        return;
    }
    std::string text = textOf(cell);
    int offset = 0;
    const size_t sign = text.find_last_of("+-");
    if (sign != std::string::npos && sign > 10 && text.size() - sign == 6 && text[sign + 3] == ':') {
        int hours = 0, minutes = 0;
        if (!digitsAt(text, sign + 1, 2, hours) || !digitsAt(text, sign + 4, 2, minutes) || hours > 14 || minutes > 59)
            badDate();
        offset = (text[sign] == '-' ? -1 : 1) * (hours * 60 + minutes);
        text.resize(sign);
    }
    Cell local = cell;
    local.bytes = text;
    const When w = parseWhen(local, false);
    int64_t days = daysFromCivil(w.year, w.month, w.day) - daysFromCivil(1, 1, 1);
    int64_t ticks = w.ticks - offset * 600000000LL;
    constexpr int64_t kDay = 864000000000LL;
    if (ticks < 0) {
        ticks += kDay;
        --days;
    } else if (ticks >= kDay) {
        ticks -= kDay;
        ++days;
    }
    for (int s = 7; s > scale; --s)
        ticks /= 10;
    const int tb = timeBytes(scale);
    put8(out, static_cast<uint8_t>(tb + 5));
    putLittle(out, static_cast<uint64_t>(ticks), tb);
    putLittle(out, static_cast<uint64_t>(days), 3);
    putLittle(out, static_cast<uint64_t>(static_cast<uint16_t>(static_cast<int16_t>(offset))), 2);
}

// A sql_variant carries its base type in every value: an integer is int or bigint, a real float,
// text nvarchar, a blob varbinary. (SQLite gives a column of this type numeric affinity, so a
// decimal arrives here as a real.)
void putVariant(Bytes& out, const Cell& cell)
{
    Bytes value;
    switch (cell.storage) {
    case SQLITE_NULL: put32(out, 0); return;
    case SQLITE_INTEGER:
        if (cell.integer >= INT32_MIN && cell.integer <= INT32_MAX) {
            put8(value, 0x38);
            put8(value, 0);
            put32(value, static_cast<uint32_t>(cell.integer));
        } else {
            put8(value, 0x7F);
            put8(value, 0);
            put64(value, static_cast<uint64_t>(cell.integer));
        }
        break;
    case SQLITE_FLOAT: {
        uint64_t bits;
        std::memcpy(&bits, &cell.real, 8);
        put8(value, 0x3E);
        put8(value, 0);
        put64(value, bits);
        break;
    }
    case SQLITE_BLOB:
        put8(value, 0xA5);
        put8(value, 2);
        put16(value, 8000);
        putBytes(value, cell.bytes.data(), cell.bytes.size());
        break;
    default: {
        // Collation first, then the maximum length, as SQL Server sends them.
        const std::string data = utf16Bytes(utf8ToUtf16(textOf(cell)));
        put8(value, 0xE7);
        put8(value, 7);
        putBytes(value, kCollation.data(), kCollation.size());
        put16(value, 8000);
        putBytes(value, data.data(), std::min<size_t>(data.size(), 8000));
    }
    }
    put32(out, static_cast<uint32_t>(value.size()));
    putBytes(out, value.data(), value.size());
}

} // namespace

void putValue(Bytes& out, const ColumnType& t, const Cell& cell)
{
    const bool null = cell.storage == SQLITE_NULL;
    switch (t.kind) {
    case Kind::Int:
    case Kind::SmallInt:
    case Kind::TinyInt:
    case Kind::BigInt: {
        if (null) {
            put8(out, 0);
            return;
        }
        const int size = t.kind == Kind::Int ? 4 : t.kind == Kind::SmallInt ? 2 : t.kind == Kind::TinyInt ? 1 : 8;
        const int64_t lo = t.kind == Kind::TinyInt ? 0 : size == 8 ? INT64_MIN : -(int64_t(1) << (size * 8 - 1));
        const int64_t hi = size == 8 ? INT64_MAX : t.kind == Kind::TinyInt ? 255 : (int64_t(1) << (size * 8 - 1)) - 1;
        const int64_t v = integerOf(cell, lo, hi, typeName(t.kind).c_str());
        put8(out, static_cast<uint8_t>(size));
        putLittle(out, static_cast<uint64_t>(v), size);
        return;
    }
    case Kind::Bit:
        if (null) {
            put8(out, 0);
            return;
        }
        put8(out, 1);
        put8(out, integerOf(cell, INT64_MIN, INT64_MAX, "bit") != 0 ? 1 : 0);
        return;
    case Kind::Decimal:
    case Kind::Numeric: {
        if (null) {
            put8(out, 0);
            return;
        }
        std::string digits;
        bool negative = false;
        if (!scaledDigits(numberText(cell), t.scale, digits, negative))
            fail(8114, "Error converting data type varchar to " + typeName(t.kind) + ".");
        if (static_cast<int>(digits.size()) > t.precision)
            fail(8115, "Arithmetic overflow error converting varchar to data type " + typeName(t.kind) + ".");
        const int size = decimalBytes(t.precision) - 1;
        std::array<uint8_t, 16> magnitude{};
        for (char c : digits) {
            unsigned carry = static_cast<unsigned>(c - '0');
            for (int i = 0; i < size; ++i) {
                const unsigned v = magnitude[i] * 10u + carry;
                magnitude[i] = static_cast<uint8_t>(v & 0xFF);
                carry = v >> 8;
            }
        }
        put8(out, static_cast<uint8_t>(size + 1));
        put8(out, negative ? 0 : 1);
        putBytes(out, magnitude.data(), static_cast<size_t>(size));
        return;
    }
    case Kind::Money:
    case Kind::SmallMoney: {
        if (null) {
            put8(out, 0);
            return;
        }
        if (t.kind == Kind::SmallMoney) {
            const int64_t v = scaledInteger(cell, 4, INT32_MAX, "smallmoney");
            put8(out, 4);
            put32(out, static_cast<uint32_t>(v));
        } else {
            const int64_t v = scaledInteger(cell, 4, INT64_MAX, "money");
            put8(out, 8);
            put32(out, static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
            put32(out, static_cast<uint32_t>(v));
        }
        return;
    }
    case Kind::Float:
    case Kind::Real: {
        if (null) {
            put8(out, 0);
            return;
        }
        double v = cell.real;
        if (cell.storage == SQLITE_INTEGER) {
            v = static_cast<double>(cell.integer);
        } else if (cell.storage != SQLITE_FLOAT) {
            const std::string text = textOf(cell);
            char* end = nullptr;
            v = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0')
                fail(8114, "Error converting data type varchar to " + typeName(t.kind) + ".");
        }
        if (t.kind == Kind::Float) {
            uint64_t bits;
            std::memcpy(&bits, &v, 8);
            put8(out, 8);
            put64(out, bits);
        } else {
            const float f = static_cast<float>(v);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            put8(out, 4);
            put32(out, bits);
        }
        return;
    }
    case Kind::Char:
    case Kind::VarChar:
    case Kind::VarCharMax:
    case Kind::Text:
    case Kind::NChar:
    case Kind::NVarChar:
    case Kind::NVarCharMax:
    case Kind::NText: {
        const bool wide = t.kind == Kind::NChar || t.kind == Kind::NVarChar || t.kind == Kind::NVarCharMax ||
                          t.kind == Kind::NText;
        if (null) {
            if (t.kind == Kind::VarCharMax || t.kind == Kind::NVarCharMax)
                put64(out, ~uint64_t(0));
            else if (t.kind == Kind::Text || t.kind == Kind::NText)
                put8(out, 0);
            else
                put16(out, 0xFFFF);
            return;
        }
        std::string number;
        if (cell.storage == SQLITE_INTEGER || cell.storage == SQLITE_FLOAT)
            number = numberText(cell);
        const std::string_view utf8 = number.empty() ? cell.bytes : std::string_view(number);
        const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; });
        std::string data;
        if (wide && ascii) {
            // Most text is ASCII: its UTF-16 form is each byte followed by a zero byte.
            const size_t chars = std::max(utf8.size(), t.kind == Kind::NChar ? static_cast<size_t>(t.length) : 0);
            data.assign(chars * 2, '\0');
            for (size_t i = 0; i < chars; ++i)
                data[2 * i] = i < utf8.size() ? utf8[i] : ' ';
        } else if (wide) {
            std::u16string text = utf8ToUtf16(utf8);
            if (t.kind == Kind::NChar && text.size() < static_cast<size_t>(t.length))
                text.append(static_cast<size_t>(t.length) - text.size(), u' ');
            data = utf16Bytes(text);
        } else {
            data = cell.storage == SQLITE_BLOB || ascii ? std::string(utf8) : utf8ToCp1252(utf8);
            if (t.kind == Kind::Char && data.size() < static_cast<size_t>(t.length))
                data.append(static_cast<size_t>(t.length) - data.size(), ' ');
        }
        if (t.kind == Kind::VarCharMax || t.kind == Kind::NVarCharMax)
            putPlp(out, data);
        else if (t.kind == Kind::Text || t.kind == Kind::NText)
            putLong(out, data);
        else
            putShortData(out, data);
        return;
    }
    case Kind::Binary:
    case Kind::VarBinary:
    case Kind::VarBinaryMax:
    case Kind::Image: {
        if (null) {
            if (t.kind == Kind::VarBinaryMax)
                put64(out, ~uint64_t(0));
            else if (t.kind == Kind::Image)
                put8(out, 0);
            else
                put16(out, 0xFFFF);
            return;
        }
        std::string data = textOf(cell);
        if (t.kind == Kind::Binary && data.size() < static_cast<size_t>(t.length))
            data.append(static_cast<size_t>(t.length) - data.size(), '\0');
        if (t.kind == Kind::VarBinaryMax)
            putPlp(out, data);
        else if (t.kind == Kind::Image)
            putLong(out, data);
        else
            putShortData(out, data);
        return;
    }
    case Kind::DateTime:
    case Kind::SmallDateTime: {
        if (null) {
            put8(out, 0);
            return;
        }
        const When w = parseWhen(cell, false);
        int64_t days = daysFromCivil(w.year, w.month, w.day) - daysFromCivil(1900, 1, 1);
        if (t.kind == Kind::DateTime) {
            if (w.year < 1753)
                fail(242, "The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.");
            // 1/300 s units, rounded the way SQL Server rounds to .000, .003 and .007.
            int64_t ticks = (w.ticks * 3 + 50000) / 100000;
            if (ticks >= 25920000) {
                ticks -= 25920000;
                ++days;
            }
            put8(out, 8);
            put32(out, static_cast<uint32_t>(static_cast<int32_t>(days)));
            put32(out, static_cast<uint32_t>(ticks));
        } else {
            int64_t minutes = (w.ticks + 299990000) / 600000000; // 29.999 s and more round up
            if (minutes >= 1440) {
                minutes -= 1440;
                ++days;
            }
            if (days < 0 || days > 65535)
                fail(242, "The conversion of a varchar data type to a smalldatetime data type resulted in an out-of-range value.");
            put8(out, 4);
            put16(out, static_cast<uint16_t>(days));
            put16(out, static_cast<uint16_t>(minutes));
        }
        return;
    }
    case Kind::Date:
    case Kind::Time:
    case Kind::DateTime2: {
        if (null) {
            put8(out, 0);
            return;
        }
        const When w = parseWhen(cell, t.kind == Kind::Time);
        int64_t units = w.ticks;
        for (int s = 7; s > t.scale; --s)
            units /= 10;
        const int tb = timeBytes(t.scale);
        const int64_t days = daysFromCivil(w.year, w.month, w.day) - daysFromCivil(1, 1, 1);
        if (t.kind == Kind::Date) {
            put8(out, 3);
            putLittle(out, static_cast<uint64_t>(days), 3);
        } else if (t.kind == Kind::Time) {
            put8(out, static_cast<uint8_t>(tb));
            putLittle(out, static_cast<uint64_t>(units), tb);
        } else {
            put8(out, static_cast<uint8_t>(tb + 3));
            putLittle(out, static_cast<uint64_t>(units), tb);
            putLittle(out, static_cast<uint64_t>(days), 3);
        }
        return;
    }
    case Kind::Guid: {
        if (null) {
            put8(out, 0);
            return;
        }
        std::array<uint8_t, 16> g{};
        if (cell.storage == SQLITE_BLOB && cell.bytes.size() == 16) {
            std::memcpy(g.data(), cell.bytes.data(), 16);
        } else {
            std::array<uint8_t, 16> plain{};
            int nibbles = 0;
            for (char c : textOf(cell)) {
                if (c == '-' || c == '{' || c == '}')
                    continue;
                const int h = hexValue(c);
                if (h < 0 || nibbles >= 32)
                    fail(8169, "Conversion failed when converting from a character string to uniqueidentifier.");
                plain[nibbles / 2] = static_cast<uint8_t>(plain[nibbles / 2] << 4 | h);
                ++nibbles;
            }
            if (nibbles != 32)
                fail(8169, "Conversion failed when converting from a character string to uniqueidentifier.");
            // The first three groups travel little-endian, the last eight bytes as written.
            static constexpr std::array<int, 16> order{3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
            for (size_t i = 0; i < 16; ++i)
                g[i] = plain[static_cast<size_t>(order[i])];
        }
        put8(out, 16);
        putBytes(out, g.data(), 16);
        return;
    }
    case Kind::Xml:
        if (null)
            put64(out, ~uint64_t(0));
        else
            putPlp(out, utf16Bytes(utf8ToUtf16(textOf(cell))));
        return;
    case Kind::HierarchyId:
    case Kind::Geometry:
    case Kind::Geography:
        if (null)
            put64(out, ~uint64_t(0));
        else
            putPlp(out, textOf(cell));
        return;
    case Kind::RowVersion:
        putValue(out, {Kind::Binary, 8}, cell);
        return;
    case Kind::DateTimeOffset:
        putDateTimeOffset(out, t.scale, cell);
        return;
    case Kind::Variant:
        putVariant(out, cell);
        return;
    }
}

} // namespace demo

namespace demo {

OdbcFacts odbcFacts(const ColumnType& t)
{
    const int n = t.length;
    const std::string quote = "'";
    switch (t.kind) {
    case Kind::Int: return {4, "int", 10, 4, 0, 10};
    case Kind::SmallInt: return {5, "smallint", 5, 2, 0, 10};
    case Kind::TinyInt: return {-6, "tinyint", 3, 1, 0, 10, 0, true};
    case Kind::BigInt: return {-5, "bigint", 19, 8, 0, 10};
    case Kind::Bit: return {-7, "bit", 1, 1, -1, 0, 0, true};
    case Kind::Decimal:
    case Kind::Numeric:
        return {t.kind == Kind::Decimal ? 3 : 2, t.kind == Kind::Decimal ? "decimal" : "numeric", t.precision,
                t.precision + 2, t.scale, 10, 0, false, false, "", "", "precision,scale"};
    case Kind::Money: return {3, "money", 19, 21, 4, 10, 0, false, true, "$"};
    case Kind::SmallMoney: return {3, "smallmoney", 10, 12, 4, 10, 0, false, true, "$"};
    case Kind::Float: return {6, "float", 53, 8, -1, 2};
    case Kind::Real: return {7, "real", 24, 4, -1, 2};
    case Kind::Char: return {1, "char", n, n, -1, 0, 0, false, false, quote, quote, "length"};
    case Kind::VarChar: return {12, "varchar", n, n, -1, 0, 0, false, false, quote, quote, "max length"};
    case Kind::VarCharMax: return {12, "varchar", 0, 0, -1, 0, 0, false, false, quote, quote, "max length"};
    case Kind::NChar: return {-8, "nchar", n, n * 2, -1, 0, 0, false, false, "N'", quote, "length"};
    case Kind::NVarChar: return {-9, "nvarchar", n, n * 2, -1, 0, 0, false, false, "N'", quote, "max length"};
    case Kind::NVarCharMax: return {-9, "nvarchar", 0, 0, -1, 0, 0, false, false, "N'", quote, "max length"};
    case Kind::Text: return {-1, "text", 2147483647, 2147483647, -1, 0, 0, false, false, quote, quote};
    case Kind::NText: return {-10, "ntext", 1073741823, 2147483646, -1, 0, 0, false, false, "N'", quote};
    case Kind::DateTime: return {93, "datetime", 23, 16, 3, 0, 3, false, false, quote, quote};
    case Kind::SmallDateTime: return {93, "smalldatetime", 16, 16, 0, 0, 3, false, false, quote, quote};
    case Kind::DateTime2:
        return {93, "datetime2", t.scale == 0 ? 19 : 20 + t.scale, 16, t.scale, 0, 3, false, false, quote, quote, "scale"};
    case Kind::Date: return {91, "date", 10, 6, -1, 0, 1, false, false, quote, quote};
    case Kind::Time:
        return {-154, "time", t.scale == 0 ? 8 : 9 + t.scale, 12, t.scale, 0, 0, false, false, quote, quote, "scale"};
    case Kind::Guid: return {-11, "uniqueidentifier", 36, 16, -1, 0, 0, false, false, quote, quote};
    case Kind::Binary: return {-2, "binary", n, n, -1, 0, 0, false, false, "0x", "", "length"};
    case Kind::VarBinary: return {-3, "varbinary", n, n, -1, 0, 0, false, false, "0x", "", "max length"};
    case Kind::VarBinaryMax: return {-3, "varbinary", 0, 0, -1, 0, 0, false, false, "0x", "", "max length"};
    case Kind::Image: return {-4, "image", 2147483647, 2147483647, -1, 0, 0, false, false, "0x", ""};
    case Kind::Xml: return {-152, "xml", 0, 0, -1, 0, 0, false, false, "N'", quote};
    case Kind::DateTimeOffset:
        return {-155, "datetimeoffset", t.scale == 0 ? 26 : 27 + t.scale, 20, t.scale, 0, 0, false, false, quote, quote,
                "scale"};
    case Kind::Variant: return {-150, "sql_variant", 8000, 8000};
    case Kind::HierarchyId:
    case Kind::Geometry:
    case Kind::Geography: return {-151, typeName(t.kind), 0, 0, -1, 0, 0, false, false, "0x", ""};
    case Kind::RowVersion: return {-2, "timestamp", 8, 8, -1, 0, 0, false, false, "0x", ""};
    }
    return {-9, "nvarchar", 0, 0};
}

std::vector<ColumnType> everyType()
{
    std::vector<ColumnType> types;
    for (int k = 0; k <= static_cast<int>(kLastKind); ++k) {
        ColumnType t{static_cast<Kind>(k)};
        if (t.kind == Kind::Decimal || t.kind == Kind::Numeric)
            t.precision = 38;
        if (t.kind == Kind::DateTime2 || t.kind == Kind::Time || t.kind == Kind::DateTimeOffset)
            t.scale = 7;
        t.length = t.kind == Kind::NChar || t.kind == Kind::NVarChar ? 4000 : 8000;
        types.push_back(t);
    }
    return types;
}

} // namespace demo
