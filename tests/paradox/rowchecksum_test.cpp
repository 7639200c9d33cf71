// Row checksums: taken while inserting, the same when the table is read back from its files,
// blind to where the blob file keeps a blob, and changed by one byte altered on disk.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/Database.h"
#include "paradox/RowChecksum.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace fs = std::filesystem;
using namespace paradox;

namespace {

std::map<std::string, std::uint64_t> readBack(const fs::path& db)
{
    std::map<std::string, std::uint64_t> rows;
    readRowChecksums(db, [&](std::uint64_t checksum, const std::function<std::string()>& name) { rows[name()] = checksum; });
    return rows;
}

// Inserts the row and returns the checksum the engine took of it.
std::uint64_t insert(Database& db, const std::string& statement)
{
    db.execute(statement);
    const auto checksum = db.lastRowChecksum();
    EXPECT_TRUE(checksum.has_value()) << statement;
    return checksum.value_or(0);
}

void flipByte(const fs::path& file, std::size_t at)
{
    std::string bytes = ptest::readFile(file);
    ASSERT_LT(at, bytes.size());
    bytes[at] = char(bytes[at] ^ 0x20);
    ptest::writeFile(file, bytes);
}

// A table folder of its own for each test, named after it.
struct Written {
    fs::path folder = testsupport::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    Database db{folder};
};

const std::string kShared(300, 'm');         // in a block the blob file shares
const std::string kOwnBlock(5000, 'o');      // in a block of its own

}  // namespace

// Rows inserted out of key order (the table is rewritten in key order), with memos and blobs in
// the leader, in a shared block, in a block of their own, empty and NULL: read back, each key
// has the checksum its insert gave.
TEST(RowChecksums, ReadBackGivesEveryRowTheChecksumOfItsInsert)
{
    Written t;
    t.db.execute(R"(CREATE TABLE "T" ("K" INT, "A" CHAR(10), "M" MEMO, "B" LONGBINARY))");
    EXPECT_FALSE(t.db.lastRowChecksum());
    t.db.execute(R"(CREATE INDEX "T" ON "T" ("K") WITH PRIMARY)");
    std::map<std::string, std::uint64_t> written;
    written["K 5"] = insert(t.db, "INSERT INTO \"T\" VALUES (5, 'five', '" + kOwnBlock + "', 'b5')");
    written["K 1"] = insert(t.db, "INSERT INTO \"T\" VALUES (1, 'one', 'short', '" + kShared + "')");
    written["K 3"] = insert(t.db, "INSERT INTO \"T\" VALUES (3, 'three', '" + kShared + "', '" + kOwnBlock + "')");
    written["K 2"] = insert(t.db, R"(INSERT INTO "T" VALUES (2, NULL, '', NULL))");
    written["K 4"] = insert(t.db, R"(INSERT INTO "T" ("K") VALUES (4))");

    EXPECT_THROW(t.db.execute(R"(INSERT INTO "T" VALUES (3, 'again', NULL, NULL))"), SqlError);
    EXPECT_FALSE(t.db.lastRowChecksum()) << "a refused row has no checksum";

    EXPECT_EQ(readBack(t.folder / "T.DB"), written);
    EXPECT_EQ(written.size(), 5u);
    EXPECT_NE(written["K 2"], written["K 4"]) << "the key alone tells these rows apart";
}

// The same values give the same checksum wherever the blob file keeps the memo; one byte more
// or less in the memo's contents, past the leader, gives another.
TEST(RowChecksums, ABlobCountsByItsContentsNotByItsPlace)
{
    Written t;
    t.db.execute(R"(CREATE TABLE "U" ("A" CHAR(5), "M" MEMO(10)))");
    std::string changed = kShared;
    changed.back() = 'n';
    const std::uint64_t first = insert(t.db, "INSERT INTO \"U\" VALUES ('x', '" + kShared + "')");
    const std::uint64_t other = insert(t.db, "INSERT INTO \"U\" VALUES ('x', '" + changed + "')");
    const std::uint64_t longer = insert(t.db, "INSERT INTO \"U\" VALUES ('x', '" + kShared + "m')");
    const std::uint64_t again = insert(t.db, "INSERT INTO \"U\" VALUES ('x', '" + kShared + "')");

    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    EXPECT_NE(first, longer);
    const std::map<std::string, std::uint64_t> expected{{"record 1", first}, {"record 2", other}, {"record 3", longer}, {"record 4", again}};
    EXPECT_EQ(readBack(t.folder / "U.DB"), expected);
}

// One byte of a memo's contents changed in the .MB file after the table was written: that row,
// and only that one, reads back with another checksum. (A byte of the .DB file: the run's test.)
TEST(RowChecksums, OneByteOfAMemoChangedOnDiskChangesTheChecksumOfItsRowOnly)
{
    Written t;
    t.db.execute(R"(CREATE TABLE "T" ("K" INT, "M" MEMO))");
    t.db.execute(R"(CREATE INDEX "T" ON "T" ("K") WITH PRIMARY)");
    std::map<std::string, std::uint64_t> written;
    written["K 1"] = insert(t.db, "INSERT INTO \"T\" VALUES (1, '" + kShared + "')");
    written["K 2"] = insert(t.db, "INSERT INTO \"T\" VALUES (2, 'x" + kShared + "')");

    const fs::path blobs = t.folder / "T.MB";
    const std::size_t memo = ptest::readFile(blobs).find('x' + kShared);
    ASSERT_NE(memo, std::string::npos);
    flipByte(blobs, memo + 200);
    auto read = readBack(t.folder / "T.DB");
    EXPECT_NE(read["K 2"], written["K 2"]);
    read["K 2"] = written["K 2"];
    EXPECT_EQ(read, written);
}

// Mostly empty records: the same text in each of four fields (each a 32-byte stripe of the
// record, the others zeros) gives four checksums, and none equals the empty row's.
TEST(RowChecksums, TheSameBytesInAnotherFieldGiveAnotherChecksum)
{
    Written t;
    t.db.execute(R"(CREATE TABLE "Z" ("A" CHAR(32), "B" CHAR(32), "C" CHAR(32), "D" CHAR(32)))");
    std::set<std::uint64_t> sums{insert(t.db, R"(INSERT INTO "Z" VALUES (NULL, NULL, NULL, NULL))")};
    for (const char* row : {"'same', NULL, NULL, NULL", "NULL, 'same', NULL, NULL", "NULL, NULL, 'same', NULL", "NULL, NULL, NULL, 'same'"})
        sums.insert(insert(t.db, std::string("INSERT INTO \"Z\" VALUES (") + row + ")"));
    EXPECT_EQ(sums.size(), 5u);
}

// A table of some megabytes is read back in shares, half of them on a second thread: the rows
// still come in key order, each named as itself; a byte changed on disk changes its row only;
// a blob file cut short stops the reading at the first row it cuts, after every row before.
TEST(RowChecksums, ALargeTableReadsBackInKeyOrderWhicheverThreadReadsItsPart)
{
    const fs::path folder = testsupport::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    const int rows = 9000;
    const auto text = [](int k) { return "row " + std::to_string(k) + " of the table"; };
    std::vector<std::uint64_t> written;
    {
        // Closed before its files are changed underneath: Windows would not let them be rewritten.
        Database writer(folder);
        writer.execute(R"(CREATE TABLE "T" ("K" INT, "A" CHAR(255), "B" CHAR(255), "M" MEMO(1)))");
        writer.execute(R"(CREATE INDEX "T" ON "T" ("K") WITH PRIMARY)");
        for (int k = 1; k <= rows; ++k)
            written.push_back(insert(writer, "INSERT INTO \"T\" VALUES (" + std::to_string(k) + ", '" + text(k) + "', 'b', 'memo of " + text(k) + "')"));
    }
    const fs::path db = folder / "T.DB";
    ASSERT_GT(fs::file_size(db), 4u << 20) << "the table must span several shares";

    const auto readAll = [&](std::vector<std::uint64_t>& read) {
        read.clear();
        readRowChecksums(db, [&](std::uint64_t checksum, const std::function<std::string()>& name) {
            read.push_back(checksum);
            if (read.size() % 97 == 0) {
                EXPECT_EQ(name(), "K " + std::to_string(read.size()));
            }
        });
    };
    std::vector<std::uint64_t> read;
    readAll(read);
    EXPECT_EQ(read, written);

    for (const int changed : {150, 2500, 4321, 8999}) {
        const std::string bytes = ptest::readFile(db);
        const std::size_t at = bytes.find(text(changed) + '\0');
        ASSERT_NE(at, std::string::npos);
        flipByte(db, at);
        std::string named;
        std::size_t place = 0;
        readRowChecksums(db, [&](std::uint64_t checksum, const std::function<std::string()>& name) {
            if (checksum != written[place++]) named += name() + ";";
        });
        EXPECT_EQ(named, "K " + std::to_string(changed) + ";");
        flipByte(db, at);
    }

    const fs::path blobs = folder / "T.MB";
    for (const int cut : {7777, 5000, 2600, 1200, 30}) {
        const std::size_t at = ptest::readFile(blobs).find("memo of " + text(cut));
        ASSERT_NE(at, std::string::npos);
        fs::resize_file(blobs, at + 4);
        try {
            readAll(read);
            ADD_FAILURE() << "a blob file cut at row " << cut << " read back whole";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("is damaged: a blob is cut short"), std::string::npos) << e.what();
        }
        EXPECT_EQ(read, std::vector<std::uint64_t>(written.begin(), written.begin() + cut - 1)) << "cut at row " << cut;
    }
}
