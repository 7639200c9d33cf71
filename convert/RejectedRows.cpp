#include "convert/RejectedRows.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace convert {

RejectedRows::RejectedRows(std::string folder) : path_(std::move(folder) + "/" + kRejectedRowsFile) {}

RejectedRows::~RejectedRows()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string RejectedRows::oneLine(const std::string& reason)
{
    std::string line;
    for (char c : reason) {
        if (c == '\n')
            line += "\\n";
        else if (c != '\r')
            line += c;
    }
    return line;
}

void RejectedRows::add(const std::string& table, const std::string& reason, const std::string& statement)
{
    if (fd_ < 0) {
        // A link planted under the file's name is refused rather than followed.
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0)
            throw std::runtime_error("Cannot write " + path_ + ": " + std::strerror(errno));
    }
    // Ending each statement with ';' keeps the next remark out of it when the file is read back.
    const bool ended = !statement.empty() && statement.back() == ';';
    const std::string entry = "-- " + oneLine(table) + ": " + oneLine(reason) + "\n" + statement + (ended ? "\n" : ";\n");
    std::size_t written = 0;
    while (written < entry.size()) {
        const ssize_t n = ::write(fd_, entry.data() + written, entry.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("Cannot write " + path_ + ": " + std::strerror(errno));
        written += static_cast<std::size_t>(n);
    }
    ++count_;
}

} // namespace convert
