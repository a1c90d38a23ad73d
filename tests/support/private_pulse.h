#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace sorabune::testing {

// tests/support/private_pulse.py as a child process: a PulseAudio server of
// the test's own with a null sink whose monitor can be recorded. See the top
// of that file for what it does.
class PrivatePulse {
public:
    PrivatePulse();
    // Ends the helper, which stops the server and removes its folder.
    ~PrivatePulse();
    PrivatePulse(const PrivatePulse &) = delete;
    PrivatePulse &operator=(const PrivatePulse &) = delete;

    bool running() const { return m_error.empty(); }
    // Why the server could not start.
    const std::string &error() const { return m_error; }
    // What a client needs to reach the server (PULSE_SERVER and the rest).
    const std::vector<std::pair<std::string, std::string>> &clientEnvironment() const { return m_environment; }
    // Puts clientEnvironment() into this process's environment.
    void exportClientEnvironment() const;

    // Records the null sink's monitor into the file (raw 16-bit, 44100 Hz,
    // mono); returns once samples arrive.
    bool startRecording(const std::filesystem::path &file);
    bool stopRecording();

    // What `pactl list sink-inputs` says about the server's playback streams.
    std::string sinkInputs() const;

private:
    std::string command(const std::string &line);
    std::string readLine();

    pid_t m_pid = -1;
    std::FILE *m_commands = nullptr;
    std::FILE *m_answers = nullptr;
    std::string m_error;
    std::vector<std::pair<std::string, std::string>> m_environment;
};

// The 16-bit samples of a recording, and their largest magnitude.
std::vector<std::int16_t> readRecording(const std::filesystem::path &file);
int peakOf(const std::vector<std::int16_t> &samples);

} // namespace sorabune::testing
