// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sorabune::testing {

// The two General MIDI soundfonts the program meets on Debian, each by its own
// path: Debian's default-GM.sf2 names FluidR3_GM where fluid-soundfont-gm is
// installed and TimGM6mb otherwise, so tests never go through it.
// scripts/setup.sh installs both; a test of one that is missing fails.
inline constexpr char kTimGM6mb[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";
inline constexpr char kFluidR3GM[] = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

} // namespace sorabune::testing
