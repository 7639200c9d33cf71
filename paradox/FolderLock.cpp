#include "paradox/FolderLock.h"

#include "paradox/Database.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace paradox {

namespace {

[[noreturn]] void inUse(const fs::path& folder, long holder)
{
    throw FolderInUseError("The folder '" + folder.string() + "' is being written by another program" +
                           (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
                           "; only one program at a time may write to a folder");
}

[[noreturn]] void cannotLock(const fs::path& folder, const std::string& why)
{
    throw FileError("Cannot lock the folder '" + folder.string() + "' for writing: " + why);
}

}  // namespace

#ifdef _WIN32

FolderLock::FolderLock(const fs::path& folder) : path_(folder / kFileName)
{
    HANDLE h = ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_ACCESS_DENIED || err == ERROR_WRITE_PROTECT || err == ERROR_PATH_NOT_FOUND) return;
        cannotLock(folder, "error " + std::to_string(err));
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        ::CloseHandle(h);
        inUse(folder, 0);
    }
    handle_ = h;
}

FolderLock::~FolderLock()
{
    if (!handle_) return;
    // Deleted while still locked, so that no other writer locks the file on its way out.
    FILE_DISPOSITION_INFO remove{TRUE};
    ::SetFileInformationByHandle(handle_, FileDispositionInfo, &remove, sizeof remove);
    ::CloseHandle(handle_);
}

int FolderLock::descriptor() const { return -1; }

#else

namespace {

long holderOf(int fd)
{
    char text[24] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

bool gone(long pid) { return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH; }

}  // namespace

FolderLock::FolderLock(const fs::path& folder) : path_(folder / kFileName)
{
    for (;;) {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            // A folder that is gone or read-only takes no writes: each statement says so.
            if (errno == ENOENT || errno == EACCES || errno == EPERM || errno == EROFS) return;
            cannotLock(folder, std::strerror(errno));
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            const long holder = holderOf(fd);
            int waited = -1;
            if (err == EWOULDBLOCK && gone(holder))
                while ((waited = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
                }
            if (waited != 0) {
                ::close(fd);
                if (err != EWOULDBLOCK) cannotLock(folder, std::strerror(err));
                inUse(folder, holder);
            }
        }
        // The writer before may have removed the file between our open and lock: only the
        // file that has the name counts.
        struct stat locked {}, named {};
        if (::fstat(fd, &locked) == 0 && ::stat(path_.c_str(), &named) == 0 && locked.st_ino == named.st_ino &&
            locked.st_dev == named.st_dev) {
            // The process id names the holder in another writer's message. Written over what
            // a killed writer left rather than after truncating it, which would make ext4
            // flush the file at its closing; the line ends the number either way.
            const std::string pid = std::to_string(::getpid()) + "\n";
            [[maybe_unused]] const bool noted = ::pwrite(fd, pid.data(), pid.size(), 0) == ssize_t(pid.size());
            fd_ = fd;
            return;
        }
        ::close(fd);
    }
}

FolderLock::~FolderLock()
{
    if (fd_ < 0) return;
    // Removed while still locked, so that no other writer locks the file on its way out.
    ::unlink(path_.c_str());
    ::close(fd_);
}

int FolderLock::descriptor() const { return fd_; }

#endif

}  // namespace paradox
