#pragma once
// The terminal the command line runs in (a console on Windows) and what the program is started
// with: posix/Terminal.cpp and windows/Terminal.cpp. Texts are UTF-8 on both.

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The program's arguments, its name first. Windows hands argv over in the ANSI code page, which
// cannot hold every file name: there they come from the wide command line.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The value of an environment variable; nothing when it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

// Whether standard input, or standard error, is a terminal.
bool InputIsTerminal();
bool ErrorIsTerminal();

// One line of standard input, typed on the terminal without being shown (a password).
void ReadUnseenLine(std::string& line);

} // namespace cli
