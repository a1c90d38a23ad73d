// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/entry_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

namespace sorabune {
namespace {

struct KeyCase {
    const char *name;
    int key;
    bool running;
    int expected;
};

void PrintTo(const KeyCase &c, std::ostream *out)
{
    *out << c.name;
}

class FilterEntryKeyTest : public ::testing::TestWithParam<KeyCase> { };

TEST_P(FilterEntryKeyTest, PassesOrSwallows)
{
    const KeyCase &c = GetParam();
    EXPECT_EQ(FilterEntryKey(static_cast<std::int16_t>(c.key), c.running), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, FilterEntryKeyTest,
    ::testing::Values(KeyCase{"Digit0", '0', false, '0'}, KeyCase{"Digit5", '5', false, '5'},
        KeyCase{"Digit9", '9', false, '9'}, KeyCase{"Backspace", 8, false, 8}, KeyCase{"Letter", 'a', false, 0},
        KeyCase{"CapitalLetter", 'Z', false, 0}, KeyCase{"Minus", '-', false, 0},
        KeyCase{"DecimalPoint", '.', false, 0}, KeyCase{"Space", ' ', false, 0},
        KeyCase{"Colon", ':', false, 0}, // the code just above '9'
        KeyCase{"Slash", '/', false, 0}, // the code just below '0'
        KeyCase{"Tab", 9, false, 0}, KeyCase{"Enter", 13, false, 0}, KeyCase{"Escape", 27, false, 0},
        KeyCase{"Nul", 0, false, 0}, KeyCase{"Del", 127, false, 0}, KeyCase{"Kanji", 0x6642, false, 0}, // 時
        KeyCase{"FullWidthDigit", 0xFF11, false, 0}, // arrives negative
        KeyCase{"Code32768", 0x8000, false, 0}, KeyCase{"Code65535", 0xFFFF, false, 0},
        KeyCase{"DigitWhileRunning", '7', true, 0}, KeyCase{"BackspaceWhileRunning", 8, true, 0},
        KeyCase{"LetterWhileRunning", 'x', true, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TextValueTest, ReadsTheLeadingDecimalNumber)
{
    EXPECT_EQ(textValue(""), 0);
    EXPECT_EQ(textValue("0"), 0);
    EXPECT_EQ(textValue("07"), 7);
    EXPECT_EQ(textValue("72"), 72);
    EXPECT_EQ(textValue("-9"), -9);
    EXPECT_EQ(textValue("+5"), 5);
    EXPECT_EQ(textValue(" 8"), 8);
    EXPECT_EQ(textValue("5a"), 5);
    EXPECT_EQ(textValue("a5"), 0);
    EXPECT_EQ(textValue("-"), 0);
    EXPECT_EQ(textValue(" "), 0);
    EXPECT_DOUBLE_EQ(textValue(".5"), 0.5);
    EXPECT_DOUBLE_EQ(textValue("1.5"), 1.5);
}

TEST(TextValueTest, HugeTextStaysFinite)
{
    EXPECT_TRUE(std::isinf(textValue(std::string(400, '9'))));
    EXPECT_EQ(ComputeTotalSeconds(std::string(400, '9'), "0"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ComputeTotalSeconds("-" + std::string(400, '9'), "0"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ComputeTotalSeconds("-" + std::string(400, '9'), std::string(400, '9')), 0); // inf - inf
}

TEST(RoundToInt32Test, RoundsHalvesToEvenAndSaturates)
{
    EXPECT_EQ(roundToInt32(0.5), 0);
    EXPECT_EQ(roundToInt32(1.5), 2);
    EXPECT_EQ(roundToInt32(2.5), 2);
    EXPECT_EQ(roundToInt32(-0.5), 0);
    EXPECT_EQ(roundToInt32(-1.5), -2);
    EXPECT_EQ(roundToInt32(2.4999), 2);
    EXPECT_EQ(roundToInt32(2.5001), 3);
    EXPECT_EQ(roundToInt32(1e12), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(roundToInt32(-1e12), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(roundToInt32(std::nan("")), 0);
}

TEST(ComputeTotalSecondsTest, CombinesHoursAndMinutes)
{
    EXPECT_EQ(ComputeTotalSeconds("0", "0"), 0);
    EXPECT_EQ(ComputeTotalSeconds("1", "30"), 5400);
    EXPECT_EQ(ComputeTotalSeconds("", "5"), 300);
    EXPECT_EQ(ComputeTotalSeconds("72", "59"), 262740);
    EXPECT_EQ(ComputeTotalSeconds("-9", "-9"), -32940);
    EXPECT_EQ(ComputeTotalSeconds("0", ".5"), 30);
}

struct DisplayCase {
    const char *name;
    std::int32_t seconds;
    const char *text;
    double hours;
    std::int32_t minutes;
    std::int16_t secondsPart;
};

void PrintTo(const DisplayCase &c, std::ostream *out)
{
    *out << c.name;
}

class CountdownDisplayTest : public ::testing::TestWithParam<DisplayCase> { };

TEST_P(CountdownDisplayTest, SplitsAndFormats)
{
    const DisplayCase &c = GetParam();
    const CountdownParts parts = SplitSeconds(c.seconds);
    EXPECT_EQ(parts.HoursPart, c.hours);
    EXPECT_EQ(parts.MinutesPart, c.minutes);
    EXPECT_EQ(parts.SecondsPart, c.secondsPart);
    EXPECT_EQ(FormatCountdown(parts), c.text);
}

INSTANTIATE_TEST_SUITE_P(Seconds, CountdownDisplayTest,
    ::testing::Values(DisplayCase{"Zero", 0, "00 : 00 : 00", 0, 0, 0},
        DisplayCase{"OneSecond", 1, "00 : 00 : 01", 0, 0, 1},
        DisplayCase{"FiftyNineSeconds", 59, "00 : 00 : 59", 0, 0, 59},
        DisplayCase{"OneMinute", 60, "00 : 01 : 00", 0, 1, 0},
        DisplayCase{"OneHourTwoMinutesFiveSeconds", 3725, "01 : 02 : 05", 1, 2, 5},
        DisplayCase{"NineHoursAndABit", 9 * 3600 + 59 * 60 + 59, "09 : 59 : 59", 9, 59, 59},
        DisplayCase{"TenHours", 36000, "10 : 00 : 00", 10, 0, 0},
        DisplayCase{"LongestEntry", 262740, "72 : 59 : 00", 72, 59, 0},
        DisplayCase{"HundredHours", 360000, "100 : 00 : 00", 100, 0, 0},
        DisplayCase{"MinusOne", -1, "-01 : -01 : -01", -1, -1, -1},
        DisplayCase{"MinusSixty", -60, "-01 : -01 : 00", -1, -1, 0},
        DisplayCase{"MinusSixtyOne", -61, "-01 : -02 : -01", -1, -2, -1},
        DisplayCase{"LowestEntry", -32940, "-10 : -09 : 00", -10, -9, 0},
        DisplayCase{"Int32Max", 2147483647, "596523 : 14 : 07", 596523, 14, 7},
        DisplayCase{"Int32Min", -2147483647 - 1, "-596524 : -15 : -08", -596524, -15, -8}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace sorabune
