#include "platform/widgets/widget_option_button.h"

#include <QRadioButton>

#include <utility>

namespace sorabune {

WidgetOptionButton::WidgetOptionButton(QRadioButton &button)
    : m_button(button)
{
    m_button.setAutoExclusive(true);
    QObject::connect(&m_button, &QRadioButton::clicked, &m_context, [this] { clicked(); });
}

bool WidgetOptionButton::value() const
{
    return m_button.isChecked();
}

void WidgetOptionButton::setValue(bool value)
{
    if (value) {
        m_button.setChecked(true); // clears the others of the group
        clicked();
        return;
    }
    // The checked button of an exclusive group refuses to be unchecked; lift the
    // exclusivity for the moment it takes.
    m_button.setAutoExclusive(false);
    m_button.setChecked(false);
    m_button.setAutoExclusive(true);
}

void WidgetOptionButton::setClickHandler(EventHandler handler)
{
    m_click = std::move(handler);
}

void WidgetOptionButton::clicked()
{
    if (m_click)
        m_click();
}

} // namespace sorabune
