// The engine's calls to the file system, one interface over POSIX (posix/FileIo.cpp) and
// Windows (windows/FileIo.cpp). A call that fails leaves an errno value in errno on both, so
// that the messages and the checks for a full disk or a folder that takes no writes are the
// same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace paradox::fileio {

// A descriptor (POSIX) or a HANDLE (Windows). No program started later inherits it.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

enum class Open {
    Read,           // an existing file, for reading
    ReadWrite,      // an existing file, for reading and writing
    ReadWriteNew,   // for reading and writing, made when missing
    Replace,        // for writing, made empty
    Flush,          // a file or a folder, to flush it to the disk
};

// A file name in the engine's UTF-8 as the system takes it, and a name the system gives back
// in UTF-8: the same bytes on POSIX, UTF-16 on Windows.
std::filesystem::path pathOf(const std::string& utf8);
std::string nameOf(const std::filesystem::path& path);

// kNoHandle when the file cannot be opened.
Handle open(const std::filesystem::path& file, Open how);
void close(Handle file);
// The file's size in bytes; false when it cannot be examined.
bool size(Handle file, std::uint64_t& bytes);
// One read or write at `offset`: the bytes moved (a read moves 0 at the file's end), -1 on failure.
std::int64_t readAt(Handle file, void* buffer, std::size_t length, std::uint64_t offset);
std::int64_t writeAt(Handle file, const void* buffer, std::size_t length, std::uint64_t offset);
// Writes zeros at `offset` in one call: the bytes written, up to `length` and at most two
// megabytes, -1 on failure.
std::int64_t writeZerosAt(Handle file, std::size_t length, std::uint64_t offset);
bool resize(Handle file, std::uint64_t bytes);
// Takes the disk room of bytes [offset, offset + length) now, extending the file to reach that
// far; EOPNOTSUPP where the system cannot take room ahead of writing.
bool allocate(Handle file, std::uint64_t offset, std::uint64_t length);
// Flushes what was written (through any handle, a mapping included) to the disk.
bool flush(Handle file);
// True for the error numbers of a disk or quota that has no room left.
bool noRoom(int error);

// Gives the file `from` the name `to`, replacing the file of that name.
bool rename(const std::filesystem::path& from, const std::filesystem::path& to);
bool remove(const std::filesystem::path& file);

// What names a folder for as long as it exists, so that a folder moved away and another put
// under its name are told apart.
struct FolderIdentity {
    std::uint64_t device = 0, node = 0;
    bool operator==(const FolderIdentity&) const = default;
};
// False with errno set when the path cannot be examined, or ENOTDIR when it is no folder.
bool identify(const std::filesystem::path& folder, FolderIdentity& identity);
// Whether new files can be made in the folder.
bool writable(const std::filesystem::path& folder);
// Calls `take` with the name of every entry of the folder but "." and "..", until it returns
// true. False with errno set when the folder cannot be read to its end.
bool forEachName(const std::filesystem::path& folder, const std::function<bool(std::string_view nameUtf8)>& take);

// Whether a file can be renamed over or removed while this process has it open and mapped.
// Where it cannot (Windows), the engine lets go of its own files before it replaces them.
extern const bool kReplacesOpenFiles;

// A shared, writable mapping of the first `length` bytes of the file; null on failure. POSIX
// maps all of them, past the file's end too; Windows maps no more than the file holds, and
// remap() maps it again once it grew.
unsigned char* map(Handle file, std::size_t length);
// The mapping after the file grew: the same one where it reaches far enough already, null on failure.
unsigned char* remap(Handle file, unsigned char* mapped, std::size_t length);
void unmap(unsigned char* mapped, std::size_t length);
// Asks for the mapping to be made of large pages where the system can: the first store into
// each small page of a file's mapping costs as much as writing several records.
void preferLargePages(unsigned char* mapped, std::size_t length);
// Hands the mapped pages back to the system; what they hold stays in the file.
void release(unsigned char* mapped, std::size_t length);
std::size_t pageSize();

}  // namespace paradox::fileio
