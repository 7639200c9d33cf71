#pragma once
// A built program (quillmere-cli, pxsql) started as a script starts it: standard input from
// /dev/null, both outputs captured in files of the test's work folder.

#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace clitest {

struct CliResult {
    int status = -1;   // exit status, -1 when the program did not exit normally
    std::string out;
    std::string err;
};

class CliProcess {
public:
    // Starts quillmere-cli with `args`; `inChild` runs in the child just before the program.
    explicit CliProcess(const std::vector<std::string>& args, const std::function<void()>& inChild = {});
    // Starts the program `name` of the build's program folder.
    CliProcess(const std::string& name, const std::vector<std::string>& args, const std::function<void()>& inChild = {});
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Waits for the program to end.
    CliResult finish();

private:
    pid_t pid_ = -1;
    std::filesystem::path outFile_, errFile_;
};

// Starts the program `name` and waits for it.
CliResult runProgram(const std::string& name, const std::vector<std::string>& args);

std::string readAll(const std::filesystem::path& file);

} // namespace clitest
