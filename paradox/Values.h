// Conversions between SQL literals, record bytes and display text, and the mapping of SQL
// type names to Paradox field types.
#pragma once

#include "paradox/Format.h"
#include "paradox/Problem.h"
#include "paradox/Sql.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace paradox {

class CodePage;
class Table;

// The field a column definition creates; an error text (without position) when the type
// name or its size is not accepted.
struct FieldOrError {
    std::optional<Field> field;
    std::string error;
};
FieldOrError fieldForType(const sql::ColumnDef& column);

// What becomes of a character of a text value that the table's code page lacks: without
// `replace` the value is refused; with it the character is written as '?' and the value counted
// in `altered`. encodeRow also lists such values' fields in `alteredFields` when given.
struct Unmappable {
    bool replace = false;
    std::uint64_t altered = 0;
    std::vector<int>* alteredFields = nullptr;
};
// Encodes `value` into `out`, the field's bytes (zero on entry), text in `codePage`. The
// bytes of a blob field are the table's to write: for one the value is only checked.
// `scratch` is room for a conversion, which a caller that keeps it from row to row spares
// an allocation. Returns an error text (without position) when the value does not fit the
// field, and then sets `problem` when given.
std::optional<std::string> encodeLiteral(const Field& field, const sql::Literal& value, const CodePage& codePage,
                                         unsigned char* out, std::string& scratch, Problem* problem = nullptr,
                                         Unmappable* unmappable = nullptr);
// The contents of a blob field, in `codePage`; none for NULL. Returns an error text
// (without position) when the value cannot be its contents, and then sets `problem` when given.
std::optional<std::string> blobContents(const Field& field, const sql::Literal& value, const CodePage& codePage,
                                        std::string& contents, Problem* problem = nullptr, Unmappable* unmappable = nullptr);

// A value as a reason names it: text quoted, cut after 60 characters, control characters written
// as \xNN; numbers as written; NULL.
std::string shownLiteral(const sql::Literal& value);
std::string shownText(std::string_view text);
// Hex digits as a binary literal, X'0A1B', upper case, cut after `maxBytes` bytes.
std::string binaryLiteralText(std::string_view hex, std::size_t maxBytes);

// The value of field `index` of a record as text (UTF-8): dates yyyy-mm-dd, times
// hh:mm:ss, timestamps "yyyy-mm-dd hh:mm:ss", logicals true/false, blanks empty.
std::string fieldText(const Table& table, int index, const unsigned char* record);
// The same from a field's own bytes, for fields that are no blob (empty for a blob).
std::string fieldText(const Header& table, const Field& field, const unsigned char* bytes);
// "Alpha 20", "Long", "BCD 2", "Memo 10" ...
std::string fieldTypeText(const Field& field);

}  // namespace paradox
