#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

int descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

} // namespace

const std::string_view kFolderSeparators = "/";

OutputFile::~OutputFile() { close(); }

bool OutputFile::replace(const std::string& path)
{
    close();
    handle_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    return isOpen();
}

bool OutputFile::createUnique(std::string& pattern)
{
    close();
    handle_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    return isOpen();
}

bool OutputFile::writeAll(const char* data, std::size_t size)
{
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(descriptor(handle_), data + written, size - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::sync() { return ::fsync(descriptor(handle_)) == 0; }

bool OutputFile::close()
{
    if (!isOpen())
        return false;
    const bool closed = ::close(descriptor(handle_)) == 0;
    handle_ = kClosed;
    return closed;
}

bool KindOfPath(const std::string& path, PathKind& kind)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        kind = PathKind::Missing;
        return errno == ENOENT;
    }
    kind = S_ISLNK(st.st_mode)   ? PathKind::Link
           : S_ISREG(st.st_mode) ? PathKind::File
           : S_ISDIR(st.st_mode) ? PathKind::Folder
                                 : PathKind::Other;
    return true;
}

bool RenameFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool CreateFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace platform
