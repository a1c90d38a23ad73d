// SPDX-License-Identifier: GPL-3.0-or-later
// Figures of the media commands, each printed as "name value" lines:
//   media_bench latency [RUNS]   open command to the first audible sample, through a private
//                                PulseAudio null sink, each run the first alarm of a fresh
//                                process: without and after prepare()
//   media_bench memory           what the soundfont, an open file and playing add to VmRSS
//   media_bench gain             peak dBFS of test files rendered offline at the chosen gain
//   media_bench write-band FILE  writes the small band of the tests (piano, strings, bass, brass, drums)
#include "platform/media/fluidsynth/fluid_midi_device.h"
#include "platform/media/fluidsynth/midi_synth.h"
#include "platform/media/media_command_interpreter.h"
#include "support/audio_level.h"
#include "support/midi_file_builder.h"
#include "support/private_pulse.h"

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace sorabune;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int rate = 44100;
// -60 dBFS: above FluidSynth's quietest output, far below any note.
constexpr int audible = 33;

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Records the null sink's monitor in 2 ms fragments and keeps when each
// fragment with an audible sample was read, less the samples after that one:
// an upper bound of when the sink played it, later by the record latency at most.
class OnsetRecorder {
public:
    OnsetRecorder()
    {
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, rate, 1};
        const std::uint32_t fragment = rate / 500 * sizeof(std::int16_t);
        const pa_buffer_attr attributes{static_cast<std::uint32_t>(-1), 0, 0, 0, fragment};
        int error = 0;
        m_stream = pa_simple_new(nullptr, "sorabune-bench", PA_STREAM_RECORD, "sorabune_null.monitor", "onset",
            &sampleFormat, nullptr, &attributes, &error);
        if (!m_stream) {
            std::fprintf(stderr, "cannot record: %d\n", error);
            std::exit(1);
        }
        m_thread = std::thread([this] { record(); });
    }
    ~OnsetRecorder()
    {
        m_running = false;
        m_thread.join();
        pa_simple_free(m_stream);
    }

    std::optional<Clock::time_point> firstSoundAfter(Clock::time_point since)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = std::find_if(m_sounds.begin(), m_sounds.end(), [&](auto at) { return at >= since; });
        return found == m_sounds.end() ? std::nullopt : std::optional(*found);
    }

private:
    void record()
    {
        std::vector<std::int16_t> fragment(rate / 500);
        while (m_running) {
            int error = 0;
            if (pa_simple_read(m_stream, fragment.data(), fragment.size() * sizeof(std::int16_t), &error) < 0)
                return;
            const auto readAt = Clock::now();
            const auto loud =
                std::find_if(fragment.begin(), fragment.end(), [](auto s) { return std::abs(s) >= audible; });
            if (loud == fragment.end())
                continue;
            const auto after = std::chrono::microseconds(1'000'000 * (fragment.end() - loud) / rate);
            const std::lock_guard lock(m_mutex);
            m_sounds.push_back(readAt - after);
        }
    }

    pa_simple *m_stream = nullptr;
    std::atomic<bool> m_running = true;
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_sounds;
    std::thread m_thread;
};

std::string openCommand(const std::string &path)
{
    return "open \"" + path + "\" alias bgm";
}

std::string writeSong(const std::vector<std::uint8_t> &bytes, const char *name)
{
    const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/" + name;
    testing::writeBytes(path, bytes);
    return path;
}

// One alarm in a fresh process, as the program's first: prints when the open
// command was sent (steady clock, shared by every process) and how long the
// commands took.
int playOnce(bool prepared, const std::string &song)
{
    MediaCommandInterpreter interpreter(SORABUNE_MIDI_MODULE);
    if (prepared) {
        interpreter.prepare(song);
        std::this_thread::sleep_for(1s);
    }
    const auto start = Clock::now();
    const bool opened = interpreter.send(openCommand(song)) == 0;
    const auto afterOpen = Clock::now();
    const bool played = interpreter.send("play bgm") == 0;
    const auto afterPlay = Clock::now();
    std::printf("%lld %.2f %.3f\n", static_cast<long long>(start.time_since_epoch().count()),
        milliseconds(afterOpen - start), milliseconds(afterPlay - afterOpen));
    std::fflush(stdout);
    std::this_thread::sleep_for(1s);
    interpreter.send("stop bgm");
    interpreter.send("close bgm");
    return opened && played ? 0 : 1;
}

int latency(int runs)
{
    testing::PrivatePulse pulse;
    if (!pulse.running()) {
        std::fprintf(stderr, "%s\n", pulse.error().c_str());
        return 1;
    }
    pulse.exportClientEnvironment();
    const std::string song = writeSong(testing::sustainedNoteFile(5.0), "sorabune-bench-song.mid");
    OnsetRecorder recorder;
    std::this_thread::sleep_for(3s); // a fresh null sink's monitor takes a moment to deliver

    std::vector<double> onset[2];
    std::vector<double> openTime[2];
    std::vector<double> playTime[2];
    for (int run = 0; run < runs; ++run) {
        for (const bool prepared : {false, true}) {
            const std::string command =
                "/proc/" + std::to_string(::getpid()) + "/exe play-once " + (prepared ? "prepared " : "cold ") + song;
            std::FILE *child = ::popen(command.c_str(), "r");
            long long start = 0;
            double open = 0;
            double play = 0;
            const bool answered = std::fscanf(child, "%lld %lf %lf", &start, &open, &play) == 3;
            const bool succeeded = ::pclose(child) == 0;
            const auto heard = recorder.firstSoundAfter(Clock::time_point(Clock::duration(start)));
            if (!answered || !succeeded || !heard) {
                std::fprintf(stderr, "run %d: no sound\n", run);
                return 1;
            }
            onset[prepared].push_back(milliseconds(*heard - Clock::time_point(Clock::duration(start))));
            openTime[prepared].push_back(open);
            playTime[prepared].push_back(play);
        }
    }
    for (const bool prepared : {false, true}) {
        const char *label = prepared ? "prepared" : "cold";
        std::printf("open_to_sound_ms_%s %.1f\n", label, median(onset[prepared]));
        std::printf("open_to_sound_ms_%s_min_max %.1f %.1f\n", label,
            *std::min_element(onset[prepared].begin(), onset[prepared].end()),
            *std::max_element(onset[prepared].begin(), onset[prepared].end()));
        std::printf("open_command_ms_%s %.1f\n", label, median(openTime[prepared]));
        std::printf("play_command_ms_%s %.2f\n", label, median(playTime[prepared]));
    }
    std::printf("runs %d\n", runs);
    return 0;
}

double residentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:"))
            return std::stod(line.substr(6)) / 1024;
    }
    return 0;
}

// One track of many short notes: the player keeps every event in memory.
std::vector<std::uint8_t> manyEvents(int notes)
{
    testing::MidiTrack track;
    for (int i = 0; i < notes; ++i)
        track.noteOn(0, 0, 60 + i % 12, 80).noteOff(1, 0, 60 + i % 12);
    return testing::midiFile({track.endOfTrack(0)});
}

int memory()
{
    testing::PrivatePulse pulse;
    if (!pulse.running()) {
        std::fprintf(stderr, "%s\n", pulse.error().c_str());
        return 1;
    }
    pulse.exportClientEnvironment();
    const std::string small = writeSong(testing::bandFile(), "sorabune-bench-band.mid");
    const auto bigBytes = manyEvents(100'000);
    const std::string big = writeSong(bigBytes, "sorabune-bench-big.mid");

    auto device = std::make_unique<FluidMidiDevice>();
    FluidMidiDevice &fluid = *device;
    MediaCommandInterpreter interpreter(std::move(device));
    const double base = residentMiB();
    interpreter.prepare(small);
    fluid.waitUntilIdle(10s);
    const double loaded = residentMiB();
    interpreter.send(openCommand(small));
    const double opened = residentMiB();
    interpreter.send("play bgm");
    std::this_thread::sleep_for(1s);
    const double playing = residentMiB();
    interpreter.send("close bgm");
    fluid.waitUntilIdle(10s);
    const double closed = residentMiB();
    interpreter.send(openCommand(big));
    interpreter.send("play bgm");
    std::this_thread::sleep_for(1s);
    const double playingBig = residentMiB();

    std::printf("rss_base_mib %.1f\n", base);
    std::printf("rss_synth_and_instruments_mib %.1f\n", loaded - base);
    std::printf("rss_open_small_file_and_output_mib %.1f\n", opened - loaded);
    std::printf("rss_play_small_file_mib %.1f\n", playing - opened);
    std::printf("rss_after_close_mib %.1f\n", closed - base);
    std::printf("rss_play_%zu_byte_file_of_200000_events_mib %.1f\n", bigBytes.size(), playingBig - closed);
    interpreter.send("close bgm");
    return 0;
}

// Renders a file through the synthesiser as the output would, for a few seconds.
double peakDbfs(MidiSynth &synth, const std::vector<std::uint8_t> &file)
{
    synth.prepare(file);
    synth.play(file);
    std::vector<float> left(4410);
    std::vector<float> right(4410);
    float peak = 0;
    for (int block = 0; block < 30; ++block) {
        synth.render(left, right);
        peak = std::max({peak, testing::peakOf(left), testing::peakOf(right)});
    }
    synth.stop();
    return 20 * std::log10(peak);
}

int gain()
{
    MidiSynth synth({"/usr/share/sounds/sf2/default-GM.sf2"});
    if (synth.prepare({}) != MediaError::Success)
        return 1;
    std::printf("gain %.2f\n", MidiSynth::kGain);
    std::printf("peak_dbfs_piano_note %.1f\n", peakDbfs(synth, testing::sustainedNoteFile(2.0)));
    std::printf("peak_dbfs_band %.1f\n", peakDbfs(synth, testing::bandFile()));
    std::printf("peak_dbfs_loudest %.1f\n", peakDbfs(synth, testing::loudFile()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "latency")
        return latency(argc > 2 ? std::atoi(argv[2]) : 7);
    if (what == "play-once" && argc == 4)
        return playOnce(std::string(argv[2]) == "prepared", argv[3]);
    if (what == "memory")
        return memory();
    if (what == "gain")
        return gain();
    if (what == "write-band" && argc == 3) {
        testing::writeBytes(argv[2], testing::bandFile());
        return 0;
    }
    std::fprintf(stderr, "usage: %s latency [RUNS] | memory | gain | write-band FILE\n", argv[0]);
    return 2;
}
