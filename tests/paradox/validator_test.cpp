// Statements checked without writing meet the same refusals, with the same texts, as the same
// statements executed in the same order; the folder stays as it was, unlocked.
#include "Helpers.h"

#include "TestPaths.h"
#include "paradox/Database.h"
#include "paradox/Validator.h"

#include <gtest/gtest.h>

#include <map>

using namespace paradox;
namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) files[entry.path().filename().string()] = ptest::readFile(entry.path());
    return files;
}

// A folder holding Old (keyed, rows 1 and 2) and Loose (unkeyed, two rows of the same key).
fs::path folderWithTables(const std::string& name)
{
    const auto folder = testsupport::freshFolder(name);
    Database db(folder);
    for (const char* statement : {R"(CREATE TABLE "Old" ("SBSID" INT, "Name" TEXT(10));)", R"(CREATE INDEX "Old" ON "Old" ("SBSID") with primary)",
                                  R"(INSERT INTO "Old" VALUES (1, 'one');)", R"(INSERT INTO "Old" VALUES (2, 'two');)",
                                  R"(CREATE TABLE "Loose" ("SBSID" INT);)", R"(INSERT INTO "Loose" VALUES (5);)", R"(INSERT INTO "Loose" VALUES (5);)"})
        db.execute(statement);
    return folder;
}

struct Outcome {
    bool refused = false;
    std::string what;
    Problem problem = Problem::Other;
    std::string column, columnType;
    bool operator==(const Outcome&) const = default;
};

template <class Run>
Outcome outcomeOf(Run&& run)
{
    try {
        run();
        return {};
    } catch (const SqlError& e) {
        return {true, e.what(), e.problem(), e.column(), e.columnType()};
    }
}

const char* problemName(Problem p)
{
    switch (p) {
    case Problem::Other: return "other";
    case Problem::TextTooLong: return "text";
    case Problem::NotInCodePage: return "code page";
    case Problem::NumberOutOfRange: return "number";
    case Problem::DateOutOfRange: return "date";
    case Problem::BcdDigits: return "bcd";
    case Problem::DuplicateKey: return "duplicate";
    case Problem::TableFull: return "full";
    }
    return "?";
}

}  // namespace

TEST(Validator, RefusesWhatARunRefusesAndWritesNothing)
{
    // Each statement with the kind a run refuses it for; "" means it goes through.
    const std::vector<std::pair<std::string, std::string>> script{
        {R"(CREATE TABLE "T" ("SBSID" INT, "Name" TEXT(5), "Qty" SMALLINT, "N" INT, "Amount" DECIMAL, "Price" CURRENCY, "Day" DATE);)", ""},
        {R"(CREATE INDEX "T" ON "T" ("SBSID") with primary)", ""},
        {R"(INSERT INTO "T" VALUES (1, 'short', 1, 1, 1.5, 2.25, '01/02/2003');)", ""},
        {R"(INSERT INTO "T" VALUES (2, 'longer', 1, 1, 1, 1, NULL);)", "text"},
        {"INSERT INTO \"T\" VALUES (3, '\xCE\xA9mega', 1, 1, 1, 1, NULL);", "code page"},
        {R"(INSERT INTO "T" VALUES (4, 'a', 40000, 1, 1, 1, NULL);)", "number"},
        {R"(INSERT INTO "T" VALUES (5, 'a', 1, 3000000000, 1, 1, NULL);)", "number"},
        {R"(INSERT INTO "T" VALUES (6, 'a', 1, 1, 1, 12345678901234567890.5, NULL);)", "number"},
        {R"(INSERT INTO "T" VALUES (7, 'a', 1, 1, 0.12345678, 1, NULL);)", "bcd"},
        {R"(INSERT INTO "T" VALUES (8, 'a', 1, 1, 1e30, 1, NULL);)", "bcd"},
        {R"(INSERT INTO "T" VALUES (9, 'a', 1, 1, 1, 1, '02/30/2003');)", "date"},
        {R"(INSERT INTO "T" VALUES (10, 'a', 1, 1, 1, 1, '01/02/2003 10:00:00');)", "date"},
        {R"(INSERT INTO "T" VALUES (1, 'again', 1, 1, 1, 1, NULL);)", "duplicate"},
        {R"(INSERT INTO "T" VALUES (0, 'below', 1, 1, 1, 1, NULL);)", ""},
        {R"(INSERT INTO "T" VALUES (0, 'below', 1, 1, 1, 1, NULL);)", "duplicate"},
        {R"(INSERT INTO "T" ("Name", "SBSID") VALUES ('named', 11);)", ""},
        {R"(INSERT INTO "T" VALUES (12, 'few');)", "other"},
        {R"(CREATE TABLE "t" ("SBSID" INT);)", "other"},
        // The folder's own tables: their rows and keys count.
        {R"(INSERT INTO "Old" VALUES (2, 'dup');)", "duplicate"},
        {R"(INSERT INTO "Old" VALUES (3, 'three');)", ""},
        {R"(CREATE INDEX "Loose" ON "Loose" ("SBSID") with primary)", "other"},
        {R"(INSERT INTO "Missing" VALUES (1);)", "other"},
        // A replacement whose definition fails leaves the old table, which then takes the rows.
        {R"(DROP TABLE "Old";)", ""},
        {R"(CREATE TABLE "Old" ("SBSID" INT, "Bad" NOSUCHTYPE);)", "other"},
        {R"(INSERT INTO "Old" VALUES (1, 'dup');)", "duplicate"},
        // One that goes through starts empty.
        {R"(DROP TABLE "Old";)", ""},
        {R"(CREATE TABLE "Old" ("SBSID" INT, "Name" TEXT(3));)", ""},
        {R"(CREATE INDEX "Old" ON "Old" ("SBSID") with primary)", ""},
        {R"(INSERT INTO "Old" VALUES (1, 'new');)", ""},
        {R"(INSERT INTO "Old" VALUES (1, 'new');)", "duplicate"},
        {R"(DROP TABLE "Loose";)", ""},
        {R"(INSERT INTO "Loose" VALUES (6);)", "other"},
    };
    const fs::path executed = folderWithTables("validator-executed");
    const fs::path checked = folderWithTables("validator-checked");
    const auto before = snapshot(checked);

    Database db(executed);
    Validator validator(checked);
    for (const auto& [statement, kind] : script) {
        const Outcome real = outcomeOf([&] { db.execute(statement); });
        const Outcome check = outcomeOf([&] { validator.validate(statement); });
        EXPECT_EQ(check, real) << statement << "\n  run:   " << real.what << "\n  check: " << check.what;
        EXPECT_EQ(real.refused ? problemName(real.problem) : "", kind) << statement << ": " << real.what;
    }
    EXPECT_EQ(snapshot(checked), before);
}

TEST(Validator, ARefusedRowNamesEveryColumnWhoseValueDoesNotFit)
{
    Validator validator(testsupport::freshFolder("validator-column"));
    validator.validate(R"(CREATE TABLE "T" ("SBSID" INT, "Name" TEXT(5), "Qty" SMALLINT, "Note" TEXT(2));)");
    std::vector<SqlError> others;
    try {
        validator.validate(R"(INSERT INTO "T" VALUES (1, 'longer', 70000, 'ok');)", &others);
        FAIL() << "the long text went through";
    } catch (const SqlError& e) {
        EXPECT_EQ(e.problem(), Problem::TextTooLong);
        EXPECT_EQ(e.column(), "Name");
        EXPECT_EQ(e.columnType(), "Alpha 5");
    }
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0].problem(), Problem::NumberOutOfRange);
    EXPECT_EQ(others[0].column(), "Qty");
    EXPECT_EQ(others[0].columnType(), "Short");
    // The refused row left no key behind.
    validator.validate(R"(INSERT INTO "T" VALUES (1, 'a', 1, 'ok');)", &others);
    EXPECT_TRUE(others.empty());
}

TEST(Validator, AFolderThatIsNotThereHoldsNoTable)
{
    Validator validator(testsupport::freshFolder("validator-none") / "not-made");
    EXPECT_THROW(validator.validate(R"(DROP TABLE "T";)"), SqlError);
    validator.validate(R"(CREATE TABLE "T" ("SBSID" INT);)");
    validator.validate(R"(INSERT INTO "T" VALUES (1);)");
}

TEST(Validator, ATableTakesNoMoreRowsThanItsBlocksHold)
{
    // Records of more than half the largest block: one a block, and a keyed table numbers
    // 32,767 blocks.
    std::string columns = "\"SBSID\" INT";
    for (int i = 0; i < 65; ++i) columns += ", \"C" + std::to_string(i) + "\" TEXT(255)";
    Validator validator(testsupport::freshFolder("validator-full"));
    validator.validate("CREATE TABLE \"Wide\" (" + columns + ");");
    validator.validate(R"(CREATE INDEX "Wide" ON "Wide" ("SBSID") with primary)");
    for (int row = 1; row <= 32767; ++row) validator.validate("INSERT INTO \"Wide\" (\"SBSID\") VALUES (" + std::to_string(row) + ");");
    try {
        validator.validate(R"(INSERT INTO "Wide" ("SBSID") VALUES (0);)");
        FAIL() << "the table took a row more than its blocks hold";
    } catch (const SqlError& e) {
        EXPECT_EQ(e.problem(), Problem::TableFull) << e.what();
        EXPECT_NE(std::string(e.what()).find("holds at most 32767 blocks of 32768 bytes"), std::string::npos) << e.what();
    }
}
