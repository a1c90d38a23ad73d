#include "platform/widgets/widget_option_button.h"

#include <QRadioButton>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace sorabune {
namespace {

// The group is one Tab stop, at its chosen button, and the arrow keys move
// within it: the convention of Qt and of the desktops. While none is chosen,
// each button is a stop, so that the group can still be reached.
void placeTabStop(QRadioButton &member)
{
    QWidget *parent = member.parentWidget();
    if (parent == nullptr)
        return;
    const QList<QRadioButton *> group = parent->findChildren<QRadioButton *>(Qt::FindDirectChildrenOnly);
    const bool anyChosen = std::any_of(group.begin(), group.end(), [](QRadioButton *b) { return b->isChecked(); });
    for (QRadioButton *button : group) {
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(!anyChosen || button->isChecked() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                                 : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

} // namespace

WidgetOptionButton::WidgetOptionButton(QRadioButton &button)
    : m_button(button)
{
    m_button.setAutoExclusive(true);
    QObject::connect(&m_button, &QRadioButton::clicked, &m_context, [this] { clicked(); });
    QObject::connect(&m_button, &QRadioButton::toggled, &m_context, [this] { placeTabStop(m_button); });
    placeTabStop(m_button);
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
