#include "convert/RowTransfer.h"

#include "convert/TableDefinition.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <system_error>

namespace convert {

namespace {

constexpr const char* kInsertInto = "INSERT INTO ";
constexpr std::string_view kPlaceholder = "<OLEOBJECT>";

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Zero-padded to `width` characters, sign included, as %0Nd writes it.
std::string paddedDigits(int value, std::size_t width)
{
    std::string text = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
    const std::size_t digits = value < 0 ? width - 1 : width;
    if (text.size() < digits)
        text.insert(0, digits - text.size(), '0');
    if (value < 0)
        text.insert(0, 1, '-');
    return text;
}

std::string twoDigits(int value) { return paddedDigits(value, 2); }

std::string timeText(const db::DateTime& value)
{
    return twoDigits(value.hour) + ":" + twoDigits(value.minute) + ":" + twoDigits(value.second);
}

bool isZeroDate(const db::DateTime& value) { return value.year == 1899 && value.month == 12 && value.day == 30; }

// Whether a text taken from a numeric column reads as a number, with a period or a comma as the
// decimal separator (the two separators a locale may have used to write it).
bool readsAsNumber(const std::string& text)
{
    const std::string t = trimmed(text);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    bool digits = false;
    bool separator = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c >= '0' && c <= '9')
            digits = true;
        else if ((c == '.' || c == ',') && !separator)
            separator = true;
        else
            break;
    }
    if (digits && i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-'))
            ++j;
        const std::size_t start = j;
        while (j < t.size() && t[j] >= '0' && t[j] <= '9')
            ++j;
        if (j > start)
            i = j;
    }
    return digits && i == t.size();
}

// A date or date-time the driver handed over as text ("2021-08-31", "2021-08-31 14:05:00.000").
bool parseIsoDateTime(const std::string& text, db::DateTime& out)
{
    const std::string t = trimmed(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint32_t nanosecond = 0;
    int consumed = 0;
    if (std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3 || consumed != 10)
        return false;
    if (t.size() > 10) {
        int more = 0;
        if (std::sscanf(t.c_str() + 10, "%*1[ T]%2d:%2d:%2d%n", &hour, &minute, &second, &more) != 3)
            return false;
        const std::size_t rest = 10 + static_cast<std::size_t>(more);
        if (rest < t.size() && (t[rest] != '.' || t.find_first_not_of("0123456789", rest + 1) != std::string::npos))
            return false;
        for (std::size_t i = rest + 1, scale = 100'000'000; i < t.size() && scale > 0; ++i, scale /= 10)
            nanosecond += static_cast<std::uint32_t>(t[i] - '0') * static_cast<std::uint32_t>(scale);
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return false;
    out = db::DateTime{year, month, day, hour, minute, second, nanosecond};
    return true;
}

// The two hex digits of every byte value: a byte is written with one copy.
constexpr std::array<std::array<char, 2>, 256> kHexPairs = [] {
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> pairs{};
    for (std::size_t b = 0; b < pairs.size(); ++b)
        pairs[b] = {digits[b >> 4], digits[b & 0x0F]};
    return pairs;
}();

void appendHex(std::string& out, const unsigned char* bytes, std::size_t size)
{
    const std::size_t at = out.size();
    out.resize(at + size * 2);
    // Through a pointer: a store through out[] may change the string, which would be read
    // again for every byte.
    char* to = out.data() + at;
    for (std::size_t i = 0; i < size; ++i, to += 2)
        std::memcpy(to, kHexPairs[bytes[i]].data(), 2);
}

std::string hexText(const db::Bytes& bytes)
{
    std::string text;
    appendHex(text, bytes.data(), bytes.size());
    return text;
}

// The text of a value as a text column receives it.
std::string textForm(const db::Value& value, int adoType)
{
    struct Visitor {
        int adoType;
        std::string operator()(const db::Null&) const { return {}; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(std::int64_t n) const { return std::to_string(n); }
        // A real column's value was widened to a double on the way; its own shortest text is shorter.
        std::string operator()(double d) const
        {
            return adoType == db::adSingle ? SingleText(static_cast<float>(d)) : NumberText(d);
        }
        std::string operator()(const db::Decimal& d) const { return DecimalText(d.text); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const db::Bytes& b) const { return hexText(b); }
        std::string operator()(const db::DateTime& t) const
        {
            return adoType == db::adDBTime ? timeText(t) : DateRuleText(t);
        }
        std::string operator()(const db::Guid& g) const { return "{" + g.text + "}"; }
    };
    return std::visit(Visitor{adoType}, value);
}

bool isEmptyValue(const db::Value& value)
{
    if (db::isNull(value))
        return true;
    const auto* text = std::get_if<std::string>(&value);
    return text && text->empty();
}

} // namespace

std::vector<std::size_t> ParsePositionList(const std::string& list, const std::string& separator)
{
    std::vector<std::size_t> positions;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(separator, start);
        if (end == std::string::npos)
            end = list.size();
        const std::string piece = trimmed(list.substr(start, end - start));
        if (!piece.empty())
            positions.push_back(static_cast<std::size_t>(std::stoull(piece)));
        start = end + separator.size();
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

std::string DateRuleText(const db::DateTime& value)
{
    std::string text;
    AppendDateRuleText(text, value);
    return text;
}

void AppendDateRuleText(std::string& out, const db::DateTime& value)
{
    const bool midnight = value.hour == 0 && value.minute == 0 && value.second == 0;
    const bool withTime = !midnight || isZeroDate(value);
    auto twoDigitsFit = [](int v) { return v >= 0 && v < 100; };
    // Every value a date holds takes the fixed-width form, written digit by digit.
    if (twoDigitsFit(value.month) && twoDigitsFit(value.day) && value.year >= 0 && value.year <= 9999 &&
        twoDigitsFit(value.hour) && twoDigitsFit(value.minute) && twoDigitsFit(value.second)) {
        char text[19];
        auto put2 = [&](int at, int v) {
            text[at] = char('0' + v / 10);
            text[at + 1] = char('0' + v % 10);
        };
        put2(0, value.month);
        text[2] = '/';
        put2(3, value.day);
        text[5] = '/';
        put2(6, value.year / 100);
        put2(8, value.year % 100);
        text[10] = ' ';
        put2(11, value.hour);
        text[13] = ':';
        put2(14, value.minute);
        text[16] = ':';
        put2(17, value.second);
        out.append(text, withTime ? 19 : 10);
        return;
    }
    out += twoDigits(value.month) + "/" + twoDigits(value.day) + "/" + paddedDigits(value.year, 4);
    if (withTime)
        out += " " + timeText(value);
}

namespace {

// The shortest text that reads back as the same value of its own precision: fixed from 1e-6 to
// below 1e21, else with an exponent written "E".
template <class Floating>
std::string shortestText(Floating value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0)
        return "0";
    char buffer[400];
    const Floating magnitude = std::fabs(value);
    const bool fixed = magnitude >= Floating(1e-6) && magnitude < Floating(1e21);
    const auto result = fixed ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
                              : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string text(buffer, result.ptr);
    std::replace(text.begin(), text.end(), 'e', 'E');
    return text;
}

} // namespace

std::string NumberText(double value) { return shortestText(value); }

std::string SingleText(float value) { return shortestText(value); }

std::string DecimalText(const std::string& decimal)
{
    std::string text;
    AppendDecimalText(text, decimal);
    return text;
}

void AppendDecimalText(std::string& out, std::string_view decimal)
{
    const auto first = decimal.find_first_not_of(" \t");
    std::string_view text = first == std::string_view::npos
                                ? std::string_view()
                                : decimal.substr(first, decimal.find_last_not_of(" \t") - first + 1);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const auto point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.remove_suffix(1);
    whole.remove_prefix(std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.empty() && fraction.empty()) {
        out += '0';
        return;
    }
    if (negative)
        out += '-';
    if (whole.empty())
        out += '0';
    else
        out += whole;
    if (!fraction.empty()) {
        out += '.';
        out += fraction;
    }
}

double RowProgress(std::int64_t rowCounter, std::int64_t rowCount)
{
    if (rowCount < 0)
        return 0;
    return std::min(100.0, static_cast<double>(rowCounter + 1) / static_cast<double>(rowCount + 1) * 100.0);
}

RowStatementBuilder::RowStatementBuilder(const std::string& table, const std::string& numericPositions,
                                         const std::string& binaryPositions, BinaryColumns binaryValues)
    : quotedTable_(QuotedName(table)),
      numeric_(ParsePositionList(numericPositions, ", ")),
      binary_(ParsePositionList(binaryPositions, ",")),
      binaryValues_(binaryValues)
{
    parsed_.table.text = table;
    parsed_.table.pos = std::strlen(kInsertInto);
    parsed_.table.textPos = parsed_.table.pos + 1;
    parsed_.valuesPos = parsed_.table.pos + quotedTable_.size() + 1;
}

RowStatementBuilder::ColumnClass RowStatementBuilder::columnClass(std::size_t position)
{
    if (position >= columnClass_.size())
        columnClass_.resize(position + 1, ColumnClass::Unknown);
    ColumnClass& known = columnClass_[position];
    if (known == ColumnClass::Unknown)
        known = std::binary_search(binary_.begin(), binary_.end(), position)     ? ColumnClass::Binary
                : std::binary_search(numeric_.begin(), numeric_.end(), position) ? ColumnClass::Numeric
                                                                                 : ColumnClass::Plain;
    return known;
}

namespace {

void appendInteger(std::string& out, std::int64_t n)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, end);
}

} // namespace

// The statement's text is built in place in one buffer that keeps its size from row to row.
void RowStatementBuilder::begin(std::int64_t rowNumber)
{
    statement_.assign(kInsertInto);
    statement_ += quotedTable_;
    statement_ += " VALUES (";
    literals_ = 0;
    described_ = true;
    // A row described only in part (see parsed()) left fewer values.
    if (parsed_.values.size() != spans_.size())
        parsed_.values.resize(spans_.size());
    const std::size_t start = statement_.size();
    appendInteger(statement_, rowNumber);
    describe(paradox::sql::Literal::Kind::Number, start, start, statement_.size() - start);
    statement_ += ',';
}

void RowStatementBuilder::addLiteral()
{
    parsed_.values.emplace_back();
    spans_.emplace_back();
}

// Only [-]digits[.digits] is taken as it stands: the parser reads other spellings (an exponent,
// a bare point) as numbers too, or not at all, and is left to read them.
void RowStatementBuilder::describeNumber(std::size_t start)
{
    const char* const first = statement_.data() + start;
    const char* const end = statement_.data() + statement_.size();
    const auto digitsFrom = [end](const char* p) {
        const char* const from = p;
        while (p != end && *p >= '0' && *p <= '9')
            ++p;
        return p != from ? p : nullptr;
    };
    const char* at = digitsFrom(first != end && *first == '-' ? first + 1 : first);
    if (at && at != end && *at == '.')
        at = digitsFrom(at + 1);
    if (at == end)
        describe(paradox::sql::Literal::Kind::Number, start, start, statement_.size() - start);
    else
        described_ = false;
}

// The column's type is looked up once per table, not once per row.
bool RowStatementBuilder::isDateColumn(std::size_t position, int adoType)
{
    if (position >= dateColumn_.size())
        dateColumn_.resize(position + 1, Unknown);
    if (dateColumn_[position] == Unknown) {
        const std::string_view paradoxType = TypeRuleForType(adoType).paradoxType;
        dateColumn_[position] = paradoxType == "DATE" || paradoxType == "TIMESTAMP" ? Yes : No;
    }
    return dateColumn_[position] == Yes;
}

void RowStatementBuilder::appendNull()
{
    if (!statement_.empty() && statement_.back() == ' ')
        statement_.pop_back();
    describe(paradox::sql::Literal::Kind::Null, statement_.size(), statement_.size(), 0);
    statement_ += "NULL, ";
}

namespace {

constexpr std::size_t kShortText = 32;

} // namespace

void RowStatementBuilder::appendQuoted(std::string_view text)
{
    // A short value, the usual one, is copied character by character through a pointer into
    // room for every character doubled: cheaper than a search call.
    const std::size_t at = statement_.size();
    if (text.size() <= kShortText) {
        statement_.resize(at + 2 * text.size() + 4);
        char* out = statement_.data() + at;
        *out++ = '\'';
        for (const char c : text) {
            *out++ = c;
            if (c == '\'')
                *out++ = c;
        }
        std::memcpy(out, "', ", 3);
        statement_.resize(static_cast<std::size_t>(out + 3 - statement_.data()));
    } else {
        statement_ += '\'';
        // Copies the runs between apostrophes whole, doubling each apostrophe.
        std::size_t from = 0;
        for (std::size_t quote = text.find('\''); quote != std::string::npos; quote = text.find('\'', from)) {
            statement_.append(text.substr(from, quote + 1 - from));
            statement_ += '\'';
            from = quote + 1;
        }
        statement_.append(text.substr(from));
        statement_ += "', ";
    }
    const std::size_t written = statement_.size() - at - 4;
    describe(paradox::sql::Literal::Kind::String, at, at + 1, written);
    // Doubled apostrophes made it longer: the parser's text is the value itself.
    if (written != text.size()) {
        paradox::sql::Literal& literal = parsed_.values[literals_ - 1];
        literal.owned.assign(text);
        literal.unescaped = true;
    }
}

// The bytes as a binary literal; a value that arrived as anything else is written as the bytes
// of its text.
void RowStatementBuilder::appendBinary(const db::Field& field)
{
    if (db::isNull(field.value)) {
        appendNull();
        return;
    }
    const std::size_t start = statement_.size();
    statement_ += "X'";
    if (const auto* bytes = std::get_if<db::Bytes>(&field.value)) {
        appendHex(statement_, bytes->data(), bytes->size());
    } else {
        const std::string text = textForm(field.value, field.Type);
        appendHex(statement_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    }
    describe(paradox::sql::Literal::Kind::Binary, start, start + 2, statement_.size() - start - 2);
    statement_ += "', ";
}

void RowStatementBuilder::addValue(std::size_t position, const db::Field& field)
{
    const ColumnClass kind = columnClass(position);
    if (kind == ColumnClass::Binary) {
        if (binaryValues_ == BinaryColumns::Blob)
            appendBinary(field);
        else {
            describe(paradox::sql::Literal::Kind::String, statement_.size(), statement_.size() + 1, kPlaceholder.size());
            statement_ += '\'';
            statement_ += kPlaceholder;
            statement_ += "', ";
        }
        return;
    }
    const db::Value& value = field.value;
    if (isEmptyValue(value)) {
        appendNull();
        return;
    }
    if (kind == ColumnClass::Numeric) {
        if (const auto* d = std::get_if<double>(&value); d && !std::isfinite(*d)) {
            // No number literal names these: quoted, so that the engine refuses the value by name.
            appendQuoted(NumberText(*d));
            return;
        }
        const std::size_t start = statement_.size();
        // Booleans and integers are digits by construction; other forms are looked at.
        bool digits = true;
        if (const auto* b = std::get_if<bool>(&value))
            statement_ += *b ? '1' : '0';
        else if (const auto* n = std::get_if<std::int64_t>(&value))
            appendInteger(statement_, *n);
        else {
            digits = false;
            if (const auto* d = std::get_if<db::Decimal>(&value))
                AppendDecimalText(statement_, d->text);
            else if (const auto* s = std::get_if<std::string>(&value)) {
                if (*s == "True" || *s == "False")
                    statement_ += *s == "True" ? '1' : '0';
                else if (readsAsNumber(*s)) {
                    const std::size_t at = statement_.size();
                    statement_ += *s;
                    std::replace(statement_.begin() + static_cast<std::ptrdiff_t>(at), statement_.end(), ',', '.');
                } else
                    statement_ += *s;
            } else
                statement_ += textForm(value, field.Type);
        }
        if (digits)
            describe(paradox::sql::Literal::Kind::Number, start, start, statement_.size() - start);
        else
            describeNumber(start);
        statement_ += ", ";
        return;
    }
    if (isDateColumn(position, field.Type)) {
        const auto* t = std::get_if<db::DateTime>(&value);
        db::DateTime parsed;
        if (const auto* s = std::get_if<std::string>(&value); !t && s && parseIsoDateTime(*s, parsed))
            t = &parsed;
        if (t) {
            if (t->nanosecond != 0)
                noteDroppedFraction(field, *t);
            // Digits and separators only: nothing to double.
            const std::size_t start = statement_.size();
            statement_ += '\'';
            AppendDateRuleText(statement_, *t);
            describe(paradox::sql::Literal::Kind::String, start, start + 1, statement_.size() - start - 1);
            statement_ += "', ";
            return;
        }
    }
    if (const auto* s = std::get_if<std::string>(&value)) {
        appendQuoted(*s);
        return;
    }
    if (const auto* t = std::get_if<db::DateTime>(&value); t && t->nanosecond != 0)
        noteDroppedFraction(field, *t);
    appendQuoted(textForm(value, field.Type));
}

void RowStatementBuilder::noteDroppedFraction(const db::Field& field, const db::DateTime& value)
{
    auto column = std::find_if(droppedFractions_.begin(), droppedFractions_.end(),
                               [&](const DroppedFractions& d) { return d.column == field.name; });
    if (column == droppedFractions_.end()) {
        std::string full = textForm(value, field.Type);
        if (full.find(':') == std::string::npos)
            full += " 00:00:00";
        const std::string fraction = std::to_string(1'000'000'000 + value.nanosecond).substr(1);
        full += "." + fraction.substr(0, fraction.find_last_not_of('0') + 1);
        column = droppedFractions_.insert(droppedFractions_.end(), DroppedFractions{field.name, 0, full});
    }
    ++column->values;
}

const std::string& RowStatementBuilder::finish()
{
    // Without any field only the comma after the key value has to go.
    statement_.resize(statement_.size() - (statement_.back() == ',' ? 1 : 2));
    statement_ += ");";
    if (parsed_.values.size() != literals_)
        parsed_.values.resize(literals_);
    for (std::size_t i = 0; i < literals_; ++i)
        parsed_.values[i].view = std::string_view(statement_.data() + spans_[i].from, spans_[i].size);
    return statement_;
}

std::string RowStatementBuilder::build(std::int64_t rowNumber, const std::vector<db::Field>& fields)
{
    begin(rowNumber);
    for (std::size_t i = 0; i < fields.size(); ++i)
        addValue(i, fields[i]);
    return finish();
}

} // namespace convert
