// Shared by the engine tests: running pxcheck and pxsql, reading files.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace paradox {
class Table;
}

namespace ptest {

struct Run {
    int status = -1;       // exit status, -1 when the program did not exit normally
    std::string out;       // standard output (and standard error when asked)
};

// Runs a program with arguments (no shell); `input` goes to its standard input.
Run run(const std::vector<std::string>& argv, const std::string& input = {}, bool withStderr = false);

Run pxcheck(const std::filesystem::path& db);
Run pxcheckIndex(const std::filesystem::path& px);
// The CSV lines after "records:" in pxcheck's output, and its "problem:" lines.
std::vector<std::string> pxcheckRecords(const std::string& out);
std::vector<std::string> problems(const std::string& out);

// Every record of a table as the engine reads it: fields as text, joined by commas.
std::vector<std::string> engineRows(paradox::Table& table);
// The message of the engine's error that `action` throws; empty when it throws none.
std::string engineError(const std::function<void()>& action);

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);
// "0a 1b ..." hex text of bytes, for comparisons with golden dumps.
std::string hex(const std::string& bytes);
// Parses annotated hex: hex digit pairs, anything after '#' on a line is a comment.
std::string unhex(const std::string& annotated);

}  // namespace ptest
