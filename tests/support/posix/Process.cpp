#include "TableReader.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

Run run(const std::vector<std::string>& argv, const std::string& input, bool withStderr)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (withStderr) dup2(out[1], 2);
        else {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
        }
        close(in[1]);
        close(out[0]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    std::size_t written = 0;
    while (written < input.size()) {
        const ssize_t n = write(in[1], input.data() + written, input.size() - written);
        if (n <= 0) break;
        written += std::size_t(n);
    }
    close(in[1]);
    Run r;
    char buf[65536];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) r.out.append(buf, std::size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string readerPath(const std::filesystem::path& file) { return file.string(); }

} // namespace testsupport
