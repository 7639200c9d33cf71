// Without any driver registered under "SQL Server", a connection string naming {SQL Server} still
// reaches FreeTDS's driver.

#include "DemoServer.h"
#include "TestPaths.h"
#include "db/Ado.h"
#include "db/MSSQL.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// An empty driver registry of the test's own, so no system-wide entry can serve the name.
const bool registryEmptied = [] {
    const auto folder = testsupport::freshFolder("no-drivers");
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    return true;
}();

TEST(SqlServerFallback, UnregisteredDriverNameReachesFreeTds)
{
    testsupport::DemoServer server;
    const MSSQL::Login login{"127.0.0.1", std::to_string(server.port()), "Sales", server.user(), server.password(), false, {}};
    EXPECT_TRUE(MSSQL::CanConnectSqlServer(login));
    platform::ListBox list;
    MSSQL::ListSqlServerTables(login, list);
    EXPECT_NE(std::find(list.items().begin(), list.items().end(), "Customers"), list.items().end());

    // An unknown driver name is the driver manager's failure, with its text.
    db::Connection connection;
    try {
        connection.Open("Driver={No Such Driver};Server=127.0.0.1," + std::to_string(server.port()) + ";");
        ADD_FAILURE() << "opened with an unknown driver";
    } catch (const db::Error& e) {
        EXPECT_NE(std::string(e.what()).find("[01000]"), std::string::npos) << e.what();
    }
}

} // namespace
