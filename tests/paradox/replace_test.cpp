// DROP TABLE followed by CREATE TABLE of the same name replaces the table only once the new
// definition, and the primary index that follows it, went through: a definition the engine
// rejects leaves the old table exactly as it was.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/Database.h"
#include "paradox/Table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace paradox;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDrop = R"(DROP TABLE "Orders";)";
constexpr const char* kIndex = R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)";

// Every file of the folder with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) files[entry.path().filename().string()] = ptest::readFile(entry.path());
    return files;
}

// An Orders table with a memo column and two rows, written by a Database that is gone.
fs::path oldOrders(const std::string& name, const std::string& fileStem = "Orders")
{
    const auto folder = testsupport::freshFolder(name);
    {
        Database db(folder);
        db.execute("CREATE TABLE \"" + fileStem + R"(" ("SBSID" INT, "Customer" TEXT, "Notes" MEMO);)");
        db.execute("CREATE INDEX \"" + fileStem + "\" ON \"" + fileStem + R"(" ("SBSID") with primary)");
        db.execute("INSERT INTO \"" + fileStem + "\" VALUES (0, 'Ann', '" + std::string(200, 'n') + "');");
        db.execute("INSERT INTO \"" + fileStem + "\" VALUES (1, 'Bob', NULL);");
    }
    return folder;
}

std::string rejection(Database& db, const std::string& statement)
{
    try {
        db.execute(statement);
    } catch (const Error& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace

TEST(Replace, ARejectedDefinitionKeepsTheOldTable)
{
    std::string manyColumns = R"(CREATE TABLE "Orders" ("SBSID" INT)";
    for (int i = 0; i < 300; ++i) manyColumns += ", \"C" + std::to_string(i) + "\" INT";
    manyColumns += ");";
    const struct {
        const char* name;
        std::string create;
        std::string index;
        const char* reason;
    } cases[] = {
        {"column name too long", R"(CREATE TABLE "Orders" ("SBSID" INT, "A column name far too long for Paradox" TEXT);)", kIndex,
         "is longer than 25 characters"},
        {"300 columns", manyColumns, kIndex, "would have more than 255 columns"},
        {"unknown type", R"(CREATE TABLE "Orders" ("SBSID" INT, "X" WIDGET);)", kIndex, "column \"X\""},
        {"index the engine refuses", R"(CREATE TABLE "Orders" ("SBSID" INT, "Customer" TEXT);)",
         R"(CREATE INDEX "Orders" ON "Orders" ("Customer") with primary)", "must cover the first columns"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto folder = oldOrders(std::string("replace-rejected-") + c.name);
        const auto before = snapshot(folder);
        {
            Database db(folder);
            EXPECT_EQ(rejection(db, kDrop), "accepted");
            const std::string create = rejection(db, c.create);
            const std::string index = create == "accepted" ? rejection(db, c.index) : create;
            EXPECT_NE(index.find(c.reason), std::string::npos) << index;
            // The old table is still the one the folder's statements reach.
            EXPECT_EQ(db.table("Orders").recordCount(), 2u);
        }
        EXPECT_EQ(snapshot(folder), before);
        EXPECT_EQ(ptest::pxcheck(folder / "Orders.DB").status, 0);
    }
}

TEST(Replace, AnAcceptedDefinitionTakesTheOldTablesPlaceAndFileNames)
{
    // A table file named in other letters by another program keeps its name.
    const auto folder = oldOrders("replace-accepted", "ORDERS");
    Database db(folder);
    db.execute(kDrop);
    db.execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "Amount" CURRENCY);)");
    db.execute(kIndex);
    db.execute(R"(INSERT INTO "Orders" VALUES (7, 2.5);)");

    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    // The old table's blob file went with it; nothing is left under a temporary name. The
    // lock file is the open writer's own.
    EXPECT_EQ(names, (std::set<std::string>{".quillmere.lock", "ORDERS.DB", "ORDERS.PX"}));
    const auto check = ptest::pxcheck(folder / "ORDERS.DB");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(ptest::pxcheckRecords(check.out), std::vector<std::string>{"7,2.5"}) << check.out;
    EXPECT_EQ(ptest::pxcheckIndex(folder / "ORDERS.PX").status, 0);
}

TEST(Replace, ADropThatNoCreateFollowsTakesEffect)
{
    {
        const auto folder = oldOrders("replace-drop-insert");
        Database db(folder);
        db.execute(kDrop);
        EXPECT_NE(rejection(db, R"(INSERT INTO "Orders" VALUES (2, 'Cy', NULL);)").find("table \"Orders\" does not exist"),
                  std::string::npos);
        EXPECT_TRUE(db.tableNames().empty());
    }
    {
        const auto folder = oldOrders("replace-drop-last");
        {
            Database db(folder);
            db.execute(kDrop);
        }
        EXPECT_TRUE(fs::is_empty(folder));
    }
    {
        // Without the index the new table is still a table: it takes the old one's place
        // when the statement after it comes, as without a DROP before it.
        const auto folder = oldOrders("replace-no-index");
        Database db(folder);
        db.execute(kDrop);
        db.execute(R"(CREATE TABLE "Orders" ("SBSID" INT);)");
        db.execute(R"(INSERT INTO "Orders" VALUES (5);)");
        EXPECT_EQ(db.tableNames(), std::vector<std::string>{"Orders"});
        EXPECT_FALSE(db.table("Orders").keyed());
        EXPECT_EQ(db.table("Orders").recordCount(), 1u);
    }
}
