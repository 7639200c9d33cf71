// quillmere-make-sales: creates the sample SQL Server database "Sales" (or, with --shop, "Shop") as a
// SQLite file for the demo server, or a database with one large Orders table for benchmarks.
//
//   quillmere-make-sales --out Sales.sqlite
//   quillmere-make-sales --shop --out Shop.sqlite
//   quillmere-make-sales --out Big.sqlite --orders 1000000 [--scan-bytes 64]
//
// An existing output file is replaced.

#include "QuillmereVersion.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <vector>

extern const char* const k_sales_script;
extern const char* const k_shop_script;

namespace {

const char* const kHelp =
    "usage: quillmere-make-sales --out FILE.sqlite [--orders ROWS [--scan-bytes N]]\n"
    "\n"
    "Makes a SQLite database for quillmere-demo-server: the sample Sales database, or with\n"
    "--orders one table Orders of that many rows for benchmarks. An existing FILE is replaced.\n"
    "\n"
    "  --out FILE          the database file to write\n"
    "  --orders ROWS       write only the table Orders, with ROWS rows\n"
    "  --scan-bytes N      bytes of the image column Scan in each of those rows (default 64;\n"
    "                      0 leaves it NULL)\n"
    "  --help              this text\n"
    "  --version           the version\n";

int usage(const std::string& message)
{
    std::fprintf(stderr, "quillmere-make-sales: %s\n"
                         "usage: quillmere-make-sales [--shop] --out FILE.sqlite [--orders ROWS [--scan-bytes N]]\n",
                 message.c_str());
    return 2;
}

bool exec(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "quillmere-make-sales: %s\n", error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    return false;
}

// Rows shaped like the conversion's worked example: OrderID, Customer, Amount, Scan, Placed. The names keep
// accents and an apostrophe but stay within code page 1252, so every row converts.
bool fillOrders(sqlite3* db, long rows, int scanBytes)
{
    if (!exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                  "CREATE TABLE Orders (OrderID int NOT NULL PRIMARY KEY, Customer nvarchar(40), Amount money, "
                  "Scan image, Placed datetime); BEGIN;"))
        return false;
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Orders VALUES (?1, ?2, ?3, ?4, ?5)", -1, &insert, nullptr);
    static const char* const names[] = {"O'Neil", "Müller GmbH", "Société Générale", "Smith, Jones & Co", "Ångström & Søn",
                                        "Crème Brûlée Café", "Ferreira Lda", "Björk AB"};
    std::vector<unsigned char> scan(static_cast<size_t>(scanBytes));
    char amount[32], placed[32], customer[64];
    for (long id = 1; id <= rows; ++id) {
        std::snprintf(customer, sizeof customer, "%s %ld", names[id % 8], id % 997);
        std::snprintf(amount, sizeof amount, "%ld.%02ld", (id * 7919) % 100000, id % 100);
        const long day = id % 3650;
        std::snprintf(placed, sizeof placed, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld", 2015 + day / 365, 1 + (day % 365) / 31 % 12,
                      1 + day % 28, id % 24, id % 60, (id * 7) % 60);
        for (size_t k = 0; k < scan.size(); ++k)
            scan[k] = static_cast<unsigned char>((id + static_cast<long>(k)) & 0xFF);
        sqlite3_bind_int64(insert, 1, id);
        if (id % 50 == 0)
            sqlite3_bind_null(insert, 2);
        else
            sqlite3_bind_text(insert, 2, customer, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, amount, -1, SQLITE_STATIC);
        if (scan.empty())
            sqlite3_bind_null(insert, 4);
        else
            sqlite3_bind_blob(insert, 4, scan.data(), static_cast<int>(scan.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 5, placed, -1, SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            std::fprintf(stderr, "quillmere-make-sales: %s\n", sqlite3_errmsg(db));
            sqlite3_finalize(insert);
            return false;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return exec(db, "COMMIT;");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("quillmere-make-sales %s\n", QUILLMERE_VERSION);
        return 0;
    }
    std::string out;
    long orders = -1;
    int scanBytes = 64;
    bool shop = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--shop") {
            shop = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage("missing value after " + option);
        const std::string value = argv[++i];
        char* end = nullptr;
        if (option == "--out") {
            out = value;
        } else if (option == "--orders") {
            orders = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || orders < 0)
                return usage("invalid row count '" + value + "'");
        } else if (option == "--scan-bytes") {
            scanBytes = static_cast<int>(std::strtol(value.c_str(), &end, 10));
            if (value.empty() || *end != '\0' || scanBytes < 0 || scanBytes > 1 << 20)
                return usage("invalid byte count '" + value + "'");
        } else {
            return usage("unknown option " + option);
        }
    }
    if (out.empty())
        return usage("--out is required");

    std::error_code ignored;
    std::filesystem::remove(out, ignored);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(out.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "quillmere-make-sales: cannot create %s: %s\n", out.c_str(), sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const bool ok = orders >= 0 ? fillOrders(db, orders, scanBytes) : exec(db, shop ? k_shop_script : k_sales_script);
    sqlite3_close(db);
    if (!ok) {
        std::filesystem::remove(out, ignored);
        return 1;
    }
    if (orders >= 0) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "quillmere-make-sales: %ld Orders rows in %.2f s\n", orders, seconds);
    }
    return 0;
}
