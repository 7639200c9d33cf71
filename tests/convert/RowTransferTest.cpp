// Whole insert statements, one named row per case: the value rules and the mended ones.
#include "convert/RejectedRows.h"
#include "convert/RowTransfer.h"
#include "convert/TableDefinition.h"
#include "paradox/Sql.h"

#include <gtest/gtest.h>

#include <cmath>

#include <cstdlib>
#include <locale>
#include <vector>

namespace {

// sql_variant columns reach the program as ADO's adVariant.
constexpr int kAdVariant = 12;

db::Field field(std::string name, int type, db::Value value)
{
    db::Field f;
    f.name = std::move(name);
    f.Type = type;
    f.value = std::move(value);
    return f;
}

db::DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return db::DateTime{y, mo, d, h, mi, s, 0};
}

struct RowCase {
    const char* name;
    std::string table;
    std::int64_t rowNumber;
    std::vector<db::Field> fields;
    std::string insert;
};

std::string insertFor(const RowCase& c)
{
    const convert::DefinedTable defined = convert::DefineTable(c.table, c.fields);
    convert::RowStatementBuilder builder(c.table, defined.numericPositions, defined.binaryPositions);
    return builder.build(c.rowNumber, c.fields);
}

std::vector<db::Field> orders(db::Value id, db::Value customer, db::Value amount, db::Value scan, db::Value placed)
{
    return {field("OrderID", db::adInteger, id), field("Customer", db::adVarWChar, customer),
            field("Amount", db::adCurrency, amount), field("Scan", db::adLongVarBinary, scan),
            field("Placed", db::adDBTimeStamp, placed)};
}

const std::vector<RowCase>& rowCases()
{
    static const std::vector<RowCase> cases{
        {"WorkedExampleFirstRowApostropheDoubled", "Orders", 0,
         orders(std::int64_t{7}, std::string("O'Neil"), db::Decimal{"12.5000"}, db::Bytes{0x89, 0x50},
                at(2021, 8, 31, 14, 5)),
         "INSERT INTO \"Orders\" VALUES (0,7, 'O''Neil', 12.5, '<OLEOBJECT>', '08/31/2021 14:05:00');"},
        {"WorkedExampleSecondRowNullsAndMidnight", "Orders", 1,
         orders(std::int64_t{8}, db::Null{}, db::Decimal{"3.7500"}, db::Null{}, at(2021, 9, 1)),
         "INSERT INTO \"Orders\" VALUES (1,8,NULL, 3.75, '<OLEOBJECT>', '09/01/2021');"},
        {"NullInFirstColumnFollowsTheKeyComma", "T", 5,
         {field("a", db::adVarChar, db::Null{}), field("b", db::adVarChar, std::string("b"))},
         "INSERT INTO \"T\" VALUES (5,NULL, 'b');"},
        {"NullAndEmptyTextInNumericAndTextColumns", "T", 3,
         {field("n", db::adInteger, db::Null{}), field("t", db::adVarChar, std::string()),
          field("u", db::adVarChar, std::string("u")), field("m", db::adInteger, db::Null{})},
         "INSERT INTO \"T\" VALUES (3,NULL,NULL, 'u',NULL);"},
        {"BooleansInNumericAndTextColumns", "T", 0,
         {field("yes", db::adBoolean, true), field("no", db::adBoolean, false),
          field("word", db::adVarChar, std::string("True")), field("asText", kAdVariant, false),
          field("wordInNumber", db::adInteger, std::string("True"))},
         "INSERT INTO \"T\" VALUES (0,1, 0, 'True', 'False', 1);"},
        {"TextStaysTextWithNumericColumns", "T", 0,
         {field("n", db::adInteger, std::int64_t{1}), field("time", db::adVarChar, std::string("12:30")),
          field("date", db::adVarChar, std::string("2021-08-31")), field("comma", db::adVarChar, std::string("1,5"))},
         "INSERT INTO \"T\" VALUES (0,1, '12:30', '2021-08-31', '1,5');"},
        {"TextStaysTextWithoutNumericColumns", "T", 0,
         {field("time", db::adVarChar, std::string("12:30")), field("comma", db::adVarChar, std::string("1,5")),
          field("name", db::adVarChar, std::string("O'Brien"))},
         "INSERT INTO \"T\" VALUES (0,'12:30', '1,5', 'O''Brien');"},
        {"ApostropheDoubledInTableWithNumericColumn", "T", 0,
         {field("n", db::adSmallInt, std::int64_t{-4}), field("name", db::adVarChar, std::string("O'Brien''s"))},
         "INSERT INTO \"T\" VALUES (0,-4, 'O''Brien''''s');"},
        {"ApostrophesDoubledInShortAndLongText", "T", 0,
         {field("a", db::adVarChar, std::string("'")), field("b", db::adVarChar, std::string(31, 'x') + "'"),
          field("c", db::adVarChar, std::string(32, 'x') + "''"),
          field("d", db::adVarChar, "'" + std::string(40, 'y') + "'")},
         "INSERT INTO \"T\" VALUES (0,'''', '" + std::string(31, 'x') + "''', '" + std::string(32, 'x') + "''''', '''" +
             std::string(40, 'y') + "''');"},
        {"NumbersShortestAndExact", "T", 0,
         {field("d", db::adDouble, 0.1), field("third", db::adDouble, 1.0 / 3), field("neg", db::adDouble, -2.5),
          field("big", db::adBigInt, std::int64_t{9000000000}), field("dec", db::adNumeric, db::Decimal{"-0.0000"}),
          field("hundred", db::adNumeric, db::Decimal{"100.00"}), field("small", db::adDecimal, db::Decimal{"0.0500"}),
          field("exact", db::adNumeric, db::Decimal{"12345678901234567890.123456789"})},
         "INSERT INTO \"T\" VALUES (0,0.1, 0.3333333333333333, -2.5, 9000000000, 0, 100, 0.05, "
         "12345678901234567890.123456789);"},
        {"NumberTextFromADecimalCommaDriverReadsAsNumber", "T", 0,
         {field("n", db::adDouble, std::string("1234,5"))}, "INSERT INTO \"T\" VALUES (0,1234.5);"},
        {"DateAndTimestampColumnsTakeTheDateRule", "T", 0,
         {field("d", db::adDBDate, at(2021, 8, 31)), field("ts", db::adDBTimeStamp, at(1999, 12, 31, 23, 59, 58)),
          field("zero", db::adDate, at(1899, 12, 30, 12, 30)), field("midnightZero", db::adDate, at(1899, 12, 30)),
          field("year1", db::adDBTimeStamp, at(1, 1, 1, 0, 0, 1))},
         "INSERT INTO \"T\" VALUES (0,'08/31/2021', '12/31/1999 23:59:58', '12/30/1899 12:30:00', "
         "'12/30/1899 00:00:00', '01/01/0001 00:00:01');"},
        {"DateTextFromTheDriverInADateColumn", "T", 0,
         {field("d", db::adDBDate, std::string("2021-08-31")),
          field("ts", db::adDBTimeStamp, std::string("2021-08-31 14:05:09.123")),
          field("odd", db::adDBDate, std::string("tomorrow"))},
         "INSERT INTO \"T\" VALUES (0,'08/31/2021', '08/31/2021 14:05:09', 'tomorrow');"},
        {"AdoTextFormsOfTimeGuidAndShortBinary", "T", 0,
         {field("tm", db::adDBTime, at(1899, 12, 30, 7, 8, 9)),
          field("g", db::adGUID, db::Guid{"6F9619FF-8B86-D011-B42D-00C04FC964FF"}),
          field("vb", db::adVarBinary, db::Bytes{0x00, 0xAB, 0x7F})},
         "INSERT INTO \"T\" VALUES (0,'07:08:09', '{6F9619FF-8B86-D011-B42D-00C04FC964FF}', '00AB7F');"},
        {"BinaryColumnIsAlwaysThePlaceholder", "T", 2,
         {field("img", db::adLongVarBinary, db::Null{}), field("n", db::adInteger, std::int64_t{1})},
         "INSERT INTO \"T\" VALUES (2,'<OLEOBJECT>', 1);"},
        {"NumberValueInATextColumn", "T", 0,
         {field("v", kAdVariant, 1.5), field("w", kAdVariant, std::int64_t{-3})},
         "INSERT INTO \"T\" VALUES (0,'1.5', '-3');"},
        {"UnicodeTextUnchanged", "T", 0, {field("t", db::adVarWChar, std::string("Zoë ünd 日本"))},
         "INSERT INTO \"T\" VALUES (0,'Zoë ünd 日本');"},
    };
    return cases;
}

class RowTransferCases : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowTransferCases, GivesTheWholeStatement)
{
    EXPECT_EQ(insertFor(GetParam()), GetParam().insert);
}

INSTANTIATE_TEST_SUITE_P(Cases, RowTransferCases, ::testing::ValuesIn(rowCases()),
                         [](const ::testing::TestParamInfo<RowCase>& info) { return std::string(info.param.name); });

// A locale with a decimal comma and grouping must not leak into any statement.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(RowTransfer, DecimalCommaLocaleChangesNoStatement)
{
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    for (const RowCase& c : rowCases())
        EXPECT_EQ(insertFor(c), c.insert) << c.name;
    std::locale::global(previous);
}

TEST(RowTransfer, KeyValuesAreTheRowNumberGiven)
{
    convert::RowStatementBuilder builder("T", "0, ", "");
    const std::vector<db::Field> row{field("n", db::adInteger, std::int64_t{1})};
    EXPECT_EQ(builder.build(10, row), "INSERT INTO \"T\" VALUES (10,1);");
    EXPECT_EQ(builder.build(11, row), "INSERT INTO \"T\" VALUES (11,1);");
}

TEST(RowTransfer, PositionListsReadAsWritten)
{
    using V = std::vector<std::size_t>;
    EXPECT_EQ(convert::ParsePositionList("0, 2, 5, ", ", "), (V{0, 2, 5}));
    EXPECT_EQ(convert::ParsePositionList("3, ", ","), (V{3}));
    EXPECT_EQ(convert::ParsePositionList("10, 12, ", ","), (V{10, 12}));
    EXPECT_EQ(convert::ParsePositionList("", ", "), V{});
}

TEST(RowTransfer, ProgressReachesHundredAtTheLastRow)
{
    EXPECT_DOUBLE_EQ(convert::RowProgress(4, 4), 100.0);
    EXPECT_DOUBLE_EQ(convert::RowProgress(1, 4), 40.0);
    EXPECT_DOUBLE_EQ(convert::RowProgress(1, 1), 100.0);
    EXPECT_DOUBLE_EQ(convert::RowProgress(1, -1), 0.0);
}

TEST(RowTransfer, NumberTextReadsBackAsTheSameNumber)
{
    for (double v : {0.1, 1e-7, 123456789.125, 1e300, -1e-300, 5e-324, 1.7976931348623157e308, 3.0, 2.0 / 3})
        EXPECT_EQ(std::strtod(convert::NumberText(v).c_str(), nullptr), v) << convert::NumberText(v);
    EXPECT_EQ(convert::NumberText(-0.0), "0");
    EXPECT_EQ(convert::NumberText(1e21), "1E+21");
    EXPECT_EQ(convert::NumberText(std::nan("")), "NaN");
    EXPECT_EQ(convert::NumberText(-HUGE_VAL), "-Infinity");
    // A single-precision value by its own shortest text, in the same two forms.
    for (float v : {0.1f, 0.15f, 3.4e38f, 1e-7f, -1.17549435e-38f, 16777217.0f, 1e-45f})
        EXPECT_EQ(std::strtof(convert::SingleText(v).c_str(), nullptr), v) << convert::SingleText(v);
    EXPECT_EQ(convert::SingleText(0.1f), "0.1");
    EXPECT_EQ(convert::SingleText(3.4e38f), "3.4E+38");
}

} // namespace

// Written on one line, a statement keeps every value as the engine reads it back: line breaks
// anywhere in a value, quotes beside them, empty values; a break outside values is a blank.
TEST(OneLineStatement, ValuesReadBackWithTheirLineBreaks)
{
    const std::vector<std::string> written{"a\r\nb", "\nstarts", "ends\r", "it''s\n''quoted''", "\n\n", "plain", ""};
    std::string statement = "INSERT INTO \"T\"\nVALUES (1";
    for (const std::string& value : written)
        statement += ", '" + value + "'";
    statement += ");";

    const std::string line = convert::OneLineStatement(statement);

    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    const auto original = std::get<paradox::sql::Insert>(paradox::sql::parse(statement));
    const auto readBack = std::get<paradox::sql::Insert>(paradox::sql::parse(line));
    ASSERT_EQ(readBack.values.size(), original.values.size()) << line;
    for (std::size_t i = 0; i < original.values.size(); ++i)
        EXPECT_EQ(readBack.values[i].text(), original.values[i].text()) << i << ": " << line;
    EXPECT_EQ(convert::OneLineStatement("INSERT INTO \"T\" VALUES ('x\ny', 2)"),
              "INSERT INTO \"T\" VALUES ('x' & Chr(10) & 'y', 2)");
    EXPECT_EQ(convert::StatementTable("INSERT INTO \"Order Details\" VALUES (1, '\"x\"')"), "Order Details");
    EXPECT_EQ(convert::StatementTable("insert into [T] values (1)"), "T");
    EXPECT_EQ(convert::StatementTable("insert into T values (1)"), "");
}
