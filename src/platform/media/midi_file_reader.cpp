#include "platform/media/midi_file_reader.h"

#include "platform/media/midi_file_format.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace sorabune {
namespace {

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

MidiFileContents readMidiFile(std::string_view path)
{
    if (path.find('\0') != std::string_view::npos)
        return failure(MediaError::FileNotReadable);
    const std::string name(path);

    // Look before opening: opening a device can have effects of its own (a
    // watchdog starts counting), and a FIFO would wait for a writer.
    struct stat status{};
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
    if (status.st_size <= 0 || static_cast<std::uint64_t>(status.st_size) > maxMidiFileSize)
        return failure(MediaError::NotMidiFile);

    // Read to the end, not to the size seen: the file may be growing. One byte
    // more than the cap tells a file that grew too large.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > maxMidiFileSize)
                return failure(MediaError::NotMidiFile);
            bytes.resize(std::min(bytes.size() * 2, maxMidiFileSize + 1));
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
