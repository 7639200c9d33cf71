#pragma once
// The Start Converting run: checks the Paradox folder and the SQL Server login, opens the two
// shared connections and walks the source tables from the last to the first, writing the table
// definition and one insert statement per row, each executed at once (direct mode) or collected
// for the SQL Preview window. Every step runs under the common error trap with its step number;
// the run reaches the user only through the small interfaces below, which the main window and
// the command line implement.

#include "convert/DatatypeRecord.h"
#include "convert/RejectedRows.h"
#include "convert/RowTransfer.h"
#include "convert/TypeOptions.h"
#include "db/Ado.h"
#include "db/MSSQL.h"
#include "paradox/Sql.h"
#include "platform/ListBox.h"
#include "report/MessageService.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace convert {

// Judges each statement as the Paradox folder would take it, in place of executing it.
class StatementCheck {
public:
    virtual ~StatementCheck() = default;
    // False when the folder would refuse the statement. `sourceRow` names the source row of a
    // row's statement as a refused row is named (its primary-key value, else its number); it is
    // asked only for the rows that need a name. `parsed`, when given, is what the engine's parser
    // makes of an INSERT's text.
    virtual bool statement(const std::string& statement, const std::function<std::string()>& sourceRow,
                           const paradox::sql::Insert* parsed) = 0;};

// What the run is asked to do, read once when it starts: the main window's fields or the
// command line's options.
struct RunSettings {
    std::string paradoxFolder;
    MSSQL::Login login;
    // Check1 in state 1: statements are collected for the preview instead of executed.
    bool previewMode = false;
    // Option1: one preview after the last table.
    bool wholeRunPreview = false;
    // Option2: one preview after every table.
    bool perTablePreview = false;
    // How long a read of the source may wait for the server, in seconds.
    int readTimeoutSeconds = kDefaultReadTimeoutSeconds;
    // Whether the run converts this catalog table; without one (the window) it converts every one.
    std::function<bool(const MSSQL::SourceTable&)> convertsTable;
    // Whether the folder must already hold a Paradox table; the command line also converts into
    // a folder that is empty.
    bool needsParadoxTables = true;
    // How many failed rows of one run are reported one by one; the rest are only written to the
    // rejected-rows file and counted in one message at the end, so that a person can finish a run
    // with thousands of them.
    // A front end that takes none lists the failed rows its own way (RunProgress::rowRejected)
    // and gets no closing message about them.
    std::int64_t rowFailureReports = kRowFailureReports;
    // The column types and code pages chosen for the run.
    TypeOptions typeOptions;
    // Whether each table written in direct mode is read back after its last row and compared,
    // row by row, with the rows it accepted; a difference is an error report.
    bool verifiesTables = true;

    static constexpr int kDefaultReadTimeoutSeconds = 60;
    static constexpr std::int64_t kRowFailureReports = 10;
};

class RunQuestions {
public:
    virtual ~RunQuestions() = default;
    // Offers a space-free copy of a folder whose path has a blank; returns the folder to use.
    virtual std::string offerSpaceFreeCopy(const std::string& folder) = 0;
    // "Would you like to overwrite <table>?"; true for Yes.
    virtual bool askOverwrite(const std::string& table) = 0;
};

// What the user did in the preview window before it closed.
struct PreviewOutcome {
    bool executed = false; // "Execute SQL" went through every statement
    bool skipped = false;  // "Skip Table / Do Not Execute SQL"
};

// The statement list and the datatype list of the preview.
class RunPreview {
public:
    virtual ~RunPreview() = default;
    virtual void clearStatements() = 0;
    virtual void appendStatement(const std::string& statement) = 0;
    virtual void clearDatatypes() = 0;
    virtual void appendDatatype(const DatatypeRecord& record) = 0;
    // Shows the preview modally and returns what the user did once it has closed.
    virtual PreviewOutcome show() = 0;
    // The run's record of refused statements, for the preview's Execute pass to add to; it
    // lives until the run ends.
    virtual void shareRejections(RunRejections&) {}
};

// What one table cost and gave; handed over when the run leaves the table.
struct TableSummary {
    std::string table;
    bool skipped = false;           // answered No to the overwrite question
    std::int64_t rowsWritten = 0;   // insert statements executed (or collected)
    std::int64_t rowsRejected = 0;  // rows whose statement failed
    std::int64_t rowsVerified = -1; // rows read back and found as written; -1 when not verified
    std::string verifyError;        // the first difference found; empty when none
    int statementsRejected = 0;     // every statement of the table that failed, inserts included
    double seconds = 0;
    std::int64_t rowsRead = 0;      // rows taken from the source
    std::int64_t sourceRows = -1;   // the source's row count before the first row; -1 when unknown
    std::string readError;          // why the source could not be read to its end; empty when it was
    std::vector<DroppedFractions> droppedFractions;
    std::int64_t valuesAltered = 0; // values written with '?' for characters the code page lacks
};

// A row the Paradox folder refused in direct mode.
struct RejectedRow {
    std::string table;
    std::string key;    // the source row's primary-key value where its table has one, else its number (1 for the first)
    std::string reason;
};

class RunProgress {
public:
    virtual ~RunProgress() = default;
    // The text shown on the progress bar ("Please wait.. Processing table T", "", "Progress Bar").
    virtual void setProgressText(const std::string& text) = 0;
    // Percent, 0 to 100.
    virtual void setProgressValue(double percent) = 0;
    virtual void setBusyPointer(bool busy) = 0;
    // Lets pending window events run.
    virtual void yield() = 0;
    virtual void tableFinished(const TableSummary& summary) = 0;
    // Every refused row, whether or not it got a report of its own.
    virtual void rowRejected(const RejectedRow&) {}
    // Called between a table's last row and its read-back; tests change the table's files here.
    virtual void beforeVerifying(const std::string& /*table*/) {}
    // At every row: the rows of the table done so far, and its row count (-1 when unknown).
    virtual void rowsDone(const std::string& /*table*/, std::int64_t /*done*/, std::int64_t /*rows*/) {}
};

// The state the run works on, under the main window's names for it: the hidden lists, the two
// connections, the table being processed and what the preview decided. Kept by a Conversion from
// one run to the next.
struct RunState {
    bool busy = false;
    platform::ListBox List1; // the source tables, by their Paradox names
    platform::ListBox List2; // the tables of the Paradox folder and its sub-folders
    std::unique_ptr<db::Connection> mssql_conn;
    std::unique_ptr<db::Connection> Paradox_conn;
    std::string tbl;
    bool SQLFormOK = false;        // the preview executed its statements
    bool SQLFormNotSkipped = true; // the last per-table preview was not skipped
};

struct RunPorts {
    report::MessageService& messages; // error reports and "Done."
    RunQuestions& questions;
    RunPreview& preview;
    RunProgress& progress;
    // Outside preview mode: the check that takes the statements instead of the folder, so that
    // the run writes nothing and reports no refusal; none for a run that converts.
    StatementCheck* statementCheck = nullptr;
};

enum class RunOutcome {
    Busy,            // a run was already in progress: nothing happened
    NoParadoxTables, // the folder holds no table file: nothing happened, nothing shown
    CannotConnect,   // the SQL Server login failed: nothing happened, nothing shown
    Finished,        // the run went through to "Done."
    Stopped,         // a failure that every later table would meet ended the run, reported once
};

struct RunResult {
    RunOutcome outcome = RunOutcome::Finished;
    std::vector<TableSummary> tables;
    int errorReports = 0; // common error reports shown during the run
    std::int64_t statementsRejected = 0; // statements written to the rejected-rows file
    std::string rejectedRowsPath;        // that file
    std::int64_t valuesAltered = 0;      // values written with '?' for characters the code page lacks
};

// "<count> values held characters that their table's code page lacks; each such character was written as '?'."
std::string AlteredValuesNotice(std::int64_t count);

// "<count> more rows were rejected without a report of their own; every rejected statement is in <path>."
std::string UnreportedRowsNotice(std::int64_t count, const std::string& path);

// The Start Converting run and the state it leaves for the next one. A run started while
// another is in progress (a click that arrives through the event pass) returns Busy at once.
class Conversion {
public:
    // `errorLocation` is what the run's error reports name as their location: the caller's own
    // handler (report::locationText).
    RunResult run(RunSettings settings, RunPorts& ports, const std::string& errorLocation);

    RunState& state() { return state_; }
    const RunState& state() const { return state_; }

private:
    RunState state_;
};

} // namespace convert
