#pragma once
// Tables read back by the independent reader pxread (tests/reader, on pxlib), and running a
// program with its output captured.

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

struct Run {
    int status = -1;       // exit status, -1 when the program did not exit normally
    std::string out;       // standard output (and standard error when asked)
};

// Runs a program with arguments (no shell); `input` goes to its standard input.
Run run(const std::vector<std::string>& argv, const std::string& input = {}, bool withStderr = false);
// A path as the reader (or another program of the build machine) takes it. The tests of a
// Windows build reach such programs through Wine: there it is the path's Unix name.
std::string readerPath(const std::filesystem::path& file);

// pxread over a table (.db) or a primary index (.px), standard error included. Status 0: read
// without fault; 2: a part cannot be read; 3: read, with "problem:" lines.
Run readTable(const std::filesystem::path& db);
Run readIndex(const std::filesystem::path& px);
// The CSV lines after "records:" in pxread's output, and its "problem:" lines.
std::vector<std::string> recordLines(const std::string& out);
std::vector<std::string> problemLines(const std::string& out);

} // namespace testsupport
