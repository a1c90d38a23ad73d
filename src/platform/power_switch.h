// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace sorabune {

// Asks the system to power the computer off. Returns at once: what becomes of the
// request is known only later.
class PowerSwitch {
public:
    using FailureHandler = std::function<void()>;

    virtual ~PowerSwitch() = default;
    virtual void powerOff() = 0;
    // Runs once for each request that cannot be carried out (no system bus, a
    // refusal, no answer in time) or is held back (work would be lost), later
    // on the caller's thread and never inside powerOff(). An empty handler
    // ignores failures.
    virtual void setFailureHandler(FailureHandler handler) = 0;
};

} // namespace sorabune
