// bench-convert: a large Orders table (the sample Sales shape) converted in direct mode by
// quillmere-cli from the demo server into a Paradox folder, against FreeTDS's tsql reading the same
// table from the same server in the same run (freebcp out needs bulk-copy metadata the demo server
// does not offer).
//
//   bench-convert [--rows N] [--rounds R] [--bin DIR]
//     (N defaults to 1,000,000, R to 3; DIR to this program's own folder)
//
// The runs that the ratios compare (tsql, the conversion with and without verification, the
// check and the window run) take turns, round after round, each round in the opposite order of
// the one before; every figure is the median of the rounds and every ratio the median of the
// ratios within a round, with their lowest and highest, so that one slow moment of a busy
// machine moves neither. Prints wall time, rows per second, CPU time per row of each client (wait4 of the child, so the
// server's own work is not counted; the kernel's part beside it), their ratios (targets: ours at most 1.5x the CPU per row,
// at least 0.8x the rows per second; quillmere-cli reads ahead while it writes; tsql runs with its
// default packets and again with the larger ones quillmere-cli asks for), the cost of reading
// the tables back to verify them (a second run with --no-verify), the pre-flight check of the same
// database (quillmere-cli --check: its rows per second against the conversion's) and quillmere-cli's
// peak resident memory, which must not grow with the number of rows (compared with a run over a
// tenth of the rows); what the machine's cores allow at the CPU each spends, the demo server's
// included (/proc), since the server and the clients share them; then the same run through the
// real main window (bench-convert-window, offscreen), whose rows per second should be at least
// 0.9x quillmere-cli's. Last, a table of a 2 KB ntext and a 20 KB image column (a row for
// every 200 orders) converted with --long-text memo --binary blob, its rows per second and
// megabytes per second (of the Paradox files written) beside those of the plain run. And a
// database of many small tables (a table for every 10,000 orders, 10 to 100, of 200 rows each)
// converted once by quillmere-cli and once in the window, whose rows per second are compared.

#include "ProcessCpu.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <sched.h>
#include <sqlite3.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "Bench-Pass1";

struct Measured {
    int status = -1;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double systemSeconds = 0; // the kernel's part of cpuSeconds
    long peakKiB = 0;
    double serverCpuSeconds = -1; // the demo server's CPU during the run; -1: not known
};

// The demo server, whose CPU each run is charged with as well: on a machine of few cores the
// server and the client take their time from the same cores.
pid_t watchedServer = 0;

// The cores this process may run on, which the server and the clients share.
int usableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return CPU_COUNT(&set);
    return static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

// Runs a program to its end with stdin from `in` and stdout, stderr sent to the named files.
Measured run(const std::vector<std::string>& args, const fs::path& out, const fs::path& err,
             const fs::path& input = "/dev/null")
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const double serverBefore = watchedServer ? bench::processCpuSeconds(watchedServer) : -1;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open(input.c_str(), O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, STDIN_FILENO);
        ::dup2(o, STDOUT_FILENO);
        ::dup2(e, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    Measured m;
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    m.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m.systemSeconds = static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6 +
                   m.systemSeconds;
    m.peakKiB = usage.ru_maxrss;
    const double serverAfter = serverBefore >= 0 ? bench::processCpuSeconds(watchedServer) : -1;
    if (serverAfter >= 0)
        m.serverCpuSeconds = serverAfter - serverBefore;
    return m;
}

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int fail(const std::string& why)
{
    std::cerr << "bench-convert: " << why << '\n';
    return 1;
}

void print(const char* who, const Measured& m, long rows)
{
    std::printf("%-14s %8.2f s wall  %10.0f rows/s  %7.2f s CPU (%.2f s system)  %7.2f us CPU/row  peak RSS %ld KiB\n",
                who, m.wallSeconds, rows / m.wallSeconds, m.cpuSeconds, m.systemSeconds, m.cpuSeconds * 1e6 / rows,
                m.peakKiB);
}

// A table Media (ID int, Note ntext, Picture image) of `rows` rows: 2 KB of text and 20 KB of
// bytes in each. False after saying why not.
bool writeMediaDatabase(const fs::path& file, long rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        std::cerr << "bench-convert: cannot create " << file << '\n';
        sqlite3_close(db);
        return false;
    }
    sqlite3_exec(db, "CREATE TABLE Media (ID int, Note ntext, Picture image); BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Media VALUES (?, ?, ?)", -1, &insert, nullptr);
    std::mt19937 random(2026);
    std::string note(2048, ' ');
    std::string picture(20 * 1024, '\0');
    for (long row = 0; row < rows; ++row) {
        for (char& c : note)
            c = static_cast<char>('a' + random() % 26);
        for (char& b : picture)
            b = static_cast<char>(random());
        sqlite3_bind_int64(insert, 1, row + 1);
        sqlite3_bind_text(insert, 2, note.data(), static_cast<int>(note.size()), SQLITE_STATIC);
        sqlite3_bind_blob(insert, 3, picture.data(), static_cast<int>(picture.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const bool done = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (!done)
        std::cerr << "bench-convert: cannot write " << file << '\n';
    return done;
}

// `tables` tables T0001, T0002, ... of `rows` rows each (ID int, Name nvarchar(40), Amount money):
// the shape of a database of many small tables, where what a run does once a table counts most.
bool writeManyTablesDatabase(const fs::path& file, long tables, long rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        std::cerr << "bench-convert: cannot create " << file << '\n';
        sqlite3_close(db);
        return false;
    }
    bool done = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (long table = 1; done && table <= tables; ++table) {
        char name[32];
        std::snprintf(name, sizeof name, "T%04ld", table);
        done = sqlite3_exec(db, (std::string("CREATE TABLE ") + name + " (ID int PRIMARY KEY, Name nvarchar(40), Amount money)").c_str(),
                            nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_stmt* insert = nullptr;
        done = done && sqlite3_prepare_v2(db, (std::string("INSERT INTO ") + name + " VALUES (?, ?, ?)").c_str(), -1,
                                          &insert, nullptr) == SQLITE_OK;
        for (long row = 0; done && row < rows; ++row) {
            const std::string text = "name " + std::to_string(row);
            sqlite3_bind_int64(insert, 1, row);
            sqlite3_bind_text(insert, 2, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            sqlite3_bind_double(insert, 3, static_cast<double>(row) * 1.25);
            done = sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
    }
    done = done && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (!done)
        std::cerr << "bench-convert: cannot write " << file << '\n';
    return done;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The files of a Paradox table (.DB, .PX, .MB) in a folder, its name in any case: a replaced
// sample table keeps the case of its old files.
std::vector<fs::path> tableFiles(const fs::path& folder, const std::string& table)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = lower(entry.path().filename().string());
        for (const char* extension : {".db", ".px", ".mb"})
            if (name == lower(table) + extension)
                files.push_back(entry.path());
    }
    return files;
}

double tableMegabytes(const fs::path& folder, const std::string& table)
{
    double bytes = 0;
    for (const fs::path& file : tableFiles(folder, table))
        bytes += static_cast<double>(fs::file_size(file));
    return bytes / 1e6;
}

// The records a table's header counts (a 32-bit little-endian number at 0x06); -1 without a table.
long writtenRecords(const fs::path& folder, const std::string& table)
{
    for (const fs::path& file : tableFiles(folder, table)) {
        if (lower(file.extension().string()) != ".db")
            continue;
        std::ifstream in(file, std::ios::binary);
        unsigned char head[10] = {};
        if (!in.read(reinterpret_cast<char*>(head), sizeof head))
            return -1;
        return long(head[6]) | long(head[7]) << 8 | long(head[8]) << 16 | long(head[9]) << 24;
    }
    return -1;
}

// A fresh copy of the sample folder, so that every run starts from the same files.
fs::path freshFolder(const fs::path& bin, const fs::path& work, const std::string& name)
{
    const fs::path folder = work / name;
    fs::remove_all(folder);
    fs::copy(bin / "Samples", folder, fs::copy_options::recursive);
    return folder;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The runs of one client, one a round.
struct Runs {
    std::vector<Measured> rounds;

    Measured typical() const
    {
        std::vector<double> wall, cpu, system, peak, server;
        for (const Measured& m : rounds) {
            wall.push_back(m.wallSeconds);
            cpu.push_back(m.cpuSeconds);
            system.push_back(m.systemSeconds);
            peak.push_back(static_cast<double>(m.peakKiB));
            server.push_back(m.serverCpuSeconds);
        }
        Measured m;
        m.status = rounds.empty() ? -1 : rounds.back().status;
        m.wallSeconds = median(wall);
        m.cpuSeconds = median(cpu);
        m.systemSeconds = median(system);
        m.peakKiB = static_cast<long>(median(peak));
        if (std::none_of(server.begin(), server.end(), [](double seconds) { return seconds < 0; }))
            m.serverCpuSeconds = median(server);
        return m;
    }
};

// A figure taken within each round, of two clients' runs of that round.
template <class Of>
std::vector<double> perRound(const Runs& a, const Runs& b, Of of)
{
    std::vector<double> values;
    for (std::size_t r = 0; r < a.rounds.size() && r < b.rounds.size(); ++r)
        values.push_back(of(a.rounds[r], b.rounds[r]));
    return values;
}

// "1.23x (0.98 to 1.50 in 3 rounds)": the median of the values, their lowest and highest; `unit`
// follows each number, and `scale` multiplies them (100 for a percentage).
std::string spread(const std::vector<double>& values, const char* unit, double scale = 1)
{
    if (values.empty())
        return "-";
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    char text[128];
    std::snprintf(text, sizeof text, "%.2f%s (%.2f%s to %.2f%s in %zu rounds)", scale * median(values), unit,
                  scale * *low, unit, scale * *high, unit, values.size());
    return text;
}

double cpuRatio(const Measured& a, const Measured& b) { return a.cpuSeconds / b.cpuSeconds; }
double userCpuRatio(const Measured& a, const Measured& b)
{
    return (a.cpuSeconds - a.systemSeconds) / (b.cpuSeconds - b.systemSeconds);
}
double speedRatio(const Measured& a, const Measured& b) { return b.wallSeconds / a.wallSeconds; }

// What the cores allow: a run whose client and demo server together spend T seconds of CPU
// takes at least T / cores of wall time, however well its threads overlap. Printed as the highest
// rows per second, against tsql's measured ones, that the conversion and the check could reach
// at the CPU they spend now; with the check's against the 2 x 0.8 that the two speed targets
// together ask of it. Nothing where the server's CPU could not be read.
void printMachineBound(const Runs& tsql, const Runs& ours, const Runs& check, long rows)
{
    const int cores = usableCores();
    const auto total = [](const Measured& m) { return m.cpuSeconds + m.serverCpuSeconds; };
    const auto perRow = [rows](double seconds) { return seconds * 1e6 / static_cast<double>(rows); };
    const Measured t = tsql.typical(), o = ours.typical(), c = check.typical();
    if (t.serverCpuSeconds < 0 || o.serverCpuSeconds < 0 || c.serverCpuSeconds < 0)
        return;
    std::printf("What %d cores allow (CPU per row of the client and the demo server together; no run spreads it "
                "over more cores than there are):\n",
                cores);
    std::printf("  tsql %.2f us (%.2f + %.2f), ours %.2f us (%.2f + %.2f), check %.2f us (%.2f + %.2f)\n",
                perRow(total(t)), perRow(t.cpuSeconds), perRow(t.serverCpuSeconds), perRow(total(o)),
                perRow(o.cpuSeconds), perRow(o.serverCpuSeconds), perRow(total(c)), perRow(c.cpuSeconds),
                perRow(c.serverCpuSeconds));
    const auto reachable = [&](const Measured& run, const Measured& reference) {
        return cores * reference.wallSeconds / total(run);
    };
    std::printf("  at most, in rows per second against tsql's: ours %s (target 0.8x), the check %s (2x a conversion "
                "at 0.8x tsql needs 1.60x)\n",
                spread(perRound(ours, tsql, reachable), "x").c_str(), spread(perRound(check, tsql, reachable), "x").c_str());
}

} // namespace

int main(int argc, char** argv)
{
    long rows = 1000000;
    int rounds = 3;
    fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rows" && i + 1 < argc)
            rows = std::atol(argv[++i]);
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::atoi(argv[++i]);
        else if (a == "--bin" && i + 1 < argc)
            bin = argv[++i];
        else
            return fail("usage: bench-convert [--rows N] [--rounds R] [--bin DIR]");
    }
    if (rows <= 0)
        return fail("--rows needs a positive number");
    if (rounds <= 0)
        return fail("--rounds needs a positive number");

    char pattern[] = "/tmp/bench-convert.XXXXXX";
    if (!::mkdtemp(pattern))
        return fail("cannot make a work folder");
    const fs::path work = pattern;
    const fs::path database = work / "Sales.sqlite";

    const Measured made =
        run({(bin / "quillmere-make-sales").string(), "--out", database.string(), "--orders", std::to_string(rows)},
            work / "make.out", work / "make.err");
    if (made.status != 0)
        return fail("quillmere-make-sales failed: " + readAll(work / "make.err"));
    // A tenth of the rows, converted too, shows whether memory grows with the number of rows.
    const long tenthRows = std::max(1L, rows / 10);
    const fs::path tenthDatabase = work / "Tenth.sqlite";
    if (run({(bin / "quillmere-make-sales").string(), "--out", tenthDatabase.string(), "--orders",
             std::to_string(tenthRows)},
            work / "make.out", work / "make.err")
            .status != 0)
        return fail("quillmere-make-sales failed: " + readAll(work / "make.err"));

    const long mediaRows = std::max(1L, rows / 200);
    const fs::path mediaDatabase = work / "Media.sqlite";
    if (!writeMediaDatabase(mediaDatabase, mediaRows))
        return 1;
    const long manyTables = std::clamp(rows / 10000, 10L, 100L);
    constexpr long kManyTablesRows = 200;
    const fs::path manyDatabase = work / "Many.sqlite";
    if (!writeManyTablesDatabase(manyDatabase, manyTables, kManyTablesRows))
        return 1;

    int portPipe[2];
    if (::pipe(portPipe) != 0)
        return fail("pipe");
    const pid_t server = ::fork();
    if (server == 0) {
        ::dup2(portPipe[1], STDOUT_FILENO);
        ::close(portPipe[0]);
        ::close(portPipe[1]);
        const std::string program = (bin / "quillmere-demo-server").string();
        const std::string db = "Sales=" + database.string();
        const std::string tenth = "Tenth=" + tenthDatabase.string();
        const std::string media = "Media=" + mediaDatabase.string();
        const std::string many = "Many=" + manyDatabase.string();
        ::execl(program.c_str(), program.c_str(), "--port", "0", "--user", "sa", "--password", kPassword, "--database",
                db.c_str(), "--database", tenth.c_str(), "--database", media.c_str(), "--database", many.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(portPipe[1]);
    char portText[32] = {};
    const ssize_t n = ::read(portPipe[0], portText, sizeof portText - 1);
    ::close(portPipe[0]);
    if (n <= 0)
        return fail("quillmere-demo-server did not start");
    const std::string port = std::to_string(std::atoi(portText));
    watchedServer = server;

    std::ofstream(work / "odbcinst.ini") << "[SQL Server]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n";
    ::setenv("ODBCSYSINI", work.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    ::setenv("BENCH_PASSWORD", kPassword, 1);
    ::setenv("TDSVER", "7.4", 1);

    std::printf("Orders: %ld rows (sample Sales shape), demo server on 127.0.0.1,%s, work folder %s, %d rounds\n",
                rows, port.c_str(), work.c_str(), rounds);

    std::ofstream(work / "query.sql") << "SELECT * FROM Orders\ngo\nexit\n";
    auto cli = [&](const std::string& database, const fs::path& folder, std::vector<std::string> options) {
        std::vector<std::string> args = {(bin / "quillmere-cli").string(), "--server", "127.0.0.1", "--port", port,
                                         "--database", database, "--user", "sa", "--password-env", "BENCH_PASSWORD",
                                         "--folder", folder.string()};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    };
    const fs::path windowProgram = bin / "bench-convert-window";
    const bool windowBuilt = fs::exists(windowProgram);
    if (windowBuilt) {
        fs::create_directories(work / "settings");
        ::setenv("QUILLMERE_SETTINGS_DIR", (work / "settings").c_str(), 1);
    }
    Runs client, clientLargePackets, ours, unverified, checked, window;
    // quillmere-cli asks FreeTDS for 16383-byte packets; tsql is measured with its default 4096 and,
    // through a freetds.conf of its own, with the same packets, so that the reading itself is compared too.
    std::ofstream(work / "freetds.conf") << "[global]\n\tinitial block size = 16383\n";
    auto tsql = [&](Runs& runs, const fs::path& err) {
        runs.rounds.push_back(run({"tsql", "-H", "127.0.0.1", "-p", port, "-U", "sa", "-P", kPassword, "-D", "Sales"},
                                  "/dev/null", err, work / "query.sql"));
    };
    // The window's figure is the time inside Start Converting; the process's own wall time beside it.
    std::vector<double> windowProcessSeconds;
    long windowReports = 0;
    std::string windowFault;
    const fs::path folder = work / "Paradox";
    const std::vector<std::function<void()>> measurements = {
        [&] { tsql(client, work / "tsql.err"); },
        [&] {
            ::setenv("FREETDSCONF", (work / "freetds.conf").c_str(), 1);
            tsql(clientLargePackets, work / "tsql-packets.err");
            ::unsetenv("FREETDSCONF");
        },
        [&] {
            freshFolder(bin, work, folder.filename().string());
            ours.rounds.push_back(run(cli("Sales", folder, {"--overwrite", "yes"}), work / "cli.out", work / "cli.err"));
        },
        // The same run without reading the tables back: the difference is what verification costs.
        [&] {
            const fs::path f = freshFolder(bin, work, "ParadoxUnverified");
            unverified.rounds.push_back(run(cli("Sales", f, {"--overwrite", "yes", "--no-verify"}),
                                            work / "unverified.out", work / "unverified.err"));
        },
        // The check of the same database reads every table as the run does and judges each statement
        // instead of writing it; the sample's own tables hold values Paradox refuses, so it ends with 1.
        [&] {
            const fs::path f = freshFolder(bin, work, "ParadoxCheck");
            checked.rounds.push_back(run(cli("Sales", f, {"--check"}), work / "check.out", work / "check.err"));
        },
        // The window run, when it is built: its own copy of the folder and a settings store of its own.
        [&] {
            if (!windowBuilt)
                return;
            const fs::path f = freshFolder(bin, work, "ParadoxWindow");
            Measured m = run({windowProgram.string(), "--port", port, "--password-env", "BENCH_PASSWORD", "--folder",
                              f.string()},
                             work / "window.out", work / "window.err");
            double seconds = 0;
            std::sscanf(readAll(work / "window.out").c_str(), "%lf %ld", &seconds, &windowReports);
            const long written = m.status == 0 ? writtenRecords(f, "Orders") : -1;
            if (m.status != 0 || seconds <= 0)
                windowFault = "window run failed (status " + std::to_string(m.status) +
                              "): " + readAll(work / "window.err");
            else if (written != rows)
                windowFault = "window run wrote " + std::to_string(written) + " of the " + std::to_string(rows) +
                              " rows: no figures";
            windowProcessSeconds.push_back(m.wallSeconds);
            m.wallSeconds = seconds;
            window.rounds.push_back(m);
        },
    };
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0)
            for (const auto& measure : measurements)
                measure();
        else
            for (auto it = measurements.rbegin(); it != measurements.rend(); ++it)
                (*it)();
    }
    const fs::path tenthFolder = freshFolder(bin, work, "ParadoxTenth");
    const Measured tenth =
        run(cli("Tenth", tenthFolder, {"--overwrite", "yes"}), work / "tenth.out", work / "tenth.err");
    const fs::path mediaFolder = freshFolder(bin, work, "ParadoxMedia");
    const Measured media = run(cli("Media", mediaFolder, {"--overwrite", "yes", "--long-text", "memo", "--binary", "blob"}),
                               work / "media.out", work / "media.err");
    // Many small tables, once each through quillmere-cli and the window: what the window does once a
    // table or once a percentage of a table shows here, where a large table hides it.
    const Measured manyCli = run(cli("Many", freshFolder(bin, work, "ParadoxMany"), {}), work / "many.out", work / "many.err");
    double manyWindowSeconds = 0;
    Measured manyWindow;
    if (windowBuilt) {
        manyWindow = run({windowProgram.string(), "--port", port, "--password-env", "BENCH_PASSWORD", "--folder",
                          freshFolder(bin, work, "ParadoxManyWindow").string(), "--database", "Many"},
                         work / "many-window.out", work / "many-window.err");
        std::sscanf(readAll(work / "many-window.out").c_str(), "%lf", &manyWindowSeconds);
    }
    watchedServer = 0;
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);

    const Measured oursTypical = ours.typical(), clientTypical = client.typical();
    std::printf(
        "\nquillmere-cli exit status %d (0: every row written; 1: some rows rejected, each on a line of its own)\n",
        oursTypical.status);
    std::fputs(readAll(work / "cli.out").c_str(), stdout);
    const bool clientRan = std::all_of(client.rounds.begin(), client.rounds.end(),
                                       [](const Measured& m) { return m.status == 0 && m.cpuSeconds > 0; });
    if (!clientRan)
        std::printf("tsql failed: %s\n", readAll(work / "tsql.err").c_str());
    std::printf("\nMedians of %d rounds:\n", rounds);
    print("quillmere-cli", oursTypical, rows);
    print("tsql", clientTypical, rows);
    if (clientRan) {
        std::printf("CPU per row, ours / tsql: %s (target at most 1.5x)\n",
                    spread(perRound(ours, client, cpuRatio), "x").c_str());
        // The kernel's part differs most from run to run: it fills the page cache with the table
        // (tsql writes nowhere), at a cost that depends on how fresh the memory it is given is.
        std::printf("  of it outside the kernel: %s\n", spread(perRound(ours, client, userCpuRatio), "x").c_str());
        std::printf("rows per second, ours / tsql: %s (target at least 0.8x)\n",
                    spread(perRound(ours, client, speedRatio), "x").c_str());
    }
    const bool largePacketsRan = std::all_of(clientLargePackets.rounds.begin(), clientLargePackets.rounds.end(),
                                             [](const Measured& m) { return m.status == 0 && m.cpuSeconds > 0; });
    if (largePacketsRan) {
        print("tsql 16383 B", clientLargePackets.typical(), rows);
        std::printf("CPU per row, ours / tsql with the same packets: %s; rows per second: %s\n",
                    spread(perRound(ours, clientLargePackets, cpuRatio), "x").c_str(),
                    spread(perRound(ours, clientLargePackets, speedRatio), "x").c_str());
    } else {
        std::printf("tsql with 16383-byte packets failed: %s\n", readAll(work / "tsql-packets.err").c_str());
    }
    const Measured unverifiedTypical = unverified.typical();
    if (unverifiedTypical.status == oursTypical.status)
        std::printf("verification (read back and compared): %s of the run's wall time, %s of its CPU time, %+ld KiB "
                    "peak RSS (the run with --no-verify: %.2f s wall, %.2f s CPU, peak RSS %ld KiB)\n",
                    spread(perRound(ours, unverified,
                                    [](const Measured& a, const Measured& b) { return 1 - b.wallSeconds / a.wallSeconds; }),
                           "%", 100)
                        .c_str(),
                    spread(perRound(ours, unverified,
                                    [](const Measured& a, const Measured& b) { return 1 - b.cpuSeconds / a.cpuSeconds; }),
                           "%", 100)
                        .c_str(),
                    oursTypical.peakKiB - unverifiedTypical.peakKiB, unverifiedTypical.wallSeconds,
                    unverifiedTypical.cpuSeconds, unverifiedTypical.peakKiB);
    else
        std::printf("quillmere-cli --no-verify ended with status %d, the verified run with %d: %s\n",
                    unverifiedTypical.status, oursTypical.status, readAll(work / "unverified.err").c_str());
    const Measured checkedTypical = checked.typical();
    if (checkedTypical.status <= 1) {
        print("--check", checkedTypical, rows);
        // Both wait for the same server: on a busy machine the CPU each spends a row tells more.
        std::printf("Rows per second, check / conversion: %s (target at least 2x); CPU per row, conversion / check: "
                    "%s\n",
                    spread(perRound(checked, ours, speedRatio), "x").c_str(),
                    spread(perRound(ours, checked, cpuRatio), "x").c_str());
    } else {
        std::printf("quillmere-cli --check failed (status %d): %s\n", checkedTypical.status,
                    readAll(work / "check.err").c_str());
    }
    if (clientRan && checkedTypical.status <= 1)
        printMachineBound(client, ours, checked, rows);
    if (tenth.status <= 1)
        std::printf("quillmere-cli peak RSS: %ld KiB at %ld rows, %ld KiB at %ld rows (%+ld KiB for %ld more rows; "
                    "target: flat)\n",
                    tenth.peakKiB, tenthRows, oursTypical.peakKiB, rows, oursTypical.peakKiB - tenth.peakKiB,
                    rows - tenthRows);
    else
        std::printf("quillmere-cli on %ld rows failed (status %d): %s\n", tenthRows, tenth.status,
                    readAll(work / "tenth.err").c_str());

    if (!windowBuilt) {
        std::printf("window run skipped: bench-convert-window is not built\n");
    } else if (!windowFault.empty()) {
        std::printf("%s\n", windowFault.c_str());
    } else {
        const Measured windowTypical = window.typical();
        std::printf("window run     %8.2f s in Start Converting (%.2f s process)  %10.0f rows/s  peak RSS %ld KiB  "
                    "%ld error reports\n",
                    windowTypical.wallSeconds, median(windowProcessSeconds), rows / windowTypical.wallSeconds,
                    windowTypical.peakKiB, windowReports);
        std::printf("Rows per second, window / quillmere-cli: %s (target at least 0.9)\n",
                    spread(perRound(window, ours, speedRatio), "").c_str());
    }

    const long manyRows = manyTables * kManyTablesRows;
    if (manyCli.status != 0)
        std::printf("many small tables: quillmere-cli failed (status %d): %s\n", manyCli.status,
                    readAll(work / "many.err").c_str());
    else if (windowBuilt && (manyWindow.status != 0 || manyWindowSeconds <= 0))
        std::printf("many small tables: the window run failed (status %d): %s\n", manyWindow.status,
                    readAll(work / "many-window.err").c_str());
    else if (windowBuilt)
        std::printf("%ld tables of %ld rows: quillmere-cli %.2f s (%.2f s CPU), window %.2f s in Start Converting "
                    "(%.2f s CPU); rows per second, window / quillmere-cli: %.2f\n",
                    manyTables, kManyTablesRows, manyCli.wallSeconds, manyCli.cpuSeconds, manyWindowSeconds,
                    manyWindow.cpuSeconds, manyCli.wallSeconds / manyWindowSeconds);
    else
        std::printf("%ld tables of %ld rows: quillmere-cli %.2f s, %.0f rows/s\n", manyTables, kManyTablesRows,
                    manyCli.wallSeconds, manyRows / manyCli.wallSeconds);

    if (media.status == 0) {
        const double plainMegabytes = tableMegabytes(folder, "Orders");
        const double mediaMegabytes = tableMegabytes(mediaFolder, "Media");
        std::printf("\nMemos and blobs (--long-text memo --binary blob), %ld rows of a 2 KB ntext and a 20 KB image:\n",
                    mediaRows);
        std::printf("plain run      %10.0f rows/s  %8.1f MB/s  (Orders, %.1f MB of Paradox files)\n",
                    rows / oursTypical.wallSeconds, plainMegabytes / oursTypical.wallSeconds, plainMegabytes);
        std::printf("memo + blob    %10.0f rows/s  %8.1f MB/s  (Media, %.1f MB of Paradox files, %.2f s)\n",
                    mediaRows / media.wallSeconds, mediaMegabytes / media.wallSeconds, mediaMegabytes,
                    media.wallSeconds);
    } else {
        std::printf("memo and blob run failed (status %d): %s\n", media.status, readAll(work / "media.err").c_str());
    }

    for (const fs::path& file : tableFiles(folder, "Orders")) {
        if (lower(file.extension().string()) != ".db")
            continue;
        // The header starts with the record size (u16, little-endian); the byte at 0x04 is the file type
        // (0: keyed), the one at 0x05 the block size in KB.
        std::ifstream table(file, std::ios::binary);
        unsigned char head[6] = {};
        table.read(reinterpret_cast<char*>(head), 6);
        const unsigned recordSize = head[0] | (head[1] << 8);
        const unsigned blockSize = head[5] * 1024u;
        const unsigned perBlock = recordSize && blockSize > 6 ? (blockSize - 6) / recordSize : 0;
        std::printf("%s: %.1f MB, %s, record size %u bytes, %u-byte blocks (from the header): %u rows per block\n",
                    file.filename().c_str(), static_cast<double>(fs::file_size(file)) / 1e6,
                    head[4] == 0 ? "keyed" : "not keyed", recordSize, blockSize, perBlock);
    }
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return oursTypical.status <= 1 ? 0 : 1;
}
