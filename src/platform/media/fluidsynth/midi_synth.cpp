// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/midi_synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unistd.h>
#include <utility>

namespace sorabune {
namespace {

// Long enough not to click, short enough to count as at once.
constexpr std::size_t kFadeFrames = 441; // 10 ms
// Four of FluidSynth's 64-frame blocks.
constexpr int kVoiceEndFrames = 256;
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

MidiSynth::MidiSynth(std::vector<std::string> soundfonts)
    : m_soundfonts(std::move(soundfonts))
{
}

MidiSynth::~MidiSynth() = default;

MediaError MidiSynth::load()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_synth)
            return MediaError::Success;
    }

    // FluidSynth names the driver it uses on stdout, every time; warnings and
    // errors still go to stderr. Its log is process-wide, and this is its only user.
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);

    // Built outside the lock: rendering and stopping must not wait 100 ms for it.
    FluidSettings settings(new_fluid_settings());
    if (!settings)
        return MediaError::DeviceError;
    fluid_settings_setnum(settings.get(), "synth.sample-rate", kSampleRate);
    fluid_settings_setnum(settings.get(), "synth.gain", kGain);
    // A stopped alarm must leave nothing behind, and FluidSynth 2.3 has no way
    // to empty its reverb and chorus: their tail would open the next alarm.
    fluid_settings_setint(settings.get(), "synth.reverb.active", 0);
    fluid_settings_setint(settings.get(), "synth.chorus.active", 0);
    // Pinning 6 MB of samples into RAM only fails or warns for a desktop user.
    fluid_settings_setint(settings.get(), "synth.lock-memory", 0);
    // The player advances with the rendered samples, on no thread of its own.
    fluid_settings_setstr(settings.get(), "player.timing-source", "sample");
    FluidSynth synth(new_fluid_synth(settings.get()));
    if (!synth)
        return MediaError::DeviceError;

    const auto loaded = std::find_if(m_soundfonts.begin(), m_soundfonts.end(), [&](const std::string &path) {
        // Checked first so that a missing fallback leaves no error in the log.
        return ::access(path.c_str(), R_OK) == 0 && fluid_synth_sfload(synth.get(), path.c_str(), 1) != FLUID_FAILED;
    });
    if (loaded == m_soundfonts.end())
        return MediaError::NoSoundfont;

    const std::lock_guard lock(m_mutex);
    m_settings = std::move(settings);
    m_synth = std::move(synth);
    return MediaError::Success;
}

MediaError MidiSynth::play(std::span<const std::uint8_t> midi)
{
    const std::lock_guard lock(m_mutex);
    if (!m_synth)
        return MediaError::NoSoundfont;
    silenceNow();

    // A fresh player for every start. FluidSynth 2.3.1 kills a player that is
    // played again after a stop, and a note that lingers keeps a player from
    // ever reporting that it is done; a new player has neither history.
    FluidPlayer player(new_fluid_player(m_synth.get()));
    if (!player || fluid_player_add_mem(player.get(), midi.data(), midi.size()) != FLUID_OK
        || fluid_player_play(player.get()) != FLUID_OK)
        return MediaError::DeviceError;
    m_player = std::move(player);
    m_state = State::Playing;
    return MediaError::Success;
}

void MidiSynth::stop()
{
    const std::lock_guard lock(m_mutex);
    if (m_state != State::Playing)
        return;
    // Without its player no new note starts; the notes that sound fade out in render().
    m_player.reset();
    m_state = State::FadingOut;
    m_fadeFramesLeft = kFadeFrames;
}

void MidiSynth::finishFade(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    m_faded.wait_for(lock, limit, [this] { return m_state != State::FadingOut; });
    if (m_state == State::FadingOut)
        silenceNow();
}

void MidiSynth::silenceNow()
{
    m_player.reset();
    if (m_synth) {
        // All Sound Off ends each voice within one block of rendering; that
        // block is rendered and dropped here, not heard at the next start.
        fluid_synth_all_sounds_off(m_synth.get(), -1);
        std::array<float, kVoiceEndFrames> left{};
        std::array<float, kVoiceEndFrames> right{};
        fluid_synth_write_float(m_synth.get(), kVoiceEndFrames, left.data(), 0, 1, right.data(), 0, 1);
    }
    m_limiter.reset();
    m_state = State::Silent;
    m_fadeFramesLeft = 0;
}

void MidiSynth::render(std::span<float> left, std::span<float> right)
{
    const std::lock_guard lock(m_mutex);
    const std::size_t frames = std::min(left.size(), right.size());
    if (m_state == State::Silent) {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        return;
    }
    fluid_synth_write_float(m_synth.get(), static_cast<int>(frames), left.data(), 0, 1, right.data(), 0, 1);
    m_limiter.process(left, right);
    if (m_state == State::Playing)
        return;

    for (std::size_t i = 0; i < frames; ++i) {
        const float level = static_cast<float>(m_fadeFramesLeft) / kFadeFrames;
        left[i] *= level;
        right[i] *= level;
        if (m_fadeFramesLeft > 0)
            --m_fadeFramesLeft;
    }
    if (m_fadeFramesLeft == 0) {
        silenceNow();
        m_faded.notify_all();
    }
}

} // namespace sorabune
