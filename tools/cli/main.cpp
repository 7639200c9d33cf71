// quillmere-cli: the Start Converting run of the main window for scripts and unattended use.

#include "CliFrontend.h"
#include "QuillmereVersion.h"
#include "Options.h"
#include "convert/Run.h"
#include "db/Ado.h"
#include "db/MSSQL.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace {

// The password from the named variable, else typed without echo on a terminal, else one line
// of standard input.
bool readPassword(cli::Options& options, std::string& error)
{
    if (!options.passwordEnv.empty()) {
        const char* value = std::getenv(options.passwordEnv.c_str());
        if (!value) {
            error = "the environment variable " + options.passwordEnv + " is not set";
            return false;
        }
        options.login.password = value;
        return true;
    }
    if (!isatty(STDIN_FILENO)) {
        std::getline(std::cin, options.login.password);
        return true;
    }
    std::cerr << "Password for " << options.login.user << "@" << options.login.server << ": " << std::flush;
    termios saved{};
    tcgetattr(STDIN_FILENO, &saved);
    termios silent = saved;
    silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    std::getline(std::cin, options.login.password);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cerr << '\n';
    return true;
}

// Why the login failed, in the driver's words.
std::string loginFailure(const MSSQL::Login& login)
{
    try {
        db::Connection connection;
        connection.Open(MSSQL::BuildSqlServerConnectionString(login));
        connection.Close();
        return "the login succeeded on a second try; run again";
    } catch (const std::exception& failure) {
        return failure.what();
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    std::optional<cli::Options> options = cli::parseOptions(argc, argv, error);
    if (!options) {
        std::cerr << "quillmere-cli: " << error << "\n\n" << cli::usageText();
        return cli::kNothingDone;
    }
    if (options->help) {
        std::cout << cli::usageText();
        return cli::kSuccess;
    }
    if (options->version) {
        std::cout << "quillmere-cli " << QUILLMERE_VERSION << '\n';
        return cli::kSuccess;
    }
    if (!readPassword(*options, error)) {
        std::cerr << "quillmere-cli: " << error << '\n';
        return cli::kNothingDone;
    }

    std::ofstream sqlFile;
    if (!options->sqlFile.empty()) {
        sqlFile.open(options->sqlFile, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!sqlFile) {
            std::cerr << "quillmere-cli: cannot write the statement file " << options->sqlFile << '\n';
            return cli::kNothingDone;
        }
    }

    cli::CliFrontend frontend(*options, sqlFile.is_open() ? &sqlFile : nullptr, isatty(STDERR_FILENO) != 0);
    bool busy = false;
    platform::ListBox List1;
    platform::ListBox List2;
    std::unique_ptr<db::Connection> mssql_conn;
    std::unique_ptr<db::Connection> Paradox_conn;
    std::string tbl;
    bool SQLFormOK = false;
    convert::RunState state{busy, List1, List2, mssql_conn, Paradox_conn, tbl, SQLFormOK};
    convert::RunPorts ports{frontend, frontend, frontend, frontend, frontend};

    const convert::RunResult result = convert::RunConversion(state, ports);
    frontend.finishLine();
    switch (result.outcome) {
    case convert::RunOutcome::NoParadoxTables:
        std::cerr << "quillmere-cli: nothing done: the folder \"" << options->folder
                  << "\" holds no Paradox table (*.db); the target folder must already hold at least one\n";
        return cli::kNothingDone;
    case convert::RunOutcome::CannotConnect:
        std::cerr << "quillmere-cli: nothing done: cannot log in to SQL Server: " << loginFailure(options->login)
                  << '\n';
        return cli::kNothingDone;
    case convert::RunOutcome::Busy:
        return cli::kNothingDone;
    case convert::RunOutcome::Finished:
        break;
    }
    if (sqlFile.is_open()) {
        sqlFile.close();
        if (!sqlFile) {
            std::cerr << "quillmere-cli: the statement file " << options->sqlFile << " could not be written completely\n";
            return cli::kSomeRejected;
        }
    }
    if (result.tables.empty())
        std::cout << "The database holds no user tables.\n";
    if (result.errorReports > 0) {
        std::cerr << "quillmere-cli: " << result.errorReports << " error report(s); see above\n";
        return cli::kSomeRejected;
    }
    return cli::kSuccess;
}
