#include "TableReader.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

namespace testsupport {

namespace {

std::wstring wide(const std::string& utf8)
{
    std::wstring out(std::size_t(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), int(out.size()));
    return out;
}

// One argument as the C runtime of the program started splits its command line again.
std::wstring quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

Run runProgram(const std::vector<std::string>& argv, const std::string& input, bool withStderr)
{
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!::CreatePipe(&inRead, &inWrite, &inherited, 0)) return {};
    if (!::CreatePipe(&outRead, &outWrite, &inherited, 0)) {
        ::CloseHandle(inRead);
        ::CloseHandle(inWrite);
        return {};
    }
    ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE null = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = withStderr ? outWrite : null;
    std::wstring command;
    for (const auto& a : argv) command += (command.empty() ? L"" : L" ") + quoted(wide(a));
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    for (HANDLE h : {inRead, outWrite, null}) ::CloseHandle(h);
    if (!started) {
        ::CloseHandle(inWrite);
        ::CloseHandle(outRead);
        return {};
    }
    // Written beside the reading, so that neither side waits for the other's pipe to drain.
    std::thread writer([&] {
        DWORD n = 0;
        for (std::size_t written = 0; written < input.size(); written += n)
            if (!::WriteFile(inWrite, input.data() + written, DWORD(input.size() - written), &n, nullptr) || n == 0) break;
        ::CloseHandle(inWrite);
    });
    Run r;
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(outRead, buf, sizeof buf, &n, nullptr) && n > 0) r.out.append(buf, n);
    writer.join();
    ::CloseHandle(outRead);
    DWORD code = 0;
    if (process.hProcess) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        r.status = ::GetExitCodeProcess(process.hProcess, &code) ? int(code) : -1;
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    return r;
}

bool windowsProgram(const std::string& program)
{
    char magic[2] = {};
    std::ifstream(std::filesystem::path(program), std::ios::binary).read(magic, 2);
    return magic[0] == 'M' && magic[1] == 'Z';
}

std::string contents(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Wine starts a program of the build machine (the reader) on its own: no process handle to wait
// for, and no pipes. So the shell runs it with files for its input and output, and writes its
// exit status last, under a name that appears only once the status is complete.
Run runUnixProgram(const std::vector<std::string>& argv, const std::string& input, bool withStderr)
{
    static std::atomic<int> runs{0};
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quillmere-run-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(runs++));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "in", std::ios::binary) << input;
    const std::string errors = withStderr ? "2>&1" : "2>/dev/null";
    std::vector<std::string> shell = {"/bin/sh", "-c",
                                      "cd \"$0\" && \"$@\" <in >out " + errors + "; echo $? >status.new && mv status.new status",
                                      readerPath(folder), readerPath(argv[0])};
    shell.insert(shell.end(), argv.begin() + 1, argv.end());
    runProgram(shell, {}, false);
    Run r;
    // Bounded by the test's own time limit, which ends a reader that never finishes.
    while (!std::filesystem::exists(folder / "status")) ::Sleep(5);
    r.status = std::stoi(contents(folder / "status"));
    r.out = contents(folder / "out");
    std::filesystem::remove_all(folder);
    return r;
}

}  // namespace

Run run(const std::vector<std::string>& argv, const std::string& input, bool withStderr)
{
    if (!argv.empty() && !windowsProgram(argv[0])) return runUnixProgram(argv, input, withStderr);
    return runProgram(argv, input, withStderr);
}

// Wine names its Unix files through an export of its own.
std::string readerPath(const std::filesystem::path& file)
{
    using UnixName = char*(__cdecl*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(std::filesystem::absolute(file).c_str()) : nullptr;
    if (!name) return file.string();
    std::string out = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return out;
}

} // namespace testsupport
