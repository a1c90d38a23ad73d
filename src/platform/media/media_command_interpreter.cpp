// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/media_command_interpreter.h"

#include "platform/media/midi_device.h"
#include "platform/media/midi_file.h"

#include <QLoggingCategory>

#include <dlfcn.h>
#include <utility>

namespace sorabune {
namespace {

Q_LOGGING_CATEGORY(lcMedia, "sorabune.media", QtWarningMsg)

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
    MediaError result = MediaError::UnknownCommand;
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
    return static_cast<std::int32_t>(result);
}

void MediaCommandInterpreter::prepare()
{
    if (MidiDevice *loaded = device())
        loaded->prepare();
}

MidiDevice *MediaCommandInterpreter::device()
{
    if (m_device || m_modulePath.empty())
        return m_device.get();
    void *module = dlopen(m_modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        qCWarning(lcMedia, "cannot load the MIDI player: %s", dlerror());
        return nullptr;
    }
    auto *create = reinterpret_cast<CreateMidiDevice *>(dlsym(module, kCreateMidiDeviceSymbol));
    if (!create) {
        qCWarning(lcMedia, "%s is not a MIDI player module", m_modulePath.c_str());
        dlclose(module);
        return nullptr;
    }
    m_device.reset(create());
    if (!m_device)
        qCWarning(lcMedia, "the MIDI player could not be made");
    return m_device.get();
}

MediaError MediaCommandInterpreter::open(std::string_view path)
{
    if (m_file)
        return MediaError::AliasAlreadyOpen;
    MidiFileContents file = readMidiFile(path);
    if (file.error != MediaError::Success)
        return file.error;
    MidiDevice *output = device();
    if (!output)
        return MediaError::DeviceError;
    if (const MediaError error = output->openOutput(); error != MediaError::Success)
        return error;
    m_file = std::move(file.bytes);
    return MediaError::Success;
}

MediaError MediaCommandInterpreter::play()
{
    if (!m_file)
        return MediaError::AliasNotOpen;
    if (m_playing)
        return MediaError::Success; // already playing, on to its end
    const MediaError error = m_device->play(*m_file);
    m_playing = error == MediaError::Success;
    return error;
}

MediaError MediaCommandInterpreter::stop()
{
    if (!m_file)
        return MediaError::AliasNotOpen;
    if (m_playing) {
        m_device->stop();
        m_playing = false;
    }
    return MediaError::Success;
}

MediaError MediaCommandInterpreter::close()
{
    const MediaError stopped = stop();
    if (stopped != MediaError::Success)
        return stopped;
    m_file.reset();
    m_device->closeOutput();
    return MediaError::Success;
}

} // namespace sorabune
