#include "CliRunner.h"

#include "TestPaths.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace clitest {

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CliProcess::CliProcess(const std::vector<std::string>& args, const std::function<void()>& inChild)
    : CliProcess("quillmere-cli", args, inChild)
{
}

CliProcess::CliProcess(const std::string& name, const std::vector<std::string>& args, const std::function<void()>& inChild)
{
    static std::atomic<int> started{0};
    const fs::path work = testsupport::freshFolder(name + "-output-" + std::to_string(started++));
    outFile_ = work / "stdout";
    errFile_ = work / "stderr";
    const std::string program = (testsupport::binDir() / name).string();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (inChild)
            inChild();
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

CliProcess::~CliProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

CliResult CliProcess::finish()
{
    int wstatus = 0;
    waitpid(pid_, &wstatus, 0);
    pid_ = -1;
    CliResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.out = readAll(outFile_);
    result.err = readAll(errFile_);
    return result;
}

CliResult runProgram(const std::string& name, const std::vector<std::string>& args)
{
    return CliProcess(name, args).finish();
}

} // namespace clitest
