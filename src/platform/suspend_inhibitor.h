// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sorabune {

// Keeps the desktop from suspending the machine by itself (its idle timeout)
// while an alarm is owed. Suspend only: the screen still blanks and locks, and
// the lid, the power key and the user's own suspend still work. Both calls
// return at once and may come in any order: a hold while holding keeps the one
// inhibition, a release while holding none does nothing.
class SuspendInhibitor {
public:
    virtual ~SuspendInhibitor() = default;
    virtual void hold() = 0;
    virtual void release() = 0;
};

} // namespace sorabune
