// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/midi_synth.h"

#include "support/audio_level.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace sorabune {
namespace {

using testing::peakOf;

// One second of a 441 Hz tone of the given amplitude, the same on both channels.
std::vector<float> tone(float amplitude)
{
    std::vector<float> samples(44100);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = amplitude * static_cast<float>(std::sin(2 * M_PI * 441 * static_cast<double>(i) / 44100));
    return samples;
}

TEST(PeakLimiterTest, LeavesOrdinaryLevelsUntouched)
{
    PeakLimiter limiter;
    auto left = tone(0.8f);
    auto right = tone(-0.5f);
    const auto expectedLeft = left;
    const auto expectedRight = right;
    limiter.process(left, right);
    EXPECT_EQ(left, expectedLeft);
    EXPECT_EQ(right, expectedRight);
}

TEST(PeakLimiterTest, HoldsALoudPassageBelowTheCeilingThenRecovers)
{
    PeakLimiter limiter;
    auto loudLeft = tone(4.0f);
    auto loudRight = tone(1.0f);
    limiter.process(loudLeft, loudRight);
    EXPECT_LE(peakOf(loudLeft), PeakLimiter::kCeiling + 1e-6f);
    EXPECT_GT(peakOf(loudLeft), PeakLimiter::kCeiling * 0.95f);
    EXPECT_LE(peakOf(loudRight), PeakLimiter::kCeiling / 4 * 1.01f) << "both channels take the same gain";

    auto quietLeft = tone(0.1f);
    auto quietRight = tone(0.1f);
    limiter.process(quietLeft, quietRight);
    const std::vector<float> lastTenth(quietLeft.end() - 4410, quietLeft.end());
    EXPECT_GT(peakOf(lastTenth), 0.099f) << "still turned down a second later";
}

} // namespace
} // namespace sorabune
