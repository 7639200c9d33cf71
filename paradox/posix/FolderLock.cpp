#include "paradox/FolderLock.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace paradox {

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
            handle_ = fd;
            return;
        }
        ::close(fd);
    }
}

FolderLock::~FolderLock()
{
    if (handle_ < 0) return;
    // Removed while still locked, so that no other writer locks the file on its way out.
    ::unlink(path_.c_str());
    ::close(int(handle_));
}

}  // namespace paradox
