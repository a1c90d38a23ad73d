// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/fluidsynth/reduced_soundfont.h"
#include "platform/media/media_error.h"

#include <fluidsynth.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace sorabune {

// One owner per FluidSynth handle. Declare them in the order of creation, so
// that they are released in reverse: driver and player before the synth,
// the synth before its settings.
template<auto deleter>
struct FluidDeleter {
    template<typename T>
    void operator()(T *handle) const
    {
        deleter(handle);
    }
};

using FluidSettings = std::unique_ptr<fluid_settings_t, FluidDeleter<delete_fluid_settings>>;
using FluidSynth = std::unique_ptr<fluid_synth_t, FluidDeleter<delete_fluid_synth>>;
using FluidPlayer = std::unique_ptr<fluid_player_t, FluidDeleter<delete_fluid_player>>;
using FluidAudioDriver = std::unique_ptr<fluid_audio_driver_t, FluidDeleter<delete_fluid_audio_driver>>;

// The settings of the synthesiser and of its sound output, which must agree on the sample rate.
FluidSettings newFluidSettings();

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

// FluidSynth's synthesiser with a General MIDI soundfont, playing one file at
// a time. Only the presets the file can choose are loaded, with their
// samples, before it plays: FluidSynth loads a preset's samples from the disk
// when a channel selects it, which a file's program change would do in the
// audio thread. Each play gets a fresh player. Rendering, playing and stopping may
// come from different threads: one lock orders them, so the player is never
// created or deleted while the synth renders (FluidSynth 2.3 does not lock
// its timer list for that).
class MidiSynth final {
public:
    // The first of the soundfonts that loads is used.
    explicit MidiSynth(std::vector<std::string> soundfonts);
    ~MidiSynth();
    MidiSynth(const MidiSynth &) = delete;
    MidiSynth &operator=(const MidiSynth &) = delete;

    // Gets ready to play the file: makes the synthesiser unless that is done,
    // and loads the presets the file can choose, with their samples, in place
    // of an earlier file's. Reads the disk (up to a few hundred milliseconds):
    // a background thread only, and never while a file plays.
    MediaError prepare(std::span<const std::uint8_t> midi);
    // Lets go of the synthesiser, the soundfont and the samples, and gives the
    // memory back to the system, unless `wantedAgain` says a prepare was asked
    // for since: asked under prepare()'s lock, so that a later prepare is never
    // undone. As prepare(), with no output running.
    void release(const std::function<bool()> &wantedAgain);
    // Plays the file from its start, in place of what was stopped; a file that
    // plays goes on.
    MediaError play(std::span<const std::uint8_t> midi);
    // Stops the file; what sounds fades out over the next few milliseconds
    // that are rendered, then every voice is cut.
    void stop();
    // Waits, up to the limit, for a stop to fade out; then cuts whatever
    // still sounds, so that nothing hangs over to the next output.
    void finishFade(std::chrono::milliseconds limit);

    // Fills both channels (of the same size) with what plays: called by the
    // sound output, on its own thread.
    void render(std::span<float> left, std::span<float> right);

    static constexpr double kSampleRate = 44100.0;
    // Five times FluidSynth's default: a small band at ordinary volumes peaks
    // near -3 dBFS, one piano note near -18 dBFS. Denser passages are held
    // below full scale by the limiter.
    static constexpr double kGain = 1.0;

private:
    enum class State { Silent, Playing, FadingOut };

    MediaError makeSynth();
    std::set<Preset> presetsChosenBy(std::span<const std::uint8_t> midi);
    void resetChannels();
    void silenceNow();

    const std::vector<std::string> m_soundfonts;
    std::mutex m_preparing; // prepare() and release(), which run on different threads
    std::vector<std::uint8_t> m_preparedFile;

    std::mutex m_mutex;
    std::condition_variable m_faded;
    FluidSettings m_settings;
    FluidSynth m_synth;
    std::unique_ptr<ReducedSoundfont> m_soundfont; // prepare() and release() only
    FluidPlayer m_player;
    PeakLimiter m_limiter;
    State m_state = State::Silent;
    std::size_t m_fadeFramesLeft = 0;
};

} // namespace sorabune
