// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>

namespace sorabune::bench {

// Every timestamp of the probe, and PulseAudio's own clock, are on CLOCK_MONOTONIC,
// so times taken in different threads and processes compare directly.
inline double monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

} // namespace sorabune::bench
