// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "x_connection.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace sorabune::bench {

// Pointer and keyboard input through XTest, as a user would give it.
class SyntheticInput {
public:
    explicit SyntheticInput(const XConnection &connection);

    // A left click at root coordinates. Returns when the release was sent, the
    // moment the user lets go and a push button's click fires; the server has
    // handled it when this returns.
    double click(int x, int y) const;
    // Types printable ASCII, with Shift where the keymap needs it.
    void type(std::string_view text) const;
    void pressKey(std::uint32_t keysym) const;

    static constexpr std::uint32_t kBackSpace = 0xff08;
    static constexpr std::uint32_t kReturn = 0xff0d;
    static constexpr std::uint32_t kEnd = 0xff57;

private:
    struct Key {
        xcb_keycode_t code = 0;
        bool shifted = false;
    };
    Key find(std::uint32_t keysym) const;
    void fake(std::uint8_t type, std::uint8_t detail, int x = 0, int y = 0) const;

    const XConnection &m_connection;
    xcb_keycode_t m_minKeycode = 0;
    int m_keysymsPerKeycode = 0;
    std::vector<xcb_keysym_t> m_keysyms;
};

} // namespace sorabune::bench
