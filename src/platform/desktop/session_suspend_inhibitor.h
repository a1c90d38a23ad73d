// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/serial_worker.h"
#include "platform/suspend_inhibitor.h"

#include <chrono>
#include <memory>
#include <string>

namespace sorabune {

struct SessionInhibition;

struct SuspendInhibitorLimits {
    // For a hold, both services tried. The portal may first have to be started.
    std::chrono::milliseconds hold{5000};
    // For a release's answer; then the connection goes, and what it held with it.
    std::chrono::milliseconds release{1000};
};

// Inhibits suspend through the session bus: the desktop portal's Inhibit, or
// GNOME's session manager where no portal answers, both with the suspend flag
// alone (the idle flag would keep the screen on). The inhibition lives as long
// as our connection to the bus, so that a crash drops it too. The bus is
// reached at the first hold; every call goes through the worker, bounded, and
// the caller never waits for the session bus.
class SessionSuspendInhibitor final : public SuspendInhibitor {
public:
    // The desktop shows `appId` and `reason` beside the inhibition. Calls run
    // on `worker`, in order with whatever else is posted to it.
    SessionSuspendInhibitor(
        std::string appId, std::string reason, SerialWorker worker = {}, SuspendInhibitorLimits limits = {});
    // Releases what it holds, and waits up to the release limit for that to go out.
    ~SessionSuspendInhibitor() override;
    SessionSuspendInhibitor(const SessionSuspendInhibitor &) = delete;
    SessionSuspendInhibitor &operator=(const SessionSuspendInhibitor &) = delete;

    void hold() override;
    void release() override;

private:
    std::shared_ptr<SessionInhibition> m_inhibition;
    SerialWorker m_worker;
    bool m_held = false;
};

} // namespace sorabune
