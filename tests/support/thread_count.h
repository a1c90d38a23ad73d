// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

namespace sorabune::testing {

inline std::size_t threadCount()
{
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator()));
}

// A thread that has finished its work may take a moment to leave /proc.
inline bool threadCountFallsTo(std::size_t expected, std::chrono::seconds limit = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (threadCount() > expected) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return threadCount() == expected;
}

} // namespace sorabune::testing
