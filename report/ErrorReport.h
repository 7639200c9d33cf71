#pragma once
// Text of the common error report and the addresses the program names to its users.

#include <string>

namespace report {

// The support address named at the end of every error report.
inline constexpr const char* kSupportEmail = "support@wrenmoor.com";
// The maker's contact page, named by the general help.
inline constexpr const char* kContactPage = "https://www.wrenmoor.com/contact";
// Download page of the separate SQL Server management tool named by the connection help.
inline constexpr const char* kManagerDownloadPage = "https://www.sqlmanager.net/products/mssql/manager/download";

// Location text of a handler: "in Quillport2021/08/31.<module>.<procedure> ".
std::string locationText(const std::string& module, const std::string& procedure);
// The folder enumeration names its own project: "in Marrowdale2021/08/31.<module>.<procedure> ".
std::string locationText(const std::string& project, const std::string& module, const std::string& procedure);

// description CR LF location "at line " step CR CR "Please email screenshot of this message to " address
std::string errorReportText(const std::string& description, const std::string& location, int step);

} // namespace report
