#pragma once

#include "platform/controls.h"

#include <QObject>

class QAbstractButton;

namespace sorabune {

// A command button over a QPushButton (or any button): a press by mouse or
// keyboard (Space, Return or Enter while it has the focus) runs the click handler.
class WidgetCommandButton final : public CommandButton {
public:
    explicit WidgetCommandButton(QAbstractButton &button);

    bool isEnabled() const override;
    void setEnabled(bool enabled) override;
    void setClickHandler(EventHandler handler) override;

private:
    QAbstractButton &m_button;
    EventHandler m_click;
    QObject m_context; // ends the connection with this adapter
};

} // namespace sorabune
