#include "Terminal.h"

#include "paradox/FileIo.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace cli {

namespace {

std::string utf8Of(const std::wstring& text) { return paradox::fileio::nameOf(std::filesystem::path(text)); }

std::wstring wideOf(const std::string& text) { return paradox::fileio::pathOf(text).wstring(); }

// A console answers for its mode; a file or a pipe does not.
bool isConsole(DWORD stream)
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(stream), &mode) != 0;
}

} // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return {argv, argv + argc};
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(utf8Of(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

std::optional<std::string> EnvironmentValue(const std::string& name)
{
    if (const wchar_t* value = ::_wgetenv(wideOf(name).c_str()))
        return utf8Of(value);
    return std::nullopt;
}

bool InputIsTerminal() { return isConsole(STD_INPUT_HANDLE); }

bool ErrorIsTerminal() { return isConsole(STD_ERROR_HANDLE); }

// The console is read as UTF-16, so that a password is the same text whatever its code page.
void ReadUnseenLine(std::string& line)
{
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    if (!::GetConsoleMode(input, &saved)) {
        std::getline(std::cin, line);
        return;
    }
    ::SetConsoleMode(input, (saved | ENABLE_LINE_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
    std::wstring typed;
    wchar_t piece[256];
    DWORD got = 0;
    while (typed.find(L'\n') == std::wstring::npos && ::ReadConsoleW(input, piece, 256, &got, nullptr) && got > 0)
        typed.append(piece, got);
    ::SetConsoleMode(input, saved);
    typed.erase(std::min(typed.find_first_of(L"\r\n"), typed.size()));
    line = utf8Of(typed);
}

} // namespace cli
