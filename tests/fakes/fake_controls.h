// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/controls.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Controls that behave as the Qt ones in src/platform/widgets do, as far as the
// countdown can tell, driven by the test.
namespace sorabune::testing {

class FakeTextBox final : public TextBox {
public:
    explicit FakeTextBox(std::string text = "0")
        : m_text(std::move(text))
    {
    }

    std::string text() const override { return m_text; }
    void setText(std::string_view text) override
    {
        m_text = text;
        change();
    }
    void setChangeHandler(EventHandler handler) override { m_change = std::move(handler); }
    void setKeyPressHandler(KeyPressHandler handler) override { m_keyPress = std::move(handler); }

    // One typed character: the key handler may replace or cancel it, then the box
    // itself refuses anything past its two characters.
    void type(std::int16_t key)
    {
        if (m_keyPress)
            key = m_keyPress(key);
        if (key == 0)
            return;
        if (key == 8) {
            if (m_text.empty())
                return;
            m_text.pop_back();
        } else {
            if (m_text.size() >= kMaxLength)
                return;
            m_text.push_back(static_cast<char>(key));
        }
        change();
    }
    void type(std::string_view keys)
    {
        for (char key : keys)
            type(static_cast<std::int16_t>(key));
    }
    void clear()
    {
        while (!m_text.empty())
            type(std::int16_t{8});
    }

    // How many times the change handler has run, nested runs included.
    int changes() const { return m_changes; }

    static constexpr std::size_t kMaxLength = 2;

private:
    void change()
    {
        ++m_changes;
        if (m_change)
            m_change();
    }

    std::string m_text;
    EventHandler m_change;
    KeyPressHandler m_keyPress;
    int m_changes = 0;
};

class FakeLabel final : public Label {
public:
    explicit FakeLabel(std::string caption = {})
        : m_caption(std::move(caption))
    {
    }

    std::string caption() const override { return m_caption; }
    void setCaption(std::string_view caption) override { m_caption = caption; }

private:
    std::string m_caption;
};

class FakeCommandButton final : public CommandButton {
public:
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    void setClickHandler(EventHandler handler) override { m_click = std::move(handler); }
    // A click only reaches an enabled button.
    void click()
    {
        if (m_enabled && m_click)
            m_click();
    }

private:
    bool m_enabled = true;
    EventHandler m_click;
};

// The option buttons of one container: selecting one clears the others.
class FakeOptionButton final : public OptionButton {
public:
    explicit FakeOptionButton(std::vector<FakeOptionButton *> &group)
        : m_group(group)
    {
        m_group.push_back(this);
    }

    bool value() const override { return m_value; }
    void setValue(bool value)
    {
        if (!value) {
            m_value = false;
            return;
        }
        for (FakeOptionButton *other : m_group)
            other->m_value = other == this;
        if (m_click)
            m_click();
    }
    void setClickHandler(EventHandler handler) { m_click = std::move(handler); }
    void click() { setValue(true); }

private:
    std::vector<FakeOptionButton *> &m_group;
    bool m_value = false;
    EventHandler m_click;
};

class FakeTimer final : public Timer {
public:
    int interval() const { return m_interval; }
    void setInterval(int milliseconds) override { m_interval = milliseconds; }
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    void setTimerHandler(EventHandler handler) override { m_timer = std::move(handler); }

    // Delivers one tick, as QtTimer would: only while enabled with an interval.
    bool fire()
    {
        if (!m_enabled || m_interval <= 0 || !m_timer)
            return false;
        m_timer();
        return true;
    }

private:
    int m_interval = 0;
    bool m_enabled = false;
    EventHandler m_timer;
};

// The controls the countdown works on, named as the window names them.
struct FakeWindowControls {
    FakeTextBox Text1, Text2;
    FakeLabel Label6{"00 : 00 : 00"};
    FakeLabel Label4{"midi再生ファイル"};
    FakeCommandButton Command1, Command2;
    FakeTimer Timer1;
    std::vector<FakeOptionButton *> options;
    FakeOptionButton Option1{options}, Option2{options}, Option3{options};
};

} // namespace sorabune::testing
