#include "platform/desktop/logind_power_switch.h"

#include "platform/desktop/bus_probe.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QtDebug>

#include <algorithm>
#include <system_error>
#include <utility>

namespace sorabune {

LogindPowerSwitch::LogindPowerSwitch(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
    , m_pending(std::make_unique<QObject>())
{
}

LogindPowerSwitch::~LogindPowerSwitch()
{
    // Each probe ends within its limit; none may post to a deleted m_pending.
    for (Probe &probe : m_probes)
        probe.thread.join();
}

void LogindPowerSwitch::setFailureHandler(FailureHandler handler)
{
    m_failureHandler = std::move(handler);
}

void LogindPowerSwitch::powerOff()
{
    std::erase_if(m_probes, [](Probe &probe) {
        if (!*probe.done)
            return false;
        probe.thread.join();
        return true;
    });
    auto done = std::make_shared<std::atomic_bool>(false);
    QObject *const context = m_pending.get();
    std::thread thread;
    try {
        thread = std::thread([this, context, done, limit = std::min(m_timeout, kProbeLimit)] {
            const BusAnswer answer = ProbeBus(SystemBusAddress(), limit);
            QMetaObject::invokeMethod(context, [this, answer] {
                if (answer != BusAnswer::Silent) {
                    request(); // an absent bus is reported there
                    return;
                }
                qWarning("Cannot power off: the system bus does not answer");
                fail();
            }, Qt::QueuedConnection);
            *done = true;
        });
    } catch (const std::system_error &) {
        // No thread to be had: ask unprobed, still never inside powerOff().
        QMetaObject::invokeMethod(context, [this] { request(); }, Qt::QueuedConnection);
        return;
    }
    m_probes.push_back({std::move(thread), std::move(done)});
}

void LogindPowerSwitch::request()
{
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qWarning("Cannot power off: no system bus (%s)", qUtf8Printable(bus.lastError().message()));
        // Queued like an error answer, so the handler never runs inside powerOff().
        QMetaObject::invokeMethod(m_pending.get(), [this] { fail(); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage request = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("PowerOff"));
    // Not interactive: nobody may be at the machine to answer a password prompt.
    request << false;
    const int timeout = static_cast<int>(m_timeout.count());
    auto *answer = new QDBusPendingCallWatcher(bus.asyncCall(request, timeout), m_pending.get());
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, m_pending.get(), [this, answer] {
        answer->deleteLater();
        // Success needs nothing: the system is going down.
        if (!answer->isError())
            return;
        qWarning("logind did not power off: %s", qUtf8Printable(answer->error().message()));
        fail();
    });
}

void LogindPowerSwitch::fail()
{
    if (m_failureHandler)
        m_failureHandler();
}

} // namespace sorabune
