#pragma once
// What FileSystem.cpp asks of the system about a folder's entries: posix/FileSystem.cpp and
// windows/FileSystem.cpp answer, together with the queries of FileSystem.h that differ by system.

#include <string>
#include <vector>

namespace platform::detail {

// Throws FileSystemError for `error` and `path`.
[[noreturn]] void fail(int error, const std::string& path);

// Names of the entries of `folder` (ending in the separator) that are not folders, in the
// system's order; none when the folder does not exist. Other failures throw FileSystemError.
std::vector<std::string> nonFolderNames(const std::string& folder);

// Names of the sub-folders of `folder`, links to folders included, in the system's order. A
// failure ends the listing and is handed back as its errno, with the names found until then.
std::vector<std::string> subFolderNames(const std::string& folder, int& error);

} // namespace platform::detail
