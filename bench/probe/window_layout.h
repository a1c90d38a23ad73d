// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sorabune::bench {

// Where the probe clicks: the centres of the controls, in pixels from the
// client area's top-left corner. Sorabune and the bare window share the layout.
struct Point {
    int x = 0;
    int y = 0;
};

inline constexpr Point kHoursBox{20, 41};
inline constexpr Point kMinutesBox{84, 41};
inline constexpr Point kMidiOption{14, 94};
inline constexpr Point kStartButton{28, 144};
inline constexpr Point kStopButton{84, 148};

} // namespace sorabune::bench
