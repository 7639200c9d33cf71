#pragma once
// The files the programs write beside the tables (the statement file, the rejected rows, a
// private configuration) and the folder a conversion makes, through the system's own calls:
// POSIX in posix/Files.cpp, Windows in windows/Files.cpp. Paths are UTF-8. A call that fails
// leaves an errno value in errno on both, so that messages read alike.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The characters that end a folder's name in a path: '/', and on Windows '\' too.
extern const std::string_view kFolderSeparators;

// One file open for writing from its start; closed with the object.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the file emptied, made readable and writable by its owner alone when it is new. A
    // symbolic link in its place is refused, never written through.
    bool replace(const std::string& path);
    // Makes a file of a name nobody has taken, readable and writable by its owner alone: the
    // "XXXXXX" that ends `pattern` is replaced by what makes the name new.
    bool createUnique(std::string& pattern);
    // Writes every byte, going on after an interrupted call.
    bool writeAll(const char* data, std::size_t size);
    // Flushes what was written to the disk.
    bool sync();
    // False when the file was not open or the system reports a failure on closing.
    bool close();
    bool isOpen() const { return handle_ != kClosed; }

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;
};

// What stands at a path, a symbolic link taken as itself.
enum class PathKind { Missing, File, Folder, Link, Other };
// False when the path cannot be examined; a path that is not there is Missing, no failure.
bool KindOfPath(const std::string& path, PathKind& kind);

// Gives the file `from` the name `to`, replacing the file of that name.
bool RenameFile(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// Makes the one folder, its parent must exist.
bool CreateFolder(const std::string& path);
// Flushes the entries of the folder (a file renamed into it) to the disk, where the system
// does not do so with the rename; a failure is not reported.
void SyncFolder(const std::string& folder);

} // namespace platform
