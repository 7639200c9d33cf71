#pragma once
// A Start Converting run that reads every table as a check before it writes anything: when some
// value would be lost, the user sees what and chooses the column types and code page to convert
// with, or ends the run before any table or file is touched.

#include "convert/Check.h"
#include "convert/Run.h"
#include "convert/TypeOptions.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace convert {

// One line of what a check found: a column's problem, or a table that cannot be read or made.
struct LossLine {
    std::string table;
    std::string column;   // "Notes (Alpha 255)"; empty for the table as a whole
    std::string problem;  // "text longer than the field", ...
    std::string rows;     // rows affected; empty when unknown
    std::string firstRow; // the first of them, named as a refused row is
};

// The lines of every checked table that would lose data; tables that keep all of theirs have none.
std::vector<LossLine> LossLines(const std::vector<TableCheck>& tables);

// The check of a run and, once the options are chosen, the run itself, on the same Conversion and
// ports. The check reads the tables as the run will, with the progress text "Checking table T";
// it asks nothing (an existing table counts as replaced, a folder with a blank is read where it
// is) and shows nothing: the run that follows asks and reports as always.
class CheckedRun {
public:
    CheckedRun(Conversion& conversion, RunSettings settings, RunPorts& ports, std::string errorLocation);
    ~CheckedRun();
    CheckedRun(const CheckedRun&) = delete;
    CheckedRun& operator=(const CheckedRun&) = delete;

    // Checks every table as the run would write it with `options`, replacing what an earlier
    // check found. Busy when a run is in progress; then nothing was checked.
    RunOutcome check(const TypeOptions& options);
    const std::vector<TableCheck>& tables() const;
    bool losesData() const;
    // The options of the last check; before one, those of the settings.
    const TypeOptions& options() const { return settings_.typeOptions; }

    // The run, writing with `options`.
    RunResult convert(const TypeOptions& options);

private:
    class CheckPorts;

    Conversion& conversion_;
    RunSettings settings_;
    RunPorts& ports_;
    std::string errorLocation_;
    std::unique_ptr<ConversionCheck> check_;
};

// What the user decides when the check finds data that would be lost.
class LossChoice {
public:
    virtual ~LossChoice() = default;
    // Shows what `run` found (the user may check it again with other options); the options to
    // convert with, or none to end the run with nothing written.
    virtual std::optional<TypeOptions> choose(CheckedRun& run) = 0;
};

// Checks the tables, then converts: at once when nothing would be lost, else with the options
// `choice` returns. None when the user ended the run at the choice. A run collecting statements
// for the preview is not checked: the preview shows every statement before it is executed.
std::optional<RunResult> RunCheckingFirst(Conversion& conversion, RunSettings settings, RunPorts& ports,
                                          const std::string& errorLocation, LossChoice& choice);

} // namespace convert
