#pragma once
// The conversion run's interfaces on a terminal: questions on the terminal, error reports and
// one line per refused row on standard error, statements executed or written to a file, a
// progress line on a terminal and plain lines otherwise, and a summary line per table on
// standard output.

#include "Options.h"
#include "TableSelection.h"
#include "convert/Check.h"
#include "convert/Run.h"
#include "report/MessageService.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace cli {

class CliFrontend : public report::MessageService,
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

    // The run's settings: the options, the statements collected when they go to a file; a
    // refused row gets its line (rowRejected), with --verbose the full report instead; an empty
    // folder (one the program has just made, say) takes the tables as well.
    convert::RunSettings settings() const;
    // The statement check of --check; none for a run that converts.
    convert::StatementCheck* statementCheck() { return options_.check ? check_.get() : nullptr; }

    // convert::RunQuestions
    std::string offerSpaceFreeCopy(const std::string& folder) override { return folder; }
    bool askOverwrite(const std::string& table) override;

    // convert::RunPreview: the statement file
    void clearStatements() override {}
    void appendStatement(const std::string& statement) override;
    void clearDatatypes() override {}
    void appendDatatype(const convert::DatatypeRecord& record) override;
    convert::PreviewOutcome show() override { return {}; }

    // convert::RunProgress
    void setProgressText(const std::string& text) override;
    void setProgressValue(double) override {}
    void setBusyPointer(bool) override {}
    void yield() override {}
    void tableFinished(const convert::TableSummary& summary) override;
    void rowRejected(const convert::RejectedRow& row) override;
    void rowsDone(const std::string& table, std::int64_t done, std::int64_t rows) override;

    // Ends a progress line that is still drawn.
    void finishLine();

    // The check of --check and of --sql's statements; null otherwise.
    const convert::ConversionCheck* check() const { return check_.get(); }

    // Refused rows of one table printed one by one; the rest are only counted.
    static constexpr std::int64_t kRowLinesPerTable = 20;

private:
    void drawLine(const std::string& text);

    const Options& options_;
    TableSelection selection_;
    std::ostream* statements_;
    bool terminal_;
    std::string text_;
    bool lineDrawn_ = false;
    std::int64_t tableRejections_ = 0;
    std::chrono::milliseconds tableStarted_{};   // on platform::CoarseNow()
    std::chrono::milliseconds lastDrawn_{};
    std::unique_ptr<convert::ConversionCheck> check_;
};

// "Orders: 120 rows written, 0 rejected, 0.25 s, 480 rows/s", followed by a line when reading the
// source stopped early, "Orders: verified: 120 rows" or the first difference the read-back found,
// and a line for each column whose values lost fractions of a second.
std::string summaryLine(const convert::TableSummary& summary, bool toFile);

// The table of the tables that ends a run: rows read, written, rejected and verified, seconds
// and rows read per second, one line per table and a total.
std::string summaryTable(const std::vector<convert::TableSummary>& tables);

// "Orders: 1200 of 5000 rows, 800 rows/s, 5 s left"; without the count while it is unknown.
std::string progressLine(const std::string& table, std::int64_t done, std::int64_t rows, double seconds);

} // namespace cli
