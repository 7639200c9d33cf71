// bench-demo-server [--rows N] [--scan-bytes N] [--folder DIR]
//
// Makes an Orders table of N rows (the conversion's worked-example shape), serves it with
// quillmere-demo-server and reads every value through the FreeTDS ODBC driver, as the
// application does (text as wide characters, binary in pieces). Prints rows per second, the CPU
// time of client and server, and the server's peak memory.

#include "ProcessCpu.h"

#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

pid_t spawn(const std::vector<std::string>& args, int* stdoutPipe)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2] = {-1, -1};
    if (stdoutPipe && ::pipe(out) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (stdoutPipe) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (stdoutPipe) {
        ::close(out[1]);
        *stdoutPipe = out[0];
    }
    return child;
}

// The peak resident memory of a process in KiB.
long peakKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

int fail(const char* what)
{
    std::fprintf(stderr, "bench-demo-server: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    long rows = 1000000;
    int scanBytes = 64;
    fs::path folder = fs::temp_directory_path() / "bench-demo-server";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--rows")
            rows = std::atol(argv[i + 1]);
        else if (option == "--scan-bytes")
            scanBytes = std::atoi(argv[i + 1]);
        else if (option == "--folder")
            folder = argv[i + 1];
        else
            return fail("usage: bench-demo-server [--rows N] [--scan-bytes N] [--folder DIR]");
    }
    const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    fs::create_directories(folder);
    const fs::path database = folder / "Orders.sqlite";

    const auto makeStart = std::chrono::steady_clock::now();
    int status = 0;
    ::waitpid(spawn({(bin / "quillmere-make-sales").string(), "--out", database.string(), "--orders",
                     std::to_string(rows), "--scan-bytes", std::to_string(scanBytes)},
                    nullptr),
              &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return fail("quillmere-make-sales failed");
    const double makeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - makeStart).count();

    int portPipe = -1;
    const pid_t server = spawn({(bin / "quillmere-demo-server").string(), "--port", "0", "--user", "sa", "--password",
                                "bench", "--database", "Bench=" + database.string()},
                               &portPipe);
    char portText[32] = {};
    const ssize_t n = ::read(portPipe, portText, sizeof portText - 1);
    ::close(portPipe);
    if (server < 0 || n <= 0)
        return fail("quillmere-demo-server did not start");

    std::ofstream(folder / "odbcinst.ini") << "[SQL Server]\nDriver=libtdsodbc.so\n";
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);

    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const std::string connection = "Driver={SQL Server};Server=127.0.0.1," + std::to_string(std::atoi(portText)) +
                                   ";Database=Bench;Uid=sa;Pwd=bench;";
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connection.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT))) {
        ::kill(server, SIGTERM);
        return fail("connect failed");
    }
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);

    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const double serverBefore = bench::processCpuSeconds(server);
    const auto start = std::chrono::steady_clock::now();
    SQLExecDirect(st, (SQLCHAR*)"SELECT * FROM [Orders]", SQL_NTS);
    SQLSMALLINT columns = 0;
    SQLNumResultCols(st, &columns);
    long fetched = 0;
    std::vector<char> buffer(65536);
    while (SQL_SUCCEEDED(SQLFetch(st))) {
        ++fetched;
        for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
            const SQLSMALLINT target = c == 4 ? SQL_C_BINARY : SQL_C_WCHAR;
            SQLLEN indicator = 0;
            while (SQLGetData(st, c, target, buffer.data(), static_cast<SQLLEN>(buffer.size()), &indicator) ==
                   SQL_SUCCESS_WITH_INFO) {
            }
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const rusage& r) {
        return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
               static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    const double serverSeconds = bench::processCpuSeconds(server) - serverBefore;
    const long serverPeak = peakKiB(server);

    SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);

    std::printf("generated %ld Orders rows (%d-byte Scan) in %.2f s\n", rows, scanBytes, makeSeconds);
    std::printf("streamed  %ld rows in %.2f s: %.0f rows/s\n", fetched, seconds, static_cast<double>(fetched) / seconds);
    std::printf("cpu       client %.2f s, server %.2f s (server/client %.2f)\n", cpu(after) - cpu(before),
                serverSeconds, serverSeconds / (cpu(after) - cpu(before)));
    std::printf("memory    server peak %ld KiB\n", serverPeak);
    return fetched == rows ? 0 : 1;
}
