// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/session_suspend_inhibitor.h"

#include "platform/desktop/bus_connection.h"
#include "platform/log.h"

#include <QLoggingCategory>

#include <cstdint>
#include <optional>
#include <utility>

namespace sorabune {

// What the jobs share. Touched by the worker's jobs only, one at a time.
struct SessionInhibition {
    const std::string appId;
    const std::string reason;
    const SuspendInhibitorLimits limits;
    std::optional<BusConnection> bus; // while something is held
    BusMessage release;               // the call that ends it
};

namespace {

Q_LOGGING_CATEGORY(lcSuspend, kSuspendLog, QtWarningMsg)

constexpr char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kGnome[] = "org.gnome.SessionManager";
constexpr char kGnomePath[] = "/org/gnome/SessionManager";
// The suspend flag, the same in both.
constexpr std::uint32_t kSuspendFlag = 4;

// The portal's Inhibit(window, flags, options) answers with a request, whose
// Close ends the inhibition.
BusMessage inhibitThroughPortal(
    BusConnection &bus, const SessionInhibition &inhibition, std::string &whyNot, BusConnection::Deadline deadline)
{
    BusMessage call = bus.newCall(kPortal, kPortalPath, "org.freedesktop.portal.Inhibit", "Inhibit");
    if (call)
        sd_bus_message_append(call.get(), "sua{sv}", "", kSuspendFlag, 1, "reason", "s", inhibition.reason.c_str());
    const BusAnswer answer = bus.call(std::move(call), deadline);
    const char *request = nullptr;
    if (!answer || sd_bus_message_read(answer.reply.get(), "o", &request) <= 0) {
        whyNot = answer ? "an answer without a request" : answer.error;
        return nullptr;
    }
    return bus.newCall(kPortal, request, "org.freedesktop.portal.Request", "Close");
}

// GNOME's Inhibit(app id, toplevel window, reason, flags) answers with a
// cookie for Uninhibit.
BusMessage inhibitThroughGnome(
    BusConnection &bus, const SessionInhibition &inhibition, std::string &whyNot, BusConnection::Deadline deadline)
{
    BusMessage call = bus.newCall(kGnome, kGnomePath, kGnome, "Inhibit");
    if (call)
        sd_bus_message_append(call.get(), "susu", inhibition.appId.c_str(), 0, inhibition.reason.c_str(), kSuspendFlag);
    const BusAnswer answer = bus.call(std::move(call), deadline);
    std::uint32_t cookie = 0;
    if (!answer || sd_bus_message_read(answer.reply.get(), "u", &cookie) <= 0) {
        whyNot = answer ? "an answer without a cookie" : answer.error;
        return nullptr;
    }
    BusMessage uninhibit = bus.newCall(kGnome, kGnomePath, kGnome, "Uninhibit");
    if (uninhibit)
        sd_bus_message_append(uninhibit.get(), "u", cookie);
    return uninhibit;
}

void holdInhibition(SessionInhibition &inhibition)
{
    const auto deadline = std::chrono::steady_clock::now() + inhibition.limits.hold;
    BusConnection &bus = inhibition.bus.emplace(BusConnection::Bus::Session);
    if (!bus.error().empty()) {
        qCWarning(lcSuspend, "Cannot keep the machine awake until the alarm: %s", bus.error().c_str());
        inhibition.bus.reset();
        return;
    }
    std::string portalError;
    inhibition.release = inhibitThroughPortal(bus, inhibition, portalError, deadline);
    if (inhibition.release) {
        qCDebug(lcSuspend, "suspend inhibited through the desktop portal");
        return;
    }
    std::string gnomeError;
    inhibition.release = inhibitThroughGnome(bus, inhibition, gnomeError, deadline);
    if (inhibition.release) {
        qCDebug(lcSuspend, "suspend inhibited through GNOME's session manager (the desktop portal: %s)",
            portalError.c_str());
        return;
    }
    qCWarning(lcSuspend,
        "Cannot keep the machine awake until the alarm: the desktop portal: %s; GNOME's session manager: %s",
        portalError.c_str(), gnomeError.c_str());
    inhibition.bus.reset();
}

void releaseInhibition(SessionInhibition &inhibition)
{
    if (!inhibition.bus)
        return;
    const auto deadline = std::chrono::steady_clock::now() + inhibition.limits.release;
    if (const BusAnswer answer = inhibition.bus->call(std::move(inhibition.release), deadline); !answer)
        qCDebug(lcSuspend, "the end of the inhibition was not answered (%s)", answer.error.c_str());
    // Whatever the connection still holds ends with it.
    inhibition.bus.reset();
    qCDebug(lcSuspend, "suspend allowed again");
}

} // namespace

SessionSuspendInhibitor::SessionSuspendInhibitor(
    std::string appId, std::string reason, SerialWorker worker, SuspendInhibitorLimits limits)
    : m_inhibition(std::make_shared<SessionInhibition>(std::move(appId), std::move(reason), limits))
    , m_worker(std::move(worker))
{
}

SessionSuspendInhibitor::~SessionSuspendInhibitor()
{
    release();
    m_worker.waitUntilIdle(m_inhibition->limits.release);
}

void SessionSuspendInhibitor::hold()
{
    if (std::exchange(m_held, true))
        return;
    if (!m_worker.post([](const auto &inhibition) { holdInhibition(*inhibition); }, m_inhibition))
        qCWarning(lcSuspend, "Cannot keep the machine awake until the alarm: no thread to reach the session bus");
}

void SessionSuspendInhibitor::release()
{
    if (std::exchange(m_held, false))
        m_worker.post([](const auto &inhibition) { releaseInhibition(*inhibition); }, m_inhibition);
}

} // namespace sorabune
