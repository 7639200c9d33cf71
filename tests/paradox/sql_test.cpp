// Statements the engine accepts, and the exact texts of the ones it rejects.
#include "Helpers.h"
#include "fuzz/FuzzTargets.h"

#include "TestPaths.h"
#include "paradox/Database.h"
#include "paradox/Sql.h"
#include "paradox/Table.h"

#include <gtest/gtest.h>

using namespace paradox;

namespace {

std::string rejection(Database& db, const std::string& statement)
{
    try {
        db.execute(statement);
    } catch (const SqlError& e) {
        return e.what();
    }
    return "accepted";
}

class Sql : public ptest::FreshDatabase {};

}  // namespace

TEST_F(Sql, AcceptsTheGeneratedStatementsOfAConversion)
{
    for (const char* st : {
             R"(CREATE TABLE "Orders" ("SBSID" INT, "OrderID" INT, "Customer" TEXT, "Amount" CURRENCY, "Scan" VARCHAR, "Placed" TIMESTAMP, "Qty" SMALLINT, "Ratio" FLOAT, "Exact" DECIMAL, "Day" DATE, "Paid" BIT, "Other" VARCHAR);)",
             R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)",
             R"(INSERT INTO "Orders" VALUES (0,7, 'O.Neil', 12.5, '<OLEOBJECT>', '08/31/2021 14:05:00', 3, 0.25, 10.125, '08/31/2021', 1, 'x');)",
             R"(INSERT INTO "Orders" VALUES (1,8,NULL, 3.75, '<OLEOBJECT>', '09/01/2021', NULL, NULL, NULL, NULL, 0,NULL);)",
             R"(INSERT INTO "Orders" VALUES (2,NULL, 'O''Brien', -1, '<OLEOBJECT>', '12/30/1899 12:30:00', -32767, 1e300, -0.5, '12/30/1899', 0, '12/30/1899 12:30:00');)",
             R"(DROP TABLE "Orders";)",
             R"(CREATE TABLE "T" ("SBSID" INT);)",
         })
        EXPECT_NO_THROW(db->execute(st)) << st;
    EXPECT_EQ(db->tableNames(), std::vector<std::string>{"T"});
}

TEST_F(Sql, AcceptsWhatAUserTypesInTheWorkbench)
{
    for (const char* st : {
             "create table Items (\n  Id long,\n  Name alphanumeric(20),\n  Code char(3), Note memo, Price money, At time, Seen logical,\n"
             "  N number, S short, B bcd(2), Raw bytes(4), Pic image, Counter autoincrement, Longer LONGCHAR, Stamp DATETIME, Dec2 NUMERIC(10,2))",
             "CREATE INDEX pk ON Items (Id ASC) WITH PRIMARY;",
             "insert into `Items` (Name, Id) values ('Lamp', 1)",
             "INSERT INTO [Items] (\"Id\", \"Note\", \"B\", \"Seen\") VALUES (2, 'a note longer than the leader', 12.34, TRUE) ;",
             "  InSeRt   INTO items VALUES (3, 'x', 'abc', 'memo', 1.25, '23:59:59', FALSE, 1.5, 2, 0.01, 'abcd', 'pic', NULL, 'long', '2038-01-20 03:14:08', 99999999.99)",
         })
        EXPECT_NO_THROW(db->execute(st)) << st;
    Table& t = db->table("ITEMS");
    EXPECT_EQ(t.recordCount(), 3u);
    EXPECT_TRUE(t.keyed());
    EXPECT_EQ(t.header().fields[1].type, FieldType::Alpha);
    EXPECT_EQ(t.header().fields[1].size, 20);
    EXPECT_EQ(t.header().fields[3].type, FieldType::Memo);
    EXPECT_EQ(t.header().fields[9].type, FieldType::Bcd);
    EXPECT_EQ(t.header().fields[12].type, FieldType::AutoIncrement);
}

TEST_F(Sql, MapsEveryTypeNameToItsParadoxField)
{
    struct Case {
        const char* sqlType;
        FieldType type;
        int size;
    };
    const std::vector<Case> cases{
        {"TEXT", FieldType::Alpha, 255},     {"VARCHAR", FieldType::Alpha, 255},       {"CHAR", FieldType::Alpha, 255},
        {"VARCHAR(10)", FieldType::Alpha, 10}, {"TEXT(0)", FieldType::Alpha, 255},     {"INT", FieldType::Long, 4},
        {"INTEGER", FieldType::Long, 4},     {"SMALLINT", FieldType::Short, 2},       {"TINYINT", FieldType::Short, 2},
        {"FLOAT", FieldType::Number, 8},     {"REAL", FieldType::Number, 8},          {"CURRENCY", FieldType::Money, 8},
        {"DECIMAL", FieldType::Bcd, 6},      {"DECIMAL(12,3)", FieldType::Bcd, 3},    {"NUMERIC(5)", FieldType::Bcd, 0},
        {"DATE", FieldType::Date, 4},        {"TIME", FieldType::Time, 4},            {"TIMESTAMP", FieldType::Timestamp, 8},
        {"DATETIME", FieldType::Timestamp, 8}, {"BIT", FieldType::Logical, 1},        {"MEMO", FieldType::Memo, 20},
        {"MEMO(240)", FieldType::Memo, 250}, {"OLEOBJECT", FieldType::Blob, 10},      {"BINARY(16)", FieldType::Bytes, 16},
        {"COUNTER", FieldType::AutoIncrement, 4},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "T" + std::to_string(n++);
        db->execute("CREATE TABLE " + name + " (A " + c.sqlType + ")");
        const Field& f = db->table(name).header().fields[0];
        EXPECT_EQ(f.type, c.type) << c.sqlType;
        EXPECT_EQ(f.size, c.size) << c.sqlType;
    }
}

TEST_F(Sql, RejectsBrokenStatementsWithExactTexts)
{
    db->execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "Name" CHAR(5), "Amount" FLOAT, "Day" DATE))");
    db->execute(R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)");
    db->execute(R"(INSERT INTO "Orders" VALUES (1, 'a', 1, '01/01/2000'))");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"SELECT * FROM x", "SQL error at position 1: expected DROP, CREATE or INSERT, found 'SELECT'"},
        {"", "SQL error at position 1: expected DROP, CREATE or INSERT, found the end of the statement"},
        {"DROP TABLE", "SQL error at position 11: expected a table name, found the end of the statement"},
        {"DROP TABLE \"Nope\";", "SQL error at position 12: table \"Nope\" does not exist"},
        {"DROP TABLE \"Orders\" x", "SQL error at position 21: unexpected 'x' after the end of the statement"},
        {"CREATE TABLE \"Orders\" (\"A\" INT)", "SQL error at position 14: table \"Orders\" already exists"},
        {"CREATE TABLE \"ORDERS\" (\"A\" INT)", "SQL error at position 14: table \"ORDERS\" already exists"},
        {"CREATE TABLE \"X\" (\"A\" WIDGET)", "SQL error at position 23: table \"X\", column \"A\": unknown type 'WIDGET'"},
        {"CREATE TABLE \"X\" (\"A\" CHAR(256))", "SQL error at position 23: table \"X\", column \"A\": size 256 of type CHAR is larger than 255"},
        {"CREATE TABLE \"X\" (\"A\" INT(4))", "SQL error at position 23: table \"X\", column \"A\": type INT takes no size"},
        {"CREATE TABLE \"X\" (\"A\" INT, \"a\" INT)", "SQL error at position 28: table \"X\": the column \"a\" is named twice"},
        {"CREATE TABLE \"X\" (\"A\" INT", "SQL error at position 26: expected ',' or ')', found the end of the statement"},
        {"CREATE TABLE \"X\" (\"ABCDEFGHIJKLMNOPQRSTUVWXYZ\" INT)",
         "SQL error at position 19: table \"X\": the column name \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\" is longer than 25 characters"},
        {"CREATE TABLE \"X\" (\"A\" CHAR(255), \"B\" CHAR(255), \"C\" CHAR(255), \"D\" CHAR(255), \"E\" CHAR(255), \"F\" CHAR(255), \"G\" CHAR(255), "
         "\"H\" CHAR(255), \"I\" CHAR(255), \"J\" CHAR(255), \"K\" CHAR(255), \"L\" CHAR(255), \"M\" CHAR(255), \"N\" CHAR(255), \"O\" CHAR(255), "
         "\"P\" CHAR(255), \"Q\" CHAR(255), \"R\" CHAR(255), \"S\" CHAR(255), \"T\" CHAR(255), \"U\" CHAR(255), \"V\" CHAR(255), \"W\" CHAR(255), "
         "\"X\" CHAR(255), \"Y\" CHAR(255), \"Z\" CHAR(255), \"AA\" CHAR(255), \"AB\" CHAR(255), \"AC\" CHAR(255), \"AD\" CHAR(255), \"AE\" CHAR(255), "
         "\"AF\" CHAR(255), \"AG\" CHAR(255), \"AH\" CHAR(255), \"AI\" CHAR(255), \"AJ\" CHAR(255), \"AK\" CHAR(255), \"AL\" CHAR(255), \"AM\" CHAR(255), "
         "\"AN\" CHAR(255), \"AO\" CHAR(255), \"AP\" CHAR(255), \"AQ\" CHAR(255), \"AR\" CHAR(255), \"AS\" CHAR(255), \"AT\" CHAR(255), \"AU\" CHAR(255), "
         "\"AV\" CHAR(255), \"AW\" CHAR(255), \"AX\" CHAR(255), \"AY\" CHAR(255), \"AZ\" CHAR(255), \"BA\" CHAR(255), \"BB\" CHAR(255), \"BC\" CHAR(255), "
         "\"BD\" CHAR(255), \"BE\" CHAR(255), \"BF\" CHAR(255), \"BG\" CHAR(255), \"BH\" CHAR(255), \"BI\" CHAR(255), \"BJ\" CHAR(255), \"BK\" CHAR(255), "
         "\"BL\" CHAR(255), \"BM\" CHAR(255), \"BN\" CHAR(255), \"BO\" CHAR(255), \"BP\" CHAR(255), \"BQ\" CHAR(255), \"BR\" CHAR(255), \"BS\" CHAR(255), "
         "\"BT\" CHAR(255), \"BU\" CHAR(255), \"BV\" CHAR(255), \"BW\" CHAR(255), \"BX\" CHAR(255), \"BY\" CHAR(255), \"BZ\" CHAR(255), \"CA\" CHAR(255), "
         "\"CB\" CHAR(255), \"CC\" CHAR(255), \"CD\" CHAR(255), \"CE\" CHAR(255), \"CF\" CHAR(255), \"CG\" CHAR(255), \"CH\" CHAR(255), \"CI\" CHAR(255), "
         "\"CJ\" CHAR(255), \"CK\" CHAR(255), \"CL\" CHAR(255), \"CM\" CHAR(255), \"CN\" CHAR(255), \"CO\" CHAR(255), \"CP\" CHAR(255), \"CQ\" CHAR(255), "
         "\"CR\" CHAR(255), \"CS\" CHAR(255), \"CT\" CHAR(255), \"CU\" CHAR(255), \"CV\" CHAR(255), \"CW\" CHAR(255), \"CX\" CHAR(255), \"CY\" CHAR(255), "
         "\"CZ\" CHAR(255), \"DA\" CHAR(255), \"DB\" CHAR(255), \"DC\" CHAR(255), \"DD\" CHAR(255), \"DE\" CHAR(255), \"DF\" CHAR(255), \"DG\" CHAR(255), "
         "\"DH\" CHAR(255), \"DI\" CHAR(255), \"DJ\" CHAR(255), \"DK\" CHAR(255), \"DL\" CHAR(255), \"DM\" CHAR(255), \"DN\" CHAR(255), \"DO\" CHAR(255), "
         "\"DP\" CHAR(255), \"DQ\" CHAR(255), \"DR\" CHAR(255), \"DS\" CHAR(255), \"DT\" CHAR(255), \"DU\" CHAR(255), \"DV\" CHAR(255), \"DW\" CHAR(255), "
         "\"DX\" CHAR(255), \"DY\" CHAR(255), \"DZ\" CHAR(255), \"EA\" CHAR(255), \"EB\" CHAR(255), \"EC\" CHAR(255), \"ED\" CHAR(255), \"EE\" CHAR(255), "
         "\"EF\" CHAR(255), \"EG\" CHAR(255), \"EH\" CHAR(255), \"EI\" CHAR(255))",
         "SQL error at position 14: table \"X\": a record of 35445 bytes is larger than the largest Paradox block holds (32762 bytes)"},
        {"CREATE INDEX \"Orders\" ON \"Orders\" (\"SBSID\")",
         "SQL error at position 44: table \"Orders\": only a primary index can be created; end the statement with WITH PRIMARY"},
        {"CREATE INDEX \"Orders\" ON \"Orders\" (\"SBSID\") with primary", "SQL error at position 14: table \"Orders\" already has a primary index"},
        {"CREATE INDEX \"I\" ON \"Orders\" (\"SBSID\" DESC) with primary", "SQL error at position 39: descending indexes are not supported"},
        {"INSERT INTO \"Orders\" VALUES (1, 'b', 2, '01/02/2000')",
         "SQL error at position 30: table \"Orders\": a row with the key 1 in column \"SBSID\" already exists (duplicate key)"},
        {"INSERT INTO \"Orders\" VALUES (2, 'b', 2)", "SQL error at position 22: table \"Orders\" has 4 columns, the statement gives 3 values"},
        {"INSERT INTO \"Orders\" VALUES (2, 'b', 2, NULL, 5)", "SQL error at position 47: table \"Orders\" has 4 columns, the statement gives 5 values"},
        {"INSERT INTO \"Orders\" VALUES (2, 'toolong', 2, NULL)",
         "SQL error at position 33: table \"Orders\", column \"Name\" (Alpha 5): the text 'toolong' has 7 characters, the column holds 5"},
        {"INSERT INTO \"Orders\" VALUES (2.5, 'b', 2, NULL)",
         "SQL error at position 30: table \"Orders\", column \"SBSID\" (Long): 2.5 has a fraction, which a whole-number column cannot hold"},
        {"INSERT INTO \"Orders\" VALUES (2, 'b', 'x', NULL)", "SQL error at position 38: table \"Orders\", column \"Amount\" (Number): 'x' is not a number"},
        {"INSERT INTO \"Orders\" VALUES (2, 'b', 1, '13/01/2000')",
         "SQL error at position 41: table \"Orders\", column \"Day\" (Date): '13/01/2000' is not a date or time ('mm/dd/yyyy', 'mm/dd/yyyy hh:nn:ss', 'yyyy-mm-dd hh:nn:ss' or 'hh:nn:ss')"},
        {"INSERT INTO \"Orders\" VALUES (2, 'a\xE4\xB8\xAD" "b', 1, NULL)",
         "SQL error at position 33: table \"Orders\", column \"Name\" (Alpha 5): character 2 of 'a\xE4\xB8\xAD" "b' is not in code page 1252"},
        {"INSERT INTO \"Orders\" (\"SBSID\", \"Nope\") VALUES (2, 'b')", "SQL error at position 32: table \"Orders\" has no column \"Nope\""},
        {"INSERT INTO \"Orders\" (\"SBSID\", \"sbsid\") VALUES (2, 3)", "SQL error at position 32: table \"Orders\": the column \"sbsid\" is named twice"},
        {"INSERT INTO \"Orders\" VALUES (2, 'b, 1, NULL)", "SQL error at position 33: the string that starts here has no closing quote"},
        {"INSERT INTO \"Orders\" VALUES (2, b, 1, NULL)", "SQL error at position 33: expected a value, found 'b'"},
        {"INSERT INTO \"Orders\" VALUES (2 3)", "SQL error at position 32: expected ',' or ')', found '3'"},
        {"INSERT INTO \"Orders\" VALUES (2, 12abc)", "SQL error at position 33: '12a' is not a number"},
        {"INSERT INTO \"Orders VALUES (2)", "SQL error at position 13: the name that starts here has no closing \""},
        {"INSERT INTO \"Orders\" VALUES (2, @)", "SQL error at position 33: unexpected character '@'"},
    };
    for (const auto& [statement, text] : cases) EXPECT_EQ(rejection(*db, statement), text) << statement;
    EXPECT_EQ(db->table("Orders").recordCount(), 1u);
}

TEST_F(Sql, NamesThatWouldLeaveTheFolderAreRejected)
{
    const auto outside = folder.parent_path();
    struct Case {
        std::string name;
        int offset;            // of the reported character from the opening quote; 0: the whole name
        std::string message;
    };
    const std::vector<Case> cases{
        {"../escape", 1, "the table name \"../escape\" holds '.', which a table name cannot hold"},
        {"a/b", 2, "the table name \"a/b\" holds '/', which a table name cannot hold"},
        {"a\\b", 2, "the table name \"a\\b\" holds '\\', which a table name cannot hold"},
        {"C:x", 2, "the table name \"C:x\" holds ':', which a table name cannot hold"},
        {"/etc/passwd", 1, "the table name \"/etc/passwd\" holds '/', which a table name cannot hold"},
        {"CON", 0, "the table name \"CON\" is a reserved device name"},
        {"lpt1", 0, "the table name \"lpt1\" is a reserved device name"},
        {"nul", 0, "the table name \"nul\" is a reserved device name"},
        {"a\tb", 0, "the table name \"a\tb\" holds a control character"},
        {" lead", 0, "the table name \" lead\" begins or ends with a blank"},
        {"", 0, "the table name is empty"},
    };
    for (const auto& c : cases) {
        const auto expected = [&](int quoteAt) { return "SQL error at position " + std::to_string(quoteAt + c.offset) + ": " + c.message; };
        EXPECT_EQ(rejection(*db, "CREATE TABLE \"" + c.name + "\" (\"A\" INT)"), expected(14)) << c.name;
        EXPECT_EQ(rejection(*db, "DROP TABLE \"" + c.name + "\""), expected(12)) << c.name;
        EXPECT_EQ(rejection(*db, "INSERT INTO \"" + c.name + "\" VALUES (1)"), expected(13)) << c.name;
    }
    EXPECT_TRUE(db->tableNames().empty());
    EXPECT_FALSE(std::filesystem::exists(outside / "escape.DB"));
}

// A quote inside a quoted name is written twice, so any name reads as one name; a name the
// engine cannot take is refused naming it whole, never as a parse error about what follows.
TEST_F(Sql, NamesHoldingQuotesStayOneNameAndAreNamedWhenRefused)
{
    const std::vector<std::pair<std::string, std::string>> refused{
        {R"(CREATE TABLE "quote""d" ("A" INT))", R"(SQL error at position 20: the table name "quote"d" holds '"', which a table name cannot hold)"},
        {R"(CREATE TABLE "quote"d" ("A" INT))", R"(SQL error at position 14: the name "quote"d" holds a " that is not written twice)"},
        {R"(DROP TABLE [a]]b])", "SQL error at position 14: the table name \"a]b\" holds ']', which a table name cannot hold"},
        {R"(INSERT INTO "T""x" VALUES (1))", R"(SQL error at position 15: the table name "T"x" holds '"', which a table name cannot hold)"},
        {R"(CREATE TABLE "H" ("SBSID" INT, "a" INT); DROP TABLE "CUSTOMER"; CREATE TABLE "z" ("b" INT))",
         "SQL error at position 42: unexpected 'DROP' after the end of the statement"},
    };
    for (const auto& [statement, text] : refused) EXPECT_EQ(rejection(*db, statement), text) << statement;

    db->execute(R"(CREATE TABLE "H" ("SBSID" INT, "x""); DROP TABLE ""CU" INT, `b``c` TEXT, [d]]] INT))");
    db->execute(R"(INSERT INTO "H" ("x""); DROP TABLE ""CU", "SBSID") VALUES (7, 1))");
    db->execute(R"(INSERT INTO "H" VALUES (2, 8, 'x', 9))");
    const Header& h = db->table("H").header();
    ASSERT_EQ(h.fields.size(), 4u);
    EXPECT_EQ(h.fields[1].name, R"(x"); DROP TABLE "CU)");
    EXPECT_EQ(h.fields[2].name, "b`c");
    EXPECT_EQ(h.fields[3].name, "d]");
    EXPECT_EQ(db->table("H").recordCount(), 2u);
    EXPECT_EQ(db->tableNames(), std::vector<std::string>{"H"});
}

// Table names match as Windows matches file names, by Unicode case folding of the whole
// character, never of the bytes that encode it.
TEST_F(Sql, TableNamesMatchByCaseFoldingOfWholeCharacters)
{
    db->execute("CREATE TABLE \"\xC3\x84rger\" (\"A\" INT)");                 // Ärger
    db->execute("CREATE INDEX \"x\" ON \"\xC3\xA4RGER\" (\"A\") WITH PRIMARY"); // äRGER
    EXPECT_EQ(rejection(*db, "CREATE TABLE \"\xC3\xA4rger\" (\"A\" INT)"), "SQL error at position 14: table \"\xC3\xA4rger\" already exists");
    ptest::writeFile(folder / u8"\xC5\xA1koda.db", ptest::readFile(folder / u8"\xC3\x84rger.DB"));   // škoda, made elsewhere
    EXPECT_EQ(rejection(*db, "CREATE TABLE \"\xC5\xA0KODA\" (\"A\" INT)"), "SQL error at position 14: table \"\xC5\xA0KODA\" already exists");
    db->execute("INSERT INTO \"\xC5\xA0koda\" VALUES (1)");
    EXPECT_EQ(db->table("\xC3\x84RGER").recordCount(), 0u);
    EXPECT_EQ(db->table("\xC5\xA0KODA").recordCount(), 1u);
    // Ê and Ú differ only in a byte that 1252 folding would change: two tables, not one.
    db->execute("CREATE TABLE \"\xC3\x8A\" (\"A\" INT)");
    db->execute("CREATE TABLE \"\xC3\x9A\" (\"A\" INT)");
    db->execute("DROP TABLE \"\xC3\xA4rger\"");
    EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"\xC3\x8A", "\xC3\x9A", "\xC5\xA1koda"}));
    EXPECT_FALSE(std::filesystem::exists(folder / u8"\xC3\x84rger.PX"));
}

// Device names are refused in every spelling Windows keeps for a device.
TEST_F(Sql, DeviceNamesAreRefusedInEverySpelling)
{
    for (const std::string name : {"CON", "prn", "Aux", "nul", "COM1", "com9", "LPT1", "lpt0", "COM\xC2\xB9", "lpt\xC2\xB2", "Com\xC2\xB3"}) {
        EXPECT_EQ(rejection(*db, "CREATE TABLE \"" + name + "\" (\"A\" INT)"),
                  "SQL error at position 14: the table name \"" + name + "\" is a reserved device name") << name;
    }
    EXPECT_TRUE(db->tableNames().empty());
    for (const std::string name : {"COM10", "LPT", "CONSOLE", "Nulls", "COM\xC2\xBC"}) {
        EXPECT_EQ(rejection(*db, "CREATE TABLE \"" + name + "\" (\"A\" INT)"), "accepted") << name;
    }
}

TEST_F(Sql, ErrorClassesKeepSqlAndFileFailuresApart)
{
    try {
        Database missing(folder / "none");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open the folder '" + (folder / "none").string() + "': No such file or directory");
    }
    db->execute("CREATE TABLE T (A INT)");
    std::filesystem::permissions(folder / "T.DB", std::filesystem::perms::owner_read);
    if (testsupport::permissionsBind()) {
        try {
            db->execute("INSERT INTO T VALUES (1)");
            FAIL();
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()).find("SQL error"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find("T.DB"), std::string::npos);
        }
    }
    // Windows removes no read-only file, and the next run starts by removing this folder.
    std::filesystem::permissions(folder / "T.DB", std::filesystem::perms::owner_all);
    try {
        db->execute("INSERT INTO T VALUES ('x')");
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(dynamic_cast<const SqlError*>(&e), nullptr);
    }
}

TEST(SqlParser, PositionsCountCharactersNotBytes)
{
    EXPECT_EQ(sql::characterPosition("\xC3\xA9" "abc", 2), 2u);
    try {
        sql::parse("INSERT INTO \"\xC3\xA9\" VALUES (1, ?)");   // the name is one character, two bytes
        FAIL();
    } catch (const SqlError& e) {
        EXPECT_STREQ(e.what(), "SQL error at position 28: unexpected character '?'");
    }
}

// The executor's plain INSERTs are read by a shortcut; whatever it reads, and whatever it
// leaves to the full parser, ends as the full parser alone would have it, errors included.
TEST(SqlParser, ShortcutForPlainInsertsReadsWhatTheFullParserReads)
{
    EXPECT_EQ(fuzz::parsedForm("INSERT INTO \"T\" VALUES ('a''b', -5., NULL, true);", true),
              "INSERT \"T\"@12/13 () VALUES@16 (2:a'b@24 1:-5.@32 0:@37 3:TRUE@43 )");
    for (const char* st : {
             R"(INSERT INTO "Orders" VALUES (0,7, 'O''Neil', 12.5, '<OLEOBJECT>', '08/31/2021 14:05:00');)",
             R"(INSERT INTO "Orders" VALUES (1,8,NULL, 3.75, '<OLEOBJECT>', '09/01/2021');)",
             "insert into Orders values (-1, +2, 5., null, True, FALSE, '', '''', 'M\xC3\xBCller', 0007)",
             "  INSERT\tINTO\n\"T\"VALUES(1 ,2 )  ;  ",
             "INSERT INTO \"\" VALUES (1)",
             "INSERT INTO \xC3\x84rger VALUES (1)",
             "INSERT INTO \"T\" (\"a\", \"b\") VALUES (1, 2)",
             "INSERT INTO [T] VALUES (1)",
             "INSERT INTO `T` VALUES (1)",
             "INSERT INTO \"T\"\"x\" VALUES (1)",
             "INSERT INTO \"T\"x\" VALUES (1)",
             "INSERT INTO [T]]] VALUES (1)",
             "INSERT INTO \"T\" VALUES (1e5, 1E-3, .5, -.5)",
             "INSERT INTO \"T\" VALUES (5..)",
             "INSERT INTO \"T\" VALUES (1.2.3)",
             "INSERT INTO \"T\" VALUES (12abc)",
             "INSERT INTO \"T\" VALUES (NULLX)",
             "INSERT INTO \"T\" VALUES (- 1)",
             "INSERT INTO \"T\" VALUES ('abc)",
             "INSERT INTO \"T VALUES (1)",
             "INSERT INTO \"T\" VALUES ()",
             "INSERT INTO \"T\" VALUES (1,)",
             "INSERT INTO \"T\" VALUES (1",
             "INSERT INTO \"T\" VALUES (1) x",
             "INSERT INTO \"T\" VALUES (1);;",
             "INSERTINTO \"T\" VALUES (1)",
             "INSERT INTO \"T\" VALUE (1)",
             "INSERT INTO",
             "i",
             "DROP TABLE \"T\"",
             "INSERT INTO \"T\" VALUES (1, 'x')",
             "INSERT INTO \"T\" VALUES (1, 'a' & Chr(10) & 'b')",
             "INSERT INTO \"T\" VALUES (1, 'a' &)",
         }) {
        EXPECT_EQ(fuzz::parsedForm(st, true), fuzz::parsedForm(st, false)) << st;
    }
}

// A value with line breaks is written on one line as strings and character codes joined by '&'.
TEST(SqlParser, JoinedStringsAndCharacterCodesMakeOneValue)
{
    const sql::Statement st = sql::parse("INSERT INTO \"T\" VALUES (1, 'it''s' & Chr(13) & chr( 10 ) & '' & 'end', 'plain')");
    const auto& values = std::get<sql::Insert>(st).values;
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[1].text(), "it's\r\nend");
    EXPECT_EQ(values[2].text(), "plain");
    for (const auto& [statement, text] : std::vector<std::pair<std::string, std::string>>{
             {"INSERT INTO \"T\" VALUES ('a' & Chr(128))", "SQL error at position 35: expected a character code from 0 to 127, found '128'"},
             {"INSERT INTO \"T\" VALUES ('a' & 5)", "SQL error at position 31: expected a string or Chr(code) after '&', found '5'"},
             {"INSERT INTO \"T\" VALUES ('a' & Chr 10)", "SQL error at position 35: expected '(', found '10'"},
             {"INSERT INTO \"T\" VALUES (1 & 'a')", "SQL error at position 27: expected ',' or ')', found '&'"},
         }) {
        try {
            sql::parse(statement);
            ADD_FAILURE() << statement;
        } catch (const SqlError& e) {
            EXPECT_EQ(e.what(), text) << statement;
        }
    }
}
