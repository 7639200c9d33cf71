#include "convert/RowTransfer.h"

#include "convert/TableDefinition.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

namespace convert {

namespace {

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
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
        return false;
    out = db::DateTime{year, month, day, hour, minute, second, 0};
    return true;
}

std::string hexText(const db::Bytes& bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
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
        std::string operator()(double d) const { return NumberText(d); }
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
    std::string text = twoDigits(value.month) + "/" + twoDigits(value.day) + "/" + paddedDigits(value.year, 4);
    const bool midnight = value.hour == 0 && value.minute == 0 && value.second == 0;
    if (!midnight || isZeroDate(value))
        text += " " + timeText(value);
    return text;
}

std::string NumberText(double value)
{
    if (value == 0)
        return "0";
    char buffer[400];
    const double magnitude = std::fabs(value);
    const bool fixed = magnitude >= 1e-6 && magnitude < 1e21;
    const auto result = fixed ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
                              : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string text(buffer, result.ptr);
    std::replace(text.begin(), text.end(), 'e', 'E');
    return text;
}

std::string DecimalText(const std::string& decimal)
{
    std::string text = trimmed(decimal);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.erase(0, 1);
    }
    const auto point = text.find('.');
    std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.empty())
        whole = "0";
    if (whole == "0" && fraction.empty())
        return "0";
    return (negative ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

double RowProgress(std::int64_t rowCounter, std::int64_t rowCount)
{
    if (rowCount < 0)
        return 0;
    return std::min(100.0, static_cast<double>(rowCounter + 1) / static_cast<double>(rowCount + 1) * 100.0);
}

RowStatementBuilder::RowStatementBuilder(std::string table, const std::string& numericPositions,
                                         const std::string& binaryPositions)
    : table_(std::move(table)),
      numeric_(ParsePositionList(numericPositions, ", ")),
      binary_(ParsePositionList(binaryPositions, ","))
{
}

bool RowStatementBuilder::isBinary(std::size_t position) const
{
    return std::binary_search(binary_.begin(), binary_.end(), position);
}

bool RowStatementBuilder::isNumeric(std::size_t position) const
{
    return !isBinary(position) && std::binary_search(numeric_.begin(), numeric_.end(), position);
}

void RowStatementBuilder::begin(std::int64_t rowNumber)
{
    statement_ = "INSERT INTO \"" + table_ + "\" VALUES (" + std::to_string(rowNumber) + ",";
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
    statement_ += "NULL, ";
}

void RowStatementBuilder::appendQuoted(const std::string& text)
{
    statement_ += '\'';
    // Copies the runs between apostrophes whole, doubling each apostrophe.
    std::size_t from = 0;
    for (std::size_t quote = text.find('\''); quote != std::string::npos; quote = text.find('\'', from)) {
        statement_.append(text, from, quote + 1 - from);
        statement_ += '\'';
        from = quote + 1;
    }
    statement_.append(text, from, std::string::npos);
    statement_ += "', ";
}

void RowStatementBuilder::addValue(std::size_t position, const db::Field& field)
{
    if (isBinary(position)) {
        statement_ += "'<OLEOBJECT>', ";
        return;
    }
    const db::Value& value = field.value;
    if (isEmptyValue(value)) {
        appendNull();
        return;
    }
    if (isNumeric(position)) {
        std::string text;
        if (const auto* b = std::get_if<bool>(&value))
            text = *b ? "1" : "0";
        else if (const auto* s = std::get_if<std::string>(&value)) {
            text = *s;
            if (text == "True" || text == "False")
                text = text == "True" ? "1" : "0";
            else if (readsAsNumber(text))
                std::replace(text.begin(), text.end(), ',', '.');
        } else
            text = textForm(value, field.Type);
        statement_ += text + ", ";
        return;
    }
    if (isDateColumn(position, field.Type)) {
        if (const auto* t = std::get_if<db::DateTime>(&value)) {
            appendQuoted(DateRuleText(*t));
            return;
        }
        db::DateTime parsed;
        if (const auto* s = std::get_if<std::string>(&value); s && parseIsoDateTime(*s, parsed)) {
            appendQuoted(DateRuleText(parsed));
            return;
        }
    }
    appendQuoted(textForm(value, field.Type));
}

std::string RowStatementBuilder::finish()
{
    // Without any field only the comma after the key value has to go.
    statement_.resize(statement_.size() - (statement_.back() == ',' ? 1 : 2));
    statement_ += ");";
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
