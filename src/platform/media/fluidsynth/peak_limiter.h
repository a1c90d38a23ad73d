#pragma once

#include <span>

namespace sorabune {

// Keeps stereo samples below a ceiling: the gain drops at once to what the
// loudest sample allows, then recovers over about 100 ms. The synthesiser's
// gain is chosen for ordinary files; dense full-velocity passages would clip.
class PeakLimiter {
public:
    static constexpr float kCeiling = 0.891f; // -1 dBFS

    void process(std::span<float> left, std::span<float> right);
    void reset() { m_gain = 1.0f; }

private:
    float m_gain = 1.0f;
};

} // namespace sorabune
