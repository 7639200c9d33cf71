#pragma once
// Helpers of the folder tests: real folder trees, and pieces run without special rights.

#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

// Creates below `root` each entry: a name ending in "/" is a folder, any other a file holding
// its own name (parents are made as needed).
inline void makeTree(const std::filesystem::path& root, std::initializer_list<std::string> entries)
{
    for (const std::string& entry : entries) {
        const std::filesystem::path path = root / entry;
        if (entry.back() == '/') {
            std::filesystem::create_directories(path);
        } else {
            std::filesystem::create_directories(path.parent_path());
            std::ofstream(path) << entry;
        }
    }
}

inline constexpr uid_t kNobody = 65534;

// A fresh folder for a tree that an unprivileged piece must reach: below the system's temporary
// folder, which every user may pass through, since the build may lie in a private folder (root's
// home, say) that "nobody" cannot enter.
inline std::filesystem::path reachableFolder(const std::string& name)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("quillmere-tests-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                             std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                             std::filesystem::perms::others_exec);
    return folder;
}

// Runs a piece of a test as a user without special rights, so that permission checks hold even
// when the tests run as root (root passes every permission check): as root the piece runs in a
// child process that has become "nobody", and its result text comes back through a pipe.
inline std::string runUnprivileged(const std::function<std::string()>& piece)
{
    if (geteuid() != 0)
        return piece();
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        close(pipeEnds[0]);
        std::string result;
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            result = "could not become nobody";
        } else {
            try {
                result = piece();
            } catch (const std::exception& e) {
                result = std::string("exception: ") + e.what();
            }
        }
        for (std::size_t done = 0; done < result.size();) {
            const ssize_t n = write(pipeEnds[1], result.data() + done, result.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}

} // namespace testsupport
