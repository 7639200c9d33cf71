#include "report/ErrorTrap.h"

#include "report/ErrorReport.h"

#include <stdexcept>

namespace report {

ErrorTrap::ErrorTrap(MessageService& messages, std::string location)
    : messages_(messages), location_(std::move(location))
{
}

std::string ErrorTrap::describe(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void ErrorTrap::reportCurrent()
{
    ++reports_;
    // The report itself must never fail visibly: a failing message box is swallowed.
    try {
        messages_.errorReport(errorReportText(describe(std::current_exception()), location_, line_));
    } catch (...) {
    }
}

} // namespace report
