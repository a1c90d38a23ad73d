// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/fluidsynth/fluid_midi_device.h"
#include "platform/media/fluidsynth/midi_synth.h"
#include "support/audio_level.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace sorabune::testing {

struct RenderedAudio {
    std::vector<float> left;
    std::vector<float> right;

    float peak() const { return std::max(peakOf(left), peakOf(right)); }
    float rms() const
    {
        double energy = 0;
        for (std::size_t i = 0; i < left.size(); ++i)
            energy += double{left[i]} * left[i] + double{right[i]} * right[i];
        return left.empty() ? 0.0f : static_cast<float>(std::sqrt(energy / (2.0 * static_cast<double>(left.size()))));
    }
};

// Outputs with no driver: the test renders, on its own thread, when it likes.
// The test keeps this control; the device keeps the start function made from it.
class ManualOutputControl {
public:
    enum class Start { Succeed, Refuse, HangUntilReleased };

    RenderedAudio render(std::size_t frames)
    {
        const std::lock_guard lock(m_mutex);
        if (!m_source)
            throw std::logic_error("no output is running");
        RenderedAudio audio{std::vector<float>(frames), std::vector<float>(frames)};
        m_source->render(audio.left, audio.right);
        return audio;
    }
    RenderedAudio renderSeconds(double seconds) { return render(static_cast<std::size_t>(seconds * 44100)); }

    void setStart(Start start)
    {
        const std::lock_guard lock(m_mutex);
        m_start = start;
        m_released.notify_all();
    }
    int started() const
    {
        const std::lock_guard lock(m_mutex);
        return m_started;
    }
    int running() const
    {
        const std::lock_guard lock(m_mutex);
        return m_running;
    }

private:
    friend StartAudioOutput manualOutput(std::shared_ptr<ManualOutputControl> control);
    friend class ManualOutput;

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    Start m_start = Start::Succeed;
    MidiSynth *m_source = nullptr;
    int m_started = 0;
    int m_running = 0;
};

class ManualOutput final : public AudioOutput {
public:
    explicit ManualOutput(std::shared_ptr<ManualOutputControl> control)
        : m_control(std::move(control))
    {
    }
    ~ManualOutput() override
    {
        const std::lock_guard lock(m_control->m_mutex);
        // An output let go after the next one started leaves that one rendering.
        if (--m_control->m_running == 0)
            m_control->m_source = nullptr;
    }

private:
    std::shared_ptr<ManualOutputControl> m_control;
};

inline StartAudioOutput manualOutput(std::shared_ptr<ManualOutputControl> control)
{
    return [control](MidiSynth &synth) -> std::unique_ptr<AudioOutput> {
        std::unique_lock lock(control->m_mutex);
        control->m_released.wait(
            lock, [&] { return control->m_start != ManualOutputControl::Start::HangUntilReleased; });
        if (control->m_start == ManualOutputControl::Start::Refuse)
            return nullptr;
        ++control->m_started;
        ++control->m_running;
        control->m_source = &synth;
        return std::make_unique<ManualOutput>(control);
    };
}

} // namespace sorabune::testing
