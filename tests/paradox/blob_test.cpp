// Memos and binary blobs of every size the .MB file takes, the binary literal, tables in each
// code page the engine writes and the '?' replacement, read back by pxread and the engine.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/CodePage.h"
#include "paradox/Database.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <random>

namespace fs = std::filesystem;
using namespace paradox;

namespace {

class Blobs : public ptest::FreshDatabase {};

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random());
    return bytes;
}

std::string upperHex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string lowerHex(const std::string& bytes)
{
    std::string out = upperHex(bytes);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// UTF-8 text in a code page, as iconv converts it.
std::string inCodePage(const std::string& utf8, int codePage)
{
    const iconv_t cd = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
    EXPECT_NE(cd, iconv_t(-1));
    std::string in = utf8, out(utf8.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    EXPECT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), std::size_t(-1)) << codePage;
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

// Blobs in the record alone (memo leader), in shared type-3 blocks up to 2 KB, in blocks of their
// own beyond, 2 MB among them, NULL and empty, each read back byte for byte by pxread.
TEST_F(Blobs, EverySizeRoundTripsThroughTheReader)
{
    db->execute(R"(CREATE TABLE "B" ("K" INT, "Data" BLOB, "Note" MEMO(5)))");
    db->execute(R"(CREATE INDEX "B" ON "B" ("K") with primary)");
    const std::vector<std::size_t> sizes{1, 15, 16, 17, 2047, 2048, 2049, 4087, 4088, 100'000, 2 * 1024 * 1024};
    std::vector<std::string> values;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        values.push_back(randomBytes(sizes[i], unsigned(i)));
        const std::string memo(sizes[i], char('a' + i));
        db->execute("INSERT INTO \"B\" VALUES (" + std::to_string(i) + ", X'" + upperHex(values.back()) + "', '" + memo + "')");
    }
    db->execute(R"(INSERT INTO "B" VALUES (100, NULL, NULL))");
    db->execute(R"(INSERT INTO "B" VALUES (101, x'', ''))");
    db->execute(R"(INSERT INTO "B" VALUES (102, x'00ff0a', 'abc'))");
    db.reset();

    const auto r = ptest::pxcheck(folder / "B.DB");
    ASSERT_EQ(r.status, 0) << r.out.substr(0, 2000);
    const auto records = ptest::pxcheckRecords(r.out);
    ASSERT_EQ(records.size(), sizes.size() + 3);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        EXPECT_EQ(records[i], std::to_string(i) + "," + lowerHex(values[i]) + "," + std::string(sizes[i], char('a' + i)))
            << "size " << sizes[i];
    // Paradox keeps no empty blob: like an empty Alpha value it is blank.
    EXPECT_EQ(records[sizes.size()], "100,,");
    EXPECT_EQ(records[sizes.size() + 1], "101,,");
    EXPECT_EQ(records[sizes.size() + 2], "102,00ff0a,abc");
    // Small blobs share type-3 blocks: 64 of up to 2 KB fit one 4 KB unit at most, so the file
    // is far smaller than a block per blob would make it.
    const auto mbSize = fs::file_size(folder / "B.MB");
    EXPECT_EQ(mbSize % 4096, 0u);
}

// A dump shows a blob as the literal that writes it again; the reason for a refused value shows
// it the same way, cut short.
TEST_F(Blobs, TheDumpAndTheReasonsShowTheBinaryLiteral)
{
    db->execute(R"(CREATE TABLE "B" ("K" INT, "Data" OLEOBJECT, "N" INT))");
    db->execute(R"(INSERT INTO "B" VALUES (1, X'0a1B2c', 5))");
    std::string dumped;
    db->table("B").forEach([&](const unsigned char* r) { dumped = fieldText(db->table("B"), 1, r); });
    EXPECT_EQ(dumped, "X'0A1B2C'");
    db->execute("INSERT INTO \"B\" VALUES (2, " + dumped + ", 6)");
    EXPECT_EQ(ptest::engineRows(db->table("B")), (std::vector<std::string>{"1,X'0A1B2C',5", "2,X'0A1B2C',6"}));

    const std::string big = "X'" + std::string(200, 'A') + "'";
    EXPECT_EQ(ptest::engineError([&] { db->execute("INSERT INTO \"B\" VALUES (3, NULL, " + big + ")"); }),
              "SQL error at position 34: table \"B\", column \"N\" (Long): X'" + std::string(120, 'A') +
                  "...' is a binary value, which a Long column cannot hold");
}

TEST_F(Blobs, ABinaryLiteralIsHexDigitsInPairsAndGoesIntoBinaryColumnsOnly)
{
    db->execute(R"(CREATE TABLE "T" ("A" CHAR(4), "M" MEMO, "Y" BYTES(3), "D" DATE))");
    EXPECT_EQ(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (NULL, NULL, X'0A1', NULL))"); }),
              "SQL error at position 37: a binary value has two hex digits a byte; X'0A1' has an odd number");
    EXPECT_EQ(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (NULL, NULL, X'0G', NULL))"); }),
              "SQL error at position 40: a binary value holds hex digits only (X'0A1B'), not 'G'");
    EXPECT_EQ(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (NULL, NULL, X'0A, NULL))"); }),
              "SQL error at position 37: the binary value that starts here has no closing quote");
    EXPECT_NE(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (X'41', NULL, NULL, NULL))"); })
                  .find("X'41' is a binary value, which an Alpha column cannot hold"),
              std::string::npos);
    EXPECT_NE(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (NULL, X'41', NULL, NULL))"); })
                  .find("X'41' is a binary value, which a Memo column cannot hold"),
              std::string::npos);
    EXPECT_NE(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (NULL, NULL, NULL, X'41'))"); })
                  .find("which a Date column cannot hold"),
              std::string::npos);
    // Into Bytes the bytes go as they are, shorter ones padded, longer ones refused.
    db->execute(R"(INSERT INTO "T" VALUES ('x', 'm', X'00FF', NULL))");
    EXPECT_NE(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (NULL, NULL, X'01020304', NULL))"); })
                  .find("has 4 characters, the column holds 3"),
              std::string::npos);
    EXPECT_EQ(ptest::engineRows(db->table("T")), (std::vector<std::string>{"x,m,00ff00,"}));
}

// Each code page the engine writes: the header names it and a binary sort order that goes with
// it; Alpha text, memos and field names are in it; pxread decodes the Alpha text.
TEST_F(Blobs, EveryWritableCodePageHoldsItsOwnText)
{
    struct Language {
        int codePage;
        std::string text;       // UTF-8
        std::string sortName;
    };
    const std::vector<Language> languages{
        {437, "Größe", "ascii"},         {850, "Ærø Ñandú", "ascii"},     {852, "Łódź Žďár", "ascii"},
        {866, "Москва", "ascii"},        {1250, "Zażółć gęślą", "DBWINUS0"}, {1251, "Привет мир", "DBWINUS0"},
        {1252, "Grüße €", "DBWINUS0"},   {1253, "Καλημέρα", "DBWINUS0"},  {1254, "İstanbul ğış", "DBWINUS0"},
        {1257, "Ąžuolas Rīga", "DBWINUS0"},
    };
    TextOptions options;
    for (const Language& l : languages) options.tables["T" + std::to_string(l.codePage)] = std::uint16_t(l.codePage);
    db->setTextOptions(options);
    for (const Language& l : languages) {
        const std::string table = "T" + std::to_string(l.codePage);
        db->execute("CREATE TABLE \"" + table + "\" (\"K\" INT, \"" + l.text.substr(0, l.text.find(' ')) + "\" CHAR(40), \"M\" MEMO(2))");
        db->execute("INSERT INTO \"" + table + "\" VALUES (1, '" + l.text + "', '" + l.text + "')");
    }
    db.reset();
    for (const Language& l : languages) {
        SCOPED_TRACE(l.codePage);
        const auto r = ptest::pxcheck(folder / ("T" + std::to_string(l.codePage) + ".DB"));
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("codepage: " + std::to_string(l.codePage)), std::string::npos) << r.out;
        // pxread decodes Alpha text and field names; memos come as stored, in the code page.
        EXPECT_EQ(ptest::pxcheckRecords(r.out), (std::vector<std::string>{"1," + l.text + "," + inCodePage(l.text, l.codePage)}));
        EXPECT_NE(r.out.find(l.text.substr(0, l.text.find(' '))), std::string::npos) << r.out;
        Database again(folder);
        Table& t = again.table("T" + std::to_string(l.codePage));
        EXPECT_EQ(t.header().sortName, l.sortName);
        EXPECT_EQ(ptest::engineRows(t), (std::vector<std::string>{"1," + l.text + "," + l.text}));
    }
    EXPECT_NE(ptest::engineError([] {
                  Database other(testsupport::freshFolder("unknown-code-page"));
                  other.setTextOptions(TextOptions{936, {}, false});
              }),
              "");
}

// Without the replacement a character outside the code page refuses the row and says so; with it
// the character becomes '?' and the value is counted once, however many characters it lost.
TEST_F(Blobs, ReplacementWritesAQuestionMarkAndCountsTheValue)
{
    db->setTextOptions(TextOptions{1251, {}, false});
    db->execute(R"(CREATE TABLE "T" ("K" INT, "A" CHAR(20), "M" MEMO))");
    EXPECT_NE(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (1, 'Ελλάδα', NULL))"); })
                  .find("character 1 of 'Ελλάδα' is not in code page 1251"),
              std::string::npos);
    EXPECT_EQ(db->alteredValues(), 0u);
    db->setTextOptions(TextOptions{1251, {}, true});
    db->execute(R"(INSERT INTO "T" VALUES (1, 'Ελλάδα и Русь', 'Łódź'))");
    db->execute(R"(INSERT INTO "T" VALUES (2, 'Русь', 'plain'))");
    EXPECT_EQ(db->alteredValues(), 2u);
    // A row refused for another reason counts nothing.
    EXPECT_NE(ptest::engineError([&] { db->execute(R"(INSERT INTO "T" VALUES (3, 'Ελλάδα and a text longer than twenty', NULL))"); }), "");
    EXPECT_EQ(db->alteredValues(), 2u);
    EXPECT_EQ(ptest::engineRows(db->table("T")), (std::vector<std::string>{"1,?????? и Русь,??d?", "2,Русь,plain"}));
}
