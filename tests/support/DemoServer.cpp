#include "DemoServer.h"

#include "TestPaths.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {

std::filesystem::path workFolder(const std::string& name)
{
    const auto folder = std::filesystem::absolute(envPath("QUILLMERE_TEST_WORK", "test-work") / name);
    std::filesystem::create_directories(folder);
    return folder;
}

// Runs a program of build*/bin and waits for it; its output goes to the test's own.
void runTool(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("failed: " + args[0]);
}

} // namespace

void registerSqlServerDriver()
{
    const auto folder = workFolder("odbc");
    const std::filesystem::path driver = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";
    std::ofstream(folder / "odbcinst.ini") << "[SQL Server]\nDriver="
                                           << (std::filesystem::exists(driver) ? driver.string() : "libtdsodbc.so")
                                           << "\n";
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
}

std::filesystem::path freshSalesDatabase(const std::string& fileName)
{
    const auto file = workFolder("demo-db") / fileName;
    std::filesystem::copy_file(binDir() / "Sales.sqlite", file, std::filesystem::copy_options::overwrite_existing);
    return file;
}

std::filesystem::path makeOrdersDatabase(const std::string& fileName, long rows, int scanBytes)
{
    const auto file = workFolder("demo-db") / fileName;
    runTool({(std::filesystem::absolute(binDir()) / "quillmere-make-sales").string(), "--out", file.string(),
             "--orders", std::to_string(rows), "--scan-bytes", std::to_string(scanBytes)});
    return file;
}

DemoServer::DemoServer() : DemoServer({{"Sales", freshSalesDatabase()}}) {}

DemoServer::DemoServer(std::vector<Database> databases, std::string user, std::string password,
                       const std::vector<std::string>& options)
    : user_(std::move(user)), password_(std::move(password))
{
    std::vector<std::string> args{(std::filesystem::absolute(binDir()) / "quillmere-demo-server").string(),
                                  "--port", "0", "--user", user_, "--password", password_};
    args.insert(args.end(), options.begin(), options.end());
    for (const auto& d : databases) {
        args.push_back("--database");
        args.push_back(d.name + "=" + d.file.string());
    }
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    // The server prints its port on one line once it listens.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0) {
        char buf[64];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<size_t>(n));
    }
    ::close(out[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("quillmere-demo-server did not start: " + args[0]);
    }
}

DemoServer::~DemoServer()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string DemoServer::connectionString(const std::string& database) const
{
    return connectionString(database, user_, password_);
}

std::string DemoServer::connectionString(const std::string& database, const std::string& user,
                                         const std::string& password) const
{
    return "Driver={SQL Server};Server=127.0.0.1," + std::to_string(port_) + ";Database=" + database +
           ";Uid=" + user + ";Pwd=" + password + ";";
}

long DemoServer::residentKiB() const
{
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

} // namespace testsupport
