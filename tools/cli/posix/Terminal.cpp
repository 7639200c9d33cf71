#include "Terminal.h"

#include <cstdlib>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace cli {

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

std::optional<std::string> EnvironmentValue(const std::string& name)
{
    if (const char* value = std::getenv(name.c_str()))
        return value;
    return std::nullopt;
}

bool InputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

bool ErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void ReadUnseenLine(std::string& line)
{
    termios saved{};
    tcgetattr(STDIN_FILENO, &saved);
    termios silent = saved;
    silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    std::getline(std::cin, line);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

} // namespace cli
