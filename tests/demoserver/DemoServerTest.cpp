// The demo server as the FreeTDS ODBC driver sees it: login, catalog, every column type with its
// exact value, errors, concurrency, cancel and a streamed million rows.

#include "DemoServer.h"

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using testsupport::DemoServer;

struct Diag {
    std::string state;
    long native = 0;
    std::string message;
};

std::vector<Diag> diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    std::vector<Diag> out;
    SQLCHAR state[6], text[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1; SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length) == SQL_SUCCESS; ++i)
        out.push_back({reinterpret_cast<char*>(state), static_cast<long>(native), reinterpret_cast<char*>(text)});
    return out;
}

std::string describe(const std::vector<Diag>& d)
{
    std::string s;
    for (const auto& x : d)
        s += "[" + x.state + "] " + std::to_string(x.native) + " " + x.message + "\n";
    return s;
}

struct OdbcError : std::runtime_error {
    std::vector<Diag> diags;
    OdbcError(std::vector<Diag> d) : std::runtime_error(describe(d)), diags(std::move(d)) {}
};

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle)
{
    if (!SQL_SUCCEEDED(rc))
        throw OdbcError(diagnostics(type, handle));
}

// UTF-16 from the driver, as UTF-8 for comparison with literal expectations.
std::string toUtf8(const std::u16string& w)
{
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
        char32_t cp = w[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < w.size())
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[++i] - 0xDC00);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

class Statement;

class Connection {
public:
    Connection()
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    }
    explicit Connection(const std::string& connectionString) : Connection() { open(connectionString); }
    ~Connection()
    {
        if (open_)
            SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    void open(const std::string& connectionString)
    {
        SQLCHAR out[1024];
        SQLSMALLINT outLength = 0;
        check(SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)connectionString.c_str(), SQL_NTS, out, sizeof out, &outLength,
                               SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, dbc_);
        open_ = true;
    }
    SQLHDBC handle() const { return dbc_; }

private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool open_ = false;
};

class Statement {
public:
    explicit Statement(Connection& c) { SQLAllocHandle(SQL_HANDLE_STMT, c.handle(), &st_); }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, st_); }
    // A statement without a result or row count (CREATE TABLE) gives SQL_NO_DATA.
    void exec(const std::string& sql)
    {
        const SQLRETURN rc = SQLExecDirect(st_, (SQLCHAR*)sql.c_str(), SQL_NTS);
        if (rc != SQL_NO_DATA)
            check(rc, SQL_HANDLE_STMT, st_);
    }
    // Wide text reaches the server unchanged whatever the process locale.
    void execWide(const std::u16string& sql)
    {
        const SQLRETURN rc = SQLExecDirectW(st_, (SQLWCHAR*)sql.c_str(), SQL_NTS);
        if (rc != SQL_NO_DATA)
            check(rc, SQL_HANDLE_STMT, st_);
    }
    bool fetch()
    {
        const SQLRETURN rc = SQLFetch(st_);
        if (rc == SQL_NO_DATA)
            return false;
        check(rc, SQL_HANDLE_STMT, st_);
        return true;
    }
    int columns()
    {
        SQLSMALLINT n = 0;
        SQLNumResultCols(st_, &n);
        return n;
    }
    SQLSMALLINT sqlType(int column)
    {
        SQLCHAR name[256];
        SQLSMALLINT nameLength, type, digits, nullable;
        SQLULEN size;
        check(SQLDescribeCol(st_, static_cast<SQLUSMALLINT>(column), name, sizeof name, &nameLength, &type, &size, &digits,
                             &nullable),
              SQL_HANDLE_STMT, st_);
        return type;
    }
    // The value as wide text, read in pieces; nullopt for NULL.
    std::optional<std::string> text(int column)
    {
        std::u16string all;
        for (;;) {
            char16_t buf[512];
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(st_, static_cast<SQLUSMALLINT>(column), SQL_C_WCHAR, buf, sizeof buf, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            check(rc, SQL_HANDLE_STMT, st_);
            if (indicator == SQL_NULL_DATA)
                return std::nullopt;
            const size_t chars = (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buf))
                                     ? sizeof buf / 2 - 1
                                     : static_cast<size_t>(indicator) / 2;
            all.append(buf, chars);
            if (rc == SQL_SUCCESS)
                break;
        }
        return toUtf8(all);
    }
    std::optional<std::string> binary(int column)
    {
        std::string all;
        for (;;) {
            char buf[65536];
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(st_, static_cast<SQLUSMALLINT>(column), SQL_C_BINARY, buf, sizeof buf, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            check(rc, SQL_HANDLE_STMT, st_);
            if (indicator == SQL_NULL_DATA)
                return std::nullopt;
            const size_t n = (indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(sizeof buf)) ? sizeof buf
                                                                                                       : static_cast<size_t>(indicator);
            all.append(buf, n);
            if (rc == SQL_SUCCESS)
                break;
        }
        return all;
    }
    SQLHSTMT handle() const { return st_; }

private:
    SQLHSTMT st_ = SQL_NULL_HSTMT;
};

// Every row of one query as text, columns separated by '|', NULL as "NULL".
std::vector<std::string> rowsOf(Connection& c, const std::string& sql)
{
    Statement s(c);
    s.exec(sql);
    std::vector<std::string> rows;
    const int n = s.columns();
    while (s.fetch()) {
        std::string row;
        for (int i = 1; i <= n; ++i)
            row += (i > 1 ? "|" : "") + s.text(i).value_or("NULL");
        rows.push_back(row);
    }
    return rows;
}

// The 1 MB value the sample database builds with replace(hex(zeroblob(...)), '00', 'Quill7!').
std::string megabytePattern()
{
    std::string s;
    while (s.size() < 1048576)
        s += "Quill7!";
    s.resize(1048576);
    return s;
}

class DemoServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::registerSqlServerDriver(); }
    DemoServer server;
};

TEST_F(DemoServerTest, LoginIsRefusedWithSqlServersNumbersAndTexts)
{
    EXPECT_NO_THROW(Connection{server.connectionString()});
    EXPECT_NO_THROW(Connection{server.connectionString("sales")}) << "database names ignore case";

    struct Case {
        std::string database, user, password;
        std::vector<std::pair<long, std::string>> expected; // native error, message
    };
    const std::vector<Case> cases{
        {"Sales", "sa", "wrong", {{18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."}}},
        {"Sales", "nobody", server.password(), {{18456, "[FreeTDS][SQL Server]Login failed for user 'nobody'."}}},
        {"Nope", "sa", server.password(),
         {{4060, "[FreeTDS][SQL Server]Cannot open database \"Nope\" requested by the login. The login failed."},
          {18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."}}},
    };
    for (const Case& c : cases) {
        try {
            Connection conn(server.connectionString(c.database, c.user, c.password));
            ADD_FAILURE() << "login accepted: " << c.user << "/" << c.password << "@" << c.database;
        } catch (const OdbcError& e) {
            for (const auto& [native, message] : c.expected) {
                bool found = false;
                for (const Diag& d : e.diags)
                    found = found || (d.native == native && d.message == message && d.state == "42000");
                EXPECT_TRUE(found) << message << "\nin:\n" << e.what();
            }
        }
    }
}

TEST_F(DemoServerTest, TablesListsViewsAsViewsAndSysdiagramsAsATable)
{
    Connection c(server.connectionString());
    Statement s(c);
    check(SQLTables(s.handle(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_HANDLE_STMT, s.handle());
    std::vector<std::string> rows;
    while (s.fetch())
        rows.push_back(*s.text(4) + " " + *s.text(2) + "." + *s.text(3));
    const std::vector<std::string> expected{
        "SYSTEM TABLE sys.trace_xe_action_map", "SYSTEM TABLE sys.trace_xe_event_map", "TABLE dbo.AllTypes",
        "TABLE dbo.AuditSystem", "TABLE dbo.Customers", "TABLE dbo.Ledger", "TABLE dbo.Order Details",
        "TABLE dbo.Orders", "TABLE dbo.Products", "TABLE dbo.sysdiagrams", "VIEW dbo.vOrders"};
    EXPECT_EQ(rows, expected);

    // A type restriction arrives as a named parameter of sp_tables; the next statement still works.
    Statement views(c);
    check(SQLTables(views.handle(), nullptr, 0, nullptr, 0, nullptr, 0, (SQLCHAR*)"'VIEW'", SQL_NTS), SQL_HANDLE_STMT,
          views.handle());
    std::vector<std::string> names;
    while (views.fetch())
        names.push_back(*views.text(3));
    EXPECT_EQ(names, std::vector<std::string>{"vOrders"});
    EXPECT_EQ(rowsOf(c, "SELECT COUNT(*) FROM [Customers]"), std::vector<std::string>{"5"});
}

TEST_F(DemoServerTest, AnswersWhatRealClientsSendBesideSelect)
{
    Connection c(server.connectionString());
    EXPECT_EQ(rowsOf(c, "SELECT TOP 2 OrderID FROM Orders ORDER BY OrderID DESC"),
              (std::vector<std::string>{"10252", "10251"}));
    EXPECT_EQ(rowsOf(c, "SELECT TOP (1) CustomerID FROM [Sales].[dbo].[Customers] ORDER BY 1; SELECT 1"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(rowsOf(c, "SET NOCOUNT ON SET ANSI_NULLS ON SELECT COUNT(*) FROM Sales..Customers"),
              std::vector<std::string>{"5"});
    const std::vector<std::string> version = rowsOf(c, "SELECT @@VERSION");
    ASSERT_EQ(version.size(), 1u);
    EXPECT_EQ(version[0].rfind("Microsoft SQL Server 2022", 0), 0u) << version[0];
    // FMTONLY describes the columns and sends no row.
    Statement described(c);
    described.exec("SET FMTONLY ON SELECT * FROM Customers SET FMTONLY OFF");
    EXPECT_EQ(described.columns(), 11);
    EXPECT_FALSE(described.fetch());

    Statement use(c);
    use.exec("USE [Sales]");
    EXPECT_EQ(rowsOf(c, "SELECT COUNT(*) FROM Customers"), std::vector<std::string>{"5"});
    Statement unknown(c);
    try {
        unknown.exec("USE Nope");
        ADD_FAILURE() << "USE of an unknown database went through";
    } catch (const OdbcError& e) {
        EXPECT_EQ(e.diags.at(0).native, 911) << e.what();
    }
}

TEST_F(DemoServerTest, CatalogFunctionsColumnsAndTypeInfo)
{
    Connection c(server.connectionString());
    Statement columns(c);
    check(SQLColumns(columns.handle(), nullptr, 0, nullptr, 0, (SQLCHAR*)"Customers", SQL_NTS, nullptr, 0),
          SQL_HANDLE_STMT, columns.handle());
    std::vector<std::string> described;
    while (columns.fetch())
        described.push_back(*columns.text(4) + " " + *columns.text(5) + " " + *columns.text(6));
    ASSERT_EQ(described.size(), 11u);
    EXPECT_EQ(described[0], "CustomerID 4 int");
    EXPECT_EQ(described[1], "CompanyName -9 nvarchar");
    EXPECT_EQ(described[8], "Since 91 date");

    Statement all(c);
    check(SQLGetTypeInfo(all.handle(), SQL_ALL_TYPES), SQL_HANDLE_STMT, all.handle());
    std::vector<std::string> names;
    while (all.fetch())
        names.push_back(*all.text(1));
    for (const char* type : {"int", "nvarchar", "datetime2", "uniqueidentifier", "varbinary", "money"})
        EXPECT_NE(std::find(names.begin(), names.end(), type), names.end()) << type;

    Statement integers(c);
    check(SQLGetTypeInfo(integers.handle(), SQL_INTEGER), SQL_HANDLE_STMT, integers.handle());
    ASSERT_TRUE(integers.fetch());
    EXPECT_EQ(*integers.text(1), "int");
    EXPECT_FALSE(integers.fetch());
    // The connection goes on after the catalog calls.
    EXPECT_EQ(rowsOf(c, "SELECT COUNT(*) FROM Customers"), std::vector<std::string>{"5"});

    // By schema: a SQLite table "Shop.Items" is Items of schema Shop.
    Statement create(c);
    create.exec("CREATE TABLE [Shop.Items] (ItemID int, Title nvarchar(20))");
    Statement shopTables(c);
    check(SQLTables(shopTables.handle(), nullptr, 0, (SQLCHAR*)"Shop", SQL_NTS, nullptr, 0, nullptr, 0), SQL_HANDLE_STMT,
          shopTables.handle());
    std::vector<std::string> shop;
    while (shopTables.fetch())
        shop.push_back(*shopTables.text(2) + "." + *shopTables.text(3));
    EXPECT_EQ(shop, std::vector<std::string>{"Shop.Items"});
    Statement shopColumns(c);
    check(SQLColumns(shopColumns.handle(), nullptr, 0, (SQLCHAR*)"Shop", SQL_NTS, (SQLCHAR*)"Items", SQL_NTS, nullptr, 0),
          SQL_HANDLE_STMT, shopColumns.handle());
    std::vector<std::string> itemColumns;
    while (shopColumns.fetch())
        itemColumns.push_back(*shopColumns.text(4));
    EXPECT_EQ(itemColumns, (std::vector<std::string>{"ItemID", "Title"}));
}

TEST_F(DemoServerTest, EveryTypeArrivesWithItsSqlTypeAndExactValue)
{
    Connection c(server.connectionString());
    Statement s(c);
    s.exec("SELECT * FROM [AllTypes] ORDER BY ID");
    struct Expect {
        SQLSMALLINT type;
        std::string value;
    };
    const std::string longVarchar = "long " + [] { std::string r; for (int i = 0; i < 3000; ++i) r += "ab"; return r; }();
    const std::string longNvarchar = "Ω" + [] { std::string r; for (int i = 0; i < 5000; ++i) r += "ü€"; return r; }();
    const std::vector<Expect> expected{
        {SQL_INTEGER, "1"},
        {SQL_INTEGER, "-2147483648"},
        {SQL_SMALLINT, "-32768"},
        {SQL_TINYINT, "255"},
        {SQL_BIGINT, "9223372036854775807"},
        {SQL_BIT, "1"},
        {SQL_NUMERIC, "1234567890123456789012345678901234.5678"},
        {SQL_NUMERIC, "-1234567.891"},
        {SQL_DECIMAL, "-922337203685477.5808"},
        {SQL_DECIMAL, "214748.3647"},
        {SQL_DOUBLE, "1.7976931348623157e+308"},
        {SQL_REAL, "1.5"},
        {SQL_CHAR, "abc       "},
        {SQL_VARCHAR, "O'Neil, Smith"},
        {SQL_VARCHAR, longVarchar},
        {SQL_WCHAR, "ÄÖÜ       "},
        {SQL_WVARCHAR, "Grüße — 日本語 😀"},
        {SQL_WVARCHAR, longNvarchar},
        {SQL_LONGVARCHAR, "plain text"},
        {SQL_WLONGVARCHAR, "ntext: Ünïcødé"},
        {SQL_TYPE_TIMESTAMP, "2024-02-29 13:45:30.123"},
        {SQL_TYPE_TIMESTAMP, "2024-02-29 13:45:00"},
        {SQL_TYPE_TIMESTAMP, "2024-02-29 13:45:30.1234567"},
        {SQL_TYPE_DATE, "2024-02-29"},
        {-154, "08:15:00.1234567"},
        {SQL_GUID, "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
        {SQL_BINARY, "010203000000"},
        {SQL_VARBINARY, "00FF10"},
        {SQL_VARBINARY, ""}, // checked as bytes below
        {SQL_LONGVARBINARY, "474946383961"},
    };
    ASSERT_EQ(s.columns(), static_cast<int>(expected.size()));
    ASSERT_TRUE(s.fetch());
    for (size_t i = 0; i < expected.size(); ++i) {
        const int column = static_cast<int>(i) + 1;
        EXPECT_EQ(s.sqlType(column), expected[i].type) << "column " << column;
        if (column == 29) {
            const auto bytes = s.binary(column);
            ASSERT_TRUE(bytes);
            EXPECT_EQ(bytes->size(), 1048576u);
            EXPECT_TRUE(*bytes == megabytePattern()) << "1 MB varbinary(max) differs";
            continue;
        }
        std::string value = s.text(column).value_or("NULL");
        for (char& ch : value)
            ch = column >= 27 && ch >= 'a' && ch <= 'f' ? static_cast<char>(ch - 32) : ch;
        EXPECT_EQ(value, expected[i].value) << "column " << column;
    }
    ASSERT_TRUE(s.fetch());
    for (int column = 2; column <= static_cast<int>(expected.size()); ++column)
        EXPECT_EQ(s.text(column), std::nullopt) << "column " << column << " of the NULL row";
    EXPECT_FALSE(s.fetch());

    EXPECT_EQ(rowsOf(c, "SELECT Largest, Precise, Fraction FROM [Ledger] WHERE EntryID <= 2 ORDER BY EntryID"),
              (std::vector<std::string>{
                  "99999999999999999999999999999999999999|9999999999999999999999999999.9999999999|"
                  "0.99999999999999999999999999999999999999",
                  "-99999999999999999999999999999999999999|-0.0000000001|-0.00000000000000000000000000000000000001"}));
    EXPECT_EQ(rowsOf(c, "SELECT [OrderID], [Comment] FROM [Orders] WHERE OrderID = 10249"),
              std::vector<std::string>{"10249|Customer said: \"fragile\", handle with care;\nsecond line, with commas, and 'quotes'."});
    EXPECT_EQ(rowsOf(c, "SELECT * FROM [Order Details] WHERE OrderID = 10249"),
              std::vector<std::string>{"10249|4|-922337203685477.5808|9|NULL|-1.7976931348623157e+308|NULL"});
}

TEST_F(DemoServerTest, OlderProtocolVersionsGetTheTypesSqlServerSendsThem)
{
    // Below TDS 7.3 SQL Server sends date and time types as nvarchar; below 7.2 the (max) types as text types.
    struct Case {
        std::string version;
        SQLSMALLINT date, time, nvarcharMax, varbinaryMax;
        std::string dateText;
    };
    const std::vector<Case> cases{
        {"7.1", SQL_WVARCHAR, SQL_WVARCHAR, SQL_WLONGVARCHAR, SQL_LONGVARBINARY, "2024-02-29"},
        {"7.2", SQL_WVARCHAR, SQL_WVARCHAR, SQL_WVARCHAR, SQL_VARBINARY, "2024-02-29"},
        {"7.3", SQL_TYPE_DATE, -154, SQL_WVARCHAR, SQL_VARBINARY, "2024-02-29"},
        {"7.4", SQL_TYPE_DATE, -154, SQL_WVARCHAR, SQL_VARBINARY, "2024-02-29"},
    };
    for (const Case& k : cases) {
        Connection c(server.connectionString() + "TDS_Version=" + k.version + ";");
        Statement s(c);
        s.exec("SELECT C_date, C_time, C_nvarcharmax, C_varbinarymax FROM [AllTypes] WHERE ID = 1");
        EXPECT_EQ(s.sqlType(1), k.date) << k.version;
        EXPECT_EQ(s.sqlType(2), k.time) << k.version;
        EXPECT_EQ(s.sqlType(3), k.nvarcharMax) << k.version;
        EXPECT_EQ(s.sqlType(4), k.varbinaryMax) << k.version;
        ASSERT_TRUE(s.fetch()) << k.version;
        EXPECT_EQ(s.text(1), k.dateText) << k.version;
        s.text(2);
        EXPECT_EQ(s.text(3).value_or("").size(), std::string("Ω").size() + 5000 * std::string("ü€").size()) << k.version;
        EXPECT_EQ(s.binary(4).value_or("").size(), 1048576u) << k.version;
    }
}

TEST_F(DemoServerTest, ASqlErrorComesBackAndTheSessionGoesOn)
{
    Connection c(server.connectionString());
    struct Case {
        std::string sql, state;
        long native;
        std::string message;
    };
    const std::vector<Case> cases{
        {"SELECT * FROM [Missing]", "42S02", 208, "[FreeTDS][SQL Server]Invalid object name 'Missing'."},
        {"SELECT Nope FROM [Customers]", "42S22", 207, "[FreeTDS][SQL Server]Invalid column name 'Nope'."},
        {"SELEC 1", "42000", 102, "[FreeTDS][SQL Server]Incorrect syntax near 'SELEC'."},
    };
    for (const Case& k : cases) {
        Statement s(c);
        try {
            s.exec(k.sql);
            ADD_FAILURE() << "accepted: " << k.sql;
        } catch (const OdbcError& e) {
            ASSERT_FALSE(e.diags.empty());
            EXPECT_EQ(e.diags[0].state, k.state) << k.sql;
            EXPECT_EQ(e.diags[0].native, k.native) << k.sql;
            EXPECT_EQ(e.diags[0].message, k.message) << k.sql;
        }
        EXPECT_EQ(rowsOf(c, "SELECT CustomerID FROM [Customers] WHERE CustomerID = 2"), std::vector<std::string>{"2"});
    }

    // Statements that change data report their row count; a prepared statement with a parameter works.
    Statement ddl(c);
    ddl.exec("CREATE TABLE [Scratch Pad] (ID int, Note nvarchar(20))");
    Statement insert(c);
    insert.execWide(u"INSERT INTO [Scratch Pad] VALUES (1, N'één ✓'), (2, N'two')");
    SQLLEN changed = 0;
    SQLRowCount(insert.handle(), &changed);
    EXPECT_EQ(changed, 2);
    Statement prepared(c);
    check(SQLPrepare(prepared.handle(), (SQLCHAR*)"SELECT Note FROM [Scratch Pad] WHERE ID = ?", SQL_NTS), SQL_HANDLE_STMT,
          prepared.handle());
    SQLINTEGER id = 1;
    check(SQLBindParameter(prepared.handle(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, nullptr),
          SQL_HANDLE_STMT, prepared.handle());
    check(SQLExecute(prepared.handle()), SQL_HANDLE_STMT, prepared.handle());
    ASSERT_TRUE(prepared.fetch());
    EXPECT_EQ(prepared.text(1), "één ✓");
}

TEST_F(DemoServerTest, TwoClientsReadAtTheSameTime)
{
    Connection a(server.connectionString());
    Connection b(server.connectionString());
    Statement sa(a), sb(b);
    sa.exec("SELECT CustomerID FROM [Customers] ORDER BY CustomerID");
    sb.exec("SELECT ProductID FROM [Products] ORDER BY ProductID DESC");
    std::string seen;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(sa.fetch());
        ASSERT_TRUE(sb.fetch());
        seen += *sa.text(1) + *sb.text(1) + " ";
    }
    EXPECT_EQ(seen, "14 23 32 41 ");
}

TEST_F(DemoServerTest, ACancelledHalfReadResultLeavesTheConnectionUsable)
{
    const auto orders = testsupport::makeOrdersDatabase("cancel.sqlite", 200000, 200);
    DemoServer big({{"Big", orders}});
    Connection c(big.connectionString("Big"));
    for (int round = 0; round < 3; ++round) {
        Statement s(c);
        s.exec("SELECT * FROM [Orders]");
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(s.fetch());
        if (round == 0)
            check(SQLCancel(s.handle()), SQL_HANDLE_STMT, s.handle());
        else
            check(SQLFreeStmt(s.handle(), SQL_CLOSE), SQL_HANDLE_STMT, s.handle());
        EXPECT_EQ(rowsOf(c, "SELECT OrderID, Customer FROM [Orders] WHERE OrderID = 7"),
                  std::vector<std::string>{"7|Björk AB 7"})
            << "round " << round;
    }
}

TEST_F(DemoServerTest, AMillionRowsStreamInFlatServerMemory)
{
    const long rows = 1000000;
    const auto orders = testsupport::makeOrdersDatabase("million.sqlite", rows, 0);
    DemoServer big({{"Big", orders}});
    Connection c(big.connectionString("Big"));
    Statement s(c);
    s.exec("SELECT OrderID FROM [Orders]");
    long count = 0, early = 0, peak = 0;
    SQLINTEGER id = 0;
    SQLLEN indicator = 0;
    check(SQLBindCol(s.handle(), 1, SQL_C_SLONG, &id, 0, &indicator), SQL_HANDLE_STMT, s.handle());
    while (s.fetch()) {
        ++count;
        if (count == 20000)
            early = big.residentKiB();
        if (count % 100000 == 0)
            peak = std::max(peak, big.residentKiB());
    }
    EXPECT_EQ(count, rows);
    EXPECT_EQ(id, rows);
    EXPECT_LT(peak - early, 8 * 1024) << "server memory grew from " << early << " KiB to " << peak << " KiB";
}

} // namespace
