// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/midi_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sorabune {
namespace {

// A cursor over the bytes that never reads past their end.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes)
    {
    }

    bool atEnd() const { return m_position == m_bytes.size(); }

    std::optional<std::uint8_t> byte()
    {
        if (atEnd())
            return std::nullopt;
        return m_bytes[m_position++];
    }

    std::optional<std::uint32_t> bigEndian(std::size_t width)
    {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const auto next = byte();
            if (!next)
                return std::nullopt;
            value = value << 8 | *next;
        }
        return value;
    }

    // A variable-length quantity: at most four bytes, seven bits each.
    std::optional<std::uint32_t> variableLength()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto next = byte();
            if (!next)
                return std::nullopt;
            value = value << 7 | (*next & 0x7Fu);
            if ((*next & 0x80u) == 0)
                return value;
        }
        return std::nullopt;
    }

    std::optional<std::span<const std::uint8_t>> take(std::size_t count)
    {
        if (count > m_bytes.size() - m_position)
            return std::nullopt;
        const auto taken = m_bytes.subspan(m_position, count);
        m_position += count;
        return taken;
    }

    bool tagIs(std::span<const std::uint8_t> tag, std::string_view expected)
    {
        return std::string_view(reinterpret_cast<const char *>(tag.data()), tag.size()) == expected;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

constexpr std::uint8_t kMetaEvent = 0xFF;
constexpr std::uint8_t kSystemExclusive = 0xF0;
constexpr std::uint8_t kEndOfExclusive = 0xF7;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;

// FluidSynth refuses the whole file when one of these meta events has another length.
std::optional<std::uint32_t> requiredMetaLength(std::uint8_t type)
{
    switch (type) {
    case kMetaEndOfTrack:
        return 0;
    case kMetaTempo:
        return 3;
    case 0x54:
        return 5; // SMPTE offset
    case 0x58:
        return 4; // time signature
    case 0x59:
        return 2; // key signature
    default:
        return std::nullopt;
    }
}

bool isDataByte(std::uint8_t value)
{
    return value < 0x80;
}

bool choosesInstrument(std::uint8_t status, std::uint8_t firstData)
{
    constexpr std::uint8_t kBankSelect = 0, kBankSelectLsb = 32;
    return (status & 0xF0) == 0xC0
        || ((status & 0xF0) == 0xB0 && (firstData == kBankSelect || firstData == kBankSelectLsb));
}

// The events of one track chunk, and those of them that choose instruments
// when `instruments` is given. Sysex and meta events end running status, as
// the format says; FluidSynth reads a data byte after them as another meta
// event, so such files are refused rather than played as garbage.
bool isPlayableTrack(
    std::span<const std::uint8_t> track, std::size_t &events, std::vector<InstrumentEvent> *instruments)
{
    ByteReader reader(track);
    std::uint8_t runningStatus = 0;
    std::uint64_t ticks = 0;
    while (!reader.atEnd()) {
        const auto delta = reader.variableLength();
        // The player adds up a track's ticks in an int.
        if (!delta || (ticks += *delta) > std::numeric_limits<std::int32_t>::max())
            return false;
        if (++events > kMaxMidiEvents)
            return false;

        const auto first = reader.byte();
        if (!first)
            return false;
        std::optional<std::uint8_t> pendingData;
        std::uint8_t status = *first;
        if (isDataByte(status)) {
            if (runningStatus == 0)
                return false;
            pendingData = status;
            status = runningStatus;
        }

        if (status < 0xF0) {
            // Program change and channel pressure carry one data byte, the others two.
            const std::size_t size = (status & 0xE0) == 0xC0 ? 2 : 3;
            std::array<std::uint8_t, 3> message{status};
            for (std::size_t i = 1; i < size; ++i) {
                const auto data = i == 1 && pendingData ? pendingData : reader.byte();
                if (!data || !isDataByte(*data))
                    return false;
                message[i] = *data;
            }
            if (instruments && choosesInstrument(status, message[1]))
                instruments->push_back({static_cast<std::uint32_t>(ticks), {message.begin(), message.begin() + size}});
            runningStatus = status;
        } else if (status == kSystemExclusive) {
            const auto length = reader.variableLength();
            const auto data = length ? reader.take(*length) : std::nullopt;
            if (!data)
                return false;
            // A reset or a drum part chooses instruments too. As the player, without the closing F7.
            if (instruments) {
                std::vector<std::uint8_t> message{kSystemExclusive};
                message.insert(message.end(), data->begin(), data->end());
                if (message.size() > 1 && message.back() == kEndOfExclusive)
                    message.pop_back();
                instruments->push_back({static_cast<std::uint32_t>(ticks), std::move(message)});
            }
            runningStatus = 0;
        } else if (status == kMetaEvent) {
            const auto type = reader.byte();
            const auto length = type && isDataByte(*type) ? reader.variableLength() : std::nullopt;
            const auto data = length ? reader.take(*length) : std::nullopt;
            if (!data)
                return false;
            const auto required = requiredMetaLength(*type);
            if (required && *length != *required)
                return false;
            if (*type == kMetaEndOfTrack)
                return true; // the player ignores whatever follows
            // The player divides by the tempo: zero would stop its clock for good.
            if (*type == kMetaTempo && std::all_of(data->begin(), data->end(), [](auto b) { return b == 0; }))
                return false;
            runningStatus = 0;
        } else {
            // Sysex continuations and the system messages that have no place in a file.
            return false;
        }
    }
    return true; // no end-of-track event: the player ends the track with its chunk
}

bool isChunkName(std::span<const std::uint8_t> tag)
{
    for (const std::uint8_t c : tag) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }

private:
    int m_fd;
};

MidiFileContents failure(MediaError error)
{
    return {error, {}};
}

} // namespace

namespace {

bool readMidi(std::span<const std::uint8_t> bytes, std::vector<InstrumentEvent> *instruments)
{
    ByteReader reader(bytes);
    const auto headerTag = reader.take(4);
    if (!headerTag || !reader.tagIs(*headerTag, "MThd"))
        return false;
    // FluidSynth reads exactly six header bytes, whatever the length says.
    const auto headerLength = reader.bigEndian(4);
    const auto format = reader.bigEndian(2);
    const auto trackCount = reader.bigEndian(2);
    const auto division = reader.bigEndian(2);
    if (!headerLength || !format || !trackCount || !division || *headerLength != 6 || *format > 2 || *trackCount == 0
        || *trackCount > kMaxMidiTracks)
        return false;
    // Zero ticks per beat cannot be played, and the player does not support SMPTE timing.
    if (*division == 0 || (*division & 0x8000u) != 0)
        return false;

    std::size_t events = 0;
    for (std::uint32_t found = 0; found < *trackCount;) {
        const auto tag = reader.take(4);
        const auto length = reader.bigEndian(4);
        if (!tag || !length)
            return false;
        const auto chunk = reader.take(*length);
        if (!chunk || !isChunkName(*tag))
            return false;
        if (!reader.tagIs(*tag, "MTrk"))
            continue; // chunks of other kinds are skipped, by the format and by the player
        if (!isPlayableTrack(*chunk, events, instruments))
            return false;
        ++found;
    }
    return true; // bytes after the last track are ignored
}

} // namespace

bool isPlayableMidiFile(std::span<const std::uint8_t> bytes)
{
    return readMidi(bytes, nullptr);
}

std::vector<InstrumentEvent> instrumentEvents(std::span<const std::uint8_t> bytes)
{
    std::vector<InstrumentEvent> events;
    if (!readMidi(bytes, &events))
        return {};
    // In time; in the order of the tracks within a tick, as the player sends them.
    std::stable_sort(events.begin(), events.end(), [](const auto &a, const auto &b) { return a.tick < b.tick; });
    return events;
}

MidiFileContents readMidiFile(std::string_view path)
{
    if (path.find('\0') != std::string_view::npos)
        return failure(MediaError::FileNotReadable);
    const std::string name(path);

    // Look before opening: opening a device can have effects of its own (a
    // watchdog starts counting), and a FIFO would wait for a writer.
    struct stat status { };
    if (::stat(name.c_str(), &status) != 0)
        return failure(MediaError::FileNotReadable);
    if (!S_ISREG(status.st_mode))
        return failure(MediaError::NotRegularFile);

    // O_NONBLOCK in case the name was swapped for a FIFO in between.
    const FileDescriptor file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        return failure(errno == ENXIO ? MediaError::NotRegularFile : MediaError::FileNotReadable);
    if (::fstat(file.get(), &status) != 0)
        return failure(MediaError::FileNotReadable);
    if (!S_ISREG(status.st_mode))
        return failure(MediaError::NotRegularFile);
    if (status.st_size <= 0 || static_cast<std::uint64_t>(status.st_size) > kMaxMidiFileSize)
        return failure(MediaError::NotMidiFile);

    // Read to the end, not to the size seen: the file may be growing. One byte
    // more than the cap tells a file that grew too large.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > kMaxMidiFileSize)
                return failure(MediaError::NotMidiFile);
            bytes.resize(std::min(bytes.size() * 2, kMaxMidiFileSize + 1));
        }
        const ssize_t count = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return failure(MediaError::FileNotReadable);
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
    }
    bytes.resize(filled);

    if (!isPlayableMidiFile(bytes))
        return failure(MediaError::NotMidiFile);
    return {MediaError::Success, std::move(bytes)};
}

} // namespace sorabune
