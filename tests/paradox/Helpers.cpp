#include "Helpers.h"

#include "paradox/Database.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace ptest {

std::vector<std::string> engineRows(paradox::Table& t)
{
    std::vector<std::string> rows;
    t.forEach([&](const unsigned char* r) {
        std::string line;
        for (std::size_t i = 0; i < t.header().fields.size(); ++i) line += (i ? "," : "") + paradox::fieldText(t, int(i), r);
        rows.push_back(line);
    });
    return rows;
}

std::string engineError(const std::function<void()>& action)
{
    try {
        action();
    } catch (const paradox::Error& e) {
        return e.what();
    }
    return {};
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string hex(const std::string& bytes)
{
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i) out += ' ';
        out += b;
    }
    return out;
}

std::string unhex(const std::string& annotated)
{
    std::string out;
    std::istringstream in(annotated);
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string w;
        while (words >> w)
            for (std::size_t i = 0; i + 1 < w.size(); i += 2) out += char(std::stoi(w.substr(i, 2), nullptr, 16));
    }
    return out;
}

}  // namespace ptest
