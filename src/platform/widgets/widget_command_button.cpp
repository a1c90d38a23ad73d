#include "platform/widgets/widget_command_button.h"

#include <QAbstractButton>

#include <utility>

namespace sorabune {

WidgetCommandButton::WidgetCommandButton(QAbstractButton &button)
    : m_button(button)
{
    QObject::connect(&m_button, &QAbstractButton::clicked, &m_context, [this] {
        if (m_click)
            m_click();
    });
}

bool WidgetCommandButton::isEnabled() const
{
    return m_button.isEnabled();
}

void WidgetCommandButton::setEnabled(bool enabled)
{
    m_button.setEnabled(enabled);
}

void WidgetCommandButton::setClickHandler(EventHandler handler)
{
    m_click = std::move(handler);
}

} // namespace sorabune
