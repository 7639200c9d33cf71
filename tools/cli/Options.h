#pragma once
// Command-line options of quillmere-cli: one for every field of the main window, plus the
// overwrite answer, the statement file and the choice of tables.

#include "convert/TypeOptions.h"
#include "db/MSSQL.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Overwrite { Ask, Yes, No };

struct Options {
    MSSQL::Login login;
    std::string passwordEnv; // name of the environment variable holding the password
    std::string folder;
    Overwrite overwrite = Overwrite::Ask;
    std::string sqlFile;     // write the statements here instead of executing them
    int timeoutSeconds = 60; // the longest wait for the server during a read
    std::vector<std::string> tables;  // --tables patterns; none: every table
    std::vector<std::string> exclude; // --exclude patterns
    bool verbose = false;             // a full error report for every refused row
    bool list = false;                // print the tables the run would convert, convert nothing
    convert::TypeOptions types;       // --long-text, --binary, --code-page, --unmappable, --bigint
    bool check = false;               // check what the run would write, write nothing
    bool verify = true;               // read every table back and compare it with the rows written
    bool help = false;
    bool version = false;
};

// Exit statuses.
inline constexpr int kSuccess = 0;
inline constexpr int kSomeRejected = 1;
inline constexpr int kNothingDone = 2; // also: a run ended by a failure every later table would meet

const char* usageText();

// The options, or the reason they cannot be used (in `error`).
std::optional<Options> parseOptions(int argc, char** argv, std::string& error);

} // namespace cli
