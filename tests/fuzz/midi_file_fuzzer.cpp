// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes opened as a MIDI file: through our reader and checks, and
// whatever passes played on the real synthesiser and soundfont, rendered
// offline after its instruments are loaded. A file that passes must also be one FluidSynth's player reads
// without an error (else it would play silence instead of the beeps), and the
// samples must be numbers.
#include "platform/media/fluidsynth/midi_synth.h"
#include "platform/media/midi_file.h"
#include "support/installed_soundfonts.h"

#include <fluidsynth.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace sorabune;

MidiSynth *synth = nullptr;
int fluidErrors = 0;

void onFluidError(int, const char *message, void *)
{
    std::fprintf(stderr, "FluidSynth: %s\n", message);
    ++fluidErrors;
}

MidiFileContents readThroughAFile(const std::uint8_t *data, std::size_t size)
{
    const int fd = ::memfd_create("midi", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    MidiFileContents contents = readMidiFile("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
    return contents;
}

void renderAndCheck(std::size_t frames)
{
    std::array<float, 4096> left{};
    std::array<float, 4096> right{};
    for (std::size_t done = 0; done < frames; done += left.size()) {
        synth->render(left, right);
        for (std::size_t i = 0; i < left.size(); ++i) {
            if (!std::isfinite(left[i]) || !std::isfinite(right[i]))
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The smaller soundfont: more runs in the same time.
    synth = new MidiSynth({testing::kTimGM6mb});
    if (synth->prepare({}) != MediaError::Success)
        std::abort();
    fluid_set_log_function(FLUID_PANIC, onFluidError, nullptr);
    fluid_set_log_function(FLUID_ERR, onFluidError, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const MidiFileContents contents = readThroughAFile(data, size);
    const bool passes = isPlayableMidiFile({data, size});
    if (passes != (contents.error == MediaError::Success))
        std::abort(); // the reader and the checks disagree
    if (!passes)
        return 0;

    fluidErrors = 0;
    if (synth->prepare(contents.bytes) != MediaError::Success || synth->play(contents.bytes) != MediaError::Success)
        std::abort();
    renderAndCheck(22050); // half a second: the player reads the file at its start
    synth->stop();
    renderAndCheck(4096); // the fade
    if (fluidErrors != 0)
        std::abort();
    return 0;
}
