// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The controls of the window as the countdown sees them. Setting a box's text
// runs its change handler at once, nested, before the setter returns. Texts are
// UTF-8.
namespace sorabune {

using EventHandler = std::function<void()>;
// Receives a typed character code and returns the code to deliver, 0 to cancel it.
using KeyPressHandler = std::function<std::int16_t(std::int16_t)>;
// The code a key-press handler receives for backspace, or for any removal.
inline constexpr std::int16_t kBackspace = 8;

class TextBox {
public:
    virtual ~TextBox() = default;
    virtual std::string text() const = 0;
    virtual void setText(std::string_view text) = 0;
    virtual void setChangeHandler(EventHandler handler) = 0;
    virtual void setKeyPressHandler(KeyPressHandler handler) = 0;
};

class Label {
public:
    virtual ~Label() = default;
    virtual std::string caption() const = 0;
    virtual void setCaption(std::string_view caption) = 0;
};

class CommandButton {
public:
    virtual ~CommandButton() = default;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual void setClickHandler(EventHandler handler) = 0;
};

class OptionButton {
public:
    virtual ~OptionButton() = default;
    virtual bool value() const = 0;
};

class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual bool isEnabled() const = 0;
    // Ticks once per interval while enabled with an interval above 0.
    virtual void setEnabled(bool enabled) = 0;
    virtual void setTimerHandler(EventHandler handler) = 0;
};

} // namespace sorabune
