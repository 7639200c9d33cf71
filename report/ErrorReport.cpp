#include "report/ErrorReport.h"

namespace report {

std::string locationText(const std::string& project, const std::string& module, const std::string& procedure)
{
    return "in " + project + "2021/08/31." + module + "." + procedure + " ";
}

std::string locationText(const std::string& module, const std::string& procedure)
{
    return locationText("Quillport", module, procedure);
}

std::string errorReportText(const std::string& description, const std::string& location, int step)
{
    return description + "\r\n" + location + "at line " + std::to_string(step) + "\r\r"
        + "Please email screenshot of this message to " + kSupportEmail;
}

} // namespace report
