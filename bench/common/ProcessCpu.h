#pragma once
// The CPU a running process has spent so far, as the benches charge a server with its part of a run.

#include <fstream>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace bench {

// User and system CPU seconds of the process and all its threads (/proc/PID/stat); -1 when unknown.
inline double processCpuSeconds(pid_t process)
{
    std::ifstream in("/proc/" + std::to_string(process) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and parentheses; the fields counted here follow its last ')'.
    const std::size_t end = stat.rfind(')');
    if (end == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(end + 1));
    std::string skipped;
    // state, ppid, pgrp, session, tty_nr, tpgid, flags, minflt, cminflt, majflt, cmajflt, then utime and stime.
    for (int i = 0; i < 11; ++i)
        fields >> skipped;
    unsigned long long user = 0, system = 0;
    if (!(fields >> user >> system))
        return -1;
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

} // namespace bench
