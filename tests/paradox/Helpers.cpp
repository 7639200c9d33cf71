#include "Helpers.h"

#include "paradox/Database.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace ptest {

std::vector<std::string> engineRows(paradox::Table& t)
{
    std::vector<std::string> rows;
    t.forEach([&](const unsigned char* r) {
        std::string line;
        for (std::size_t i = 0; i < t.header().fields.size(); ++i) line += (i ? "," : "") + paradox::fieldText(t, int(i), r);
        rows.push_back(line);
    });
    return rows;
}

std::string engineError(const std::function<void()>& action)
{
    try {
        action();
    } catch (const paradox::Error& e) {
        return e.what();
    }
    return {};
}

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

Run pxcheck(const std::filesystem::path& db) { return run({PXCHECK, db.string()}, {}, true); }
Run pxcheckIndex(const std::filesystem::path& px) { return run({PXCHECK, "--px", px.string()}, {}, true); }

std::vector<std::string> pxcheckRecords(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    bool records = false;
    while (std::getline(in, line)) {
        if (records && !line.starts_with("problem:") && !line.starts_with("pxlib")) lines.push_back(line);
        if (line == "records:") records = true;
    }
    return lines;
}

std::vector<std::string> problems(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with("problem:")) lines.push_back(line);
    return lines;
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string hex(const std::string& bytes)
{
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i) out += ' ';
        out += b;
    }
    return out;
}

std::string unhex(const std::string& annotated)
{
    std::string out;
    std::istringstream in(annotated);
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string w;
        while (words >> w)
            for (std::size_t i = 0; i + 1 < w.size(); i += 2) out += char(std::stoi(w.substr(i, 2), nullptr, 16));
    }
    return out;
}

}  // namespace ptest
