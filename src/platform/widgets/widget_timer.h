#pragma once

#include "platform/controls.h"

#include <QObject>

class QTimer;

namespace sorabune {

// A timer over a QTimer, made precise. It ticks only while enabled with an
// interval above 0 (a QTimer with interval 0 would fire at every turn of the
// event loop). Setting the interval while it runs starts the period anew, so
// ticks are paced from that moment.
class WidgetTimer final : public Timer {
public:
    explicit WidgetTimer(QTimer &timer);

    int interval() const override;
    void setInterval(int milliseconds) override;
    bool isEnabled() const override;
    void setEnabled(bool enabled) override;
    void setTimerHandler(EventHandler handler) override;

private:
    void apply();

    QTimer &m_timer;
    int m_interval = 0;
    bool m_enabled = false;
    EventHandler m_tick;
    QObject m_context; // ends the connection with this adapter
};

} // namespace sorabune
