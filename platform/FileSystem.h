#pragma once
// Silent questions about paths, the listing of matching files in one folder and the walk over all
// sub-folders below a list of folders. Nothing here changes anything on disk.
//
// Paths are UTF-8 texts with "/" as the separator: every entry of a folder list ends in "/", and
// FileNameOfPath splits at "/". What the queries mean here:
// - file-name patterns ignore letter case ("ORDERS.DB" matches "*.db");
// - hidden means a name with a leading dot; such files are listed like any other;
// - the folders a walk leaves out are symbolic links to folders (on Windows every reparse point:
//   links, junctions, mounted volumes), so a walk never loops through a link;
// - "permission denied" is EACCES or EPERM, "path not found" is ENOENT or ENOTDIR;
// - the code page of the name test is the fixed Windows-1252;
// - the drive of a path is the mount point that holds it; on Windows its volume ("C:/", a folder
//   a volume is mounted on, or a share "//server/share/").
// On Windows the system takes "\" as a separator in a path handed in as well; FileNameOfPath and
// the folder lists know "/" alone.

#include <stdexcept>
#include <string>
#include <vector>

namespace report {
class MessageService;
}

namespace platform {

// The separator that ends every folder-list entry and that FileNameOfPath splits at.
inline constexpr char kPathSeparator = '/';

// A file-system call that failed; the text names the system's message and the path.
class FileSystemError : public std::runtime_error {
public:
    FileSystemError(int error, const std::string& what) : std::runtime_error(what), error_(error) {}
    // The errno value of the failed call.
    int error() const { return error_; }

private:
    int error_;
};

// True when the path (following links) is a folder; any failure gives false.
bool IsFolder(const std::string& path);
// True when the file system reports a modification time for the path; missing gives false.
bool PathExists(const std::string& path);
// True when the path opens as an existing regular file without reading it (O_PATH, so the file's
// own permissions do not matter: nothing is read); folders give false.
bool IsOpenableFile(const std::string& path);
// True when a character of the UTF-8 name is, in Windows-1252, below 32, from 127 to 159 or the
// question mark, which is also what a character outside Windows-1252 becomes. Text that is not
// UTF-8 is unsafe. An empty name is safe.
bool HasUnsafeCharacters(const std::string& name);

// Names (no folder part) of the files of `folder` matching the wildcard `pattern` ('*' and '?',
// letter case ignored), hidden ones included, folders and files that IsOpenableFile refuses left
// out, sorted by name ignoring case (the order an NTFS folder returns). The folder may end in "/"
// or not. A folder that does not exist has no matches; other failures (permission denied, a link
// loop) throw FileSystemError.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

// Extends `folders` breadth first by every sub-folder of its entries, each ending in "/": first
// the direct sub-folders of all entries, then (with `recurse`) the next level, and so on, with one
// recursive call per level. A folder that cannot be listed because of missing permission or
// because it vanished is removed from the list, seeded ones included. Symbolic links to folders and
// names that HasUnsafeCharacters refuses are neither returned nor walked into. Lets pending window
// events run (through `messages`) once per folder visited, once per sub-folder name read and once per folder before it
// is appended to `folders`. Runs under its own error trap, whose reports go to
// `messages` with the location "in Marrowdale2021/08/31.AddFolder.GetSubDirectories2016 ".
void GetSubDirectories2016(std::vector<std::string>& folders, bool recurse, report::MessageService& messages);

// The text after the last "/"; the whole text when there is none; empty when the path ends in "/".
std::string FileNameOfPath(const std::string& path);

// The mount point holding `path` (links followed), ending in "/": "/" for the root file system.
// Throws FileSystemError when the path cannot be examined.
std::string DriveRootOf(const std::string& path);
// The folder that holds the running program file.
std::string ApplicationFolder();
// The folder of the files delivered with the programs (Samples, the picture, the cursor): for a
// program installed in <prefix>/bin it is <prefix>/share/quillmere, in a build tree the program's
// own folder.
std::string ApplicationDataFolder();
// The mount point holding the application folder, ending in "/" (the Windows drive with its
// backslash, or the share of a network drive: here the mount point of a network file system).
std::string AppDriveRoot();

} // namespace platform
