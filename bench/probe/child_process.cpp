// SPDX-License-Identifier: GPL-3.0-or-later
#include "child_process.h"

#include "monotonic.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace sorabune::bench {

namespace {

std::int64_t statusField(const std::string &path, const std::string &field)
{
    std::ifstream status(path);
    std::string line;
    const std::string key = field + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size()));
    }
    return -1;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string> &argv)
{
    if (argv.empty())
        throw std::invalid_argument("no program given after --");
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    m_spawnMs = monotonicMs();
    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0) {
        // A probe that dies, killed or crashed, takes the program with it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execvp(args[0], args.data());
        _exit(127);
    }
}

ChildProcess::~ChildProcess()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
}

bool ChildProcess::running() const
{
    int status = 0;
    return waitpid(m_pid, &status, WNOHANG) == 0;
}

std::string ChildProcess::procPath(const std::string &leaf) const
{
    return "/proc/" + std::to_string(m_pid) + "/" + leaf;
}

std::int64_t ChildProcess::statusKib(const std::string &field) const
{
    return statusField(procPath("status"), field);
}

ProcessSample ChildProcess::sample() const
{
    ProcessSample sample;
    clockid_t clock{};
    timespec cpu{};
    if (clock_getcpuclockid(m_pid, &clock) == 0 && clock_gettime(clock, &cpu) == 0)
        sample.cpuMs = static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6;

    // Fields 14 and 15 of stat, counted after the command name, which may hold blanks.
    std::ifstream statFile(procPath("stat"));
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14)
            utime = std::stoll(field);
        if (index == 15) {
            stime = std::stoll(field);
            break;
        }
    }
    sample.tickCpuMs = static_cast<double>(utime + stime) * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));

    for (const auto &task : std::filesystem::directory_iterator(procPath("task"))) {
        const std::int64_t switches = statusField(task.path() / "status", "voluntary_ctxt_switches");
        if (switches < 0)
            continue; // the thread ended meanwhile
        sample.voluntarySwitches += switches;
        ++sample.threads;
        if (task.path().filename() == std::to_string(m_pid))
            sample.mainVoluntarySwitches = switches;
    }
    return sample;
}

} // namespace sorabune::bench
