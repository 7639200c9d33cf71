#pragma once
// The statements the engine refused during one run, kept in rejected-rows.sql in the Paradox
// folder so that no row goes missing unseen: each one on a line of its own after a comment line
// naming its table and the reason, ending with ';', so that pxsql can run the file again once the
// cause is mended.

#include "platform/Files.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace convert {

inline constexpr const char* kRejectedRowsFile = "rejected-rows.sql";

class RejectedRows {
public:
    explicit RejectedRows(std::string folder);
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
    platform::OutputFile file_;
    std::int64_t count_ = 0;
};

// The refused statements of one run, kept in its rejected-rows file, and the run's allowance of
// row reports. Direct mode and the preview's Execute pass share one, so that both fill one file
// and the allowance counts the rows of the whole run.
class RunRejections {
public:
    // The file goes into `folder` when the first statement is kept.
    RunRejections(std::string folder, std::int64_t rowReports);

    // Keeps a refused statement of `table`. True when its failure is still to be reported on its
    // own: a statement that is no row, a row while the allowance lasts, and every failure once
    // the file could not be written (it is kept nowhere else). The first time the file cannot
    // be written throws std::runtime_error, to be reported besides the failure itself.
    bool keep(const std::string& table, const std::string& reason, const std::string& statement, bool row);

    // Rows kept without a report of their own.
    std::int64_t unreported() const { return unreported_; }
    // Statements in the file; 0 while there is none.
    std::int64_t count() const { return file_ ? file_->count() : 0; }
    // The file's path; empty while there is none.
    std::string path() const { return file_ ? file_->path() : std::string(); }

private:
    std::string folder_;
    std::int64_t rowReports_;
    std::unique_ptr<RejectedRows> file_;
    bool fileFailed_ = false;
    std::int64_t rowFailures_ = 0;
    std::int64_t unreported_ = 0;
};

// The statement on one line: a line break inside a string value is written as Chr(13) or
// Chr(10) joined to the rest of the value with '&', which the engine reads back as the same
// value; one outside values becomes a blank.
std::string OneLineStatement(const std::string& statement);

// The table a statement names first in quotes ("T", [T] or `T`); empty when it names none so.
std::string StatementTable(std::string_view statement);

} // namespace convert
