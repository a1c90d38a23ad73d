// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_onset.h"

#include "monotonic.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>

namespace sorabune::bench {

namespace {

// The rate is the source's own (PA_STREAM_FIX_RATE): a resampler would add its
// own delay and chunking.
constexpr pa_sample_spec kSpec{PA_SAMPLE_FLOAT32NE, 48000, 1};
constexpr double kFragmentMs = 2;
constexpr double kWarmUpMs = 500;

// pa_threaded_mainloop's lock for one scope.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop *loop)
        : m_loop(loop)
    {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock &) = delete;
    LoopLock &operator=(const LoopLock &) = delete;

private:
    pa_threaded_mainloop *m_loop;
};

} // namespace

void SoundOnset::LoopDeleter::operator()(pa_threaded_mainloop *loop) const
{
    pa_threaded_mainloop_free(loop);
}

void SoundOnset::ContextDeleter::operator()(pa_context *context) const
{
    pa_context_disconnect(context);
    pa_context_unref(context);
}

void SoundOnset::StreamDeleter::operator()(pa_stream *stream) const
{
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
}

SoundOnset::SoundOnset(const std::string &source, float threshold)
    : m_threshold(threshold)
    , m_loop(pa_threaded_mainloop_new())
{
    if (!m_loop)
        throw std::runtime_error("cannot create a PulseAudio main loop");
    try {
        LoopLock lock(m_loop.get());
        m_context.reset(pa_context_new(pa_threaded_mainloop_get_api(m_loop.get()), "sorabune-probe"));
        pa_context_set_state_callback(m_context.get(), &SoundOnset::onContextState, this);
        if (pa_context_connect(m_context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            throw std::runtime_error("cannot connect to the PulseAudio server");
        if (pa_threaded_mainloop_start(m_loop.get()) < 0)
            throw std::runtime_error("cannot start the PulseAudio main loop");
        while (pa_context_get_state(m_context.get()) != PA_CONTEXT_READY) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context.get())))
                throw std::runtime_error("the PulseAudio connection failed");
            pa_threaded_mainloop_wait(m_loop.get());
        }

        pa_context_set_subscribe_callback(m_context.get(), &SoundOnset::onServerEvent, this);
        pa_operation_unref(pa_context_subscribe(m_context.get(), PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr));
        m_stream.reset(pa_stream_new(m_context.get(), "onset", &kSpec, nullptr));
        pa_stream_set_state_callback(m_stream.get(), &SoundOnset::onStreamState, this);
        pa_stream_set_read_callback(m_stream.get(), &SoundOnset::onRead, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentMs * 1000, &kSpec));
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_FIX_RATE);
        if (pa_stream_connect_record(m_stream.get(), source.c_str(), &attributes, flags) < 0)
            throw std::runtime_error("cannot record from " + source);
        while (pa_stream_get_state(m_stream.get()) != PA_STREAM_READY) {
            if (!PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get())))
                throw std::runtime_error("cannot record from " + source);
            pa_threaded_mainloop_wait(m_loop.get());
        }
        m_rate = pa_stream_get_sample_spec(m_stream.get())->rate;
        m_startedMs = monotonicMs();
    } catch (...) {
        pa_threaded_mainloop_stop(m_loop.get());
        throw;
    }
}

SoundOnset::~SoundOnset()
{
    // The loop's thread stops first; then the stream, the context and the loop
    // are freed, in reverse order of creation.
    pa_threaded_mainloop_stop(m_loop.get());
}

void SoundOnset::onContextState(pa_context *, void *self)
{
    pa_threaded_mainloop_signal(static_cast<SoundOnset *>(self)->m_loop.get(), 0);
}

void SoundOnset::onStreamState(pa_stream *, void *self)
{
    pa_threaded_mainloop_signal(static_cast<SoundOnset *>(self)->m_loop.get(), 0);
}

void SoundOnset::onServerEvent(pa_context *, pa_subscription_event_type_t type, std::uint32_t, void *self)
{
    auto *onset = static_cast<SoundOnset *>(self);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT && kind == PA_SUBSCRIPTION_EVENT_NEW && onset->m_armedMs >= 0
        && !onset->m_streamMs)
        onset->m_streamMs = monotonicMs();
}

std::optional<double> SoundOnset::streamConnected() const
{
    LoopLock lock(m_loop.get());
    return m_streamMs;
}

void SoundOnset::onRead(pa_stream *stream, size_t, void *self)
{
    const double readMs = monotonicMs();
    const double bytesPerMs = static_cast<SoundOnset *>(self)->m_rate * sizeof(float) / 1e3;
    size_t unread = pa_stream_readable_size(stream);
    const void *data = nullptr;
    size_t bytes = 0;
    while (unread > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
        unread -= std::min(unread, bytes);
        if (data) {
            const double endMs = readMs - static_cast<double>(unread) / bytesPerMs;
            static_cast<SoundOnset *>(self)->scan(static_cast<const float *>(data), bytes / sizeof(float), endMs);
        }
        pa_stream_drop(stream);
    }
    // Wakes waitForOnset() on every fragment, so that it sees its deadline pass.
    pa_threaded_mainloop_signal(static_cast<SoundOnset *>(self)->m_loop.get(), 0);
}

void SoundOnset::scan(const float *samples, size_t count, double endMs)
{
    if (m_armedMs < 0 || m_onsetMs)
        return;
    for (size_t i = 0; i < count; ++i) {
        const double renderedMs = endMs - static_cast<double>(count - i) * 1e3 / m_rate;
        if (std::fabs(samples[i]) >= m_threshold && renderedMs >= m_armedMs) {
            m_onsetMs = renderedMs;
            return;
        }
    }
}

void SoundOnset::arm()
{
    const double readyMs = m_startedMs + kWarmUpMs;
    if (monotonicMs() < readyMs)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(readyMs - monotonicMs()));
    LoopLock lock(m_loop.get());
    m_onsetMs.reset();
    m_streamMs.reset();
    m_armedMs = monotonicMs();
}

std::optional<double> SoundOnset::waitForOnset(double deadlineMs)
{
    LoopLock lock(m_loop.get());
    while (!m_onsetMs && monotonicMs() < deadlineMs) {
        pa_threaded_mainloop_wait(m_loop.get());
    }
    return m_onsetMs;
}

} // namespace sorabune::bench
