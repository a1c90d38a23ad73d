// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthetic_input.h"

#include "monotonic.h"

#include <xcb/xtest.h>

#include <stdexcept>
#include <string>

namespace sorabune::bench {

namespace {
constexpr std::uint32_t kShiftL = 0xffe1;
constexpr std::uint8_t kLeftButton = 1;
} // namespace

SyntheticInput::SyntheticInput(const XConnection &connection)
    : m_connection(connection)
{
    xcb_connection_t *c = connection.get();
    XcbReply<xcb_test_get_version_reply_t> version(
        xcb_test_get_version_reply(c, xcb_test_get_version(c, 2, 2), nullptr));
    if (!version)
        throw std::runtime_error("the X server has no XTEST extension");
    const xcb_setup_t *setup = xcb_get_setup(c);
    m_minKeycode = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    XcbReply<xcb_get_keyboard_mapping_reply_t> mapping(
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, m_minKeycode, count), nullptr));
    if (!mapping)
        throw std::runtime_error("cannot read the keyboard mapping");
    m_keysymsPerKeycode = mapping->keysyms_per_keycode;
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    m_keysyms.assign(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(mapping.get()));
}

double SyntheticInput::click(int x, int y) const
{
    fake(XCB_MOTION_NOTIFY, 0, x, y);
    fake(XCB_BUTTON_PRESS, kLeftButton);
    m_connection.roundTrip();
    // No program can see the release before this moment.
    const double releaseMs = monotonicMs();
    fake(XCB_BUTTON_RELEASE, kLeftButton);
    m_connection.roundTrip();
    return releaseMs;
}

void SyntheticInput::type(std::string_view text) const
{
    for (char character : text)
        pressKey(static_cast<unsigned char>(character)); // Latin-1 keysyms are their codes
}

void SyntheticInput::pressKey(std::uint32_t keysym) const
{
    const Key key = find(keysym);
    const Key shift = find(kShiftL);
    if (key.shifted)
        fake(XCB_KEY_PRESS, shift.code);
    fake(XCB_KEY_PRESS, key.code);
    fake(XCB_KEY_RELEASE, key.code);
    if (key.shifted)
        fake(XCB_KEY_RELEASE, shift.code);
    m_connection.roundTrip();
}

SyntheticInput::Key SyntheticInput::find(std::uint32_t keysym) const
{
    for (std::size_t i = 0; i < m_keysyms.size(); ++i) {
        const auto column = static_cast<int>(i % static_cast<std::size_t>(m_keysymsPerKeycode));
        if (m_keysyms[i] == keysym && column < 2)
            return Key{static_cast<xcb_keycode_t>(m_minKeycode + i / static_cast<std::size_t>(m_keysymsPerKeycode)),
                column == 1};
    }
    throw std::runtime_error("no key gives the keysym " + std::to_string(keysym));
}

void SyntheticInput::fake(std::uint8_t type, std::uint8_t detail, int x, int y) const
{
    xcb_test_fake_input(m_connection.get(), type, detail, XCB_CURRENT_TIME, m_connection.root(),
        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
}

} // namespace sorabune::bench
