// The sample Sales database converted in direct mode through the real FreeTDS driver: every value
// that pxread reads back from the Paradox files equals the source value, as far as the Paradox
// column can hold it (text columns are Alpha 255, date-times keep whole seconds, long binaries are
// written as the placeholder). Rows the engine refuses (values beyond a column's range, text
// outside code page 1252, decimals a double cannot hold) are the only ones missing, each with its
// report.
#include "DemoServer.h"
#include "RunFixture.h"
#include "SqliteScript.h"
#include "TestPaths.h"
#include "convert/RowTransfer.h"
#include "convert/TableDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <map>
#include <stdexcept>

namespace {

std::string two(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string isoDate(const db::DateTime& t)
{
    char b[16];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", t.year, t.month, t.day);
    return b;
}

std::string firstCharacters(const std::string& utf8, std::size_t count)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && chars++ == count)
            return utf8.substr(0, i);
    return utf8;
}

// What an Alpha column shows for a source value.
std::string alphaText(const db::Field& f)
{
    const db::Value& v = f.value;
    if (const auto* s = std::get_if<std::string>(&v))
        return firstCharacters(*s, 255);
    if (const auto* g = std::get_if<db::Guid>(&v))
        return "{" + g->text + "}";
    if (const auto* b = std::get_if<db::Bytes>(&v)) {
        std::string hex;
        for (std::uint8_t byte : *b) {
            char two[3];
            std::snprintf(two, sizeof two, "%02X", byte);
            hex += two;
        }
        return hex;
    }
    if (const auto* t = std::get_if<db::DateTime>(&v))
        return two(t->hour) + ":" + two(t->minute) + ":" + two(t->second);
    if (const auto* n = std::get_if<std::int64_t>(&v))
        return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&v))
        return convert::NumberText(*d);
    if (const auto* d = std::get_if<db::Decimal>(&v))
        return convert::DecimalText(d->text);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "True" : "False";
    return "?";
}

double sourceNumber(const db::Value& v)
{
    if (const auto* n = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*n);
    if (const auto* d = std::get_if<double>(&v))
        return *d;
    if (const auto* d = std::get_if<db::Decimal>(&v))
        return std::strtod(d->text.c_str(), nullptr);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    ADD_FAILURE() << "not a number";
    return 0;
}

void expectCell(const db::Field& f, char type, const std::string& cell, const std::string& where)
{
    SCOPED_TRACE(where + " column " + f.name);
    if (convert::TypeRuleForType(f.Type).columnClass == convert::ColumnClass::Binary) {
        EXPECT_EQ(cell, "<OLEOBJECT>");
        return;
    }
    const auto* text = std::get_if<std::string>(&f.value);
    if (db::isNull(f.value) || (text && text->empty())) {
        EXPECT_EQ(cell, "");
        return;
    }
    switch (type) {
    case 'I':
    case 'S':
        EXPECT_EQ(cell, std::to_string(std::get<std::int64_t>(f.value)));
        break;
    case 'L':
        EXPECT_EQ(cell, std::get<bool>(f.value) ? "true" : "false");
        break;
    case '$':
    case 'N': {
        // pxread prints the stored double with 15 significant digits; a real column's value is
        // written as the single-precision number it is.
        double source = sourceNumber(f.value);
        if (f.Type == db::adSingle)
            source = std::strtod(convert::SingleText(static_cast<float>(source)).c_str(), nullptr);
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.15g", source);
        EXPECT_EQ(cell, printed);
        break;
    }
    case '@': {
        const auto& t = std::get<db::DateTime>(f.value);
        EXPECT_EQ(cell, isoDate(t) + " " + two(t.hour) + ":" + two(t.minute) + ":" + two(t.second));
        break;
    }
    case 'D':
        EXPECT_EQ(cell, isoDate(std::get<db::DateTime>(f.value)));
        break;
    case 'A':
        EXPECT_EQ(cell, alphaText(f));
        break;
    default:
        ADD_FAILURE() << "unexpected Paradox type " << type;
    }
}

TEST(ValuesEndToEnd, EverySalesValueReadsBackAsTheSourceValue)
{
    runtest::RunHarness h;
    h.frontend.folder = runtest::samplesCopy("sales").string();
    h.frontend.loginFields = runtest::salesLogin();
    h.frontend.overwrite = {"Orders"};
    const convert::RunResult result = h.run();
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);

    for (const std::string& report : h.dialogs.errorReports())
        EXPECT_TRUE(report.find("is out of range") != std::string::npos ||
                    report.find("is not in code page 1252") != std::string::npos ||
                    report.find("holds exactly; it would read back as") != std::string::npos)
            << report;

    db::Connection source;
    source.Open(runtest::salesServer().connectionString());
    long key = 0;
    long compared = 0;
    for (const convert::TableSummary& summary : result.tables) {
        const runtest::ReadBack table = runtest::readBack(runtest::tableFile(h.frontend.folder, summary.table));
        std::map<long, const std::vector<std::string>*> byKey;
        for (const auto& record : table.records)
            byKey[std::stol(record.at(0))] = &record;

        db::Recordset rows;
        rows.Open("SELECT * FROM " + MSSQL::Bracketed(summary.table), source);
        long missing = 0;
        for (; !rows.Eof(); rows.MoveNext(), ++key) {
            const auto found = byKey.find(key);
            if (found == byKey.end()) {
                ++missing;
                continue;
            }
            const std::vector<db::Field>& fields = rows.Fields();
            ASSERT_EQ(found->second->size(), fields.size() + 1) << summary.table;
            ASSERT_EQ(table.names.size(), fields.size() + 1);
            for (std::size_t i = 0; i < fields.size(); ++i) {
                EXPECT_EQ(table.names[i + 1], fields[i].name);
                expectCell(fields[i], table.types[i + 1], (*found->second)[i + 1],
                           summary.table + " SBSID " + std::to_string(key));
                ++compared;
            }
        }
        rows.Close();
        EXPECT_EQ(missing, summary.rowsRejected) << summary.table;
        EXPECT_EQ(static_cast<long>(table.records.size()), summary.rowsWritten) << summary.table;
    }
    EXPECT_GT(compared, 150);
}

} // namespace

namespace {

// Values a hostile or unusual source holds, each table for one kind of fault, converted once in
// direct mode from a database of the tests' own.
class UnusualValues : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::registerSqlServerDriver();
        const auto file = testsupport::freshFolder("unusual-db") / "Unusual.sqlite";
        // Exact decimals are stored as text (BLOB), so that SQLite keeps every digit.
        dbtest::writeSqlite(file, R"(
CREATE TABLE Oddities (ID int NOT NULL PRIMARY KEY, Body nvarchar(40), F float, D decimal(38,0), N numeric(38,38),
                       M money, S decimal(24,4));
INSERT INTO Oddities (ID, Body) VALUES (1, 'before' || char(0) || 'after');
INSERT INTO Oddities (ID, Body) VALUES (2, 'next' || char(133) || 'line');
INSERT INTO Oddities (ID, F) VALUES (3, 'nan');
INSERT INTO Oddities (ID, F) VALUES (4, '-inf');
INSERT INTO Oddities (ID, D) VALUES (5, CAST('99999999999999999999999999999999999999' AS BLOB));
INSERT INTO Oddities (ID, N) VALUES (6, CAST('0.99999999999999999999999999999999999999' AS BLOB));
INSERT INTO Oddities (ID, M) VALUES (7, CAST('-922337203685477.5808' AS BLOB));
INSERT INTO Oddities VALUES (8, 'fine', 1.5, CAST('123456789012345' AS BLOB), CAST('0.1000' AS BLOB),
                             CAST('92233720368547.7500' AS BLOB), CAST('1152921504606846976.0000' AS BLOB));
CREATE TABLE Reals (ID int NOT NULL PRIMARY KEY, R real, F float);
INSERT INTO Reals VALUES (1, 0.1, 0.1), (2, 3.4e38, 3.4e38), (3, 0.15, 0.10000000149011612), (4, -1.5, 1e-7);
CREATE TABLE Broken (ID int NOT NULL PRIMARY KEY, N int);
INSERT INTO Broken VALUES (1, 1), (2, 'abc'), (3, 3), (4, 4);
CREATE TABLE Stamps (ID int NOT NULL PRIMARY KEY, T datetime, Tm time, D date, Whole datetime2);
INSERT INTO Stamps VALUES (1, '2024-02-29 13:45:30.123', '08:15:00.5', '2024-02-29', '2024-02-29 13:45:30');
INSERT INTO Stamps VALUES (2, '2024-03-01 00:00:00.250', '08:15:00', '2024-03-01', '2024-03-01 00:00:00');
CREATE TABLE Pictures (Code image NOT NULL PRIMARY KEY, Photo image, Caption nvarchar(20));
INSERT INTO Pictures VALUES (X'0A0B', X'FFD8FF', 'kept'), (X'0C', X'00', 'cut' || char(0));
)");
        server_ = new testsupport::DemoServer({{"Unusual", file}});
        harness_ = new runtest::RunHarness;
        harness_->frontend.folder = runtest::samplesCopy("unusual").string();
        harness_->frontend.loginFields = MSSQL::Login{"127.0.0.1", std::to_string(server_->port()), "Unusual",
                                                      server_->user(), server_->password(), false, {}};
        result_ = new convert::RunResult(harness_->run());
    }

    static void TearDownTestSuite()
    {
        delete result_;
        delete harness_;
        delete server_;
    }

    static const convert::TableSummary& summary(const std::string& table)
    {
        for (const convert::TableSummary& s : result_->tables)
            if (s.table == table)
                return s;
        throw std::runtime_error("no summary of " + table);
    }

    // The error reports that name the table, in the order shown.
    static std::vector<std::string> reports(const std::string& naming)
    {
        std::vector<std::string> found;
        for (const std::string& report : harness_->dialogs.errorReports())
            if (report.find(naming) != std::string::npos)
                found.push_back(report);
        return found;
    }

    static runtest::ReadBack table(const std::string& name)
    {
        return runtest::readBack(runtest::tableFile(harness_->frontend.folder, name));
    }

    static testsupport::DemoServer* server_;
    static runtest::RunHarness* harness_;
    static convert::RunResult* result_;
};

testsupport::DemoServer* UnusualValues::server_ = nullptr;
runtest::RunHarness* UnusualValues::harness_ = nullptr;
convert::RunResult* UnusualValues::result_ = nullptr;

// Each value Paradox cannot hold as it is costs its row, with a reason that names the table,
// the column and the value, control characters escaped; none is rounded or cut silently.
TEST_F(UnusualValues, ValuesParadoxCannotHoldAreRejectedNamingTableColumnAndValue)
{
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Body", "'before\\x00after' holds a NUL character"},
        {"Body", "character 5 of 'next\\x85line' is not in code page 1252"},
        {"F", "'NaN' is not a finite number, which a Number column cannot hold"},
        {"F", "'-Infinity' is not a finite number, which a Number column cannot hold"},
        {"D", "99999999999999999999999999999999999999 has more digits than a Money column holds exactly; "
              "it would read back as 1e+38"},
        {"N", "0.99999999999999999999999999999999999999 has more digits than a Money column holds exactly; "
              "it would read back as 1"},
        {"M", "-922337203685477.5808 has more digits than a Money column holds exactly; "
              "it would read back as -922337203685477.6"},
    };
    const std::vector<std::string> shown = reports("table \"Oddities\"");
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NE(shown[i].find("table \"Oddities\", column \"" + expected[i].first + "\""), std::string::npos) << shown[i];
        EXPECT_NE(shown[i].find(expected[i].second + "\r"), std::string::npos) << shown[i];
    }
    EXPECT_EQ(summary("Oddities").rowsRejected, 7);
    EXPECT_EQ(summary("Oddities").rowsWritten, 1);

    // Up to 15 digits, or more where the double reads back as the same decimal, are written.
    const runtest::ReadBack written = table("Oddities");
    ASSERT_EQ(written.records.size(), 1u);
    EXPECT_EQ(written.records[0], (std::vector<std::string>{written.records[0][0], "8", "fine", "1.5", "123456789012345",
                                                            "0.1", "92233720368547.8", "1.15292150460685e+18"}));
}

// A real column's value is written as the shortest text of the single-precision value, not of
// the double it was widened to; a float column keeps every digit of its double.
TEST_F(UnusualValues, RealValuesAreWrittenWithTheirOwnShortestText)
{
    const runtest::ReadBack written = table("Reals");
    ASSERT_EQ(written.records.size(), 4u);
    std::vector<std::vector<std::string>> values;
    for (const auto& record : written.records)
        values.push_back({record.begin() + 2, record.end()});
    EXPECT_EQ(values, (std::vector<std::vector<std::string>>{
                          {"0.1", "0.1"}, {"3.4e+38", "3.4e+38"}, {"0.15", "0.100000001490116"}, {"-1.5", "1e-07"}}));
    EXPECT_TRUE(reports("Reals").empty());
}

// A server error partway through a table ends its rows; the rows not read are counted and the
// report names the table and how far reading got.
TEST_F(UnusualValues, AServerErrorPartwayThroughATableIsCountedAndNamed)
{
    const convert::TableSummary& broken = summary("Broken");
    EXPECT_EQ(broken.rowsWritten, 1);
    EXPECT_EQ(broken.rowsRejected, 0);
    EXPECT_EQ(broken.rowsRead, 1);
    EXPECT_EQ(broken.sourceRows, 4);
    EXPECT_NE(broken.readError.find("'abc'"), std::string::npos) << broken.readError;
    const std::vector<std::string> shown = reports("Broken");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Table Broken: reading stopped after row 1 of 4: ", 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find(broken.readError), std::string::npos) << shown[0];
    EXPECT_EQ(table("Broken").records.size(), 1u);
}

// Fractions of a second the date form drops are kept as today, and named once per column.
TEST_F(UnusualValues, DroppedFractionsOfASecondAreNamedOncePerColumn)
{
    const convert::TableSummary& stamps = summary("Stamps");
    EXPECT_EQ(stamps.rowsWritten, 2);
    ASSERT_EQ(stamps.droppedFractions.size(), 2u);
    EXPECT_EQ(stamps.droppedFractions[0].column, "T");
    EXPECT_EQ(stamps.droppedFractions[0].values, 2);
    EXPECT_EQ(stamps.droppedFractions[0].firstValue, "02/29/2024 13:45:30.123");
    EXPECT_EQ(stamps.droppedFractions[1].column, "Tm");
    EXPECT_EQ(stamps.droppedFractions[1].values, 1);
    EXPECT_EQ(stamps.droppedFractions[1].firstValue, "08:15:00.5");
    EXPECT_TRUE(reports("Stamps").empty());
}

// A binary column written as the placeholder is not read from the source, but one that is part
// of the key (which the demo server allows) still names the rows it costs.
TEST_F(UnusualValues, BinaryColumnsKeptAsThePlaceholderStillNameTheirRows)
{
    EXPECT_EQ(summary("Pictures").rowsWritten, 1);
    const runtest::ReadBack written = table("Pictures");
    ASSERT_EQ(written.records.size(), 1u);
    EXPECT_EQ(std::vector<std::string>(written.records[0].begin() + 1, written.records[0].end()),
              (std::vector<std::string>{"<OLEOBJECT>", "<OLEOBJECT>", "kept"}));
    const auto rejected = std::ranges::find(harness_->frontend.rejectedRows, std::string("Pictures"), &convert::RejectedRow::table);
    ASSERT_NE(rejected, harness_->frontend.rejectedRows.end());
    EXPECT_EQ(rejected->key, "0x0C");
}

} // namespace
