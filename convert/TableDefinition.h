#pragma once
// The Paradox SQL that removes an old copy of a table and defines the new one, and what the
// definition tells the row transfer: the column classes as two position lists.

#include "convert/DatatypeRecord.h"
#include "convert/TypeOptions.h"
#include "db/Ado.h"

#include <cstddef>
#include <string>
#include <vector>

namespace convert {

// The generated key column, first in every created table and carrier of the primary index.
inline constexpr const char* kKeyColumn = "SBSID";

// How the row transfer writes a column's values.
enum class ColumnClass { Numeric, Binary, Text };

// One rule of the fixed sequence that maps a type category to a Paradox column.
struct TypeRule {
    const char* columnText;  // appended after the quoted column name
    ColumnClass columnClass;
    const char* sourceText;  // the datatype record's source type: the rule's first search text
    const char* paradoxType; // the datatype record's Paradox type
};

// The lower-cased ADO type name of a field's type code (taken at 16 bits); empty without a name.
std::string TypeCategory(int adoType);
// The first rule whose search text occurs in the category.
const TypeRule& TypeRuleFor(const std::string& category);
// The rule for a field's type code.
const TypeRule& TypeRuleForType(int adoType);
// The rule for a field under the run's options: the fixed rule, or the memo, blob or BCD column
// an option puts in its place.
const TypeRule& TypeRuleForField(const db::Field& field, const TypeOptions& options);

// A table or column name between double quotes, a double quote inside written twice, so that
// any name stays one name; the engine then says which names it cannot take.
std::string QuotedName(const std::string& name);

std::string DropTableStatement(const std::string& table);
std::string CreateIndexStatement(const std::string& table);

// Builds the create-table statement column by column, as the run walks the source fields.
class TableDefinition {
public:
    explicit TableDefinition(std::string table, TypeOptions options = {});

    // Appends one source column and returns its datatype record.
    DatatypeRecord addColumn(const db::Field& field);
    // The finished statement.
    std::string createTableStatement() const;

    const std::string& table() const { return table_; }
    // Positions of numeric / binary columns, each followed by ", " ("0, 2, "); empty when none.
    const std::string& numericPositions() const { return numericPositions_; }
    const std::string& binaryPositions() const { return binaryPositions_; }

private:
    std::string table_;
    std::string statement_;
    std::string numericPositions_;
    std::string binaryPositions_;
    std::size_t position_ = 0;
    TypeOptions options_;
};

// The whole definition of a table from its fields, for callers without a window to update.
struct DefinedTable {
    std::string createTable;
    std::string createIndex;
    std::string numericPositions;
    std::string binaryPositions;
    std::vector<DatatypeRecord> datatypes;
};
DefinedTable DefineTable(const std::string& table, const std::vector<db::Field>& fields, const TypeOptions& options = {});

} // namespace convert
