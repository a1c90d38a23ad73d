// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/entry_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace sorabune {

std::int16_t FilterEntryKey(std::int16_t key, bool running)
{
    if (key != kBackspace && (key > '9' || key < '0'))
        key = 0;
    if (running)
        key = 0;
    return key;
}

double textValue(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    double sign = 1;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        sign = text[at] == '-' ? -1 : 1;
        ++at;
    }
    auto isDigit = [&] { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
    double value = 0;
    for (; isDigit(); ++at)
        value = value * 10 + (text[at] - '0');
    if (at < text.size() && text[at] == '.') {
        ++at;
        for (double scale = 0.1; isDigit(); ++at, scale /= 10)
            value += (text[at] - '0') * scale;
    }
    return sign * value;
}

std::int32_t roundToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<std::int32_t>(std::nearbyint(std::clamp(value, kLowest, kHighest)));
}

std::int32_t ComputeTotalSeconds(std::string_view hoursText, std::string_view minutesText)
{
    return roundToInt32(textValue(hoursText) * 3600 + textValue(minutesText) * 60);
}

CountdownParts SplitSeconds(std::int32_t n)
{
    return {.HoursPart = std::floor(n / 3600.0),
        .MinutesPart = static_cast<std::int32_t>(std::fmod(std::floor(n / 60.0), 60.0)),
        .SecondsPart = static_cast<std::int16_t>(n % 60)};
}

namespace {

// The number pattern "00": at least two digits, a minus sign in front when negative.
std::string formatTwoDigits(long long value)
{
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < 2)
        digits.insert(0, 1, '0');
    return value < 0 ? '-' + digits : digits;
}

} // namespace

std::string FormatCountdown(const CountdownParts &parts)
{
    // HoursPart is the floor of a 32-bit count divided by 3600: always a small integer.
    return formatTwoDigits(static_cast<long long>(parts.HoursPart)) + " : " + formatTwoDigits(parts.MinutesPart) + " : "
        + formatTwoDigits(parts.SecondsPart);
}

} // namespace sorabune
