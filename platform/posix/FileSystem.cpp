#include "platform/FileSystem.h"
#include "platform/FolderEntries.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

using detail::fail;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isSubFolder(const std::string& folder, const dirent& entry)
{
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    return IsFolder(folder + entry.d_name);
}

std::string unescapeMountPoint(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string octal = field.substr(i + 1, 3);
            out += static_cast<char>(std::strtol(octal.c_str(), nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool isBelow(const std::string& path, const std::string& mountPoint)
{
    if (mountPoint == "/")
        return true;
    return path == mountPoint ||
           (path.size() > mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0 &&
            path[mountPoint.size()] == '/');
}

} // namespace

namespace detail {

std::vector<std::string> nonFolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    const DirHandle dir(opendir(folder.c_str()));
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR)
            return names;
        fail(errno, folder);
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                fail(errno, folder);
            break;
        }
        if (entry->d_type != DT_DIR)
            names.emplace_back(entry->d_name);
    }
    return names;
}

std::vector<std::string> subFolderNames(const std::string& folder, int& error)
{
    error = 0;
    std::vector<std::string> names;
    const DirHandle dir(opendir(folder.c_str()));
    if (!dir) {
        error = errno;
        return names;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            error = errno;
            break;
        }
        if (isSubFolder(folder, *entry))
            names.emplace_back(entry->d_name);
    }
    return names;
}

} // namespace detail

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool IsOpenableFile(const std::string& path)
{
    if (path.empty())
        return false;
    const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool file = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return file;
}

std::string DriveRootOf(const std::string& path)
{
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        fail(errno, path);
    const std::string canonical = resolved;

    std::ifstream mounts("/proc/self/mountinfo");
    if (!mounts)
        fail(errno ? errno : ENOENT, "/proc/self/mountinfo");
    std::string best = "/";
    std::string line;
    while (std::getline(mounts, line)) {
        // Fields: mount id, parent id, device, root, mount point, ...
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (!(fields >> id >> parent >> device >> root >> mountPoint))
            continue;
        mountPoint = unescapeMountPoint(mountPoint);
        if (isBelow(canonical, mountPoint) && mountPoint.size() > best.size())
            best = mountPoint;
    }
    if (best.back() != kPathSeparator)
        best += kPathSeparator;
    return best;
}

std::string ApplicationFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        fail(error.value(), "/proc/self/exe");
    return program.parent_path().string();
}

} // namespace platform
