#include "platform/media/fluidsynth/fluid_audio_output.h"

#include "platform/media/fluidsynth/fluid_handles.h"

#include <array>
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
