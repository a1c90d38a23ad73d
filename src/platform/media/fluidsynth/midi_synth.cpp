// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/midi_synth.h"

#include "platform/media/media_log.h"
#include "platform/media/midi_file.h"

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <malloc.h>
#include <utility>

namespace sorabune {
namespace {

// Long enough not to click, short enough to count as at once.
constexpr std::size_t kFadeFrames = 441; // 10 ms
// Four of FluidSynth's 64-frame blocks.
constexpr int kVoiceEndFrames = 256;
// 1 - e^(-1 / (100 ms at 44.1 kHz)): the share of the way back to full gain made per sample.
constexpr float kRecovery = 2.27e-4f;

constexpr int kChannels = 16;
constexpr int kDrumChannel = 9;
constexpr std::uint8_t kSystemExclusive = 0xF0;
// Roland's GS reset (without F0 and F7), to any device: FluidSynth's way back to
// its default bank select style, with every channel reset to its default instrument.
constexpr std::array<char, 9> kGsReset{0x41, 0x7F, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41};

// FluidSynth's warnings and errors (a sound server that is not there, an
// instrument missing from the soundfont) are steps of the trace; what fails is
// told once, in words, by the media commands.
void logFluidMessage(int, const char *message, void *)
{
    qCDebug(lcMedia, "FluidSynth: %s", message);
}

} // namespace

FluidSettings newFluidSettings()
{
    FluidSettings settings(new_fluid_settings());
    if (!settings)
        return settings;
    fluid_settings_setnum(settings.get(), "synth.sample-rate", MidiSynth::kSampleRate);
    fluid_settings_setnum(settings.get(), "synth.gain", MidiSynth::kGain);
    // A stopped alarm must leave nothing behind, and FluidSynth 2.3 has no way
    // to empty its reverb and chorus: their tail would open the next alarm.
    fluid_settings_setint(settings.get(), "synth.reverb.active", 0);
    fluid_settings_setint(settings.get(), "synth.chorus.active", 0);
    // Pinning samples into RAM only fails or warns for a desktop user.
    fluid_settings_setint(settings.get(), "synth.lock-memory", 0);
    // Samples are loaded preset by preset, as MidiSynth::prepare() asks.
    fluid_settings_setint(settings.get(), "synth.dynamic-sample-loading", 1);
    // The player advances with the rendered samples, on no thread of its own.
    fluid_settings_setstr(settings.get(), "player.timing-source", "sample");
    // Its reset at the end of a file would select instruments in the audio
    // thread; play() resets the channels itself.
    fluid_settings_setint(settings.get(), "player.reset-synth", 0);
    return settings;
}

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

MediaError MidiSynth::prepare(std::span<const std::uint8_t> midi)
{
    const std::lock_guard preparing(m_preparing);
    if (!m_synth) {
        if (const MediaError error = makeSynth(); error != MediaError::Success)
            return error;
    }
    if (std::equal(midi.begin(), midi.end(), m_preparedFile.begin(), m_preparedFile.end()))
        return MediaError::Success;
    QElapsedTimer timer;
    timer.start();
    m_preparedFile.clear(); // until the file's presets are in
    if (!m_soundfont->keepOnly({}))
        return MediaError::NoSoundfont;
    const std::set<Preset> chosen = presetsChosenBy(midi);
    if (!m_soundfont->keepOnly(chosen))
        return MediaError::NoSoundfont;
    m_preparedFile.assign(midi.begin(), midi.end());
    // What FluidSynth read of the whole preset data leaves the heap in pieces.
    ::malloc_trim(0);
    qCDebug(lcMedia, "the file's %zu instruments loaded in %lld ms", chosen.size(), timer.elapsed());
    return MediaError::Success;
}

MediaError MidiSynth::makeSynth()
{
    fluid_set_log_function(FLUID_ERR, logFluidMessage, nullptr);
    fluid_set_log_function(FLUID_WARN, logFluidMessage, nullptr);
    // FluidSynth names the driver it uses on stdout, every time. Its log is
    // process-wide, and this is its only user.
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);

    QElapsedTimer timer;
    timer.start();
    // Built outside the lock: rendering and stopping must not wait for it.
    FluidSettings settings = newFluidSettings();
    FluidSynth synth(settings ? new_fluid_synth(settings.get()) : nullptr);
    if (!synth)
        return MediaError::DeviceError;
    auto soundfont = ReducedSoundfont::loadFirst(synth.get(), settings.get(), m_soundfonts);
    if (!soundfont)
        return MediaError::NoSoundfont;
    qCDebug(lcMedia, "soundfont %s read in %lld ms", soundfont->path().c_str(), timer.elapsed());
    const std::lock_guard lock(m_mutex);
    m_settings = std::move(settings);
    m_synth = std::move(synth);
    m_soundfont = std::move(soundfont);
    return MediaError::Success;
}

std::set<Preset> MidiSynth::presetsChosenBy(std::span<const std::uint8_t> midi)
{
    // The file's events that choose instruments go through the synthesiser
    // itself, with no note and with no preset's zones loaded, so that its rules (bank select styles, drum channels,
    // missing instruments replaced, resets) decide what each channel comes to hold.
    fluid_synth_t *synth = m_synth.get();
    std::set<Preset> chosen;
    const auto addPresetOf = [&](int channel) {
        if (fluid_preset_t *preset = fluid_synth_get_channel_preset(synth, channel))
            chosen.insert({fluid_preset_get_banknum(preset), fluid_preset_get_num(preset)});
    };
    resetChannels();
    addPresetOf(0);
    addPresetOf(kDrumChannel);
    for (const InstrumentEvent &event : instrumentEvents(midi)) {
        const std::vector<std::uint8_t> &message = event.message;
        const int channel = message[0] & 0x0F;
        if (message[0] == kSystemExclusive) {
            if (message.size() > 1)
                fluid_synth_sysex(synth, reinterpret_cast<const char *>(message.data() + 1),
                    static_cast<int>(message.size() - 1), nullptr, nullptr, nullptr, 0);
            for (int each = 0; each < kChannels; ++each)
                addPresetOf(each);
        } else if ((message[0] & 0xF0) == 0xC0) {
            fluid_synth_program_change(synth, channel, message[1]);
            addPresetOf(channel);
        } else {
            fluid_synth_cc(synth, channel, message[1], message[2]);
        }
    }
    return chosen;
}

void MidiSynth::resetChannels()
{
    fluid_synth_sysex(m_synth.get(), kGsReset.data(), static_cast<int>(kGsReset.size()), nullptr, nullptr, nullptr, 0);
}

void MidiSynth::release(const std::function<bool()> &wantedAgain)
{
    const std::lock_guard preparing(m_preparing);
    if (wantedAgain())
        return;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_synth)
            return;
        m_player.reset();
        m_soundfont.reset();
        m_synth.reset();
        m_settings.reset();
        m_state = State::Silent;
    }
    m_preparedFile.clear();
    // Thousands of small blocks (the presets' zones, short samples) leave the
    // heap in pieces that the allocator would otherwise keep.
    ::malloc_trim(0);
    qCDebug(lcMedia, "the synthesiser, its soundfont and samples let go");
}

MediaError MidiSynth::play(std::span<const std::uint8_t> midi)
{
    const std::lock_guard lock(m_mutex);
    if (!m_synth)
        return MediaError::NoSoundfont;
    if (m_state == State::Playing)
        return MediaError::Success; // on to its end
    silenceNow();
    // The defaults, whose samples are loaded: a file starts as on a fresh synthesiser.
    resetChannels();

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
