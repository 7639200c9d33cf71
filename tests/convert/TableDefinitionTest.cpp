// Whole statement texts of the table definition, one named row per case.
#include "convert/RowTransfer.h"
#include "convert/TableDefinition.h"

#include <gtest/gtest.h>

#include <vector>

using convert::DatatypeRecord;

namespace {

db::Field field(std::string name, int type)
{
    db::Field f;
    f.name = std::move(name);
    f.Type = type;
    return f;
}

struct DefinitionCase {
    const char* name;
    std::string table;
    std::vector<db::Field> fields;
    std::string createTable;
    std::string numeric;
    std::string binary;
    std::vector<DatatypeRecord> records;
};

class TableDefinitionCases : public ::testing::TestWithParam<DefinitionCase> {};

TEST_P(TableDefinitionCases, GivesTheWholeStatementListsAndRecords)
{
    const DefinitionCase& c = GetParam();
    const convert::DefinedTable defined = convert::DefineTable(c.table, c.fields);
    EXPECT_EQ(defined.createTable, c.createTable);
    EXPECT_EQ(defined.createIndex, "CREATE INDEX \"" + c.table + "\" ON \"" + c.table + "\" (\"SBSID\") with primary");
    EXPECT_EQ(defined.numericPositions, c.numeric);
    EXPECT_EQ(defined.binaryPositions, c.binary);
    ASSERT_EQ(defined.datatypes.size(), c.records.size());
    for (std::size_t i = 0; i < c.records.size(); ++i) {
        EXPECT_EQ(defined.datatypes[i].table, c.records[i].table) << i;
        EXPECT_EQ(defined.datatypes[i].field, c.records[i].field) << i;
        EXPECT_EQ(defined.datatypes[i].sourceType, c.records[i].sourceType) << i;
        EXPECT_EQ(defined.datatypes[i].paradoxType, c.records[i].paradoxType) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableDefinitionCases,
    ::testing::Values(
        DefinitionCase{"WorkedExampleOrders",
                       "Orders",
                       {field("OrderID", db::adInteger), field("Customer", db::adVarWChar),
                        field("Amount", db::adCurrency), field("Scan", db::adLongVarBinary),
                        field("Placed", db::adDBTimeStamp)},
                       "CREATE TABLE \"Orders\" (\"SBSID\" INT, \"OrderID\" INT, \"Customer\" TEXT, \"Amount\" "
                       "CURRENCY, \"Scan\" VARCHAR, \"Placed\" TIMESTAMP);",
                       "0, 2, ",
                       "3, ",
                       {{"Orders", "OrderID", "int", "INT"},
                        {"Orders", "Customer", "char", "TEXT"},
                        {"Orders", "Amount", "currency", "CURRENCY"},
                        {"Orders", "Scan", "adlongvarbinary", "VARCHAR"},
                        {"Orders", "Placed", "timestamp", "TIMESTAMP"}}},
        DefinitionCase{"NoFields", "T", {}, "CREATE TABLE \"T\" (\"SBSID\" INT);", "", "", {}},
        DefinitionCase{"SourceColumnNamedSbsidIsKept",
                       "T",
                       {field("SBSID", db::adInteger)},
                       "CREATE TABLE \"T\" (\"SBSID\" INT, \"SBSID\" INT);",
                       "0, ",
                       "",
                       {{"T", "SBSID", "int", "INT"}}},
        DefinitionCase{"UnnamedCodesBecomeVarchar",
                       "T",
                       {field("a", 1), field("b", 8192), field("c", 15)},
                       "CREATE TABLE \"T\" (\"SBSID\" INT, \"a\" VARCHAR, \"b\" VARCHAR, \"c\" VARCHAR);",
                       "",
                       "",
                       {{"T", "a", "OTHER TYPES", "VARCHAR"},
                        {"T", "b", "OTHER TYPES", "VARCHAR"},
                        {"T", "c", "OTHER TYPES", "VARCHAR"}}},
        DefinitionCase{"TimestampTimeAndDate",
                       "T",
                       {field("ts", db::adDBTimeStamp), field("tm", db::adDBTime), field("d", db::adDBDate),
                        field("vd", db::adDate)},
                       "CREATE TABLE \"T\" (\"SBSID\" INT, \"ts\" TIMESTAMP, \"tm\" VARCHAR, \"d\" DATE, \"vd\" DATE);",
                       "",
                       "",
                       {{"T", "ts", "timestamp", "TIMESTAMP"},
                        {"T", "tm", "OTHER TYPES", "VARCHAR"},
                        {"T", "d", "date", "DATE"},
                        {"T", "vd", "date", "DATE"}}},
        DefinitionCase{"BigintAndTinyint",
                       "T",
                       {field("b", db::adBigInt), field("ub", db::adUnsignedBigInt), field("t", db::adTinyInt),
                        field("ut", db::adUnsignedTinyInt), field("us", db::adUnsignedSmallInt),
                        field("ui", db::adUnsignedInt)},
                       "CREATE TABLE \"T\" (\"SBSID\" INT, \"b\" INT, \"ub\" INT, \"t\" SMALLINT, \"ut\" SMALLINT, "
                       "\"us\" SMALLINT, \"ui\" INT);",
                       "0, 1, 2, 3, 4, 5, ",
                       "",
                       {{"T", "b", "int", "INT"},
                        {"T", "ub", "int", "INT"},
                        {"T", "t", "smallint", "SMALLINT"},
                        {"T", "ut", "smallint", "SMALLINT"},
                        {"T", "us", "smallint", "SMALLINT"},
                        {"T", "ui", "int", "INT"}}},
        DefinitionCase{"SingleIsFloatSoFractionsSurvive",
                       "T",
                       {field("s", db::adSingle), field("d", db::adDouble)},
                       "CREATE TABLE \"T\" (\"SBSID\" INT, \"s\" FLOAT, \"d\" FLOAT);",
                       "0, 1, ",
                       "",
                       {{"T", "s", "single", "FLOAT"}, {"T", "d", "double", "FLOAT"}}},
        DefinitionCase{"ShortBinariesAreTextOnlyLongBinaryIsBinary",
                       "T",
                       {field("vb", db::adVarBinary), field("b", db::adBinary), field("lb", db::adLongVarBinary),
                        field("g", db::adGUID)},
                       "CREATE TABLE \"T\" (\"SBSID\" INT, \"vb\" VARCHAR, \"b\" VARCHAR, \"lb\" VARCHAR, \"g\" VARCHAR);",
                       "",
                       "2, ",
                       {{"T", "vb", "OTHER TYPES", "VARCHAR"},
                        {"T", "b", "OTHER TYPES", "VARCHAR"},
                        {"T", "lb", "adlongvarbinary", "VARCHAR"},
                        {"T", "g", "OTHER TYPES", "VARCHAR"}}},
        DefinitionCase{"NumericDecimalBoolAndWideText",
                       "T",
                       {field("n", db::adNumeric), field("vn", 139), field("dc", db::adDecimal),
                        field("f", db::adBoolean), field("w", db::adWChar), field("lw", db::adLongVarWChar),
                        field("lc", db::adLongVarChar)},
                       "CREATE TABLE \"T\" (\"SBSID\" INT, \"n\" CURRENCY, \"vn\" CURRENCY, \"dc\" DECIMAL, \"f\" BIT, "
                       "\"w\" TEXT, \"lw\" TEXT, \"lc\" TEXT);",
                       "0, 1, 2, 3, ",
                       "",
                       {{"T", "n", "currency", "CURRENCY"},
                        {"T", "vn", "currency", "CURRENCY"},
                        {"T", "dc", "decimal", "DECIMAL"},
                        {"T", "f", "bool", "BIT"},
                        {"T", "w", "char", "TEXT"},
                        {"T", "lw", "char", "TEXT"},
                        {"T", "lc", "char", "TEXT"}}},
        DefinitionCase{"NamesWithBlanksAndCaseStandUnchanged",
                       "Order Details",
                       {field("Unit Price", db::adCurrency), field("qTy", db::adSmallInt)},
                       "CREATE TABLE \"Order Details\" (\"SBSID\" INT, \"Unit Price\" CURRENCY, \"qTy\" SMALLINT);",
                       "0, 1, ",
                       "",
                       {{"Order Details", "Unit Price", "currency", "CURRENCY"},
                        {"Order Details", "qTy", "smallint", "SMALLINT"}}}),
    [](const ::testing::TestParamInfo<DefinitionCase>& info) { return std::string(info.param.name); });

TEST(TableDefinition, DropStatementQuotesTheName)
{
    EXPECT_EQ(convert::DropTableStatement("Orders"), "DROP TABLE \"Orders\";");
    EXPECT_EQ(convert::DropTableStatement("my Table"), "DROP TABLE \"my Table\";");
}

// A quote inside a name is written twice in every statement, so the name cannot end early and
// let the rest of it be read as statement text.
TEST(TableDefinition, QuotesInsideNamesAreWrittenTwice)
{
    const std::string table = R"(T"; DROP TABLE "CUSTOMER)";
    EXPECT_EQ(convert::DropTableStatement(table), R"(DROP TABLE "T""; DROP TABLE ""CUSTOMER";)");
    const convert::DefinedTable defined = convert::DefineTable(table, {field(R"(a" INT); DROP TABLE "C)", db::adInteger)});
    EXPECT_EQ(defined.createTable, R"(CREATE TABLE "T""; DROP TABLE ""CUSTOMER" ("SBSID" INT, "a"" INT); DROP TABLE ""C" INT);)");
    EXPECT_EQ(defined.createIndex, R"(CREATE INDEX "T""; DROP TABLE ""CUSTOMER" ON "T""; DROP TABLE ""CUSTOMER" ("SBSID") with primary)");
    convert::RowStatementBuilder builder(table, "0, ", "");
    db::Field value = field("a", db::adInteger);
    value.value = std::int64_t{5};
    EXPECT_EQ(builder.build(0, {value}), R"(INSERT INTO "T""; DROP TABLE ""CUSTOMER" VALUES (0,5);)");
}

// Each option changes only the type texts and records of the columns it names; the statement's
// shape, the other columns and the position lists stay as the fixed rules make them.
TEST(TableDefinition, OptionsPutMemoBlobAndDecimalColumnsInPlace)
{
    db::Field wide = field("wide", db::adVarWChar);
    wide.definedSize = 256;
    db::Field narrow = field("narrow", db::adVarChar);
    narrow.definedSize = 255;
    const std::vector<db::Field> fields{field("nt", db::adLongVarWChar), field("t", db::adLongVarChar), wide, narrow,
                                        field("img", db::adLongVarBinary), field("vb", db::adVarBinary),
                                        field("b", db::adBigInt), field("ub", db::adUnsignedBigInt), field("i", db::adInteger)};
    const convert::DefinedTable plain = convert::DefineTable("T", fields);
    EXPECT_EQ(plain.createTable, "CREATE TABLE \"T\" (\"SBSID\" INT, \"nt\" TEXT, \"t\" TEXT, \"wide\" TEXT, \"narrow\" TEXT, "
                                 "\"img\" VARCHAR, \"vb\" VARCHAR, \"b\" INT, \"ub\" INT, \"i\" INT);");

    convert::TypeOptions options;
    options.longText = convert::LongText::Memo;
    options.binary = convert::BinaryColumns::Blob;
    options.bigInt = convert::BigIntegers::Decimal;
    const convert::DefinedTable kept = convert::DefineTable("T", fields, options);
    EXPECT_EQ(kept.createTable, "CREATE TABLE \"T\" (\"SBSID\" INT, \"nt\" MEMO, \"t\" MEMO, \"wide\" MEMO, \"narrow\" TEXT, "
                                "\"img\" BLOB, \"vb\" VARCHAR, \"b\" DECIMAL, \"ub\" DECIMAL, \"i\" INT);");
    EXPECT_EQ(kept.createIndex, plain.createIndex);
    EXPECT_EQ(kept.numericPositions, plain.numericPositions);
    EXPECT_EQ(kept.binaryPositions, "4, ");
    std::vector<std::string> records;
    for (const DatatypeRecord& r : kept.datatypes)
        records.push_back(r.sourceType + " " + r.paradoxType);
    EXPECT_EQ(records, (std::vector<std::string>{"char MEMO", "char MEMO", "char MEMO", "char TEXT", "adlongvarbinary BLOB",
                                                 "OTHER TYPES VARCHAR", "int DECIMAL", "int DECIMAL", "int INT"}));
    // The code page and the replacement are the Paradox connection's, not the statements'.
    options.codePage = 1251;
    options.unmappable = convert::Unmappable::Replace;
    EXPECT_EQ(convert::DefineTable("T", fields, options).createTable, kept.createTable);
}

// With blobs, a binary column's bytes are written whole as a binary literal and NULL stays NULL;
// without, every value is the placeholder.
TEST(TableDefinition, BinaryValuesAreLiteralsOnlyWithBlobs)
{
    db::Field bytes = field("img", db::adLongVarBinary);
    bytes.value = db::Bytes{0x00, 0x0A, 0xFF};
    db::Field empty = field("img", db::adLongVarBinary);
    empty.value = db::Bytes{};
    db::Field null = field("img", db::adLongVarBinary);
    convert::RowStatementBuilder blobs("T", "", "0, ", convert::BinaryColumns::Blob);
    EXPECT_EQ(blobs.build(4, {bytes}), "INSERT INTO \"T\" VALUES (4,X'000AFF');");
    EXPECT_EQ(blobs.build(5, {empty}), "INSERT INTO \"T\" VALUES (5,X'');");
    EXPECT_EQ(blobs.build(6, {null}), "INSERT INTO \"T\" VALUES (6,NULL);");
    convert::RowStatementBuilder placeholders("T", "", "0, ");
    EXPECT_EQ(placeholders.build(6, {null}), "INSERT INTO \"T\" VALUES (6,'<OLEOBJECT>');");
}

TEST(TableDefinition, CodePageChoices)
{
    EXPECT_EQ(convert::WritableCodePages(), (std::vector<int>{437, 850, 852, 866, 1250, 1251, 1252, 1253, 1254, 1257}));
    convert::TypeOptions options;
    EXPECT_FALSE(convert::AddCodePage(options, "1250"));
    EXPECT_FALSE(convert::AddCodePage(options, "Order=Lines=1251"));
    EXPECT_EQ(options.codePage, 1250);
    EXPECT_EQ(options.tableCodePages, (std::vector<convert::TableCodePage>{{"Order=Lines", 1251}}));
    for (const char* wrong : {"936", "12x", "", "=1251", "Orders="})
        EXPECT_TRUE(convert::AddCodePage(options, wrong)) << wrong;
    EXPECT_EQ(*convert::AddCodePage(options, "936"),
              "a code page is one of 437, 850, 852, 866, 1250, 1251, 1252, 1253, 1254, 1257, written N or TABLE=N, not \"936\"");
}

TEST(TableDefinition, TypeCodeIsTakenAtSixteenBits)
{
    // 65536 + 3 wraps to adInteger, as the conversion to a 16-bit code does.
    EXPECT_STREQ(convert::TypeRuleForType(65536 + db::adInteger).paradoxType, "INT");
    EXPECT_STREQ(convert::TypeRuleForType(8192 | db::adInteger).paradoxType, "VARCHAR");
}

} // namespace
