#include "Script.h"

#include <cctype>

namespace pxsql {

namespace {

bool beginsStatement(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    std::string word;
    while (i < line.size() && std::isalpha(static_cast<unsigned char>(line[i])))
        word += char(std::toupper(static_cast<unsigned char>(line[i++])));
    return word == "CREATE" || word == "DROP" || word == "INSERT";
}

bool blank(std::string_view s)
{
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

std::vector<ScriptStatement> splitScript(std::string_view script)
{
    std::vector<ScriptStatement> out;
    ScriptStatement current;
    bool inString = false, inName = false;
    char nameClose = 0;
    std::size_t line = 1;
    bool atLineStart = true;
    auto finish = [&] {
        if (!blank(current.text)) out.push_back(current);
        current = {};
    };
    for (std::size_t i = 0; i < script.size(); ++i) {
        const char c = script[i];
        if (atLineStart && !blank(current.text) && beginsStatement(script.substr(i, script.find('\n', i) - i))) {
            finish();
            inString = inName = false;
        }
        atLineStart = false;
        if (blank(current.text) && !std::isspace(static_cast<unsigned char>(c))) {
            current.text.clear();
            current.line = line;
        }
        current.text += c;
        if (inString) {
            if (c == '\'') inString = false;
        } else if (inName) {
            if (c == nameClose) inName = false;
        } else if (c == '\'') {
            inString = true;
        } else if (c == '"' || c == '`' || c == '[') {
            inName = true;
            nameClose = c == '[' ? ']' : c;
        } else if (c == ';') {
            finish();
        }
        if (c == '\n') {
            ++line;
            atLineStart = true;
        }
    }
    finish();
    return out;
}

}  // namespace pxsql
