// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/clock.h"

namespace sorabune::testing {

class FakeClock final : public Clock {
public:
    explicit FakeClock(double start = 1000.0)
        : m_now(start)
    {
    }
    double now() const override { return m_now; }
    void set(double seconds) { m_now = seconds; }
    void advance(double seconds) { m_now += seconds; }

private:
    double m_now;
};

} // namespace sorabune::testing
