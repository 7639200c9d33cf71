#include "CliFrontend.h"
#include "Terminal.h"

#include "paradox/FileIo.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <limits>
#include <sstream>

namespace cli {

namespace {

// A yes/no answer typed on the controlling terminal; No when there is none.
bool askTerminal(const std::string& prompt)
{
    if (!InputIsTerminal())
        return false;
    std::cerr << prompt << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

} // namespace

CliFrontend::CliFrontend(const Options& options, std::ostream* statements, bool terminal)
    : options_(options), selection_(options.tables, options.exclude), statements_(statements), terminal_(terminal)
{
    if (options.check || statements)
        check_ = std::make_unique<convert::ConversionCheck>(options.folder, options.types);
}

void CliFrontend::information(const std::string& text, const std::string&)
{
    finishLine();
    std::cout << text << '\n' << std::flush;
}

bool CliFrontend::question(const std::string& text, const std::string&)
{
    finishLine();
    return askTerminal(text);
}

void CliFrontend::errorReport(const std::string& text)
{
    finishLine();
    // The report's CR line breaks become line ends of the terminal.
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            lines += text[i];
        }
    }
    std::cerr << "Application Error: " << lines << "\n\n" << std::flush;
}

bool CliFrontend::startCommandLine(const std::string&) { return false; }
bool CliFrontend::openUrl(const std::string&) { return false; }

// The engine has no trouble with blanks in a path; the folder is used as given.
convert::RunSettings CliFrontend::settings() const
{
    convert::RunSettings settings;
    settings.paradoxFolder = options_.folder;
    settings.login = options_.login;
    settings.previewMode = statements_ != nullptr;
    settings.readTimeoutSeconds = options_.timeoutSeconds;
    settings.convertsTable = [this](const MSSQL::SourceTable& table) { return selection_.selects(table); };
    settings.rowFailureReports = options_.verbose ? std::numeric_limits<std::int64_t>::max() : 0;
    std::error_code error;
    const std::filesystem::path folder = paradox::fileio::pathOf(options_.folder);
    // A check leaves a folder that is not there unmade; the run would make it, empty.
    settings.needsParadoxTables = options_.check && !std::filesystem::exists(folder, error) && !error
                                      ? false
                                      : !std::filesystem::is_empty(folder, error) || error;
    settings.verifiesTables = options_.verify;
    settings.typeOptions = options_.types;
    return settings;
}

bool CliFrontend::askOverwrite(const std::string& table)
{
    // The check tells what replacing the table would lose; only "no" keeps it out.
    if (options_.check)
        return options_.overwrite != Overwrite::No;
    switch (options_.overwrite) {
    case Overwrite::Yes:
        return true;
    case Overwrite::No:
        return false;
    case Overwrite::Ask:
        break;
    }
    finishLine();
    if (!InputIsTerminal()) {
        std::cerr << "The Paradox table " << table << " exists; kept (no terminal to ask, see --overwrite)\n";
        return false;
    }
    return askTerminal("Would you like to overwrite " + table + "?");
}

void CliFrontend::appendStatement(const std::string& statement)
{
    if (check_)
        check_->statement(statement);
    if (!statements_)
        return;
    // One statement a line, as a reader of the file takes it, whatever its values hold.
    *statements_ << convert::OneLineStatement(statement) << '\n';
    if (!*statements_)
        throw std::runtime_error("Could not write the statement file " + options_.sqlFile);
}

void CliFrontend::appendDatatype(const convert::DatatypeRecord& record)
{
    if (check_)
        check_->datatype(record);
}

void CliFrontend::setProgressText(const std::string& text)
{
    if (text == text_)
        return;
    text_ = text;
    const bool table = !text.empty() && text != "Progress Bar";
    if (!table)
        finishLine();
    else if (terminal_)
        drawLine(text);
    else
        std::cerr << text << '\n' << std::flush;
}

void CliFrontend::rowsDone(const std::string& table, std::int64_t done, std::int64_t rows)
{
    // Only a terminal shows the line. Called for every row: the clock read is the coarse one.
    if (!terminal_)
        return;
    const auto now = platform::CoarseNow();
    if (done == 0) {
        tableStarted_ = now;
        lastDrawn_ = {};
    }
    // A terminal line costs a write: it is drawn anew a few times a second at most.
    if (now - lastDrawn_ < std::chrono::milliseconds(250))
        return;
    lastDrawn_ = now;
    drawLine(progressLine(table, done, rows, std::chrono::duration<double>(now - tableStarted_).count()));
}

void CliFrontend::drawLine(const std::string& text)
{
    std::cerr << '\r' << text << "\x1b[K" << std::flush;
    lineDrawn_ = true;
}

void CliFrontend::finishLine()
{
    if (lineDrawn_) {
        std::cerr << '\n' << std::flush;
        lineDrawn_ = false;
    }
}

void CliFrontend::rowRejected(const convert::RejectedRow& row)
{
    // With --verbose the row's full report is printed instead.
    if (options_.verbose || ++tableRejections_ > kRowLinesPerTable)
        return;
    finishLine();
    std::cerr << convert::RejectedRows::oneLine(row.table) << " row " << row.key << ": "
              << convert::RejectedRows::oneLine(row.reason) << '\n' << std::flush;
}

void CliFrontend::tableFinished(const convert::TableSummary& summary)
{
    finishLine();
    if (options_.check) {
        std::cout << convert::CheckLines(check_->tableFinished(summary)) << std::flush;
        return;
    }
    std::cout << summaryLine(summary, statements_ != nullptr) << '\n' << std::flush;
    if (tableRejections_ > kRowLinesPerTable)
        std::cerr << summary.table << ": " << tableRejections_ - kRowLinesPerTable
                  << " more rejected rows not shown; every rejected row is in "
                  << paradox::fileio::nameOf(paradox::fileio::pathOf(options_.folder) / convert::kRejectedRowsFile)
                  << '\n'
                  << std::flush;
    tableRejections_ = 0;
    // The statement file's rows that the folder would refuse or alter, as --check tells them.
    if (check_)
        if (const convert::TableCheck& checked = check_->tableFinished(summary); checked.losesData())
            std::cerr << "warning: " << convert::CheckLines(checked) << std::flush;
}

std::string summaryLine(const convert::TableSummary& summary, bool toFile)
{
    std::ostringstream line;
    line << summary.table << ": ";
    if (summary.skipped) {
        line << "skipped, the existing Paradox table was kept";
        return line.str();
    }
    const double rate = summary.seconds > 0 ? static_cast<double>(summary.rowsWritten) / summary.seconds : 0;
    line << summary.rowsWritten << (toFile ? " rows written to the statement file, " : " rows written, ")
         << summary.rowsRejected << " rejected, ";
    line.setf(std::ios::fixed);
    line.precision(2);
    line << summary.seconds << " s, ";
    line.precision(0);
    line << rate << " rows/s";
    if (summary.statementsRejected > summary.rowsRejected)
        line << " (" << summary.statementsRejected - summary.rowsRejected << " definition statements rejected)";
    if (!summary.readError.empty()) {
        line << "\n" << summary.table << ": ";
        if (summary.rowsRead == 0)
            line << "the source table could not be read";
        else
            line << "reading the source stopped after row " << summary.rowsRead;
        if (summary.rowsRead > 0 && summary.sourceRows >= summary.rowsRead)
            line << " of " << summary.sourceRows << ", " << summary.sourceRows - summary.rowsRead << " rows not read";
        line << ": " << summary.readError;
    }
    if (summary.valuesAltered > 0)
        line << "\n" << summary.table << ": " << summary.valuesAltered
             << (summary.valuesAltered == 1 ? " value" : " values")
             << " altered: characters the code page lacks were written as '?'";
    if (!summary.verifyError.empty())
        line << "\nnot verified: " << summary.verifyError;
    else if (summary.rowsVerified >= 0)
        line << "\n" << summary.table << ": verified: " << summary.rowsVerified << " rows";
    for (const convert::DroppedFractions& column : summary.droppedFractions)
        line << "\n" << summary.table << ", column " << column.column << ": " << column.values
             << (column.values == 1 ? " value lost its" : " values lost their")
             << " fraction of a second (dates and times are written to the whole second), the first "
             << column.firstValue;
    return line.str();
}

std::string progressLine(const std::string& table, std::int64_t done, std::int64_t rows, double seconds)
{
    std::ostringstream line;
    line << table << ": " << done;
    if (rows >= 0)
        line << " of " << rows;
    line << " rows";
    if (seconds > 0 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        line << ", " << std::llround(rate) << " rows/s";
        if (rows >= done)
            line << ", " << std::llround(static_cast<double>(rows - done) / rate) << " s left";
    }
    return line.str();
}

std::string summaryTable(const std::vector<convert::TableSummary>& tables)
{
    const std::vector<std::string> heading{"table", "read", "written", "rejected", "verified", "seconds", "rows/s"};
    auto fixed = [](double value, int decimals) {
        std::ostringstream text;
        text << std::fixed << std::setprecision(decimals) << value;
        return text.str();
    };
    auto rate = [&](std::int64_t rows, double seconds) {
        return seconds > 0 ? fixed(static_cast<double>(rows) / seconds, 0) : "-";
    };
    auto verified = [](std::int64_t rows) { return rows < 0 ? std::string("-") : std::to_string(rows); };
    std::vector<std::vector<std::string>> lines{heading};
    convert::TableSummary total;
    total.table = "total";
    total.rowsVerified = 0;
    for (const convert::TableSummary& table : tables) {
        if (table.skipped) {
            lines.push_back({convert::RejectedRows::oneLine(table.table) + " (skipped)", "-", "-", "-", "-", "-", "-"});
            continue;
        }
        lines.push_back({convert::RejectedRows::oneLine(table.table), std::to_string(table.rowsRead),
                         std::to_string(table.rowsWritten), std::to_string(table.rowsRejected),
                         verified(table.rowsVerified), fixed(table.seconds, 2), rate(table.rowsRead, table.seconds)});
        total.rowsRead += table.rowsRead;
        total.rowsWritten += table.rowsWritten;
        total.rowsRejected += table.rowsRejected;
        // The total counts verified rows only when every table was verified.
        total.rowsVerified =
            table.rowsVerified < 0 || total.rowsVerified < 0 ? -1 : total.rowsVerified + table.rowsVerified;
        total.seconds += table.seconds;
    }
    if (tables.empty())
        total.rowsVerified = -1;
    lines.push_back({total.table, std::to_string(total.rowsRead), std::to_string(total.rowsWritten),
                     std::to_string(total.rowsRejected), verified(total.rowsVerified), fixed(total.seconds, 2),
                     rate(total.rowsRead, total.seconds)});
    std::vector<std::size_t> widths(heading.size(), 0);
    for (const auto& line : lines)
        for (std::size_t column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    std::string text;
    for (const auto& line : lines) {
        // The table name to the left, the figures to the right of their columns.
        text += line[0] + std::string(widths[0] - line[0].size(), ' ');
        for (std::size_t column = 1; column < line.size(); ++column)
            text += "  " + std::string(widths[column] - line[column].size(), ' ') + line[column];
        text += '\n';
    }
    return text;
}

} // namespace cli
