#include "convert/RejectedRows.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace convert {

RejectedRows::RejectedRows(std::string folder) : path_(std::move(folder) + "/" + kRejectedRowsFile) {}

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
    // A link planted under the file's name is refused rather than followed.
    if (!file_.isOpen() && !file_.replace(path_))
        throw std::runtime_error("Cannot write " + path_ + ": " + std::strerror(errno));
    // Ending each statement with ';' keeps the next remark out of it when the file is read back.
    const bool ended = !statement.empty() && statement.back() == ';';
    const std::string entry =
        "-- " + oneLine(table) + ": " + oneLine(reason) + "\n" + OneLineStatement(statement) + (ended ? "\n" : ";\n");
    if (!file_.writeAll(entry.data(), entry.size()))
        throw std::runtime_error("Cannot write " + path_ + ": " + std::strerror(errno));
    ++count_;
}

RunRejections::RunRejections(std::string folder, std::int64_t rowReports)
    : folder_(std::move(folder)), rowReports_(rowReports)
{
}

bool RunRejections::keep(const std::string& table, const std::string& reason, const std::string& statement, bool row)
{
    if (fileFailed_)
        return true;
    try {
        if (!file_)
            file_ = std::make_unique<RejectedRows>(folder_);
        file_->add(table, reason, statement);
    } catch (const std::runtime_error&) {
        fileFailed_ = true;
        throw;
    }
    if (row && ++rowFailures_ > rowReports_) {
        ++unreported_;
        return false;
    }
    return true;
}

std::string OneLineStatement(const std::string& statement)
{
    if (statement.find_first_of("\r\n") == std::string::npos)
        return statement;
    std::string line;
    line.reserve(statement.size() + 32);
    char close = 0;      // the quote that ends the value or name being read; 0 outside
    bool broken = false; // in a value, just after a line break written as Chr(): the value is closed
    for (std::size_t i = 0; i < statement.size(); ++i) {
        const char c = statement[i];
        const bool doubled = c == close && i + 1 < statement.size() && statement[i + 1] == close;
        if (close == '\'') {
            if (c == '\r' || c == '\n') {
                line += broken ? " & Chr(" : "' & Chr(";
                line += c == '\r' ? "13)" : "10)";
                broken = true;
                continue;
            }
            if (c == close && !doubled) {
                if (!broken)
                    line += c;
                broken = false;
                close = 0;
                continue;
            }
            if (broken)
                line += " & '";
            broken = false;
        } else if (close == 0) {
            if (c == '\r' || c == '\n') {
                line += ' ';
                continue;
            }
            if (c == '\'' || c == '"' || c == '`')
                close = c;
            else if (c == '[')
                close = ']';
        } else if (c == close && !doubled) {
            close = 0;
        }
        line += c;
        if (doubled)
            line += statement[++i];
    }
    // A value left open keeps its pieces joined; the engine reports the missing quote.
    if (broken)
        line += " & '";
    return line;
}

std::string StatementTable(std::string_view statement)
{
    const std::size_t open = statement.find_first_of("\"[`");
    if (open == std::string_view::npos)
        return {};
    const char close = statement[open] == '[' ? ']' : statement[open];
    const std::size_t end = statement.find(close, open + 1);
    if (end == std::string_view::npos)
        return {};
    return std::string(statement.substr(open + 1, end - open - 1));
}

} // namespace convert
