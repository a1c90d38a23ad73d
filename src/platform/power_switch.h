#pragma once

namespace sorabune {

// Asks the system to power the computer off. Returns at once; the answer is ignored.
class PowerSwitch {
public:
    virtual ~PowerSwitch() = default;
    virtual void powerOff() = 0;
};

} // namespace sorabune
