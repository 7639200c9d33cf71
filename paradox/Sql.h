// A hand-written lexer and parser for the Paradox SQL dialect the engine executes:
//   DROP TABLE name
//   CREATE TABLE name (column type [(n [, m])], ...)
//   CREATE [UNIQUE] INDEX name ON table (column [ASC], ...) [WITH PRIMARY]
//   INSERT INTO name [(column, ...)] VALUES (literal, ...)
// Keywords in any letter case; names bare or between "", `` or []; an optional ';' at the end.
// A quoted name holds its closing quote written twice ("say ""hi""", [a]]b]); a string literal
// holds its quote written twice ('O''Brien'). There is no other escape: a literal or a quoted
// name holds line breaks and every other character as they are, and a statement file keeps
// them so, so a script is split into statements only outside literals and quoted names.
// A binary literal is X (or x) and an even number of hex digits between quotes, two a byte:
// X'0A1B' holds the bytes 0x0A 0x1B, X'' none. It goes into the binary columns (BLOB, BYTES,
// ...) as those bytes, with no code page in between.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace paradox::sql {

struct Name {
    std::string text;          // UTF-8
    std::size_t pos = 0;       // byte offset in the statement
    std::size_t textPos = 0;   // byte offset of its first character (after an opening quote)
};

struct ColumnDef {
    Name name;
    Name type;                 // type name in upper case
    std::vector<long> args;    // (n) or (n, m)
};

struct Literal {
    enum class Kind { Null, Number, String, True, False, Binary };
    Kind kind = Kind::Null;
    std::size_t pos = 0;
    // Numbers as written, strings without quotes, UTF-8, binary values as their hex digits. Points into the statement text
    // unless a doubled quote had to be undone.
    std::string_view text() const { return unescaped ? std::string_view(owned) : view; }

    std::string_view view;
    std::string owned;
    bool unescaped = false;
};

struct DropTable {
    Name table;
};
struct CreateTable {
    Name table;
    std::vector<ColumnDef> columns;
};
struct CreateIndex {
    Name index;
    Name table;
    std::vector<Name> columns;
    bool primary = false;
    std::size_t endPos = 0;    // byte offset where WITH PRIMARY would go
};
struct Insert {
    Name table;
    std::vector<Name> columns; // empty: every column in table order
    std::vector<Literal> values;
    std::size_t valuesPos = 0;
};

using Statement = std::variant<DropTable, CreateTable, CreateIndex, Insert>;

// Throws SqlError ("SQL error at position N: ...") for text that is not one statement.
// Positions in the result are byte offsets; errors name 1-based character positions.
Statement parse(std::string_view statementUtf8);
// The same into an existing statement, whose lists keep their room when it is an INSERT
// again: the executor parses one statement per row. After an error `into` means nothing.
void parse(std::string_view statementUtf8, Statement& into);

namespace detail {
// The parser alone, without the shortcut that parse() takes for a plain INSERT; the tests
// hold the two to the same result.
void parseInFull(std::string_view statementUtf8, Statement& into);
}  // namespace detail

// The 1-based character position of a byte offset in UTF-8 text.
std::size_t characterPosition(std::string_view text, std::size_t byteOffset);

}  // namespace paradox::sql
