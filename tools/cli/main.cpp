// quillmere-cli: the Start Converting run of the main window for scripts and unattended use.

#include "CliFrontend.h"
#include "Options.h"
#include "QuillmereVersion.h"
#include "StatementFile.h"
#include "TableSelection.h"
#include "Terminal.h"
#include "convert/Run.h"
#include "db/Ado.h"
#include "db/MSSQL.h"
#include "paradox/FileIo.h"
#include "report/ErrorReport.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <ranges>
#include <string>
#include <vector>

namespace {

// The password from the named variable, else typed without echo on a terminal, else one line
// of standard input.
bool readPassword(cli::Options& options, std::string& error)
{
    if (!options.passwordEnv.empty()) {
        const std::optional<std::string> value = cli::EnvironmentValue(options.passwordEnv);
        if (!value) {
            error = "the environment variable " + options.passwordEnv + " is not set";
            return false;
        }
        options.login.password = *value;
        return true;
    }
    if (!cli::InputIsTerminal()) {
        std::getline(std::cin, options.login.password);
        return true;
    }
    std::cerr << "Password for " << options.login.user << "@" << options.login.server << ": " << std::flush;
    cli::ReadUnseenLine(options.login.password);
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

// The catalog's tables in the order the run converts them: its list from the last to the first.
void printTables(const std::vector<MSSQL::SourceTable>& tables, const std::vector<MSSQL::CatalogRowCount>& counts)
{
    for (const MSSQL::SourceTable& table : std::views::reverse(tables)) {
        const auto count = std::ranges::find_if(counts, [&](const MSSQL::CatalogRowCount& c) {
            return c.schema == table.schema && c.name == table.name;
        });
        std::cout << table.schema << '\t' << table.name << '\t'
                  << (count == counts.end() ? std::string("?") : std::to_string(count->rows)) << '\n';
    }
}

// Checks the table patterns against the catalog before anything is converted and answers --list.
// Returns the exit status when the program ends here.
std::optional<int> chooseTables(const cli::Options& options)
{
    if (!MSSQL::CanConnectSqlServer(options.login)) {
        std::cerr << "quillmere-cli: nothing done: cannot log in to SQL Server: " << loginFailure(options.login) << '\n';
        return cli::kNothingDone;
    }
    const cli::TableSelection selection(options.tables, options.exclude);
    std::vector<MSSQL::SourceTable> tables;
    std::vector<MSSQL::CatalogRowCount> counts;
    try {
        platform::ListBox names;
        tables = MSSQL::ListSqlServerTables(options.login, names);
        if (options.list)
            counts = MSSQL::CatalogRowCounts(options.login);
    } catch (const std::exception& failure) {
        std::cerr << "quillmere-cli: nothing done: cannot read the table catalog: " << failure.what() << '\n';
        return cli::kNothingDone;
    }
    const std::vector<std::string> unmatched = selection.unmatched(tables);
    for (const std::string& pattern : unmatched)
        std::cerr << "quillmere-cli: the pattern \"" << pattern << "\" matches no table of the database\n";
    if (!unmatched.empty())
        return cli::kNothingDone;
    std::erase_if(tables, [&](const MSSQL::SourceTable& table) { return !selection.selects(table); });
    if (tables.empty() && !selection.empty()) {
        std::cerr << "quillmere-cli: nothing done: --tables and --exclude leave no table to convert\n";
        return cli::kNothingDone;
    }
    if (!options.list)
        return std::nullopt;
    printTables(tables, counts);
    return cli::kSuccess;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments = cli::ProgramArguments(argc, argv);
    std::vector<char*> argumentTexts;
    for (std::string& argument : arguments)
        argumentTexts.push_back(argument.data());
    std::string error;
    std::optional<cli::Options> options =
        cli::parseOptions(static_cast<int>(argumentTexts.size()), argumentTexts.data(), error);
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

    if (options->list || !options->tables.empty() || !options->exclude.empty())
        if (const std::optional<int> status = chooseTables(*options))
            return *status;

    // A folder that does not exist yet is made, and the run takes it as an empty one.
    std::error_code folderError;
    const std::filesystem::path folder = paradox::fileio::pathOf(options->folder);
    // A check writes nothing, the folder included.
    if (!options->check && !std::filesystem::exists(folder, folderError) && !folderError)
        std::filesystem::create_directories(folder, folderError);
    if (folderError) {
        std::cerr << "quillmere-cli: nothing done: the folder \"" << options->folder
                  << "\" cannot be made: " << folderError.message() << '\n';
        return cli::kNothingDone;
    }

    std::optional<cli::StatementFile> sqlFile;
    if (!options->sqlFile.empty()) {
        try {
            sqlFile.emplace(options->sqlFile);
        } catch (const std::exception& failure) {
            std::cerr << "quillmere-cli: " << failure.what() << '\n';
            return cli::kNothingDone;
        }
    }

    cli::CliFrontend frontend(*options, sqlFile ? &sqlFile->stream() : nullptr, cli::ErrorIsTerminal());
    convert::Conversion conversion;
    convert::RunPorts ports{frontend, frontend, frontend, frontend, frontend.statementCheck()};
    const convert::RunResult result =
        conversion.run(frontend.settings(), ports, report::locationText("quillmere-cli", "main"));
    frontend.finishLine();
    if (!result.tables.empty() && !options->check)
        std::cout << '\n' << cli::summaryTable(result.tables);
    std::int64_t rejectedRows = 0;
    for (const convert::TableSummary& table : result.tables)
        rejectedRows += table.rowsRejected;
    if (!result.rejectedRowsPath.empty())
        std::cout << "rejected rows: " << rejectedRows << ", written to " << result.rejectedRowsPath << '\n';
    switch (result.outcome) {
    case convert::RunOutcome::NoParadoxTables:
        std::cerr << "quillmere-cli: nothing done: the folder \"" << options->folder
                  << "\" holds no Paradox table (*.db); the target folder must hold at least one, or be empty\n";
        return cli::kNothingDone;
    case convert::RunOutcome::CannotConnect:
        std::cerr << "quillmere-cli: nothing done: cannot log in to SQL Server: " << loginFailure(options->login)
                  << '\n';
        return cli::kNothingDone;
    case convert::RunOutcome::Busy:
        return cli::kNothingDone;
    case convert::RunOutcome::Stopped:
        std::cerr << "quillmere-cli: the run stopped at the error above; the tables written before it are kept\n";
        return cli::kNothingDone;
    case convert::RunOutcome::Finished:
        break;
    }
    if (sqlFile) {
        try {
            sqlFile->commit();
        } catch (const std::exception& failure) {
            std::cerr << "quillmere-cli: " << failure.what() << '\n';
            return cli::kSomeRejected;
        }
    }
    if (result.tables.empty())
        std::cout << "The database holds no user tables.\n";
    if (options->check) {
        const bool loses = frontend.check()->losesData() || result.errorReports > 0;
        std::cout << (loses ? "Some values would be lost or altered; see above.\n" : "All data fits.\n");
        return loses ? cli::kSomeRejected : cli::kSuccess;
    }
    if (result.errorReports > 0)
        std::cerr << "quillmere-cli: " << result.errorReports << " error report(s); see above\n";
    return result.errorReports > 0 || result.statementsRejected > 0 ? cli::kSomeRejected : cli::kSuccess;
}
