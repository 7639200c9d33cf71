#include "paradox/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace paradox::fileio {

std::filesystem::path pathOf(const std::string& utf8) { return utf8; }

std::string nameOf(const std::filesystem::path& path) { return path.string(); }

Handle open(const std::filesystem::path& file, Open how)
{
    switch (how) {
    case Open::Read:
    case Open::Flush: return ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    case Open::ReadWrite: return ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    case Open::ReadWriteNew: return ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    case Open::Replace: return ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    errno = EINVAL;
    return kNoHandle;
}

void close(Handle file) { ::close(int(file)); }

bool size(Handle file, std::uint64_t& bytes)
{
    struct stat st {};
    if (::fstat(int(file), &st) != 0) return false;
    bytes = std::uint64_t(st.st_size);
    return true;
}

std::int64_t readAt(Handle file, void* buffer, std::size_t length, std::uint64_t offset)
{
    return ::pread(int(file), buffer, length, off_t(offset));
}

std::int64_t writeAt(Handle file, const void* buffer, std::size_t length, std::uint64_t offset)
{
    return ::pwrite(int(file), buffer, length, off_t(offset));
}

// Up to 32 pieces of the one zeroed buffer, which the system only ever reads.
std::int64_t writeZerosAt(Handle file, std::size_t length, std::uint64_t offset)
{
    static const unsigned char zeros[64 * 1024] = {};
    constexpr std::size_t kPieces = 32;
    iovec pieces[kPieces];
    std::size_t count = 0;
    for (std::size_t bytes = 0; count < kPieces && bytes < length; ++count) {
        const std::size_t piece = std::min(sizeof zeros, length - bytes);
        pieces[count] = {const_cast<unsigned char*>(zeros), piece};
        bytes += piece;
    }
    return ::pwritev(int(file), pieces, int(count), off_t(offset));
}

bool resize(Handle file, std::uint64_t bytes) { return ::ftruncate(int(file), off_t(bytes)) == 0; }

bool allocate([[maybe_unused]] Handle file, [[maybe_unused]] std::uint64_t offset, [[maybe_unused]] std::uint64_t length)
{
#ifdef __linux__
    return ::fallocate(int(file), 0, off_t(offset), off_t(length)) == 0;
#else
    errno = EOPNOTSUPP;
    return false;
#endif
}

bool flush(Handle file) { return ::fsync(int(file)) == 0; }

bool noRoom(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

bool rename(const std::filesystem::path& from, const std::filesystem::path& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool remove(const std::filesystem::path& file) { return ::unlink(file.c_str()) == 0; }

bool identify(const std::filesystem::path& folder, FolderIdentity& identity)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    identity = {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
    return true;
}

bool writable(const std::filesystem::path& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

// The names as the system gives them: a folder of thousands of tables is read for every table
// made, and a path made for every entry cost more than reading the entry.
bool forEachName(const std::filesystem::path& folder, const std::function<bool(std::string_view nameUtf8)>& take)
{
    int error = 0;
    {
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
        if (!dir) return false;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir.get());
            if (!entry) {
                error = errno;
                break;
            }
            const std::string_view name = entry->d_name;
            if (name != "." && name != ".." && take(name)) break;
        }
    }
    errno = error;
    return error == 0;
}

const bool kReplacesOpenFiles = true;

unsigned char* map(Handle file, std::size_t length)
{
    void* m = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, int(file), 0);
    return m == MAP_FAILED ? nullptr : static_cast<unsigned char*>(m);
}

unsigned char* remap(Handle, unsigned char* mapped, std::size_t) { return mapped; }

void unmap(unsigned char* mapped, std::size_t length) { ::munmap(mapped, length); }

void preferLargePages([[maybe_unused]] unsigned char* mapped, [[maybe_unused]] std::size_t length)
{
#ifdef MADV_HUGEPAGE
    // Only advice: where the system has no large pages for the file, small ones serve.
    ::madvise(mapped, length, MADV_HUGEPAGE);
#endif
}

void release(unsigned char* mapped, std::size_t length) { ::madvise(mapped, length, MADV_DONTNEED); }

std::size_t pageSize()
{
    static const std::size_t size = std::size_t(::sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace paradox::fileio
