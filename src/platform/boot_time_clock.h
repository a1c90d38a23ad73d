// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clock.h"

namespace sorabune {

// Seconds since boot, counting on through suspend. Unlike the time of day it
// neither jumps back at midnight nor moves with daylight saving or clock
// corrections, so a countdown across any of them still ends at the right moment.
class BootTimeClock final : public Clock {
public:
    double now() const override;
};

} // namespace sorabune
