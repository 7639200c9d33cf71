// Tables read back by the independent reader pxread (pxlib) and by the engine itself.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/Database.h"
#include "paradox/Encoding.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;
using namespace paradox;

namespace {

std::vector<std::string> engineRows(Database& db, const std::string& table) { return ptest::engineRows(db.table(table)); }

void expectClean(const fs::path& db)
{
    const auto r = ptest::pxcheck(db);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(ptest::problems(r.out).empty()) << r.out;
}

void expectCleanIndex(const fs::path& px)
{
    const auto r = ptest::pxcheckIndex(px);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("index matches the table: yes"), std::string::npos) << r.out;
}

class Files : public ptest::FreshDatabase {};

}  // namespace

// Every type, NULLs, empty and full-width Alpha, boundary numbers, dates before 1900 and
// after 2038, as pxlib and the engine read them.
TEST_F(Files, EveryTypeRoundTripsThroughPxcheckAndTheEngine)
{
    db->execute(R"(CREATE TABLE "All" ("K" INT, "A" CHAR(5), "S" SMALLINT, "N" FLOAT, "M" CURRENCY, "D" DATE, "T" TIME, "TS" TIMESTAMP, "L" BIT, "B" DECIMAL(10,2), "Y" BYTES(2), "Memo" MEMO);)");
    db->execute(R"(CREATE INDEX "All" ON "All" ("K") with primary)");
    const std::vector<std::string> inserts{
        R"(INSERT INTO "All" VALUES (-2147483647, 'abcde', -32767, -1e300, -3.75, '01/01/0001', '00:00:00', '01/01/0001 00:00:00', 0, -7.5, 'ab', 'short');)",
        R"(INSERT INTO "All" VALUES (0, '', 0, 0, 0, '12/30/1899', '23:59:59', '12/30/1899 12:30:00', 1, 0, NULL, NULL);)",
        R"(INSERT INTO "All" VALUES (1, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);)",
        R"(INSERT INTO "All" VALUES (2, 'O''Ne', 32767, 1.5, 12.5, '01/19/2038', '12:00:00', '01/19/2038 03:14:08', 1, 12345678.99, 'z', 'a memo longer than the leader, so it lives in the MB file');)",
        R"(INSERT INTO "All" VALUES (2147483647, 'x', 1, 1e-300, 1e15, '12/31/9999', '00:00:01', '12/31/9999 23:59:59', 0, 0.01, NULL, '');)",
        R"(INSERT INTO "All" VALUES (3, '€äé', 2, 0.25, 0.01, '1850-07-04', '06:30:00', '1850-07-04 06:30:00', 1, -0.05, NULL, 'ü');)",
        // A NULL memo after fields whose values were converted on the way.
        R"(INSERT INTO "All" VALUES (4, 'ä', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 1.5, NULL, NULL);)",
    };
    for (const auto& s : inserts) db->execute(s);
    const std::vector<std::string> expected{
        "-2147483647,abcde,-32767,-1e+300,-3.75,0001-01-01,00:00:00,0001-01-01 00:00:00,false,-7.50,6162,short",
        "0,,0,0,0,1899-12-30,23:59:59,1899-12-30 12:30:00,true,0.00,,",
        "1,,,,,,,,,,,",
        "2,O'Ne,32767,1.5,12.5,2038-01-19,12:00:00,2038-01-19 03:14:08,true,12345678.99,7a00,a memo longer than the leader, so it lives in the MB file",
        "3,€äé,2,0.25,0.01,1850-07-04,06:30:00,1850-07-04 06:30:00,true,-0.05,,ü",
        "4,ä,,,,,,,,1.50,,",
        "2147483647,x,1,1e-300,1e+15,9999-12-31,00:00:01,9999-12-31 23:59:59,false,0.01,,",
    };
    EXPECT_EQ(engineRows(*db, "All"), expected);
    const auto r = ptest::pxcheck(folder / "All.DB");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<std::string> byPxlib{
        "-2147483647,abcde,-32767,-1e+300,-3.75,0001-01-01,00:00:00,0001-01-01 00:00:00,false,-7.50,6162,short",
        "0,,0,0,0,1899-12-30,23:59:59,1899-12-30 12:30:00,true,0.00,,",
        "1,,,,,,,,,,,",
        "2,O'Ne,32767,1.5,12.5,2038-01-19,12:00:00,2038-01-19 03:14:08,true,12345678.99,7a00,\"a memo longer than the leader, so it lives in the MB file\"",
        "3,€äé,2,0.25,0.01,1850-07-04,06:30:00,1850-07-04 06:30:00,true,-0.05,,\xFC",   // memos as stored
        "4,ä,,,,,,,,1.50,,",
        "2147483647,x,1,1e-300,1e+15,9999-12-31,00:00:01,9999-12-31 23:59:59,false,0.01,,",
    };
    EXPECT_EQ(ptest::pxcheckRecords(r.out), byPxlib) << r.out;
    EXPECT_NE(r.out.find("codepage: 1252"), std::string::npos);
    EXPECT_NE(r.out.find("version: 5.0 (byte 0x0B)"), std::string::npos);
    expectCleanIndex(folder / "All.PX");
}

// Memos of every size: in the record, several sharing a block, one filling a block alone, one
// with a block of its own, NULL between them, and a reopened table that starts a new shared
// block. pxlib finds each through its slot, and the blob file has the size of that layout.
TEST_F(Files, MemosOfEverySizeLieWhereTheIndependentReaderFindsThem)
{
    db->execute(R"(CREATE TABLE "Notes" ("K" INT, "M" MEMO(10));)");
    const std::vector<std::size_t> sizes{3, 11, 300, 0, 2048, 40, 2049, 5000, 16, 700, 1500, 1};
    std::vector<std::string> memos;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        std::string memo;
        for (std::size_t i = 0; i < sizes[k]; ++i) memo += char('a' + (i * 7 + k) % 26);
        if (k == 5) db = std::make_unique<Database>(folder);   // the rest after a reopen
        db->execute("INSERT INTO \"Notes\" VALUES (" + std::to_string(k) + ", " + (memo.empty() ? "NULL" : "'" + memo + "'") + ")");
        memos.push_back(std::to_string(k) + "," + memo);
    }
    db.reset();
    const auto r = ptest::pxcheck(folder / "Notes.DB");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(ptest::problems(r.out).empty()) << r.out;
    EXPECT_EQ(ptest::pxcheckRecords(r.out), memos);
    // Header; a shared block for 11, 300 and 2048 bytes, another after the reopen for 40, 16,
    // 700 and 1500; blocks of their own of one and two units for 2049 and 5000 bytes.
    EXPECT_EQ(fs::file_size(folder / "Notes.MB"), std::uintmax_t(4096 * (1 + 2 + 1 + 2)));
}

TEST_F(Files, KeyedTablesStayInKeyOrderAndRejectDuplicates)
{
    db->execute(R"(CREATE TABLE "K" ("SBSID" INT, "Pad" CHAR(250)))");
    db->execute(R"(CREATE INDEX "K" ON "K" ("SBSID") with primary)");
    // Descending and interleaved keys, across many blocks.
    for (int i = 0; i < 300; ++i) db->execute("INSERT INTO \"K\" VALUES (" + std::to_string((i * 37) % 300) + ", 'p')");
    EXPECT_THROW(db->execute(R"(INSERT INTO "K" VALUES (37, 'dup'))"), SqlError);
    auto rows = engineRows(*db, "K");
    ASSERT_EQ(rows.size(), 300u);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(rows[i], std::to_string(i) + ",p");
    expectClean(folder / "K.DB");
    expectCleanIndex(folder / "K.PX");
}

TEST_F(Files, AnIndexOfTwoLevelsGrowsWithAppends)
{
    db->execute(R"(CREATE TABLE "Big" ("SBSID" INT, "A" CHAR(255), "B" CHAR(255), "C" CHAR(255)))");
    db->execute(R"(CREATE INDEX "Big" ON "Big" ("SBSID") with primary)");
    for (int i = 0; i < 5000; ++i) db->execute("INSERT INTO \"Big\" VALUES (" + std::to_string(i) + ", 'a', 'b', 'c')");
    expectClean(folder / "Big.DB");
    const auto r = ptest::pxcheckIndex(folder / "Big.PX");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("indexlevels: 2"), std::string::npos) << r.out.substr(0, 600);
    EXPECT_NE(r.out.find("level1records: 5000"), std::string::npos);
}

// The primary index names data blocks by Short values, which end at 32,767, so a keyed table
// whose 32,767 blocks are all used is raised to level 7 with 32 KB blocks and goes on taking
// rows, in key order, also below the last key; pxlib reads its index at 32,767 blocks, and
// with the rows of 32,768 and of 65,535 blocks. One record to a 2 KB block, as older writers
// make them, keeps the fill small and the index at the two levels pxlib reads.
TEST_F(Files, AFullTableIsRaisedToLargerBlocksAndTakesMoreRows)
{
    db->execute(R"(CREATE TABLE "Wide" ("SBSID" INT, "A" CHAR(255), "B" CHAR(255), "C" CHAR(255), "D" CHAR(255), "E" CHAR(255),
                                        "F" CHAR(255), "G" CHAR(255), "H" CHAR(253)))");
    Header h = db->table("Wide").header();
    h.blockCode = 2;
    h.tableName = "Grow";
    Table::create(folder, "Grow", h);
    db->execute(R"(CREATE INDEX "Grow" ON "Grow" ("SBSID") with primary)");
    db.reset();
    int rows = 0;
    {
        // Straight to the table: statements would only spend the time parsing the same row.
        const auto grow = Table::open(folder / "Grow.DB");
        ASSERT_EQ(grow->header().recordsPerBlock(), 1);
        std::string record(h.recordSize, '\0');
        auto fillTo = [&](int count) {
            for (; rows < count; ++rows) {
                encodeInt(reinterpret_cast<unsigned char*>(record.data()), 4, 2 * rows);
                ASSERT_EQ(grow->append(record, {}), Table::Result::Ok);
            }
        };
        fillTo(kMaxIndexedBlocks);
        EXPECT_EQ(grow->header().blockCode, 2);
        EXPECT_EQ(grow->header().fileBlocks, kMaxIndexedBlocks);
        expectCleanIndex(folder / "Grow.PX");
        fillTo(kMaxIndexedBlocks + 1);
        EXPECT_EQ(grow->header().blockCode, kLargestBlockCode);
        expectCleanIndex(folder / "Grow.PX");
        fillTo(kMaxBlocks);
        expectCleanIndex(folder / "Grow.PX");
    }
    db = std::make_unique<Database>(folder);
    db->execute("INSERT INTO \"Grow\" (SBSID, A) VALUES (" + std::to_string(2 * rows) + ", 'after')");
    db->execute("INSERT INTO \"Grow\" (SBSID, A) VALUES (1, 'below')");
    EXPECT_THROW(db->execute("INSERT INTO \"Grow\" (SBSID, A) VALUES (4, 'dup')"), SqlError);

    const Header& grown = db->table("Grow").header();
    EXPECT_EQ(grown.blockCode, kLargestBlockCode);
    EXPECT_EQ(grown.version, kVersion7);
    EXPECT_EQ(grown.recordSize, h.recordSize);
    EXPECT_EQ(db->table("Grow").recordCount(), std::uint32_t(rows + 2));
    const auto read = engineRows(*db, "Grow");
    const std::string blanks(7, ',');
    ASSERT_EQ(read.size(), std::size_t(rows + 2));
    EXPECT_EQ(read[0], "0," + blanks);
    EXPECT_EQ(read[1], "1,below" + blanks);
    EXPECT_EQ(read[2], "2," + blanks);
    EXPECT_EQ(read.back(), std::to_string(2 * rows) + ",after" + blanks);
    expectClean(folder / "Grow.DB");
    expectCleanIndex(folder / "Grow.PX");
}

// A primary index made for rows that fill more blocks than it can number raises the table
// to 32 KB blocks first. An unkeyed table numbers all 65,535 blocks; here 32,768 of 1 KB.
TEST_F(Files, APrimaryIndexOnMoreBlocksThanItCanNumberRaisesTheTable)
{
    db->execute(R"(CREATE TABLE "Wide" ("SBSID" INT, "A" CHAR(255), "B" CHAR(255), "C" CHAR(255)))");
    Header h = db->table("Wide").header();
    h.blockCode = 1;
    h.tableName = "Many";
    Table::create(folder, "Many", h);
    {
        // Straight to the table: the statements would only spend time parsing the same row.
        const auto table = Table::open(folder / "Many.DB");
        std::string record(h.recordSize, '\0');
        for (int i = kMaxIndexedBlocks; i >= 0; --i) {
            encodeInt(reinterpret_cast<unsigned char*>(record.data()), 4, i);
            ASSERT_EQ(table->append(record, {}), Table::Result::Ok);
        }
        EXPECT_EQ(table->header().fileBlocks, kMaxIndexedBlocks + 1);
        EXPECT_EQ(table->header().blockCode, 1);
    }
    db->execute(R"(CREATE INDEX "Many" ON "Many" ("SBSID") with primary)");
    const Header& keyed = db->table("Many").header();
    EXPECT_EQ(keyed.blockCode, kLargestBlockCode);
    EXPECT_EQ(keyed.numRecords, std::uint32_t(kMaxIndexedBlocks + 1));
    expectClean(folder / "Many.DB");
    expectCleanIndex(folder / "Many.PX");
}

TEST_F(Files, PrimaryIndexOnAFilledTableSortsItsRows)
{
    db->execute(R"(CREATE TABLE "P" ("ID" SMALLINT, "Name" CHAR(10)))");
    for (int id : {5, -3, 9, 0}) db->execute("INSERT INTO P VALUES (" + std::to_string(id) + ", 'n" + std::to_string(id) + "')");
    db->execute(R"(CREATE INDEX "P" ON "P" ("ID") with primary)");
    EXPECT_EQ(engineRows(*db, "P"), (std::vector<std::string>{"-3,n-3", "0,n0", "5,n5", "9,n9"}));
    expectClean(folder / "P.DB");
    expectCleanIndex(folder / "P.PX");

    db->execute(R"(CREATE TABLE "Q" ("ID" INT))");
    db->execute("INSERT INTO Q VALUES (1)");
    db->execute("INSERT INTO Q VALUES (1)");
    try {
        db->execute(R"(CREATE INDEX "Q" ON "Q" ("ID") with primary)");
        FAIL();
    } catch (const SqlError& e) {
        EXPECT_STREQ(e.what(), "SQL error at position 26: table \"Q\" holds rows with the same key, so the primary index cannot be created");
    }
    EXPECT_FALSE(db->table("Q").keyed());
}

TEST_F(Files, DropRemovesTheWholeFamilyFoundWithoutRegardToCase)
{
    for (const char* f : {"ORDERS.DB", "ORDERS.PX", "orders.mb", "Orders.X02", "ORDERS.Y02", "ORDERS.XG0", "ORDERS.VAL", "ORDERS.TV", "ORDERS.FAM",
                          "ORDERSX.DB", "ORDERS.TXT"})
        ptest::writeFile(folder / f, "x");
    // Removed first: the C++ library of mingw-w64 does not copy over a file.
    fs::remove(folder / "ORDERS.DB");
    fs::copy_file(testsupport::pxlibSamples() / "keyed.db", folder / "ORDERS.DB");
    EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"ORDERS", "ORDERSX"}));
    db->execute(R"(DROP TABLE "Orders";)");
    // A DROP takes effect with the next statement that is not the CREATE TABLE of a replacement.
    EXPECT_THROW(db->execute(R"(DROP TABLE "Orders";)"), SqlError);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(folder)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".quillmere.lock", "ORDERS.TXT", "ORDERSX.DB"}));   // the writer's lock
}

// Tables written by pxlib (tests/reader/pxsample.cpp): appended to, read and dropped.
TEST_F(Files, PxlibSamplesCanBeAppendedToAndDropped)
{
    for (const char* f : {"keyed.db", "keyed.px", "types.db", "memo.db", "memo.mb", "extra.db", "empty.db", "empty.px"}) {
        fs::copy_file(testsupport::pxlibSamples() / f, folder / f);
        fs::permissions(folder / f, fs::perms::owner_write, fs::perm_options::add);
    }
    db->execute("INSERT INTO keyed VALUES (300, 'new row', 1.25)");
    db->execute("INSERT INTO keyed VALUES (-1, 'first', 2)");
    EXPECT_THROW(db->execute("INSERT INTO keyed VALUES (7, 'dup', 2)"), SqlError);
    db->execute("INSERT INTO types VALUES ('more', 5, 6, 7.5, 8.25, '2024-02-29', '2024-02-29 13:14:15', 1)");
    db->execute("INSERT INTO memo VALUES (9, 'a memo added later, longer than its ten-byte leader')");
    db->execute("INSERT INTO extra VALUES ('13:14:15', 3.14, 'ab', 4)");
    db->execute("INSERT INTO empty VALUES (1, 'one', 1)");
    for (const char* t : {"keyed", "types", "memo", "extra", "empty"}) {
        const auto r = ptest::pxcheck(folder / (std::string(t) + ".db"));
        EXPECT_EQ(r.status, 0) << t << "\n" << r.out;
    }
    expectCleanIndex(folder / "keyed.px");
    expectCleanIndex(folder / "empty.px");
    const auto keyed = engineRows(*db, "keyed");
    ASSERT_EQ(keyed.size(), 302u);
    EXPECT_EQ(keyed.front(), "-1,first,2");
    EXPECT_EQ(keyed.back(), "300,new row,1.25");
    EXPECT_EQ(engineRows(*db, "memo").back(), "9,a memo added later, longer than its ten-byte leader");
    EXPECT_EQ(engineRows(*db, "extra").back(), "13:14:15,3.14,61620000,4");
    const auto r = ptest::pxcheck(folder / "types.db");
    EXPECT_EQ(ptest::pxcheckRecords(r.out).back(), "more,5,6,7.5,8.25,2024-02-29,2024-02-29 13:14:15,true");
    for (const char* t : {"keyed", "types", "memo", "extra", "empty"}) db->execute(std::string("DROP TABLE ") + t);
    db.reset();   // the last DROP takes effect as the Database closes
    EXPECT_TRUE(fs::is_empty(folder));
}

// Records from 1 byte to the largest block: 5.x up to 4 KB blocks, 7.x above.
TEST_F(Files, RecordAndBlockSizeSweep)
{
    int n = 0;
    for (int width : {1, 2, 57, 255, 1000, 2044, 4085, 4090, 4091, 8000, 16000, 32762}) {
        const std::string name = "W" + std::to_string(n++);
        std::string cols;
        int left = width, c = 0;
        while (left > 0) {
            const int w = std::min(left, 255);
            cols += (c ? ", " : "") + ("C" + std::to_string(c)) + " CHAR(" + std::to_string(w) + ")";
            left -= w;
            ++c;
        }
        db->execute("CREATE TABLE " + name + " (" + cols + ")");
        db->execute("CREATE INDEX " + name + " ON " + name + " (C0) WITH PRIMARY");
        const int rows = width > 4000 ? 12 : 40;
        for (int i = 0; i < rows; ++i) {
            char key[8];
            std::snprintf(key, sizeof key, "%03d", i);
            const std::string k = width < 3 ? std::string(1, char('A' + i)) : std::string(key);
            db->execute("INSERT INTO " + name + " (C0) VALUES ('" + k + "')");
        }
        Table& t = db->table(name);
        EXPECT_EQ(t.header().version, width <= 4090 ? kVersion5 : kVersion7) << width;
        EXPECT_GE(t.header().blockSize() - 6, width);
        const auto r = ptest::pxcheck(t.path());
        EXPECT_EQ(r.status, 0) << width << "\n" << r.out.substr(0, 2000);
        expectCleanIndex(fs::path(t.path()).replace_extension(".PX"));
    }
}

// Blocks whose chain runs back and forth through the file, as a table changed in place leaves
// them, with runs in disk order longer and shorter than what the engine reads at once.
TEST_F(Files, ABlockChainThatJumpsAboutTheFileIsReadInChainOrder)
{
    db->execute(R"(CREATE TABLE "T" ("ID" INT, "Pad" CHAR(200)))");
    for (int i = 0; i < 3000; ++i) db->execute("INSERT INTO T VALUES (" + std::to_string(i) + ", 'row " + std::to_string(i) + "')");
    const std::vector<std::string> expected = engineRows(*db, "T");
    const std::string bytes = ptest::readFile(folder / "T.DB");
    const std::size_t headerSize = 0x800, blockSize = 4096;
    const int blocks = int((bytes.size() - headerSize) / blockSize);
    ASSERT_EQ(blocks, 150);

    // Where each block of the chain lies: a long run forward, one backward, short runs, single jumps.
    std::vector<int> place;
    for (int b = 71; b <= 150; ++b) place.push_back(b);
    for (int b = 30; b >= 1; --b) place.push_back(b);
    for (int b = 31; b <= 70; b += 5)
        for (int k : {2, 0, 1, 3, 4}) place.push_back(b + k);
    ASSERT_EQ(place.size(), std::size_t(blocks));
    std::string moved = bytes;
    auto put16 = [&](std::size_t at, int v) {
        moved[at] = char(v & 0xff);
        moved[at + 1] = char(v >> 8);
    };
    for (int i = 0; i < blocks; ++i) {
        const std::size_t to = headerSize + std::size_t(place[std::size_t(i)] - 1) * blockSize;
        moved.replace(to, blockSize, bytes, headerSize + std::size_t(i) * blockSize, blockSize);
        put16(to, i + 1 < blocks ? place[std::size_t(i) + 1] : 0);
        put16(to + 2, i > 0 ? place[std::size_t(i) - 1] : 0);
    }
    put16(0x0E, place.front());
    put16(0x10, place.back());
    ptest::writeFile(folder / "J.DB", moved);

    Database reopened(folder);
    EXPECT_EQ(ptest::engineRows(reopened.table("J")), expected);
    expectClean(folder / "J.DB");
}

TEST_F(Files, DamagedFilesFailWithAClearError)
{
    fs::copy_file(testsupport::pxlibSamples() / "keyed.db", folder / "bad.db");
    std::string bytes = ptest::readFile(folder / "bad.db");
    bytes[0x1802] = 7;   // previous-block link of block 3
    ptest::writeFile(folder / "bad.db", bytes);
    try {
        db->table("bad");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "The Paradox file '" + (folder / "bad.db").string() + "' is damaged: block 3 links back to 7");
    }
    ptest::writeFile(folder / "short.db", bytes.substr(0, 0x900));
    EXPECT_THROW(db->table("short"), Error);
}

// gnumeric reads the table through pxlib too; it fails at random (a pxlib fault), so it
// gets ten tries.
TEST_F(Files, SsconvertOpensTheTable)
{
    const fs::path ssconvert = "/usr/bin/ssconvert";
    if (!fs::exists(ssconvert)) GTEST_SKIP() << "ssconvert is not installed";
    db->execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "Customer" TEXT, "Amount" CURRENCY, "Placed" TIMESTAMP, "Day" DATE);)");
    db->execute(R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)");
    db->execute(R"(INSERT INTO "Orders" VALUES (0, 'O''Neil', 12.5, '08/31/2021 14:05:00', '08/31/2021');)");
    db->execute(R"(INSERT INTO "Orders" VALUES (1, 'Zoë', -3.75, '09/01/2021', '09/01/2021');)");
    const fs::path csv = folder / "Orders.csv";
    bool converted = false;
    for (int attempt = 0; attempt < 10 && !converted; ++attempt)
        converted = ptest::run({ssconvert.string(), testsupport::readerPath(folder / "Orders.DB"), testsupport::readerPath(csv)}).status == 0 &&
                    fs::exists(csv);
    ASSERT_TRUE(converted);
    const std::string text = ptest::readFile(csv);
    EXPECT_NE(text.find("O'Neil"), std::string::npos) << text;
    EXPECT_NE(text.find("Zoë"), std::string::npos) << text;
    EXPECT_NE(text.find("12.5"), std::string::npos) << text;
}

#ifndef _WIN32
// A database of hundreds of tables made in one run: an engine that kept every table it had
// written open ran out of file descriptors (1,024 by default) after some 500 tables, and every
// table after failed. Here the process may open 64 files more than it has open.
TEST_F(Files, ARunOfManyTablesKeepsFewFilesOpen)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    int highest = 0;
    for (int fd = 0; fd < 4096; ++fd)
        if (::fcntl(fd, F_GETFD) != -1) highest = fd;
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(highest + 1 + 64);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    constexpr int kTables = 150;
    std::string failure;
    for (int i = 1; i <= kTables && failure.empty(); ++i) {
        const std::string table = "\"T" + std::to_string(i) + "\"";
        failure = ptest::engineError([&] {
            db->execute("CREATE TABLE " + table + " (\"ID\" INT, \"Memo\" MEMO)");
            db->execute("CREATE INDEX " + table + " ON " + table + " (\"ID\") WITH PRIMARY");
            db->execute("INSERT INTO " + table + " VALUES (1, '" + std::string(300, 'm') + "')");
            db->execute("INSERT INTO " + table + " VALUES (2, 'short')");
        });
        if (!failure.empty()) failure = "table " + std::to_string(i) + ": " + failure;
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_EQ(failure, "");
    // The first tables, closed long since, open again as they were.
    EXPECT_EQ(engineRows(*db, "T1"), (std::vector<std::string>{"1," + std::string(300, 'm'), "2,short"}));
    db->execute("INSERT INTO \"T1\" VALUES (3, 'again')");
    EXPECT_EQ(engineRows(*db, "T1").size(), 3u);
    expectClean(folder / "T1.DB");
    expectCleanIndex(folder / "T1.PX");
}
#endif
