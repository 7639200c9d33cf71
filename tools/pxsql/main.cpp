// pxsql FOLDER [FILE]          executes the statements of FILE (or standard input)
// pxsql FOLDER --dump TABLE    prints a table as CSV
// pxsql FOLDER --info TABLE    prints a table's structure
#include "QuillmereVersion.h"
#include "Script.h"

#include "paradox/Database.h"
#include "paradox/CodePage.h"
#include "paradox/Table.h"
#include "paradox/Values.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

namespace {

#ifdef _WIN32
// Scripts and what is printed are bytes, as on POSIX: no line ends translated, no end at Ctrl-Z.
constexpr int kScriptFlags = O_RDONLY | O_BINARY;
void readAndWriteBytes()
{
    for (int fd : {0, 1, 2}) _setmode(fd, _O_BINARY);
}
#else
constexpr int kScriptFlags = O_RDONLY | O_CLOEXEC;
void readAndWriteBytes() {}
#endif

const char* const kUsage = "usage: pxsql FOLDER [FILE]\n       pxsql FOLDER --dump TABLE\n       pxsql FOLDER --info TABLE\n";

int usage()
{
    std::cerr << kUsage;
    return 2;
}

void help()
{
    std::cout << kUsage
              << "\n"
                 "The shell of Quillmere's Paradox engine, on the Paradox tables (*.db) of FOLDER.\n"
                 "\n"
                 "  FOLDER [FILE]         execute the SQL statements of FILE (or of standard input),\n"
                 "                        separated by ';'; each one refused is printed with its line\n"
                 "  FOLDER --dump TABLE   print the table as CSV: the field names, then one line a record\n"
                 "  FOLDER --info TABLE   print the table's version, key, sizes, code page and fields\n"
                 "  --help                this text\n"
                 "  --version             the version\n"
                 "\n"
                 "Exit status: 0 done; 1 some statements were refused; 2 bad arguments, or a folder,\n"
                 "file or table that cannot be read.\n";
}

std::string csvCell(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

void dump(paradox::Table& t)
{
    const auto& h = t.header();
    for (std::size_t i = 0; i < h.fields.size(); ++i)
        std::cout << (i ? "," : "") << csvCell(paradox::tableText(h, h.fields[i].name));
    std::cout << '\n';
    t.forEach([&](const unsigned char* r) {
        for (std::size_t i = 0; i < h.fields.size(); ++i) std::cout << (i ? "," : "") << csvCell(paradox::fieldText(t, int(i), r));
        std::cout << '\n';
    });
}

void info(paradox::Table& t)
{
    const auto& h = t.header();
    std::cout << "file: " << t.path().string() << '\n'
              << "version: " << (h.version >= paradox::kVersion7 ? "7.x" : h.version >= 10 ? "5.x" : h.version >= 5 ? "4.x" : "3.x") << '\n'
              << "keyed: " << (t.keyed() ? "yes" : "no") << '\n'
              << "key fields: " << h.keyFields << '\n'
              << "records: " << t.recordCount() << '\n'
              << "record size: " << h.recordSize << '\n'
              << "block size: " << h.blockSize() << '\n'
              << "code page: " << h.codePage << '\n'
              << "sort order: " << h.sortName << '\n'
              << "fields: " << h.fields.size() << '\n';
    for (std::size_t i = 0; i < h.fields.size(); ++i)
        std::cout << "  " << i + 1 << ' ' << paradox::tableText(h, h.fields[i].name) << ' ' << paradox::fieldTypeText(h.fields[i])
                  << (int(i) < h.keyFields ? " key" : "") << '\n';
}

// The script file opened for reading, or -1 after saying why not. Only a regular file is a
// script: a directory or a device such as /dev/zero is refused before anything is read.
int openScript(const char* path)
{
    const int fd = ::open(path, kScriptFlags);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        std::cerr << "pxsql: cannot read the script " << path << ": " << std::strerror(errno) << '\n';
        if (fd >= 0) ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        std::cerr << "pxsql: the script " << path << " is " << (S_ISDIR(st.st_mode) ? "a directory" : "not a regular file")
                  << "; a script must be a regular file\n";
        ::close(fd);
        return -1;
    }
    return fd;
}

// Feeds the script to `reader` piece by piece, each statement running as soon as it is read.
// False after saying why the script could not be read to its end.
bool readScript(int fd, const std::string& name, pxsql::ScriptReader& reader)
{
    char piece[64 * 1024];
    try {
        for (;;) {
            const ssize_t got = ::read(fd, piece, sizeof piece);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                std::cerr << "pxsql: cannot read " << name << ": " << std::strerror(errno) << '\n';
                return false;
            }
            if (got == 0) break;
            reader.feed(std::string_view(piece, std::size_t(got)));
        }
        reader.finish();
    } catch (const pxsql::ScriptError& e) {
        std::cerr << "pxsql: " << e.what() << '\n';
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    readAndWriteBytes();
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        help();
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "pxsql " << QUILLMERE_VERSION << '\n';
        return 0;
    }
    if (argc < 2 || argc > 4) return usage();
    try {
        paradox::Database db(argv[1]);
        if (argc == 4) {
            const std::string option = argv[2];
            if (option != "--dump" && option != "--info") return usage();
            paradox::Table& t = db.table(argv[3]);
            option == "--dump" ? dump(t) : info(t);
            return 0;
        }
        if (argc == 3 && argv[2][0] == '-' && argv[2][1]) return usage();
        int script = STDIN_FILENO;
        if (argc == 3) {
            script = openScript(argv[2]);
            if (script < 0) return 2;
        }
        int rejected = 0;
        pxsql::ScriptReader reader([&](const pxsql::ScriptStatement& st) {
            try {
                db.execute(st.text);
            } catch (const paradox::FolderInUseError&) {
                throw;   // every further statement would meet the other writer too
            } catch (const paradox::Error& e) {
                ++rejected;
                std::cerr << "line " << st.line << ": " << e.what() << '\n';
            }
        });
        const bool complete = readScript(script, argc == 3 ? argv[2] : "standard input", reader);
        if (argc == 3) ::close(script);
        if (!complete) return 2;
        return rejected ? 1 : 0;
    } catch (const paradox::Error& e) {
        std::cerr << "pxsql: " << e.what() << '\n';
        return 2;
    }
}
