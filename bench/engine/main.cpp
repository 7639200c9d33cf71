// bench-engine [--rows N] [--folder DIR]
// Executes N INSERT statements (default 1,000,000) of an Orders-shaped keyed table and
// compares their rate with N record-sized write() calls to a file in the same folder,
// the floor that any writer paying one system call per statement pays. Only the time
// inside execute() counts for the engine, not the making of the statement texts.
#include "paradox/Database.h"
#include "paradox/Table.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>
#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    long rows = 1'000'000;
    fs::path folder = fs::temp_directory_path() / "bench-engine";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0) rows = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--folder") == 0) folder = argv[i + 1];
    }
    fs::remove_all(folder);
    fs::create_directories(folder);
    try {
        paradox::Database db(folder);
        db.execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "OrderID" INT, "CustomerName" VARCHAR(40), "Amount" FLOAT, "OrderDate" DATE, "Created" TIMESTAMP);)");
        db.execute(R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)");
        const int recordSize = db.table("Orders").header().recordSize;

        // Statements are made in batches outside the timed part.
        constexpr long kBatch = 1000;
        std::vector<std::string> batch(kBatch);
        std::size_t statementBytes = 0;
        long rssAtTenth = 0;
        double engineSeconds = 0;
        for (long first = 0; first < rows; first += kBatch) {
            const long n = std::min(kBatch, rows - first);
            for (long k = 0; k < n; ++k) {
                const long i = first + k;
                batch[k] = "INSERT INTO \"Orders\" VALUES (" + std::to_string(i) + "," + std::to_string(i + 1) + ",'O''Neil " +
                           std::to_string(i % 977) + "'," + std::to_string(i % 1000) + ".5,'08/31/2021','08/31/2021 10:15:" +
                           (i % 60 < 10 ? "0" : "") + std::to_string(i % 60) + "');";
                statementBytes += batch[k].size();
            }
            const auto start = std::chrono::steady_clock::now();
            for (long k = 0; k < n; ++k) db.execute(batch[k]);
            engineSeconds += seconds(start);
            if (first <= rows / 10 && rows / 10 < first + n) rssAtTenth = maxRssKb();
        }
        const long rssAtEnd = maxRssKb();

        const fs::path floorFile = folder / "floor.bin";
        const int fd = ::open(floorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror("floor file");
            return 2;
        }
        std::string record(std::size_t(recordSize), 'x');
        const auto floorStart = std::chrono::steady_clock::now();
        for (long i = 0; i < rows; ++i)
            if (::write(fd, record.data(), record.size()) != ssize_t(record.size())) {
                std::perror("floor write");
                return 2;
            }
        const double floorSeconds = seconds(floorStart);
        ::close(fd);

        const double engineRate = rows / engineSeconds, floorRate = rows / floorSeconds;
        const double tableMb = double(fs::file_size(folder / "Orders.DB")) / 1e6;
        std::printf("rows: %ld, record size: %d bytes\n", rows, recordSize);
        std::printf("engine: %.0f statements/s, %.1f MB/s of statement text, %.1f MB/s of table (%.2f s)\n", engineRate,
                    statementBytes / 1e6 / engineSeconds, tableMb / engineSeconds, engineSeconds);
        std::printf("floor:  %.0f write() calls/s, %.1f MB/s (%.2f s)\n", floorRate, rows * double(recordSize) / 1e6 / floorSeconds,
                    floorSeconds);
        std::printf("ratio engine/floor: %.2f (target >= 0.50)\n", engineRate / floorRate);
        std::printf("max RSS: %ld KB after 10%% of the rows, %ld KB at the end\n", rssAtTenth, rssAtEnd);
        fs::remove_all(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-engine: %s\n", e.what());
        return 1;
    }
    return 0;
}
