#include "platform/FileSystem.h"
#include "platform/FolderEntries.h"

#include "paradox/FileIo.h"
#include "paradox/windows/SystemError.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <vector>

namespace platform {

namespace {

using detail::fail;
using paradox::fileio::errnoOf;

std::wstring widePath(const std::string& path) { return paradox::fileio::pathOf(path).wstring(); }

// The attributes of what the path leads to, links followed; false when it cannot be opened.
bool targetAttributes(const std::string& path, DWORD& attributes)
{
    if (path.empty())
        return false;
    const HANDLE h = ::CreateFileW(widePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    attributes = info.dwFileAttributes;
    return known;
}

// Hands each entry of `folder` (ending in the separator) to `take`; the Windows error that ends
// the listing early, or 0. A folder that holds nothing, not even "." (a drive's root), is no failure.
DWORD forEachEntry(const std::string& folder, const std::function<void(const WIN32_FIND_DATAW&)>& take)
{
    WIN32_FIND_DATAW entry{};
    const HANDLE find =
        ::FindFirstFileExW(widePath(folder + "*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    DWORD error = 0;
    do
        take(entry);
    while (::FindNextFileW(find, &entry));
    if (::GetLastError() != ERROR_NO_MORE_FILES)
        error = ::GetLastError();
    ::FindClose(find);
    return error;
}

std::string nameOf(const WIN32_FIND_DATAW& entry)
{
    return paradox::fileio::nameOf(std::filesystem::path(entry.cFileName));
}

bool isFolderEntry(const WIN32_FIND_DATAW& entry) { return entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY; }

std::string withSlashes(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', kPathSeparator);
    return path;
}

} // namespace

namespace detail {

std::vector<std::string> nonFolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    const DWORD error = forEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
        if (!isFolderEntry(entry))
            names.push_back(nameOf(entry));
    });
    if (error != 0 && error != ERROR_PATH_NOT_FOUND && error != ERROR_DIRECTORY)
        fail(errnoOf(error), folder);
    return names;
}

std::vector<std::string> subFolderNames(const std::string& folder, int& error)
{
    std::vector<std::string> names;
    const DWORD failure = forEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
        if (isFolderEntry(entry))
            names.push_back(nameOf(entry));
    });
    error = failure == 0 ? 0 : errnoOf(failure);
    return names;
}

} // namespace detail

bool IsFolder(const std::string& path)
{
    DWORD attributes = 0;
    return targetAttributes(path, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path)
{
    DWORD attributes = 0;
    return targetAttributes(path, attributes);
}

bool IsOpenableFile(const std::string& path)
{
    DWORD attributes = 0;
    return targetAttributes(path, attributes) && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

// The volume that holds the path: its drive ("C:/"), the folder a volume is mounted on, or a
// network share ("//server/share/").
std::string DriveRootOf(const std::string& path)
{
    if (!PathExists(path))
        fail(ENOENT, path);
    std::vector<wchar_t> volume(MAX_PATH + 1);
    if (!::GetVolumePathNameW(widePath(path).c_str(), volume.data(), DWORD(volume.size())))
        fail(errnoOf(::GetLastError()), path);
    std::string root = withSlashes(paradox::fileio::nameOf(std::filesystem::path(volume.data())));
    if (root.empty() || root.back() != kPathSeparator)
        root += kPathSeparator;
    return root;
}

std::string ApplicationFolder()
{
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (length == 0)
            fail(errnoOf(::GetLastError()), "the program's file");
        if (length < name.size())
            return withSlashes(paradox::fileio::nameOf(std::filesystem::path(name.data()).parent_path()));
        name.resize(name.size() * 2);
    }
}

} // namespace platform
