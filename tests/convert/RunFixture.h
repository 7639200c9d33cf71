#pragma once
// What the run tests share: a scripted stand-in for the window's side of the run, the demo server
// with the sample Sales database, a copy of the Samples folder, and the tables read back by the
// independent reader pxread.

#include "RecordingDialogs.h"
#include "convert/Run.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace testsupport {
class DemoServer;
}

namespace runtest {

// The window's side of the run without a window: fields, answers and the preview scripted.
class ScriptedFrontend : public convert::RunQuestions,
                         public convert::RunPreview,
                         public convert::RunProgress {
public:
    std::string folder;
    MSSQL::Login loginFields;
    bool preview = false;
    bool wholeRun = false;
    bool perTable = false;
    convert::TypeOptions types;
    // Tables (any case) answered Yes; every other question is answered No.
    std::set<std::string> overwrite;
    std::vector<std::string> asked;
    std::vector<std::string> statements;
    std::vector<convert::DatatypeRecord> datatypes;
    // Called at every show() with the statements of the preview; what a user does in the window,
    // told to the run through `outcome`.
    std::function<void(ScriptedFrontend&)> onShow;
    convert::PreviewOutcome outcome;
    int shows = 0;
    // Called when the run leaves a table; what happens meanwhile outside the program.
    std::function<void(ScriptedFrontend&)> onTableFinished;
    bool verify = true;
    // Called between a table's last row and its read-back, with the table's name.
    std::function<void(const std::string&)> beforeReadBack;
    std::vector<std::string> progressTexts;
    std::vector<double> progressValues;
    std::vector<convert::TableSummary> finished;
    int yields = 0;
    convert::StatementCheck* check = nullptr;

    convert::RunSettings settings() const;
    std::string offerSpaceFreeCopy(const std::string& current) override { return current; }
    bool askOverwrite(const std::string& table) override;
    void clearStatements() override { statements.clear(); }
    void appendStatement(const std::string& statement) override { statements.push_back(statement); }
    void clearDatatypes() override { datatypes.clear(); }
    void appendDatatype(const convert::DatatypeRecord& record) override { datatypes.push_back(record); }
    convert::PreviewOutcome show() override;
    void setProgressText(const std::string& text) override { progressTexts.push_back(text); }
    void setProgressValue(double percent) override { progressValues.push_back(percent); }
    void setBusyPointer(bool) override {}
    void yield() override { ++yields; }
    void beforeVerifying(const std::string& table) override
    {
        if (beforeReadBack)
            beforeReadBack(table);
    }
    std::vector<convert::RejectedRow> rejectedRows;
    void rowRejected(const convert::RejectedRow& row) override { rejectedRows.push_back(row); }
    // Called at every row with the table and its rows done so far.
    std::function<void(const std::string&, std::int64_t)> onRowsDone;
    void rowsDone(const std::string& table, std::int64_t done, std::int64_t) override
    {
        if (onRowsDone)
            onRowsDone(table, done);
    }
    void tableFinished(const convert::TableSummary& summary) override
    {
        finished.push_back(summary);
        if (onTableFinished)
            onTableFinished(*this);
    }
};

// The run with the window's side scripted; its reports name the window's handler.
struct RunHarness {
    convert::Conversion conversion;
    testsupport::RecordingDialogs dialogs;
    ScriptedFrontend frontend;

    convert::RunState& state() { return conversion.state(); }
    convert::RunResult run();
};

// The demo server with a fresh Sales database, started once for the test program.
testsupport::DemoServer& salesServer();
MSSQL::Login salesLogin();
// A fresh copy of the delivered Samples folder.
std::filesystem::path samplesCopy(const std::string& name);

// One Paradox table as pxread prints it: field names, type letters and the records' CSV cells.
struct ReadBack {
    std::vector<std::string> names;
    std::vector<char> types;
    std::vector<std::vector<std::string>> records;
};
ReadBack readBack(const std::filesystem::path& dbFile);
// The table file of a table name in a folder, whatever the letter case of its name.
std::filesystem::path tableFile(const std::filesystem::path& folder, const std::string& table);

} // namespace runtest
