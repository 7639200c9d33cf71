#include "TableReader.h"

#include "TestPaths.h"

#include <sstream>

namespace testsupport {

Run readTable(const std::filesystem::path& db) { return run({(testsDir() / "pxread").string(), readerPath(db)}, {}, true); }

Run readIndex(const std::filesystem::path& px)
{
    return run({(testsDir() / "pxread").string(), "--px", readerPath(px)}, {}, true);
}

std::vector<std::string> recordLines(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    bool records = false;
    while (std::getline(in, line)) {
        if (records && !line.starts_with("problem:") && !line.starts_with("pxlib:")) lines.push_back(line);
        if (line == "records:") records = true;
    }
    return lines;
}

std::vector<std::string> problemLines(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with("problem:")) lines.push_back(line);
    return lines;
}

} // namespace testsupport
