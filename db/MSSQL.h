#pragma once
// Module MSSQL: the SQL Server login's connection string, the silent connection check, the
// table catalog and the configuration of the run's source connection.

#include "db/Ado.h"
#include "platform/ListBox.h"

#include <string>

namespace MSSQL {

// The main window's login fields: Text5, Text6, Text8, Text3, Text4, and Check4 in state 1.
struct Login {
    std::string server, port, database, user, password;
    bool localConnection = false;
};

// "Driver={SQL Server};Server=<server>[,<port>];Database=…;Uid=…;Pwd=…;" with the port left out
// for a local connection. Values go in unchanged, except that one holding ';', '{' or '}' is
// braced so that it stays one value (a password "pa;ss" would otherwise split the string).
std::string BuildSqlServerConnectionString(const Login& login);

// Whether a connection with the login opens; shows nothing and raises nothing.
bool CanConnectSqlServer(const Login& login);

// Clears the list and fills it with the names of the database's user tables: catalog rows of
// type "TABLE" whose names do not contain "SYS" in any letter case, in the driver's order.
// Lets window events run once per table row. Raises db::Error; a failure before the catalog is
// read leaves the list as it was.
void ListSqlServerTables(const Login& login, platform::ListBox& list);

// The run's source connection before its Open: server-side cursor, 5000 s command and
// connection timeouts.
void ConfigureSqlServerConnection(db::Connection& connection);

} // namespace MSSQL
