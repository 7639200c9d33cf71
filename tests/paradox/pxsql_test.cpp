// pxsql from outside: scripts with line numbers and exit status, --dump and --info; and
// its reader's split of a script into statements, however the script is cut into pieces.
#include "Helpers.h"

#include "Script.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The statements and the lines they begin on, the script fed in pieces of `size` bytes.
std::vector<std::pair<std::size_t, std::string>> statementsOf(std::string_view script, std::size_t size)
{
    std::vector<std::pair<std::size_t, std::string>> out;
    pxsql::ScriptReader reader([&](const pxsql::ScriptStatement& st) { out.emplace_back(st.line, st.text); });
    for (std::size_t at = 0; at < script.size(); at += size) reader.feed(script.substr(at, size));
    reader.finish();
    return out;
}

}  // namespace

// Statements whole on their lines and statements that are not: quotes doubled in values and
// names, ';' inside them, a value over two lines, a statement without ';' ended by the next
// line's keyword, remarks, blanks and CRLF. Read whole or in pieces down to a byte, the same
// statements begin on the same lines.
TEST(PxsqlScript, APieceOrAWholeScriptSplitsIntoTheSameStatements)
{
    const std::string script =
        "CREATE TABLE \"T;1\" (\"A\"\"b\" INT, [C;]]d] CHAR(9), `E` MEMO);\n"
        "CREATE INDEX \"T;1\" ON \"T;1\" (\"A\"\"b\") WITH PRIMARY\n"
        "INSERT INTO \"T;1\" VALUES (1, 'it''s;', 'x');\r\n"
        "-- a remark; with a 'quote\n"
        "  INSERT INTO \"T;1\" VALUES (2, 'two\nlines;', '');INSERT INTO \"T;1\" VALUES (3, '''', 'y');\n"
        "\n"
        "INSERT INTO \"T;1\" VALUES (4, 'a', 'b') ;  ;\n"
        "INSERT INTO \"T;1\" VALUES (5, 'ends', 'open'";
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {1, "CREATE TABLE \"T;1\" (\"A\"\"b\" INT, [C;]]d] CHAR(9), `E` MEMO);"},
        {2, "CREATE INDEX \"T;1\" ON \"T;1\" (\"A\"\"b\") WITH PRIMARY\n"},
        {3, "INSERT INTO \"T;1\" VALUES (1, 'it''s;', 'x');"},
        {5, "INSERT INTO \"T;1\" VALUES (2, 'two\nlines;', '');"},
        {6, "INSERT INTO \"T;1\" VALUES (3, '''', 'y');"},
        {8, "INSERT INTO \"T;1\" VALUES (4, 'a', 'b') ;"},
        {8, ";"},
        {9, "INSERT INTO \"T;1\" VALUES (5, 'ends', 'open'"},
    };
    for (const std::size_t size : {script.size(), std::size_t(1), std::size_t(2), std::size_t(7), std::size_t(64)})
        EXPECT_EQ(statementsOf(script, size), expected) << "pieces of " << size << " bytes";
}


TEST(Pxsql, RunsAScriptReportsRejectedStatementsByLineAndCarriesOn)
{
    const auto folder = testsupport::freshFolder("pxsql-script");
    const std::string script =
        "DROP TABLE \"Orders\";\n"                                                     // 1: no such table
        "CREATE TABLE \"Orders\" (\"SBSID\" INT, \"Customer\" TEXT,\n"                  // 2
        "   \"Amount\" CURRENCY, \"Placed\" TIMESTAMP);\n"                              // 3
        "CREATE INDEX \"Orders\" ON \"Orders\" (\"SBSID\") with primary\n"              // 4: no semicolon
        "INSERT INTO \"Orders\" VALUES (0,'O''Neil', 12.5, '08/31/2021 14:05:00');\n"   // 5
        "INSERT INTO \"Orders\" VALUES (1,'broken' 3.75, '09/01/2021');\n"              // 6: comma missing
        "INSERT INTO \"Orders\" VALUES (2,NULL, 3.75,\n"                                // 7
        "  '09/01/2021');\n"                                                            // 8
        "INSERT INTO \"Orders\" VALUES (2,'dup', 1, NULL);\n"                           // 9: duplicate key
        "\n"
        "insert into Orders values (3,'Zoë', -1, '2021-09-02 00:00:01')\n";            // 11: no semicolon, last line
    const auto r = ptest::run({PXSQL, folder.string()}, script, true);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "line 1: SQL error at position 12: table \"Orders\" does not exist\n"
              "line 6: SQL error at position 41: expected ',' or ')', found '3.75'\n"
              "line 9: SQL error at position 30: table \"Orders\": a row with the key 2 in column \"SBSID\" already exists (duplicate key)\n");
    const auto dump = ptest::run({PXSQL, folder.string(), "--dump", "ORDERS"});
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.out,
              "SBSID,Customer,Amount,Placed\n"
              "0,O'Neil,12.5,2021-08-31 14:05:00\n"
              "2,,3.75,2021-09-01 00:00:00\n"
              "3,Zoë,-1,2021-09-02 00:00:01\n");
    EXPECT_EQ(ptest::pxcheck(folder / "Orders.DB").status, 0);
}

TEST(Pxsql, ScriptFromAFileWithoutErrorsExitsZero)
{
    const auto folder = testsupport::freshFolder("pxsql-file");
    ptest::writeFile(folder / "s.sql", "CREATE TABLE T (A INT, B CHAR(3), M MEMO)\nINSERT INTO T VALUES (1, 'x,y', 'line\nbreak')\n");
    EXPECT_EQ(ptest::run({PXSQL, folder.string(), (folder / "s.sql").string()}).status, 0);
    const auto dump = ptest::run({PXSQL, folder.string(), "--dump", "t"});
    EXPECT_EQ(dump.out, "A,B,M\n1,\"x,y\",\"line\nbreak\"\n");
    const auto info = ptest::run({PXSQL, folder.string(), "--info", "T"});
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out,
              "file: " + (folder / "T.DB").string() + "\n"
              "version: 5.x\nkeyed: no\nkey fields: 0\nrecords: 1\nrecord size: 27\nblock size: 4096\ncode page: 1252\nsort order: DBWINUS0\nfields: 3\n"
              "  1 A Long\n  2 B Alpha 3\n  3 M Memo 10\n");
}

TEST(Pxsql, UsageAndMissingThingsGiveStatusTwo)
{
    const auto folder = testsupport::freshFolder("pxsql-usage");
    EXPECT_EQ(ptest::run({PXSQL}).status, 2);
    EXPECT_EQ(ptest::run({PXSQL, folder.string(), "--bogus", "x"}).status, 2);
    const auto missing = ptest::run({PXSQL, (folder / "none").string()}, "", true);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "pxsql: Cannot open the folder '" + (folder / "none").string() + "': No such file or directory\n");
    const auto noTable = ptest::run({PXSQL, folder.string(), "--dump", "Nope"}, "", true);
    EXPECT_EQ(noTable.status, 2);
    EXPECT_EQ(noTable.out, "pxsql: SQL error at position 1: table \"Nope\" does not exist\n");
}

// A script is split only outside values and quoted names: a value's line break followed by
// a statement stays in the value, and a quote left open swallows the rest of the script into
// one rejected statement rather than letting what follows run.
TEST(Pxsql, StatementsInsideValuesAndNamesStayData)
{
    const auto folder = testsupport::freshFolder("pxsql-quote");
    const std::string script =
        "CREATE TABLE T (A INT, B CHAR(60));\n"
        "CREATE TABLE CUSTOMER (N INT);\n"
        "INSERT INTO T VALUES (1, 'x\nDROP TABLE \"CUSTOMER\";\ninsert into T values (9, ''y'')\n');\n"
        "INSERT INTO \"T\" (A, \"B\nDROP TABLE CUSTOMER;\n\") VALUES (2, 'z');\n"
        "INSERT INTO [T] (A, [B]];DROP TABLE CUSTOMER;]) VALUES (3, 'q');\n"
        "INSERT INTO T VALUES (3, 'oops);\n"
        "DROP TABLE CUSTOMER;\n"
        "insert into T values (4, 5)\n";
    const auto r = ptest::run({PXSQL, folder.string()}, script, true);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "line 7: SQL error at position 21: table \"T\" has no column \"B\nDROP TABLE CUSTOMER;\n\"\n"
              "line 10: SQL error at position 21: table \"T\" has no column \"B];DROP TABLE CUSTOMER;\"\n"
              "line 11: SQL error at position 26: the string that starts here has no closing quote\n");
    EXPECT_EQ(ptest::run({PXSQL, folder.string(), "--dump", "T"}).out,
              "A,B\n1,\"x\nDROP TABLE \"\"CUSTOMER\"\";\ninsert into T values (9, 'y')\n\"\n");
    EXPECT_EQ(ptest::run({PXSQL, folder.string(), "--dump", "CUSTOMER"}).status, 0);
}

// Only a regular file is a script; any input is read in pieces, and a statement that never
// ends is refused once it passes the cap instead of filling the memory.
TEST(Pxsql, ScriptsThatAreNoFilesOrNeverEndAreRefusedClearly)
{
    const auto folder = testsupport::freshFolder("pxsql-nofile");
    // Under a one-gigabyte address space, so that reading without bounds fails instead of
    // taking the machine's memory.
    const auto bounded = [&](const std::string& command) {
        return ptest::run({"/bin/sh", "-c", "ulimit -v 1048576; exec \"$0\" \"$1\" " + command, PXSQL, folder.string()}, "", true);
    };
    const auto directory = bounded("\"$1\"");
    EXPECT_EQ(directory.status, 2);
    EXPECT_EQ(directory.out, "pxsql: the script " + folder.string() + " is a directory; a script must be a regular file\n");
    const auto device = bounded("/dev/zero");
    EXPECT_EQ(device.status, 2);
    EXPECT_EQ(device.out, "pxsql: the script /dev/zero is not a regular file; a script must be a regular file\n");
    // Standard input may be a pipe or a device: it is read in pieces up to the cap.
    const auto endless = bounded("< /dev/zero");
    EXPECT_EQ(endless.status, 2);
    EXPECT_EQ(endless.out, "pxsql: line 1: the statement that begins here is longer than 67108864 bytes; the rest of the script is not read\n");
}
