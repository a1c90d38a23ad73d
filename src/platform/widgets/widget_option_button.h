#pragma once

#include "platform/controls.h"

#include <QObject>

class QRadioButton;

namespace sorabune {

// An option button over an auto-exclusive QRadioButton: the radio buttons of one
// parent form the group, one Tab stop at the chosen button, the arrow keys moving
// within it. A click by the user runs the click handler once; so does
// setValue(true) from code, which Qt's setChecked alone would not.
class WidgetOptionButton final : public OptionButton {
public:
    explicit WidgetOptionButton(QRadioButton &button);

    bool value() const override;
    void setValue(bool value) override;
    void setClickHandler(EventHandler handler) override;

private:
    void clicked();

    QRadioButton &m_button;
    EventHandler m_click;
    QObject m_context; // ends the connection with this adapter
};

} // namespace sorabune
