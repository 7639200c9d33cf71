#include "SqlText.h"

#include "Text.h"

namespace demo {

namespace {

bool identChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '@' ||
           c == '#' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// Copies a quoted run that starts at text[i] and ends with `close` (doubled to escape); returns the end.
size_t quotedEnd(std::string_view text, size_t i, char close)
{
    for (size_t k = i + 1; k < text.size(); ++k) {
        if (text[k] == close) {
            if (k + 1 < text.size() && text[k + 1] == close) {
                ++k;
                continue;
            }
            return k + 1;
        }
    }
    return text.size();
}

size_t skipBlanks(std::string_view text, size_t i)
{
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    return i;
}

} // namespace

namespace {

// A name at text[i]: bracketed, double-quoted or plain. Returns its end, or i when there is none.
size_t nameAt(std::string_view text, size_t i, std::string& name)
{
    name.clear();
    if (i >= text.size())
        return i;
    if (text[i] == '[' || text[i] == '"') {
        const char close = text[i] == '[' ? ']' : '"';
        const size_t end = quotedEnd(text, i, close);
        for (size_t k = i + 1; k < end - 1 && k < text.size(); ++k) {
            if (text[k] == close && k + 1 < end - 1 && text[k + 1] == close)
                ++k;
            name.push_back(text[k]);
        }
        return end;
    }
    size_t end = i;
    while (end < text.size() && identChar(text[end]))
        ++end;
    name.assign(text.substr(i, end - i));
    return end;
}

void appendQuoted(std::string& out, std::string_view name)
{
    out.push_back('"');
    for (char ch : name) {
        if (ch == '"')
            out.push_back('"');
        out.push_back(ch);
    }
    out.push_back('"');
}

} // namespace

std::string toSqlite(std::string_view tsql, const SqliteNames& names)
{
    std::string out;
    out.reserve(tsql.size());
    size_t i = 0;
    std::string name;
    std::string member;
    bool databaseDropped = false;
    while (i < tsql.size()) {
        const char c = tsql[i];
        if (c == '-' && i + 1 < tsql.size() && tsql[i + 1] == '-') {
            const size_t end = tsql.find('\n', i);
            const size_t stop = end == std::string_view::npos ? tsql.size() : end;
            out.append(tsql.substr(i, stop - i));
            i = stop;
        } else if (c == '/' && i + 1 < tsql.size() && tsql[i + 1] == '*') {
            const size_t end = tsql.find("*/", i + 2);
            const size_t stop = end == std::string_view::npos ? tsql.size() : end + 2;
            out.append(tsql.substr(i, stop - i));
            i = stop;
        } else if (c == '\'') {
            const size_t end = quotedEnd(tsql, i, '\'');
            out.append(tsql.substr(i, end - i));
            i = end;
        } else if ((c == 'N' || c == 'n') && i + 1 < tsql.size() && tsql[i + 1] == '\'' &&
                   (i == 0 || !identChar(tsql[i - 1]))) {
            ++i;
        } else if (c == '[' || c == '"' || identChar(c)) {
            const bool quoted = !identChar(c);
            const size_t end = nameAt(tsql, i, name);
            const size_t after = skipBlanks(tsql, end);
            const bool qualifies =
                after < tsql.size() && tsql[after] == '.' && (i == 0 || tsql[i - 1] != '.' || databaseDropped);
            databaseDropped = false;
            if (qualifies && equalsNoCase(name, "dbo")) {
                i = skipBlanks(tsql, after + 1);
                continue;
            }
            // database.schema.name and database..name name a table of the current database.
            if (qualifies && !names.database.empty() && equalsNoCase(name, names.database)) {
                const size_t next = skipBlanks(tsql, after + 1);
                const size_t nextEnd = next < tsql.size() && tsql[next] == '.' ? next : nameAt(tsql, next, member);
                if (nextEnd < tsql.size() && skipBlanks(tsql, nextEnd) < tsql.size() &&
                    tsql[skipBlanks(tsql, nextEnd)] == '.') {
                    i = next < tsql.size() && tsql[next] == '.' ? skipBlanks(tsql, next + 1) : next;
                    databaseDropped = true;
                    continue;
                }
            }
            if (!quoted && name.starts_with("@@") && names.variable) {
                if (const std::optional<std::string> literal = names.variable(name)) {
                    out.append(*literal);
                    i = end;
                    continue;
                }
            }
            // schema.name is the SQLite table "schema.name".
            if (qualifies && names.isSchema && names.isSchema(name)) {
                const size_t memberStart = skipBlanks(tsql, after + 1);
                const size_t memberEnd = nameAt(tsql, memberStart, member);
                if (memberEnd > memberStart) {
                    appendQuoted(out, name + "." + member);
                    i = memberEnd;
                    continue;
                }
            }
            if (quoted)
                appendQuoted(out, name);
            else
                out.append(name);
            i = end;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

std::string_view firstWord(std::string_view text, size_t& end)
{
    const size_t start = skipBlanks(text, 0);
    end = start;
    while (end < text.size() && identChar(text[end]))
        ++end;
    return text.substr(start, end - start);
}

bool isSessionOption(std::string_view text, size_t& length)
{
    size_t end = 0;
    if (!equalsNoCase(firstWord(text, end), "set") || end >= text.size())
        return false;
    size_t stop = end;
    while (stop < text.size() && text[stop] != ';' && text[stop] != '\n')
        ++stop;
    for (size_t k = end; k < stop;) {
        size_t wordEnd = 0;
        const std::string_view word = firstWord(text.substr(k, stop - k), wordEnd);
        if (word.empty()) {
            ++k;
            continue;
        }
        k += wordEnd;
        if (equalsNoCase(word, "on") || equalsNoCase(word, "off")) {
            length = k;
            return true;
        }
    }
    length = stop < text.size() ? stop + 1 : stop;
    return true;
}

std::optional<TopClause> topClause(std::string_view text)
{
    size_t end = 0;
    if (!equalsNoCase(firstWord(text, end), "select"))
        return std::nullopt;
    size_t begin = end;
    size_t after = 0;
    std::string_view word = firstWord(text.substr(begin), after);
    if (equalsNoCase(word, "distinct")) {
        begin += after;
        word = firstWord(text.substr(begin), after);
    }
    if (!equalsNoCase(word, "top"))
        return std::nullopt;
    size_t k = skipBlanks(text, begin + after);
    const bool parenthesised = k < text.size() && text[k] == '(';
    if (parenthesised)
        k = skipBlanks(text, k + 1);
    const size_t digits = k;
    long long count = 0;
    while (k < text.size() && text[k] >= '0' && text[k] <= '9' && count < 1'000'000'000'000LL)
        count = count * 10 + (text[k++] - '0');
    if (k == digits)
        return std::nullopt;
    if (parenthesised) {
        k = skipBlanks(text, k);
        if (k >= text.size() || text[k] != ')')
            return std::nullopt;
        ++k;
    }
    return TopClause{begin, k, count};
}

ServerError fromSqlite(std::string_view m)
{
    const auto after = [&](std::string_view prefix, std::string& rest) {
        if (m.substr(0, prefix.size()) != prefix)
            return false;
        rest = std::string(m.substr(prefix.size()));
        return true;
    };
    std::string rest;
    if (after("no such table: ", rest))
        return {208, 16, 1, "Invalid object name '" + rest + "'."};
    if (after("no such column: ", rest))
        return {207, 16, 1, "Invalid column name '" + rest + "'."};
    if (after("near \"", rest)) {
        const auto quote = rest.find("\": syntax error");
        if (quote != std::string::npos)
            return {102, 15, 1, "Incorrect syntax near '" + rest.substr(0, quote) + "'."};
    }
    if (m == "incomplete input")
        return {102, 15, 1, "Incorrect syntax near the end of the input."};
    if (after("table ", rest) && rest.find(" already exists") != std::string::npos) {
        const auto name = rest.substr(0, rest.find(" already exists"));
        return {2714, 16, 6, "There is already an object named '" + name + "' in the database."};
    }
    return {50000, 16, 1, std::string(m)};
}

} // namespace demo
