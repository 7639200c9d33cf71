#include "paradox/FolderLock.h"

#include "paradox/windows/SystemError.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace fs = std::filesystem;

namespace paradox {

namespace {

// The process id its holder wrote into the lock file; 0 when it cannot be read.
long holderOf(const fs::path& path)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    char text[24] = {};
    DWORD n = 0;
    const bool read = ::ReadFile(h, text, sizeof text - 1, &n, nullptr);
    ::CloseHandle(h);
    return read && n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

bool gone(long pid)
{
    if (pid <= 0) return false;
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

// A lock file on its way out (removed by a writer that closes) refuses to be opened for a
// moment, as a folder that takes no writes refuses for good: a few tries tell them apart.
constexpr int kDeniedTries = 20;

}  // namespace

FolderLock::FolderLock(const fs::path& folder) : path_(folder / kFileName)
{
    for (int denied = 0;;) {
        // Shared for reading only: while this handle, or the copy a commit guardian keeps, is
        // open, no other writer opens the file.
        HANDLE h = ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            // The process id names the holder in another writer's message.
            const std::string pid = std::to_string(::GetCurrentProcessId()) + "\n";
            OVERLAPPED start{};
            DWORD written = 0;
            ::WriteFile(h, pid.data(), DWORD(pid.size()), &written, &start);
            handle_ = reinterpret_cast<std::intptr_t>(h);
            return;
        }
        const DWORD err = ::GetLastError();
        if (err == ERROR_SHARING_VIOLATION) {
            const long holder = holderOf(path_);
            // A holder that is gone left a guardian finishing its commit, which takes a moment.
            if (!gone(holder)) inUse(folder, holder);
            ::Sleep(10);
            continue;
        }
        if (err == ERROR_ACCESS_DENIED && ++denied < kDeniedTries) {
            ::Sleep(5);
            continue;
        }
        // A folder that is gone or read-only takes no writes: each statement says so.
        if (err == ERROR_ACCESS_DENIED || err == ERROR_WRITE_PROTECT || err == ERROR_PATH_NOT_FOUND || err == ERROR_FILE_NOT_FOUND)
            return;
        cannotLock(folder, std::strerror(fileio::errnoOf(err)));
    }
}

FolderLock::~FolderLock()
{
    if (handle_ == -1) return;
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    // Removed by the closing, while still held, so that no other writer opens it on its way out.
    FILE_DISPOSITION_INFO remove{TRUE};
    ::SetFileInformationByHandle(h, FileDispositionInfo, &remove, sizeof remove);
    ::CloseHandle(h);
}

}  // namespace paradox
