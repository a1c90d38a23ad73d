// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/logind_power_switch.h"

#include "platform/desktop/bus_connection.h"
#include "platform/log.h"

#include <QLoggingCategory>
#include <QObject>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace sorabune {

struct SwitchLink {
    const std::chrono::milliseconds timeout;
    std::mutex mutex;
    LogindPowerSwitch *owner = nullptr; // null once the switch is going
};

namespace {

Q_LOGGING_CATEGORY(lcPowerOff, kPowerOffLog, QtWarningMsg)

constexpr char kLogind[] = "org.freedesktop.login1";
constexpr char kLogindPath[] = "/org/freedesktop/login1";
constexpr char kLogindManager[] = "org.freedesktop.login1.Manager";

// Who holds shutdown back with a block lock, and why, from ListInhibitors'
// answer: a(ssssuu), the what (kinds parted by colons), who, why, mode, uid
// and pid of each lock. Empty when nobody does; none for an answer that is no
// such list. Delay locks logind honours by itself, for a few seconds.
std::optional<std::string> shutdownBlockers(sd_bus_message *locks)
{
    if (sd_bus_message_enter_container(locks, SD_BUS_TYPE_ARRAY, "(ssssuu)") <= 0)
        return std::nullopt;
    std::string blockers;
    const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
    std::uint32_t uid = 0, pid = 0;
    int read = 0;
    while ((read = sd_bus_message_read(locks, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid)) > 0) {
        const bool shutdown = (':' + std::string(what) + ':').find(":shutdown:") != std::string::npos;
        if (!shutdown || std::string_view(mode) != "block")
            continue;
        if (!blockers.empty())
            blockers += "; ";
        blockers += std::string("\"") + who + "\" blocks shutdown: " + why;
    }
    if (read < 0)
        return std::nullopt;
    return blockers;
}

// Asks logind to power off, unless a lock holds shutdown back, and waits for
// its answers, never longer than `timeout` in all. Empty when the system is
// going down, otherwise the line that says why not.
std::string callPowerOff(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    BusConnection bus(BusConnection::Bus::System);
    const BusAnswer locks = bus.call(bus.newCall(kLogind, kLogindPath, kLogindManager, "ListInhibitors"), deadline);
    if (!locks)
        return "Cannot power off: " + locks.error;
    const std::optional<std::string> blockers = shutdownBlockers(locks.reply.get());
    if (!blockers)
        return "Cannot power off: logind's list of locks cannot be read";
    if (!blockers->empty())
        return "Power-off held back: " + *blockers;
    BusMessage powerOff = bus.newCall(kLogind, kLogindPath, kLogindManager, "PowerOff");
    // Not interactive: nobody may be at the machine to answer a password prompt.
    if (powerOff)
        sd_bus_message_append(powerOff.get(), "b", 0);
    qCDebug(lcPowerOff, "PowerOff sent to logind; its answer is awaited until the limit of %lld ms",
        static_cast<long long>(timeout.count()));
    if (const BusAnswer answer = bus.call(std::move(powerOff), deadline); !answer)
        return "Cannot power off: " + answer.error;
    qCDebug(lcPowerOff, "logind accepted: the system goes down");
    return {};
}

} // namespace

LogindPowerSwitch::LogindPowerSwitch(std::chrono::milliseconds timeout, SerialWorker worker)
    : m_link(std::make_shared<SwitchLink>(timeout))
    , m_worker(std::move(worker))
{
    m_link->owner = this;
}

LogindPowerSwitch::~LogindPowerSwitch()
{
    const std::lock_guard lock(m_link->mutex);
    m_link->owner = nullptr;
}

void LogindPowerSwitch::setFailureHandler(FailureHandler handler)
{
    m_failureHandler = std::move(handler);
}

void LogindPowerSwitch::powerOff()
{
    qCDebug(lcPowerOff, "asking logind to power off");
    const bool posted = m_worker.post(
        [](const std::shared_ptr<SwitchLink> &link) {
            const std::string whyNot = callPowerOff(link->timeout);
            if (whyNot.empty())
                return;
            qCWarning(lcPowerOff, "%s", whyNot.c_str());
            const std::lock_guard lock(link->mutex);
            if (link->owner)
                QMetaObject::invokeMethod(link->owner, &LogindPowerSwitch::fail, Qt::QueuedConnection);
        },
        m_link);
    if (!posted) {
        qCWarning(lcPowerOff, "Cannot power off: no thread to reach the system bus");
        // Queued like an answer, so the handler never runs inside powerOff().
        QMetaObject::invokeMethod(this, &LogindPowerSwitch::fail, Qt::QueuedConnection);
    }
}

void LogindPowerSwitch::fail()
{
    if (m_failureHandler)
        m_failureHandler();
}

} // namespace sorabune
