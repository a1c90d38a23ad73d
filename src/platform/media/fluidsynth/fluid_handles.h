#pragma once

#include <fluidsynth.h>

#include <memory>

namespace sorabune {

// One owner per FluidSynth handle. Declare them in the order of creation, so
// that they are released in reverse: driver and player before the synth,
// the synth before its settings.
template<auto deleter>
struct FluidDeleter {
    template<typename T>
    void operator()(T *handle) const { deleter(handle); }
};

using FluidSettings = std::unique_ptr<fluid_settings_t, FluidDeleter<delete_fluid_settings>>;
using FluidSynth = std::unique_ptr<fluid_synth_t, FluidDeleter<delete_fluid_synth>>;
using FluidPlayer = std::unique_ptr<fluid_player_t, FluidDeleter<delete_fluid_player>>;
using FluidAudioDriver = std::unique_ptr<fluid_audio_driver_t, FluidDeleter<delete_fluid_audio_driver>>;

} // namespace sorabune
