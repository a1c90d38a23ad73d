// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/power_switch.h"
#include "platform/serial_worker.h"

#include <QObject>

#include <chrono>
#include <memory>

namespace sorabune {

struct SwitchLink;

// Powers off through systemd-logind's PowerOff(interactive = false) on the system
// bus, unless something holds a block lock on shutdown: logind ignores the locks
// of the caller's own user, and a desktop turns an application's objection
// ("unsaved documents") into just such a lock. Spoken through sd-bus on the
// worker: a bus that accepts and never answers, or a hung logind, holds up only
// the worker, and each request gives up at its time limit. The bus is reached
// at the first request. A QObject for the failures that come back to its
// thread: those still queued go with it.
class LogindPowerSwitch final : public QObject, public PowerSwitch {
public:
    // Long enough for polkit's check, short enough that the fallback beeps come
    // while the user may still be near.
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    // The requests run on `worker`, after whatever was posted to it before.
    explicit LogindPowerSwitch(std::chrono::milliseconds timeout = kDefaultTimeout, SerialWorker worker = {});
    ~LogindPowerSwitch() override;

    void powerOff() override;
    void setFailureHandler(FailureHandler handler) override;

private:
    void fail();

    FailureHandler m_failureHandler;
    // The requests' way back to the switch, cut off when it goes.
    std::shared_ptr<SwitchLink> m_link;
    SerialWorker m_worker;
};

} // namespace sorabune
