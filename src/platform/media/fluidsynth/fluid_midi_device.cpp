// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/fluidsynth/fluid_midi_device.h"

#include "platform/media/fluidsynth/midi_synth.h"
#include "platform/media/media_log.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <future>
#include <utility>

namespace sorabune {
namespace {

constexpr std::array kDriverNames{"pulseaudio", "alsa"};

class FluidAudioOutput final : public AudioOutput {
public:
    FluidAudioOutput(FluidSettings settings, FluidAudioDriver driver)
        : m_settings(std::move(settings))
        , m_driver(std::move(driver))
    {
    }

private:
    FluidSettings m_settings;
    FluidAudioDriver m_driver;
};

int renderInto(void *synth, int length, int, float *[], int outputCount, float *outputs[])
{
    if (outputCount < 2 || length < 0)
        return FLUID_FAILED;
    const auto frames = static_cast<std::size_t>(length);
    static_cast<MidiSynth *>(synth)->render({outputs[0], frames}, {outputs[1], frames});
    return FLUID_OK;
}

std::unique_ptr<AudioOutput> startFluidAudioOutput(MidiSynth &synth)
{
    for (const char *driverName : kDriverNames) {
        FluidSettings settings = newFluidSettings();
        if (!settings)
            return nullptr;
        fluid_settings_setstr(settings.get(), "audio.driver", driverName);
        FluidAudioDriver driver(new_fluid_audio_driver2(settings.get(), &renderInto, &synth));
        if (driver) {
            qCDebug(lcMedia, "sound output started through %s", driverName);
            return std::make_unique<FluidAudioOutput>(std::move(settings), std::move(driver));
        }
        qCDebug(lcMedia, "no sound output through %s", driverName);
    }
    return nullptr;
}

std::vector<std::string> standardSoundfonts()
{
    return {
        "/usr/share/sounds/sf2/default-GM.sf2", // Debian's alternative, timgm6mb-soundfont by default
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/soundfonts/default.sf2", // Fedora and Arch
        "/usr/share/soundfonts/FluidR3_GM.sf2",
    };
}

// How long closing waits for a stop to fade out before the output goes.
constexpr std::chrono::milliseconds kFadeLimit{200};

} // namespace

// What the device shares with its background jobs; the output is touched only by them.
struct FluidMidiDevice::Engine {
    Engine(std::vector<std::string> soundfonts, StartAudioOutput start)
        : synth(std::move(soundfonts))
        , startOutput(std::move(start))
    {
    }

    MidiSynth synth;
    StartAudioOutput startOutput;
    std::unique_ptr<AudioOutput> output; // released before the synth it renders
    // Lets outputs and the synthesiser go: libpulse may take a second or two to
    // close a stream, and the next open must not wait for that.
    SerialWorker releaser;
    // Counted by each prepare and open when asked for, and their count at the
    // last close: a close lets the synthesiser go only if nothing wanted it since.
    std::atomic<unsigned> preparations = 0;
    std::atomic<unsigned> closedAt = 0;
};

FluidMidiDevice::FluidMidiDevice()
    : FluidMidiDevice(standardSoundfonts(), startFluidAudioOutput)
{
    // FluidSynth names its PulseAudio client "FluidSynth" and offers no setting
    // for it; libpulse lets the environment override a client's properties when
    // it connects, whichever server (PulseAudio or PipeWire) answers. Set here,
    // in the thread that loads the module, and never over the user's own.
    ::setenv("PULSE_PROP_OVERRIDE_application.name", "Sorabune", 0);
    ::setenv("PULSE_PROP_OVERRIDE_application.id", SORABUNE_APP_ID, 0);
    ::setenv("PULSE_PROP_OVERRIDE_application.icon_name", SORABUNE_APP_ID, 0);
}

FluidMidiDevice::FluidMidiDevice(std::vector<std::string> soundfonts, StartAudioOutput startOutput, DeviceLimits limits)
    : m_engine(std::make_shared<Engine>(std::move(soundfonts), std::move(startOutput)))
    , m_limits(limits)
{
}

FluidMidiDevice::~FluidMidiDevice()
{
    close();
    waitUntilIdle(m_limits.shutdown);
}

void FluidMidiDevice::prepare(std::span<const std::uint8_t> midi)
{
    ++m_engine->preparations;
    m_starter.post(
        [](const auto &engine, const auto &file) {
            if (const MediaError error = engine->synth.prepare(*file); error != MediaError::Success)
                qCDebug(lcMedia, "not prepared: %s", reason(error));
        },
        m_engine, std::make_shared<const std::vector<std::uint8_t>>(midi.begin(), midi.end()));
}

MediaError FluidMidiDevice::open(std::span<const std::uint8_t> midi)
{
    ++m_engine->preparations;
    auto answer = std::make_shared<std::promise<MediaError>>();
    std::future<MediaError> result = answer->get_future();
    m_starter.post(
        [](const auto &engine, const auto &file, const auto &answer) {
            MediaError error = engine->synth.prepare(*file);
            if (error == MediaError::Success && !engine->output) {
                engine->output = engine->startOutput(engine->synth);
                if (!engine->output)
                    error = MediaError::NoAudioOutput;
            }
            answer->set_value(error);
        },
        m_engine, std::make_shared<const std::vector<std::uint8_t>>(midi.begin(), midi.end()), answer);

    if (result.wait_for(m_limits.outputStart) != std::future_status::ready) {
        // Still starting against a server that does not answer: whatever it
        // starts in the end must be let go again.
        qCDebug(lcMedia, "no sound output within %lld ms", static_cast<long long>(m_limits.outputStart.count()));
        close();
        return MediaError::NoAudioOutput;
    }
    try {
        return result.get();
    } catch (const std::future_error &) {
        return MediaError::NoAudioOutput; // the job could not run (no thread)
    }
}

void FluidMidiDevice::close()
{
    const unsigned asked = m_engine->preparations;
    if (m_engine->closedAt.exchange(asked) == asked)
        return; // nothing asked for since the last close: nothing to let go
    // Taken in order with the starts, let go beside them.
    m_starter.post(
        [](const auto &engine) {
            engine->releaser.post(
                [](const auto &engine, auto &output) {
                    if (output) {
                        // The fade of a stop just sent plays out before its stream ends; cutting it would click.
                        engine->synth.finishFade(kFadeLimit);
                        output.reset();
                    }
                    engine->synth.release([&] { return engine->preparations != engine->closedAt; });
                },
                engine, std::shared_ptr<AudioOutput>(std::move(engine->output)));
        },
        m_engine);
}

MediaError FluidMidiDevice::play(std::span<const std::uint8_t> midi)
{
    return m_engine->synth.play(midi);
}

void FluidMidiDevice::stop()
{
    m_engine->synth.stop();
}

bool FluidMidiDevice::waitUntilIdle(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // The starter first: its last job may hand an output to the releaser.
    return m_starter.waitUntilIdle(limit)
        && m_engine->releaser.waitUntilIdle(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::max(deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero())));
}

} // namespace sorabune
