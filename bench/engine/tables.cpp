// bench-engine-tables [--tables N] [--folder DIR]
// Makes N small tables (default 2,000) in one folder as a conversion of a database of many
// tables does: for each, CREATE TABLE, CREATE INDEX ... WITH PRIMARY and three INSERTs. Prints
// the time a table took among the first hundred and among the last hundred, and their ratio:
// a table should cost the same however many tables the folder already holds, so the ratio
// should stay near 1 as N grows.
#include "paradox/Database.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void makeTable(paradox::Database& database, long number)
{
    char name[32];
    std::snprintf(name, sizeof name, "T%05ld", number);
    const std::string table = std::string("\"") + name + "\"";
    database.execute("CREATE TABLE " + table + " (\"ID\" INT, \"Name\" TEXT(40), \"Amount\" CURRENCY)");
    database.execute("CREATE INDEX " + table + " ON " + table + " (\"ID\") WITH PRIMARY");
    for (int row = 1; row <= 3; ++row)
        database.execute("INSERT INTO " + table + " VALUES (" + std::to_string(row) + ", 'name " + std::to_string(row) +
                         "', " + std::to_string(row) + ".25)");
}

} // namespace

int main(int argc, char** argv)
{
    long tables = 2000;
    fs::path folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--tables" && i + 1 < argc)
            tables = std::atol(argv[++i]);
        else if (arg == "--folder" && i + 1 < argc)
            folder = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench-engine-tables [--tables N] [--folder DIR]\n");
            return 2;
        }
    }
    constexpr long kSample = 100;
    if (tables < 2 * kSample) {
        std::fprintf(stderr, "bench-engine-tables: at least %ld tables\n", 2 * kSample);
        return 2;
    }
    bool madeFolder = false;
    if (folder.empty()) {
        char name[] = "/tmp/bench-engine-tables-XXXXXX";
        if (!::mkdtemp(name)) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = name;
        madeFolder = true;
    } else {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }

    double firstWall = 0, firstCpu = 0, lastWall = 0, lastCpu = 0;
    {
        paradox::Database database(folder);
        for (long number = 1; number <= tables; ++number) {
            const bool timed = number <= kSample || number > tables - kSample;
            const auto start = std::chrono::steady_clock::now();
            const double cpu = cpuSeconds();
            makeTable(database, number);
            if (!timed)
                continue;
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            (number <= kSample ? firstWall : lastWall) += wall;
            (number <= kSample ? firstCpu : lastCpu) += cpuSeconds() - cpu;
        }
    }
    long files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    if (madeFolder)
        fs::remove_all(folder);

    std::printf("tables: %ld in one folder (%ld files at the end)\n", tables, files);
    std::printf("first %ld tables: %.3f ms per table (CPU %.3f ms)\n", kSample, firstWall * 1000 / kSample,
                firstCpu * 1000 / kSample);
    std::printf("last %ld tables:  %.3f ms per table (CPU %.3f ms)\n", kSample, lastWall * 1000 / kSample,
                lastCpu * 1000 / kSample);
    std::printf("ratio last/first: %.2f wall, %.2f CPU (a table costs the same in a full folder: 1)\n",
                lastWall / firstWall, lastCpu / firstCpu);
    return 0;
}
