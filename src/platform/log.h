// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace sorabune {

// The logging categories, one per service: QT_LOGGING_RULES turns each on and
// off, and every line about a service goes under its category, wherever it is
// written. Warnings are on by default.
inline constexpr char kBellLog[] = "sorabune.bell";
inline constexpr char kMediaLog[] = "sorabune.media";
inline constexpr char kPowerOffLog[] = "sorabune.poweroff";
inline constexpr char kSignalsLog[] = "sorabune.signals";
// Staying awake until the alarm, and how late an alarm comes after a sleep.
inline constexpr char kSuspendLog[] = "sorabune.suspend";

// A debug line from code that sees no Qt, under the logging category of that name.
void logDebug(const char *category, std::string_view text);

} // namespace sorabune
