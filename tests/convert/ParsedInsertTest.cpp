// The row statements the builder hands to the engine already parsed, against the same statements
// read by the parser: random tables and rows, hostile values included, go into two folders, one
// through each path, and through the check both ways. The parse must be the parser's, every
// statement must meet the same fate (the same error text, the same row checksum, the same
// verdict of the check), and the two folders must end byte for byte alike.
//
// QUILLMERE_FUZZ_SEED and QUILLMERE_FUZZ_TABLES run other and longer rounds by hand.
#include "TestPaths.h"
#include "convert/RowTransfer.h"
#include "convert/TableDefinition.h"
#include "paradox/Database.h"
#include "paradox/Sql.h"
#include "paradox/Validator.h"

#include <gtest/gtest.h>

#include <iostream>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using paradox::sql::Insert;
using paradox::sql::Literal;

std::uint64_t fromEnvironment(const char* name, std::uint64_t fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::stoull(text) : fallback;
}

// Where two parses of one statement differ; empty when they do not.
std::string difference(const Insert& made, const Insert& read)
{
    std::ostringstream out;
    if (made.table.text != read.table.text || made.table.pos != read.table.pos || made.table.textPos != read.table.textPos)
        out << "table name " << made.table.text << "@" << made.table.pos << " against " << read.table.text << "@"
            << read.table.pos << "; ";
    if (!made.columns.empty() || !read.columns.empty())
        out << "a column list; ";
    if (made.valuesPos != read.valuesPos)
        out << "VALUES at " << made.valuesPos << " against " << read.valuesPos << "; ";
    if (made.values.size() != read.values.size())
        return out.str() + std::to_string(made.values.size()) + " values against " + std::to_string(read.values.size());
    for (std::size_t i = 0; i < made.values.size(); ++i) {
        const Literal& a = made.values[i];
        const Literal& b = read.values[i];
        if (a.kind != b.kind || a.pos != b.pos || a.text() != b.text())
            out << "value " << i << ": kind " << int(a.kind) << " at " << a.pos << " '" << a.text() << "' against kind "
                << int(b.kind) << " at " << b.pos << " '" << b.text() << "'; ";
    }
    return out.str();
}

// What became of a statement: its row's checksum, or the error and its text.
std::string outcome(paradox::Database& database, const std::function<void()>& execute)
{
    try {
        execute();
    } catch (const paradox::SqlError& e) {
        return std::string("SqlError ") + e.what();
    } catch (const paradox::Error& e) {
        return std::string("Error ") + e.what();
    }
    const std::optional<std::uint64_t> sum = database.lastRowChecksum();
    return sum ? "row " + std::to_string(*sum) : "done";
}

// A table's or index's bytes without the header's update time, the one field that tells when.
// What the check says of a statement: fine, or why not; the row's other refused values and
// the columns whose text would be altered.
std::string verdict(paradox::Validator& validator, const std::function<void(std::vector<paradox::SqlError>*)>& validate)
{
    std::vector<paradox::SqlError> others;
    std::string said = "fine";
    try {
        validate(&others);
    } catch (const paradox::SqlError& e) {
        said = e.what();
    }
    for (const paradox::SqlError& other : others)
        said += std::string("; ") + other.what();
    for (const paradox::Validator::AlteredValue& altered : validator.alteredValues())
        said += "; altered " + altered.column + " " + altered.columnType;
    return said;
}

std::string fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::string extension = path.extension().string();
    if ((extension == ".DB" || extension == ".PX") && bytes.size() >= 0x64)
        bytes.replace(0x60, 4, 4, '\0');
    return bytes;
}

class RandomRows {
public:
    explicit RandomRows(std::uint64_t seed) : random_(seed) {}

    std::vector<db::Field> columns()
    {
        static const int types[] = {db::adInteger, db::adSmallInt, db::adBigInt, db::adTinyInt, db::adBoolean,
                                    db::adCurrency, db::adNumeric, db::adDecimal, db::adDouble, db::adSingle,
                                    db::adVarWChar, db::adVarChar, db::adChar, db::adLongVarWChar, db::adDBTimeStamp,
                                    db::adDBDate, db::adDate, db::adDBTime, db::adGUID, db::adVarBinary,
                                    db::adLongVarBinary, db::adVariant};
        std::vector<db::Field> fields(below(8) + 1);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            db::Field& f = fields[i];
            f.name = pick({"Amount", "O'Neil", "a\"b", "Zoë", "col", "with space", "NULL"}) + std::to_string(i);
            f.Type = types[below(std::size(types))];
            f.definedSize = pick<std::int64_t>({10, 40, 255, 4000, 0});
            f.precision = int(below(38) + 1);
            f.numericScale = int(below(std::size_t(f.precision) + 1));
        }
        return fields;
    }

    void fill(std::vector<db::Field>& fields)
    {
        for (db::Field& f : fields)
            f.value = chance(97) ? valueOf(f.Type) : anyValue();
    }

    std::string tableName() { return pick({"Orders", "T x", "O'Neil", "Zoë ünd", "a\"b", "VALUES", "t_1"}); }
    bool chance(std::size_t percent) { return below(100) < percent; }

private:
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
    template <class T>
    T pick(std::initializer_list<T> from)
    {
        return *(from.begin() + below(from.size()));
    }
    std::string pick(std::initializer_list<const char*> from) { return pick<const char*>(from); }

    std::string text()
    {
        static const char* pieces[] = {"a", "Z", " ", "'", "''", "\"", "\n", "\r\n", "\t", "é", "日本", "\x01", "NULL",
                                       ",", ")", ";", "&", "' & Chr(13) & '", "12,5", " 7 ", "1e5", "-", ".", "True",
                                       "2021-08-31", "2021-08-31 14:05:09.123", "X'0A'", "0"};
        std::string out;
        const std::size_t count = chance(5) ? 40 + below(200) : below(4);
        for (std::size_t i = 0; i < count; ++i)
            out += pieces[below(std::size(pieces))];
        return out;
    }

    std::string digits(std::size_t count)
    {
        std::string out;
        for (std::size_t i = 0; i < count; ++i)
            out += char('0' + below(10));
        return out;
    }

    db::Value decimal()
    {
        if (chance(2))
            return db::Decimal{pick({"1e5", "", "abc", " 12.5 ", "+3", ".5", "5.", "-", "1.2.3", "0x10"})};
        std::string t = chance(30) ? "-" : "";
        t += digits(chance(90) ? below(6) + 1 : below(20) + 1);
        if (chance(70))
            t += "." + digits(chance(90) ? below(4) + 1 : below(12) + 1);
        return db::Decimal{t};
    }

    db::Value dateTime(bool withTime)
    {
        db::DateTime t;
        t.year = chance(95) ? pick({1899, 1, 9999, 1970, 2021, 2038}) : pick({0, 10000, -5});
        t.month = chance(98) ? int(below(12) + 1) : pick({0, 13});
        t.day = chance(98) ? int(below(28) + 1) : pick({0, 31, 32});
        if (withTime && chance(50)) {
            t.hour = int(below(24));
            t.minute = int(below(60));
            t.second = int(below(60));
        }
        if (withTime && chance(20))
            t.nanosecond = std::uint32_t(below(1'000'000'000));
        return t;
    }

    db::Value valueOf(int type)
    {
        if (chance(8))
            return db::Null{};
        if (chance(4))
            return std::string();
        switch (type) {
        case db::adBoolean: return chance(50);
        case db::adInteger: case db::adSmallInt: case db::adBigInt: case db::adTinyInt:
            return chance(90) ? std::int64_t(below(256)) - 128 : integer();
        case db::adCurrency: case db::adNumeric: case db::adDecimal: return decimal();
        case db::adDouble: case db::adSingle: return number();
        case db::adDBTimeStamp: case db::adDBDate: case db::adDate: case db::adDBTime:
            return chance(95) ? dateTime(type == db::adDBTimeStamp || type == db::adDBTime || chance(5)) : db::Value(text());
        case db::adGUID: return db::Guid{"6F9619FF-8B86-D011-B42D-" + digits(12)};
        case db::adVarBinary: case db::adLongVarBinary: return bytes();
        default: return text();
        }
    }

    db::Value anyValue()
    {
        switch (below(9)) {
        case 0: return db::Null{};
        case 1: return chance(50);
        case 2: return integer();
        case 3: return number();
        case 4: return decimal();
        case 5: return bytes();
        case 6: return dateTime(true);
        case 7: return db::Guid{digits(8)};
        default: return text();
        }
    }

    db::Value integer()
    {
        return pick<std::int64_t>({0, -1, 1, 32767, -32768, 2147483647, std::numeric_limits<std::int64_t>::min(),
                                   std::numeric_limits<std::int64_t>::max(), std::int64_t(below(1'000'000))});
    }

    db::Value number()
    {
        if (chance(80))
            return double(below(100000)) / double(below(999) + 1) * (chance(20) ? -1 : 1);
        return pick<double>({0.1, -2.5, 1e300, 1e-300, 1e21, 1e-7, std::nan(""), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), double(below(1000)) / 7});
    }

    db::Value bytes()
    {
        db::Bytes b(below(60));
        for (auto& byte : b)
            byte = std::uint8_t(below(256));
        return b;
    }

    std::mt19937_64 random_;
};

TEST(ParsedInsert, EveryRowMeetsTheSameFateAsItsTextAndTheFoldersEndAlike)
{
    const std::uint64_t seed = fromEnvironment("QUILLMERE_FUZZ_SEED", 20261210);
    const std::uint64_t tables = fromEnvironment("QUILLMERE_FUZZ_TABLES", 60);
    SCOPED_TRACE("QUILLMERE_FUZZ_SEED=" + std::to_string(seed));
    const fs::path byText = testsupport::freshFolder("by-text");
    const fs::path byParse = testsupport::freshFolder("by-parse");
    RandomRows random(seed);
    std::size_t rows = 0, handedOver = 0, refused = 0;
    {
        paradox::Database textDatabase(byText);
        paradox::Database parsedDatabase(byParse);
        paradox::Validator textCheck(testsupport::freshFolder("checked-by-text"));
        paradox::Validator parsedCheck(testsupport::freshFolder("checked-by-parse"));
        for (std::uint64_t n = 0; n < tables; ++n) {
            const std::string table = random.tableName() + std::to_string(n);
            std::vector<db::Field> fields = random.columns();
            convert::TypeOptions options;
            options.binary = random.chance(50) ? convert::BinaryColumns::Blob : convert::BinaryColumns::Placeholder;
            options.longText = random.chance(50) ? convert::LongText::Memo : convert::LongText::Text;
            options.bigInt = random.chance(50) ? convert::BigIntegers::Decimal : convert::BigIntegers::Int;
            const convert::DefinedTable defined = convert::DefineTable(table, fields, options);
            for (const std::string& statement : {defined.createTable, defined.createIndex}) {
                ASSERT_EQ(outcome(textDatabase, [&] { textDatabase.execute(statement); }),
                          outcome(parsedDatabase, [&] { parsedDatabase.execute(statement); }))
                    << statement;
                ASSERT_EQ(verdict(textCheck, [&](auto* others) { textCheck.validate(statement, others); }),
                          verdict(parsedCheck, [&](auto* others) { parsedCheck.validate(statement, others); }));
            }
            convert::RowStatementBuilder builder(table, defined.numericPositions, defined.binaryPositions, options.binary);
            for (int row = 0; row < 60; ++row, ++rows) {
                random.fill(fields);
                builder.begin(row % 7 == 6 ? row - 1 : row); // now and then a key given twice
                for (std::size_t i = 0; i < fields.size(); ++i)
                    builder.addValue(i, fields[i]);
                const std::string& statement = builder.finish();
                const Insert* parsed = builder.parsed();
                if (parsed) {
                    ++handedOver;
                    paradox::sql::Statement read;
                    paradox::sql::Statement readInFull;
                    ASSERT_NO_THROW(paradox::sql::parse(statement, read)) << statement;
                    ASSERT_NO_THROW(paradox::sql::detail::parseInFull(statement, readInFull)) << statement;
                    ASSERT_EQ(difference(*parsed, std::get<Insert>(read)), "") << statement;
                    ASSERT_EQ(difference(*parsed, std::get<Insert>(readInFull)), "") << statement;
                }
                const std::string viaText = outcome(textDatabase, [&] { textDatabase.execute(statement); });
                const std::string viaParse = outcome(parsedDatabase, [&] {
                    if (parsed)
                        parsedDatabase.execute(statement, *parsed);
                    else
                        parsedDatabase.execute(statement);
                });
                ASSERT_EQ(viaParse, viaText) << statement;
                const std::string checkedText = verdict(textCheck, [&](auto* others) { textCheck.validate(statement, others); });
                const std::string checkedParse = verdict(parsedCheck, [&](auto* others) {
                    if (parsed)
                        parsedCheck.validate(statement, *parsed, others);
                    else
                        parsedCheck.validate(statement, others);
                });
                ASSERT_EQ(checkedParse, checkedText) << statement;
                refused += viaText.starts_with("row ") ? 0 : 1;
            }
        }
    }
    // Most rows go the new way, and enough of them are refused to compare the errors.
    EXPECT_GT(handedOver, rows * 3 / 4);
    EXPECT_GT(refused, rows / 20);
    EXPECT_LT(refused, rows * 2 / 3);
    std::cout << rows << " rows, " << handedOver << " handed over parsed, " << refused << " refused\n";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(byText))
        names.push_back(entry.path().filename().string());
    ASSERT_GT(names.size(), tables);
    for (const std::string& name : names) {
        ASSERT_TRUE(fs::exists(byParse / name)) << name;
        EXPECT_TRUE(fileBytes(byText / name) == fileBytes(byParse / name)) << name << " differs";
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(byParse), fs::directory_iterator()), std::ptrdiff_t(names.size()));
}

} // namespace
