// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/power_switch.h"

#include <utility>

namespace sorabune::testing {

// Counts the requests; refuse() delivers a failure the way a real switch does,
// later and outside powerOff().
class RecordingPowerSwitch final : public PowerSwitch {
public:
    void powerOff() override { ++requests; }
    void setFailureHandler(FailureHandler handler) override { failureHandler = std::move(handler); }
    void refuse()
    {
        if (failureHandler)
            failureHandler();
    }

    int requests = 0;
    FailureHandler failureHandler;
};

} // namespace sorabune::testing
