#include "paradox/FileIo.h"

#include "paradox/windows/SystemError.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace paradox::fileio {

namespace {

HANDLE native(Handle file) { return reinterpret_cast<HANDLE>(file); }

// Every file is shared for reading, writing and deleting, as POSIX files are: another program
// may read a table being written, and a file may be replaced while a reader has it open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The classes of Windows 10's rename and removal with POSIX semantics, which the compiler's
// headers declare for no _WIN32_WINNT that otherwise fits.
constexpr auto kDispositionInfoEx = FILE_INFO_BY_HANDLE_CLASS(21);
constexpr auto kRenameInfoEx = FILE_INFO_BY_HANDLE_CLASS(22);

// Renames through the handle with POSIX semantics where the system has them (a file open
// elsewhere is replaced, readers keep the old one); MoveFileEx otherwise.
bool renameByHandle(const std::filesystem::path& from, const std::filesystem::path& to)
{
    HANDLE h = ::CreateFileW(from.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::wstring target = std::filesystem::absolute(to).wstring();
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(target.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, target.data(), target.size() * sizeof(wchar_t));
    const bool done = ::SetFileInformationByHandle(h, kRenameInfoEx, info, DWORD(buffer.size()));
    ::CloseHandle(h);
    return done;
}

bool removeByHandle(const std::filesystem::path& file)
{
    HANDLE h = ::CreateFileW(file.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILE_DISPOSITION_INFO_EX info{FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS};
    const bool done = ::SetFileInformationByHandle(h, kDispositionInfoEx, &info, sizeof info);
    ::CloseHandle(h);
    return done;
}

bool isFolder(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::filesystem::path pathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::string nameOf(const std::filesystem::path& path)
{
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

Handle open(const std::filesystem::path& file, Open how)
{
    DWORD access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_EXISTING, flags = FILE_ATTRIBUTE_NORMAL;
    switch (how) {
    case Open::Read: access = GENERIC_READ; break;
    case Open::ReadWrite: break;
    case Open::ReadWriteNew: disposition = OPEN_ALWAYS; break;
    case Open::Replace: access = GENERIC_WRITE, disposition = CREATE_ALWAYS; break;
    case Open::Flush:
        // A folder opens only for reading, with the flag that lets a folder be opened at all.
        if (isFolder(file)) access = GENERIC_READ, flags = FILE_FLAG_BACKUP_SEMANTICS;
        break;
    }
    HANDLE h = ::CreateFileW(file.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        failed();
        return kNoHandle;
    }
    return reinterpret_cast<Handle>(h);
}

void close(Handle file) { ::CloseHandle(native(file)); }

bool size(Handle file, std::uint64_t& bytes)
{
    LARGE_INTEGER n{};
    if (!::GetFileSizeEx(native(file), &n)) return failed();
    bytes = std::uint64_t(n.QuadPart);
    return true;
}

namespace {

OVERLAPPED at(std::uint64_t offset)
{
    OVERLAPPED o{};
    o.Offset = DWORD(offset);
    o.OffsetHigh = DWORD(offset >> 32);
    return o;
}

// One call moves at most this much; the callers loop.
DWORD chunk(std::size_t length) { return DWORD(std::min<std::size_t>(length, 1u << 30)); }

}  // namespace

std::int64_t readAt(Handle file, void* buffer, std::size_t length, std::uint64_t offset)
{
    OVERLAPPED o = at(offset);
    DWORD moved = 0;
    if (::ReadFile(native(file), buffer, chunk(length), &moved, &o)) return moved;
    if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
    failed();
    return -1;
}

std::int64_t writeAt(Handle file, const void* buffer, std::size_t length, std::uint64_t offset)
{
    OVERLAPPED o = at(offset);
    DWORD moved = 0;
    if (::WriteFile(native(file), buffer, chunk(length), &moved, &o)) return moved;
    failed();
    return -1;
}

std::int64_t writeZerosAt(Handle file, std::size_t length, std::uint64_t offset)
{
    static const unsigned char zeros[1 << 20] = {};
    return writeAt(file, zeros, std::min(length, sizeof zeros), offset);
}

bool resize(Handle file, std::uint64_t bytes)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = LONGLONG(bytes);
    return ::SetFileInformationByHandle(native(file), FileEndOfFileInfo, &end, sizeof end) || failed();
}

// The file system takes the room of a file's new end when the end is set.
bool allocate(Handle file, std::uint64_t offset, std::uint64_t length)
{
    std::uint64_t now = 0;
    if (!size(file, now)) return false;
    return offset + length <= now || resize(file, offset + length);
}

bool flush(Handle file)
{
    if (::FlushFileBuffers(native(file))) return true;
    // A folder cannot be flushed: the file system's journal keeps its entries.
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_FUNCTION) return true;
    errno = errnoOf(error);
    return false;
}

bool noRoom(int error) { return error == ENOSPC || error == EFBIG; }

bool rename(const std::filesystem::path& from, const std::filesystem::path& to)
{
    return renameByHandle(from, to) || ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) || failed();
}

bool remove(const std::filesystem::path& file) { return removeByHandle(file) || ::DeleteFileW(file.c_str()) || failed(); }

bool identify(const std::filesystem::path& folder, FolderIdentity& identity)
{
    HANDLE h = ::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return failed();
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    if (!known) failed();
    ::CloseHandle(h);
    if (!known) return false;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = ENOTDIR;
        return false;
    }
    identity = {info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

// Windows grants the right to make files through access lists, which only a try answers.
bool writable(const std::filesystem::path& folder)
{
    const std::filesystem::path probe = folder / (".quillmere-probe-" + std::to_string(::GetCurrentProcessId()));
    HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

bool forEachName(const std::filesystem::path& folder, const std::function<bool(std::string_view nameUtf8)>& take)
{
    WIN32_FIND_DATAW entry{};
    HANDLE find = ::FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    // A drive's root that holds nothing has no "." and ".." either.
    if (find == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND || failed();
    bool read = true;
    for (;;) {
        const std::wstring_view wide = entry.cFileName;
        if (wide != L"." && wide != L".." && take(nameOf(std::filesystem::path(wide)))) break;
        if (!::FindNextFileW(find, &entry)) {
            read = ::GetLastError() == ERROR_NO_MORE_FILES || failed();
            break;
        }
    }
    ::FindClose(find);
    return read;
}

const bool kReplacesOpenFiles = false;

unsigned char* map(Handle file, std::size_t length)
{
    std::uint64_t bytes = 0;
    if (!size(file, bytes)) return nullptr;
    // A mapping longer than the file would make the file that long.
    const std::size_t mapped = std::size_t(std::min<std::uint64_t>(bytes, length));
    if (mapped == 0) {
        errno = EINVAL;
        return nullptr;
    }
    HANDLE section = ::CreateFileMappingW(native(file), nullptr, PAGE_READWRITE, 0, 0, nullptr);
    if (!section) {
        failed();
        return nullptr;
    }
    void* view = ::MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, mapped);
    if (!view) failed();
    // The view keeps the section.
    ::CloseHandle(section);
    return static_cast<unsigned char*>(view);
}

unsigned char* remap(Handle file, unsigned char* mapped, std::size_t length)
{
    if (mapped) ::UnmapViewOfFile(mapped);
    return map(file, length);
}

void unmap(unsigned char* mapped, std::size_t) { ::UnmapViewOfFile(mapped); }

// A view of a file is made of small pages.
void preferLargePages(unsigned char*, std::size_t) {}

// The pages of a file's view leave memory when the system needs the room.
void release(unsigned char*, std::size_t) {}

std::size_t pageSize()
{
    static const std::size_t size = [] {
        SYSTEM_INFO info{};
        ::GetSystemInfo(&info);
        return std::size_t(info.dwPageSize);
    }();
    return size;
}

}  // namespace paradox::fileio
