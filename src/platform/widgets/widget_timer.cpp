#include "platform/widgets/widget_timer.h"

#include <QTimer>

#include <utility>

namespace sorabune {

WidgetTimer::WidgetTimer(QTimer &timer)
    : m_timer(timer)
{
    m_timer.stop();
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_context, [this] {
        if (m_tick)
            m_tick();
    });
}

int WidgetTimer::interval() const
{
    return m_interval;
}

void WidgetTimer::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    m_timer.stop(); // a running timer starts its period anew below
    apply();
}

bool WidgetTimer::isEnabled() const
{
    return m_enabled;
}

void WidgetTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    apply();
}

void WidgetTimer::setTimerHandler(EventHandler handler)
{
    m_tick = std::move(handler);
}

void WidgetTimer::apply()
{
    if (!m_enabled || m_interval <= 0) {
        m_timer.stop();
        return;
    }
    if (!m_timer.isActive())
        m_timer.start(m_interval);
}

} // namespace sorabune
