#include "paradox/CommitGuard.h"

#include "paradox/CommitGuardJournal.h"
#include "paradox/FileIo.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cwchar>
#include <string>
#include <vector>

namespace paradox {

namespace {

// The guardian is this program started again with this switch and the values of the three
// handles it inherits: the journal's memory, the writer's process and the farewell event.
constexpr wchar_t kGuardianSwitch[] = L" --paradox-commit-guardian ";

CommitGuard::Exit finish(CommitGuard::Journal& journal)
{
    const std::uint32_t count = std::atomic_ref<std::uint32_t>(journal.armed).load(std::memory_order_acquire);
    if (count == 0 || count > std::uint32_t(CommitGuard::kMaxSteps)) return CommitGuard::Idle;
    bool failed = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const CommitGuard::Step& s = journal.steps[i];
        // No file is held here (holdLength), so no commit lists a held length.
        if (s.kind == CommitGuard::Step::Hold) continue;
        const std::filesystem::path file(journal.paths[s.file]);
        // Gone already: the writer had made this rename or removal.
        if (s.kind == CommitGuard::Step::Rename) {
            if (!fileio::rename(file, journal.paths[s.to]) && errno != ENOENT) failed = true;
            continue;
        }
        if (s.kind == CommitGuard::Step::Remove) {
            if (!fileio::remove(file) && errno != ENOENT) failed = true;
            continue;
        }
        const fileio::Handle h = fileio::open(file, fileio::Open::ReadWrite);
        if (h == fileio::kNoHandle || fileio::writeAt(h, s.bytes, s.length, s.offset) != std::int64_t(s.length)) failed = true;
        if (h != fileio::kNoHandle) fileio::close(h);
    }
    return failed ? CommitGuard::Failed : CommitGuard::Finished;
}

// Waits for the writer to go, then finishes its armed commit. The farewell event means the
// Database closed normally, with nothing armed.
[[noreturn]] void serve(HANDLE section, HANDLE writer, HANDLE farewell)
{
    void* view = ::MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(CommitGuard::Journal));
    if (!view) ::ExitProcess(CommitGuard::Failed);
    const HANDLE events[2] = {farewell, writer};
    const DWORD woke = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0 + 1) ::ExitProcess(CommitGuard::Idle);
    ::ExitProcess(finish(*static_cast<CommitGuard::Journal*>(view)));
}

// Before main: a program started as a guardian serves and ends there.
[[maybe_unused]] const bool guardianServed = [] {
    const wchar_t* switched = std::wcsstr(::GetCommandLineW(), kGuardianSwitch);
    unsigned long long section = 0, writer = 0, farewell = 0;
    if (switched && std::swscanf(switched + std::wcslen(kGuardianSwitch), L"%llu %llu %llu", &section, &writer, &farewell) == 3)
        serve(reinterpret_cast<HANDLE>(section), reinterpret_cast<HANDLE>(writer), reinterpret_cast<HANDLE>(farewell));
    return false;
}();

std::wstring programPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);
    }
}

std::wstring handleText(HANDLE h) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(h)); }

// Starts the guardian with exactly `inherited` handed down. It keeps no console, so that
// Ctrl-C or a closed console window that ends the writer leaves it running, and it leaves the
// writer's job where the job allows, so that a job that ends the writer ends not it as well.
// Its working folder is the system's, so that it keeps no folder of the user's in use.
HANDLE startGuardian(std::vector<HANDLE> inherited)
{
    const std::wstring program = programPath();
    if (program.empty()) return nullptr;
    std::wstring command = L"\"" + program + L"\"" + kGuardianSwitch + handleText(inherited[0]) + L" " +
                           handleText(inherited[1]) + L" " + handleText(inherited[2]);
    wchar_t systemFolder[MAX_PATH + 1] = {};
    const bool haveSystemFolder = ::GetSystemDirectoryW(systemFolder, MAX_PATH) > 0;

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    SIZE_T listBytes = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listBytes);
    std::vector<unsigned char> list(listBytes);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    DWORD extended = 0;
    if (listBytes && ::InitializeProcThreadAttributeList(attributes, 1, 0, &listBytes)) {
        if (::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                        inherited.size() * sizeof(HANDLE), nullptr, nullptr)) {
            startup.lpAttributeList = attributes;
            extended = EXTENDED_STARTUPINFO_PRESENT;
        }
    }
    PROCESS_INFORMATION process{};
    const DWORD flags = extended | DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP;
    bool started = false;
    for (DWORD breakaway : {DWORD(CREATE_BREAKAWAY_FROM_JOB), DWORD(0)}) {
        started = ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, flags | breakaway, nullptr,
                                   haveSystemFolder ? systemFolder : nullptr, &startup.StartupInfo, &process);
        if (started) break;
    }
    if (startup.lpAttributeList) ::DeleteProcThreadAttributeList(attributes);
    if (!started) return nullptr;
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

}  // namespace

void CommitGuard::start()
{
    if (tried_) return;
    tried_ = true;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE section = ::CreateFileMappingW(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0, sizeof(Journal), nullptr);
    if (!section) return;
    void* view = ::MapViewOfFile(section, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Journal));
    HANDLE farewell = ::CreateEventW(&inheritable, TRUE, FALSE, nullptr);
    HANDLE self = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0);
    HANDLE guardian = view && farewell && self ? startGuardian({section, self, farewell}) : nullptr;
    ::CloseHandle(section);
    if (self) ::CloseHandle(self);
    if (!guardian) {
        if (view) ::UnmapViewOfFile(view);
        if (farewell) ::CloseHandle(farewell);
        return;
    }
    // The folder's lock, held by the guardian too until it ends.
    if (kept_ != -1)
        ::DuplicateHandle(::GetCurrentProcess(), reinterpret_cast<HANDLE>(kept_), guardian, nullptr, 0, FALSE, DUPLICATE_SAME_ACCESS);
    journal_ = static_cast<Journal*>(view);
    farewell_ = reinterpret_cast<std::intptr_t>(farewell);
    guardian_ = reinterpret_cast<std::intptr_t>(guardian);
}

// The guardian here cuts no file back, so no file is written ahead of its table: the room it
// would take stays out of the table for good should the writer die.
int CommitGuard::holdLength(const std::filesystem::path&, std::uint64_t) { return -1; }

CommitGuard::~CommitGuard()
{
    if (guardian_ <= 0) return;
    HANDLE guardian = reinterpret_cast<HANDLE>(guardian_);
    ::SetEvent(reinterpret_cast<HANDLE>(farewell_));
    ::WaitForSingleObject(guardian, INFINITE);
    ::CloseHandle(guardian);
    ::CloseHandle(reinterpret_cast<HANDLE>(farewell_));
    ::UnmapViewOfFile(journal_);
}

}  // namespace paradox
