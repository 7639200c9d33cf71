// Damaged tables and changes that fail halfway: every statement that names such a table
// fails with the engine's error, as often as it is tried, and never crashes the process.
#include "Helpers.h"
#include "FileSizeLimit.h"

#include "TestPaths.h"
#include "paradox/Database.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace fs = std::filesystem;
using namespace paradox;

namespace {

class Damaged : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = testsupport::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        db = std::make_unique<Database>(folder);
    }

    // The engine's message for a statement (or a table opened), empty when it went through.
    std::string failure(const std::function<void()>& step)
    {
        try {
            step();
        } catch (const Error& e) {
            return e.what();
        }
        return {};
    }

    // Every row, read through the engine, every field as text.
    void readAll(const std::string& table)
    {
        Table& t = db->table(table);
        t.forEach([&](const unsigned char* r) {
            for (std::size_t i = 0; i < t.header().fields.size(); ++i) fieldText(t, int(i), r);
        });
    }

    fs::path folder;
    std::unique_ptr<Database> db;
};

}  // namespace

TEST_F(Damaged, EveryStatementNamingADamagedTableFailsTheSameWay)
{
    std::string bytes = ptest::readFile(testsupport::pxlibSamples() / "keyed.db");
    bytes[0x1802] = 7;   // previous-block link of block 3
    ptest::writeFile(folder / "bad.db", bytes);
    const std::string expected = "The Paradox file '" + (folder / "bad.db").string() + "' is damaged: block 3 links back to 7";
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(failure([&] { db->execute("INSERT INTO bad VALUES (1000, 'x', 1)"); }), expected);
        EXPECT_EQ(failure([&] { db->execute("insert into \"BAD\" (ID) values (1001)"); }), expected);
        EXPECT_EQ(failure([&] { db->execute(R"(CREATE INDEX bad ON bad ("ID") WITH PRIMARY)"); }), expected);
        EXPECT_EQ(failure([&] { db->table("Bad"); }), expected);
    }
    // Mended on disk, the table is found afresh.
    ptest::writeFile(folder / "bad.db", ptest::readFile(testsupport::pxlibSamples() / "keyed.db"));
    EXPECT_EQ(failure([&] { db->execute("INSERT INTO bad VALUES (1000, 'x', 1)"); }), "");
    EXPECT_EQ(db->table("bad").recordCount(), 301u);
}

// A new primary index that cannot be written (the file-size limit stands in for a full disk)
// leaves the table as its files hold it: unkeyed, and still taking rows.
TEST_F(Damaged, AChangeThatFailsHalfwayLeavesTheTableAsItsFilesHoldIt)
{
    db->execute(R"(CREATE TABLE "T" ("ID" INT, "Pad" CHAR(200)))");
    for (int i = 0; i < 200; ++i) db->execute("INSERT INTO T VALUES (" + std::to_string(i) + ", 'p')");
    // Read through the engine, the file ends with its last block.
    db->table("T");
    const auto before = ptest::readFile(folder / "T.DB");

    std::string message;
    {
        const ptest::FileSizeLimit limit(16 * 1024);
        message = failure([&] { db->execute(R"(CREATE INDEX T ON T ("ID") WITH PRIMARY)"); });
    }
    EXPECT_NE(message.find("File too large"), std::string::npos) << message;

    EXPECT_EQ(ptest::readFile(folder / "T.DB"), before);
    EXPECT_FALSE(db->table("T").keyed());
    db->execute("INSERT INTO T VALUES (1, 'again')");
    EXPECT_EQ(db->table("T").recordCount(), 201u);
    const auto r = ptest::pxcheck(folder / "T.DB");
    EXPECT_EQ(r.status, 0) << r.out;
}

// Copies of a real keyed table with a few bytes changed at random (a fixed seed, so a failure
// repeats) or cut short, each used by several statements through one Database, so that
// tables that failed to open and tables opened before sit side by side in its cache.
TEST_F(Damaged, DamagedCopiesOfARealTableFailCleanly)
{
    db->execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "Customer" CHAR(30), "Amount" CURRENCY, "Placed" TIMESTAMP, "Note" MEMO))");
    db->execute(R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") WITH PRIMARY)");
    for (int i = 0; i < 150; ++i)
        db->execute("INSERT INTO Orders VALUES (" + std::to_string(i * 3) + ", 'customer " + std::to_string(i) + "', " + std::to_string(i) +
                    ".25, '2021-08-31 14:05:00', '" + std::string(std::size_t(i % 40), 'n') + "')");
    const std::string dbBytes = ptest::readFile(folder / "Orders.DB");
    const std::string pxBytes = ptest::readFile(folder / "Orders.PX");
    const std::string mbBytes = ptest::readFile(folder / "Orders.MB");

    std::mt19937 random(20261209);
    int opened = 0;
    for (int copy = 0; copy < 250; ++copy) {
        std::string d = dbBytes, p = pxBytes;
        auto pick = [&](std::size_t size, bool nearStart) {
            const std::size_t span = nearStart ? std::min<std::size_t>(size, 0x900) : size;
            return std::size_t(random() % span);
        };
        const int changes = 1 + int(random() % 4);
        for (int k = 0; k < changes; ++k) {
            std::string& target = random() % 4 == 0 ? p : d;
            target[pick(target.size(), random() % 2 == 0)] = char(random());
        }
        if (random() % 8 == 0) d.resize(pick(d.size(), false));
        const std::string name = "D" + std::to_string(copy % 7);
        failure([&] { db->execute("DROP TABLE " + name); });
        ptest::writeFile(folder / (name + ".DB"), d);
        ptest::writeFile(folder / (name + ".PX"), p);
        ptest::writeFile(folder / (name + ".MB"), mbBytes);
        SCOPED_TRACE("copy " + std::to_string(copy));
        const std::vector<std::function<void()>> statements{
            [&] { readAll(name); },
            [&] { db->execute("INSERT INTO " + name + " VALUES (100000, 'new', 1, NULL, 'a memo long enough for the MB file')"); },
            [&] { db->execute("INSERT INTO " + name + " VALUES (2, 'below', 2, NULL, NULL)"); },
            [&] { readAll(name); },
            [&] { db->execute("INSERT INTO " + name + " VALUES (100000, 'twice', 3, NULL, NULL)"); },
        };
        std::string first;
        for (const auto& statement : statements) {
            const std::string message = failure(statement);
            if (first.empty()) first = message.empty() ? "ok" : message;
        }
        opened += first == "ok";
    }
    // Both kinds were met: copies the engine opened and copies it refused.
    EXPECT_GT(opened, 0);
    EXPECT_LT(opened, 250);
}
