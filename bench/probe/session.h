// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "child_process.h"
#include "synthetic_input.h"
#include "window_layout.h"
#include "x_connection.h"
#include "x_event_watch.h"

#include <string>
#include <vector>

namespace sorabune::bench {

// One run of the program under test: started under the watch of the probe, its
// window mapped, then driven by clicks and keys.
class Session {
public:
    // Starts argv and waits for its window; throws when no window maps in time.
    explicit Session(const std::vector<std::string> &argv);

    const ChildProcess &process() const { return m_process; }
    XEventWatch &events() { return m_events; }
    // From the exec to the MapNotify of the window.
    double startMs() const { return m_window.timeMs - m_process.spawnMs(); }
    double mappedMs() const { return m_window.timeMs; }

    // Clicks a control; returns when the server has handled the release.
    double click(Point control) const;
    // Replaces the text of an entry box by digits, keeping it when digits is empty.
    void typeInto(Point box, const std::string &digits) const;
    // Chooses a file through the file dialog that a click on control opens.
    void chooseFile(Point control, const std::string &path);

private:
    XConnection m_x;
    XEventWatch m_events;
    SyntheticInput m_input;
    ChildProcess m_process;
    MappedWindow m_window;
    Point m_origin;
};

void sleepUntil(double monotonicDeadlineMs);

} // namespace sorabune::bench
