// The Paradox driver's connection string opens the Paradox engine on its folder; statements run
// there and the engine's failures come back as db::Error with the engine's text.

#include "TestPaths.h"
#include "db/Ado.h"
#include "db/EngineBackend.h"
#include "db/Paradox.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string paradoxString(const std::filesystem::path& folder)
{
    const std::string f = folder.string();
    return "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=" + f + "\\;Dbq=" + f +
           "\\;CollatingSequence=ASCII;";
}

std::string failureOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const db::Error& e) {
        return e.what();
    }
    return "(no failure)";
}

TEST(EngineBackend, FolderComesFromTheConnectionString)
{
    EXPECT_EQ(db::paradoxFolder(paradoxString("/data/par")), "/data/par");
    EXPECT_EQ(db::paradoxFolder(paradoxString("/data/with blank")), "/data/with blank");
    EXPECT_EQ(db::paradoxFolder("Driver={Microsoft Paradox Driver (*.db )};DefaultDir=/only/default\\;"), "/only/default");
    EXPECT_EQ(db::paradoxFolder("Driver={Microsoft Paradox Driver (*.db )};Dbq=C:\\TestDB\\\\;"), "C:\\TestDB\\");
    EXPECT_EQ(failureOf([] { db::paradoxFolder("Driver={Microsoft Paradox Driver (*.db )};Fil=Paradox 5.X;"); }),
              "The Paradox connection string names no folder (Dbq= or DefaultDir=).");
}

TEST(EngineBackend, TheBuiltStringGivesBackEveryFolderWhole)
{
    // Each would have been cut at its ';' or lost its leading blank, or kept a brace of the quoting.
    for (const std::string folder : {"/data/x;y", "/data/x;y{z}=w", "/data/{braced}", "/data/a}};b", " /lead", "/d/a=b",
                                     "/data/x;", "C:\\data;old\\"}) {
        const std::string text = Paradox::BuildParadoxConnectionString(folder);
        EXPECT_EQ(db::paradoxFolder(text).string(), folder) << text;
    }
    EXPECT_EQ(Paradox::BuildParadoxConnectionString("/d/x;y{z}=w"),
              "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;"
              "DefaultDir={/d/x;y{z}}=w\\};Dbq={/d/x;y{z}}=w\\};CollatingSequence=ASCII;");
}

TEST(EngineBackend, RunsStatementsInTheFolder)
{
    const auto folder = testsupport::freshFolder("statements");
    db::Connection connection;
    connection.CursorLocation = db::adUseClient;
    connection.Open(paradoxString(folder));
    ASSERT_TRUE(connection.isOpen());
    connection.Execute(R"(CREATE TABLE "Customers" ("SBSID" INT, "Name" CHAR(20)))");
    connection.Execute(R"(CREATE INDEX "Customers" ON "Customers" ("SBSID") WITH PRIMARY)");
    connection.Execute(R"(INSERT INTO "Customers" VALUES (1, 'O''Neil'))");
    connection.Execute(R"(CREATE TABLE "Orders" ("SBSID" INT))");

    db::Recordset tables = connection.OpenSchema(db::adSchemaTables);
    std::vector<std::string> names;
    for (; !tables.Eof(); tables.MoveNext()) {
        EXPECT_EQ(std::get<std::string>(tables.Fields("TABLE_TYPE").value), "TABLE");
        names.push_back(std::get<std::string>(tables.Fields("table_name").value));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Customers", "Orders"}));
    EXPECT_TRUE(std::filesystem::exists(folder / "Customers.DB") || std::filesystem::exists(folder / "CUSTOMERS.DB"));
    connection.Close();
    EXPECT_FALSE(connection.isOpen());
}

TEST(EngineBackend, FailuresCarryTheEngineText)
{
    const auto folder = testsupport::freshFolder("failures");
    db::Connection connection;
    connection.Open(paradoxString(folder));
    const std::string rejected = failureOf([&] { connection.Execute("CREATE TABLE (x INT)"); });
    EXPECT_NE(rejected.find("SQL error"), std::string::npos) << rejected;
    const std::string missing = failureOf([&] { connection.Execute(R"(INSERT INTO "Nowhere" VALUES (1))"); });
    EXPECT_NE(missing.find("Nowhere"), std::string::npos) << missing;
    // The connection stays usable after a rejected statement.
    connection.Execute(R"(CREATE TABLE "T" ("A" INT))");
    EXPECT_NE(failureOf([&] {
                  db::Recordset rs;
                  rs.Open("SELECT * FROM [T]", connection);
              }),
              "(no failure)");

    db::Connection absent;
    const std::string text = failureOf([&] { absent.Open(paradoxString(folder / "missing")); });
    EXPECT_NE(text.find("missing"), std::string::npos) << text;
    EXPECT_FALSE(absent.isOpen());
}

TEST(AdoObjects, MisuseRaisesAdoTexts)
{
    const auto folder = testsupport::freshFolder("misuse");
    db::Connection connection;
    EXPECT_EQ(failureOf([&] { connection.Close(); }), "Operation is not allowed when the object is closed.");
    EXPECT_EQ(failureOf([&] { connection.Execute("DROP TABLE x"); }), "Operation is not allowed when the object is closed.");
    connection.Open(paradoxString(folder));
    EXPECT_EQ(failureOf([&] { connection.Open(paradoxString(folder)); }), "Operation is not allowed when the object is open.");
    EXPECT_EQ(failureOf([&] { connection.OpenSchema(4); }),
              "Object or provider is not capable of performing requested operation.");
    db::Recordset empty = connection.OpenSchema(db::adSchemaTables);
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.bof());
    ASSERT_EQ(empty.Fields().size(), 4u);
    EXPECT_TRUE(db::isNull(empty.Fields("TABLE_NAME").value));
    EXPECT_EQ(failureOf([&] { empty.MoveNext(); }),
              "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.");
    EXPECT_EQ(failureOf([&] { empty.Fields("NOPE"); }),
              "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    empty.Close();
    EXPECT_EQ(failureOf([&] { empty.Eof(); }), "Operation is not allowed when the object is closed.");
    EXPECT_EQ(failureOf([&] { empty.Close(); }), "Operation is not allowed when the object is closed.");
    connection.Close();
    EXPECT_EQ(failureOf([&] { connection.Close(); }), "Operation is not allowed when the object is closed.");
}

} // namespace
