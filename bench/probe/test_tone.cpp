// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_tone.h"

#include "monotonic.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace sorabune::bench {

namespace {
constexpr pa_sample_spec kSpec{PA_SAMPLE_FLOAT32NE, 48000, 1};
constexpr double kSilenceMs = 200;
constexpr double kToneMs = 100;
constexpr double kTargetLatencyMs = 20;
} // namespace

TestTone::TestTone()
{
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetLatencyMs * 1000, &kSpec));
    attributes.prebuf = static_cast<std::uint32_t>(-1);
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    int error = 0;
    m_stream.reset(pa_simple_new(
        nullptr, "sorabune-probe", PA_STREAM_PLAYBACK, nullptr, "test tone", &kSpec, nullptr, &attributes, &error));
    if (!m_stream)
        throw std::runtime_error(std::string("cannot play on PulseAudio: ") + pa_strerror(error));
}

double TestTone::play()
{
    const auto rate = static_cast<double>(kSpec.rate);
    std::vector<float> samples(static_cast<size_t>((kSilenceMs + kToneMs) * rate / 1e3), 0.0f);
    for (auto i = static_cast<size_t>(kSilenceMs * rate / 1e3); i < samples.size(); ++i)
        samples[i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 440 * static_cast<double>(i) / rate));
    int error = 0;
    if (pa_simple_write(m_stream.get(), samples.data(), samples.size() * sizeof(float), &error) < 0)
        throw std::runtime_error(std::string("cannot play on PulseAudio: ") + pa_strerror(error));
    // The latency is how long until the last sample written plays.
    const double writtenMs = monotonicMs();
    const pa_usec_t latency = pa_simple_get_latency(m_stream.get(), &error);
    const double toneMs = writtenMs + static_cast<double>(latency) / 1e3 - kToneMs;
    pa_simple_drain(m_stream.get(), &error);
    return toneMs;
}

} // namespace sorabune::bench
