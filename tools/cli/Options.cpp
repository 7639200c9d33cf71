#include "Options.h"

#include <string_view>

namespace cli {

const char* usageText()
{
    return "Usage: quillmere-cli --server HOST [--port N | --local] --database DB --user NAME\n"
           "                     [--password-env VAR] --folder PARADOX_FOLDER\n"
           "                     [--overwrite ask|yes|no] [--sql FILE]\n"
           "\n"
           "Copies every user table of a SQL Server database into Paradox tables in a folder\n"
           "that already holds at least one Paradox table (*.db).\n"
           "\n"
           "  --server HOST         SQL Server host name or address\n"
           "  --port N              TCP port (default 1433)\n"
           "  --local               local connection: the port is left out\n"
           "  --database DB         the database whose tables are copied\n"
           "  --user NAME           SQL Server login\n"
           "  --password-env VAR    take the password from the environment variable VAR;\n"
           "                        without it the password is asked for without echo\n"
           "                        (or read as one line from a standard input that is no terminal)\n"
           "  --folder PATH         the Paradox folder\n"
           "  --overwrite ask|yes|no  an existing Paradox table of the same name: ask (default;\n"
           "                        No when there is no terminal), always replace, always keep\n"
           "  --sql FILE            write every generated statement to FILE, one a line,\n"
           "                        instead of executing it\n"
           "  --help                this text\n"
           "  --version             the version\n"
           "\n"
           "Exit status: 0 every statement went through; 1 the run finished but some statements\n"
           "were rejected (each one printed as an error report); 2 nothing was done (bad options,\n"
           "a folder without Paradox tables, a failed SQL Server login).\n";
}

std::optional<Options> parseOptions(int argc, char** argv, std::string& error)
{
    Options options;
    options.login.port = "1433";
    bool portGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = "option " + std::string(arg) + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string overwrite;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--server") {
            if (!value(options.login.server))
                return std::nullopt;
        } else if (arg == "--port") {
            if (!value(options.login.port))
                return std::nullopt;
            portGiven = true;
        } else if (arg == "--local") {
            options.login.localConnection = true;
        } else if (arg == "--database") {
            if (!value(options.login.database))
                return std::nullopt;
        } else if (arg == "--user") {
            if (!value(options.login.user))
                return std::nullopt;
        } else if (arg == "--password-env") {
            if (!value(options.passwordEnv))
                return std::nullopt;
        } else if (arg == "--folder") {
            if (!value(options.folder))
                return std::nullopt;
        } else if (arg == "--sql") {
            if (!value(options.sqlFile))
                return std::nullopt;
        } else if (arg == "--overwrite") {
            if (!value(overwrite))
                return std::nullopt;
            if (overwrite == "ask")
                options.overwrite = Overwrite::Ask;
            else if (overwrite == "yes")
                options.overwrite = Overwrite::Yes;
            else if (overwrite == "no")
                options.overwrite = Overwrite::No;
            else {
                error = "--overwrite takes ask, yes or no, not \"" + overwrite + "\"";
                return std::nullopt;
            }
        } else {
            error = "unknown option \"" + std::string(arg) + "\"";
            return std::nullopt;
        }
    }
    if (options.help || options.version)
        return options;
    if (portGiven && options.login.localConnection) {
        error = "--port and --local exclude each other (a local connection leaves the port out)";
        return std::nullopt;
    }
    if (options.login.server.empty())
        error = "--server is missing";
    else if (options.login.database.empty())
        error = "--database is missing";
    else if (options.folder.empty())
        error = "--folder is missing";
    if (!error.empty())
        return std::nullopt;
    return options;
}

} // namespace cli
