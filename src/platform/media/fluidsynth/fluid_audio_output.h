#pragma once

#include "platform/media/fluidsynth/audio_output.h"

namespace sorabune {

// Sound out through FluidSynth's drivers: PulseAudio, which PipeWire's pulse
// server also serves, named explicitly (FluidSynth's own default here is ALSA,
// with no fallback), then ALSA. The sound server lists the stream as Sorabune's,
// with its icon.
class FluidAudioOutputFactory final : public AudioOutputFactory {
public:
    FluidAudioOutputFactory();
    std::unique_ptr<AudioOutput> start(AudioSource &source) override;
};

} // namespace sorabune
