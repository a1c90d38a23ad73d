// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "options.h"

// What the probe measures, one function per scenario; each prints "key value" lines.
namespace sorabune::bench {

// How well SoundOnset times a test tone whose timing PulseAudio reports itself.
void calibrate(const Options &options);
// Exec to the window's MapNotify; memory once it has settled.
void start(const Options &options);
// CPU time and wakeups, untouched and then while a countdown runs.
void idle(const Options &options);
// Expiry to the first audible sample of the MIDI alarm; then idle again.
void midi(const Options &options);
// VmRSS idle, with a MIDI file chosen, while a countdown of it waits, while it
// plays and after stop; expiry to its first audible sample.
void memory(const Options &options);
// The alarm's bell against the moment the countdown's length has passed.
void phase(const Options &options);

} // namespace sorabune::bench
