// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/suspend_inhibitor.h"

#include <string>
#include <vector>

namespace sorabune::testing {

// Whether an inhibition would be held now, with the real one's semantics: a
// hold while holding and a release while holding none change nothing.
class FakeSuspendInhibitor final : public SuspendInhibitor {
public:
    void hold() override
    {
        if (!held)
            note("hold");
        held = true;
    }
    void release() override
    {
        if (held)
            note("release");
        held = false;
    }

    bool held = false;
    // Where a test that wants their order notes the changes beside other calls.
    std::vector<std::string> *calls = nullptr;

private:
    void note(const char *change)
    {
        if (calls)
            calls->emplace_back(change);
    }
};

} // namespace sorabune::testing
