#include "db/OdbcHandles.h"

#include "db/Ado.h"
#include "db/OdbcText.h"

#include <cstring>

namespace db::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the wide ODBC calls are used as UTF-16");

EnvironmentHandle allocateEnvironment()
{
    SQLHANDLE env = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env)))
        throw Error("The ODBC driver manager could not allocate an environment.");
    EnvironmentHandle owner(env);
    check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), owner,
          "SQLSetEnvAttr");
    return owner;
}

ConnectionHandle allocateConnection(const EnvironmentHandle& environment)
{
    SQLHANDLE dbc = nullptr;
    check(SQLAllocHandle(SQL_HANDLE_DBC, environment.get(), &dbc), environment, "SQLAllocHandle");
    return ConnectionHandle(dbc);
}

StatementHandle allocateStatement(const ConnectionHandle& connection)
{
    SQLHANDLE stmt = nullptr;
    check(SQLAllocHandle(SQL_HANDLE_STMT, connection.get(), &stmt), connection, "SQLAllocHandle");
    return StatementHandle(stmt);
}

std::string diagnostics(SQLSMALLINT kind, SQLHANDLE handle)
{
    std::string text;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(kind, handle, record, state, &native, nullptr, 0, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        std::u16string message(static_cast<std::size_t>(length) + 1, u'\0');
        SQLGetDiagRecW(kind, handle, record, state, &native, reinterpret_cast<SQLWCHAR*>(message.data()),
                       static_cast<SQLSMALLINT>(message.size()), &length);
        message.resize(static_cast<std::size_t>(length));
        if (!text.empty())
            text += '\n';
        text += "[" + utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(state), 5)) + "] ";
        text += utf16ToUtf8(message);
        if (native != 0)
            text += " (native " + std::to_string(native) + ")";
    }
    return text;
}

void check(SQLRETURN rc, SQLSMALLINT kind, SQLHANDLE handle, const char* call)
{
    if (SQL_SUCCEEDED(rc))
        return;
    std::string text = rc == SQL_INVALID_HANDLE ? std::string() : diagnostics(kind, handle);
    if (text.empty())
        text = std::string(call) + " failed without a diagnostic (return code " + std::to_string(rc) + ").";
    // A timeout, or a connection that broke: the server will not answer the next call either.
    for (const char* lasting : {"HYT00", "HYT01", "08S01"})
        if (rc != SQL_INVALID_HANDLE && hasState(kind, handle, lasting))
            throw LastingError(text);
    throw Error(text);
}

bool hasState(SQLSMALLINT kind, SQLHANDLE handle, const char* state)
{
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR found[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(kind, handle, record, found, &native, nullptr, 0, &length)))
            return false;
        bool same = true;
        for (int i = 0; i < 5; ++i)
            same = same && found[i] == static_cast<SQLWCHAR>(state[i]);
        if (same)
            return true;
    }
}

} // namespace db::odbc
