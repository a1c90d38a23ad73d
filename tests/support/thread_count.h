// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

namespace sorabune::testing {

// The threads of this process by id. Compared as sets, not counted: a worker
// whose jobs are done still takes a moment to leave the process, so a count
// taken then would include a thread that is on its way out.
using ThreadIds = std::set<std::string>;

inline ThreadIds threadIds()
{
    ThreadIds ids;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(entry.path().filename().string());
    return ids;
}

// How many threads run now that did not run at `before`.
inline std::size_t threadsStartedSince(const ThreadIds &before)
{
    std::size_t started = 0;
    for (const std::string &id : threadIds())
        started += before.contains(id) ? 0 : 1;
    return started;
}

// Whether every thread started since `before` has ended, after waiting up to the limit.
inline bool threadsStartedSinceEnd(const ThreadIds &before, std::chrono::seconds limit = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (threadsStartedSince(before) > 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace sorabune::testing
