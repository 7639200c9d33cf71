#pragma once
// Variables of the process's environment, which the ODBC driver it loads reads too.

#include <string>

namespace platform {

void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

} // namespace platform
