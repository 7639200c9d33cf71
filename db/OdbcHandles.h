#pragma once
// Owners of ODBC handles. Each frees its handle when it goes away, never throwing, and can be
// moved but not copied; a connection handle is disconnected before it is freed.

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <utility>

namespace db::odbc {

template <SQLSMALLINT Kind>
class Handle {
public:
    Handle() = default;
    explicit Handle(SQLHANDLE handle) noexcept : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, SQLHANDLE{})) {}
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, SQLHANDLE{});
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != SQLHANDLE{}; }

    void reset() noexcept
    {
        if (handle_ == SQLHANDLE{})
            return;
        if constexpr (Kind == SQL_HANDLE_DBC)
            SQLDisconnect(handle_); // fails harmlessly when never connected
        SQLFreeHandle(Kind, handle_);
        handle_ = SQLHANDLE{};
    }

private:
    SQLHANDLE handle_ = SQLHANDLE{};
};

using EnvironmentHandle = Handle<SQL_HANDLE_ENV>;
using ConnectionHandle = Handle<SQL_HANDLE_DBC>;
using StatementHandle = Handle<SQL_HANDLE_STMT>;

// An environment that asks for ODBC 3 behaviour.
EnvironmentHandle allocateEnvironment();
ConnectionHandle allocateConnection(const EnvironmentHandle& environment);
StatementHandle allocateStatement(const ConnectionHandle& connection);

// Every diagnostic record of the handle, one per line: "[SQLSTATE] message (native N)".
std::string diagnostics(SQLSMALLINT kind, SQLHANDLE handle);

// Raises db::Error with the handle's diagnostics unless `rc` succeeded.
void check(SQLRETURN rc, SQLSMALLINT kind, SQLHANDLE handle, const char* call);

template <SQLSMALLINT Kind>
void check(SQLRETURN rc, const Handle<Kind>& handle, const char* call)
{
    check(rc, Kind, handle.get(), call);
}

// Whether the handle's diagnostics hold a record of this SQLSTATE.
bool hasState(SQLSMALLINT kind, SQLHANDLE handle, const char* state);

} // namespace db::odbc
