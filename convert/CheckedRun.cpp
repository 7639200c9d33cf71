#include "convert/CheckedRun.h"

namespace convert {

// The ports of a check: progress goes to the run's own, the datatype records and finished tables
// to the check; questions get the answers that make the check read every table, and messages are
// left to the run that follows, which meets the same ones.
class CheckedRun::CheckPorts final : public report::MessageService,
                                     public RunQuestions,
                                     public RunPreview,
                                     public RunProgress {
public:
    CheckPorts(RunPorts& run, ConversionCheck& check) : run_(run), check_(check) {}

    RunPorts ports() { return RunPorts{*this, *this, *this, *this, &check_}; }

    // report::MessageService
    void information(const std::string&, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return false; }
    void errorReport(const std::string&) override {}
    bool startCommandLine(const std::string&) override { return false; }
    bool openUrl(const std::string&) override { return false; }
    void letEventsRun() override { run_.messages.letEventsRun(); }

    // RunQuestions
    std::string offerSpaceFreeCopy(const std::string& folder) override { return folder; }
    bool askOverwrite(const std::string&) override { return true; }

    // RunPreview
    void clearStatements() override {}
    void appendStatement(const std::string&) override {}
    void clearDatatypes() override {}
    void appendDatatype(const DatatypeRecord& record) override { check_.datatype(record); }
    PreviewOutcome show() override { return {}; }

    // RunProgress
    void setProgressText(const std::string& text) override { run_.progress.setProgressText(text); }
    void setProgressValue(double percent) override { run_.progress.setProgressValue(percent); }
    void setBusyPointer(bool busy) override { run_.progress.setBusyPointer(busy); }
    void yield() override { run_.progress.yield(); }
    void tableFinished(const TableSummary& summary) override { check_.tableFinished(summary); }
    void rowsDone(const std::string& table, std::int64_t done, std::int64_t rows) override
    {
        run_.progress.rowsDone(table, done, rows);
    }

private:
    RunPorts& run_;
    ConversionCheck& check_;
};

std::vector<LossLine> LossLines(const std::vector<TableCheck>& tables)
{
    auto count = [](std::int64_t rows) { return std::to_string(rows); };
    std::vector<LossLine> lines;
    for (const TableCheck& table : tables) {
        if (table.skipped)
            continue;
        if (!table.readFromStart) {
            lines.push_back({table.table, {}, "cannot be read: " + table.readError, {}, {}});
            continue;
        }
        if (!table.definitionError.empty()) {
            lines.push_back(
                {table.table, {}, "the table cannot be made: " + table.definitionError, count(table.rows), {}});
            continue;
        }
        if (!table.readError.empty())
            lines.push_back(
                {table.table, {}, "reading stopped after row " + count(table.rows) + ": " + table.readError, {}, {}});
        for (const ColumnProblem& p : table.problems) {
            const std::string column = p.column.empty() ? std::string() : p.column + " (" + p.paradoxType + ")";
            std::string problem = ProblemText(p.problem);
            if (p.problem == CheckProblem::Other)
                problem += ": " + p.firstReason;
            lines.push_back({table.table, column, problem, count(p.rows), p.firstRow});
        }
    }
    return lines;
}

CheckedRun::CheckedRun(Conversion& conversion, RunSettings settings, RunPorts& ports, std::string errorLocation)
    : conversion_(conversion), settings_(std::move(settings)), ports_(ports), errorLocation_(std::move(errorLocation))
{
}

CheckedRun::~CheckedRun() = default;

RunOutcome CheckedRun::check(const TypeOptions& options)
{
    settings_.typeOptions = options;
    auto check = std::make_unique<ConversionCheck>(settings_.paradoxFolder, options);
    CheckPorts checkPorts(ports_, *check);
    RunPorts ports = checkPorts.ports();
    const RunOutcome outcome = conversion_.run(settings_, ports, errorLocation_).outcome;
    if (outcome != RunOutcome::Busy)
        check_ = std::move(check);
    return outcome;
}

const std::vector<TableCheck>& CheckedRun::tables() const
{
    static const std::vector<TableCheck> none;
    return check_ ? check_->tables() : none;
}

bool CheckedRun::losesData() const { return check_ && check_->losesData(); }

RunResult CheckedRun::convert(const TypeOptions& options)
{
    settings_.typeOptions = options;
    return conversion_.run(settings_, ports_, errorLocation_);
}

std::optional<RunResult> RunCheckingFirst(Conversion& conversion, RunSettings settings, RunPorts& ports,
                                          const std::string& errorLocation, LossChoice& choice)
{
    if (settings.previewMode)
        return conversion.run(std::move(settings), ports, errorLocation);
    CheckedRun run(conversion, std::move(settings), ports, errorLocation);
    if (run.check(run.options()) == RunOutcome::Busy) {
        RunResult busy;
        busy.outcome = RunOutcome::Busy;
        return busy;
    }
    if (!run.losesData())
        return run.convert(run.options());
    const std::optional<TypeOptions> chosen = choice.choose(run);
    if (!chosen)
        return std::nullopt;
    return run.convert(*chosen);
}

} // namespace convert
