// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sorabune::testing {

// A Unix stream socket listening at `name` (abstract when it starts with '@').
// Connections wait in its backlog, never accepted unless the test does: a bus
// or sound server that takes them and never answers. Its file stays after it.
class ListeningSocket {
public:
    explicit ListeningSocket(const std::string &name)
        : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address{};
        if (name.size() >= sizeof address.sun_path)
            return;
        address.sun_family = AF_UNIX;
        const bool abstract = name.starts_with('@');
        std::memcpy(
            address.sun_path + (abstract ? 1 : 0), name.c_str() + (abstract ? 1 : 0), name.size() - (abstract ? 1 : 0));
        const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (abstract ? 0 : 1));
        m_listening = ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), size) == 0 && ::listen(m_fd, 8) == 0;
    }
    ~ListeningSocket() { ::close(m_fd); }
    ListeningSocket(const ListeningSocket &) = delete;
    ListeningSocket &operator=(const ListeningSocket &) = delete;

    bool listening() const { return m_listening; }
    int fd() const { return m_fd; }

private:
    int m_fd;
    bool m_listening = false;
};

} // namespace sorabune::testing
