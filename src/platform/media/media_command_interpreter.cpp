// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/media_command_interpreter.h"

#include "platform/media/media_log.h"
#include "platform/media/midi_device.h"
#include "platform/media/midi_file.h"

#include <dlfcn.h>
#include <string>
#include <utility>

namespace sorabune {
namespace {

enum class Verb { Open, Play, Stop, Close };

struct Command {
    Verb verb;
    std::string_view path; // open only
};

// The path of an open command may itself hold `"` and even `" alias `: it runs
// to the last `" alias bgm`.
std::optional<Command> parseCommand(std::string_view text)
{
    if (text.size() >= kOpenBeforePath.size() + kOpenAfterPath.size() && text.starts_with(kOpenBeforePath)
        && text.ends_with(kOpenAfterPath)) {
        text.remove_prefix(kOpenBeforePath.size());
        text.remove_suffix(kOpenAfterPath.size());
        return Command{Verb::Open, text};
    }
    if (text == kPlayCommand)
        return Command{Verb::Play, {}};
    if (text == kStopCommand)
        return Command{Verb::Stop, {}};
    if (text == kCloseCommand)
        return Command{Verb::Close, {}};
    return std::nullopt;
}

} // namespace

MediaCommandInterpreter::MediaCommandInterpreter(std::string midiModulePath)
    : m_modulePath(std::move(midiModulePath))
{
}

MediaCommandInterpreter::MediaCommandInterpreter(std::unique_ptr<MidiDevice> device)
    : m_device(std::move(device))
{
}

// The module itself is never unloaded: the device may leave a thread behind in
// a sound server that does not answer, and that thread runs the module's code.
MediaCommandInterpreter::~MediaCommandInterpreter() = default;

std::int32_t MediaCommandInterpreter::send(std::string_view command)
{
    MediaError result = MediaError::AliasNotOpen;
    try {
        if (const auto parsed = parseCommand(command)) {
            switch (parsed->verb) {
            case Verb::Open:
                result = open(parsed->path);
                break;
            case Verb::Play:
                result = play();
                break;
            case Verb::Stop:
                result = stop();
                break;
            case Verb::Close:
                result = close();
                break;
            }
        }
    } catch (const std::exception &) {
        // Out of memory, or no thread to be had: an answer, never an exception.
        result = MediaError::DeviceError;
    }
    const std::string text(command);
    // Silencing what is not open is routine (every start does it), and a play
    // after a failed open has had its line.
    if (result == MediaError::Success || result == MediaError::AliasNotOpen)
        qCDebug(lcMedia, "%s: %s", text.c_str(), reason(result));
    else
        qCWarning(lcMedia, "%s failed: %s", text.c_str(), reason(result));
    return static_cast<std::int32_t>(result);
}

void MediaCommandInterpreter::prepare(std::string_view path)
{
    // The countdown asks at each of its last ticks: a file already prepared is not read again.
    const std::string name(path);
    const std::optional<FileStamp> stamp = FileStamp::of(name.c_str());
    if (stamp && m_prepared && m_prepared->path == name && m_prepared->stamp == *stamp)
        return;
    MidiFileContents file = readMidiFile(path);
    if (file.error != MediaError::Success) {
        qCDebug(
            lcMedia, "nothing to prepare for %.*s: %s", static_cast<int>(path.size()), path.data(), reason(file.error));
        return;
    }
    if (MidiDevice *device = loadDevice()) {
        qCDebug(lcMedia, "preparing for %.*s", static_cast<int>(path.size()), path.data());
        device->prepare(file.bytes);
        m_prepared = stamp ? std::optional(PreparedFile{name, *stamp}) : std::nullopt;
    }
}

MidiDevice *MediaCommandInterpreter::loadDevice()
{
    if (m_device || m_modulePath.empty())
        return m_device.get();
    qCDebug(lcMedia, "loading the MIDI player %s", m_modulePath.c_str());
    void *module = dlopen(m_modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        qCDebug(lcMedia, "cannot load the MIDI player: %s", dlerror());
        return nullptr;
    }
    auto *create = reinterpret_cast<CreateMidiDevice *>(dlsym(module, kCreateMidiDeviceSymbol));
    if (!create) {
        qCDebug(lcMedia, "%s is not a MIDI player module", m_modulePath.c_str());
        dlclose(module);
        return nullptr;
    }
    m_device.reset(create());
    if (!m_device)
        qCDebug(lcMedia, "the MIDI player could not be made");
    return m_device.get();
}

MediaError MediaCommandInterpreter::open(std::string_view path)
{
    if (m_file)
        close(); // one file under the alias: the new one takes its place
    MidiFileContents file = readMidiFile(path);
    if (file.error != MediaError::Success)
        return file.error;
    MidiDevice *device = loadDevice();
    if (!device)
        return MediaError::DeviceError;
    if (const MediaError error = device->open(file.bytes); error != MediaError::Success) {
        device->close();
        m_prepared.reset();
        return error;
    }
    m_file = std::move(file.bytes);
    return MediaError::Success;
}

MediaError MediaCommandInterpreter::play()
{
    if (!m_file)
        return MediaError::AliasNotOpen;
    return m_device->play(*m_file);
}

MediaError MediaCommandInterpreter::stop()
{
    if (!m_file)
        return MediaError::AliasNotOpen;
    m_device->stop();
    return MediaError::Success;
}

MediaError MediaCommandInterpreter::close()
{
    const bool wasOpen = m_file.has_value();
    if (wasOpen)
        m_device->stop();
    m_file.reset();
    // Also what a prepare loaded for an alarm that did not come.
    if (m_device)
        m_device->close();
    m_prepared.reset();
    return wasOpen ? MediaError::Success : MediaError::AliasNotOpen;
}

} // namespace sorabune
