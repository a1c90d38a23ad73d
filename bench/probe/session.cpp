// SPDX-License-Identifier: GPL-3.0-or-later
#include "session.h"

#include "monotonic.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace sorabune::bench {

namespace {

constexpr double kMapTimeoutMs = 20000;

} // namespace

void sleepUntil(double monotonicDeadlineMs)
{
    const double left = monotonicDeadlineMs - monotonicMs();
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(left));
}

Session::Session(const std::vector<std::string> &argv)
    : m_events(m_x)
    , m_input(m_x)
    , m_process(argv) // only now that the root window is watched
{
    const auto window = m_events.waitForMap(m_process.pid(), m_process.spawnMs() + kMapTimeoutMs);
    if (!window)
        throw std::runtime_error("no window of " + argv.front() + " was mapped");
    m_window = *window;
    XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        m_x.get(), xcb_translate_coordinates(m_x.get(), m_window.window, m_x.root(), 0, 0), nullptr));
    if (!origin)
        throw std::runtime_error("the window vanished");
    m_origin = Point{origin->dst_x, origin->dst_y};
}

double Session::click(Point control) const
{
    return m_input.click(m_origin.x + control.x, m_origin.y + control.y);
}

void Session::typeInto(Point box, const std::string &digits) const
{
    click(box);
    m_input.pressKey(SyntheticInput::kEnd);
    m_input.pressKey(SyntheticInput::kBackSpace);
    m_input.pressKey(SyntheticInput::kBackSpace);
    m_input.type(digits.empty() ? "0" : digits);
    // A user's pause: the program is done with the keys before the next click,
    // whose timing may be measured.
    sleepUntil(monotonicMs() + 500);
}

void Session::chooseFile(Point control, const std::string &path)
{
    click(control);
    const auto dialog = m_events.waitForMap(m_process.pid(), monotonicMs() + kMapTimeoutMs);
    if (!dialog)
        throw std::runtime_error("no file dialog opened");
    if (!m_events.waitForFocus(dialog->window, monotonicMs() + kMapTimeoutMs))
        throw std::runtime_error("the file dialog never took the focus");
    m_input.type(path);
    m_input.pressKey(SyntheticInput::kReturn);
}

} // namespace sorabune::bench
