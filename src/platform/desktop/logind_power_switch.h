// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/power_switch.h"
#include "platform/serial_worker.h"

#include <chrono>
#include <memory>

class QObject;

namespace sorabune {

struct SwitchReplies;

// Powers off through systemd-logind's PowerOff(interactive = false) on the system
// bus, spoken through sd-bus on the worker: connecting to a bus that accepts but
// never answers, or waiting for a hung logind, holds up only the worker, and each
// request gives up at its time limit. The bus is reached at the first request.
class LogindPowerSwitch final : public PowerSwitch {
public:
    // Long enough for polkit's check, short enough that the fallback beeps come
    // while the user may still be near.
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};
    // How long the bus may take to let a connection in (its handshake and Hello).
    static constexpr std::chrono::milliseconds kHandshakeLimit{3000};

    explicit LogindPowerSwitch(std::chrono::milliseconds timeout = kDefaultTimeout);
    ~LogindPowerSwitch() override;

    void powerOff() override;
    void setFailureHandler(FailureHandler handler) override;

private:
    void fail();

    std::chrono::milliseconds m_timeout;
    FailureHandler m_failureHandler;
    // Where the worker's outcomes arrive, on this object's thread; deleting it
    // drops those still queued, so none reaches a deleted switch.
    std::unique_ptr<QObject> m_context;
    // The worker's way to m_context, cut off before m_context goes.
    std::shared_ptr<SwitchReplies> m_replies;
    SerialWorker m_worker;
};

} // namespace sorabune
