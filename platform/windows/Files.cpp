#include "platform/Files.h"

#include "paradox/FileIo.h"
#include "paradox/windows/SystemError.h"

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <random>
#include <string>
#include <vector>

namespace platform {

namespace {

using paradox::fileio::failed;

HANDLE native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::wstring widePath(const std::string& path) { return paradox::fileio::pathOf(path).wstring(); }

// Another program may read the file while it is written, and rename or remove it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A new file's security: access for the user the program runs as alone, nothing inherited from
// the folder, as the mode 0600 gives on POSIX. Made once and kept for the process; the user is
// named by their SID, which every system matches (not every one knows the owner-rights SID).
SECURITY_ATTRIBUTES* ownerOnly()
{
    static SECURITY_ATTRIBUTES attributes = [] {
        SECURITY_ATTRIBUTES made{static_cast<DWORD>(sizeof(SECURITY_ATTRIBUTES)), nullptr, FALSE};
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
            return made;
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<unsigned char> user(size);
        wchar_t* sid = nullptr;
        if (::GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
            ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
            const std::wstring text = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
            ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                                   &made.lpSecurityDescriptor, nullptr);
            ::LocalFree(sid);
        }
        ::CloseHandle(token);
        return made;
    }();
    return &attributes;
}

// False with errno ELOOP for a reparse point (a symbolic link, a junction), as O_NOFOLLOW
// refuses a link; true for anything else.
bool refuseReparsePoint(const BY_HANDLE_FILE_INFORMATION& info)
{
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    errno = ELOOP;
    return false;
}

} // namespace

const std::string_view kFolderSeparators = "/\\";

OutputFile::~OutputFile() { close(); }

bool OutputFile::replace(const std::string& path)
{
    close();
    // A reparse point in the file's place is opened as itself, never what it leads to, and
    // refused; the file is emptied only once it is known to be a plain one.
    const HANDLE file = ::CreateFileW(widePath(path).c_str(), GENERIC_WRITE, kShareAll, ownerOnly(), OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failed();
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = (::GetFileInformationByHandle(file, &info) || failed()) && refuseReparsePoint(info) &&
                       (::SetEndOfFile(file) || failed());
    if (!plain) {
        const int error = errno;
        ::CloseHandle(file);
        errno = error;
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool OutputFile::createUnique(std::string& pattern)
{
    close();
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    const std::size_t unique = pattern.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = unique; i < pattern.size(); ++i)
            pattern[i] = kLetters[pick(seed)];
        const HANDLE file = ::CreateFileW(widePath(pattern).c_str(), GENERIC_WRITE, kShareAll, ownerOnly(), CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(file);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return failed();
    }
    errno = EEXIST;
    return false;
}

bool OutputFile::writeAll(const char* data, std::size_t size)
{
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, INT_MAX));
        DWORD written = 0;
        if (!::WriteFile(native(handle_), data, chunk, &written, nullptr))
            return failed();
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool OutputFile::sync() { return ::FlushFileBuffers(native(handle_)) || failed(); }

bool OutputFile::close()
{
    if (!isOpen())
        return false;
    const bool closed = ::CloseHandle(native(handle_)) || failed();
    handle_ = kClosed;
    return closed;
}

bool KindOfPath(const std::string& path, PathKind& kind)
{
    kind = PathKind::Missing;
    const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        failed();
        return errno == ENOENT;
    }
    kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? PathKind::Link
           : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? PathKind::Folder
           : (attributes & FILE_ATTRIBUTE_DEVICE)      ? PathKind::Other
                                                       : PathKind::File;
    return true;
}

bool RenameFile(const std::string& from, const std::string& to)
{
    return ::MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           failed();
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(widePath(path).c_str()) || failed(); }

bool CreateFolder(const std::string& path) { return ::CreateDirectoryW(widePath(path).c_str(), nullptr) || failed(); }

// The rename was written through to the disk (MOVEFILE_WRITE_THROUGH).
void SyncFolder(const std::string&) {}

} // namespace platform
