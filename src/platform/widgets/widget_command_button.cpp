#include "platform/widgets/widget_command_button.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>

#include <utility>

namespace sorabune {
namespace {

// Enter on a focused button presses it, as Space does. Qt gives Enter to
// default buttons only, and the window must have none: Enter in a box presses
// nothing.
class EnterPresses final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        // One press a stroke: a held key does not start and stop in turn.
        if (!key->isAutoRepeat())
            static_cast<QAbstractButton *>(watched)->click();
        return true;
    }
};

} // namespace

WidgetCommandButton::WidgetCommandButton(QAbstractButton &button)
    : m_button(button)
{
    m_button.installEventFilter(new EnterPresses(&m_button));
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
