#pragma once

#include "platform/power_switch.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

class QObject;

namespace sorabune {

// Powers off through systemd-logind's PowerOff(interactive = false) on the system
// bus. The request is sent without waiting for the answer: a blocking call, or
// even building a QDBusInterface, against a hung logind freezes the window for
// the bus's 25 s. The bus is reached at the first request, not before.
class LogindPowerSwitch final : public PowerSwitch {
public:
    // Long enough for polkit's check, short enough that the fallback beeps come
    // while the user may still be near.
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    explicit LogindPowerSwitch(std::chrono::milliseconds timeout = kDefaultTimeout);
    ~LogindPowerSwitch() override;

    void powerOff() override;
    void setFailureHandler(FailureHandler handler) override;

    // How long a bus may take to answer the start of its handshake.
    static constexpr std::chrono::milliseconds kProbeLimit{3000};

private:
    struct Probe {
        std::thread thread;
        std::shared_ptr<std::atomic_bool> done;
    };

    void request();
    void fail();

    std::chrono::milliseconds m_timeout;
    FailureHandler m_failureHandler;
    // Parent and context of the pending requests: deleting it drops their
    // answers, so none can reach a deleted switch.
    std::unique_ptr<QObject> m_pending;
    // Each request first sees that the bus answers, on a thread of its own: reaching a
    // bus that accepts but never answers blocks without end. Joined before m_pending goes.
    std::vector<Probe> m_probes;
};

} // namespace sorabune
