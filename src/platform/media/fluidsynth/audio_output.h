#pragma once

#include <memory>
#include <span>

namespace sorabune {

// Where an output takes its samples from. render() runs on the output's own
// thread; left and right have the same size.
class AudioSource {
public:
    virtual void render(std::span<float> left, std::span<float> right) = 0;
    virtual double sampleRate() const = 0;

protected:
    ~AudioSource() = default;
};

// A running sound output; destroying it stops it and ends its thread. Both may
// take long (libpulse drains its buffer): only ever done on a background thread.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
};

class AudioOutputFactory {
public:
    virtual ~AudioOutputFactory() = default;
    // Starts pulling samples from the source, which outlives the output.
    // Returns null when there is no output. May block for as long as a sound
    // server takes to answer: called on a background thread only.
    virtual std::unique_ptr<AudioOutput> start(AudioSource &source) = 0;
};

} // namespace sorabune
