// Tables as Paradox itself writes and reads them: the sort order paired with the code page,
// where the header says the sort-order name is, text of other code pages, and the
// liberties of files that Paradox wrote.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/CodePage.h"
#include "paradox/Database.h"
#include "paradox/Encoding.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace paradox;

namespace {

std::vector<std::string> rowsOf(Table& t) { return ptest::engineRows(t); }

std::vector<std::string> rowsOf(const fs::path& folder, const std::string& table)
{
    Database db(folder);
    return rowsOf(db.table(table));
}

// Overwrites bytes of a file in place.
void patch(const fs::path& file, std::size_t at, const std::string& bytes)
{
    std::string content = ptest::readFile(file);
    content.replace(at, bytes.size(), bytes);
    ptest::writeFile(file, content);
}

std::string le16(std::uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; }

// The sort-order name where the word at 0x6E points.
std::string sortNameAtPointer(const std::string& file)
{
    const auto* p = reinterpret_cast<const unsigned char*>(file.data());
    return std::string(file.c_str() + hdr::FixedEnd + getLe16(p + hdr::SortNameAt));
}

class Compat : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = testsupport::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    fs::path folder;
};

}  // namespace

// A new table says code page 1252 and the binary sort order that real 1252 tables carry,
// and its Alpha keys are in byte order, the order that sort order compares them in.
TEST_F(Compat, TablesOfCodePage1252DeclareTheBinarySortOrderAndKeepAlphaKeysInByteOrder)
{
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "Names" ("Name" CHAR(10), "N" INT))");
        db.execute(R"(CREATE INDEX "Names" ON "Names" ("Name") WITH PRIMARY)");
        for (const char* name : {"b", "\xC3\xA9", "B", "a", "Z", "ab", "A"})
            db.execute("INSERT INTO \"Names\" VALUES ('" + std::string(name) + "', 1)");
    }
    const std::string file = ptest::readFile(folder / "Names.DB");
    EXPECT_EQ(static_cast<unsigned char>(file[hdr::SortOrder]), 0x4C);
    EXPECT_EQ(file.substr(hdr::CodePage, 2), le16(1252));
    EXPECT_EQ(sortNameAtPointer(file), "DBWINUS0");
    EXPECT_EQ(rowsOf(folder, "Names"), (std::vector<std::string>{"A,1", "B,1", "Z,1", "a,1", "ab,1", "b,1", "\xC3\xA9,1"}));
    const auto r = ptest::pxcheck(folder / "Names.DB");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("sortorder: 0x4C"), std::string::npos) << r.out;
    EXPECT_TRUE(ptest::problems(r.out).empty()) << r.out;
}

// Every pair the engine writes, and the word at 0x6E pointing at the name whatever its length.
TEST(CompatHeader, TheSortOrderNameIsWhereTheHeaderSays)
{
    for (const std::uint16_t codePage : {437, 850, 852, 866, 1250, 1251, 1252, 1253, 1254, 1257}) {
        Header h;
        ASSERT_TRUE(setCodePage(h, codePage));
        Field f;
        f.name = "ID";
        f.type = FieldType::Long;
        f.size = 4;
        h.fields = {f};
        h.recordSize = 4;
        h.headerSize = std::uint16_t(headerBytesNeeded(h, false));
        const auto bytes = encodeHeader(h, false);
        const std::string file(bytes.begin(), bytes.end());
        const auto order = sortOrderFor(codePage);
        EXPECT_EQ(sortNameAtPointer(file), order->name) << codePage;
        EXPECT_EQ(static_cast<unsigned char>(file[hdr::SortOrder]), order->id) << codePage;
        const Header back = decodeHeader(bytes.data(), bytes.size(), false);
        EXPECT_EQ(back.codePage, codePage);
        EXPECT_EQ(back.sortName, order->name);
    }
    EXPECT_EQ(sortOrderFor(437)->name, "ascii");
    EXPECT_EQ(sortOrderFor(1252)->name, "DBWINUS0");
    Header h;
    EXPECT_EQ(sortOrderFor(866)->name, "ascii");
    EXPECT_EQ(sortOrderFor(1251)->name, "DBWINUS0");
    EXPECT_FALSE(setCodePage(h, 936));   // no binary order of 936 is known; the table is left as it was
    EXPECT_EQ(h.codePage, 1252);
}

// Alpha text, memos and field names are decoded with the table's code page on every read
// path; text appended to such a table is written in its code page.
TEST_F(Compat, TextIsReadAndWrittenInTheTablesCodePage)
{
    {
        Database db(folder);
        db.execute("CREATE TABLE \"T\" (\"N\xC3\xA4me\" CHAR(4), \"Memo\" MEMO(1))");
        db.execute(R"(INSERT INTO "T" VALUES ('abcd', 'memo text'))");
    }
    const fs::path file = folder / "T.DB";
    const std::string original = ptest::readFile(file);
    ASSERT_NE(original.find("N\xE4me"), std::string::npos);   // the field name in code page 1252
    const std::size_t record = 0x800 + 6;
    struct Case {
        std::uint16_t codePage;
        std::string bytes;     // 4 bytes of text in that code page
        std::string utf8;
        std::string nameUtf8;  // the field name's byte 0xE4 in that code page
    };
    const std::vector<Case> cases{
        {437, "\x82\x87\x9B\xE1", "\xC3\xA9\xC3\xA7\xC2\xA2\xC3\x9F", "N\xCE\xA3me"},
        {850, "\x82\x9B\xD4\xE1", "\xC3\xA9\xC3\xB8\xC3\x88\xC3\x9F", "N\xC3\xB5me"},
        {852, "\xA5\xE7\xAC\x9F", "\xC4\x85\xC5\xA1\xC4\x8C\xC4\x8D", "N\xC5\x84me"},
        {866, "\x80\x81\xE0\xEF", "\xD0\x90\xD0\x91\xD1\x80\xD1\x8F", "N\xD1\x84me"},
        {1250, "\x8A\xB9\xE8\xF8", "\xC5\xA0\xC4\x85\xC4\x8D\xC5\x99", "N\xC3\xA4me"},
        {1251, "\xC0\xC1\xE0\xFF", "\xD0\x90\xD0\x91\xD0\xB0\xD1\x8F", "N\xD0\xB4me"},
        {1253, "\xC1\xC2\xE1\xF9", "\xCE\x91\xCE\x92\xCE\xB1\xCF\x89", "N\xCE\xB4me"},
        {1254, "\xD0\xDD\xFE\xF0", "\xC4\x9E\xC4\xB0\xC5\x9F\xC4\x9F", "N\xC3\xA4me"},
        {1257, "\xC0\xD0\xE0\xFE", "\xC4\x84\xC5\xA0\xC4\x85\xC5\xBE", "N\xC3\xA4me"},
    };
    for (const Case& c : cases) {
        ptest::writeFile(file, original);
        patch(file, hdr::CodePage, le16(c.codePage));
        patch(file, record, c.bytes);
        EXPECT_EQ(rowsOf(folder, "T"), std::vector<std::string>{c.utf8 + ",memo text"}) << c.codePage;
        const auto dump = ptest::run({PXSQL, folder.string(), "--dump", "T"});
        EXPECT_EQ(dump.out, c.nameUtf8 + ",Memo\n" + c.utf8 + ",memo text\n") << c.codePage;
    }
    // Appended text goes into the table's code page, and a character it lacks is refused.
    ptest::writeFile(file, original);
    patch(file, hdr::CodePage, le16(437));
    {
        Database db(folder);
        db.execute("INSERT INTO \"T\" VALUES ('\xC3\xA9\xC3\xA7', '\xC3\xA9t\xC3\xA9 long enough for the MB file')");
        EXPECT_THROW(db.execute("INSERT INTO \"T\" VALUES ('\xE2\x82\xAC', NULL)"), SqlError);   // the euro sign
    }
    EXPECT_EQ(ptest::readFile(file).substr(record + 15, 2), "\x82\x87");
    EXPECT_EQ(rowsOf(folder, "T")[1], "\xC3\xA9\xC3\xA7,\xC3\xA9t\xC3\xA9 long enough for the MB file");
}

// A code page without a table: plain ASCII still reads, anything beyond it is an error that
// names the code page, never a guess.
TEST_F(Compat, TextOfAnUnknownCodePageIsAnErrorNotAGuess)
{
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "T" ("A" CHAR(4)))");
        db.execute(R"(INSERT INTO "T" VALUES ('abc'))");
    }
    patch(folder / "T.DB", hdr::CodePage, le16(936));
    EXPECT_EQ(rowsOf(folder, "T"), std::vector<std::string>{"abc"});
    patch(folder / "T.DB", 0x800 + 6, "\xD6\xD0");
    Database db(folder);
    Table& t = db.table("T");
    const std::string error = ptest::engineError([&] { rowsOf(t); });
    EXPECT_NE(error.find("code page 936"), std::string::npos) << error;
}

// The header keeps the last autoincrement value handed out (ids 1-3 -> 3), as Paradox
// writes it: a table from Paradox takes the next id without a clash, and a clash names the
// key that was generated.
TEST_F(Compat, AutoincrementKeepsTheLastValueAndADuplicateNamesItsKey)
{
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "A" ("ID" AUTOINCREMENT, "Name" CHAR(8)))");
        db.execute(R"(CREATE INDEX "A" ON "A" ("ID") WITH PRIMARY)");
        for (const char* name : {"one", "two", "three"}) db.execute("INSERT INTO \"A\" (\"Name\") VALUES ('" + std::string(name) + "')");
    }
    EXPECT_EQ(ptest::readFile(folder / "A.DB").substr(hdr::AutoInc, 4), std::string("\x03\0\0\0", 4));
    {
        Database db(folder);
        db.execute(R"(INSERT INTO "A" VALUES (10, 'ten'))");
        db.execute(R"(INSERT INTO "A" ("Name") VALUES ('eleven'))");
        EXPECT_EQ(db.table("A").header().autoInc, 11u);
    }
    EXPECT_EQ(rowsOf(folder, "A"), (std::vector<std::string>{"1,one", "2,two", "3,three", "10,ten", "11,eleven"}));
    // A header whose counter lags behind the rows: the generated key clashes, and the
    // message shows it.
    patch(folder / "A.DB", hdr::AutoInc, std::string("\x02\0\0\0", 4));
    Database db(folder);
    const std::string generated = ptest::engineError([&] { db.execute(R"(INSERT INTO "A" ("Name") VALUES ('again'))"); });
    EXPECT_NE(generated.find("a row with the key 3 in column \"ID\" already exists"), std::string::npos) << generated;
    db.execute(R"(CREATE TABLE "Two" ("K" CHAR(3), "D" DATE, "V" INT))");
    db.execute(R"(INSERT INTO "Two" VALUES ('ab', '2021-08-31', 1))");
    db.execute(R"(CREATE INDEX "Two" ON "Two" ("K", "D") WITH PRIMARY)");
    const std::string twoFields = ptest::engineError([&] { db.execute(R"(INSERT INTO "Two" VALUES ('ab', '08/31/2021', 2))"); });
    EXPECT_NE(twoFields.find("a row with the key ('ab', '2021-08-31') in columns \"K\", \"D\" already exists"), std::string::npos) << twoFields;
}

// Paradox may end a file right after the records of its last block; such a file is read
// and appended to, and only a file cut inside those records is damaged.
TEST_F(Compat, AFileEndingAfterTheLastBlocksRecordsIsWholeAndOneCutShorterIsDamaged)
{
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "S" ("ID" INT, "Pad" CHAR(200)))");
        db.execute(R"(CREATE INDEX "S" ON "S" ("ID") WITH PRIMARY)");
        for (int i = 1; i <= 25; ++i) db.execute("INSERT INTO \"S\" VALUES (" + std::to_string(i) + ", 'p')");
    }
    const fs::path file = folder / "S.DB";
    const std::string whole = ptest::readFile(file);
    const std::size_t recordsEnd = 0x800 + 4096 + 6 + 5 * 204;   // 20 records fill block 1, 5 are in block 2
    ASSERT_EQ(whole.size(), 0x800u + 2 * 4096u);
    ptest::writeFile(file, whole.substr(0, recordsEnd));
    EXPECT_EQ(rowsOf(folder, "S").size(), 25u);
    {
        Database db(folder);
        db.execute(R"(INSERT INTO "S" VALUES (26, 'q'))");
        db.execute(R"(INSERT INTO "S" VALUES (0, 'r'))");
    }
    const auto rows = rowsOf(folder, "S");
    ASSERT_EQ(rows.size(), 27u);
    EXPECT_EQ(rows.front(), "0,r");
    EXPECT_EQ(rows.back(), "26,q");
    const auto r = ptest::pxcheck(file);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(ptest::problems(r.out).empty()) << r.out;

    ptest::writeFile(file, whole.substr(0, recordsEnd - 1));
    Database db(folder);
    const std::string error = ptest::engineError([&] { db.table("S"); });
    EXPECT_NE(error.find("is damaged"), std::string::npos) << error;
}

// A file may also run on past its last block: zeros a writer put there for blocks to come, kept
// when the machine lost power before they were cut. Both readers go by the header's blocks and
// see the same rows; a writer puts its next blocks where the header says they go.
TEST_F(Compat, AFileLongerThanItsBlocksIsReadAndAppendedToAsItsBlocksSay)
{
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "L" ("ID" INT, "Pad" CHAR(200)))");
        db.execute(R"(CREATE INDEX "L" ON "L" ("ID") WITH PRIMARY)");
        for (int i = 1; i <= 25; ++i)
            db.execute("INSERT INTO \"L\" VALUES (" + std::to_string(i) + ", 'p')");
    }
    const fs::path file = folder / "L.DB";
    const std::string whole = ptest::readFile(file);
    ASSERT_EQ(whole.size(), 0x800u + 2 * 4096u);
    ptest::writeFile(file, whole + std::string(3 * 4096 + 100, '\0'));
    const auto before = rowsOf(folder, "L");
    ASSERT_EQ(before.size(), 25u);
    for (const auto& [what, r] :
         {std::pair{"table", ptest::pxcheck(file)}, std::pair{"index", ptest::pxcheckIndex(folder / "L.PX")}}) {
        EXPECT_EQ(r.status, 0) << what << ":\n" << r.out;
        EXPECT_TRUE(ptest::problems(r.out).empty()) << what << ":\n" << r.out;
    }
    EXPECT_EQ(ptest::pxcheckRecords(ptest::pxcheck(file).out).size(), 25u);
    {
        Database db(folder);
        for (int i = 26; i <= 60; ++i)
            db.execute("INSERT INTO \"L\" VALUES (" + std::to_string(i) + ", 'q')");
    }
    const auto after = rowsOf(folder, "L");
    ASSERT_EQ(after.size(), 60u);
    EXPECT_EQ(after.back(), "60,q");
    const auto r = ptest::pxcheck(file);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(ptest::problems(r.out).empty()) << r.out;
    EXPECT_EQ(ptest::pxcheckRecords(r.out).size(), 60u);
    const auto index = ptest::pxcheckIndex(folder / "L.PX");
    EXPECT_EQ(index.status, 0) << index.out;
}

// A table with a password (its code at 0x5C, or at 0x25 in 3.x) is named as such, never
// called damaged, and never written.
TEST_F(Compat, APasswordProtectedTableIsNamedAsSuchAndNotWritten)
{
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "Secret" ("ID" INT))");
        db.execute(R"(INSERT INTO "Secret" VALUES (1))");
    }
    const fs::path file = folder / "Secret.DB";
    for (const auto& [at, bytes] : {std::pair<std::size_t, std::string>{hdr::PasswordCode, "\x9a\xe0\x25\x0a"},
                                    std::pair<std::size_t, std::string>{hdr::Version, "\x04"}}) {
        patch(file, at, bytes);   // the second round makes it a 3.x table, whose code is at 0x25
        if (at == hdr::Version) patch(file, hdr::Encryption, "\x9a\xe0\x25\x0a");
        const std::string locked = ptest::readFile(file);
        for (const char* statement : {"INSERT INTO \"Secret\" VALUES (2)", "CREATE INDEX \"Secret\" ON \"Secret\" (\"ID\") WITH PRIMARY"}) {
            Database db(folder);
            EXPECT_EQ(ptest::engineError([&] { db.execute(statement); }),
                      "The table 'Secret' is protected by a password, which this program cannot open");
        }
        EXPECT_EQ(ptest::readFile(file), locked);
        const auto dump = ptest::run({PXSQL, folder.string(), "--dump", "Secret"}, {}, true);
        EXPECT_EQ(dump.status, 2);
        EXPECT_EQ(dump.out.find("damaged"), std::string::npos) << dump.out;
    }
}

// The digits of BCD values as Paradox wrote them: 18 significant digits, then noise.
TEST(CompatValues, BcdShowsTheDigitsParadoxWroteWithoutTheNoiseAfterThem)
{
    // 0.123 and -0.123 in a field of 32 decimals, and 1.23 in one of 2, as the BDE stored them.
    const std::string positive = ptest::unhex("e0 12 29 99 99 99 99 99 99 98 0b 00 e0 00 00 bf 4a");
    const std::string negative = ptest::unhex("60 ed d6 66 66 66 66 66 66 67 f4 ff 1f ff ff 40 b5");
    const std::string twoDecimals = ptest::unhex("c2 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 23");
    const auto bytes = [](const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); };
    EXPECT_EQ(decodeBcd(bytes(positive), 32), "0.122999999999999998");
    EXPECT_EQ(decodeBcd(bytes(negative), 32), "-0.122999999999999998");
    EXPECT_EQ(decodeBcd(bytes(twoDecimals), 2), "1.23");
    const auto zero = encodeBcd("0", 32);
    EXPECT_EQ(decodeBcd(bytes(*zero), 32), "0." + std::string(32, '0'));
    // Digits alone, as the engine writes them, are the value, beyond 18 digits too.
    const auto biggest = encodeBcd("-9223372036854775808", 6);
    EXPECT_EQ(decodeBcd(bytes(*biggest), 6), "-9223372036854775808.000000");
}

// The name fields hold the file names, and the index repeats the table's change count.
TEST_F(Compat, NameFieldsHoldTheFileNamesAndTheIndexRepeatsTheChangeCount)
{
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "Orders" ("ID" INT, "Name" CHAR(8)))");
        db.execute(R"(CREATE INDEX "Orders" ON "Orders" ("ID") WITH PRIMARY)");
        db.execute(R"(INSERT INTO "Orders" VALUES (1, 'a'))");
    }
    const std::string table = ptest::readFile(folder / "Orders.DB");
    const std::string index = ptest::readFile(folder / "Orders.PX");
    EXPECT_EQ(std::string(table.c_str() + hdr::DbFixedEnd + 2 * 2 + 4 + 4 * 2), "Orders.DB");
    EXPECT_EQ(std::string(index.c_str() + hdr::FixedEnd + 2 + 4), "Orders.PX");
    EXPECT_EQ(index[hdr::IndexChanges], table[hdr::ChangeCount1]);
    const auto r = ptest::pxcheck(folder / "Orders.DB");
    EXPECT_NE(r.out.find("tablename: Orders.DB"), std::string::npos) << r.out;
    const auto px = ptest::pxcheckIndex(folder / "Orders.PX");
    EXPECT_EQ(px.status, 0) << px.out;
    EXPECT_NE(px.out.find("index matches the table: yes"), std::string::npos) << px.out;
}

// Memos of up to 2 KB share .MB blocks of 64 slots, as Paradox stores them; longer ones
// get blocks of their own. Both readers find every memo.
TEST_F(Compat, SmallMemosShareBlocksOfTheBlobFile)
{
    std::vector<std::string> expected;
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "M" ("ID" INT, "Memo" MEMO(5)))");
        for (int i = 0; i < 70; ++i) {
            const std::string memo = std::string(std::size_t(i == 1 ? 2048 : i == 2 ? 3000 : 20 + i), char('a' + i % 26));
            db.execute("INSERT INTO \"M\" VALUES (" + std::to_string(i) + ", '" + memo + "')");
            expected.push_back(std::to_string(i) + "," + memo);
        }
    }
    const std::string mb = ptest::readFile(folder / "M.MB");
    // The header, a shared block filled with memos, the 3000-byte memo, a shared block of the rest.
    ASSERT_EQ(mb.size(), 4u * 4096u);
    EXPECT_EQ(mb[0x1000], 3);
    EXPECT_EQ(mb[0x2000], 2);
    EXPECT_EQ(mb[0x3000], 3);
    const std::string firstSlot = mb.substr(0x1000 + 12 + 5 * 63, 5);
    EXPECT_EQ(ptest::hex(firstSlot), "15 02 01 00 04");   // data at 0x150, 2 chunks, 4 bytes in the last
    EXPECT_EQ(rowsOf(folder, "M"), expected);
    const auto r = ptest::pxcheck(folder / "M.DB");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto byPxlib = ptest::pxcheckRecords(r.out);
    ASSERT_EQ(byPxlib.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(byPxlib[i], expected[i]) << i;
}

// Alpha keys of a table that Paradox sorts in a dictionary order are not put in byte order:
// such a table is refused and left as it was. Integer keys compare alike in every order.
TEST_F(Compat, AlphaKeysOfADictionaryOrderAreNotWritten)
{
    {
        Database db(folder);
        db.execute(R"(CREATE TABLE "Intl" ("Name" CHAR(8), "N" INT))");
        db.execute(R"(CREATE INDEX "Intl" ON "Intl" ("Name") WITH PRIMARY)");
        db.execute(R"(INSERT INTO "Intl" VALUES ('b', 1))");
        db.execute(R"(CREATE TABLE "Ids" ("ID" INT, "Name" CHAR(8)))");
        db.execute(R"(CREATE INDEX "Ids" ON "Ids" ("ID") WITH PRIMARY)");
    }
    for (const char* table : {"Intl", "Ids"}) {
        const fs::path file = folder / (std::string(table) + ".DB");
        std::string bytes = ptest::readFile(file);
        bytes[hdr::SortOrder] = 0x11;
        bytes.replace(bytes.find("DBWINUS0"), 8, "ANSII850");
        ptest::writeFile(file, bytes);
    }
    const std::string before = ptest::readFile(folder / "Intl.DB");
    Database db(folder);
    const std::string error = ptest::engineError([&] { db.execute(R"(INSERT INTO "Intl" VALUES ('A', 2))"); });
    EXPECT_NE(error.find("sorts its keys in the order \"ANSII850\""), std::string::npos) << error;
    EXPECT_EQ(ptest::readFile(folder / "Intl.DB"), before);
    db.execute(R"(INSERT INTO "Ids" VALUES (1, 'b'))");
    EXPECT_EQ(rowsOf(db.table("Ids")), std::vector<std::string>{"1,b"});
}
