// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace sorabune::bench {

// Records a PulseAudio source (the monitor of the null sink under test) in 2 ms
// fragments and finds the first sample at or above a threshold after arm(). Its
// time, on CLOCK_MONOTONIC, is when the sink rendered it: the moment its fragment
// is read, less the samples that follow it in what was there to read. A sink
// plays a sample at most its latency after rendering it. The latency the server
// reports for a monitor stream is no help: in some recordings it stays off by
// hundreds of milliseconds (seen +685 ms, while the data came on time).
class SoundOnset {
public:
    SoundOnset(const std::string &source, float threshold);
    ~SoundOnset();
    SoundOnset(const SoundOnset &) = delete;
    SoundOnset &operator=(const SoundOnset &) = delete;

    // Looks for sound rendered from now on; first waits out the start of the
    // recording, which may come in bursts.
    void arm();
    std::optional<double> waitForOnset(double deadlineMs);
    // When the first playback stream connected to the server after arm(), if one did.
    std::optional<double> streamConnected() const;

private:
    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onRead(pa_stream *stream, size_t bytes, void *self);
    static void onServerEvent(pa_context *context, pa_subscription_event_type_t type, std::uint32_t index, void *self);
    // endMs: when the sample after the last one was rendered.
    void scan(const float *samples, size_t count, double endMs);

    struct LoopDeleter {
        void operator()(pa_threaded_mainloop *loop) const;
    };
    struct ContextDeleter {
        void operator()(pa_context *context) const;
    };
    struct StreamDeleter {
        void operator()(pa_stream *stream) const;
    };

    float m_threshold;
    double m_startedMs = 0;
    double m_rate = 0; // of the source, in samples a second
    double m_armedMs = -1;
    std::optional<double> m_onsetMs;
    std::optional<double> m_streamMs;
    std::unique_ptr<pa_threaded_mainloop, LoopDeleter> m_loop;
    std::unique_ptr<pa_context, ContextDeleter> m_context;
    std::unique_ptr<pa_stream, StreamDeleter> m_stream;
};

} // namespace sorabune::bench
