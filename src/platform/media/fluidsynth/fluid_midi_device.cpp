#include "platform/media/fluidsynth/fluid_midi_device.h"

#include "platform/media/fluidsynth/fluid_audio_output.h"
#include "platform/media/fluidsynth/midi_synth.h"

#include <algorithm>
#include <future>
#include <utility>

namespace sorabune {
namespace {

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
constexpr std::chrono::milliseconds fadeLimit{200};

} // namespace

// What the device shares with its background jobs; the output is touched only by them.
struct FluidMidiDevice::Engine {
    Engine(std::vector<std::string> soundfonts, std::unique_ptr<AudioOutputFactory> factory)
        : synth(std::move(soundfonts))
        , outputs(std::move(factory))
    {
    }

    MidiSynth synth;
    std::unique_ptr<AudioOutputFactory> outputs;
    std::unique_ptr<AudioOutput> output; // released before the synth it renders
};

FluidMidiDevice::FluidMidiDevice()
    : FluidMidiDevice(standardSoundfonts(), std::make_unique<FluidAudioOutputFactory>())
{
}

FluidMidiDevice::FluidMidiDevice(std::vector<std::string> soundfonts, std::unique_ptr<AudioOutputFactory> outputs)
    : m_engine(std::make_shared<Engine>(std::move(soundfonts), std::move(outputs)))
{
}

FluidMidiDevice::~FluidMidiDevice()
{
    if (m_outputOpen)
        closeOutput();
    waitUntilIdle(shutdownLimit);
}

void FluidMidiDevice::prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    m_starter.post([engine = m_engine] { engine->synth.load(); });
}

MediaError FluidMidiDevice::openOutput()
{
    m_prepared = true;
    auto answer = std::make_shared<std::promise<MediaError>>();
    std::future<MediaError> result = answer->get_future();
    m_starter.post([engine = m_engine, answer] {
        MediaError error = engine->synth.load();
        if (error == MediaError::Success && !engine->output) {
            engine->output = engine->outputs->start(engine->synth);
            if (!engine->output)
                error = MediaError::NoAudioOutput;
        }
        answer->set_value(error);
    });

    if (result.wait_for(outputStartLimit) != std::future_status::ready) {
        // Still starting against a server that does not answer: whatever it
        // starts in the end must be let go again.
        closeOutput();
        return MediaError::NoAudioOutput;
    }
    MediaError error = MediaError::NoAudioOutput;
    try {
        error = result.get();
    } catch (const std::future_error &) {
        // The job could not run (no thread): no output.
    }
    m_outputOpen = error == MediaError::Success;
    return error;
}

void FluidMidiDevice::closeOutput()
{
    m_outputOpen = false;
    // Taken in order with the starts, let go beside them.
    m_starter.post([engine = m_engine, releaser = m_releaser] {
        std::shared_ptr<AudioOutput> output = std::move(engine->output);
        if (!output)
            return;
        releaser.post([engine, output]() mutable {
            // The fade of a stop just sent plays out before its stream ends; cutting it would click.
            engine->synth.finishFade(fadeLimit);
            output.reset();
        });
    });
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
        && m_releaser.waitUntilIdle(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::max(deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero())));
}

} // namespace sorabune
