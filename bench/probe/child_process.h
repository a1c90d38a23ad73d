// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sorabune::bench {

// What /proc and the process's CPU clock tell about a running process.
struct ProcessSample {
    double cpuMs = 0;                   // the process CPU clock: every thread, in nanoseconds
    double tickCpuMs = 0;               // utime + stime of /proc/PID/stat, in clock ticks
    std::int64_t voluntarySwitches = 0; // summed over the threads alive now
    std::int64_t mainVoluntarySwitches = 0;
    int threads = 0;
};

// The program under test, started with fork and exec and ended with SIGTERM.
class ChildProcess {
public:
    // Starts argv; spawnMs is taken just before the fork.
    explicit ChildProcess(const std::vector<std::string> &argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return m_pid; }
    double spawnMs() const { return m_spawnMs; }
    bool running() const;

    ProcessSample sample() const;
    // A "kB" field of /proc/PID/status, such as VmRSS or RssAnon.
    std::int64_t statusKib(const std::string &field) const;

private:
    std::string procPath(const std::string &leaf) const;

    pid_t m_pid = -1;
    double m_spawnMs = 0;
};

} // namespace sorabune::bench
