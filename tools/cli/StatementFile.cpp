#include "StatementFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

std::runtime_error failure(const std::string& path, const std::string& what, int error)
{
    return std::runtime_error("the statement file " + path + " " + what + ": " + std::strerror(error));
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A new file next to `path`, created by this process alone (mode 0600, O_EXCL); its name goes to `temp`.
int createTemporary(const std::string& path, std::string& temp)
{
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (S_ISLNK(existing.st_mode))
            throw std::runtime_error("the statement file " + path + " is a symbolic link; it is not written through");
        if (!S_ISREG(existing.st_mode))
            throw std::runtime_error("the statement file " + path + " exists and is not a regular file");
    } else if (errno != ENOENT) {
        throw failure(path, "cannot be checked", errno);
    }
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string templateText = folderOf(path) + "/." + name + ".XXXXXX";
    std::vector<char> pattern(templateText.begin(), templateText.end());
    pattern.push_back('\0');
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        throw failure(path, "cannot be created", errno);
    temp.assign(pattern.data());
    return fd;
}

} // namespace

StatementFile::Buffer::Buffer(int fd) : fd_(fd) { setp(room_, room_ + sizeof room_); }

bool StatementFile::Buffer::flushAll()
{
    const char* from = pbase();
    while (from < pptr()) {
        const ssize_t written = ::write(fd_, from, static_cast<std::size_t>(pptr() - from));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        from += written;
    }
    setp(room_, room_ + sizeof room_);
    return true;
}

StatementFile::Buffer::int_type StatementFile::Buffer::overflow(int_type c)
{
    if (!flushAll())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof()))
        sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

int StatementFile::Buffer::sync() { return flushAll() ? 0 : -1; }

StatementFile::StatementFile(const std::string& path)
    : path_(path), fd_(createTemporary(path, temp_)), buffer_(fd_), out_(&buffer_)
{
}

StatementFile::~StatementFile() { discard(); }

void StatementFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}

void StatementFile::commit()
{
    out_.flush();
    if (!out_ || !buffer_.flushAll()) {
        const int error = errno;
        discard();
        throw failure(path_, "could not be written completely", error);
    }
    const bool synced = ::fsync(fd_) == 0;
    int error = errno;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed) {
        if (synced)
            error = errno;
        discard();
        throw failure(path_, "could not be written completely", error);
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        discard();
        throw failure(path_, "could not take the place of the one before", error);
    }
    temp_.clear();
    // The rename itself lasts only once the folder is on disk too.
    const int folder = ::open(folderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

} // namespace cli
