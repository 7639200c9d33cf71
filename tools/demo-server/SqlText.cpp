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

std::string toSqlite(std::string_view tsql)
{
    std::string out;
    out.reserve(tsql.size());
    size_t i = 0;
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
        } else if (c == '[' || c == '"') {
            const char close = c == '[' ? ']' : '"';
            const size_t end = quotedEnd(tsql, i, close);
            std::string name;
            for (size_t k = i + 1; k < end - 1 && k < tsql.size(); ++k) {
                if (tsql[k] == close && k + 1 < end - 1 && tsql[k + 1] == close)
                    ++k;
                name.push_back(tsql[k]);
            }
            const size_t after = skipBlanks(tsql, end);
            if (equalsNoCase(name, "dbo") && after < tsql.size() && tsql[after] == '.') {
                i = skipBlanks(tsql, after + 1);
                continue;
            }
            out.push_back('"');
            for (char ch : name) {
                if (ch == '"')
                    out.push_back('"');
                out.push_back(ch);
            }
            out.push_back('"');
            i = end;
        } else if (identChar(c)) {
            size_t end = i;
            while (end < tsql.size() && identChar(tsql[end]))
                ++end;
            const std::string_view word = tsql.substr(i, end - i);
            const size_t after = skipBlanks(tsql, end);
            if (equalsNoCase(word, "dbo") && after < tsql.size() && tsql[after] == '.' &&
                (i == 0 || tsql[i - 1] != '.')) {
                i = skipBlanks(tsql, after + 1);
                continue;
            }
            out.append(word);
            i = end;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

bool isSessionOption(std::string_view text, size_t& length)
{
    const size_t start = skipBlanks(text, 0);
    if (text.size() < start + 4 || !equalsNoCase(text.substr(start, 3), "set") || identChar(text[start + 3]))
        return false;
    size_t end = start;
    while (end < text.size() && text[end] != ';' && text[end] != '\n')
        ++end;
    length = end < text.size() ? end + 1 : end;
    return true;
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
