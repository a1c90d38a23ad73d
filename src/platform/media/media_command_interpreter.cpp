#include "platform/media/media_command_interpreter.h"

#include "platform/media/media_command.h"
#include "platform/media/midi_device.h"
#include "platform/media/midi_file_reader.h"

#include <utility>

namespace sorabune {

MediaCommandInterpreter::MediaCommandInterpreter(std::unique_ptr<MidiDevice> device)
    : m_device(std::move(device))
{
}

MediaCommandInterpreter::~MediaCommandInterpreter() = default;

std::int32_t MediaCommandInterpreter::send(std::string_view command)
{
    MediaError result = MediaError::UnknownCommand;
    try {
        if (const auto parsed = parseMediaCommand(command)) {
            switch (parsed->verb) {
            case MediaCommand::Verb::Open: result = open(parsed->path, parsed->alias); break;
            case MediaCommand::Verb::Play: result = play(parsed->alias); break;
            case MediaCommand::Verb::Stop: result = stop(parsed->alias); break;
            case MediaCommand::Verb::Close: result = close(parsed->alias); break;
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
    m_device->prepare();
}

MediaError MediaCommandInterpreter::open(std::string_view path, std::string_view alias)
{
    if (m_openFiles.contains(alias))
        return MediaError::AliasAlreadyOpen;
    MidiFileContents file = readMidiFile(path);
    if (file.error != MediaError::Success)
        return file.error;
    if (m_openFiles.empty()) {
        if (const MediaError error = m_device->openOutput(); error != MediaError::Success)
            return error;
    }
    m_openFiles.emplace(alias, std::move(file.bytes));
    return MediaError::Success;
}

MediaError MediaCommandInterpreter::play(std::string_view alias)
{
    const auto file = m_openFiles.find(alias);
    if (file == m_openFiles.end())
        return MediaError::AliasNotOpen;
    if (m_playing == alias)
        return MediaError::Success; // already playing, on to its end
    const MediaError error = m_device->play(file->second);
    m_playing = error == MediaError::Success ? file->first : std::string();
    return error;
}

MediaError MediaCommandInterpreter::stop(std::string_view alias)
{
    if (!m_openFiles.contains(alias))
        return MediaError::AliasNotOpen;
    if (m_playing == alias) {
        m_device->stop();
        m_playing.clear();
    }
    return MediaError::Success;
}

MediaError MediaCommandInterpreter::close(std::string_view alias)
{
    const MediaError stopped = stop(alias);
    if (stopped != MediaError::Success)
        return stopped;
    m_openFiles.erase(m_openFiles.find(alias));
    if (m_openFiles.empty())
        m_device->closeOutput();
    return MediaError::Success;
}

} // namespace sorabune
