#include "app/ShellTexts.h"

#include "report/ErrorReport.h"

namespace shell {

std::string SetShortAppTitle(const std::string& productTitle)
{
    std::string title = productTitle;
    bool first = true;
    while (first || title.size() > 40) {
        first = false;
        const auto space = title.rfind(' ');
        if (space == std::string::npos)
            return title.substr(0, 40);
        title.erase(space);
    }
    return title;
}

std::string generalHelpText()
{
    return std::string("This software transfers text-based and numeric fields but does not handle binary / pictures "
                       "fields.")
        + "\r\n\r\n" + "Use SQL Preview if your tables contains less than 32767 rows." + "\r\n\r\n"
        + "Questions? Please contact Team Wrenmoor at " + report::kContactPage;
}

std::string connectionHelpText()
{
    const std::string separator = "\r\r";
    return "If you cannot establish connection to your MS SQL Server database with this program, please go to: "
        + separator + report::kManagerDownloadPage + separator
        + "Download and install the EMS SQL Manager 2005 Lite for SQL Server. Try to connect to "
        + "the same database (with the same login information you are using here). This will determine if "
        + "the login you are using is correct.";
}

std::string pictureCommandLine(const std::string& appFolder)
{
#ifdef _WIN32
    return "explorer \"" + appFolder + "\\local-connection-example.jpg\"";
#else
    return "xdg-open \"" + appFolder + "/local-connection-example.jpg\"";
#endif
}

} // namespace shell
