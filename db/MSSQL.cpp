#include "db/MSSQL.h"

#include "db/OdbcConnectionString.h"
#include "paradox/CaseFold.h"

#include <algorithm>
#include <cctype>

namespace MSSQL {

std::optional<Encrypt> ParseEncrypt(std::string_view text)
{
    if (db::equalsIgnoringCase(text, "off"))
        return Encrypt::Off;
    if (db::equalsIgnoringCase(text, "request"))
        return Encrypt::Request;
    if (db::equalsIgnoringCase(text, "require"))
        return Encrypt::Require;
    return std::nullopt;
}

namespace {

std::string encryptionAttributes(const Encryption& encryption)
{
    if (encryption.mode == Encrypt::Off)
        return "Encryption=off;";
    std::string text = encryption.mode == Encrypt::Require ? "Encryption=require;" : "";
    // A required encryption is worth nothing against an impostor, so its certificate is checked
    // against the system's authorities unless the user names others or trusts the server.
    if (!encryption.trustServerCertificate && (encryption.mode == Encrypt::Require || !encryption.caFile.empty()))
        text += "ServerCertificate=" +
                db::connectionValue(encryption.caFile.empty() ? std::string("system") : encryption.caFile) + ";";
    return text;
}

} // namespace

std::string BuildSqlServerConnectionString(const Login& login)
{
    using db::connectionValue;
    const std::string server = login.localConnection ? login.server : login.server + "," + login.port;
    return "Driver={SQL Server};Server=" + connectionValue(server) + ";Database=" + connectionValue(login.database) +
           ";Uid=" + connectionValue(login.user) + ";Pwd=" + connectionValue(login.password) + ";" +
           encryptionAttributes(login.encryption);
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

// Names as Windows matches them: by Unicode case folding.
bool sameName(const std::string& a, const std::string& b) { return paradox::foldCase(a) == paradox::foldCase(b); }

// The schemas of the server itself, whose tables are never the user's.
bool systemSchema(const std::string& schema)
{
    return sameName(schema, "sys") || sameName(schema, "INFORMATION_SCHEMA");
}

} // namespace

std::string Bracketed(std::string_view name)
{
    std::string out = "[";
    for (const char c : name) {
        out += c;
        if (c == ']')
            out += ']';
    }
    return out + "]";
}

std::string SourceQuery(const SourceTable& table)
{
    return "SELECT * FROM " + (table.schema.empty() ? "" : Bracketed(table.schema) + ".") + Bracketed(table.name);
}

std::vector<SourceTable> ListSqlServerTables(const Login& login, platform::ListBox& list,
                                             const std::function<void()>& letEventsRun)
{
    db::Connection connection;
    connection.Open(BuildSqlServerConnectionString(login));
    db::Recordset rows = connection.OpenSchema(db::adSchemaTables);
    list.Clear();
    std::vector<SourceTable> tables;
    while (!rows.Eof()) {
        const std::string* type = text(rows.Fields("TABLE_TYPE").value);
        if (type && *type == "TABLE") {
            if (letEventsRun)
                letEventsRun();
            const std::string* name = text(rows.Fields("TABLE_NAME").value);
            const std::string* schema = text(rows.Fields("TABLE_SCHEMA").value);
            if (name && !containsSys(*name) && !(schema && systemSchema(*schema)))
                tables.push_back({schema ? *schema : std::string(), *name, *name});
        }
        rows.MoveNext();
    }
    rows.Close();
    connection.Close();
    for (SourceTable& table : tables) {
        const bool shared = std::ranges::count_if(tables, [&](const SourceTable& other) {
                                return sameName(other.name, table.name);
                            }) > 1;
        if (shared && !table.schema.empty())
            table.paradoxName = table.schema + "_" + table.name;
    }
    for (const SourceTable& table : tables)
        list.AddItem(table.paradoxName);
    return tables;
}

std::vector<std::string> SchemaQualifiedNames(const std::vector<SourceTable>& tables)
{
    std::vector<std::string> names;
    for (const SourceTable& table : tables)
        if (table.paradoxName != table.name)
            names.push_back(table.paradoxName);
    return names;
}

std::vector<CatalogRowCount> CatalogRowCounts(const Login& login)
{
    // Heap (index 0) or clustered index (1) partitions hold every row exactly once.
    static const char* const query =
        "SELECT sch.name AS table_schema, tbl.name AS table_name, SUM(part.rows) AS row_count "
        "FROM sys.tables AS tbl "
        "JOIN sys.schemas AS sch ON sch.schema_id = tbl.schema_id "
        "JOIN sys.partitions AS part ON part.object_id = tbl.object_id "
        "WHERE part.index_id IN (0, 1) "
        "GROUP BY sch.name, tbl.name";
    db::Connection connection;
    connection.Open(BuildSqlServerConnectionString(login));
    db::Recordset rows;
    rows.Open(query, connection);
    std::vector<CatalogRowCount> counts;
    while (!rows.Eof()) {
        const std::string* schema = text(rows.Fields("table_schema").value);
        const std::string* name = text(rows.Fields("table_name").value);
        const db::Value& count = rows.Fields("row_count").value;
        if (schema && name) {
            std::int64_t value = 0;
            if (const auto* whole = std::get_if<std::int64_t>(&count))
                value = *whole;
            else if (const auto* decimal = std::get_if<db::Decimal>(&count))
                value = std::stoll(decimal->text);
            counts.push_back({*schema, *name, value});
        }
        rows.MoveNext();
    }
    rows.Close();
    connection.Close();
    return counts;
}

std::vector<std::string> PrimaryKeyColumns(db::Connection& connection, const SourceTable& table)
{
    const auto literal = [](const std::string& text) {
        std::string quoted = "N'";
        for (const char c : text)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return quoted + "'";
    };
    const std::string query =
        "SELECT col.name AS column_name FROM sys.indexes AS ix "
        "JOIN sys.index_columns AS ic ON ic.object_id = ix.object_id AND ic.index_id = ix.index_id "
        "JOIN sys.columns AS col ON col.object_id = ic.object_id AND col.column_id = ic.column_id "
        "JOIN sys.tables AS tbl ON tbl.object_id = ix.object_id "
        "JOIN sys.schemas AS sch ON sch.schema_id = tbl.schema_id "
        "WHERE ix.is_primary_key = 1 AND tbl.name = " + literal(table.name) +
        (table.schema.empty() ? std::string() : " AND sch.name = " + literal(table.schema)) +
        " ORDER BY ic.key_ordinal";
    db::Recordset rows;
    rows.Open(query, connection);
    std::vector<std::string> columns;
    while (!rows.Eof()) {
        if (const std::string* name = text(rows.Fields("column_name").value))
            columns.push_back(*name);
        rows.MoveNext();
    }
    rows.Close();
    return columns;
}

} // namespace MSSQL
