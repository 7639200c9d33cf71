#pragma once
// Command-line options of quillmere-cli: one for every field of the main window, plus the
// overwrite answer and the statement file.

#include "db/MSSQL.h"

#include <optional>
#include <string>

namespace cli {

enum class Overwrite { Ask, Yes, No };

struct Options {
    MSSQL::Login login;
    std::string passwordEnv; // name of the environment variable holding the password
    std::string folder;
    Overwrite overwrite = Overwrite::Ask;
    std::string sqlFile;     // write the statements here instead of executing them
    bool help = false;
    bool version = false;
};

// Exit statuses.
inline constexpr int kSuccess = 0;
inline constexpr int kSomeRejected = 1;
inline constexpr int kNothingDone = 2;

const char* usageText();

// The options, or the reason they cannot be used (in `error`).
std::optional<Options> parseOptions(int argc, char** argv, std::string& error);

} // namespace cli
