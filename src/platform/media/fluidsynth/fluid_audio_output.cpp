#include "platform/media/fluidsynth/fluid_audio_output.h"

#include "platform/media/fluidsynth/fluid_handles.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace sorabune {
namespace {

constexpr std::array driverNames{"pulseaudio", "alsa"};

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

int renderInto(void *data, int length, int, float *[], int outputCount, float *outputs[])
{
    if (outputCount < 2 || length < 0)
        return FLUID_FAILED;
    const auto frames = static_cast<std::size_t>(length);
    static_cast<AudioSource *>(data)->render({outputs[0], frames}, {outputs[1], frames});
    return FLUID_OK;
}

} // namespace

FluidAudioOutputFactory::FluidAudioOutputFactory()
{
    // FluidSynth names its PulseAudio client "FluidSynth" and offers no setting
    // for it; libpulse lets the environment override a client's properties when
    // it connects, whichever server (PulseAudio or PipeWire) answers. Set once,
    // here in the thread that loads the module, and never over the user's own.
    static const bool named = [] {
        ::setenv("PULSE_PROP_OVERRIDE_application.name", "Sorabune", 0);
        ::setenv("PULSE_PROP_OVERRIDE_application.id", SORABUNE_APP_ID, 0);
        ::setenv("PULSE_PROP_OVERRIDE_application.icon_name", SORABUNE_APP_ID, 0);
        return true;
    }();
    (void)named;
}

std::unique_ptr<AudioOutput> FluidAudioOutputFactory::start(AudioSource &source)
{
    for (const char *driverName : driverNames) {
        FluidSettings settings(new_fluid_settings());
        if (!settings)
            return nullptr;
        fluid_settings_setstr(settings.get(), "audio.driver", driverName);
        fluid_settings_setnum(settings.get(), "synth.sample-rate", source.sampleRate());
        FluidAudioDriver driver(new_fluid_audio_driver2(settings.get(), &renderInto, &source));
        if (driver)
            return std::make_unique<FluidAudioOutput>(std::move(settings), std::move(driver));
    }
    return nullptr;
}

} // namespace sorabune
