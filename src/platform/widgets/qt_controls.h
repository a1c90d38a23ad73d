// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <string>
#include <utility>

class QKeyEvent;

// The window's controls over Qt: each one is its Qt widget (or timer), inherited
// privately, so that no code of ours can call a Qt setter past its rules. The
// window reaches the widget as a plain QWidget, for layout, focus and
// accessibility, and through the few Qt members named below. None declares
// Q_OBJECT: Qt, its styles and assistive technology see the Qt class, and may
// call its setters (a screen reader sets a box's text through QLineEdit), so a
// control answers what its widget reports, not only what is called on it.
namespace sorabune {

class KeyFilterValidator;

// Setting the text through setText() runs the change handler at once, even when
// the text stays the same, and is never filtered. Every other change of the
// widget's text, whoever makes it (typing, input methods, paste, drop, undo and
// redo, QLineEdit::setText from assistive technology), passes the key-press
// handler first (see KeyFilterValidator) and then runs the change handler once;
// a change the handler refuses is taken back without running it. The box holds
// at most two characters. The text it is made with runs nothing: no handler is
// set yet.
class QtTextBox final : private QLineEdit, public TextBox {
public:
    explicit QtTextBox(QWidget *parent = nullptr, const char *text = "");

    QWidget &widget() { return *this; }
    std::string text() const override;
    void setText(std::string_view text) override;
    void setChangeHandler(EventHandler handler) override { m_change = std::move(handler); }
    void setKeyPressHandler(KeyPressHandler handler) override;

    static constexpr int kMaxLength = 2;

private:
    // Puts in a text as it is, unjudged, for setText() and to take back a change.
    void putText(const QString &text);
    void changed();

    KeyFilterValidator *m_validator; // a child of the box
    EventHandler m_change;
    bool m_puttingText = false;
};

// Captions show as plain text, so a path with '<' or '&' shows as it is. A
// caption too wide for the box keeps its end in view (for a path, the file name)
// and shows in full as the tooltip and as the accessible name; caption() always
// gives the whole text.
class QtLabel final : private QLabel, public Label {
public:
    explicit QtLabel(QWidget *parent = nullptr);

    QWidget &widget() { return *this; }
    using QFrame::setFrameStyle;
    using QLabel::setAlignment;
    using QWidget::setEnabled;
    std::string caption() const override { return m_caption; }
    void setCaption(std::string_view caption) override;

private:
    std::string m_caption;
};

// A press by mouse or keyboard (Space, Return or Enter while it has the focus)
// runs the click handler. It is never a default button: Enter in another control
// presses nothing.
class QtCommandButton final : private QPushButton, public CommandButton {
public:
    explicit QtCommandButton(QWidget *parent = nullptr);

    QWidget &widget() { return *this; }
    using QAbstractButton::setText; // the caption
    bool isEnabled() const override { return QPushButton::isEnabled(); }
    void setEnabled(bool enabled) override { QPushButton::setEnabled(enabled); }
    void setClickHandler(EventHandler handler) override { m_click = std::move(handler); }

private:
    void keyPressEvent(QKeyEvent *event) override;

    EventHandler m_click;
};

// The option buttons of one parent form the group: one Tab stop at the chosen
// button, the arrow keys moving within it. A click by the user runs the click
// handler once.
class QtOptionButton final : private QRadioButton, public OptionButton {
public:
    explicit QtOptionButton(QWidget *parent = nullptr);

    QWidget &widget() { return *this; }
    using QAbstractButton::setText; // the caption
    bool value() const override { return isChecked(); }
    // true selects this button, clears the others of its group and runs the click
    // handler, which setChecked alone would not; false only clears it.
    void setValue(bool value);
    void setClickHandler(EventHandler handler) { m_click = std::move(handler); }

private:
    EventHandler m_click;
};

// Made precise. It ticks only while enabled with an interval above 0 (a QTimer
// with interval 0 would fire at every turn of the event loop). Setting the
// interval while it runs starts the period anew, so ticks are paced from that
// moment.
class QtTimer final : private QTimer, public Timer {
public:
    explicit QtTimer(QObject *parent = nullptr);

    using QObject::setObjectName;
    void setInterval(int milliseconds) override;
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override;
    void setTimerHandler(EventHandler handler) override { m_tick = std::move(handler); }

private:
    void apply();

    bool m_enabled = false;
    EventHandler m_tick;
};

} // namespace sorabune
