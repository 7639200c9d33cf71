#include "convert/TableDefinition.h"

#include "convert/Datatype.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace convert {

namespace {

struct RuleRow {
    const char* search;
    const char* alternative; // a second search text, or nullptr
    TypeRule rule;
};

// Tested in this order; the order is binding ("adunsignedsmallint" must meet the smallint rule
// before the int rule). Single precision maps to FLOAT: an INT column would drop every fraction.
constexpr std::array<RuleRow, 11> kRules{{
    {"char", nullptr, {" TEXT, ", ColumnClass::Text, "char", "TEXT"}},
    {"adlongvarbinary", nullptr, {" VARCHAR, ", ColumnClass::Binary, "adlongvarbinary", "VARCHAR"}},
    {"double", nullptr, {" FLOAT, ", ColumnClass::Numeric, "double", "FLOAT"}},
    {"single", nullptr, {" FLOAT, ", ColumnClass::Numeric, "single", "FLOAT"}},
    {"smallint", "tinyint", {" SMALLINT, ", ColumnClass::Numeric, "smallint", "SMALLINT"}},
    {"int", nullptr, {" INT, ", ColumnClass::Numeric, "int", "INT"}},
    {"currency", "numeric", {" CURRENCY, ", ColumnClass::Numeric, "currency", "CURRENCY"}},
    {"decimal", nullptr, {" DECIMAL, ", ColumnClass::Numeric, "decimal", "DECIMAL"}},
    {"date", nullptr, {" DATE, ", ColumnClass::Text, "date", "DATE"}},
    {"timestamp", nullptr, {" TIMESTAMP, ", ColumnClass::Text, "timestamp", "TIMESTAMP"}},
    {"bool", nullptr, {" BIT, ", ColumnClass::Numeric, "bool", "BIT"}},
}};

constexpr TypeRule kOtherTypes{" VARCHAR, ", ColumnClass::Text, "OTHER TYPES", "VARCHAR"};

// What the options put in place of a rule; the record keeps the rule's own search text.
constexpr TypeRule kMemo{" MEMO, ", ColumnClass::Text, "char", "MEMO"};
constexpr TypeRule kBlob{" BLOB, ", ColumnClass::Binary, "adlongvarbinary", "BLOB"};
constexpr TypeRule kBigDecimal{" DECIMAL, ", ColumnClass::Numeric, "int", "DECIMAL"};
// Alpha's width: a text column declared wider is long text.
constexpr std::int64_t kAlphaWidth = 255;

} // namespace

std::string TypeCategory(int adoType)
{
    std::string name = Datatype::AdoTypeName(static_cast<std::int16_t>(adoType)).value_or("");
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

const TypeRule& TypeRuleFor(const std::string& category)
{
    for (const RuleRow& row : kRules) {
        if (category.find(row.search) != std::string::npos)
            return row.rule;
        if (row.alternative && category.find(row.alternative) != std::string::npos)
            return row.rule;
    }
    return kOtherTypes;
}

const TypeRule& TypeRuleForType(int adoType) { return TypeRuleFor(TypeCategory(adoType)); }

const TypeRule& TypeRuleForField(const db::Field& field, const TypeOptions& options)
{
    const TypeRule& rule = TypeRuleForType(field.Type);
    const std::string_view paradoxType = rule.paradoxType;
    if (paradoxType == "TEXT" && options.longText == LongText::Memo &&
        (field.Type == db::adLongVarChar || field.Type == db::adLongVarWChar || field.definedSize > kAlphaWidth))
        return kMemo;
    if (rule.columnClass == ColumnClass::Binary && options.binary == BinaryColumns::Blob)
        return kBlob;
    if ((field.Type == db::adBigInt || field.Type == db::adUnsignedBigInt) && options.bigInt == BigIntegers::Decimal)
        return kBigDecimal;
    return rule;
}

std::string QuotedName(const std::string& name)
{
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

std::string DropTableStatement(const std::string& table) { return "DROP TABLE " + QuotedName(table) + ";"; }

std::string CreateIndexStatement(const std::string& table)
{
    return "CREATE INDEX " + QuotedName(table) + " ON " + QuotedName(table) + " (" + QuotedName(kKeyColumn) + ") with primary";
}

TableDefinition::TableDefinition(std::string table, TypeOptions options)
    : table_(std::move(table)),
      statement_("CREATE TABLE " + QuotedName(table_) + " (" + QuotedName(kKeyColumn) + " INT, "),
      options_(std::move(options))
{
}

DatatypeRecord TableDefinition::addColumn(const db::Field& field)
{
    const TypeRule& rule = TypeRuleForField(field, options_);
    statement_ += QuotedName(field.name) + rule.columnText;
    const std::string position = std::to_string(position_) + ", ";
    if (rule.columnClass == ColumnClass::Numeric)
        numericPositions_ += position;
    else if (rule.columnClass == ColumnClass::Binary)
        binaryPositions_ += position;
    ++position_;
    return DatatypeRecord{table_, field.name, rule.sourceText, rule.paradoxType, field.Type};
}

std::string TableDefinition::createTableStatement() const
{
    // Trim, drop the comma after the last column, close the list.
    std::string text = statement_;
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    text = text.substr(first, last - first + 1);
    text.pop_back();
    return text + ");";
}

DefinedTable DefineTable(const std::string& table, const std::vector<db::Field>& fields, const TypeOptions& options)
{
    TableDefinition definition(table, options);
    DefinedTable result;
    for (const db::Field& field : fields)
        result.datatypes.push_back(definition.addColumn(field));
    result.createTable = definition.createTableStatement();
    result.createIndex = CreateIndexStatement(table);
    result.numericPositions = definition.numericPositions();
    result.binaryPositions = definition.binaryPositions();
    return result;
}

} // namespace convert
