#pragma once
// Test fixture: a running quillmere-demo-server (from build*/bin) on a free port of 127.0.0.1,
// stopped when the object goes. Tests reach it through the real FreeTDS ODBC driver.
//
//   testsupport::registerSqlServerDriver();            // before the first ODBC call
//   testsupport::DemoServer server;                      // a fresh copy of the sample Sales database
//   connect(server.connectionString());                  // Driver={SQL Server};Server=127.0.0.1,<port>;...
//
// A test target that uses it adds: add_dependencies(<test> quillmere-demo-server)

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// Registers FreeTDS's ODBC driver under the Windows driver name "SQL Server" in an odbcinst.ini of
// the test's own work folder and points unixODBC at it (ODBCSYSINI, ODBCINSTINI), so connection
// strings with Driver={SQL Server} work unchanged. Call it before the process's first ODBC call.
void registerSqlServerDriver();

// A fresh copy of the sample Sales database, as a file in the test's work folder.
std::filesystem::path freshSalesDatabase(const std::string& fileName = "Sales.sqlite");

// A database holding only a table Orders (OrderID int, Customer nvarchar(40), Amount money,
// Scan image, Placed datetime) with `rows` rows; `scanBytes` 0 leaves Scan NULL.
std::filesystem::path makeOrdersDatabase(const std::string& fileName, long rows, int scanBytes = 64);

class DemoServer {
public:
    struct Database {
        std::string name;
        std::filesystem::path file;
    };

    // Serves the sample Sales database under the name "Sales".
    DemoServer();
    // `options` go to the server's command line after the databases (--instance NAME,
    // --tls-cert, --encryption ...).
    explicit DemoServer(std::vector<Database> databases, std::string user = "sa",
                        std::string password = "Demo-Pass1", const std::vector<std::string>& options = {});
    ~DemoServer();
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    pid_t pid() const { return pid_; }

    // "Driver={SQL Server};Server=127.0.0.1,<port>;Database=<database>;Uid=<user>;Pwd=<password>;"
    std::string connectionString(const std::string& database = "Sales") const;
    std::string connectionString(const std::string& database, const std::string& user,
                                 const std::string& password) const;

    // The server process's resident memory (VmRSS) in KiB.
    long residentKiB() const;

private:
    std::string user_;
    std::string password_;
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace testsupport
