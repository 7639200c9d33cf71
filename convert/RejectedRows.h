#pragma once
// The statements the engine refused during one run, kept in rejected-rows.sql in the Paradox
// folder so that no row goes missing unseen: each one after a comment line naming its table and
// the reason, ending with ';', so that pxsql can run the file again once the cause is mended.

#include <cstdint>
#include <string>

namespace convert {

inline constexpr const char* kRejectedRowsFile = "rejected-rows.sql";

class RejectedRows {
public:
    explicit RejectedRows(std::string folder);
    ~RejectedRows();
    RejectedRows(const RejectedRows&) = delete;
    RejectedRows& operator=(const RejectedRows&) = delete;

    // Appends one refused statement. The first one of the run replaces the file of an earlier
    // run. Throws std::runtime_error when the file cannot be written.
    void add(const std::string& table, const std::string& reason, const std::string& statement);

    std::int64_t count() const { return count_; }
    const std::string& path() const { return path_; }

    // The reason on one line: a line break is shown as \n.
    static std::string oneLine(const std::string& reason);

private:
    std::string path_;
    int fd_ = -1;
    std::int64_t count_ = 0;
};

} // namespace convert
