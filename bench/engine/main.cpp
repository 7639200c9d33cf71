// bench-engine [--rows N] [--folder DIR]
// Executes N INSERT statements (default 1,000,000) of an Orders-shaped keyed table, written
// exactly as the conversion writes them (row number first, ", " between the other values, a
// NULL right after its comma), and compares their rate with N record-sized write() calls to a file in the same folder,
// the floor that any writer paying one system call per statement pays. Only the time
// inside execute() counts for the engine, not the making of the statement texts. The two
// take turns batch by batch, so that page cache and writeback treat them alike.
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

// One statement as the conversion writes it, with NULLs, date-only values, negative and
// fractional amounts, doubled quotes and non-ASCII text spread over the rows.
std::string statement(long i)
{
    std::string s = "INSERT INTO \"Orders\" VALUES (" + std::to_string(i) + "," + std::to_string(i * 7 % 1000003);
    if (i % 17 == 3) s += ",NULL";
    else if (i % 5 == 1) s += ", 'M\xC3\xBCller & S\xC3\xB6hne " + std::to_string(i % 311) + "'";
    else s += ", 'O''Neil " + std::to_string(i % 977) + "'";
    if (i % 29 == 5) s += ",NULL";
    else s += std::string(", ") + (i % 11 == 2 ? "-" : "") + std::to_string(i % 10000) + "." + std::to_string(i % 4 * 25);
    s += ", '<OLEOBJECT>'";
    const int day = int(i % 28) + 1, month = int(i / 28 % 12) + 1;
    char date[32];
    if (i % 6 == 4) std::snprintf(date, sizeof date, ", '%02d/%02d/2021'", month, day);
    else std::snprintf(date, sizeof date, ", '%02d/%02d/2021 %02d:%02d:%02d'", month, day, int(i % 24), int(i % 60), int(i * 7 % 60));
    return s + date + ");";
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
        db.execute(R"(CREATE TABLE "Orders" ("SBSID" INT, "OrderID" INT, "Customer" TEXT, "Amount" CURRENCY, "Scan" VARCHAR, "Placed" TIMESTAMP);)");
        db.execute(R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)");
        const int recordSize = db.table("Orders").header().recordSize;

        // The floor's file is written batch by batch between the engine's batches, so that both
        // meet the same page cache and the same writeback of what was written before.
        const fs::path floorFile = folder / "floor.bin";
        const int fd = ::open(floorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror("floor file");
            return 2;
        }
        const std::string record(std::size_t(recordSize), 'x');
        double floorSeconds = 0;

        // Statements are made in batches outside the timed part.
        constexpr long kBatch = 1000;
        std::vector<std::string> batch(kBatch);
        std::size_t statementBytes = 0;
        long rssAtTenth = 0;
        double engineSeconds = 0;
        long rejected = 0;
        std::string firstRejected;
        for (long first = 0; first < rows; first += kBatch) {
            const long n = std::min(kBatch, rows - first);
            for (long k = 0; k < n; ++k) {
                const long i = first + k;
                batch[k] = statement(i);
                statementBytes += batch[k].size();
            }
            const auto start = std::chrono::steady_clock::now();
            for (long k = 0; k < n; ++k) {
                try {
                    db.execute(batch[k]);
                } catch (const paradox::SqlError& e) {
                    // Only a full table is expected; any other rejection is a fault of the bench or the engine.
                    if (!std::strstr(e.what(), "is full")) throw;
                    if (rejected++ == 0) firstRejected = e.what();
                }
            }
            engineSeconds += seconds(start);
            if (first <= rows / 10 && rows / 10 < first + n) rssAtTenth = maxRssKb();

            const auto floorStart = std::chrono::steady_clock::now();
            for (long k = 0; k < n; ++k)
                if (::write(fd, record.data(), record.size()) != ssize_t(record.size())) {
                    std::perror("floor write");
                    return 2;
                }
            floorSeconds += seconds(floorStart);
        }
        const long rssAtEnd = maxRssKb();
        ::close(fd);

        const double engineRate = rows / engineSeconds, floorRate = rows / floorSeconds;
        const double tableMb = double(fs::file_size(folder / "Orders.DB")) / 1e6;
        std::printf("rows: %ld, record size: %d bytes\n", rows, recordSize);
        std::printf("engine: %.0f statements/s, %.1f MB/s of statement text, %.1f MB/s of table (%.2f s)\n", engineRate,
                    statementBytes / 1e6 / engineSeconds, tableMb / engineSeconds, engineSeconds);
        std::printf("floor:  %.0f write() calls/s, %.1f MB/s (%.2f s)\n", floorRate, rows * double(recordSize) / 1e6 / floorSeconds,
                    floorSeconds);
        if (rejected)
            std::printf("REJECTED as table-full: %ld of %ld rows (first: %s)\n", rejected, rows, firstRejected.c_str());
        std::printf("ratio engine/floor: %.2f (target >= 0.50)\n", engineRate / floorRate);
        std::printf("max RSS: %ld KB after 10%% of the rows, %ld KB at the end\n", rssAtTenth, rssAtEnd);
        fs::remove_all(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-engine: %s\n", e.what());
        return 1;
    }
    return 0;
}
