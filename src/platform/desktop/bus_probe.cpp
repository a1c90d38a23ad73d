#include "platform/desktop/bus_probe.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sorabune {

namespace {

using Clock = std::chrono::steady_clock;

class Socket {
public:
    Socket()
        : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0))
    {
    }
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// %XX escapes of D-Bus address values.
std::string unescape(std::string_view value)
{
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            plain += static_cast<char>(std::strtol(std::string(value.substr(i + 1, 2)).c_str(), nullptr, 16));
            i += 2;
        } else {
            plain += value[i];
        }
    }
    return plain;
}

// The socket address of the first unix transport with a path or an abstract name.
std::optional<sockaddr_un> unixSocket(std::string_view address)
{
    while (!address.empty()) {
        const std::size_t end = address.find(';');
        std::string_view entry = address.substr(0, end);
        address = end == std::string_view::npos ? std::string_view() : address.substr(end + 1);
        if (!entry.starts_with("unix:"))
            continue;
        entry.remove_prefix(5);
        while (!entry.empty()) {
            const std::size_t comma = entry.find(',');
            const std::string_view pair = entry.substr(0, comma);
            entry = comma == std::string_view::npos ? std::string_view() : entry.substr(comma + 1);
            const bool abstract = pair.starts_with("abstract=");
            if (!abstract && !pair.starts_with("path="))
                continue;
            const std::string name = unescape(pair.substr(pair.find('=') + 1));
            sockaddr_un socketAddress{};
            socketAddress.sun_family = AF_UNIX;
            const std::size_t offset = abstract ? 1 : 0; // an abstract name starts with a zero byte
            if (name.empty() || name.size() + offset >= sizeof socketAddress.sun_path)
                return std::nullopt;
            std::memcpy(socketAddress.sun_path + offset, name.data(), name.size());
            return socketAddress;
        }
    }
    return std::nullopt;
}

bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

std::string SystemBusAddress()
{
    const char *address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return address != nullptr && *address != '\0' ? address : "unix:path=/var/run/dbus/system_bus_socket";
}

BusAnswer ProbeBus(const std::string &address, std::chrono::milliseconds limit)
{
    const std::optional<sockaddr_un> target = unixSocket(address);
    if (!target)
        return address.starts_with("unix:") ? BusAnswer::Absent : BusAnswer::Answers;
    const Clock::time_point deadline = Clock::now() + limit;
    const Socket socket;
    if (socket.get() < 0)
        return BusAnswer::Absent;
    // The size names an abstract socket's length exactly, a path's up to its end.
    const auto size = static_cast<socklen_t>(target->sun_path[0] == '\0'
            ? offsetof(sockaddr_un, sun_path) + 1 + std::strlen(target->sun_path + 1)
            : sizeof *target);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr *>(&*target), size) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN)
            return BusAnswer::Absent;
        if (!waitFor(socket.get(), POLLOUT, deadline))
            return BusAnswer::Silent;
    }
    // The handshake's first line: a zero byte, then a bare AUTH, which any server answers
    // with the mechanisms it offers.
    constexpr std::string_view hello("\0AUTH\r\n", 7);
    if (::send(socket.get(), hello.data(), hello.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(hello.size()))
        return BusAnswer::Absent;
    if (!waitFor(socket.get(), POLLIN, deadline))
        return BusAnswer::Silent;
    char reply[64];
    return ::recv(socket.get(), reply, sizeof reply, 0) > 0 ? BusAnswer::Answers : BusAnswer::Absent;
}

} // namespace sorabune
