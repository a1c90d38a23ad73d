#include "platform/desktop/logind_power_switch.h"

#include <QLoggingCategory>
#include <QObject>

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

namespace sorabune {

struct SwitchReplies {
    std::mutex mutex;
    QObject *context; // null once the switch is going
};

namespace {

Q_LOGGING_CATEGORY(lcPowerOff, "sorabune.poweroff", QtWarningMsg)

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

// Asks logind to power off and waits for its answer, never longer than `timeout`,
// nor longer than `handshakeLimit` for the bus to let us in. Whether logind
// accepted; why not is logged.
bool callPowerOff(std::chrono::milliseconds timeout, std::chrono::milliseconds handshakeLimit)
{
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + timeout;
    const auto letInBy = start + std::min(timeout, handshakeLimit);
    Answer answer; // before the bus, which refers to it until closed
    sd_bus *raw = nullptr;
    // sd_bus_open_system() follows DBUS_SYSTEM_BUS_ADDRESS; it connects without
    // waiting, and the handshake is done in the loop below.
    if (const int error = sd_bus_open_system(&raw); error < 0) {
        qCWarning(lcPowerOff, "Cannot power off: no system bus (%s)", std::strerror(-error));
        return false;
    }
    const Bus bus(raw);
    sd_bus_set_method_call_timeout(bus.get(), microseconds(timeout));
    // Not interactive: nobody may be at the machine to answer a password prompt.
    if (const int error = sd_bus_call_method_async(bus.get(), nullptr, "org.freedesktop.login1",
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PowerOff", onAnswer, &answer, "b", 0);
        error < 0) {
        qCWarning(lcPowerOff, "Cannot power off: no system bus (%s)", std::strerror(-error));
        return false;
    }
    while (!answer.arrived) {
        const int processed = sd_bus_process(bus.get(), nullptr);
        if (processed < 0) {
            qCWarning(lcPowerOff, "Cannot power off: no system bus (%s)", std::strerror(-processed));
            return false;
        }
        if (processed > 0)
            continue;
        const bool letIn = sd_bus_is_ready(bus.get()) > 0;
        const auto now = std::chrono::steady_clock::now();
        if (!letIn && now >= letInBy) {
            qCWarning(lcPowerOff, "Cannot power off: the system bus does not answer");
            return false;
        }
        if (now >= deadline) {
            qCWarning(lcPowerOff, "logind did not power off: no answer in time");
            return false;
        }
        if (const int error = sd_bus_wait(bus.get(), microseconds((letIn ? deadline : letInBy) - now)); error < 0) {
            qCWarning(lcPowerOff, "Cannot power off: no system bus (%s)", std::strerror(-error));
            return false;
        }
    }
    if (!answer.error.empty()) {
        qCWarning(lcPowerOff, "logind did not power off: %s", answer.error.c_str());
        return false;
    }
    return true; // the system is going down
}

} // namespace

LogindPowerSwitch::LogindPowerSwitch(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
    , m_context(std::make_unique<QObject>())
    , m_replies(std::make_shared<SwitchReplies>())
{
    m_replies->context = m_context.get();
}

LogindPowerSwitch::~LogindPowerSwitch()
{
    const std::lock_guard lock(m_replies->mutex);
    m_replies->context = nullptr;
}

void LogindPowerSwitch::setFailureHandler(FailureHandler handler)
{
    m_failureHandler = std::move(handler);
}

void LogindPowerSwitch::powerOff()
{
    // `this` is used only on m_context's thread, where m_context is alive: then so is the switch.
    const bool posted = m_worker.post(
        [this, replies = m_replies, timeout = m_timeout] {
            const bool poweringOff = callPowerOff(timeout, kHandshakeLimit);
            const std::lock_guard lock(replies->mutex);
            if (replies->context)
                QMetaObject::invokeMethod(replies->context, [this, poweringOff] { report(poweringOff); },
                    Qt::QueuedConnection);
        });
    if (!posted) {
        qCWarning(lcPowerOff, "Cannot power off: no thread to reach the system bus");
        // Queued like an answer, so the handler never runs inside powerOff().
        QMetaObject::invokeMethod(m_context.get(), [this] { report(false); }, Qt::QueuedConnection);
    }
}

void LogindPowerSwitch::report(bool poweringOff)
{
    if (!poweringOff && m_failureHandler)
        m_failureHandler();
}

} // namespace sorabune
