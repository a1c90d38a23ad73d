// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/private_pulse.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace sorabune::testing {

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
    for (const auto &[name, value] : clientEnvironment())
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

std::vector<Burst> soundsIn(const std::filesystem::path &file, int loud)
{
    return burstsOf(readRecording(file), loud, kRecordingRate / 50);
}

} // namespace sorabune::testing
