// The type options against the demo server through the FreeTDS driver, with the values at their
// edges, read back by the independent reader: long text as memos, long binaries as blobs, big
// integers as BCD, each language's text in its own code page, and the '?' replacement counted.
#include "DemoServer.h"
#include "RunFixture.h"
#include "SqliteScript.h"
#include "TableReader.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using runtest::RunHarness;

namespace {

const bool driverRegistered = (testsupport::registerSqlServerDriver(), true);

constexpr std::size_t kMegabyte = 1024 * 1024;

std::vector<unsigned char> randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(size);
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

std::string lowerHex(const std::vector<unsigned char>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Text of each language, the code page that holds it, and a Paradox table of its own.
struct Language {
    std::string table;
    int codePage;
    std::string text;
};
const std::vector<Language>& languages()
{
    static const std::vector<Language> all{
        {"Greek", 1253, "Καλημέρα Ελλάδα"},   {"Cyrillic", 1251, "Съешь же ещё этих булок"},
        {"Polish", 1250, "Zażółć gęślą jaźń"}, {"Turkish", 1254, "Iğdır'da şoför çağırdı"},
        {"Baltic", 1257, "Ąžuolų Rīga ūkis"},
    };
    return all;
}

const std::vector<unsigned char>& bigPicture()
{
    static const std::vector<unsigned char> bytes = randomBytes(2 * kMegabyte, 7);
    return bytes;
}
const std::vector<unsigned char>& smallPicture()
{
    static const std::vector<unsigned char> bytes = randomBytes(100, 8);
    return bytes;
}

// A text as SQL writes it between quotes.
std::string sqlText(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out;
}

std::filesystem::path edgesDatabase()
{
    std::string script =
        "CREATE TABLE LongValues (ID int, NT ntext, VC varchar(8000), VM [nvarchar(max)], Short nvarchar(20));"
        "INSERT INTO LongValues VALUES (1, replace(hex(zeroblob(524288)), '00', 'ab'), "
        "replace(hex(zeroblob(4000)), '00', 'cd'), 'Grüße, ''quoted'' and a line\nbreak', 'short'),"
        "(2, NULL, NULL, '', NULL);"
        "CREATE TABLE Pictures (ID int, Pic [varbinary(max)], Img image);"
        "INSERT INTO Pictures VALUES (1, ?, ?), (2, NULL, NULL), (3, x'', x'00');"
        "CREATE TABLE Big (ID int, B bigint);"
        "INSERT INTO Big VALUES (1, 9223372036854775807), (2, -9223372036854775807), (3, -9223372036854775808),"
        "(4, 0), (5, NULL);"
        "CREATE TABLE Mixed (ID int, Name nvarchar(40));"
        "INSERT INTO Mixed VALUES (1, 'plain'), (2, 'Καλημέρα and Grüße'), (3, 'Ελλάδα');";
    for (const Language& l : languages())
        script += "CREATE TABLE " + l.table + " (ID int, Name nvarchar(60));INSERT INTO " + l.table + " VALUES (1, '" +
                  sqlText(l.text) + "');";
    const auto file = testsupport::freshFolder("type-options-db") / "Edges.sqlite";
    dbtest::writeSqlite(file, script, {bigPicture(), smallPicture()});
    return file;
}

testsupport::DemoServer& edgesServer()
{
    static testsupport::DemoServer server({{"Edges", edgesDatabase()}});
    return server;
}

convert::RunResult convertEdges(RunHarness& h, const std::string& name)
{
    testsupport::DemoServer& server = edgesServer();
    h.frontend.folder = runtest::samplesCopy(name).string();
    h.frontend.loginFields = {"127.0.0.1", std::to_string(server.port()), "Edges", server.user(), server.password(), false, {}};
    return h.run();
}

const convert::TableSummary& summaryOf(const convert::RunResult& result, const std::string& table)
{
    const auto found = std::find_if(result.tables.begin(), result.tables.end(),
                                    [&](const convert::TableSummary& t) { return t.table == table; });
    if (found == result.tables.end())
        throw std::runtime_error("no summary of " + table);
    return *found;
}

// A record without its key column, whose values count the rows of the whole run.
std::vector<std::string> withoutKey(std::vector<std::string> record)
{
    record.erase(record.begin());
    return record;
}

runtest::ReadBack tableOf(const RunHarness& h, const std::string& table)
{
    return runtest::readBack(runtest::tableFile(h.frontend.folder, table));
}

std::map<std::string, std::string> recordsOf(const RunHarness& h, const std::string& table)
{
    std::map<std::string, std::string> types;
    for (const convert::DatatypeRecord& r : h.frontend.datatypes)
        if (r.table == table)
            types[r.field] = r.paradoxType;
    return types;
}

} // namespace

// The fixed rules: long values are refused with reasons, pictures are placeholders, the big
// integers and the text outside code page 1252 are refused. Nothing is altered unseen.
TEST(TypeOptions, WithoutOptionsTheFixedRulesHold)
{
    RunHarness h;
    const convert::RunResult result = convertEdges(h, "options-none");
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    EXPECT_EQ(summaryOf(result, "LongValues").rowsRejected, 1);
    EXPECT_EQ(tableOf(h, "Pictures").records.at(1).at(2), "<OLEOBJECT>");
    EXPECT_EQ(summaryOf(result, "Big").rowsRejected, 3);
    EXPECT_EQ(summaryOf(result, "Greek").rowsRejected, 1);
    EXPECT_EQ(summaryOf(result, "Mixed").rowsRejected, 2);
    EXPECT_EQ(result.valuesAltered, 0);
}

TEST(TypeOptions, MemosBlobsAndDecimalsKeepEveryValueWhole)
{
    RunHarness h;
    h.frontend.types.longText = convert::LongText::Memo;
    h.frontend.types.binary = convert::BinaryColumns::Blob;
    h.frontend.types.bigInt = convert::BigIntegers::Decimal;
    const convert::RunResult result = convertEdges(h, "options-keep");
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    for (const char* table : {"LongValues", "Pictures", "Big"})
        EXPECT_EQ(summaryOf(result, table).rowsRejected, 0) << table << ": " << h.dialogs.errorReports().front();

    // The datatype records show the types created.
    EXPECT_EQ(recordsOf(h, "LongValues"),
              (std::map<std::string, std::string>{{"ID", "INT"}, {"NT", "MEMO"}, {"VC", "MEMO"}, {"VM", "MEMO"}, {"Short", "TEXT"}}));
    EXPECT_EQ(recordsOf(h, "Pictures"), (std::map<std::string, std::string>{{"ID", "INT"}, {"Pic", "BLOB"}, {"Img", "BLOB"}}));
    EXPECT_EQ(recordsOf(h, "Big")["B"], "DECIMAL");

    const runtest::ReadBack longValues = tableOf(h, "LongValues");
    EXPECT_EQ(std::string(longValues.types.begin(), longValues.types.end()), "IIMMMA");
    ASSERT_EQ(longValues.records.size(), 2u);
    std::string megabyte;
    for (std::size_t i = 0; i < kMegabyte / 2; ++i)
        megabyte += "ab";
    std::string eightThousand;
    for (int i = 0; i < 4000; ++i)
        eightThousand += "cd";
    EXPECT_TRUE(longValues.records[0][2] == megabyte) << longValues.records[0][2].size();
    EXPECT_EQ(longValues.records[0][3], eightThousand);
    // Memos are in the table's code page (1252), as pxread gives them.
    EXPECT_EQ(longValues.records[0][4], "Gr\xFC\xDF" "e, 'quoted' and a line\nbreak");
    EXPECT_EQ(withoutKey(longValues.records[1]), (std::vector<std::string>{"2", "", "", "", ""}));

    const runtest::ReadBack pictures = tableOf(h, "Pictures");
    EXPECT_EQ(std::string(pictures.types.begin(), pictures.types.end()), "IIBB");
    ASSERT_EQ(pictures.records.size(), 3u);
    EXPECT_TRUE(pictures.records[0][2] == lowerHex(bigPicture())) << pictures.records[0][2].size();
    EXPECT_EQ(pictures.records[0][3], lowerHex(smallPicture()));
    // NULL stays NULL; Paradox holds no empty blob, so an empty value is blank as well.
    EXPECT_EQ(withoutKey(pictures.records[1]), (std::vector<std::string>{"2", "", ""}));
    EXPECT_EQ(withoutKey(pictures.records[2]), (std::vector<std::string>{"3", "", "00"}));

    const runtest::ReadBack big = tableOf(h, "Big");
    EXPECT_EQ(big.types.at(2), '#');
    std::vector<std::string> values;
    for (const auto& record : big.records)
        values.push_back(record.at(2));
    EXPECT_EQ(values, (std::vector<std::string>{"9223372036854775807.000000", "-9223372036854775807.000000",
                                                "-9223372036854775808.000000", "0.000000", ""}));
}

// Each language's text in its own code page; text outside a table's code page written with '?',
// counted per table and for the run, and named in a message before "Done.".
TEST(TypeOptions, CodePagesPerTableAndTheReplacementCounted)
{
    RunHarness h;
    for (const Language& l : languages())
        ASSERT_FALSE(convert::AddCodePage(h.frontend.types, l.table + "=" + std::to_string(l.codePage)));
    ASSERT_FALSE(convert::AddCodePage(h.frontend.types, "1250"));
    h.frontend.types.unmappable = convert::Unmappable::Replace;
    const convert::RunResult result = convertEdges(h, "options-code-pages");
    ASSERT_EQ(result.outcome, convert::RunOutcome::Finished);
    for (const Language& l : languages()) {
        SCOPED_TRACE(l.table);
        const testsupport::Run reader = testsupport::readTable(runtest::tableFile(h.frontend.folder, l.table));
        EXPECT_NE(reader.out.find("codepage: " + std::to_string(l.codePage)), std::string::npos) << reader.out;
        EXPECT_EQ(tableOf(h, l.table).records.at(0).at(2), l.text);
        EXPECT_EQ(summaryOf(result, l.table).valuesAltered, 0);
    }
    // Mixed is in 1250, the code page of every other table: Greek letters become '?', 'ü' and
    // 'ß' are there.
    const runtest::ReadBack mixed = tableOf(h, "Mixed");
    ASSERT_EQ(mixed.records.size(), 3u);
    EXPECT_EQ(mixed.records[1][2], "???????? and Grüße");
    EXPECT_EQ(mixed.records[2][2], "??????");
    EXPECT_EQ(summaryOf(result, "Mixed").valuesAltered, 2);
    EXPECT_EQ(result.valuesAltered, 2);
    // Only the tables the options leave to the fixed rules refuse rows: the long text and the big
    // integers.
    for (const std::string& report : h.dialogs.errorReports())
        EXPECT_TRUE(report.find("\"LongValues\"") != std::string::npos || report.find("\"Big\"") != std::string::npos) << report;
    const std::vector<std::string> messages = h.dialogs.informations();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], convert::AlteredValuesNotice(2));
    EXPECT_EQ(convert::AlteredValuesNotice(2),
              "2 values held characters that their table's code page lacks; each such character was written as '?'.");
}
