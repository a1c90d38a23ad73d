// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/boot_time_clock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <sched.h>

namespace sorabune {
namespace {

// A day of suspend: how far the boot clock runs ahead of the monotonic clock.
constexpr int kSuspendedSeconds = 86400;

double seconds(clockid_t id)
{
    timespec reading{};
    clock_gettime(id, &reading);
    return static_cast<double>(reading.tv_sec) + static_cast<double>(reading.tv_nsec) / 1e9;
}

// In a time namespace whose boot clock runs a day ahead of its monotonic clock, in a
// user namespace of its own so that no privilege is needed. Ends the (forked) process.
[[noreturn]] void readAfterADayOfSuspend()
{
    const auto fail = [](const char *step) {
        std::fprintf(stderr, "%s: %s\n", step, std::strerror(errno));
        std::_Exit(1);
    };
    if (::unshare(CLONE_NEWUSER | CLONE_NEWTIME) != 0)
        fail("unshare(CLONE_NEWUSER | CLONE_NEWTIME)");
    std::FILE *offsets = std::fopen("/proc/self/timens_offsets", "w");
    if (offsets == nullptr || std::fprintf(offsets, "boottime %d 0", kSuspendedSeconds) < 0
        || std::fclose(offsets) != 0)
        fail("writing /proc/self/timens_offsets");
    const int space = ::open("/proc/self/ns/time_for_children", O_RDONLY | O_CLOEXEC);
    if (space < 0 || ::setns(space, CLONE_NEWTIME) != 0)
        fail("entering the time namespace");
    const double monotonic = seconds(CLOCK_MONOTONIC);
    const double boot = seconds(CLOCK_BOOTTIME);
    const double now = BootTimeClock().now();
    std::fprintf(stderr, "monotonic %.1f s, boot %.1f s, BootTimeClock %.1f s\n", monotonic, boot, now);
    std::_Exit(boot - monotonic >= kSuspendedSeconds && now >= boot && now < boot + 60 ? 0 : 2);
}

// The monotonic clock stops in suspend: a countdown on it would end a suspend's length late.
TEST(BootTimeClockTest, CountsTheTimeSpentInSuspend)
{
    EXPECT_EXIT(readAfterADayOfSuspend(), ::testing::ExitedWithCode(0), "");
}

TEST(BootTimeClockTest, HasSubSecondResolution)
{
    const BootTimeClock clock;
    const double first = clock.now();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const double second = clock.now();
    // 30 ms show as 30 ms, not as 0 or 1 s.
    EXPECT_GE(second - first, 0.029);
    EXPECT_LT(second - first, 0.9);
}

} // namespace
} // namespace sorabune
