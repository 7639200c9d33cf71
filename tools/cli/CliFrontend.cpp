#include "CliFrontend.h"

#include <cmath>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace cli {

namespace {

constexpr int kBarWidth = 30;

// A yes/no answer typed on the controlling terminal; No when there is none.
bool askTerminal(const std::string& prompt)
{
    if (!isatty(STDIN_FILENO))
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
void CliFrontend::offerSpaceFreeCopy() {}

bool CliFrontend::askOverwrite(const std::string& table)
{
    switch (options_.overwrite) {
    case Overwrite::Yes:
        return true;
    case Overwrite::No:
        return false;
    case Overwrite::Ask:
        break;
    }
    finishLine();
    if (!isatty(STDIN_FILENO)) {
        std::cerr << "The Paradox table " << table << " exists; kept (no terminal to ask, see --overwrite)\n";
        return false;
    }
    return askTerminal("Would you like to overwrite " + table + "?");
}

void CliFrontend::appendStatement(const std::string& statement)
{
    *statements_ << statement << '\n';
    if (!*statements_)
        throw std::runtime_error("Could not write the statement file " + options_.sqlFile);
}

void CliFrontend::setProgressText(const std::string& text)
{
    if (text == text_)
        return;
    text_ = text;
    percent_ = 0;
    if (terminal_) {
        if (text.empty() || text == "Progress Bar")
            finishLine();
        else
            drawBar();
    } else if (!text.empty() && text != "Progress Bar") {
        std::cerr << text << '\n' << std::flush;
    }
}

void CliFrontend::setProgressValue(double percent)
{
    const int whole = static_cast<int>(std::floor(percent));
    if (whole == percent_)
        return;
    percent_ = whole;
    if (terminal_ && !text_.empty() && text_ != "Progress Bar")
        drawBar();
}

void CliFrontend::drawBar()
{
    const int filled = std::max(0, std::min(kBarWidth, percent_ * kBarWidth / 100));
    std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << percent_ << "% " << text_
              << "\x1b[K" << std::flush;
    barDrawn_ = true;
}

void CliFrontend::finishLine()
{
    if (barDrawn_) {
        std::cerr << '\n' << std::flush;
        barDrawn_ = false;
    }
}

void CliFrontend::tableFinished(const convert::TableSummary& summary)
{
    finishLine();
    std::cout << summaryLine(summary, statements_ != nullptr) << '\n' << std::flush;
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
    for (const convert::DroppedFractions& column : summary.droppedFractions)
        line << "\n" << summary.table << ", column " << column.column << ": " << column.values
             << (column.values == 1 ? " value lost its" : " values lost their")
             << " fraction of a second (dates and times are written to the whole second), the first "
             << column.firstValue;
    return line.str();
}

} // namespace cli
