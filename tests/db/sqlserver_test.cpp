// The SQL Server side through the real FreeTDS ODBC driver against the demo server: the login
// check, driver texts of failures, the table catalog, every column type with its ADO code and
// exact value, streaming, and timeouts reaching the driver.

#include "DemoServer.h"
#include "SqliteScript.h"
#include "TestPaths.h"
#include "db/Ado.h"
#include "db/MSSQL.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>

namespace {

const bool driverRegistered = (testsupport::registerSqlServerDriver(), true);

std::string failureOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const db::Error& e) {
        return e.what();
    }
    return "(no failure)";
}

MSSQL::Login loginFor(const testsupport::DemoServer& server, std::string database = "Sales")
{
    return {"127.0.0.1", std::to_string(server.port()), std::move(database), server.user(), server.password(), false, {}};
}

// A TCP socket of 127.0.0.1 that the test holds open: listening but never answering, or, once
// closed, a port where nothing listens.
struct Socket {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    explicit Socket(bool listening)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        if (listening)
            listen(fd, 4);
    }
    ~Socket() { close(fd); }
};

TEST(SqlServerLogin, CheckSucceedsOnlyForAWorkingLogin)
{
    testsupport::DemoServer server;
    const MSSQL::Login good = loginFor(server);
    EXPECT_TRUE(MSSQL::CanConnectSqlServer(good));

    MSSQL::Login wrongPassword = good;
    wrongPassword.password = "wrong";
    EXPECT_FALSE(MSSQL::CanConnectSqlServer(wrongPassword));

    MSSQL::Login unknownDatabase = good;
    unknownDatabase.database = "Nope";
    EXPECT_FALSE(MSSQL::CanConnectSqlServer(unknownDatabase));

    MSSQL::Login nothingListening = good;
    nothingListening.port = std::to_string(Socket(false).port);
    EXPECT_FALSE(MSSQL::CanConnectSqlServer(nothingListening));

    MSSQL::Login emptyPort = good;
    emptyPort.port = "";
    EXPECT_FALSE(MSSQL::CanConnectSqlServer(emptyPort));
}

TEST(SqlServerLogin, PasswordWithSemicolonAndBracesLogsIn)
{
    for (const std::string password : {"pa;ss", "a}b{c;", "{braced}", "x}"}) {
        testsupport::DemoServer server({{"Sales", testsupport::freshSalesDatabase()}}, "sa", password);
        EXPECT_TRUE(MSSQL::CanConnectSqlServer(loginFor(server))) << password;
    }
}

TEST(SqlServerLogin, LocalConnectionUsesTheDefaultPort)
{
    testsupport::DemoServer server;
    MSSQL::Login local = loginFor(server);
    local.localConnection = true;
    local.port = "1";
    ::setenv("TDSPORT", std::to_string(server.port()).c_str(), 1);
    EXPECT_TRUE(MSSQL::CanConnectSqlServer(local));
    local.server = "(local)";
    EXPECT_TRUE(MSSQL::CanConnectSqlServer(local));
    ::unsetenv("TDSPORT");
}

TEST(SqlServerLogin, FailuresCarryEveryDiagnosticWithItsState)
{
    testsupport::DemoServer server;
    db::Connection connection;
    const std::string wrong = failureOf([&] { connection.Open(server.connectionString("Sales", "sa", "wrong")); });
    EXPECT_EQ(wrong, "[42000] [FreeTDS][SQL Server]Login failed for user 'sa'. (native 18456)\n"
                     "[08001] [FreeTDS][SQL Server]Unable to connect to data source");
    EXPECT_FALSE(connection.isOpen());
    const std::string database = failureOf([&] { connection.Open(server.connectionString("Nope")); });
    EXPECT_NE(database.find("[42000] [FreeTDS][SQL Server]Cannot open database \"Nope\" requested by the login. "
                            "The login failed. (native 4060)"),
              std::string::npos)
        << database;

    connection.Open(server.connectionString());
    db::Recordset missing;
    EXPECT_EQ(failureOf([&] { missing.Open("SELECT * FROM [Missing]", connection); }),
              "[42S02] [FreeTDS][SQL Server]Invalid object name 'Missing'. (native 208)");
    // The session goes on after a rejected statement.
    db::Recordset rows;
    rows.Open("SELECT * FROM [Customers]", connection);
    EXPECT_FALSE(rows.Eof());
}

TEST(SqlServerLogin, LoginTimeoutReachesTheDriver)
{
    // A server that accepts the connection and never answers: only the login timeout ends Open.
    Socket silent(true);
    db::Connection connection;
    connection.ConnectionTimeout = 1;
    const std::string text = failureOf(
        [&] { connection.Open("Driver={SQL Server};Server=127.0.0.1," + std::to_string(silent.port) + ";Uid=sa;Pwd=x;"); });
    EXPECT_NE(text.find("[HYT00]"), std::string::npos) << text;
}

TEST(SqlServerCatalog, OnlyUserTablesWithoutSys)
{
    const auto file = testsupport::freshFolder("catalog") / "Catalog.sqlite";
    dbtest::writeSqlite(file, "CREATE TABLE Customers (ID int);"
                              "CREATE TABLE sysdiagrams (ID int);"
                              "CREATE TABLE AuditSystem (ID int);"
                              "CREATE VIEW vOrders AS SELECT ID FROM Customers;");
    testsupport::DemoServer server({{"Shop", file}});
    platform::ListBox list;
    list.AddItem("left over");
    MSSQL::ListSqlServerTables(loginFor(server, "Shop"), list);
    EXPECT_EQ(list.items(), std::vector<std::string>{"Customers"});

    // A failing login leaves the list as it was.
    MSSQL::Login wrong = loginFor(server, "Shop");
    wrong.password = "wrong";
    EXPECT_THROW(MSSQL::ListSqlServerTables(wrong, list), db::Error);
    EXPECT_EQ(list.items(), std::vector<std::string>{"Customers"});

    const auto allSys = testsupport::freshFolder("catalog-sys") / "Sys.sqlite";
    dbtest::writeSqlite(allSys, "CREATE TABLE SystemLog (ID int); CREATE TABLE OrderSysLink (ID int);"
                                "CREATE TABLE [my sys] (ID int);");
    testsupport::DemoServer sysServer({{"Sys", allSys}});
    MSSQL::ListSqlServerTables(loginFor(sysServer, "Sys"), list);
    EXPECT_TRUE(list.items().empty());
}

TEST(SqlServerCatalog, SchemasResolveAsOnSqlServer)
{
    const auto file = testsupport::freshFolder("catalog-schemas") / "Schemas.sqlite";
    dbtest::writeSqlite(file, "CREATE TABLE Customers (Tag nvarchar(10)); INSERT INTO Customers VALUES ('dbo');"
                              "CREATE TABLE \"Shop.Customers\" (Tag nvarchar(10));"
                              "INSERT INTO \"Shop.Customers\" VALUES ('shop');"
                              "CREATE TABLE \"Shop.Products\" (Tag nvarchar(10));"
                              "CREATE TABLE \"sys.Hidden\" (ID int); CREATE TABLE \"INFORMATION_SCHEMA.Hidden\" (ID int);");
    testsupport::DemoServer server({{"Shop", file}});
    db::Connection connection;
    connection.Open(server.connectionString("Shop"));
    const auto firstTag = [&](const std::string& query) {
        db::Recordset rows;
        rows.Open(query, connection);
        return std::get<std::string>(rows.Fields().at(0).value);
    };
    EXPECT_EQ(firstTag("SELECT * FROM [Customers]"), "dbo");
    EXPECT_EQ(firstTag("SELECT * FROM [dbo].[Customers]"), "dbo");
    EXPECT_EQ(firstTag("SELECT * FROM [Shop].[Customers]"), "shop");
    EXPECT_EQ(firstTag("SELECT * FROM Shop.Customers"), "shop");
    // An unqualified name means dbo, whatever other schemas hold.
    db::Recordset missing;
    EXPECT_EQ(failureOf([&] { missing.Open("SELECT * FROM [Products]", connection); }),
              "[42S02] [FreeTDS][SQL Server]Invalid object name 'Products'. (native 208)");

    std::vector<std::string> rows;
    db::Recordset tables = connection.OpenSchema(db::adSchemaTables);
    for (; !tables.Eof(); tables.MoveNext())
        if (std::get<std::string>(tables.Fields("TABLE_TYPE").value) == "TABLE")
            rows.push_back(std::get<std::string>(tables.Fields("TABLE_SCHEMA").value) + "." +
                           std::get<std::string>(tables.Fields("TABLE_NAME").value));
    EXPECT_EQ(rows, (std::vector<std::string>{"dbo.Customers", "INFORMATION_SCHEMA.Hidden", "Shop.Customers",
                                              "Shop.Products", "sys.Hidden"}));

    platform::ListBox list;
    const std::vector<MSSQL::SourceTable> listed = MSSQL::ListSqlServerTables(loginFor(server, "Shop"), list);
    EXPECT_EQ(list.items(), (std::vector<std::string>{"dbo_Customers", "Shop_Customers", "Products"}));
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[2].schema, "Shop");
    EXPECT_EQ(listed[2].name, "Products");
    EXPECT_EQ(MSSQL::SchemaQualifiedNames(listed), (std::vector<std::string>{"dbo_Customers", "Shop_Customers"}));
}

TEST(SqlServerCatalog, SchemaRowsHaveTheRowsetNames)
{
    testsupport::DemoServer server;
    db::Connection connection;
    connection.Open(server.connectionString());
    db::Recordset tables = connection.OpenSchema(db::adSchemaTables);
    std::vector<std::string> names;
    for (const db::Field& f : tables.Fields())
        names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::string>{"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"}));
    std::vector<std::string> types;
    for (; !tables.Eof(); tables.MoveNext())
        types.push_back(std::get<std::string>(tables.Fields("TABLE_TYPE").value));
    for (const char* type : {"TABLE", "VIEW", "SYSTEM TABLE"})
        EXPECT_NE(std::find(types.begin(), types.end(), type), types.end()) << type;
}

std::string repeated(const std::string& piece, int times)
{
    std::string s;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s;
}

db::Bytes megabyte()
{
    db::Bytes b(1024 * 1024);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
    return b;
}

TEST(SqlServerTypes, EveryTypeWithItsAdoCodeAndExactValue)
{
    // Exact numbers beyond 15 digits are stored as the BLOB of their text, which SQLite's numeric
    // affinity leaves alone.
    const std::string longText = repeated("a😀€", 30000); // surrogate pairs across the pieces
    const auto file = testsupport::freshFolder("types") / "Types.sqlite";
    dbtest::writeSqlite(
        file,
        "CREATE TABLE Types (ID int, C_int int, C_smallint smallint, C_tinyint tinyint, C_bigint bigint, C_bit bit,"
        " C_decimal decimal(38,0), C_scaled decimal(38,10), C_numeric numeric(10,3), C_money money,"
        " C_smallmoney smallmoney, C_float float, C_real real, C_char char(5), C_varchar varchar(40),"
        " C_varcharmax [varchar(max)], C_nchar nchar(3), C_nvarchar nvarchar(40), C_nvarcharmax [nvarchar(max)],"
        " C_text text, C_ntext ntext, C_datetime datetime, C_smalldatetime smalldatetime, C_datetime2 datetime2,"
        " C_date date, C_time time, C_guid uniqueidentifier, C_binary binary(4), C_varbinary varbinary(10),"
        " C_varbinarymax [varbinary(max)], C_image image);"
        "INSERT INTO Types VALUES (1, -2147483648, 32767, 255, -9223372036854775808, 1,"
        " CAST('99999999999999999999999999999999999999' AS BLOB),"
        " CAST('-1234567890123456789012345678.0000000001' AS BLOB), '0.500',"
        " CAST('-922337203685477.5808' AS BLOB), '214748.3647', 1.7976931348623157e308, 3.5, 'ab',"
        " 'O''Neil, Smith; \"x\" €' || char(10) || 'line 2', '" + repeated("x", 10000) + "', 'Äö',"
        " 'Grüße — 日本語 😀', '" + longText + "', 'plain', 'ünï', '2024-02-29 13:45:30.123',"
        " '2024-02-29 13:45:00', '2024-02-29 13:45:30.1234567', '2024-02-29', '08:15:00.1234567',"
        " '6F9619FF-8B86-D011-B42D-00C04FC964FF', x'DEADBEEF', x'00FF10', ?, x'0102');"
        "INSERT INTO Types (ID) VALUES (2);"
        "INSERT INTO Types SELECT * FROM Types WHERE ID = 1;",
        {megabyte()});
    testsupport::DemoServer server({{"Types", file}});
    db::Connection connection;
    connection.Open(server.connectionString("Types"));
    db::Recordset rs;
    rs.Open("SELECT * FROM [Types]", connection, db::adOpenStatic, db::adLockOptimistic);
    EXPECT_EQ(rs.RecordCount(), 3);
    ASSERT_FALSE(rs.Eof());
    EXPECT_FALSE(rs.bof());

    using db::DateTime;
    struct Expected {
        const char* column;
        int type;
        db::Value value;
    };
    const Expected expected[] = {
        {"C_int", db::adInteger, std::int64_t{-2147483648LL}},
        {"C_smallint", db::adSmallInt, std::int64_t{32767}},
        {"C_tinyint", db::adUnsignedTinyInt, std::int64_t{255}},
        {"C_bigint", db::adBigInt, std::int64_t{INT64_MIN}},
        {"C_bit", db::adBoolean, true},
        {"C_decimal", db::adNumeric, db::Decimal{"99999999999999999999999999999999999999"}},
        {"C_scaled", db::adNumeric, db::Decimal{"-1234567890123456789012345678.0000000001"}},
        {"C_numeric", db::adNumeric, db::Decimal{"0.500"}},
        {"C_money", db::adNumeric, db::Decimal{"-922337203685477.5808"}},
        {"C_smallmoney", db::adNumeric, db::Decimal{"214748.3647"}},
        {"C_float", db::adDouble, 1.7976931348623157e308},
        {"C_real", db::adSingle, 3.5},
        {"C_char", db::adChar, std::string("ab   ")},
        {"C_varchar", db::adVarChar, std::string("O'Neil, Smith; \"x\" €\nline 2")},
        {"C_varcharmax", db::adLongVarChar, repeated("x", 10000)},
        {"C_nchar", db::adWChar, std::string("Äö ")},
        {"C_nvarchar", db::adVarWChar, std::string("Grüße — 日本語 😀")},
        {"C_nvarcharmax", db::adLongVarWChar, longText},
        {"C_text", db::adLongVarChar, std::string("plain")},
        {"C_ntext", db::adLongVarWChar, std::string("ünï")},
        {"C_datetime", db::adDBTimeStamp, DateTime{2024, 2, 29, 13, 45, 30, 123000000}},
        {"C_smalldatetime", db::adDBTimeStamp, DateTime{2024, 2, 29, 13, 45, 0, 0}},
        {"C_datetime2", db::adDBTimeStamp, DateTime{2024, 2, 29, 13, 45, 30, 123456700}},
        {"C_date", db::adDBDate, DateTime{2024, 2, 29, 0, 0, 0, 0}},
        {"C_time", db::adDBTime, DateTime{1899, 12, 30, 8, 15, 0, 123456700}},
        {"C_guid", db::adGUID, db::Guid{"6F9619FF-8B86-D011-B42D-00C04FC964FF"}},
        {"C_binary", db::adBinary, db::Bytes{0xDE, 0xAD, 0xBE, 0xEF}},
        {"C_varbinary", db::adVarBinary, db::Bytes{0x00, 0xFF, 0x10}},
        {"C_varbinarymax", db::adLongVarBinary, megabyte()},
        {"C_image", db::adLongVarBinary, db::Bytes{0x01, 0x02}},
    };
    auto expectEveryValue = [&](const char* row) {
        const std::vector<db::Field>& fields = rs.Fields();
        ASSERT_EQ(fields.size(), std::size(expected) + 1);
        EXPECT_EQ(fields[0].name, "ID");
        for (std::size_t i = 0; i < std::size(expected); ++i) {
            const db::Field& f = fields[i + 1];
            EXPECT_EQ(f.name, expected[i].column);
            EXPECT_EQ(f.Type, expected[i].type) << f.name;
            EXPECT_TRUE(f.value == expected[i].value) << f.name << " holds another value in the " << row << " row";
        }
    };
    expectEveryValue("first");
    EXPECT_EQ(rs.Fields("C_decimal").precision, 38);
    EXPECT_EQ(rs.Fields("C_scaled").numericScale, 10);

    rs.MoveNext();
    ASSERT_FALSE(rs.Eof());
    EXPECT_FALSE(rs.bof());
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_TRUE(db::isNull(rs.Fields()[i + 1].value)) << expected[i].column;
        EXPECT_EQ(rs.Fields()[i + 1].Type, expected[i].type) << expected[i].column;
    }
    // The same values after a row of NULLs: nothing of the NULL row lingers.
    rs.MoveNext();
    ASSERT_FALSE(rs.Eof());
    expectEveryValue("third");
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    rs.Close();
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

TEST(SqlServerRows, AMillionRowsStreamInFlatMemory)
{
    constexpr long kRows = 1000000;
    testsupport::DemoServer server({{"Big", testsupport::makeOrdersDatabase("Big.sqlite", kRows, 0)}});
    db::Connection connection;
    connection.Open(server.connectionString("Big"));
    db::Recordset rs;
    rs.Open("SELECT * FROM [Orders]", connection);
    EXPECT_EQ(rs.RecordCount(), kRows);
    long rows = 0;
    long early = 0;
    for (; !rs.Eof(); rs.MoveNext())
        if (++rows == 10000)
            early = residentKiB();
    EXPECT_EQ(rows, kRows);
    // Growth with the rows would show as tens of megabytes here.
    EXPECT_LT(residentKiB() - early, 4 * 1024);
}

// Columns whose values the caller does not use are null in every row, read ahead or not; the
// others arrive whole.
TEST(SqlServerRows, ColumnsLeftUnreadAreNullInEveryRow)
{
    testsupport::DemoServer server({{"Big", testsupport::makeOrdersDatabase("Unread.sqlite", 3000, 64)}});
    db::Connection connection;
    connection.Open(server.connectionString("Big"));
    // Every column as a recordset that reads them all gives it, the binary one aside.
    std::vector<std::vector<db::Value>> expected;
    {
        db::Recordset all;
        all.Open("SELECT * FROM [Orders]", connection);
        for (; !all.Eof(); all.MoveNext()) {
            ASSERT_EQ(std::get<db::Bytes>(all.Fields("Scan").value).size(), 64u);
            std::vector<db::Value>& row = expected.emplace_back();
            for (const db::Field& field : all.Fields())
                row.push_back(field.name == "Scan" ? db::Value(db::Null{}) : field.value);
        }
    }
    ASSERT_EQ(expected.size(), 3000u);
    // The columns after the one left unread (Placed) are read as those before it.
    for (const bool readsAhead : {false, true}) {
        db::Recordset rs;
        rs.readsAhead = readsAhead;
        rs.needsValue = [](const db::Field& field) { return field.name != "Scan"; };
        rs.Open("SELECT * FROM [Orders]", connection);
        std::size_t rows = 0;
        for (; !rs.Eof(); rs.MoveNext(), ++rows) {
            ASSERT_LT(rows, expected.size());
            std::vector<db::Value> row;
            for (const db::Field& field : rs.Fields())
                row.push_back(field.value);
            ASSERT_EQ(row, expected[rows]) << "row " << rows + 1 << (readsAhead ? ", read ahead" : "");
        }
        EXPECT_EQ(rows, expected.size());
        rs.Close();
    }
    db::Recordset again;
    again.Open("SELECT * FROM [Orders]", connection);
    EXPECT_EQ(std::get<db::Bytes>(again.Fields("Scan").value).size(), 64u);
}

TEST(SqlServerRows, AResultLeftHalfReadFreesTheConnection)
{
    testsupport::DemoServer server({{"Big", testsupport::makeOrdersDatabase("Half.sqlite", 20000, 0)}});
    db::Connection connection;
    connection.Open(server.connectionString("Big"));
    db::Recordset first;
    first.Open("SELECT * FROM [Orders]", connection);
    first.MoveNext();
    first.Close();
    db::Recordset second;
    second.Open("SELECT * FROM [Orders]", connection);
    EXPECT_EQ(second.RecordCount(), 20000);
    EXPECT_EQ(std::get<std::int64_t>(second.Fields()[0].value), std::get<std::int64_t>(second.Fields("OrderID").value));
}

TEST(SqlServerRows, ResultsEndWithTheirConnection)
{
    testsupport::DemoServer server;
    auto connection = std::make_unique<db::Connection>();
    connection->Open(server.connectionString());
    db::Recordset rs;
    rs.Open("SELECT * FROM [Customers]", *connection);
    ASSERT_FALSE(rs.Eof());
    connection->Close();
    EXPECT_EQ(failureOf([&] { rs.MoveNext(); }), "Operation is not allowed when the object is closed.");
    connection.reset();
    rs.Close();
    EXPECT_FALSE(rs.isOpen());
}

} // namespace
