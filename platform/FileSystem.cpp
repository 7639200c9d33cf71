#include "platform/FileSystem.h"
#include "platform/Files.h"
#include "platform/FolderEntries.h"
#include "platform/Wildcard.h"

#include "paradox/CaseFold.h"
#include "paradox/FileIo.h"
#include "paradox/Utf8.h"
#include "report/ErrorReport.h"
#include "report/ErrorTrap.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>

namespace platform {

namespace detail {

[[noreturn]] void fail(int error, const std::string& path)
{
    throw FileSystemError(error, std::string(std::strerror(error)) + ": " + path);
}

} // namespace detail

namespace {

using detail::fail;

// Folder paths from this length on are not walked (the system's path limit).
constexpr std::size_t kMaxPath = PATH_MAX;

std::string withSeparator(std::string folder)
{
    if (folder.empty() || folder.back() != kPathSeparator)
        folder += kPathSeparator;
    return folder;
}

// The path without trailing separators, so that KindOfPath looks at a link itself rather than
// through it; the root stays "/".
std::string withoutSeparator(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == kPathSeparator)
        --end;
    return path.substr(0, end);
}

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

// Whether the folder is one the walk leaves out: a symbolic link, which could lead it in a loop.
bool isExcludedFolder(const std::string& folder)
{
    PathKind kind = PathKind::Missing;
    if (!KindOfPath(withoutSeparator(folder), kind))
        fail(errno, folder);
    if (kind == PathKind::Missing)
        fail(ENOENT, folder);
    return kind == PathKind::Link;
}

bool isPermissionDenied(int error) { return error == EACCES || error == EPERM; }
bool isPathNotFound(int error) { return error == ENOENT || error == ENOTDIR; }

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

} // namespace

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
    const std::u32string wanted = caseFolded(pattern);
    for (const std::string& name : detail::nonFolderNames(path)) {
        if (wildcardMatch(caseFolded(name), wanted) && IsOpenableFile(path + name))
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
        std::vector<std::string> names = detail::subFolderNames(folder, error);
        sortByFoldedName(names);
        for (const std::string& name : names) {
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

std::string ApplicationDataFolder()
{
    const std::string program = ApplicationFolder();
    const std::filesystem::path installed = paradox::fileio::pathOf(program).parent_path() / "share" / "quillmere";
    std::error_code error;
    return std::filesystem::is_directory(installed, error) ? paradox::fileio::nameOf(installed) : program;
}

std::string AppDriveRoot()
{
    return DriveRootOf(ApplicationFolder());
}

} // namespace platform
