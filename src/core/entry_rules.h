// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/controls.h"

#include <cstdint>
#include <string>
#include <string_view>

// The rules for the two entry boxes and the one time format of the program.
namespace sorabune {

inline constexpr int kMaxHours = 72;
inline constexpr int kMaxMinutes = 59;

// The code to deliver for a typed character, or 0 to swallow it. Codes of 32768
// and more arrive negative and are swallowed, like every non-digit but backspace;
// while the countdown runs nothing passes.
std::int16_t FilterEntryKey(std::int16_t key, bool running);

// The leading decimal number of a text (blanks before it skipped, an optional
// sign, an optional fraction); 0 when there is none.
double textValue(std::string_view text);

// Rounds to the nearest integer, halves to even. Values outside 32 bits
// saturate and NaN gives 0, so no text can make the conversion undefined.
std::int32_t roundToInt32(double value);

std::int32_t ComputeTotalSeconds(std::string_view hoursText, std::string_view minutesText);

struct CountdownParts {
    double HoursPart = 0;
    std::int32_t MinutesPart = 0;
    std::int16_t SecondsPart = 0;
};

// Floor for hours and minutes, truncating remainders: for negative n every
// part carries a minus sign.
CountdownParts SplitSeconds(std::int32_t n);

// "HH : MM : SS", each part with at least two digits and a leading minus sign
// when negative.
std::string FormatCountdown(const CountdownParts &parts);

} // namespace sorabune
