#pragma once

#include "platform/controls.h"

#include <QObject>

class QLineEdit;

namespace sorabune {

class KeyFilterValidator;

// A text box over a QLineEdit. Setting the text from code runs the change handler
// at once, even when the text stays the same; every edit by the user passes the
// key-press handler first (see KeyFilterValidator). The box holds at most two
// characters of input.
class WidgetTextBox final : public TextBox {
public:
    explicit WidgetTextBox(QLineEdit &edit);

    std::string text() const override;
    void setText(std::string_view text) override;
    void setChangeHandler(EventHandler handler) override;
    void setKeyPressHandler(KeyPressHandler handler) override;

    static constexpr int kMaxLength = 2;

private:
    void edited();

    QLineEdit &m_edit;
    KeyFilterValidator *m_validator; // owned by m_edit
    EventHandler m_change;
    QObject m_context; // ends the connections with this adapter
};

} // namespace sorabune
