#include "db/OdbcConnectionString.h"

#include <algorithm>
#include <cctype>

namespace db {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::vector<ConnectionAttribute> parseConnectionString(std::string_view text)
{
    std::vector<ConnectionAttribute> result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        ConnectionAttribute attribute;
        const std::size_t equals = text.find_first_of("=;", pos);
        if (equals == std::string_view::npos || text[equals] == ';') {
            // A pair without '=' carries no value; it is passed on as written.
            const std::size_t end = equals == std::string_view::npos ? text.size() : equals;
            attribute.key = trimmed(text.substr(pos, end - pos));
            pos = end == text.size() ? end : end + 1;
        } else {
            attribute.key = trimmed(text.substr(pos, equals - pos));
            pos = equals + 1;
            while (pos < text.size() && text[pos] == ' ')
                ++pos;
            if (pos < text.size() && text[pos] == '{') {
                ++pos;
                while (pos < text.size()) {
                    if (text[pos] == '}') {
                        if (pos + 1 < text.size() && text[pos + 1] == '}') {
                            attribute.value += '}';
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    attribute.value += text[pos++];
                }
                const std::size_t end = text.find(';', pos);
                pos = end == std::string_view::npos ? text.size() : end + 1;
            } else {
                const std::size_t end = std::min(text.find(';', pos), text.size());
                attribute.value = text.substr(pos, end - pos);
                pos = end == text.size() ? end : end + 1;
            }
        }
        std::string_view raw = text.substr(start, pos - start);
        if (!raw.empty() && raw.back() == ';')
            raw.remove_suffix(1);
        attribute.raw = raw;
        if (!trimmed(raw).empty())
            result.push_back(std::move(attribute));
    }
    return result;
}

std::string connectionValue(std::string_view value)
{
    if (value.find_first_of(";{}") == std::string_view::npos)
        return std::string(value);
    return bracedConnectionValue(value);
}

std::string bracedConnectionValue(std::string_view value)
{
    std::string braced = "{";
    for (char c : value) {
        braced += c;
        if (c == '}')
            braced += '}';
    }
    braced += '}';
    return braced;
}

std::string formatConnectionString(const std::vector<ConnectionAttribute>& attributes)
{
    std::string text;
    for (const ConnectionAttribute& a : attributes) {
        text += a.raw.empty() ? a.key + "=" + connectionValue(a.value) : a.raw;
        text += ';';
    }
    return text;
}

ConnectionAttribute* findAttribute(std::vector<ConnectionAttribute>& attributes, std::string_view key)
{
    auto it = std::ranges::find_if(attributes, [&](const ConnectionAttribute& a) { return equalsIgnoringCase(a.key, key); });
    return it == attributes.end() ? nullptr : &*it;
}

std::optional<std::string> attributeValue(const std::vector<ConnectionAttribute>& attributes, std::string_view key)
{
    for (const ConnectionAttribute& a : attributes)
        if (equalsIgnoringCase(a.key, key))
            return a.value;
    return std::nullopt;
}

void setAttribute(std::vector<ConnectionAttribute>& attributes, std::string_view key, std::string value)
{
    if (ConnectionAttribute* a = findAttribute(attributes, key)) {
        a->value = std::move(value);
        a->raw.clear();
    } else {
        attributes.push_back({std::string(key), std::move(value), {}});
    }
}

} // namespace db
