// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/private_pulse.h"

#include <algorithm>
#include <bit>
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
    // Little-endian, as this machine: read as they are, in one piece.
    static_assert(std::endian::native == std::endian::little);
    std::ifstream input(file, std::ios::binary | std::ios::ate);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(std::max<std::streamoff>(input.tellg(), 0)) / 2);
    input.seekg(0);
    input.read(reinterpret_cast<char *>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
    return samples;
}

std::vector<Burst> soundsIn(const std::filesystem::path &file, int loud)
{
    return burstsOf(readRecording(file), loud, kRecordingRate / 50);
}

} // namespace sorabune::testing
