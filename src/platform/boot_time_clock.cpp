// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/boot_time_clock.h"

#include <ctime>

namespace sorabune {

double BootTimeClock::now() const
{
    timespec reading{};
    // CLOCK_BOOTTIME cannot fail on Linux 2.6.39 and later.
    clock_gettime(CLOCK_BOOTTIME, &reading);
    return static_cast<double>(reading.tv_sec) + static_cast<double>(reading.tv_nsec) / 1e9;
}

} // namespace sorabune
