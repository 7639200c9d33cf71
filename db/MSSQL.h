#pragma once
// Module MSSQL: the SQL Server login's connection string, the silent connection check, the
// table catalog and the configuration of the run's source connection.

#include "db/Ado.h"
#include "platform/ListBox.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace MSSQL {

// FreeTDS's encryption levels: off never encrypts, request encrypts when the server can (and
// then at least the login), require refuses a server that cannot.
enum class Encrypt { Off, Request, Require };

struct Encryption {
    Encrypt mode = Encrypt::Request;
    // Accept the server's certificate without checking it.
    bool trustServerCertificate = false;
    // The certificate authorities (PEM) the server's certificate must verify against; empty
    // means the system's, which are checked only when encryption is required.
    std::string caFile;
};

// "off", "request" or "require", letter case ignored; nothing for any other text.
std::optional<Encrypt> ParseEncrypt(std::string_view text);

// The main window's login fields: Text5, Text6, Text8, Text3, Text4, and Check4 in state 1, with
// the encryption choices of the settings store or the command line.
struct Login {
    std::string server, port, database, user, password;
    bool localConnection = false;
    Encryption encryption;
};

// "Driver={SQL Server};Server=<server>[,<port>];Database=…;Uid=…;Pwd=…;" with the port left out
// for a local connection, followed by FreeTDS's Encryption= when it is not request and by
// ServerCertificate= (the CA file, or "system") when the certificate is to be checked. Values go in unchanged, except that one holding ';', '{' or '}' is
// braced so that it stays one value (a password "pa;ss" would otherwise split the string).
std::string BuildSqlServerConnectionString(const Login& login);

// Whether a connection with the login opens; shows nothing and raises nothing.
bool CanConnectSqlServer(const Login& login);

// A name as one SQL Server identifier: between brackets, every "]" doubled. Every table, schema
// and column name the program sends to SQL Server goes through here, so a name is never read as
// statement text.
std::string Bracketed(std::string_view name);

// One user table of the catalog.
struct SourceTable {
    std::string schema; // empty when the driver gives none
    std::string name;
    // The Paradox table's name: the table's own name, or schema_name when another listed table
    // bears the same name in another schema (letter case aside).
    std::string paradoxName;
};

// "SELECT * FROM [schema].[name]", both parts bracketed; "[name]" alone without a schema.
std::string SourceQuery(const SourceTable& table);

// Clears the list and fills it with the Paradox names of the database's user tables: catalog rows
// of type "TABLE" whose names do not contain "SYS" in any letter case, in the driver's order;
// tables of the schemas sys and INFORMATION_SCHEMA are never listed. Returns the same tables with
// their schemas, in the list's order. Calls `letEventsRun` (when given) once per table row, so a
// window stays responsive over a long catalog. Raises db::Error; a failure before the catalog is
// read leaves the list as it was.
std::vector<SourceTable> ListSqlServerTables(const Login& login, platform::ListBox& list,
                                             const std::function<void()>& letEventsRun = {});

// The Paradox names given as schema_name because two schemas hold a table of that name.
std::vector<std::string> SchemaQualifiedNames(const std::vector<SourceTable>& tables);

// A table's row count as the server's catalog keeps it, summed over the table's partitions
// (sys.partitions): known without reading a row of the table, and as exact as the catalog.
struct CatalogRowCount {
    std::string schema;
    std::string name;
    std::int64_t rows = 0;
};

// The row counts of every user table. Raises db::Error.
std::vector<CatalogRowCount> CatalogRowCounts(const Login& login);

// The columns of the table's primary key in key order (sys.indexes, sys.index_columns); none
// when it has none. Runs on an open connection. Raises db::Error.
std::vector<std::string> PrimaryKeyColumns(db::Connection& connection, const SourceTable& table);

} // namespace MSSQL
