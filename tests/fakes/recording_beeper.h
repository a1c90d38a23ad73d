// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/beeper.h"

namespace sorabune::testing {

class RecordingBeeper final : public Beeper {
public:
    void beep() override { ++beeps; }

    int beeps = 0;
};

} // namespace sorabune::testing
