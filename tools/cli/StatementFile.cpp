#include "StatementFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace cli {

namespace {

std::runtime_error failure(const std::string& path, const std::string& what, int error)
{
    return std::runtime_error("the statement file " + path + " " + what + ": " + std::strerror(error));
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of(platform::kFolderSeparators);
    if (slash == std::string::npos)
        return ".";
    return path.substr(0, slash == 0 ? 1 : slash);
}

// A new file next to `path`, created by this process alone (readable by its owner only, a name
// nobody had); its name goes to `temp`.
void createTemporary(const std::string& path, platform::OutputFile& file, std::string& temp)
{
    platform::PathKind existing = platform::PathKind::Missing;
    if (!platform::KindOfPath(path, existing))
        throw failure(path, "cannot be checked", errno);
    if (existing == platform::PathKind::Link)
        throw std::runtime_error("the statement file " + path + " is a symbolic link; it is not written through");
    if (existing != platform::PathKind::Missing && existing != platform::PathKind::File)
        throw std::runtime_error("the statement file " + path + " exists and is not a regular file");
    const std::size_t slash = path.find_last_of(platform::kFolderSeparators);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folderOf(path) + "/." + name + ".XXXXXX";
    if (!file.createUnique(pattern))
        throw failure(path, "cannot be created", errno);
    temp = pattern;
}

} // namespace

StatementFile::Buffer::Buffer(platform::OutputFile& file) : file_(file) { setp(room_, room_ + sizeof room_); }

bool StatementFile::Buffer::flushAll()
{
    if (!file_.writeAll(pbase(), static_cast<std::size_t>(pptr() - pbase())))
        return false;
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

StatementFile::StatementFile(const std::string& path) : path_(path), buffer_(file_), out_(&buffer_)
{
    createTemporary(path, file_, temp_);
}

StatementFile::~StatementFile() { discard(); }

void StatementFile::discard()
{
    file_.close();
    if (!temp_.empty())
        platform::RemoveFile(temp_);
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
    const bool synced = file_.sync();
    int error = errno;
    const bool closed = file_.close();
    if (!synced || !closed) {
        if (synced)
            error = errno;
        discard();
        throw failure(path_, "could not be written completely", error);
    }
    if (!platform::RenameFile(temp_, path_)) {
        const int error = errno;
        discard();
        throw failure(path_, "could not take the place of the one before", error);
    }
    temp_.clear();
    // The rename itself lasts only once the folder is on disk too.
    platform::SyncFolder(folderOf(path_));
}

} // namespace cli
