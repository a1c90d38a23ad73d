// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sorabune {

// The system beep: one sound per call, returning at once.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};

} // namespace sorabune
