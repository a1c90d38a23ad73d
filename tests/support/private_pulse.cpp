#include "support/private_pulse.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sorabune::testing {
namespace {

const char *const helper = SORABUNE_TEST_SUPPORT_DIR "/private_pulse.py";

} // namespace

PrivatePulse::PrivatePulse()
{
    int toHelper[2];
    int fromHelper[2];
    if (::pipe2(toHelper, O_CLOEXEC) != 0 || ::pipe2(fromHelper, O_CLOEXEC) != 0) {
        m_error = "no pipe";
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(toHelper[0], STDIN_FILENO);
        ::dup2(fromHelper[1], STDOUT_FILENO);
        ::execl("/usr/bin/python3", "python3", helper, static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(toHelper[0]);
    ::close(fromHelper[1]);
    m_commands = ::fdopen(toHelper[1], "w");
    m_answers = ::fdopen(fromHelper[0], "r");
    if (m_pid < 0) {
        m_error = "fork failed";
        return;
    }

    for (std::string line = readLine(); line != "ready"; line = readLine()) {
        const std::size_t equals = line.find('=');
        if (line.empty() || line.starts_with("error: ") || equals == std::string::npos) {
            m_error = line.empty() ? "the helper ended without a word" : line;
            return;
        }
        m_environment.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
}

PrivatePulse::~PrivatePulse()
{
    if (m_commands)
        std::fclose(m_commands); // end of input: the helper stops the server and cleans up
    if (m_answers)
        std::fclose(m_answers);
    if (m_pid > 0) {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

void PrivatePulse::exportClientEnvironment() const
{
    for (const auto &[name, value] : m_environment)
        ::setenv(name.c_str(), value.c_str(), 1);
}

bool PrivatePulse::startRecording(const std::filesystem::path &file)
{
    return command("record " + file.string()) == "ok";
}

bool PrivatePulse::stopRecording()
{
    return command("stop-record") == "ok";
}

std::string PrivatePulse::sinkInputs() const
{
    std::string line = "env";
    for (const auto &[name, value] : m_environment)
        line += " '" + name + "=" + value + "'"; // folders of mkdtemp: no quote in them
    line += " pactl list sink-inputs 2>&1";
    std::string output;
    if (std::FILE *pipe = ::popen(line.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        ::pclose(pipe);
    }
    return output;
}

std::string PrivatePulse::command(const std::string &line)
{
    if (!running())
        return m_error;
    std::fputs((line + "\n").c_str(), m_commands);
    std::fflush(m_commands);
    return readLine();
}

std::string PrivatePulse::readLine()
{
    char *buffer = nullptr;
    std::size_t capacity = 0;
    const ssize_t length = ::getline(&buffer, &capacity, m_answers);
    std::string line = length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
    std::free(buffer);
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    return line;
}

std::vector<std::int16_t> readRecording(const std::filesystem::path &file)
{
    std::ifstream input(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto high = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        samples[i] = static_cast<std::int16_t>(low | high << 8);
    }
    return samples;
}

int peakOf(const std::vector<std::int16_t> &samples)
{
    int peak = 0;
    for (const std::int16_t sample : samples)
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    return peak;
}

} // namespace sorabune::testing
