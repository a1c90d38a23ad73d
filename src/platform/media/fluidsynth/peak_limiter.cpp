#include "platform/media/fluidsynth/peak_limiter.h"

#include <algorithm>
#include <cmath>

namespace sorabune {
namespace {

// 1 - e^(-1 / (100 ms at 44.1 kHz)): the share of the way back to full gain made per sample.
constexpr float kRecovery = 2.27e-4f;

} // namespace

void PeakLimiter::process(std::span<float> left, std::span<float> right)
{
    const std::size_t frames = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < frames; ++i) {
        const float peak = std::max(std::fabs(left[i]), std::fabs(right[i]));
        if (peak * m_gain > kCeiling)
            m_gain = kCeiling / peak;
        left[i] *= m_gain;
        right[i] *= m_gain;
        m_gain += (1.0f - m_gain) * kRecovery;
    }
}

} // namespace sorabune
