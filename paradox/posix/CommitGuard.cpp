#include "paradox/CommitGuard.h"

#include "paradox/CommitGuardJournal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace paradox {

namespace {

// Closes every descriptor but `keep` and `alsoKeep` (-1 for none).
void closeAllBut(int keep, int alsoKeep, int limit)
{
#if defined(__linux__) && defined(SYS_close_range)
    const int kept[2] = {std::min(keep, alsoKeep), std::max(keep, alsoKeep)};
    bool closed = true;
    unsigned from = 0;
    for (int k : kept) {
        if (k < 0) continue;
        if (unsigned(k) > from) closed = closed && ::syscall(SYS_close_range, from, unsigned(k - 1), 0u) == 0;
        from = unsigned(k) + 1;
    }
    if (closed && ::syscall(SYS_close_range, from, ~0u, 0u) == 0) return;
#endif
    for (int fd = 0; fd < limit; ++fd)
        if (fd != keep && fd != alsoKeep) ::close(fd);
}

// The guardian: waits for the writer to go, then finishes its armed commit. A byte on the
// socket means the Database closed normally, with nothing armed. The kept descriptor (the
// folder's lock) stays open until the guardian ends.
[[noreturn]] void guard(int socket, int kept, CommitGuard::Journal* journal, int fdLimit, const sigset_t& mask)
{
    // Ctrl-C or a hang-up reaches the whole process group; the guardian outlives the writer.
    // Blocked since before the fork, so that one arriving meanwhile is dropped, not obeyed.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    for (int sig : {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU}) ::sigaction(sig, &ignore, nullptr);
    ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);
    closeAllBut(socket, kept, fdLimit);
#ifdef __linux__
    ::prctl(PR_SET_NAME, "paradox-guard");   // a second copy of the program in a process list says what it is
#endif
    if (::chdir("/") != 0) _exit(CommitGuard::Failed);
    char byte;
    ssize_t n;
    while ((n = ::read(socket, &byte, 1)) < 0 && errno == EINTR) {
    }
    if (n > 0) _exit(CommitGuard::Idle);
    std::uint32_t count = std::atomic_ref<std::uint32_t>(journal->armed).load(std::memory_order_acquire);
    if (count > std::uint32_t(CommitGuard::kMaxSteps)) count = 0;
    bool failed = false, acted = count > 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const CommitGuard::Step& s = journal->steps[i];
        if (s.kind == CommitGuard::Step::Hold) {
            if (s.file < CommitGuard::kMaxHeld) journal->held[s.file].length = s.offset;
            continue;
        }
        if (s.kind == CommitGuard::Step::Rename) {
            // Gone already: the writer had made this rename.
            if (::rename(journal->paths[s.file], journal->paths[s.to]) != 0 && errno != ENOENT) failed = true;
            continue;
        }
        if (s.kind == CommitGuard::Step::Remove) {
            if (::unlink(journal->paths[s.file]) != 0 && errno != ENOENT) failed = true;
            continue;
        }
        const int fd = ::open(journal->paths[s.file], O_WRONLY);
        if (fd < 0 || ::pwrite(fd, s.bytes, s.length, off_t(s.offset)) != ssize_t(s.length)) failed = true;
        if (fd >= 0) ::close(fd);
    }
    // Files written ahead lose what no commit counted.
    for (CommitGuard::Journal::Held& h : journal->held) {
        if (!std::atomic_ref<std::uint32_t>(h.used).load(std::memory_order_acquire)) continue;
        const int fd = ::open(h.path, O_WRONLY);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && std::uint64_t(st.st_size) > h.length) {
            acted = true;
            if (::ftruncate(fd, off_t(h.length)) != 0) failed = true;
        }
        if (fd >= 0) ::close(fd);
    }
    if (failed) _exit(CommitGuard::Failed);
    _exit(acted ? CommitGuard::Finished : CommitGuard::Idle);
}

}  // namespace

void CommitGuard::start()
{
    if (tried_) return;
    tried_ = true;
    void* m = ::mmap(nullptr, sizeof(Journal), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANON, -1, 0);
    if (m == MAP_FAILED) return;
    auto* journal = static_cast<Journal*>(m);
    int ends[2];
#ifdef SOCK_CLOEXEC
    const int made = ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
#else
    const int made = ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
    if (made == 0)
        for (int fd : ends) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#endif
    if (made != 0) {
        ::munmap(m, sizeof(Journal));
        return;
    }
#ifdef SO_NOSIGPIPE
    const int on = 1;
    ::setsockopt(ends[1], SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    rlimit files{};
    const int fdLimit = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
                            ? int(std::min<rlim_t>(files.rlim_cur, 1 << 16))
                            : 1 << 16;
    sigset_t all, mask;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &mask);
    const pid_t pid = ::fork();
    if (pid == 0) guard(ends[0], int(kept_), journal, fdLimit, mask);
    ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);
    ::close(ends[0]);
    if (pid < 0) {
        ::close(ends[1]);
        ::munmap(m, sizeof(Journal));
        return;
    }
    journal_ = journal;
    farewell_ = ends[1];
    guardian_ = pid;
}

int CommitGuard::holdLength(const std::filesystem::path& absolute, std::uint64_t length)
{
    if (!journal_ || !absolute.is_absolute() || absolute.native().size() >= std::size_t(kPathBytes)) return -1;
    for (int i = 0; i < kMaxHeld; ++i) {
        Journal::Held& h = journal_->held[i];
        std::atomic_ref<std::uint32_t> used(h.used);
        if (used.load(std::memory_order_relaxed)) continue;
        std::memcpy(h.path, absolute.c_str(), absolute.native().size() + 1);
        h.length = length;
        used.store(1, std::memory_order_release);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        return i;
    }
    return -1;
}

CommitGuard::~CommitGuard()
{
    if (guardian_ <= 0) return;
    // A byte rather than the closing alone, which a child forked since might delay.
#ifdef MSG_NOSIGNAL
    const int flags = MSG_NOSIGNAL;
#else
    const int flags = 0;
#endif
    const char bye = 0;
    while (::send(int(farewell_), &bye, 1, flags) < 0 && errno == EINTR) {
    }
    ::close(int(farewell_));
    int status = 0;
    while (::waitpid(pid_t(guardian_), &status, 0) < 0 && errno == EINTR) {
    }
    ::munmap(journal_, sizeof(Journal));
}

}  // namespace paradox
