// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/boot_time_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace sorabune {
namespace {

TEST(BootTimeClockTest, CountsSecondsSinceBootWithAFraction)
{
    const BootTimeClock clock;
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double first = clock.now();
    EXPECT_GE(first, static_cast<double>(boot.tv_sec));
    EXPECT_LT(first, static_cast<double>(boot.tv_sec) + 60);

    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const double second = clock.now();
    // Sub-second resolution: 30 ms show as 30 ms, not as 0 or 1 s.
    EXPECT_GE(second - first, 0.029);
    EXPECT_LT(second - first, 0.9);
}

} // namespace
} // namespace sorabune
