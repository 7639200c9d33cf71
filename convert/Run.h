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
#include "db/Ado.h"
#include "db/MSSQL.h"
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
    // row's statement as a refused row is named (its primary-key value, else its number).
    virtual bool statement(const std::string& statement, const std::string& sourceRow) = 0;
};

// The fields of the main window, read at the moments the run needs them.
class RunSettings {
public:
    virtual ~RunSettings() = default;
    virtual std::string paradoxFolder() = 0;
    virtual MSSQL::Login login() = 0;
    // Check1 in state 1: statements are collected for the preview instead of executed.
    virtual bool previewMode() = 0;
    // Option1: one preview after the last table.
    virtual bool wholeRunPreview() = 0;
    // Option2: one preview after every table.
    virtual bool perTablePreview() = 0;
    // How long a read of the source may wait for the server, in seconds.
    virtual int readTimeoutSeconds() { return kDefaultReadTimeoutSeconds; }
    // Whether the run converts this catalog table; the window converts every one.
    virtual bool convertsTable(const MSSQL::SourceTable&) { return true; }
    // Whether the folder must already hold a Paradox table; the command line also converts into
    // a folder that is empty.
    virtual bool needsParadoxTables() { return true; }
    // How many failed rows of one run are reported one by one; the rest are only written to the
    // rejected-rows file and counted in one message at the end, so that a person can finish a run
    // with thousands of them.
    // A front end that takes none lists the failed rows its own way (RunProgress::rowRejected)
    // and gets no closing message about them.
    virtual std::int64_t rowFailureReports() { return kRowFailureReports; }
    // Outside preview mode: the check that takes the statements instead of the folder, so that
    // the run writes nothing and reports no refusal; none for a run that converts.
    virtual StatementCheck* statementCheck() { return nullptr; }
    // Whether each table written in direct mode is read back after its last row and compared,
    // row by row, with the rows it accepted; a difference is an error report.
    virtual bool verifiesTables() { return true; }
    // Called between a table's last row and its read-back; tests change the table's files here.
    virtual void beforeVerifying(const std::string& /*table*/) {}

    static constexpr int kDefaultReadTimeoutSeconds = 60;
    static constexpr std::int64_t kRowFailureReports = 10;
};

class RunQuestions {
public:
    virtual ~RunQuestions() = default;
    // Offers a space-free copy of a folder whose path has a blank; may change the folder.
    virtual void offerSpaceFreeCopy() = 0;
    // "Would you like to overwrite <table>?"; true for Yes.
    virtual bool askOverwrite(const std::string& table) = 0;
};

// The statement list and the datatype list of the preview.
class RunPreview {
public:
    virtual ~RunPreview() = default;
    virtual void clearStatements() = 0;
    virtual void appendStatement(const std::string& statement) = 0;
    virtual void clearDatatypes() = 0;
    virtual void appendDatatype(const DatatypeRecord& record) = 0;
    // Shows the preview modally and returns when it has closed; the outcome is in
    // Globals::SQLFormNotSkipped (per table) and the run's SQLFormOK (whole run).
    virtual void show() = 0;
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
    // At every row: the rows of the table done so far, and its row count (-1 when unknown).
    virtual void rowsDone(const std::string& /*table*/, std::int64_t /*done*/, std::int64_t /*rows*/) {}
};

// The shared state the run works on: the main window's public members.
struct RunState {
    bool& busy;
    platform::ListBox& List1;
    platform::ListBox& List2;
    std::unique_ptr<db::Connection>& mssql_conn;
    std::unique_ptr<db::Connection>& Paradox_conn;
    std::string& tbl;
    bool& SQLFormOK;
};

struct RunPorts {
    report::MessageService& messages; // error reports and "Done."
    RunSettings& settings;
    RunQuestions& questions;
    RunPreview& preview;
    RunProgress& progress;
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
};

// "<count> more rows were rejected without a report of their own; every rejected statement is in <path>."
std::string UnreportedRowsNotice(std::int64_t count, const std::string& path);

// Location of the run's error reports.
std::string RunLocation();

RunResult RunConversion(RunState& state, RunPorts& ports);

} // namespace convert
