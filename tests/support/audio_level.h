// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <type_traits>
#include <vector>

namespace sorabune::testing {

// The largest magnitude among samples: float, or 16-bit as an int.
template<typename Samples>
auto peakOf(const Samples &samples)
{
    using Sample = std::remove_cvref_t<decltype(*std::begin(samples))>;
    using Magnitude = std::conditional_t<std::is_floating_point_v<Sample>, Sample, int>;
    Magnitude peak = 0;
    for (const Sample sample : samples)
        peak = std::max(peak, static_cast<Magnitude>(std::abs(static_cast<Magnitude>(sample))));
    return peak;
}

// A stretch of sound: its first and one past its last loud sample.
struct Burst {
    std::size_t begin;
    std::size_t end;
};

// The stretches louder than `loud`, each parted from the next by at least
// `quietGap` samples of nothing louder.
template<typename Samples, typename Level>
std::vector<Burst> burstsOf(const Samples &samples, Level loud, std::size_t quietGap)
{
    std::vector<Burst> bursts;
    std::size_t index = 0;
    for (const auto sample : samples) {
        if (std::abs(sample) > loud) {
            if (bursts.empty() || index - bursts.back().end >= quietGap)
                bursts.push_back({index, index + 1});
            else
                bursts.back().end = index + 1;
        }
        ++index;
    }
    return bursts;
}

} // namespace sorabune::testing
