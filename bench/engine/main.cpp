// bench-engine [--rows N] [--rounds R] [--folder DIR] [--pxsql PATH] [--memo] [--keep]
// Executes N INSERT statements (default 1,000,000) of an Orders-shaped keyed table, written
// exactly as the conversion writes them (row number first, ", " between the other values, a
// NULL right after its comma), and compares their rate with N record-sized write() calls to a file in the same folder,
// the floor that any writer paying one system call per statement pays. Only the time
// inside execute() counts for the engine, not the making of the statement texts. The two
// take turns batch by batch, so that page cache and writeback treat them alike.
// Then the same statements, written to a script file, run as a whole `pxsql FOLDER FILE`
// process (its start and the reading of the file included), against the same floor.
// --memo instead writes a table whose rows carry a memo of 2,000 characters, as a table
// with ntext values gives them, and prints the memo text's rate into the .MB file.
// Every ratio is of rates measured in the same run; CPU time is split into user and system.
// The whole measurement is made R times (default 3), each round into a fresh folder: each
// round's ratios are printed, then the median of every figure and of every ratio with its
// lowest and highest, so that one slow moment of a busy machine moves none of them. Memory
// is the first round's, before the later rounds have grown the process.
// --keep leaves the folder of the last round, its tables and script.sql, for a comparison or
// a profile.
#include "paradox/Database.h"
#include "paradox/Table.h"

#include <cerrno>
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
#include <sys/wait.h>
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

// CPU time spent in user and in system mode between two moments.
struct Cpu {
    double user = 0, system = 0;
};

Cpu cpuNow()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return {double(u.ru_utime.tv_sec) + u.ru_utime.tv_usec / 1e6, double(u.ru_stime.tv_sec) + u.ru_stime.tv_usec / 1e6};
}

void addSince(Cpu& total, const Cpu& since)
{
    const Cpu now = cpuNow();
    total.user += now.user - since.user;
    total.system += now.system - since.system;
}

// Runs `pxsql folder script` and waits for it; the wall time, or a negative one when it failed.
double runPxsql(const std::string& pxsql, const fs::path& folder, const fs::path& script)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::execl(pxsql.c_str(), pxsql.c_str(), folder.c_str(), script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const double wall = seconds(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? wall : -1;
}

std::string contents(const fs::path& file)
{
    std::string bytes;
    if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
        char buffer[1 << 16];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// The bytes of a table's file but the time it was last written (in the .DB's header).
std::string withoutUpdateTime(std::string bytes)
{
    constexpr std::size_t kUpdateTime = 0x60;
    if (bytes.size() >= kUpdateTime + 4)
        bytes.replace(kUpdateTime, 4, 4, '\0');
    return bytes;
}

// A memo value of 2,000 characters, a few of them beyond ASCII, different from row to row.
std::string memoText(long i)
{
    std::string text = "Note " + std::to_string(i) + ": ";
    while (text.size() < 1990) text += i % 3 ? "delivered to the customer's door, signed for by M\xC3\xBCller; " : "paid in full, invoice closed. ";
    text.resize(1990);
    while ((static_cast<unsigned char>(text.back()) & 0xC0) == 0x80 || static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
    return text;
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

// One statement of the memo table.
std::string memoStatement(long i)
{
    std::string quoted;
    for (char c : memoText(i)) quoted += c == '\'' ? "''" : std::string(1, c);
    return "INSERT INTO \"Notes\" VALUES (" + std::to_string(i) + ", 'Customer " + std::to_string(i % 977) + "', '" + quoted + "');";
}


// What one round measured.
struct Round {
    int recordSize = 0;
    double engineSeconds = 0, floorSeconds = 0, pxsqlSeconds = -1;
    Cpu engineCpu, floorCpu, pxsqlCpu;
    std::size_t statementBytes = 0, memoBytes = 0;
    double tableMb = 0, memoMb = 0;
    long rssAtTenth = 0, rssAtEnd = 0, pxsqlRss = 0;
    long rejected = 0;
    std::string firstRejected;

    double engineRate(long rows) const { return rows / engineSeconds; }
    double floorRate(long rows) const { return rows / floorSeconds; }
    double pxsqlRate(long rows) const { return rows / pxsqlSeconds; }
};

struct Settings {
    long rows = 1'000'000;
    fs::path folder;
    std::string pxsql;
    bool memo = false;
};

Cpu childrenCpu(long* maxRss = nullptr)
{
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    if (maxRss) *maxRss = children.ru_maxrss;
    return {double(children.ru_utime.tv_sec) + children.ru_utime.tv_usec / 1e6,
            double(children.ru_stime.tv_sec) + children.ru_stime.tv_usec / 1e6};
}

// One round into a fresh folder; 0 when done, else the exit status, the reason printed.
int measure(const Settings& settings, Round& r)
{
    const long rows = settings.rows;
    const fs::path& folder = settings.folder;
    const bool memo = settings.memo;
    fs::remove_all(folder);
    fs::create_directories(folder / "engine");
    fs::create_directories(folder / "pxsql");
    const std::string create = memo ? R"(CREATE TABLE "Notes" ("ID" INT, "Customer" TEXT(40), "Note" MEMO);)"
                                    : R"(CREATE TABLE "Orders" ("SBSID" INT, "OrderID" INT, "Customer" TEXT, "Amount" CURRENCY, "Scan" VARCHAR, "Placed" TIMESTAMP);)";
    const std::string index = memo ? R"(CREATE INDEX "Notes" ON "Notes" ("ID") with primary)" : R"(CREATE INDEX "Orders" ON "Orders" ("SBSID") with primary)";
    const std::string table = memo ? "Notes" : "Orders";
    const bool withPxsql = !memo && fs::exists(settings.pxsql);
    paradox::Database db(folder / "engine");
    db.execute(create);
    db.execute(index);
    r.recordSize = db.table(table).header().recordSize;

    // The floor's file is written batch by batch between the engine's batches, so that both
    // meet the same page cache and the same writeback of what was written before.
    const fs::path floorFile = folder / "floor.bin";
    const int fd = ::open(floorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror("floor file");
        return 2;
    }
    const std::string record(std::size_t(r.recordSize), 'x');

    // The same statements go to the script that pxsql runs afterwards.
    const fs::path scriptPath = folder / "script.sql";
    std::FILE* script = withPxsql ? std::fopen(scriptPath.c_str(), "w") : nullptr;
    if (script) std::fprintf(script, "%s\n%s\n", create.c_str(), index.c_str());

    // Statements are made in batches outside the timed part.
    constexpr long kBatch = 1000;
    std::vector<std::string> batch(kBatch);
    for (long first = 0; first < rows; first += kBatch) {
        const long n = std::min(kBatch, rows - first);
        for (long k = 0; k < n; ++k) {
            const long i = first + k;
            batch[k] = memo ? memoStatement(i) : statement(i);
            r.statementBytes += batch[k].size();
            if (memo) r.memoBytes += memoText(i).size();
            if (script) std::fprintf(script, "%s\n", batch[k].c_str());
        }
        const Cpu cpuStart = cpuNow();
        const auto start = std::chrono::steady_clock::now();
        for (long k = 0; k < n; ++k) {
            try {
                db.execute(batch[k]);
            } catch (const paradox::SqlError& e) {
                // Only a full table is expected; any other rejection is a fault of the bench or the engine.
                if (!std::strstr(e.what(), "is full")) throw;
                if (r.rejected++ == 0) r.firstRejected = e.what();
            }
        }
        // The last batch ends the run: the table is read from here on, and its files end
        // where its blocks do.
        if (first + n == rows)
            db.table(table);
        r.engineSeconds += seconds(start);
        addSince(r.engineCpu, cpuStart);
        if (first <= rows / 10 && rows / 10 < first + n) r.rssAtTenth = maxRssKb();

        const Cpu floorCpuStart = cpuNow();
        const auto floorStart = std::chrono::steady_clock::now();
        for (long k = 0; k < n; ++k)
            if (::write(fd, record.data(), record.size()) != ssize_t(record.size())) {
                std::perror("floor write");
                ::close(fd);
                return 2;
            }
        r.floorSeconds += seconds(floorStart);
        addSince(r.floorCpu, floorCpuStart);
    }
    r.rssAtEnd = maxRssKb();
    ::close(fd);
    if (script && std::fclose(script) != 0) {
        std::perror("script file");
        return 2;
    }
    r.tableMb = double(fs::file_size(folder / "engine" / (table + ".DB"))) / 1e6;
    if (memo) r.memoMb = double(fs::file_size(folder / "engine" / "Notes.MB")) / 1e6;
    if (!withPxsql) return 0;
    const Cpu before = childrenCpu();
    r.pxsqlSeconds = runPxsql(settings.pxsql, folder / "pxsql", scriptPath);
    if (r.pxsqlSeconds < 0) {
        std::fprintf(stderr, "bench-engine: %s failed on the script\n", settings.pxsql.c_str());
        return 1;
    }
    const Cpu after = childrenCpu(&r.pxsqlRss);
    r.pxsqlCpu = {after.user - before.user, after.system - before.system};
    for (const char* file : {"Orders.DB", "Orders.PX"})
        if (withoutUpdateTime(contents(folder / "pxsql" / file)) != withoutUpdateTime(contents(folder / "engine" / file))) {
            std::fprintf(stderr, "bench-engine: pxsql wrote another %s than the engine\n", file);
            return 1;
        }
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "1.62 (1.40 to 1.75 in 3 rounds)"; the figure alone for one round.
std::string spread(const std::vector<double>& values)
{
    char text[96];
    if (values.size() == 1) {
        std::snprintf(text, sizeof text, "%.2f", values[0]);
        return text;
    }
    std::snprintf(text, sizeof text, "%.2f (%.2f to %.2f in %zu rounds)", median(values), *std::min_element(values.begin(), values.end()),
                  *std::max_element(values.begin(), values.end()), values.size());
    return text;
}

// The median round of a figure: the value of `of` in the round where it is the median.
template <class Of>
double medianOf(const std::vector<Round>& rounds, Of of)
{
    std::vector<double> values;
    for (const Round& r : rounds) values.push_back(of(r));
    return median(values);
}

}  // namespace

int main(int argc, char** argv)
{
    Settings settings;
    settings.folder = fs::temp_directory_path() / "bench-engine";
    // pxsql is built beside this program.
    settings.pxsql = (fs::path(argv[0]).parent_path() / "pxsql").string();
    int roundsWanted = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const bool valued = i + 1 < argc;
        if (std::strcmp(argv[i], "--memo") == 0) settings.memo = true;
        else if (std::strcmp(argv[i], "--keep") == 0)
            keep = true;
        else if (valued && std::strcmp(argv[i], "--rows") == 0) settings.rows = std::atol(argv[++i]);
        else if (valued && std::strcmp(argv[i], "--rounds") == 0) roundsWanted = std::max(1, std::atoi(argv[++i]));
        else if (valued && std::strcmp(argv[i], "--folder") == 0) settings.folder = argv[++i];
        else if (valued && std::strcmp(argv[i], "--pxsql") == 0) settings.pxsql = argv[++i];
    }
    const long rows = settings.rows;
    std::vector<Round> rounds;
    try {
        for (int k = 0; k < roundsWanted; ++k) {
            Round& r = rounds.emplace_back();
            if (const int status = measure(settings, r)) return status;
            std::printf("round %d: engine %.0f statements/s, floor %.0f write() calls/s, ratio %.2f", k + 1, r.engineRate(rows),
                        r.floorRate(rows), r.engineRate(rows) / r.floorRate(rows));
            if (r.pxsqlSeconds > 0) std::printf("; pxsql %.0f statements/s, ratio %.2f", r.pxsqlRate(rows), r.pxsqlRate(rows) / r.floorRate(rows));
            std::printf("\n");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-engine: %s\n", e.what());
        return 1;
    }
    const Round& first = rounds.front();
    const auto cpu = [](const Cpu& c) { return c.user + c.system; };
    std::vector<double> engineRatios, engineCpuRatios, pxsqlRatios, pxsqlCpuRatios;
    for (const Round& r : rounds) {
        engineRatios.push_back(r.engineRate(rows) / r.floorRate(rows));
        engineCpuRatios.push_back(cpu(r.floorCpu) / cpu(r.engineCpu));
        if (r.pxsqlSeconds > 0) {
            pxsqlRatios.push_back(r.pxsqlRate(rows) / r.floorRate(rows));
            pxsqlCpuRatios.push_back(cpu(r.floorCpu) / cpu(r.pxsqlCpu));
        }
    }
    const double engineSeconds = medianOf(rounds, [](const Round& r) { return r.engineSeconds; });
    const double floorSeconds = medianOf(rounds, [](const Round& r) { return r.floorSeconds; });
    std::printf("%srows: %ld, record size: %d bytes\n", rounds.size() > 1 ? "medians:\n" : "", rows, first.recordSize);
    std::printf("engine: %.0f statements/s, %.1f MB/s of statement text, %.1f MB/s of table (%.2f s; CPU %.2f s user, %.2f s system)\n",
                rows / engineSeconds, first.statementBytes / 1e6 / engineSeconds, first.tableMb / engineSeconds, engineSeconds,
                medianOf(rounds, [](const Round& r) { return r.engineCpu.user; }), medianOf(rounds, [](const Round& r) { return r.engineCpu.system; }));
    std::printf("floor:  %.0f write() calls/s, %.1f MB/s (%.2f s; CPU %.2f s user, %.2f s system)\n", rows / floorSeconds,
                rows * double(first.recordSize) / 1e6 / floorSeconds, floorSeconds, medianOf(rounds, [](const Round& r) { return r.floorCpu.user; }),
                medianOf(rounds, [](const Round& r) { return r.floorCpu.system; }));
    for (const Round& r : rounds)
        if (r.rejected) std::printf("REJECTED as table-full: %ld of %ld rows (first: %s)\n", r.rejected, rows, r.firstRejected.c_str());
    if (settings.memo) {
        std::printf("memo: %.1f MB/s of memo text (target >= 200); %.1f MB per CPU second (%.1f MB of text, %.1f MB of .MB file)\n",
                    first.memoBytes / 1e6 / engineSeconds, first.memoBytes / 1e6 / medianOf(rounds, [&](const Round& r) { return cpu(r.engineCpu); }),
                    first.memoBytes / 1e6, first.memoMb);
    } else {
        std::printf("ratio engine/floor: %s (target >= 1.50); of CPU time per row: %s\n", spread(engineRatios).c_str(), spread(engineCpuRatios).c_str());
    }
    std::printf("max RSS: %ld KB after 10%% of the rows, %ld KB at the end (the first round)\n", first.rssAtTenth, first.rssAtEnd);
    if (!pxsqlRatios.empty()) {
        const double wall = medianOf(rounds, [](const Round& r) { return r.pxsqlSeconds; });
        long maxRss = 0;
        for (const Round& r : rounds) maxRss = std::max(maxRss, r.pxsqlRss);
        std::printf("pxsql process: %.0f statements/s (%.2f s wall, its start and the reading of %.1f MB of script included; CPU %.2f s user, %.2f s system; max RSS %ld KB)\n",
                    rows / wall, wall, first.statementBytes / 1e6, medianOf(rounds, [](const Round& r) { return r.pxsqlCpu.user; }),
                    medianOf(rounds, [](const Round& r) { return r.pxsqlCpu.system; }), maxRss);
        std::printf("ratio pxsql/floor: %s (target >= 1.50); of CPU time per row: %s\n", spread(pxsqlRatios).c_str(), spread(pxsqlCpuRatios).c_str());
    }
    if (!keep)
        fs::remove_all(settings.folder);
    return 0;
}
