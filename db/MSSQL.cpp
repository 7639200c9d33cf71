#include "db/MSSQL.h"

#include "db/OdbcConnectionString.h"
#include "platform/Yield.h"

#include <algorithm>
#include <cctype>

namespace MSSQL {

std::string BuildSqlServerConnectionString(const Login& login)
{
    using db::connectionValue;
    const std::string server = login.localConnection ? login.server : login.server + "," + login.port;
    return "Driver={SQL Server};Server=" + connectionValue(server) + ";Database=" + connectionValue(login.database) +
           ";Uid=" + connectionValue(login.user) + ";Pwd=" + connectionValue(login.password) + ";";
}

bool CanConnectSqlServer(const Login& login)
{
    try {
        db::Connection connection;
        connection.Open(BuildSqlServerConnectionString(login));
        return true;
    } catch (...) {
        return false;
    }
}

namespace {

bool containsSys(std::string name)
{
    std::ranges::transform(name, name.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name.find("SYS") != std::string::npos;
}

const std::string* text(const db::Value& value) { return std::get_if<std::string>(&value); }

} // namespace

void ListSqlServerTables(const Login& login, platform::ListBox& list)
{
    db::Connection connection;
    connection.Open(BuildSqlServerConnectionString(login));
    db::Recordset tables = connection.OpenSchema(db::adSchemaTables);
    list.Clear();
    while (!tables.Eof()) {
        const std::string* type = text(tables.Fields("TABLE_TYPE").value);
        if (type && *type == "TABLE") {
            platform::DoEvents();
            const std::string* name = text(tables.Fields("TABLE_NAME").value);
            if (name && !containsSys(*name))
                list.AddItem(*name);
        }
        tables.MoveNext();
    }
    tables.Close();
    connection.Close();
}

void ConfigureSqlServerConnection(db::Connection& connection)
{
    connection.CursorLocation = db::adUseServer;
    connection.CommandTimeout = 5000;
    connection.ConnectionTimeout = 5000;
}

} // namespace MSSQL
