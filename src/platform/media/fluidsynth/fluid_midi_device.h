// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/midi_device.h"
#include "platform/serial_worker.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sorabune {

class MidiSynth;

// A running sound output, pulling samples from the synth on a thread of its
// own. Destroying it stops it and ends that thread; both starting and
// destroying may take long (libpulse drains its buffer): only ever done on a
// background thread.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
};

// Starts an output of the synth, which outlives it; null when there is none.
// May block for as long as a sound server takes to answer.
using StartAudioOutput = std::function<std::unique_ptr<AudioOutput>(MidiSynth &synth)>;

// How long FluidMidiDevice::open() waits for the soundfont and the output
// before it reports no audio output, and how long the destructor waits for the
// jobs left, so that the program does not end under them.
struct DeviceLimits {
    std::chrono::milliseconds outputStart = MidiDevice::kOpenLimit;
    std::chrono::milliseconds shutdown{3000};
};

// The MIDI device on FluidSynth. Constructing it costs nothing; the soundfont
// is read and the sound output started on a background thread, because
// either can take long: reading 50-300 ms, and libpulse waits 30 s inside
// the driver's creation when a sound server accepts but never answers.
class FluidMidiDevice final : public MidiDevice {
public:
    // Debian's General MIDI soundfont (or a standard fallback), out through
    // FluidSynth's drivers: PulseAudio, which PipeWire's pulse server also
    // serves, named explicitly (FluidSynth's own default here is ALSA, with no
    // fallback), then ALSA. The sound server lists the stream as Sorabune's,
    // with its icon.
    FluidMidiDevice();
    // Tests choose the soundfonts, the output (one that renders on demand) and the limits.
    FluidMidiDevice(std::vector<std::string> soundfonts, StartAudioOutput startOutput, DeviceLimits limits = {});
    ~FluidMidiDevice() override;
    FluidMidiDevice(const FluidMidiDevice &) = delete;
    FluidMidiDevice &operator=(const FluidMidiDevice &) = delete;

    void prepare(std::span<const std::uint8_t> midi) override;
    MediaError open(std::span<const std::uint8_t> midi) override;
    void close() override;
    MediaError play(std::span<const std::uint8_t> midi) override;
    void stop() override;

    // Whether every background job has finished (and its thread ended), after waiting up to the limit.
    bool waitUntilIdle(std::chrono::milliseconds limit);

private:
    struct Engine;

    std::shared_ptr<Engine> m_engine;
    const DeviceLimits m_limits;
    SerialWorker m_starter; // prepares files and starts outputs, in order
};

} // namespace sorabune
