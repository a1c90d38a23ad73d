// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/logind_power_switch.h"

#include "platform/log.h"

#include <QLoggingCategory>
#include <QObject>

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

namespace sorabune {

struct SwitchLink {
    const std::chrono::milliseconds timeout;
    std::mutex mutex;
    LogindPowerSwitch *owner = nullptr; // null once the switch is going
};

namespace {

Q_LOGGING_CATEGORY(lcPowerOff, kPowerOffLog, QtWarningMsg)

struct BusDeleter {
    // Closed without flushing: flushing waits without bound for a bus that reads nothing.
    void operator()(sd_bus *bus) const { sd_bus_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusDeleter>;

struct Answer {
    bool arrived = false;
    std::string error; // empty for success
};

int onAnswer(sd_bus_message *reply, void *userData, sd_bus_error *)
{
    auto *answer = static_cast<Answer *>(userData);
    answer->arrived = true;
    if (const sd_bus_error *error = sd_bus_message_get_error(reply))
        answer->error = error->message ? error->message : error->name;
    return 0;
}

std::uint64_t microseconds(std::chrono::steady_clock::duration duration)
{
    return static_cast<std::uint64_t>(
        std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count()));
}

std::string noBus(int error)
{
    return std::string("no system bus (") + std::strerror(-error) + ")";
}

// Asks logind to power off and waits for its answer, never longer than `timeout`,
// nor longer than `handshakeLimit` for the bus to let us in. Empty when the
// system is going down, otherwise why not.
std::string callPowerOff(std::chrono::milliseconds timeout, std::chrono::milliseconds handshakeLimit)
{
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + timeout;
    const auto letInBy = start + std::min(timeout, handshakeLimit);
    Answer answer; // before the bus, which refers to it until closed
    sd_bus *raw = nullptr;
    // Follows DBUS_SYSTEM_BUS_ADDRESS; connects without waiting, the handshake is left to the loop.
    if (const int error = sd_bus_open_system(&raw); error < 0)
        return noBus(error);
    const Bus bus(raw);
    sd_bus_set_method_call_timeout(bus.get(), microseconds(timeout));
    // Not interactive: nobody may be at the machine to answer a password prompt.
    if (const int error = sd_bus_call_method_async(bus.get(), nullptr, "org.freedesktop.login1",
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PowerOff", onAnswer, &answer, "b", 0);
        error < 0)
        return noBus(error);
    qCDebug(lcPowerOff, "PowerOff sent to logind; its answer is awaited for %lld ms",
        static_cast<long long>(timeout.count()));
    while (!answer.arrived) {
        const int processed = sd_bus_process(bus.get(), nullptr);
        if (processed < 0)
            return noBus(processed);
        if (processed > 0)
            continue;
        const bool letIn = sd_bus_is_ready(bus.get()) > 0;
        const auto now = std::chrono::steady_clock::now();
        if (!letIn && now >= letInBy)
            return "the system bus does not answer";
        if (now >= deadline)
            return "logind did not answer in time";
        if (const int error = sd_bus_wait(bus.get(), microseconds((letIn ? deadline : letInBy) - now)); error < 0)
            return noBus(error);
    }
    if (!answer.error.empty())
        return "logind refused: " + answer.error;
    qCDebug(lcPowerOff, "logind accepted: the system goes down");
    return {};
}

} // namespace

LogindPowerSwitch::LogindPowerSwitch(std::chrono::milliseconds timeout)
    : m_link(std::make_shared<SwitchLink>(timeout))
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
            const std::string whyNot = callPowerOff(link->timeout, kHandshakeLimit);
            if (whyNot.empty())
                return;
            qCWarning(lcPowerOff, "Cannot power off: %s", whyNot.c_str());
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
