#pragma once
// The conversion run's interfaces on a terminal: questions on the terminal, error reports on
// standard error, statements executed or written to a file, a progress bar on a terminal and
// plain lines otherwise, and a summary line per table on standard output.

#include "Options.h"
#include "TableSelection.h"
#include "convert/Run.h"
#include "report/MessageService.h"

#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

namespace cli {

class CliFrontend : public report::MessageService,
                    public convert::RunSettings,
                    public convert::RunQuestions,
                    public convert::RunPreview,
                    public convert::RunProgress {
public:
    // `statements` is open when the statements go to a file; `terminal` draws the bar.
    CliFrontend(const Options& options, std::ostream* statements, bool terminal);

    // report::MessageService
    void information(const std::string& text, const std::string& caption = {}) override;
    bool question(const std::string& text, const std::string& caption = {}) override;
    void errorReport(const std::string& text) override;
    bool startCommandLine(const std::string& commandLine) override;
    bool openUrl(const std::string& url) override;

    // convert::RunSettings
    std::string paradoxFolder() override { return options_.folder; }
    MSSQL::Login login() override { return options_.login; }
    bool previewMode() override { return statements_ != nullptr; }
    bool wholeRunPreview() override { return false; }
    bool perTablePreview() override { return false; }
    int readTimeoutSeconds() override { return options_.timeoutSeconds; }
    bool convertsTable(const MSSQL::SourceTable& table) override { return selection_.selects(table); }
    // Every failed row is reported on the terminal.
    std::int64_t rowFailureReports() override { return std::numeric_limits<std::int64_t>::max(); }
    convert::TypeOptions typeOptions() override { return options_.types; }

    // convert::RunQuestions
    void offerSpaceFreeCopy() override;
    bool askOverwrite(const std::string& table) override;

    // convert::RunPreview: the statement file
    void clearStatements() override {}
    void appendStatement(const std::string& statement) override;
    void clearDatatypes() override {}
    void appendDatatype(const convert::DatatypeRecord&) override {}
    void show() override {}

    // convert::RunProgress
    void setProgressText(const std::string& text) override;
    void setProgressValue(double percent) override;
    void setBusyPointer(bool) override {}
    void yield() override {}
    void tableFinished(const convert::TableSummary& summary) override;

    // Ends a bar line that is still drawn.
    void finishLine();

private:
    void drawBar();

    const Options& options_;
    TableSelection selection_;
    std::ostream* statements_;
    bool terminal_;
    std::string text_;
    int percent_ = -1;
    bool barDrawn_ = false;
};

// "Orders: 120 rows written, 0 rejected, 0.25 s, 480 rows/s", followed by a line when reading the
// source stopped early and a line for each column whose values lost fractions of a second.
std::string summaryLine(const convert::TableSummary& summary, bool toFile);

} // namespace cli
