#include "platform/Environment.h"

#include "paradox/FileIo.h"

#include <cstdlib>

namespace platform {

namespace {

std::wstring wide(const std::string& text) { return paradox::fileio::pathOf(text).wstring(); }

} // namespace

// The wide calls, so that a value is not read in the ANSI code page.
void SetEnvironment(const std::string& name, const std::string& value)
{
    ::_wputenv_s(wide(name).c_str(), wide(value).c_str());
}

// An empty value removes the variable.
void UnsetEnvironment(const std::string& name) { ::_wputenv_s(wide(name).c_str(), L""); }

} // namespace platform
