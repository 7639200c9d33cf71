// Splits a script into statements: each may span lines and end with ';'; a statement
// without ';' (CREATE INDEX ... WITH PRIMARY) ends where the next line begins a statement,
// and so does one broken by an unclosed quote.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pxsql {

struct ScriptStatement {
    std::string text;
    std::size_t line = 0;      // 1-based line where the statement begins
};

std::vector<ScriptStatement> splitScript(std::string_view script);

}  // namespace pxsql
