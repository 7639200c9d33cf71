#pragma once
// The ODBC backend of the data-access objects (unixODBC, or Windows' driver manager).

#include "db/AdoBackend.h"
#include "db/OdbcConnectionString.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

// What decides how a connection string reaches the driver manager.
struct DriverCatalog {
    // The library of a driver registered under this name, or empty when none is.
    std::function<std::optional<std::string>(std::string_view name)> registeredLibrary;
    // FreeTDS's ODBC driver library, or empty when it is not installed.
    std::string freeTdsLibrary;
    // The port FreeTDS is handed for a server named without port or instance.
    std::string defaultPort;
    // The TDS version FreeTDS is asked for when the string names none; empty leaves FreeTDS's
    // own choice. Without one, FreeTDS follows an unanswered login with a Sybase login that
    // waits for ever.
    std::string defaultTdsVersion;
    // The TDS packet size FreeTDS asks the server for when the string names none; empty leaves
    // FreeTDS's own (4096 bytes).
    std::string packetSize;
};

// The connection string as the driver manager gets it. Written for Windows' "{SQL Server}" it
// has to work unchanged here: that name falls back to FreeTDS's driver when no driver is
// registered under it, and FreeTDS, which connects nowhere for a server without port, gets the
// default port (the Windows driver then uses the default instance's port). FreeTDS ends a braced
// value at the first "};" and takes "}}" literally, so braced values are written its way; a value
// holding "};" cannot reach it and raises db::Error.
std::string prepareConnectionString(std::string_view connectionString, const DriverCatalog& catalog);

// The attributes written FreeTDS's way (see above).
std::string freeTdsConnectionString(const std::vector<ConnectionAttribute>& attributes);

// The installed FreeTDS ODBC library, or empty.
std::string findFreeTdsLibrary();
// TDSPORT when set, else 1433.
std::string defaultSqlServerPort();
// Empty when TDSVER is set (FreeTDS then uses it), else 7.4, which SQL Server 2012 and later
// speak and older ones answer with their own version.
std::string defaultTdsVersion();
// 16383 bytes, the largest packet a server takes on an encrypted connection: a table's rows
// arrive in a quarter of the reads FreeTDS's default packets take.
inline constexpr const char* kFreeTdsPacketSize = "16383";

std::unique_ptr<Backend> openOdbcBackend(const std::string& connectionString, const Connection& settings);

} // namespace db
