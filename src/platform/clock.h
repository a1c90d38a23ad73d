// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sorabune {

// A clock in seconds with a fraction. Only differences between readings mean
// anything: the countdown measures the time gone since its start.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

} // namespace sorabune
