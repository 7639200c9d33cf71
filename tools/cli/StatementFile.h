#pragma once
// The statement file of --sql. It is written under a temporary name in its own folder,
// readable by its owner only, and takes the place of the named file by a rename once it is
// complete and on disk: a run that ends early keeps the file of the run before, and a
// symbolic link in its place is refused, never written through.

#include "platform/Files.h"

#include <ostream>
#include <streambuf>
#include <string>

namespace cli {

class StatementFile {
public:
    // Throws std::runtime_error naming the file and the cause.
    explicit StatementFile(const std::string& path);
    ~StatementFile();
    StatementFile(const StatementFile&) = delete;
    StatementFile& operator=(const StatementFile&) = delete;

    std::ostream& stream() { return out_; }

    // Writes out what is buffered, syncs it and renames it into place. Throws
    // std::runtime_error when any of it fails; the file before stays then.
    void commit();

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(platform::OutputFile& file);
        bool flushAll();

    protected:
        int_type overflow(int_type c) override;
        int sync() override;

    private:
        platform::OutputFile& file_;
        char room_[64 * 1024];
    };

    void discard();

    std::string path_;
    std::string temp_;
    platform::OutputFile file_;
    Buffer buffer_;
    std::ostream out_;
};

} // namespace cli
