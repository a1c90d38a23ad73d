// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <memory>
#include <string>

namespace sorabune {

struct SdBusDeleter {
    // Closed without flushing: flushing waits without bound for a bus that reads nothing.
    void operator()(sd_bus *bus) const { sd_bus_close_unref(bus); }
    void operator()(sd_bus_message *message) const { sd_bus_message_unref(message); }
};
using BusMessage = std::unique_ptr<sd_bus_message, SdBusDeleter>;

// The answer to a method call: its reply, or why there is none.
struct BusAnswer {
    BusMessage reply;
    std::string error; // empty when the reply came
    explicit operator bool() const { return error.empty(); }
};

// A connection of our own to the system or the session bus, for the worker
// thread that makes it: a bus may accept a connection and never answer, so
// nothing here waits past its deadline, and the connection is made without
// waiting, its handshake left to the first call.
class BusConnection {
public:
    enum class Bus { System, Session };
    using Deadline = std::chrono::steady_clock::time_point;
    // How long the bus may take to let the connection in (its handshake and Hello).
    static constexpr std::chrono::milliseconds kHandshakeLimit{3000};

    // The bus that DBUS_SYSTEM_BUS_ADDRESS or DBUS_SESSION_BUS_ADDRESS names,
    // or the standard one.
    explicit BusConnection(Bus bus);

    // Why there is no connection; empty while there is one.
    const std::string &error() const { return m_error; }
    // A call for the caller to append its arguments to; null without a connection.
    BusMessage newCall(const char *service, const char *path, const char *interface, const char *member);
    // Sends the call and waits for its answer, until the deadline at most.
    BusAnswer call(BusMessage call, Deadline deadline);

private:
    std::unique_ptr<sd_bus, SdBusDeleter> m_bus;
    const char *m_name;
    Deadline m_letInBy;
    std::string m_error;
};

} // namespace sorabune
