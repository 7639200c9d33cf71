#include "Options.h"
#include "TableSelection.h"

#include <charconv>
#include <string_view>
#include <system_error>

namespace cli {

const char* usageText()
{
    return "Usage: quillmere-cli --server HOST [--port N | --local] --database DB --user NAME\n"
           "                     [--password-env VAR] --folder PARADOX_FOLDER\n"
           "                     [--overwrite ask|yes|no] [--sql FILE] [--timeout SECONDS]\n"
           "                     [--tables PATTERN[,PATTERN...]] [--exclude PATTERN[,PATTERN...]]\n"
           "                     [--verbose] [--no-verify]\n"
           "       quillmere-cli --check --server HOST ... --folder PARADOX_FOLDER [--tables ...]\n"
           "       quillmere-cli --list --server HOST ... [--tables ...] [--exclude ...]\n"
           "                     [--encrypt off|request|require] [--trust-server-certificate | --ca-file PATH]\n"
           "                     [--long-text text|memo] [--binary placeholder|blob] [--bigint int|decimal]\n"
           "                     [--code-page N] [--code-page TABLE=N ...] [--unmappable reject|replace]\n"
           "\n"
           "Copies every user table of a SQL Server database into Paradox tables in a folder\n"
           "that holds at least one Paradox table (*.db), is empty or does not exist yet (it is\n"
           "made then). A row the Paradox folder refuses is printed on one line (at most 20 per\n"
           "table) and kept in rejected-rows.sql in the folder; a table of the tables ends the run.\n"
           "\n"
           "  --server HOST         SQL Server host name or address; HOST\\INSTANCE without\n"
           "                        --port reaches a named instance through the SQL Server\n"
           "                        Browser (UDP 1434)\n"
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
           "                        instead of executing it (a line break in a value is written\n"
           "                        as Chr(13) or Chr(10) joined with &, which pxsql reads back);\n"
           "                        FILE is readable by its owner only and replaces an older\n"
           "                        one once complete; a symbolic link there is refused\n"
           "  --check               read every table as the run would and check each statement\n"
           "                        as the Paradox folder would take it, writing nothing; print\n"
           "                        per table its rows and, per column, the values that would be\n"
           "                        refused or altered, the first such row and the option that\n"
           "                        keeps them; an existing table counts as replaced unless\n"
           "                        --overwrite no. --sql prints the same for its statements\n"
           "  --timeout SECONDS     the longest wait for the server while a table is read\n"
           "                        (default 60); a read that waits longer ends the run\n"
           "  --tables PATTERNS     convert only the tables that one of the comma-separated\n"
           "                        patterns matches; a pattern matches schema.table or the bare\n"
           "                        table name, * any run of characters, ? one, letter case ignored\n"
           "  --exclude PATTERNS    leave out the tables these patterns match\n"
           "  --no-verify           do not read each table back after its last row; by default\n"
           "                        every row is compared with the row written, and a\n"
           "                        difference is an error report\n"
           "  --list                print the tables the run would convert, in its order, as\n"
           "                        schema, table and the row count the server's catalog keeps\n"
           "                        (tab-separated), and convert nothing; --folder is not needed\n"
           "  --encrypt MODE        off: never encrypt; request (default): encrypt when the server\n"
           "                        can; require: refuse a server that cannot, before the password\n"
           "                        is sent, and check its certificate\n"
           "  --trust-server-certificate  accept the server's certificate unchecked\n"
           "  --ca-file PATH        check the server's certificate against these authorities (PEM)\n"
           "                        instead of the system's\n"
           "  --long-text text|memo  text (default): every text column becomes Alpha 255 and a\n"
           "                        longer value is refused; memo: long text (text, ntext,\n"
           "                        varchar(max), nvarchar(max), xml) and text columns declared\n"
           "                        wider than 255 become memos and keep their values whole\n"
           "  --binary placeholder|blob  placeholder (default): long binary columns (image,\n"
           "                        varbinary(max), ...) hold the text <OLEOBJECT>; blob: they\n"
           "                        become binary blobs holding the bytes, NULL kept\n"
           "  --bigint int|decimal  int (default): bigint columns become Long, and values beyond\n"
           "                        +-2147483647 are refused; decimal: BCD numbers holding every value\n"
           "  --code-page N         the code page of every table's text (default 1252): 437, 850,\n"
           "                        852, 866, 1250, 1251, 1252, 1253, 1254 or 1257\n"
           "  --code-page TABLE=N   the code page of one Paradox table; may repeat\n"
           "  --unmappable reject|replace  a character the code page lacks: reject (default)\n"
           "                        refuses the row; replace writes '?' and counts the value\n"
           "  --verbose             a full error report for every refused row instead of its line\n"
           "  --help                this text\n"
           "  --version             the version\n"
           "\n"
           "Exit status: 0 every statement went through; 1 the run finished but some statements\n"
           "were rejected (each one is in rejected-rows.sql) or a table read back differs from the\n"
           "rows written; with --check: 0 all data fits, 1 some values would be lost or altered;\n"
           "2 nothing was done or checked (bad options, a folder that holds files but no Paradox\n"
           "table, a failed SQL Server login, a table pattern that matches no table), or the run\n"
           "stopped at a failure every later table would meet (the folder gone, full or no longer\n"
           "writable, the server not answering); the tables written before it are kept.\n";
}

namespace {

template <class Choice>
bool assign(Choice& into, const std::optional<Choice>& parsed)
{
    if (parsed)
        into = *parsed;
    return parsed.has_value();
}

// Sets the choice of one of the type options; false when it names none of its choices.
bool typeOption(convert::TypeOptions& types, std::string_view option, const std::string& choice)
{
    if (option == "--long-text")
        return assign(types.longText, convert::ParseLongText(choice));
    if (option == "--binary")
        return assign(types.binary, convert::ParseBinary(choice));
    if (option == "--bigint")
        return assign(types.bigInt, convert::ParseBigInt(choice));
    return assign(types.unmappable, convert::ParseUnmappable(choice));
}

const char* typeOptionChoices(std::string_view option)
{
    if (option == "--long-text")
        return "text or memo";
    if (option == "--binary")
        return "placeholder or blob";
    if (option == "--bigint")
        return "int or decimal";
    return "reject or replace";
}

} // namespace

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
        std::string encrypt;
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
        } else if (arg == "--timeout") {
            std::string seconds;
            if (!value(seconds))
                return std::nullopt;
            const char* end = seconds.c_str() + seconds.size();
            const auto [at, failure] = std::from_chars(seconds.c_str(), end, options.timeoutSeconds);
            if (failure != std::errc() || at != end || options.timeoutSeconds < 1) {
                error = "--timeout takes a whole number of seconds from 1 on, not \"" + seconds + "\"";
                return std::nullopt;
            }
        } else if (arg == "--tables" || arg == "--exclude") {
            std::string list;
            if (!value(list))
                return std::nullopt;
            std::vector<std::string>& into = arg == "--tables" ? options.tables : options.exclude;
            for (std::string& pattern : splitPatterns(list))
                into.push_back(std::move(pattern));
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--no-verify") {
            options.verify = false;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--encrypt") {
            if (!value(encrypt))
                return std::nullopt;
            const std::optional<MSSQL::Encrypt> mode = MSSQL::ParseEncrypt(encrypt);
            if (!mode) {
                error = "--encrypt takes off, request or require, not \"" + encrypt + "\"";
                return std::nullopt;
            }
            options.login.encryption.mode = *mode;
        } else if (arg == "--trust-server-certificate") {
            options.login.encryption.trustServerCertificate = true;
        } else if (arg == "--ca-file") {
            if (!value(options.login.encryption.caFile))
                return std::nullopt;
        } else if (arg == "--long-text" || arg == "--binary" || arg == "--bigint" || arg == "--unmappable") {
            std::string choice;
            if (!value(choice))
                return std::nullopt;
            if (!typeOption(options.types, arg, choice)) {
                error = std::string(arg) + " takes " + typeOptionChoices(arg) + ", not \"" + choice + "\"";
                return std::nullopt;
            }
        } else if (arg == "--code-page") {
            std::string choice;
            if (!value(choice))
                return std::nullopt;
            if (const std::optional<std::string> wrong = convert::AddCodePage(options.types, choice)) {
                error = "--code-page: " + *wrong;
                return std::nullopt;
            }
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
    // A named instance without a port is found through the SQL Server Browser, which the driver
    // asks only when the connection string names no port.
    if (!portGiven && options.login.server.find('\\') != std::string::npos)
        options.login.localConnection = true;
    if (options.login.encryption.trustServerCertificate && !options.login.encryption.caFile.empty()) {
        error = "--trust-server-certificate and --ca-file exclude each other (one skips the check the other configures)";
        return std::nullopt;
    }
    if (options.check && !options.sqlFile.empty()) {
        error = "--check writes nothing; leave out --sql";
        return std::nullopt;
    }
    if (options.login.server.empty())
        error = "--server is missing";
    else if (options.login.database.empty())
        error = "--database is missing";
    else if (options.folder.empty() && !options.list)
        error = "--folder is missing";
    if (!error.empty())
        return std::nullopt;
    return options;
}

} // namespace cli
