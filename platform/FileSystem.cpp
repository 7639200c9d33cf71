#include "platform/FileSystem.h"
#include "platform/Wildcard.h"

#include "paradox/CaseFold.h"
#include "paradox/Utf8.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Folder paths from this length on are not walked (the system's path limit).
constexpr std::size_t kMaxPath = PATH_MAX;

std::string failureText(int error, const std::string& path)
{
    return std::string(std::strerror(error)) + ": " + path;
}

[[noreturn]] void fail(int error, const std::string& path)
{
    throw FileSystemError(error, failureText(error, path));
}

std::string withSeparator(std::string folder)
{
    if (folder.empty() || folder.back() != kPathSeparator)
        folder += kPathSeparator;
    return folder;
}

// The path without trailing separators, so that lstat() looks at a link itself rather than
// through it; the root stays "/".
std::string withoutSeparator(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == kPathSeparator)
        --end;
    return path.substr(0, end);
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

void sortByFoldedName(std::vector<std::string>& names)
{
    std::vector<std::pair<std::u32string, std::string>> keyed;
    keyed.reserve(names.size());
    for (auto& name : names)
        keyed.emplace_back(caseFolded(name), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    names.clear();
    for (auto& entry : keyed)
        names.push_back(std::move(entry.second));
}

bool isPermissionDenied(int error) { return error == EACCES || error == EPERM; }
bool isPathNotFound(int error) { return error == ENOENT || error == ENOTDIR; }

// Whether the folder is one the walk leaves out: a symbolic link, which could lead it in a loop.
bool isExcludedFolder(const std::string& folder)
{
    struct stat st {};
    const std::string self = withoutSeparator(folder);
    if (lstat(self.c_str(), &st) != 0)
        fail(errno, folder);
    return S_ISLNK(st.st_mode);
}

bool isSubFolder(const std::string& folder, const dirent& entry)
{
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    return IsFolder(folder + entry.d_name);
}

// Names of the sub-folders of `folder`, links to folders included. A failure ends the listing and
// is handed back as its errno, with the names found until then.
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
    sortByFoldedName(names);
    return names;
}

// Unicode code point of each UTF-8 sequence; nullopt for text that is not UTF-8.
std::optional<std::u32string> decodeUtf8(const std::string& text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const paradox::Utf8Char c = paradox::decodeUtf8(text, i);
        if (c.length == 0)
            return std::nullopt;
        out.push_back(c.codePoint);
        i += c.length;
    }
    return out;
}

// Windows-1252 keeps ASCII and the Latin-1 letters from 160 on; everything it places at 128 to 159
// (the euro sign, curly quotes, ...) and every character it lacks (written as '?') is unsafe, so a
// character is safe exactly when it is printable ASCII other than '?' or lies from 160 to 255.
bool isUnsafeCodePoint(char32_t cp)
{
    if (cp >= 160 && cp <= 255)
        return false;
    return cp < 32 || cp >= 127 || cp == U'?';
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
    return path == mountPoint
        || (path.size() > mountPoint.size() && path.compare(0, mountPoint.size(), mountPoint) == 0
            && path[mountPoint.size()] == '/');
}

} // namespace

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

bool HasUnsafeCharacters(const std::string& name)
{
    const std::optional<std::u32string> text = decodeUtf8(name);
    if (!text)
        return true;
    return std::any_of(text->begin(), text->end(), isUnsafeCodePoint);
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern)
{
    const std::string path = withSeparator(folder);
    std::vector<std::string> names;
    const DirHandle dir(opendir(path.c_str()));
    if (!dir) {
        if (isPathNotFound(errno))
            return names;
        fail(errno, path);
    }
    const std::u32string wanted = caseFolded(pattern);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                fail(errno, path);
            break;
        }
        const std::string name = entry->d_name;
        if (entry->d_type == DT_DIR || !wildcardMatch(caseFolded(name), wanted))
            continue;
        if (IsOpenableFile(path + name))
            names.push_back(name);
    }
    sortByFoldedName(names);
    return names;
}

void GetSubDirectories2016(std::vector<std::string>& folders, bool recurse, report::MessageService& messages)
{
    report::ErrorTrap trap(messages, report::locationText("Marrowdale", "AddFolder", "GetSubDirectories2016"));
    std::vector<std::string> found;

    // The seeded entries as they stand now: removing one below must not skip its successor.
    const std::vector<std::string> seeded = folders;
    for (const std::string& folder : seeded) {
        if (!IsFolder(folder))
            continue;
        if (folder.size() >= kMaxPath)
            continue;
        // A mount point is never a link, so the exclusion below never leaves out a drive root.
        const std::optional<bool> excluded = trap.value<bool>(112, [&] { return isExcludedFolder(folder); });
        // The one yield per folder visited: what keeps the window alive during a walk over a drive.
        trap(114, [&] { messages.letEventsRun(); });
        if (!excluded || *excluded)
            continue;

        // Failures of the listing are not reported; a folder that cannot be read leaves the list.
        int error = 0;
        for (const std::string& name : subFolderNames(folder, error)) {
            if (name == "." || name == "..")
                continue;
            // A folder may hold many thousands of sub-folders: one yield for each.
            messages.letEventsRun();
            if (HasUnsafeCharacters(name))
                continue;
            found.push_back(folder + name + kPathSeparator);
        }
        if (isPermissionDenied(error) || isPathNotFound(error)) {
            const auto at = std::find(folders.begin(), folders.end(), folder);
            if (at != folders.end())
                folders.erase(at);
        }
    }

    if (!found.empty() && recurse)
        GetSubDirectories2016(found, true, messages);

    for (const std::string& folder : found) {
        if (!IsFolder(folder))
            continue;
        trap(156, [&] { messages.letEventsRun(); });
        trap.when(158, [&] { return !isExcludedFolder(folder); }, [&] { folders.push_back(folder); });
    }
}

std::string FileNameOfPath(const std::string& path)
{
    const std::size_t at = path.rfind(kPathSeparator);
    return at == std::string::npos ? path : path.substr(at + 1);
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
    return withSeparator(best);
}

std::string ApplicationFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw FileSystemError(error.value(), failureText(error.value(), "/proc/self/exe"));
    return program.parent_path().string();
}

std::string ApplicationDataFolder()
{
    const std::filesystem::path program = ApplicationFolder();
    const std::filesystem::path installed = program.parent_path() / "share" / "quillmere";
    std::error_code error;
    return std::filesystem::is_directory(installed, error) ? installed.string() : program.string();
}

std::string AppDriveRoot()
{
    return DriveRootOf(ApplicationFolder());
}

} // namespace platform
