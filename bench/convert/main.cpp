// bench-convert: a large Orders table (the sample Sales shape) converted in direct mode by
// quillmere-cli from the demo server into a Paradox folder, against FreeTDS's tsql reading the same
// table from the same server in the same run (freebcp out needs bulk-copy metadata the demo server
// does not offer).
//
//   bench-convert [--rows N] [--bin DIR]     (N defaults to 1,000,000; DIR to this program's own folder)
//
// Prints wall time, rows per second, CPU time per row of each client (wait4 of the child, so the
// server's own work is not counted), their ratios (targets: ours at most 1.5x the CPU per row,
// at least 0.8x the rows per second; quillmere-cli reads ahead while it writes), the cost of reading
// the tables back to verify them (a second run with --no-verify), the pre-flight check of the same
// database (quillmere-cli --check: its rows per second against the conversion's) and quillmere-cli's
// peak resident memory, which must not grow with the number of rows (compared with a run over a
// tenth of the rows); then the same run through the
// real main window (bench-convert-window, offscreen), whose rows per second should be at least
// 0.9x quillmere-cli's. Last, a table of a 2 KB ntext and a 20 KB image column (a row for
// every 200 orders) converted with --long-text memo --binary blob, its rows per second and
// megabytes per second (of the Paradox files written) beside those of the plain run.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
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
    long peakKiB = 0;
};

// Runs a program to its end with stdin from `in` and stdout, stderr sent to the named files.
Measured run(const std::vector<std::string>& args, const fs::path& out, const fs::path& err,
             const fs::path& input = "/dev/null")
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
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
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakKiB = usage.ru_maxrss;
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
    std::printf("%-14s %8.2f s wall  %10.0f rows/s  %7.2f s CPU  %7.2f us CPU/row  peak RSS %ld KiB\n", who,
                m.wallSeconds, rows / m.wallSeconds, m.cpuSeconds, m.cpuSeconds * 1e6 / rows, m.peakKiB);
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

} // namespace

int main(int argc, char** argv)
{
    long rows = 1000000;
    fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rows" && i + 1 < argc)
            rows = std::atol(argv[++i]);
        else if (a == "--bin" && i + 1 < argc)
            bin = argv[++i];
        else
            return fail("usage: bench-convert [--rows N] [--bin DIR]");
    }
    if (rows <= 0)
        return fail("--rows needs a positive number");

    char pattern[] = "/tmp/bench-convert.XXXXXX";
    if (!::mkdtemp(pattern))
        return fail("cannot make a work folder");
    const fs::path work = pattern;
    const fs::path database = work / "Sales.sqlite";
    const fs::path folder = work / "Paradox";
    fs::copy(bin / "Samples", folder, fs::copy_options::recursive);

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
        ::execl(program.c_str(), program.c_str(), "--port", "0", "--user", "sa", "--password", kPassword, "--database",
                db.c_str(), "--database", tenth.c_str(), "--database", media.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(portPipe[1]);
    char portText[32] = {};
    const ssize_t n = ::read(portPipe[0], portText, sizeof portText - 1);
    ::close(portPipe[0]);
    if (n <= 0)
        return fail("quillmere-demo-server did not start");
    const std::string port = std::to_string(std::atoi(portText));

    std::ofstream(work / "odbcinst.ini") << "[SQL Server]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n";
    ::setenv("ODBCSYSINI", work.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    ::setenv("BENCH_PASSWORD", kPassword, 1);
    ::setenv("TDSVER", "7.4", 1);

    std::printf("Orders: %ld rows (sample Sales shape), demo server on 127.0.0.1,%s, work folder %s\n", rows,
                port.c_str(), work.c_str());

    std::ofstream(work / "query.sql") << "SELECT * FROM Orders\ngo\nexit\n";
    const Measured client = run({"tsql", "-H", "127.0.0.1", "-p", port, "-U", "sa", "-P", kPassword, "-D", "Sales"},
                                "/dev/null", work / "tsql.err", work / "query.sql");
    const Measured ours =
        run({(bin / "quillmere-cli").string(), "--server", "127.0.0.1", "--port", port, "--database", "Sales", "--user",
             "sa", "--password-env", "BENCH_PASSWORD", "--folder", folder.string(), "--overwrite", "yes"},
            work / "cli.out", work / "cli.err");
    // The same run without reading the tables back: the difference is what verification costs.
    const fs::path unverifiedFolder = work / "ParadoxUnverified";
    fs::copy(bin / "Samples", unverifiedFolder, fs::copy_options::recursive);
    const Measured unverified = run({(bin / "quillmere-cli").string(), "--server", "127.0.0.1", "--port", port,
                                     "--database", "Sales", "--user", "sa", "--password-env", "BENCH_PASSWORD",
                                     "--folder", unverifiedFolder.string(), "--overwrite", "yes", "--no-verify"},
                                    work / "unverified.out", work / "unverified.err");
    // The check of the same database reads every table as the run does and judges each statement
    // instead of writing it; the sample's own tables hold values Paradox refuses, so it ends with 1.
    const fs::path checkFolder = work / "ParadoxCheck";
    fs::copy(bin / "Samples", checkFolder, fs::copy_options::recursive);
    const Measured checked =
        run({(bin / "quillmere-cli").string(), "--server", "127.0.0.1", "--port", port, "--database", "Sales", "--user",
             "sa", "--password-env", "BENCH_PASSWORD", "--folder", checkFolder.string(), "--check"},
            work / "check.out", work / "check.err");
    const fs::path tenthFolder = work / "ParadoxTenth";
    fs::copy(bin / "Samples", tenthFolder, fs::copy_options::recursive);
    const Measured tenth =
        run({(bin / "quillmere-cli").string(), "--server", "127.0.0.1", "--port", port, "--database", "Tenth", "--user",
             "sa", "--password-env", "BENCH_PASSWORD", "--folder", tenthFolder.string(), "--overwrite", "yes"},
            work / "tenth.out", work / "tenth.err");
    // The window run, when it is built: its own copy of the folder and a settings store of its own.
    const fs::path windowProgram = bin / "bench-convert-window";
    Measured window;
    double windowSeconds = 0;
    long windowReports = 0;
    if (fs::exists(windowProgram)) {
        const fs::path windowFolder = work / "ParadoxWindow";
        fs::copy(bin / "Samples", windowFolder, fs::copy_options::recursive);
        fs::create_directories(work / "settings");
        ::setenv("QUILLMERE_SETTINGS_DIR", (work / "settings").c_str(), 1);
        window = run({windowProgram.string(), "--port", port, "--password-env", "BENCH_PASSWORD", "--folder",
                      windowFolder.string()},
                     work / "window.out", work / "window.err");
        std::sscanf(readAll(work / "window.out").c_str(), "%lf %ld", &windowSeconds, &windowReports);
    }
    const fs::path mediaFolder = work / "ParadoxMedia";
    fs::copy(bin / "Samples", mediaFolder, fs::copy_options::recursive);
    const Measured media = run({(bin / "quillmere-cli").string(), "--server", "127.0.0.1", "--port", port, "--database",
                                "Media", "--user", "sa", "--password-env", "BENCH_PASSWORD", "--folder",
                                mediaFolder.string(), "--overwrite", "yes", "--long-text", "memo", "--binary", "blob"},
                               work / "media.out", work / "media.err");
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);

    std::printf(
        "\nquillmere-cli exit status %d (0: every row written; 1: some rows rejected, each on a line of its own)\n",
        ours.status);
    std::fputs(readAll(work / "cli.out").c_str(), stdout);
    if (client.status != 0)
        std::printf("tsql exit status %d: %s\n", client.status, readAll(work / "tsql.err").c_str());
    std::printf("\n");
    print("quillmere-cli", ours, rows);
    print("tsql", client, rows);
    if (client.status == 0 && client.cpuSeconds > 0) {
        std::printf("CPU per row, ours / tsql: %.2fx (target at most 1.5x)\n", ours.cpuSeconds / client.cpuSeconds);
        std::printf("rows per second, ours / tsql: %.2fx (target at least 0.8x)\n",
                    client.wallSeconds / ours.wallSeconds);
    }
    if (unverified.status == ours.status)
        std::printf("verification (read back and compared): %.2f s wall, %.2f s CPU, %+ld KiB peak RSS: %.1f%% of the "
                    "run's wall time, %.1f%% of its CPU time (the run with --no-verify: %.2f s wall, %.2f s CPU, peak "
                    "RSS %ld KiB)\n",
                    ours.wallSeconds - unverified.wallSeconds, ours.cpuSeconds - unverified.cpuSeconds,
                    ours.peakKiB - unverified.peakKiB,
                    100 * (ours.wallSeconds - unverified.wallSeconds) / ours.wallSeconds,
                    100 * (ours.cpuSeconds - unverified.cpuSeconds) / ours.cpuSeconds, unverified.wallSeconds,
                    unverified.cpuSeconds, unverified.peakKiB);
    else
        std::printf("quillmere-cli --no-verify ended with status %d, the verified run with %d: %s\n", unverified.status,
                    ours.status, readAll(work / "unverified.err").c_str());
    if (checked.status <= 1) {
        print("--check", checked, rows);
        // Both wait for the same server: on a busy machine the CPU each spends a row tells more.
        std::printf("Rows per second, check / conversion: %.2fx (target at least 2x); CPU per row, conversion / "
                    "check: %.2fx\n",
                    ours.wallSeconds / checked.wallSeconds, ours.cpuSeconds / checked.cpuSeconds);
    } else {
        std::printf("quillmere-cli --check failed (status %d): %s\n", checked.status,
                    readAll(work / "check.err").c_str());
    }
    if (tenth.status <= 1)
        std::printf("quillmere-cli peak RSS: %ld KiB at %ld rows, %ld KiB at %ld rows (%+ld KiB for %ld more rows; "
                    "target: flat)\n",
                    tenth.peakKiB, tenthRows, ours.peakKiB, rows, ours.peakKiB - tenth.peakKiB, rows - tenthRows);
    else
        std::printf("quillmere-cli on %ld rows failed (status %d): %s\n", tenthRows, tenth.status,
                    readAll(work / "tenth.err").c_str());

    const long windowRows = window.status == 0 ? writtenRecords(work / "ParadoxWindow", "Orders") : -1;
    if (window.status == 0 && windowSeconds > 0 && windowRows != rows) {
        std::printf("window run wrote %ld of the %ld rows: no figures\n", windowRows, rows);
    } else if (window.status == 0 && windowSeconds > 0) {
        std::printf("window run     %8.2f s in Start Converting (%.2f s process)  %10.0f rows/s  peak RSS %ld KiB  "
                    "%ld error reports\n",
                    windowSeconds, window.wallSeconds, rows / windowSeconds, window.peakKiB, windowReports);
        std::printf("Rows per second, window / quillmere-cli: %.2f (target at least 0.9)\n",
                    ours.wallSeconds / windowSeconds);
    } else if (fs::exists(windowProgram)) {
        std::printf("window run failed (status %d): %s\n", window.status, readAll(work / "window.err").c_str());
    } else {
        std::printf("window run skipped: bench-convert-window is not built\n");
    }

    if (media.status == 0) {
        const double plainMegabytes = tableMegabytes(folder, "Orders");
        const double mediaMegabytes = tableMegabytes(mediaFolder, "Media");
        std::printf("\nMemos and blobs (--long-text memo --binary blob), %ld rows of a 2 KB ntext and a 20 KB image:\n",
                    mediaRows);
        std::printf("plain run      %10.0f rows/s  %8.1f MB/s  (Orders, %.1f MB of Paradox files)\n",
                    rows / ours.wallSeconds, plainMegabytes / ours.wallSeconds, plainMegabytes);
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
    return ours.status <= 1 ? 0 : 1;
}
